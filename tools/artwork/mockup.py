#!/usr/bin/env python3
"""Draws how the main window's client area will look with the pictures, for checking by eye.

    mockup.py RESOURCES_DIR OUTPUT.png [CLIENT_WIDTH CLIENT_HEIGHT]

The background is shrunk and centred as the window does it, the edit box is a white box with
its hint text, the search button shows the middle of picture 3 and the back button the visible
corner of picture 2 with its caption.
"""

import os
import sys

from PIL import Image, ImageDraw

import geometry
from paint import font

HINT = "点击搜索后，请往下拉，如果出现空白，多搜索几次"
FACE = (239, 235, 231)  # a button-face colour, for the client area around the picture


def mockup(resources, client):
    canvas = Image.new("RGB", client, FACE)
    bg = Image.open(os.path.join(resources, "background.jpg"))
    s = geometry.background_scale(client)
    size = (round(bg.width * s), round(bg.height * s))
    shown = bg.resize(size, Image.BILINEAR)
    canvas.paste(shown, ((client[0] - size[0]) // 2, (client[1] - size[1]) // 2))
    d = ImageDraw.Draw(canvas)

    x, y, w, h = geometry.EDIT_BOX
    d.rectangle((x, y, x + w - 1, y + h - 1), fill=(255, 255, 255), outline=(150, 150, 150))
    d.line((x + 1, y + 1, x + w - 2, y + 1), fill=(200, 200, 200))
    d.text((x + 5, y + h / 2), HINT, font=font(13, bold=False), fill=(0, 0, 0), anchor="lm")

    x, y, w, h = geometry.SEARCH_BUTTON
    face = Image.open(os.path.join(resources, "search_button.jpg"))
    left = (face.width - w) // 2
    top = (face.height - h) // 2
    canvas.paste(face.crop((left, top, left + w, top + h)), (x, y))

    x, y, w, h = geometry.BACK_BUTTON
    face = Image.open(os.path.join(resources, "back_button.jpg"))
    canvas.paste(face.crop((-x, -y, w, h)), (0, 0))
    d.text((x + w / 2, y + h / 2), "返回搜索", font=font(13, bold=False), fill=(0, 0, 0),
           anchor="mm")
    return canvas


def main(argv):
    if len(argv) not in (3, 5):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    client = geometry.CLIENT_SIZE if len(argv) == 3 else (int(argv[3]), int(argv[4]))
    mockup(argv[1], client).save(argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
