#!/usr/bin/env python3
"""A search with the real program and the demo site under Xvfb: words typed into the edit box
reach the site exactly as typed, the box shows the result page, back-to-search shows the
search field again, and Esc ends the program with exit code 0.

Usage: search_e2e.py --program P --site DEMO_SITE --artifacts DIR --search-host H
"""
import argparse
import os
import subprocess
import sys
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from shell_e2e import (EDIT_BOX, SEARCH_BUTTON, Failure, Session, check,  # noqa: E402
                       mean_difference, poll)

WORDS = "星际 movie"


class Args:
    def __init__(self, program, artifacts):
        self.program = program
        self.artifacts = artifacts


def site_targets(log_path, prefix="/s/"):
    """The request targets that the site logged, those that begin with `prefix`: every search
    click also asks for the update information, which is no search."""
    if not os.path.exists(log_path):
        return []
    with open(log_path, encoding="utf-8") as log:
        targets = [line.split(" ")[1] for line in log.read().splitlines() if line.count(" ") >= 2]
    return [target for target in targets if target.startswith(prefix)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--site", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--search-host", required=True)
    args = parser.parse_args()
    port = args.search_host.rsplit(":", 1)[1]

    session = Session(Args(args.program, args.artifacts), "search")
    log_path = os.path.join(session.artifacts, "site-requests.log")
    site = None
    try:
        site = subprocess.Popen([sys.executable, args.site, "--port", port, "--log", log_path],
                                stdout=subprocess.DEVNULL, stderr=subprocess.STDOUT)
        poll("the demo site", 120, lambda: os.path.exists(log_path) or site.poll() is not None)
        check(site.poll() is None, "the demo site runs")
        session.start_display()
        session.start_program()
        poll("the first page", 90, lambda: site_targets(log_path))
        before = session.settled_screenshot("search-screen")

        x, y, _, _ = session.geometry()
        edit = (x + EDIT_BOX[0] + 40, y + EDIT_BOX[1] + EDIT_BOX[3] // 2)
        session.run(["xdotool", "mousemove", str(edit[0]), str(edit[1]), "click", "1"],
                    check_rc=True)
        session.run(["xdotool", "key", "ctrl+a", "BackSpace"], check_rc=True)
        session.run(["xdotool", "type", "--delay", "60", WORDS], check_rc=True)
        session.run(["xdotool", "key", "Return"], check_rc=True)
        time.sleep(1.0)
        count = len(site_targets(log_path))
        check(count == 1, f"Enter in the edit box starts no search ({count} requests)")

        button = (x + SEARCH_BUTTON[0] + 20, y + SEARCH_BUTTON[1] + 23)
        session.run(["xdotool", "mousemove", str(button[0]), str(button[1]), "click", "1"],
                    check_rc=True)
        targets = poll("the search request", 60, lambda: site_targets(log_path)[1:])
        words = urllib.parse.unquote(targets[0], encoding="utf-8")
        check(words == "/s/" + WORDS, f"the site received exactly the words typed: {words!r}")

        shown = session.settled_screenshot("result-page")
        region = (x + 120, y + 60, x + 580, y + 560)
        difference = mean_difference(shown.crop(region), before.crop(region))
        check(difference > 10, f"the box covers the search screen (difference {difference:.1f})")

        session.run(["xdotool", "mousemove", str(x + 60), str(y + 30), "click", "1"],
                    check_rc=True)
        after = session.settled_screenshot("back-to-search")
        difference = mean_difference(after.crop(region), before.crop(region))
        check(difference < 10, f"back to search shows the search screen (difference "
                               f"{difference:.1f})")
        session.press_escape_after_focusing((EDIT_BOX[0] + 40, EDIT_BOX[1] + 10))
    except Failure as failure:
        print("FAILED:", failure, flush=True)
        try:
            session.screenshot("failure")
        except Exception:  # the display may be gone already
            pass
        return 1
    finally:
        session.close()
        if site is not None and site.poll() is None:
            site.terminate()
            site.wait(timeout=10)
    return 0


if __name__ == "__main__":
    sys.exit(main())
