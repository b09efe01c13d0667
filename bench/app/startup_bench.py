#!/usr/bin/env python3
"""Start-up of the program against a minimal GTK + WebKitGTK program, in one run on one X
display: the time from exec to the window mapped with its title, and the peak resident memory
of each program's own process (VmHWM) once the window is up. Prints both figures and their
ratios; the program's start-up should stay within 1.15 times the baseline.

Usage: startup_bench.py --program P --baseline B --title T [--rounds N]
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "tests", "e2e"))
from shell_e2e import Failure, Session, poll  # noqa: E402


def title_of(session, window):
    return session.run(["xprop", "-id", window, "_NET_WM_NAME"])


def measure(session, argv, title, log):
    started = time.monotonic()
    process = session.spawn(argv, log)

    def mapped():
        if process.poll() is not None:
            raise Failure(f"{argv[0]} ended early")
        for window in session.run(["xdotool", "search", "--onlyvisible", "--name",
                                   "^" + title + "$"]).split():
            if f'"{title}"' in title_of(session, window):
                return window
        return None

    poll(f"{argv[0]}'s window", 120, mapped, 0.005)
    elapsed = time.monotonic() - started
    time.sleep(2)  # let the first page settle before reading the peak
    with open(f"/proc/{process.pid}/status") as status:
        peak_kib = next(int(line.split()[1]) for line in status if line.startswith("VmHWM"))
    process.terminate()
    process.wait(timeout=30)
    return elapsed, peak_kib


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--baseline", required=True)
    parser.add_argument("--title", required=True)
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    args.artifacts = tempfile.mkdtemp(prefix="tuvaro-bench-")
    session = Session(args, "startup")
    try:
        session.start_display()
        # One warm-up each, so that neither pays alone for the first read of shared libraries.
        measure(session, [args.baseline], "baseline", "warm-baseline.log")
        measure(session, [args.program], args.title, "warm-program.log")
        times = {"program": [], "baseline": []}
        peaks = {"program": [], "baseline": []}
        for _ in range(args.rounds):
            for name, argv, title in (("baseline", [args.baseline], "baseline"),
                                      ("program", [args.program], args.title)):
                elapsed, peak = measure(session, argv, title, name + ".log")
                times[name].append(elapsed)
                peaks[name].append(peak)
    except Failure as failure:
        print("FAILED:", failure)
        return 1
    finally:
        session.close()
        shutil.rmtree(args.artifacts, ignore_errors=True)

    def median(values):
        return sorted(values)[len(values) // 2]

    t_program, t_base = median(times["program"]), median(times["baseline"])
    m_program, m_base = median(peaks["program"]), median(peaks["baseline"])
    print(f"start-up to the titled window: program {t_program * 1000:.0f} ms, "
          f"baseline {t_base * 1000:.0f} ms, ratio {t_program / t_base:.2f} (target <= 1.15)")
    print(f"peak resident memory (VmHWM): program {m_program / 1024:.1f} MiB, "
          f"baseline {m_base / 1024:.1f} MiB, ratio {m_program / m_base:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
