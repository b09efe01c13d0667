#!/usr/bin/env python3
"""Search and browsing with the real program and the demo site under Xvfb.

Usage: search_e2e.py CASE --program P --site DEMO_SITE --pictures DIR --artifacts DIR
                     --search-host H

Cases:
  words-reach-the-site  Enter in the edit box starts no search; the words typed reach the site
                        as typed; the box covers the whole client area but the image button,
                        which keeps its picture; back-to-search shows the search screen again;
                        Esc ends the program with exit code 0
  new-windows           a link that targets a new window and a script's window.open both load
                        in the box, and no second window appears
  back-forward          Alt+Left and Alt+Right go back and forward in the box
  site-down             a search while the site cannot be reached shows our page in the box,
                        which names the address
Each case has its own display; screenshots and logs are kept under the artifacts directory.
"""
import argparse
import os
import socket
import subprocess
import sys
import time
import urllib.parse

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from shell_e2e import (report_failure, BACK_BUTTON, EDIT_BOX, HINT, SEARCH_BUTTON, Failure,  # noqa: E402
                       Session, check, mean_difference, poll)

WORDS = "星际 movie"

# Client-area regions, as left, top, right, bottom.
EDIT_REGION = (EDIT_BOX[0], EDIT_BOX[1], EDIT_BOX[0] + EDIT_BOX[2], EDIT_BOX[1] + EDIT_BOX[3])
BUTTON_REGION = (SEARCH_BUTTON[0], SEARCH_BUTTON[1], SEARCH_BUTTON[0] + SEARCH_BUTTON[2],
                 SEARCH_BUTTON[1] + SEARCH_BUTTON[3])
# Above the edit box and right of the image button: the background's logo and figures.
TOP_BAND = (110, 50, 580, 210)
# Most of the search screen, for telling it from the page.
SEARCH_SCREEN = (120, 60, 580, 560)
# A spot of the page far from links and from the image button: a click there gives the box
# the keyboard without following anything.
QUIET_SPOT = (560, 14)
# The colour of the result page's two buttons (a link that targets a new window, and one whose
# script opens a window).
TOOL_BLUE = (0x2f, 0x6f, 0x9f)
DETAIL_101 = "资源详情 101"
DETAIL_102 = "资源详情 102"
# Only the result page has it (the detail page links back to "搜索结果").
RESULTS_MARK = "用脚本打开新窗口"


class Args:
    def __init__(self, program, artifacts):
        self.program = program
        self.artifacts = artifacts


class Program(Session):
    """The program under test, with what the cases need to see of it."""

    def client(self, shot):
        x, y, w, h = self.geometry()
        return shot.crop((x, y, x + w, y + h))

    def click(self, point, button=1):
        x, y, _, _ = self.geometry()
        self.run(["xdotool", "mousemove", str(x + point[0]), str(y + point[1]),
                  "click", str(button)], check_rc=True)

    def key(self, *keys):
        self.run(["xdotool", "key", *keys], check_rc=True)

    def search(self):
        self.click((SEARCH_BUTTON[0] + 20, SEARCH_BUTTON[1] + 23))

    def page_text(self):
        """The text of the page in the box, as the user can copy it; the selection is then
        cleared again so that later screenshots do not show it."""
        self.click(QUIET_SPOT)
        self.key("ctrl+a", "ctrl+c")
        time.sleep(0.3)  # let the copy reach the clipboard before it is read
        text = self.run(["xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"])
        self.click(QUIET_SPOT)
        return text

    def wait_for_text(self, what, needle, absent=None):
        """Waits until the page in the box holds `needle` (and not `absent`)."""
        def probe():
            text = self.page_text()
            return needle in text and (absent is None or absent not in text) and text
        text = poll(what, 60, probe, 1.0)
        with open(os.path.join(self.artifacts, "page-texts.log"), "a", encoding="utf-8") as log:
            log.write(f"--- {what}\n{text}\n")
        return text

    def top_level_windows(self):
        """The top-level windows that the window manager knows of, whatever program they
        belong to: a second browser window would be one of them."""
        out = self.run(["xprop", "-root", "_NET_CLIENT_LIST"])
        if "#" not in out:
            return []
        return [w.strip() for w in out.split("#", 1)[1].split(",") if w.strip()]


def crop(image, box):
    return image.crop(box)


def share(image, predicate):
    pixels = list(image.getdata())
    return sum(1 for p in pixels if predicate(p)) / len(pixels)


def is_light(p):
    return min(p) > 235


def near(colour, tolerance=30):
    return lambda p: all(abs(a - b) <= tolerance for a, b in zip(p, colour))


def tool_buttons(client):
    """The result page's two blue buttons in the client area, as click points, left first."""
    band = client.crop((0, 0, client.width, min(client.height, 260)))
    blue = near(TOOL_BLUE, 25)
    columns = [x for x in range(band.width)
               if sum(1 for y in range(band.height) if blue(band.getpixel((x, y)))) >= 8]
    runs = []
    for x in columns:
        if runs and x - runs[-1][1] <= 6:
            runs[-1][1] = x
        else:
            runs.append([x, x])
    runs = [r for r in runs if r[1] - r[0] >= 40]
    points = []
    for left, right in runs:
        middle = (left + right) // 2
        rows = [y for y in range(band.height) if blue(band.getpixel((middle, y)))]
        points.append((middle, (rows[0] + rows[-1]) // 2))
    return points


def site_targets(log_path, prefix="/s/"):
    """The request targets that the site logged, those that begin with `prefix`: every search
    click also asks for the update information, which is no search."""
    if not os.path.exists(log_path):
        return []
    with open(log_path, encoding="utf-8") as log:
        targets = [line.split(" ")[1] for line in log.read().splitlines() if line.count(" ") >= 2]
    return [target for target in targets if target.startswith(prefix)]


class Site:
    """The demo site on the search host's port, which the build fixes: another run may still
    hold it for a while, so starting is tried again until it is free."""

    def __init__(self, script, port, artifacts):
        self.script = script
        self.port = port
        self.log = os.path.join(artifacts, "site-requests.log")
        self.out = os.path.join(artifacts, "site.log")
        self.process = None

    def start(self):
        def attempt():
            if self.process is not None and self.process.poll() is None:
                return self.listening()
            with open(self.out, "wb") as out:
                self.process = subprocess.Popen(
                    [sys.executable, self.script, "--port", str(self.port), "--log", self.log],
                    stdout=out, stderr=subprocess.STDOUT)
            return poll("the demo site to start or give up", 30,
                        lambda: self.listening() or self.process.poll() is not None) and \
                self.listening()
        poll(f"the demo site to listen on port {self.port}", 180, attempt, 1.0)

    def listening(self):
        if self.process is None or self.process.poll() is not None:
            return False
        with open(self.out, encoding="utf-8", errors="replace") as out:
            return "listening on" in out.read()

    def targets(self, prefix="/s/"):
        return site_targets(self.log, prefix)

    def stop(self):
        if self.process is not None and self.process.poll() is None:
            self.process.terminate()
            self.process.wait(timeout=10)


def hold_port(port):
    """Binds the port without listening, so that connections to it are refused and no other
    program can take it while the case runs."""
    def bind():
        holder = socket.socket()
        # Connections of the previous case that linger in TIME_WAIT do not keep it busy.
        holder.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            holder.bind(("127.0.0.1", port))
            return holder
        except OSError:
            holder.close()
            return None
    return poll(f"port {port} to be free", 180, bind, 1.0)


def start(session, site):
    session.start_display()
    session.start_program()
    poll("the first page", 90, lambda: site.targets())


def show_results(session, site):
    """Goes back to the search screen (the shown box covers the search button), clicks the
    search button and waits for the result page."""
    session.click((60, 30))
    before = len(site.targets())
    session.search()
    poll("the search request", 60, lambda: len(site.targets()) > before)
    session.wait_for_text("the result page", RESULTS_MARK)
    return session.settled_screenshot("result-page")


def check_image_button(shown, pictures):
    """Only the image button stays above the page: its picture from its top-left corner, cut
    where the button ends."""
    back = Image.open(os.path.join(pictures, "back_button.jpg")).convert("RGB")
    face = Image.new("RGB", shown.size)
    face.paste(back, (BACK_BUTTON[0], BACK_BUTTON[1]))
    for name, region in (("left strip", (2, 2, 28, 45)), ("right strip", (78, 2, 100, 45))):
        difference = mean_difference(crop(shown, region), crop(face, region))
        check(difference < 18, f"the image button's {name} shows picture 2 above the page "
                               f"(difference {difference:.1f})")
    beyond = (104, 4, 150, 44)
    difference = mean_difference(crop(shown, beyond), crop(face, beyond))
    check(difference > 18, f"right of the image button the page shows, not more of picture 2 "
                           f"(difference {difference:.1f})")


def case_words_reach_the_site(s, site, args):
    search_screen = s.client(s.settled_screenshot("search-screen"))

    s.click((EDIT_BOX[0] + 40, EDIT_BOX[1] + EDIT_BOX[3] // 2))
    s.key("ctrl+a", "BackSpace")
    s.run(["xdotool", "type", "--delay", "60", WORDS], check_rc=True)
    s.key("Return")
    time.sleep(1.0)  # a search that Enter started would have reached the site by now
    count = len(site.targets())
    check(count == 1, f"Enter in the edit box starts no search ({count} search requests)")
    typed = s.client(s.settled_screenshot("typed"))

    s.search()
    targets = poll("the search request", 60, lambda: site.targets()[1:])
    words = urllib.parse.unquote(targets[0], encoding="utf-8")
    check(words == "/s/" + WORDS, f"the site received exactly the words typed: {words!r}")
    s.wait_for_text("the result page", RESULTS_MARK)
    shown = s.client(s.settled_screenshot("result-page"))

    # The box covers the whole client area: where the background, the edit box (with the words
    # typed) and the search button were, the page shows now.
    for name, region, was in (("the background's top band", TOP_BAND, search_screen),
                              ("the edit box", EDIT_REGION, typed),
                              ("the search button", BUTTON_REGION, search_screen)):
        difference = mean_difference(crop(shown, region), crop(was, region))
        check(difference > 15, f"the page covers {name} (difference {difference:.1f})")

    check_image_button(shown, args.pictures)

    s.click((60, 30))
    after = s.client(s.settled_screenshot("back-to-search"))
    difference = mean_difference(crop(after, SEARCH_SCREEN), crop(search_screen, SEARCH_SCREEN))
    check(difference < 10, f"back to search shows the search screen (difference "
                           f"{difference:.1f})")
    inside = (EDIT_REGION[0] + 3, EDIT_REGION[1] + 3, EDIT_REGION[2] - 3, EDIT_REGION[3] - 3)
    white = share(crop(after, inside), is_light)
    check(white > 0.5, f"the edit box is white again ({white:.0%} white pixels)")
    s.press_escape_after_focusing((EDIT_BOX[0] + 40, EDIT_BOX[1] + 10))


def case_new_windows(s, site, args):
    # Each way of asking for a new window, from the result page: the button's place on it and
    # the detail page that the new window would show.
    ways = (("a link that targets a new window", 0, "/detail/101", DETAIL_101),
            ("a script's window.open", 1, "/detail/102", DETAIL_102))
    for what, index, target, heading in ways:
        # From the second time on, the box is shown again after back-to-search: the image
        # button must still lie above it.
        shown = s.client(show_results(s, site))
        check_image_button(shown, args.pictures)
        buttons = tool_buttons(shown)
        check(len(buttons) == 2, f"the result page shows its two buttons: {buttons}")
        s.click(buttons[index])
        poll(f"the request of {what}", 60, lambda: site.targets(target))
        s.wait_for_text(f"the page of {what} in the box", heading, absent=RESULTS_MARK)
        s.settled_screenshot("new-window-" + target.rsplit("/", 1)[1])
        windows = s.top_level_windows()
        check(len(windows) == 1, f"{what} opens no second window ({len(windows)} top-level "
                                 f"windows: {windows})")
        mine = s.run(["xdotool", "search", "--onlyvisible", "--class", "org.tuvaro.Tuvaro"])
        check(len(mine.split()) == 1, f"{what}: the program shows one window")


def case_back_forward(s, site, args):
    shown = s.client(show_results(s, site))
    buttons = tool_buttons(shown)
    check(len(buttons) == 2, f"the result page shows its two buttons: {buttons}")
    s.click(buttons[0])
    s.wait_for_text("the detail page", DETAIL_101, absent=RESULTS_MARK)
    steps = (("alt+Left", "back", RESULTS_MARK, DETAIL_101),
             ("alt+Right", "forward", DETAIL_101, RESULTS_MARK))
    for keys, name, shows, hides in steps:
        s.click(QUIET_SPOT)  # the box has the keyboard
        s.key(keys)
        s.wait_for_text(f"{keys} to go {name}", shows, absent=hides)
        s.settled_screenshot(name)
        check(True, f"{keys} went {name} in the box")


def case_site_down(s, site, args):
    s.settled_screenshot("search-screen")
    s.search()

    def light_band():
        client = s.client(s.screenshot("error-page"))
        return share(crop(client, TOP_BAND), is_light) > 0.8

    poll("a page in the box", 60, light_band, 0.5)
    shown = s.client(s.settled_screenshot("error-page"))
    # Our page is light and plain below its few lines: nothing of the search screen shows
    # through it.
    for name, region in (("the background's top band", TOP_BAND), ("the edit box", EDIT_REGION),
                         ("the search button", BUTTON_REGION)):
        light = share(crop(shown, region), is_light)
        check(light > 0.8, f"our page covers {name} ({light:.0%} light pixels)")
    heading = crop(shown, (110, 0, 588, 120))
    dark = share(heading, lambda p: max(p) < 120)
    check(dark > 0.003, f"our page shows its heading ({dark:.2%} dark pixels)")

    text = s.wait_for_text("our page's text", "无法访问此网站")
    address = "http://" + args.search_host + "/s/"
    check(address in text, f"our page names the address {address}...")
    check(HINT in urllib.parse.unquote(text, encoding="utf-8"),
          "our page names the whole address, with the words")


CASES = {
    "words-reach-the-site": case_words_reach_the_site,
    "new-windows": case_new_windows,
    "back-forward": case_back_forward,
    "site-down": case_site_down,
}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=sorted(CASES))
    parser.add_argument("--program", required=True)
    parser.add_argument("--site", required=True)
    parser.add_argument("--pictures", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--search-host", required=True)
    args = parser.parse_args()
    port = int(args.search_host.rsplit(":", 1)[1])

    session = Program(Args(args.program, args.artifacts), "search-" + args.case)
    site = Site(args.site, port, session.artifacts)
    holder = None
    try:
        if args.case == "site-down":
            holder = hold_port(port)
            session.start_display()
            session.start_program()
        else:
            site.start()
            start(session, site)
        CASES[args.case](session, site, args)
    except Failure as failure:
        return report_failure(session, failure)
    finally:
        session.close()
        site.stop()
        if holder is not None:
            holder.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
