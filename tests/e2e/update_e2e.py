#!/usr/bin/env python3
"""The update check end to end: the real program, the demo site (or a server that never
answers) on the loopback address, a real GTK dialog read back through the window manager and
the accessibility tree, and the desktop's default browser as a test handler registered through
the freedesktop MIME settings.

Usage: update_e2e.py CASE --program P --site DEMO_SITE --artifacts DIR --search-host H
                     --download-url U

Cases:
  announce             the site says 2: a search click shows a box titled "新版本更新" with the
                       message text, an OK button only, no icon, owned by no window; the main
                       window takes clicks while it is shown (back to search shows the search
                       field; a second search reaches the site and shows a second box); closing
                       each box (Enter, a click on OK) hands the download address to the default
                       browser; Esc then ends the program with exit code 0
  quick-clicks         the site says 2: two quick search clicks (back to search between them,
                       as the page covers the search button) give two boxes and, once both are
                       closed (Enter, Esc), two hand-offs
  no-announce          the site says 1: the page is fetched, no box shows, nothing is handed off
  close-while-waiting  the update page's server accepts and never answers: Esc while the check
                       waits ends the program with exit code 0
  close-while-box      the site says 2: closing the main window through the window manager
                       while the box is shown ends the program with exit code 0, and the check
                       goes no further (nothing is handed off)
Each case starts its own X display, window manager and session bus, and bounds every wait.
Screenshots and logs are kept under the artifacts directory.
"""
import argparse
import json
import os
import socket
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import shell_e2e  # noqa: E402
from shell_e2e import (report_failure, APP_CLASS, SEARCH_BUTTON, Failure, Session, check,  # noqa: E402
                       mean_difference, poll)

MESSAGE = "新版本更新：1.加强搜索能力，2.整合数万最新种子，3.优化界面，4.更新线程，5.加快搜索速度"
TITLE = "新版本更新"
BROWSER_ID = "tuvaro-test-browser.desktop"
# Ending is bounded generously: the point is that the program ends, not how fast.
END_WAIT = 15
# How long a box is given to show where none should.
QUIET_WAIT = 5

# Room beside the centred main window for the boxes to be moved to, so that both can be seen
# and clicked at once.
shell_e2e.SCREEN = (1920, 1080)


class Args:
    def __init__(self, program, artifacts):
        self.program = program
        self.artifacts = artifacts


# ---- The accessibility tree, read in a fresh process each time (no stale cache) ---------------

def dump_boxes():
    """Prints, as JSON, every dialog or alert of every application on the accessibility bus:
    its name and its showing descendants with role, name and screen extents."""
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi

    Atspi.init()

    def showing(node):
        try:
            return node.get_state_set().contains(Atspi.StateType.SHOWING)
        except Exception:  # a node that went away meanwhile
            return False

    def walk(node, out, depth=0):
        if depth > 30:
            return
        for i in range(node.get_child_count()):
            child = node.get_child_at_index(i)
            if child is None or not showing(child):
                continue
            extents = None
            component = child.get_component_iface()
            if component is not None:
                r = component.get_extents(Atspi.CoordType.SCREEN)
                extents = [r.x, r.y, r.width, r.height]
            out.append({"role": child.get_role_name(), "name": child.get_name() or "",
                        "extents": extents})
            walk(child, out, depth + 1)

    boxes = []
    desktop = Atspi.get_desktop(0)
    for a in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(a)
        if app is None:
            continue
        for w in range(app.get_child_count()):
            window = app.get_child_at_index(w)
            if window is None or window.get_role() not in (Atspi.Role.ALERT, Atspi.Role.DIALOG):
                continue
            if not showing(window):
                continue
            parts = []
            walk(window, parts)
            boxes.append({"application": app.get_name() or "", "name": window.get_name() or "",
                          "role": window.get_role_name(), "parts": parts})
    print(json.dumps(boxes, ensure_ascii=False))


class UpdateSession(Session):
    def __init__(self, args, case, port):
        super().__init__(Args(args.program, args.artifacts), "update-" + case)
        self.port = port
        self.site = None
        self.site_log = os.path.join(self.artifacts, "site-requests.log")
        self.handoffs = os.path.join(self.home, "handed-off.txt")

    # -- the default browser: a handler that records what it was handed --
    def install_test_browser(self):
        script = os.path.join(self.home, "test-browser.sh")
        with open(script, "w") as f:
            # One line per hand-off: the count of arguments, a tab, the arguments.
            f.write("#!/bin/sh\nprintf '%s\\t%s\\n' \"$#\" \"$*\" >> '" + self.handoffs + "'\n")
        os.chmod(script, 0o755)
        applications = os.path.join(self.env["XDG_DATA_HOME"], "applications")
        os.makedirs(applications, exist_ok=True)
        with open(os.path.join(applications, BROWSER_ID), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Test browser\n"
                    f"Exec={script} %u\nNoDisplay=true\n"
                    "MimeType=x-scheme-handler/http;x-scheme-handler/https;\n")
        with open(os.path.join(self.env["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\n"
                    f"x-scheme-handler/http={BROWSER_ID}\n"
                    f"x-scheme-handler/https={BROWSER_ID}\n")
        # The registration is what the desktop's own tools see, not only what we wrote.
        default = self.run(["xdg-mime", "query", "default", "x-scheme-handler/http"]).strip()
        check(default == BROWSER_ID, f"the test handler is the default browser ({default!r})")

    def handed_off(self):
        if not os.path.exists(self.handoffs):
            return []
        with open(self.handoffs, encoding="utf-8") as f:
            return f.read().splitlines()

    # -- a session bus with the accessibility bus behind it, for reading the box's text --
    def start_session_bus(self):
        address = "unix:path=" + os.path.join(self.env["XDG_RUNTIME_DIR"], "bus")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        self.spawn(["dbus-daemon", "--session", "--nofork", "--address=" + address],
                   "dbus.log")
        poll("the session bus", 30,
             lambda: os.path.exists(os.path.join(self.env["XDG_RUNTIME_DIR"], "bus")))
        # The shared harness keeps the accessibility bridge off; here it is how the text is read.
        self.env.pop("NO_AT_BRIDGE", None)

    def boxes(self):
        out = subprocess.run([sys.executable, os.path.abspath(__file__), "--dump-boxes"],
                             env=self.env, capture_output=True, text=True, timeout=60)
        if out.returncode != 0:
            raise Failure(f"reading the accessibility tree failed: {out.stderr[-2000:]}")
        return [b for b in json.loads(out.stdout) if b["name"] == TITLE]

    # -- the site --
    def start_site(self, version):
        output = os.path.join(self.artifacts, "site.log")
        self.site_output = open(output, "w")

        def listening(site):
            if site.poll() is not None:
                return True
            with open(output, encoding="utf-8") as f:
                return "listening on" in f.read()

        def start():
            site = subprocess.Popen(
                [sys.executable, self.args.site, "--port", str(self.port), "--version", version,
                 "--log", self.site_log],
                stdout=self.site_output, stderr=subprocess.STDOUT, start_new_session=True)
            poll("the demo site to listen or give up", 60, lambda: listening(site))
            if site.poll() is None:
                return site
            return None  # the port is still held by an earlier run

        self.site = poll(f"the demo site on port {self.port}", 120, start, 1.0)
        self.processes.append(self.site)

    def site_paths(self):
        if not os.path.exists(self.site_log):
            return []
        with open(self.site_log, encoding="utf-8") as log:
            return [line.split(" ")[1] for line in log.read().splitlines()
                    if line.count(" ") >= 2]

    def update_requests(self):
        return [p for p in self.site_paths() if p == "/update"]

    # -- the program's windows --
    def dialog_windows(self):
        """The program's visible windows other than the main window."""
        ids = self.run(["xdotool", "search", "--onlyvisible", "--class", APP_CLASS]).split()
        return [w for w in ids if w != self.window]

    def window_title(self, window):
        # Read as bytes, so that the locale of the tools cannot change what we compare.
        out = self.run(["xprop", "-id", window, "-f", "_NET_WM_NAME", "8x", "_NET_WM_NAME"])
        if "=" not in out:
            return None
        values = [v.strip() for v in out.split("=", 1)[1].split(",") if v.strip()]
        return bytes(int(v, 16) for v in values).decode("utf-8", "replace")

    def wait_for_dialogs(self, count):
        def probe():
            found = self.dialog_windows()
            return found if len(found) >= count else None
        return poll(f"{count} message box(es)", 60, probe, 0.3)

    def click_at(self, x, y):
        self.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check_rc=True)

    def click_client(self, point):
        x, y, _, _ = self.geometry()
        self.click_at(x + point[0], y + point[1])

    def search_click(self):
        self.click_client((SEARCH_BUTTON[0] + 20, SEARCH_BUTTON[1] + 23))

    def activate(self, window):
        self.run(["xdotool", "windowactivate", "--sync", window], check_rc=True)

    def client_shot(self, name):
        shot = self.settled_screenshot(name)
        x, y, w, h = self.geometry()
        return shot.crop((x, y, x + w, y + h))

    def wait_for_end(self, how):
        try:
            code = self.program.wait(timeout=END_WAIT)
        except subprocess.TimeoutExpired:
            raise Failure(f"{how} did not end the program within {END_WAIT} s")
        check(code == 0, f"{how} ended the program with exit code {code} (expected 0)")

    def escape_main_window(self):
        self.activate(self.window)
        self.run(["xdotool", "key", "Escape"], check_rc=True)
        self.wait_for_end("Esc in the main window")

    def start(self):
        self.start_display()
        self.start_session_bus()
        self.start_program()
        # The first page, for the hint text, comes from the same site.
        poll("the first page", 90, self.site_paths if self.site else lambda: True)


# ---- Checks shared by the cases -----------------------------------------------------------------

def check_box(s, window):
    """One box as the user sees it: title, text, one OK button, no icon, no owner."""
    title = s.window_title(window)
    check(title == TITLE, f"the box's title is exactly {TITLE!r} ({title!r})")
    transient = s.run(["xprop", "-id", window, "WM_TRANSIENT_FOR"])
    check("not found" in transient, f"the box is owned by no window ({transient.strip()})")

    boxes = poll("the box in the accessibility tree", 60, s.boxes, 0.5)
    box = boxes[0]
    texts = [p["name"] for p in box["parts"] if p["role"] == "label"]
    check(MESSAGE in texts, f"the box shows exactly the message text ({texts!r})")
    buttons = [p for p in box["parts"] if p["role"] == "push button"]
    check(len(buttons) == 1, f"the box has one button only ({[b['name'] for b in buttons]})")
    check(buttons[0]["name"].replace("_", "") in ("OK", "确定"),
          f"the one button is OK ({buttons[0]['name']!r})")
    pictures = [p for p in box["parts"] if p["role"] in ("icon", "image", "animation")]
    check(not pictures, f"the box shows no icon ({pictures})")
    return buttons[0]


def move_aside(s, window, slot):
    """Moves a box to the screen's left edge, beside the main window, one slot below the other."""
    s.run(["xdotool", "windowmove", "--sync", window, "10", str(40 + slot * 300)],
          check_rc=True)
    mx, my, mw, mh = s.geometry()
    bx, by, bw, bh = s.window_rectangle(window)
    check(bx + bw < mx - 8, f"box {slot + 1} lies beside the main window ({(bx, by, bw, bh)})")


def check_handoffs(s, expected_count, download_url):
    lines = poll(f"{expected_count} hand-off(s) to the default browser", 30,
                 lambda: len(s.handed_off()) >= expected_count and s.handed_off())
    check(lines == [f"1\t{download_url}"] * expected_count,
          f"the default browser was handed exactly {download_url} "
          f"{expected_count} time(s): {lines}")


# ---- The cases ----------------------------------------------------------------------------------

def case_announce(s, download_url):
    s.start_site("2")
    s.start()
    search_screen = s.client_shot("search-screen")

    s.search_click()
    first = s.wait_for_dialogs(1)[0]
    check(len(s.update_requests()) == 1, "the search click fetched the update page once")
    s.screenshot("box")
    check_box(s, first)
    check(s.handed_off() == [], "nothing is handed off while the box is shown")

    # The main window stays usable while the box is shown.
    move_aside(s, first, 0)
    shown = s.client_shot("box-and-result-page")
    difference = mean_difference(shown, search_screen)
    check(difference > 10, f"the browser box covers the search screen ({difference:.1f})")
    s.click_client((60, 30))  # back to search
    back = s.client_shot("box-and-back-to-search")
    difference = mean_difference(back, search_screen)
    check(difference < 10, f"back to search, clicked while the box is shown, shows the search "
                           f"field again ({difference:.1f})")
    check(first in s.dialog_windows(), "the first box is still shown")

    s.search_click()
    poll("the second search's update request", 60, lambda: len(s.update_requests()) == 2)
    boxes = s.wait_for_dialogs(2)
    second = [w for w in boxes if w != first][0]
    check(s.window_title(second) == TITLE, "the second box has the same title")
    move_aside(s, second, 1)
    s.screenshot("two-boxes")

    # Enter closes the first box, and only then is the address handed off.
    s.activate(first)
    s.run(["xdotool", "key", "Return"], check_rc=True)
    poll("the first box to close", 30, lambda: first not in s.dialog_windows())
    check_handoffs(s, 1, download_url)
    check(second in s.dialog_windows(), "the second box stays until it is closed itself")

    # A click on OK closes the second.
    button = poll("the second box's OK button", 60,
                  lambda: [p for b in s.boxes() for p in b["parts"]
                           if p["role"] == "push button" and p["extents"]])[0]
    bx, by, bw, bh = button["extents"]
    s.click_at(bx + bw // 2, by + bh // 2)
    poll("the second box to close", 30, lambda: second not in s.dialog_windows())
    check_handoffs(s, 2, download_url)
    s.screenshot("boxes-closed")
    s.escape_main_window()


def case_quick_clicks(s, download_url):
    s.start_site("2")
    s.start()
    # The page covers the search button after a search: back to search, and search again,
    # at a user's quick pace, each click landing before the first check has shown its box.
    s.search_click()
    time.sleep(0.3)
    s.click_client((60, 30))
    time.sleep(0.3)
    s.search_click()
    boxes = s.wait_for_dialogs(2)
    poll("two update requests", 30, lambda: len(s.update_requests()) == 2)
    check(all(s.window_title(w) == TITLE for w in boxes), "both boxes have the title")
    for slot, window in enumerate(boxes):
        move_aside(s, window, slot)
    s.screenshot("two-boxes")
    check(s.handed_off() == [], "nothing is handed off while the boxes are shown")
    # Which key closed a box makes no difference: Esc hands off as Enter does.
    for window, key in zip(boxes, ("Return", "Escape")):
        s.activate(window)
        s.run(["xdotool", "key", key], check_rc=True)
        poll(f"{key} to close the box", 30, lambda: window not in s.dialog_windows())
    check_handoffs(s, 2, download_url)
    s.escape_main_window()


def case_no_announce(s, download_url):
    s.start_site("1")
    s.start()
    s.search_click()
    poll("the update request", 60, s.update_requests)
    check(len(s.update_requests()) == 1, "the search click fetched the update page")
    # A box would follow the request at once; give it ample time to show before looking.
    deadline = time.monotonic() + QUIET_WAIT
    while time.monotonic() < deadline and not s.dialog_windows():
        time.sleep(0.3)
    s.screenshot("no-box")
    check(s.dialog_windows() == [], "with version 1 no box shows")
    check(s.handed_off() == [], "with version 1 nothing is handed off")
    s.escape_main_window()


class SilentServer:
    """Accepts connections on the loopback address and never answers; records what it got."""

    def __init__(self, port):
        self.received = b""
        self.connections = []
        self.lock = threading.Lock()

        def bind():
            sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            try:
                sock.bind(("127.0.0.1", port))
            except OSError:
                sock.close()
                return None
            sock.listen(64)
            return sock

        self.sock = poll(f"port {port} to be free", 120, bind, 1.0)
        threading.Thread(target=self.accept, daemon=True).start()

    def accept(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            with self.lock:
                self.connections.append(conn)
            threading.Thread(target=self.read, args=(conn,), daemon=True).start()

    def read(self, conn):
        while True:
            try:
                data = conn.recv(4096)
            except OSError:
                return
            if not data:
                return
            with self.lock:
                self.received += data

    def got(self, text):
        with self.lock:
            return text.encode() in self.received

    def close(self):
        self.sock.close()
        with self.lock:
            for conn in self.connections:
                conn.close()


def case_close_while_waiting(s, download_url):
    server = SilentServer(s.port)
    try:
        s.start()
        s.search_click()
        poll("the check's request to the silent server", 60,
             lambda: server.got("GET /update HTTP/1.1"))
        s.screenshot("waiting")
        s.escape_main_window()
    finally:
        server.close()


def case_close_while_box(s, download_url):
    s.start_site("2")
    s.start()
    s.search_click()
    box = s.wait_for_dialogs(1)[0]
    check(s.window_title(box) == TITLE, "the box is shown")
    s.screenshot("box")
    # Alt+F4: the window manager's close, as the close box does.
    s.activate(s.window)
    s.run(["xdotool", "key", "alt+F4"], check_rc=True)
    s.wait_for_end("closing the main window through the window manager")
    check(s.handed_off() == [], "the check went no further: nothing was handed off")


CASES = {
    "announce": case_announce,
    "quick-clicks": case_quick_clicks,
    "no-announce": case_no_announce,
    "close-while-waiting": case_close_while_waiting,
    "close-while-box": case_close_while_box,
}


def main():
    if sys.argv[1:] == ["--dump-boxes"]:
        dump_boxes()
        return 0
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--program", required=True)
    parser.add_argument("--site", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--search-host", required=True)
    parser.add_argument("--download-url", required=True)
    args = parser.parse_args()
    port = int(args.search_host.rsplit(":", 1)[1])

    session = UpdateSession(args, args.case, port)
    session.args.site = args.site
    try:
        session.install_test_browser()
        CASES[args.case](session, args.download_url)
    except Failure as failure:
        return report_failure(session, failure)
    finally:
        session.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
