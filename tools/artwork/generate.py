#!/usr/bin/env python3
"""Draws the program's pictures and icons.

    generate.py OUTPUT_DIR

writes into OUTPUT_DIR (the resources folder):
    background.jpg      picture 1, the main window's background, 800 x 782
    back_button.jpg     picture 2, the back-to-search button's face, 297 x 180
    search_button.jpg   picture 3, the search button's face, 159 x 59
    icon.png            the program icon, 250 x 250
    icons/N/org.tuvaro.Tuvaro.png   the icon for the desktop, N = 48, 128, 256

Everything is drawn here, from seeded random numbers and the Noto Sans CJK fonts, so the same
system draws the same pictures every time. geometry.py says where the controls fall on the
background and how the two frames are placed around them.
"""

import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFilter

import figures
import geometry
from paint import SS, Layer, font, glow_frame, mix, place, shade, vertical_gradient
from wood import Wood

APP_ID = "org.tuvaro.Tuvaro"
BROWN = (74, 42, 20)  # the dark brown of the words on the wood
STEEL_OUTLINE = (48, 52, 58)
JPEG_OPTIONS = dict(quality=90, optimize=True, progressive=False, subsampling=0)

# Layout of the background, in picture pixels.
CHAIN_Y = 168
LOGO_Y = 172  # the logo's middle line
ROW_GROUND = 344  # the four children stand here; their tabs hang below
TAB_SIZE = (132, 40)
ROW_X = (118, 306, 494, 682)
CAPTIONS = ("在线搜索", "电影", "剧集", "软件")
SMALL_PRINT = "本软件只提供搜索服务，搜索结果均来自互联网，请遵守当地法律法规，支持正版影视"
HINT = "片名、演员、导演都能搜"
HINT_Y = 640
SMALL_PRINT_Y = 734
CREDITS_Y = 757
CREDITS = "Tuvaro 2.0  ·  界面与插画：Tuvaro 设计组  ·  感谢每一位观众"


# ---------------------------------------------------------------------------------------------
# Steel chain


def chain_link_face(layer, cx, cy, k):
    """A link seen face-on: a steel ring around an oblong hole; k scales it."""
    ox0, oy0, ox1, oy1 = cx - 19 * k, cy - 10.5 * k, cx + 19 * k, cy + 10.5 * k
    mask = layer.new_mask()
    d = ImageDraw.Draw(mask)
    d.rounded_rectangle(layer.box(ox0, oy0, ox1, oy1), radius=10.5 * k * SS, fill=255)
    d.rounded_rectangle(layer.box(cx - 11.5 * k, cy - 3.6 * k, cx + 11.5 * k, cy + 3.6 * k),
                        radius=3.6 * k * SS, fill=0)
    outline = mask.filter(ImageFilter.MaxFilter(5))
    layer.image.paste(Image.new("RGBA", layer.image.size, STEEL_OUTLINE + (255,)), (0, 0), outline)
    layer.paste_gradient(mask, (236, 240, 245), (112, 120, 130), oy0, oy1)
    # the tube's roundness: a light band along the upper half, a shade along the lower
    with layer.blended() as d:
        d.rounded_rectangle(layer.box(cx - 15.5 * k, cy - 8.2 * k, cx + 15.5 * k, cy - 5.2 * k),
                            radius=4 * k * SS, fill=(255, 255, 255, 150))
        d.rounded_rectangle(layer.box(cx - 14 * k, cy + 6.2 * k, cx + 14 * k, cy + 8.4 * k),
                            radius=3 * k * SS, fill=(70, 76, 86, 120))
    # the hole shows what is behind the chain
    hole = layer.new_mask()
    ImageDraw.Draw(hole).rounded_rectangle(layer.box(cx - 10.5 * k, cy - 2.8 * k, cx + 10.5 * k,
                                                     cy + 2.8 * k), radius=2.8 * k * SS, fill=255)
    layer.image.paste((0, 0, 0, 0), (0, 0), hole)


def chain_link_edge(layer, cx, cy, k):
    """A link seen edge-on: a flat steel bar with rounded ends; k scales it."""
    x0, y0, x1, y1 = cx - 19 * k, cy - 4.2 * k, cx + 19 * k, cy + 4.2 * k
    layer.draw.rounded_rectangle(layer.box(x0 - 0.7, y0 - 0.7, x1 + 0.7, y1 + 0.7),
                                 radius=(4.2 * k + 0.7) * SS, fill=STEEL_OUTLINE)
    mask = layer.new_mask()
    ImageDraw.Draw(mask).rounded_rectangle(layer.box(x0 + 0.3, y0 + 0.3, x1 - 0.3, y1 - 0.3),
                                           radius=(4.2 * k - 0.3) * SS, fill=255)
    layer.paste_gradient(mask, (250, 252, 255), (104, 112, 122), y0, y1)
    with layer.blended() as d:
        d.rounded_rectangle(layer.box(x0 + 4 * k, cy - 2.6 * k, x1 - 4 * k, cy - 1.2 * k),
                            radius=0.7 * k * SS, fill=(255, 255, 255, 210))


def chain(base, y, x0, x1, sag=6.0, k=1.25):
    """A steel chain from x0 to x1 that hangs a little between its ends; k scales the links."""
    layer = Layer(x0 - 40, y - 40, x1 - x0 + 80, 80 + sag)
    pitch = 30.0 * k
    n = int((x1 - x0) / pitch) + 2
    positions = []
    for i in range(n):
        x = x0 - 10 + i * pitch
        t = (x - x0) / (x1 - x0)
        positions.append((i, x, y + sag * 4 * t * (1 - t)))
    for i, x, cy in positions:
        if i % 2 == 0:
            chain_link_face(layer, x, cy, k)
    for i, x, cy in positions:
        if i % 2 == 1:
            chain_link_edge(layer, x, cy, k)
    place(base, layer, shadow=dict(offset=(2, 5), blur=3.0, opacity=0.5))


def bolt(base, x, y):
    """A round steel bolt that holds the chain's end."""
    layer = Layer(x - 12, y - 12, 24, 24)
    layer.ellipse(x, y, 9, 9, (150, 156, 166), STEEL_OUTLINE, 1.4)
    mask = layer.new_mask()
    ImageDraw.Draw(mask).ellipse(layer.box(x - 7.5, y - 7.5, x + 7.5, y + 7.5), fill=255)
    layer.paste_gradient(mask, (245, 247, 250), (118, 126, 136), y - 7.5, y + 7.5)
    layer.line([(x - 4.5, y - 4.5), (x + 4.5, y + 4.5)], (90, 96, 106), 1.6)
    layer.line([(x - 4.5, y + 4.5), (x + 4.5, y - 4.5)], (90, 96, 106), 1.6)
    place(base, layer, shadow=dict(offset=(1, 3), blur=2.0, opacity=0.5))


# ---------------------------------------------------------------------------------------------
# Logo


LOGO_COLOURS = ((236, 64, 60), (255, 146, 30), (250, 204, 30), (84, 190, 70), (40, 150, 230),
                (160, 90, 220))
LOGO_TILT = (-7, 5, -4, 6, -5, 7)
LOGO_LIFT = (0, 5, -2, 4, -3, 3)


def logo_letter(letter, size, colour, tilt):
    """One letter of the logo: a colour gradient with a glossy top, white rim and brown edge.
    Returns the RGBA image at picture scale and the letter's ink box in it."""
    f = font(size * SS)
    rim = int(size * 0.085 * SS)
    edge = rim + int(size * 0.035 * SS)
    l, t, r, b = f.getbbox(letter, anchor="ls", stroke_width=edge)
    pad = edge + 8 * SS
    w, h = r - l + 2 * pad, b - t + 2 * pad
    origin = (pad - l, pad - t)

    def mask(stroke):
        m = Image.new("L", (w, h), 0)
        ImageDraw.Draw(m).text(origin, letter, font=f, fill=255, anchor="ls", stroke_width=stroke,
                               stroke_fill=255)
        return m

    glyph = mask(int(size * 0.02 * SS))
    img = Image.new("RGBA", (w, h), (0, 0, 0, 0))
    img.paste(figures.OUTLINE + (255,), (0, 0), mask(edge))
    img.paste((255, 255, 255, 255), (0, 0), mask(rim))
    gl, gt, gr, gb = glyph.getbbox()
    img.paste(vertical_gradient((w, h), shade(colour, 1.25), shade(colour, 0.8), gt, gb), (0, 0),
              glyph)
    # gloss: the upper part of the glyph, lightened
    gloss = Image.new("L", (w, h), 0)
    ImageDraw.Draw(gloss).ellipse((gl - w, gt - (gb - gt) * 0.9, gr + w, gt + (gb - gt) * 0.42),
                                  fill=110)
    gloss = ImageChops.multiply(gloss, glyph.filter(ImageFilter.MinFilter(2 * (rim // 3) + 1)))
    img.paste((255, 255, 255, 255), (0, 0), gloss)
    img = img.rotate(tilt, resample=Image.BICUBIC, expand=True)
    small = img.resize((max(1, img.width // SS), max(1, img.height // SS)), Image.LANCZOS)
    return small


def logo(base, cx, cy, size=100):
    """The multicoloured lettering logo centred on (cx, cy). Returns each letter's top middle."""
    letters = "Tuvaro"
    f = font(size)
    advances = [f.getlength(ch) * 1.04 for ch in letters]
    total = sum(advances)
    x = cx - total / 2
    images = []
    tops = []
    for i, ch in enumerate(letters):
        img = logo_letter(ch, size, LOGO_COLOURS[i], LOGO_TILT[i])
        mid_x = x + advances[i] / 2
        mid_y = cy - LOGO_LIFT[i]
        px = int(round(mid_x - img.width / 2))
        py = int(round(mid_y - img.height / 2))
        images.append((img, px, py))
        box = img.getchannel("A").getbbox()
        tops.append((px + (box[0] + box[2]) / 2, py + box[1]))
        x += advances[i]
    group = Image.new("RGBA", base.size, (0, 0, 0, 0))
    for img, px, py in images:
        group.alpha_composite(img, (max(0, px), max(0, py)))
    shadow = group.getchannel("A").filter(ImageFilter.GaussianBlur(4))
    shadow = ImageChops.offset(shadow, 3, 6).point(lambda v: int(v * 0.5))
    shade_layer = Image.new("RGBA", base.size, (60, 35, 15, 255))
    shade_layer.putalpha(shadow)
    base.alpha_composite(shade_layer)
    base.alpha_composite(group)
    return tops


# ---------------------------------------------------------------------------------------------
# Tabs, frames and print


def tab(base, wood, cx, top, caption):
    """A small dark wooden tab with a caption, hanging from two nails."""
    w, h = TAB_SIZE
    x0 = int(round(cx - w / 2))
    patch = wood.render(w, h, 3000 + cx * 3, 5000 + top, 0.8, lit=False)
    patch = Image.merge("RGB", [c.point(lambda v, k=k: int(v * k)) for c, k in
                                zip(patch.split(), (0.60, 0.47, 0.38))]).convert("RGBA")
    layer = Layer(x0 - 2, top - 2, w + 4, h + 4)
    layer.rounded(x0, top, x0 + w, top + h, 7, (0, 0, 0, 255))
    mask = layer.image.getchannel("A")
    big = patch.resize((w * SS, h * SS), Image.BICUBIC)
    canvas = Image.new("RGBA", layer.image.size, (0, 0, 0, 0))
    canvas.paste(big, (2 * SS, 2 * SS))
    layer.image = Image.new("RGBA", layer.image.size, (0, 0, 0, 0))
    layer.image.paste(canvas, (0, 0), mask)
    layer.draw = ImageDraw.Draw(layer.image)
    # bevel: light top edge, dark bottom edge, thin dark outline
    with layer.blended() as d:
        d.rounded_rectangle(layer.box(x0 + 1.2, top + 1.2, x0 + w - 1.2, top + h - 1.2),
                            radius=6 * SS, outline=(255, 225, 180, 90), width=int(1.6 * SS))
    layer.draw.rounded_rectangle(layer.box(x0, top, x0 + w, top + h), radius=7 * SS,
                                 outline=(58, 32, 16, 255), width=int(1.3 * SS))
    for nx in (x0 + 9, x0 + w - 9):
        layer.ellipse(nx, top + 8, 2.6, 2.6, (200, 190, 175), (70, 50, 35), 0.9)
        layer.ellipse(nx - 0.7, top + 7.3, 0.9, 0.9, (255, 255, 255, 220))
    layer.text(cx + 0.8, top + h / 2 + 1.6, caption, 22, (40, 20, 8, 200))
    layer.text(cx, top + h / 2 + 0.4, caption, 22, (255, 240, 205))
    place(base, layer, shadow=dict(offset=(2, 4), blur=3.0, opacity=0.5))


def film_strip(base, x, y, length):
    """A short strip of film, painted in translucent brown, along y from x."""
    h = 26.0
    layer = Layer(x - 2, y - h / 2 - 2, length + 4, h + 4)
    layer.rounded(x, y - h / 2, x + length, y + h / 2, 2.5, (92, 56, 26, 150))
    # sprocket holes along both edges
    hole_w, hole_h, pitch = 3.6, 3.0, 8.0
    n = int((length - 6) // pitch)
    start = x + (length - (n - 1) * pitch) / 2
    holes = layer.new_mask()
    for i in range(n):
        hx = start + i * pitch - hole_w / 2
        for hy in (y - h / 2 + 2.2, y + h / 2 - 2.2 - hole_h):
            ImageDraw.Draw(holes).rounded_rectangle(layer.box(hx, hy, hx + hole_w, hy + hole_h),
                                                    radius=0.7 * SS, fill=255)
    layer.image.paste((0, 0, 0, 0), (0, 0), holes)
    # the frames between them
    frames = 5
    fw = (length - 4) / frames
    for i in range(frames):
        fx = x + 2 + i * fw
        with layer.blended() as d:
            d.rounded_rectangle(layer.box(fx + 1.4, y - h / 2 + 7.0, fx + fw - 1.4,
                                          y + h / 2 - 7.0), radius=1.2 * SS,
                                fill=(255, 236, 200, 95))
    place(base, layer)


def painted_text(base, x, y, string, size, colour, bold=False, emboss=True):
    """Text painted on the wood, with a faint light edge under it as if cut in."""
    f = font(size * SS, bold)
    l, t, r, b = f.getbbox(string, anchor="mm")
    layer = Layer(x + l / SS - 4, y + t / SS - 4, (r - l) / SS + 8, (b - t) / SS + 8)
    if emboss:
        layer.text(x, y + 0.9, string, size, (255, 246, 225, 170), bold)
    layer.text(x, y, string, size, colour, bold)
    place(base, layer)


# ---------------------------------------------------------------------------------------------
# The pictures


def background(wood):
    w, h = geometry.BACKGROUND_SIZE
    base = wood.render(w, h).convert("RGBA")

    # the chain across the top, held by a bolt at each end, the logo in its middle
    chain(base, CHAIN_Y, 14, 786)
    bolt(base, 14, CHAIN_Y)
    bolt(base, 786, CHAIN_Y)
    tops = logo(base, 400, LOGO_Y, 104)

    # three little animals sitting on the logo
    animals = Layer(0, 40, 800, 150)
    (tx, ty), (vx, vy), (ox, oy) = tops[0], tops[2], tops[5]
    figures.cat(animals, tx + 2, ty + 4, 58)
    figures.chick(animals, vx + 6, vy + 6, 52)
    figures.panda(animals, ox, oy + 6, 56)
    place(base, animals, shadow=dict(offset=(2, 3), blur=2.5, opacity=0.45))

    # the row of four children, each over its tab
    row = Layer(0, ROW_GROUND - 120, 800, 128)
    makers = (figures.search_child, figures.film_child, figures.series_child,
              figures.software_child)
    for x, make in zip(ROW_X, makers):
        make(row, x, ROW_GROUND, 104)
    for x in ROW_X:
        ground = Layer(x - 40, ROW_GROUND - 8, 80, 14)
        ground.ellipse(x, ROW_GROUND, 34, 5, (90, 55, 25, 90))
        place(base, ground)
    place(base, row, shadow=dict(offset=(2, 3), blur=2.0, opacity=0.35))
    for x, caption in zip(ROW_X, CAPTIONS):
        tab(base, wood, x, ROW_GROUND + 8, caption)

    # the glowing frames around the edit box and the search button
    edit = geometry.frame_on_picture(geometry.EDIT_BOX)
    button = geometry.frame_on_picture(geometry.SEARCH_BUTTON)
    for rect in (edit, button):
        inner = Layer(rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1])
        inner.rounded(rect[0], rect[1], rect[2], rect[3], 9, (255, 250, 238, 70))
        place(base, inner)
        glow_frame(base, rect, radius=9, line=2.6, glow=7, halo=18, strength=1.0)

    # a word of help under the search button, between two strips of film
    painted_text(base, w / 2, HINT_Y, HINT, 17, (104, 64, 30), bold=True)
    hint_w = font(17).getlength(HINT)
    film_strip(base, w / 2 - hint_w / 2 - 24 - 120, HINT_Y, 120)
    film_strip(base, w / 2 + hint_w / 2 + 24, HINT_Y, 120)

    # small print and credits
    painted_text(base, w / 2, SMALL_PRINT_Y, SMALL_PRINT, 14.5, (96, 60, 32))
    painted_text(base, w / 2, CREDITS_Y, CREDITS, 13.5, (120, 80, 46))
    return base.convert("RGB")


def back_picture(wood):
    """Picture 2: the wood that lies under the back button, with 返回搜索 in the middle."""
    w, h = geometry.BACK_BUTTON_PICTURE_SIZE
    s = geometry.background_scale()
    ox, oy = geometry.back_picture_origin()
    x0, y0 = geometry.client_to_picture((ox, oy))
    base = wood.render(w, h, x0, y0, 1 / s).convert("RGBA")
    painted_text(base, w / 2, h / 2, "返回搜索", 38, BROWN, bold=True)
    return base.convert("RGB")


def search_picture(wood):
    """Picture 3: the wood under the search button inside a glowing light frame, with 搜索."""
    w, h = geometry.SEARCH_BUTTON_PICTURE_SIZE
    s = geometry.background_scale()
    ox, oy = geometry.search_picture_origin()
    x0, y0 = geometry.client_to_picture((ox, oy))
    base = wood.render(w, h, x0, y0, 1 / s).convert("RGBA")
    # the frame lies just inside the part that the button shows (its middle 119 x 46)
    bw, bh = geometry.SEARCH_BUTTON[2], geometry.SEARCH_BUTTON[3]
    fx, fy = (w - bw) / 2 + 3, (h - bh) / 2 + 3
    glow_frame(base, (fx, fy, w - fx, h - fy), radius=7, line=2.0, colour=(255, 250, 226),
               glow=5, halo=9, strength=0.9)
    painted_text(base, w / 2, h / 2, "搜索", 25, BROWN, bold=True)
    return base.convert("RGB")


def icon(size):
    """The program icon: the character 影 in a red, yellow and green gradient on a white tile."""
    big = size * SS
    img = Image.new("RGBA", (big, big), (0, 0, 0, 0))
    inset = big * 0.04
    radius = big * 0.2
    # the tile, with a soft shadow under it
    shadow = Image.new("L", (big, big), 0)
    ImageDraw.Draw(shadow).rounded_rectangle((inset, inset + big * 0.015, big - inset,
                                              big - inset + big * 0.015), radius=radius, fill=90)
    img.paste((40, 30, 20, 255), (0, 0), shadow.filter(ImageFilter.GaussianBlur(big * 0.012)))
    ImageDraw.Draw(img).rounded_rectangle((inset, inset, big - inset, big - inset), radius=radius,
                                          fill=(255, 255, 255, 255), outline=(220, 220, 220, 255),
                                          width=max(1, int(big * 0.006)))
    # the character, slightly emboldened
    glyph = Image.new("L", (big, big), 0)
    ImageDraw.Draw(glyph).text((big / 2, big / 2 - big * 0.01), "影", font=font(big * 0.68),
                               fill=255, anchor="mm", stroke_width=int(big * 0.014),
                               stroke_fill=255)
    gl, gt, gr, gb = glyph.getbbox()
    # the gradient runs over the character from red at the top left through yellow to green at
    # the bottom right
    stops = ((0.0, (226, 30, 48)), (0.5, (255, 190, 0)), (1.0, (22, 158, 64)))
    n = 96
    grad_small = Image.new("RGB", (n, n))
    pixels = []
    for y in range(n):
        for x in range(n):
            t = min(1.0, max(0.0, 0.72 * y / (n - 1) + 0.28 * x / (n - 1)))
            for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
                if t <= t1:
                    pixels.append(mix(c0, c1, (t - t0) / (t1 - t0)))
                    break
    grad_small.putdata(pixels)
    grad = Image.new("RGB", (big, big), (255, 255, 255))
    grad.paste(grad_small.resize((gr - gl, gb - gt), Image.BICUBIC), (gl, gt))
    # a soft shadow lifts the character off the tile
    soft = ImageChops.offset(glyph, 0, int(big * 0.012)).filter(
        ImageFilter.GaussianBlur(big * 0.012)).point(lambda v: int(v * 0.30))
    img.paste((90, 60, 30, 255), (0, 0), soft)
    img.paste(grad, (0, 0), glyph)
    # gloss over the upper part of the strokes
    gloss = Image.new("L", (big, big), 0)
    ImageDraw.Draw(gloss).ellipse((gl - big * 0.5, gt - big * 0.55, gr + big * 0.5,
                                   gt + (gb - gt) * 0.45), fill=40)
    inner = glyph.filter(ImageFilter.MinFilter(2 * int(big * 0.008) + 1))
    img.paste((255, 255, 255, 255), (0, 0), ImageChops.multiply(gloss, inner))
    return img.resize((size, size), Image.LANCZOS)


def make_wood():
    """The planks of every picture. One seam runs between the two frames, so that no seam
    crosses the edit box or the search button; no joint or knot lies under either frame."""
    edit = geometry.frame_on_picture(geometry.EDIT_BOX)
    button = geometry.frame_on_picture(geometry.SEARCH_BUTTON)
    text = ((100, HINT_Y - 16, 700, HINT_Y + 16), (90, SMALL_PRINT_Y - 14, 710, CREDITS_Y + 12))
    return Wood(origin=(edit[3] + button[1]) / 2, clear=(edit, button) + text)


def save_jpeg(image, path):
    image.save(path, "JPEG", **JPEG_OPTIONS)


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    out = argv[1]
    wood = make_wood()
    save_jpeg(background(wood), os.path.join(out, "background.jpg"))
    save_jpeg(back_picture(wood), os.path.join(out, "back_button.jpg"))
    save_jpeg(search_picture(wood), os.path.join(out, "search_button.jpg"))
    icon(geometry.ICON_SIZE).save(os.path.join(out, "icon.png"), optimize=True)
    for size in geometry.HICOLOR_SIZES:
        folder = os.path.join(out, "icons", str(size))
        os.makedirs(folder, exist_ok=True)
        icon(size).save(os.path.join(folder, APP_ID + ".png"), optimize=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
