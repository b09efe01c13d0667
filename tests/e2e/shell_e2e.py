#!/usr/bin/env python3
"""The real program under Xvfb with openbox, driven by xdotool and read back with xprop,
xwininfo and screenshots.

Usage: shell_e2e.py CASE --program P --pictures DIR --artifacts DIR --title T --search-host H

Cases:
  window             the window's place, size, frame functions, title, opacity, the controls
                     where the form puts them, the first request the search site receives;
                     then Esc with the focus on the edit box ends the program with exit code 0
  escape-<control>   Esc with the focus on that control ends the program with exit code 0
Each case starts its own X display, window manager and loopback listener, and bounds every
wait. Screenshots and logs are kept under the artifacts directory.
"""
import argparse
import http.server
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

from PIL import Image, ImageChops, ImageStat

APP_CLASS = "org.tuvaro.Tuvaro"
HINT = "点击搜索后，请往下拉，如果出现空白，多搜索几次"
OUTER = (594, 603)
# An odd screen size, so that the centring's integer division shows.
SCREEN = (1365, 901)
ALPHA = 180

# The form: left, top, width, height in the client area.
BACK_BUTTON = (-11, -8, 113, 55)
SEARCH_BUTTON = (223, 384, 119, 46)
EDIT_BOX = (122, 336, 326, 26)

# Where a click gives each control the focus without changing what the window shows.
FOCUS_POINTS = {
    "edit-box": (EDIT_BOX[0] + 40, EDIT_BOX[1] + EDIT_BOX[3] // 2),
    "search-button": (SEARCH_BUTTON[0] + 20, SEARCH_BUTTON[1] + 23),
    "back-button": (60, 30),
}


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)
    print("ok:", message, flush=True)


def poll(what, seconds, probe, interval=0.2):
    """Calls probe until it returns something true; fails after `seconds`."""
    deadline = time.monotonic() + seconds
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {seconds}s waiting for {what}")
        time.sleep(interval)


class Recorder(http.server.BaseHTTPRequestHandler):
    """Stands in for the search site: records each request line, answers with a small page."""
    lines = []
    lock = threading.Lock()

    def do_GET(self):
        with Recorder.lock:
            Recorder.lines.append(self.requestline)
        body = b"<!DOCTYPE html><html><body style='background:#fff'>results</body></html>"
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def start_listener(host_port):
    host, port = host_port.rsplit(":", 1)

    class Server(http.server.ThreadingHTTPServer):
        allow_reuse_address = True

    def bind():
        try:
            return Server((host, int(port)), Recorder)
        except OSError:
            return None

    # The port is fixed by the build; another run may still hold it for a while.
    server = poll(f"the search site's port {host_port} to be free", 120, bind, 1.0)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class Session:
    def __init__(self, args, case):
        self.args = args
        self.case = case
        self.artifacts = os.path.join(args.artifacts, case)
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts)
        self.home = tempfile.mkdtemp(prefix="tuvaro-e2e-")
        self.processes = []
        self.env = dict(os.environ)
        for name, sub in (("HOME", ""), ("XDG_CONFIG_HOME", "config"),
                          ("XDG_DATA_HOME", "data"), ("XDG_CACHE_HOME", "cache"),
                          ("XDG_RUNTIME_DIR", "runtime")):
            path = os.path.join(self.home, sub)
            os.makedirs(path, mode=0o700, exist_ok=True)
            self.env[name] = path
        self.env["GDK_BACKEND"] = "x11"
        self.env["NO_AT_BRIDGE"] = "1"
        # System libraries under GTK and WebKit keep allocations to the end; their leak
        # reports say nothing of our code, whose leaks the unit tests check.
        asan = self.env.get("ASAN_OPTIONS", "")
        self.env["ASAN_OPTIONS"] = (asan + ":" if asan else "") + "detect_leaks=0"
        if os.geteuid() == 0:
            # WebKit's sandbox cannot run as root; the program itself keeps it on.
            self.env["WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS"] = "1"

    def spawn(self, argv, log, **kw):
        out = open(os.path.join(self.artifacts, log), "wb")
        p = subprocess.Popen(argv, env=self.env, stdout=out, stderr=subprocess.STDOUT,
                             start_new_session=True, **kw)
        self.processes.append(p)
        return p

    def start_display(self):
        read_fd, write_fd = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                    f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp"], "xvfb.log",
                   pass_fds=(write_fd,))
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline:
                raise Failure("Xvfb did not start")
            chunk = os.read(read_fd, 16)
            if not chunk:
                raise Failure("Xvfb ended at start")
            number += chunk
        os.close(read_fd)
        self.env["DISPLAY"] = ":" + number.decode().strip()
        self.spawn(["openbox", "--sm-disable"], "openbox.log")
        poll("the window manager", 30,
             lambda: "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"]))

    def run(self, argv, check_rc=False):
        r = subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=30)
        if check_rc and r.returncode != 0:
            raise Failure(f"{argv[0]} failed: {r.stderr}")
        return r.stdout

    def start_program(self):
        self.program = self.spawn([self.args.program], "program.log")
        self.window = poll("the main window", 120, self.find_window, 0.5)

    def find_window(self):
        if self.program.poll() is not None:
            raise Failure(f"the program ended early with {self.program.returncode}")
        ids = self.run(["xdotool", "search", "--onlyvisible", "--class", APP_CLASS]).split()
        return ids[0] if ids else None

    def prop(self, name):
        return self.run(["xprop", "-id", self.window, name])

    def geometry(self):
        return self.window_rectangle(self.window)

    def window_rectangle(self, window):
        """The window's absolute left, top, width and height, as xwininfo tells them."""
        out = self.run(["xwininfo", "-id", window])
        values = {}
        for line in out.splitlines():
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
        return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]))

    def screenshot(self, name):
        path = os.path.join(self.artifacts, name + ".png")
        self.run(["import", "-window", "root", path], check_rc=True)
        return Image.open(path).convert("RGB")

    def settled_screenshot(self, name):
        """A screenshot once two in a row agree: drawing has finished."""
        previous = [None]

        def probe():
            shot = self.screenshot(name)
            same = previous[0] is not None and ImageChops.difference(
                shot, previous[0]).getbbox() is None
            previous[0] = shot
            return shot if same else None

        return poll("the window to finish drawing", 60, probe, 0.5)

    def press_escape_after_focusing(self, point):
        x, y, _, _ = self.geometry()
        self.run(["xdotool", "mousemove", str(x + point[0]), str(y + point[1]), "click", "1"],
                 check_rc=True)
        time.sleep(0.3)  # let the click's focus change land before the key
        self.screenshot("focused")
        self.run(["xdotool", "key", "Escape"], check_rc=True)
        try:
            code = self.program.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise Failure("Esc did not end the program within 30 s")
        check(code == 0, f"Esc ended the program with exit code {code} (expected 0)")

    def close(self):
        for p in reversed(self.processes):
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGTERM)
                    p.wait(timeout=10)
                except (ProcessLookupError, subprocess.TimeoutExpired):
                    try:
                        os.killpg(p.pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
        shutil.rmtree(self.home, ignore_errors=True)


def mean_difference(a, b):
    return sum(ImageStat.Stat(ImageChops.difference(a, b)).mean) / 3


def compare_region(name, shot, expected, alternative, threshold=18.0):
    """The region of `shot` looks like `expected` and less like `alternative`."""
    near = mean_difference(shot, expected)
    far = mean_difference(shot, alternative)
    check(near < threshold, f"{name}: mean difference {near:.1f} from what the form shows "
                            f"(below {threshold})")
    if mean_difference(expected, alternative) > threshold:
        check(near < far, f"{name}: closer to what the form shows ({near:.1f}) than to "
                          f"what it hides ({far:.1f})")


def check_window(session, args):
    s = session
    title = poll("the decoded title", 60,
                 lambda: args.title in s.prop("_NET_WM_NAME") and s.prop("_NET_WM_NAME"))
    check(f'"{args.title}"' in title, f"the title bar shows the decoded title {args.title!r}")

    extents_text = poll("the frame extents", 30,
                        lambda: "=" in s.prop("_NET_FRAME_EXTENTS") and
                        s.prop("_NET_FRAME_EXTENTS"))
    left, right, top, bottom = [int(v) for v in extents_text.split("=")[1].split(",")]
    cx, cy, cw, ch = s.geometry()
    outer = (cw + left + right, ch + top + bottom)
    check(outer == OUTER, f"outer size {outer} including the frame is {OUTER}")
    expected_pos = ((SCREEN[0] - OUTER[0]) // 2, (SCREEN[1] - OUTER[1]) // 2)
    check((cx - left, cy - top) == expected_pos,
          f"the frame's top-left {(cx - left, cy - top)} is centred at {expected_pos}")

    hints = s.prop("WM_NORMAL_HINTS")
    check(f"minimum size: {cw} by {ch}" in hints and f"maximum size: {cw} by {ch}" in hints,
          "not resizable: minimum and maximum size equal the client size")
    actions = s.prop("_NET_WM_ALLOWED_ACTIONS")
    check("_NET_WM_ACTION_MAXIMIZE" not in actions, "the window manager offers no maximise")
    check("_NET_WM_ACTION_MINIMIZE" in actions, "the window can be minimised")
    check("_NET_WM_ACTION_RESIZE" not in actions, "the window manager offers no resizing")

    opacity = int(s.prop("_NET_WM_WINDOW_OPACITY").split("=")[1])
    check(round(opacity * 255 / 0xFFFFFFFF) == ALPHA,
          f"_NET_WM_WINDOW_OPACITY {opacity} is {ALPHA}/255")

    # The first request that the search site receives is for the hint text, unescaped.
    first = poll("the first request to the search site", 90,
                 lambda: Recorder.lines[:1])[0]
    method, target, version = first.split(" ")
    check((method, version) == ("GET", "HTTP/1.1"), f"the first request is a GET: {first}")
    check(urllib.parse.unquote(target, encoding="utf-8") == "/s/" + HINT,
          f"the first request is for the hint text: {target}")
    with open(os.path.join(s.artifacts, "requests.log"), "w") as log:
        log.write("\n".join(Recorder.lines) + "\n")

    shot = s.settled_screenshot("window")
    client = shot.crop((cx, cy, cx + cw, cy + ch))
    client.save(os.path.join(s.artifacts, "client.png"))
    check_controls(client, cw, ch, args)


def check_controls(client, cw, ch, args):
    pictures = args.pictures
    background = Image.open(os.path.join(pictures, "background.jpg")).convert("RGB")
    back = Image.open(os.path.join(pictures, "back_button.jpg")).convert("RGB")
    search = Image.open(os.path.join(pictures, "search_button.jpg")).convert("RGB")

    # The background picture, shrunk by min(client width / 800, client height / 782),
    # centred, as the window should show it.
    scale = min(1.0, cw / background.width, ch / background.height)
    size = (round(background.width * scale), round(background.height * scale))
    painted = Image.new("RGB", (cw, ch))
    painted.paste(background.resize(size, Image.BILINEAR),
                  ((cw - size[0]) // 2, (ch - size[1]) // 2))
    unscaled = Image.new("RGB", (cw, ch))
    unscaled.paste(background, (0, 0))

    def region(image, box):
        return image.crop(box)

    # Free background between the image button and the edit box.
    box = (140, 70, 460, 320)
    compare_region("background", region(client, box), region(painted, box),
                   region(unscaled, box))

    # Only the lower-right 102 x 47 pixels of the image button show, its picture from (11, 8);
    # the browser box under it shows nothing. Its caption sits in the middle: compare the
    # edges around it.
    back_face = Image.new("RGB", (cw, ch))
    back_face.paste(back, (BACK_BUTTON[0], BACK_BUTTON[1]))
    for name, box in (("image button, left strip", (2, 2, 28, 45)),
                      ("image button, right strip", (78, 2, 100, 45))):
        compare_region(name, region(client, box), region(back_face, box), region(painted, box))
    # Just past its visible part the background shows again.
    for name, box in (("right of the image button", (104, 4, 150, 44)),
                      ("below the image button", (4, 49, 98, 70))):
        compare_region(name, region(client, box), region(painted, box), region(back_face, box))

    # The search button's face: its picture centred, cut at the button's edges.
    face = Image.new("RGB", (cw, ch))
    sx = SEARCH_BUTTON[0] + (SEARCH_BUTTON[2] - search.width) // 2
    sy = SEARCH_BUTTON[1] + (SEARCH_BUTTON[3] - search.height) // 2
    face.paste(search, (sx, sy))
    box = (SEARCH_BUTTON[0] + 3, SEARCH_BUTTON[1] + 3,
           SEARCH_BUTTON[0] + SEARCH_BUTTON[2] - 3, SEARCH_BUTTON[1] + SEARCH_BUTTON[3] - 3)
    compare_region("search button", region(client, box), region(face, box),
                   region(painted, box))

    # The edit box: black text on white, where the form puts it.
    box = (EDIT_BOX[0] + 3, EDIT_BOX[1] + 3, EDIT_BOX[0] + EDIT_BOX[2] - 3,
           EDIT_BOX[1] + EDIT_BOX[3] - 3)
    pixels = list(region(client, box).getdata())
    white = sum(1 for p in pixels if min(p) > 235) / len(pixels)
    dark = sum(1 for p in pixels if max(p) < 90) / len(pixels)
    check(white > 0.5, f"the edit box is white ({white:.0%} white pixels)")
    check(dark > 0.02, f"the edit box shows dark text ({dark:.1%} dark pixels)")
    outside = list(region(client, (EDIT_BOX[0] - 12, EDIT_BOX[1] + 3, EDIT_BOX[0] - 4,
                                   EDIT_BOX[1] + 20)).getdata())
    check(sum(1 for p in outside if min(p) > 235) / len(outside) < 0.5,
          "left of the edit box is not the edit box")


def report_failure(session, failure):
    """Says why a case failed, keeps a screenshot of the screen as it was, and gives exit code 1."""
    print("FAILED:", failure, flush=True)
    try:
        session.screenshot("failure")
    except Exception:  # the display may be gone already
        pass
    return 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case")
    parser.add_argument("--program", required=True)
    parser.add_argument("--pictures", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--title", required=True)
    parser.add_argument("--search-host", required=True)
    args = parser.parse_args()

    session = Session(args, args.case)
    server = None
    try:
        server = start_listener(args.search_host)
        session.start_display()
        session.start_program()
        if args.case == "window":
            check_window(session, args)
            session.press_escape_after_focusing(FOCUS_POINTS["edit-box"])
        elif args.case.startswith("escape-") and args.case[7:] in FOCUS_POINTS:
            poll("the decoded title", 60, lambda: args.title in session.prop("_NET_WM_NAME"))
            session.settled_screenshot("window")
            session.press_escape_after_focusing(FOCUS_POINTS[args.case[7:]])
        else:
            raise Failure(f"unknown case {args.case}")
    except Failure as failure:
        return report_failure(session, failure)
    finally:
        session.close()
        if server is not None:
            server.shutdown()
            server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
