#!/usr/bin/env python3
"""Checks the committed pictures and icons.

    check_artwork.py RESOURCES_DIR SCRATCH_DIR

- every file has its format and size, and none is larger than 300 KB;
- the background's two glowing frames surround the edit box and the search button where the
  window shows them, also when the window manager's frame makes the client area a pixel or two
  larger or smaller;
- the button faces carry their dark words, picture 3 its light frame inside the part that the
  button shows, and picture 2's visible corner continues the background's wood;
- the icon is the gradient character on a white tile with transparent corners;
- the generator still draws exactly what is committed (redrawn into SCRATCH_DIR).

The window's numbers are written out here again on purpose, apart from the generator's, so that
a mistake in its geometry cannot hide itself.
"""

import os
import subprocess
import sys

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
APP_ID = "org.tuvaro.Tuvaro"

failures = []


def check(condition, text):
    if not condition:
        failures.append(text)
    return condition


def luminance(rgb):
    r, g, b = rgb[:3]
    return 0.299 * r + 0.587 * g + 0.114 * b


def check_files(res):
    expected = {
        "background.jpg": ("JPEG", (800, 782)),
        "back_button.jpg": ("JPEG", (297, 180)),
        "search_button.jpg": ("JPEG", (159, 59)),
        "icon.png": ("PNG", (250, 250)),
    }
    for size in (48, 128, 256):
        expected[f"icons/{size}/{APP_ID}.png"] = ("PNG", (size, size))
    for name, (fmt, size) in expected.items():
        path = os.path.join(res, name)
        if not check(os.path.isfile(path), f"{name}: missing"):
            continue
        with Image.open(path) as img:
            check(img.format == fmt, f"{name}: {img.format}, expected {fmt}")
            check(img.size == size, f"{name}: {img.size}, expected {size}")
            if fmt == "PNG":
                check(img.mode == "RGBA", f"{name}: mode {img.mode}, expected RGBA")
        check(os.path.getsize(path) <= 300 * 1024, f"{name}: larger than 300 KB")


# The window: its client area, and the controls in client coordinates (left, top, width, height).
# The client area is 588 x 574 where the frame is as thick as on Windows and 592 x 582 under
# openbox; the frames must surround the controls at both, and a pixel or two either way.
CLIENT_SIZES = ((588, 574), (588, 573), (589, 575), (590, 574),
                (592, 582), (592, 581), (591, 583), (590, 580))
EDIT_BOX = (122, 336, 326, 26)
SEARCH_BUTTON = (223, 384, 119, 46)
NEAREST, FARTHEST = 1.5, 12.0  # the frame's line lies this far outside its control (client px)


def to_picture(client, x, y):
    """The background point shown at client point (x, y): the picture is centred and shrunk by
    min(client w / 800, client h / 782)."""
    s = min(client[0] / 800, client[1] / 782, 1.0)
    ox = (client[0] - 800 * s) / 2
    oy = (client[1] - 782 * s) / 2
    return ((x - ox) / s, (y - oy) / s)


def brightest_near(img, x, y, reach=4):
    best = 0.0
    for dy in range(-reach, reach + 1):
        for dx in range(-reach, reach + 1):
            px, py = int(round(x)) + dx, int(round(y)) + dy
            if 0 <= px < img.width and 0 <= py < img.height:
                best = max(best, luminance(img.getpixel((px, py))))
    return best


def ring_points(rect, step=6):
    """Points along the four sides of rect = (left, top, right, bottom), by side."""
    left, top, right, bottom = rect
    xs = [left + (right - left) * i / step for i in range(1, step)]
    ys = [top + (bottom - top) * i / step for i in range(1, step)]
    return {
        "top": [(x, top) for x in xs],
        "bottom": [(x, bottom) for x in xs],
        "left": [(left, y) for y in ys],
        "right": [(right, y) for y in ys],
    }


NORMALS = {"top": (0, -1), "bottom": (0, 1), "left": (-1, 0), "right": (1, 0)}


def lit_outside(bg, client, point, side, near, far):
    """The brightest background pixel on the way out from a control's edge point (client
    coordinates), between near and far client pixels from it."""
    nx, ny = NORMALS[side]
    best = 0.0
    d = near
    while d <= far:
        px, py = to_picture(client, point[0] + nx * d, point[1] + ny * d)
        px, py = int(px), int(py)
        if 0 <= px < bg.width and 0 <= py < bg.height:
            best = max(best, luminance(bg.getpixel((px, py))))
        d += 0.5
    return best


def check_frames(res):
    bg = Image.open(os.path.join(res, "background.jpg")).convert("RGB")
    for client in CLIENT_SIZES:
        for name, (x, y, w, h), facing in (("edit box", EDIT_BOX, "bottom"),
                                           ("search button", SEARCH_BUTTON, "top")):
            edges = ring_points((x, y, x + w, y + h))
            for side, points in edges.items():
                # the frame's line: bright on the way out from every point of the side
                lit = min(lit_outside(bg, client, p, side, NEAREST, FARTHEST) for p in points)
                check(lit >= 242, f"client {client}: no lit frame outside the {name}'s {side} "
                                  f"side (brightest {lit:.0f})")
                if side == facing:
                    continue  # the other control's frame lies that way
                # and plain wood beyond it (the middle of the side only: near the corners lies
                # the other control's frame)
                wood = max(lit_outside(bg, client, p, side, 30, 30) for p in points[2:-2])
                check(wood < lit - 20, f"client {client}: 30 pixels beyond the {name}'s {side} "
                                       f"side it is as bright as the frame ({wood:.0f})")


def dark_pixels(img, box):
    region = img.crop(box)
    return sum(1 for p in region.getdata() if luminance(p) < 90)


def mean_colour(img):
    data = list(img.getdata())
    return tuple(sum(p[i] for p in data) / len(data) for i in range(3))


def check_buttons(res):
    search = Image.open(os.path.join(res, "search_button.jpg")).convert("RGB")
    bw, bh = SEARCH_BUTTON[2], SEARCH_BUTTON[3]
    vx, vy = (search.width - bw) // 2, (search.height - bh) // 2  # the part the button shows
    check(dark_pixels(search, (vx + 20, vy + 8, vx + bw - 20, vy + bh - 8)) > 150,
          "search button: no dark word in the middle")
    inner = ring_points((vx + 4, vy + 4, vx + bw - 4, vy + bh - 4))
    for side, points in inner.items():
        lit = min(brightest_near(search, px, py, 2) for px, py in points)
        check(lit >= 225, f"search button: its light frame does not show on the {side} side "
                          f"({lit:.0f})")

    back = Image.open(os.path.join(res, "back_button.jpg")).convert("RGB")
    check(dark_pixels(back, (back.width // 2 - 70, back.height // 2 - 20,
                             back.width // 2 + 70, back.height // 2 + 20)) > 400,
          "back button: no dark words in the middle")
    # The back button sits at client (-11, -8); its visible corner shows client (0, 0)-(102, 47).
    bg = Image.open(os.path.join(res, "background.jpg")).convert("RGB")
    corner = back.crop((11, 8, 113, 55))
    l, t = to_picture((588, 574), 0, 0)
    r, b = to_picture((588, 574), 102, 47)
    under = bg.crop((int(round(l)), int(round(t)), int(round(r)), int(round(b))))
    a, c = mean_colour(corner), mean_colour(under)
    check(all(abs(x - y) < 10 for x, y in zip(a, c)),
          f"back button: its wood {tuple(round(x) for x in a)} does not match the background "
          f"under it {tuple(round(x) for x in c)}")


def check_icon(res):
    for name in ["icon.png"] + [f"icons/{s}/{APP_ID}.png" for s in (48, 128, 256)]:
        img = Image.open(os.path.join(res, name)).convert("RGBA")
        w, h = img.size
        check(img.getpixel((0, 0))[3] == 0 and img.getpixel((w - 1, h - 1))[3] == 0,
              f"{name}: corners are not transparent")
        tile = img.getpixel((w // 8, h // 2))
        check(tile[3] == 255 and luminance(tile) > 240, f"{name}: no white tile ({tile})")
        pixels = list(img.getdata())
        red = sum(1 for r, g, b, a in pixels if a > 200 and r > 190 and g < 110 and b < 110)
        yellow = sum(1 for r, g, b, a in pixels if a > 200 and r > 220 and g > 160 and b < 90)
        green = sum(1 for r, g, b, a in pixels if a > 200 and g > 120 and r < 110 and b < 120)
        least = w * h // 400
        check(min(red, yellow, green) >= least,
              f"{name}: the gradient lacks a colour (red {red}, yellow {yellow}, green {green})")


def check_reproducible(res, scratch):
    os.makedirs(scratch, exist_ok=True)
    result = subprocess.run([sys.executable, os.path.join(HERE, "generate.py"), scratch],
                            capture_output=True, text=True, timeout=150)
    if not check(result.returncode == 0, f"generate.py failed: {result.stderr}"):
        return
    names = ["background.jpg", "back_button.jpg", "search_button.jpg", "icon.png"]
    names += [f"icons/{s}/{APP_ID}.png" for s in (48, 128, 256)]
    for name in names:
        committed = Image.open(os.path.join(res, name)).convert("RGBA")
        drawn = Image.open(os.path.join(scratch, name)).convert("RGBA")
        if not check(committed.size == drawn.size, f"{name}: the generator draws another size"):
            continue
        worst = max(abs(a - b) for p, q in zip(committed.getdata(), drawn.getdata())
                    for a, b in zip(p, q))
        check(worst <= 2, f"{name}: the generator now draws something else (differs by "
                          f"{worst}); run tools/artwork/generate.sh and commit the result")


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    res, scratch = argv[1], argv[2]
    check_files(res)
    if not failures:
        check_frames(res)
        check_buttons(res)
        check_icon(res)
        check_reproducible(res, scratch)
    for text in failures:
        print("FAILED:", text)
    print("artwork:", "ok" if not failures else f"{len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
