#!/usr/bin/env python3
"""The browser box of the GTK toolkit, through a small driver program under Xvfb: new-window
requests raise the event with the new window's address and open no window; the status text
is the hovered link; writing the same address loads it anew; a page that cannot be loaded
shows our page; Alt+Left, Alt+Right and the mouse's side buttons go back and forward.

Usage: browser_box_e2e.py CASE --driver D --artifacts DIR
"""
import argparse
import http.server
import os
import socket
import sys
import threading

from shell_e2e import Failure, report_failure, Session, check, poll

LINK = (10, 10, 300, 60)      # the link that targets a new window, in page pixels
BUTTON = (10, 100, 300, 60)   # the button whose script opens a window
PLAIN = (10, 200, 300, 60)    # an ordinary link

PAGE = """<!DOCTYPE html><html><head><meta charset="utf-8"><style>
body{{margin:0;background:#fff}} a,button{{position:absolute;display:block;width:300px;
height:60px;font-size:20px}}</style></head><body>
<a id="blank" href="/blank-target" target="_blank" style="left:10px;top:10px">new window</a>
<button onclick="window.open('/opened')" style="left:10px;top:100px">window.open</button>
<a href="/second" style="left:10px;top:200px">second</a>
<script>alert('silent'); confirm('silent');</script>
{shown}</body></html>"""
# Reports every showing of a page, also one restored from the back-forward cache.
SHOWN = ("<script>addEventListener('pageshow', () => "
         "fetch('/shown' + location.pathname + '?' + Date.now()))</script>")


class Site(http.server.BaseHTTPRequestHandler):
    paths = []
    lock = threading.Lock()

    def do_GET(self):
        with Site.lock:
            Site.paths.append(self.path)
        if self.path.startswith("/shown"):
            body = b"ok"
        elif self.path == "/second":
            body = ("<p>second</p>" + SHOWN).encode()
        else:
            body = PAGE.format(shown=SHOWN).encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        # Every visit comes back to us, so that going back and forward shows in the log.
        self.send_header("Cache-Control", "no-store")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def count(path):
    """How many requests were for `path`, or, for a path ending in "*", began with it."""
    with Site.lock:
        if path.endswith("*"):
            return sum(1 for p in Site.paths if p.startswith(path[:-1]))
        return Site.paths.count(path)


class Driver(Session):
    def start_driver(self, *addresses):
        self.program = self.spawn([self.args.driver, *addresses], "driver.log")
        self.window = poll("the driver's window", 120, self.find_window, 0.5)
        self.log = os.path.join(self.artifacts, "driver.log")

    def events(self):
        with open(self.log, encoding="utf-8", errors="replace") as f:
            return [line.strip() for line in f if line.startswith("new-window")]

    def click(self, box, button=1):
        x, y, _, _ = self.geometry()
        self.run(["xdotool", "mousemove", str(x + box[0] + 20), str(y + box[1] + 20),
                  "click", str(button)], check_rc=True)

    def windows(self):
        return self.run(["xdotool", "search", "--onlyvisible", "--class",
                         "org.tuvaro.Tuvaro"]).split()


def run_case(s, case, base):
    start = base + "/start"
    if case == "new-window":
        s.start_driver(start)
        poll("the page", 60, lambda: count("/start") >= 2)  # the first load and the rewrite
        s.settled_screenshot("page")
        s.click(LINK)
        poll("a new-window event for the link", 30, lambda: len(s.events()) >= 1)
        s.click(BUTTON)
        poll("a new-window event for window.open", 30, lambda: len(s.events()) >= 2)
        events = s.events()
        check(events[0] == f"new-window address={base}/blank-target status={base}/blank-target",
              f"the link's request gives its address and the status text: {events[0]}")
        check(events[1].startswith(f"new-window address={base}/opened "),
              f"window.open's request gives the address it opens: {events[1]}")
        s.screenshot("after")
        check(len(s.windows()) == 1, "no second window opened")
        check(count("/blank-target") == 0 and count("/opened") == 0,
              "the refused windows loaded nothing")
    elif case == "load-anew":
        s.start_driver(start)
        poll("the same address loaded a second time", 60, lambda: count("/start") >= 2)
        check(True, "writing the same address again loaded the page anew")
    elif case == "load-failed":
        # A loopback port that nothing listens on.
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        closed_port = probe.getsockname()[1]
        probe.close()
        s.start_driver(f"http://127.0.0.1:{closed_port}/unreachable")
        x, y, _, _ = s.geometry()

        def dark_share():
            box = s.screenshot("error-page").crop((x, y, x + 600, y + 500))
            pixels = list(box.getdata())
            return sum(1 for p in pixels if max(p) < 120) / len(pixels)

        # A blank box has no dark pixels at all; our page has its heading and the address.
        dark = poll("the box to show a page", 60, lambda: dark_share() > 0.003 and dark_share())
        check(True, f"the box shows our page, not a blank ({dark:.2%} dark pixels)")
    elif case == "back-forward":
        s.start_driver(start)
        poll("the page", 60, lambda: count("/shown/start*") >= 2)
        s.settled_screenshot("page")
        steps = [
            ("a click on an ordinary link", lambda: s.click(PLAIN), "/shown/second*", 1),
            ("Alt+Left to go back", lambda: s.run(["xdotool", "key", "alt+Left"]),
             "/shown/start*", 3),
            ("Alt+Right to go forward", lambda: s.run(["xdotool", "key", "alt+Right"]),
             "/shown/second*", 2),
            ("the mouse's back button", lambda: s.click((200, 400, 10, 10), button=8),
             "/shown/start*", 4),
            ("the mouse's forward button", lambda: s.click((200, 400, 10, 10), button=9),
             "/shown/second*", 3),
        ]
        for what, act, shown, times in steps:
            act()
            poll(what, 30, lambda: count(shown) >= times)
            check(True, f"{what} showed {shown[:-1]}")
    else:
        raise Failure(f"unknown case {case}")
    with open(os.path.join(s.artifacts, "requests.log"), "w") as log:
        log.write("\n".join(Site.paths) + "\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case")
    parser.add_argument("--driver", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Site)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    base = f"http://127.0.0.1:{server.server_address[1]}"
    session = Driver(args, "browser-box-" + args.case)
    try:
        session.start_display()
        run_case(session, args.case, base)
    except Failure as failure:
        return report_failure(session, failure)
    finally:
        session.close()
        server.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
