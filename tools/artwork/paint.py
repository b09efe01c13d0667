"""Drawing routines: supersampled layers, soft shadows, glows, gradients and text."""

import math
from contextlib import contextmanager

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

SS = 4  # supersampling factor of every vector layer

FONT_DIR = "/usr/share/fonts/opentype/noto"
SC_INDEX = 2  # the Simplified Chinese face in the Noto Sans CJK collections


def font(size, bold=True):
    """Noto Sans CJK SC at size pixels (of the layer it is drawn on)."""
    name = "NotoSansCJK-Bold.ttc" if bold else "NotoSansCJK-Regular.ttc"
    return ImageFont.truetype(f"{FONT_DIR}/{name}", max(1, round(size)), index=SC_INDEX)


def clamp8(v):
    return 0 if v < 0 else (255 if v > 255 else int(round(v)))


def mix(a, b, t):
    """The colour t of the way from a to b (RGB or RGBA tuples)."""
    return tuple(clamp8(x + (y - x) * t) for x, y in zip(a, b))


def shade(colour, factor):
    """colour made lighter (factor > 1, towards white) or darker (factor < 1)."""
    if factor >= 1:
        return mix(colour[:3], (255, 255, 255), factor - 1) + tuple(colour[3:])
    return tuple(clamp8(c * factor) for c in colour[:3]) + tuple(colour[3:])


class Layer:
    """A transparent RGBA layer over the box (x, y, w, h) of a picture, drawn SS times finer.

    Every method takes picture coordinates; the layer scales them."""

    def __init__(self, x, y, w, h):
        self.x, self.y, self.w, self.h = int(x), int(y), int(math.ceil(w)), int(math.ceil(h))
        self.image = Image.new("RGBA", (self.w * SS, self.h * SS), (0, 0, 0, 0))
        self.draw = ImageDraw.Draw(self.image)

    @contextmanager
    def blended(self):
        """Within it, self.draw paints over what is there instead of replacing it, so that
        translucent colours mix with the layer (ImageDraw replaces RGBA pixels outright)."""
        overlay = Image.new("RGBA", self.image.size, (0, 0, 0, 0))
        saved = self.draw
        self.draw = ImageDraw.Draw(overlay)
        try:
            yield self.draw
        finally:
            self.draw = saved
            self.image.alpha_composite(overlay)

    def _paint(self, colours, fn):
        if any(c is not None and len(c) == 4 and c[3] < 255 for c in colours):
            with self.blended():
                fn()
        else:
            fn()

    # coordinates
    def p(self, x, y):
        return ((x - self.x) * SS, (y - self.y) * SS)

    def box(self, x0, y0, x1, y1):
        a = self.p(x0, y0)
        b = self.p(x1, y1)
        return (a[0], a[1], b[0], b[1])

    def pts(self, points):
        return [self.p(x, y) for x, y in points]

    # shapes with an outline: the outline is drawn first, wider, then the fill inside it
    def ellipse(self, cx, cy, rx, ry, fill, outline=None, width=0.0):
        self._paint((fill, outline), lambda: self._ellipse(cx, cy, rx, ry, fill, outline, width))

    def _ellipse(self, cx, cy, rx, ry, fill, outline, width):
        if outline is not None and width > 0:
            self.draw.ellipse(self.box(cx - rx - width / 2, cy - ry - width / 2,
                                       cx + rx + width / 2, cy + ry + width / 2), fill=outline)
        self.draw.ellipse(self.box(cx - rx + width / 2, cy - ry + width / 2,
                                   cx + rx - width / 2, cy + ry - width / 2), fill=fill)

    def rounded(self, x0, y0, x1, y1, radius, fill, outline=None, width=0.0):
        self._paint((fill, outline),
                    lambda: self._rounded(x0, y0, x1, y1, radius, fill, outline, width))

    def _rounded(self, x0, y0, x1, y1, radius, fill, outline, width):
        if outline is not None and width > 0:
            self.draw.rounded_rectangle(self.box(x0 - width / 2, y0 - width / 2,
                                                 x1 + width / 2, y1 + width / 2),
                                        radius=(radius + width / 2) * SS, fill=outline)
        self.draw.rounded_rectangle(self.box(x0 + width / 2, y0 + width / 2,
                                             x1 - width / 2, y1 - width / 2),
                                    radius=max(0.0, radius - width / 2) * SS, fill=fill)

    def polygon(self, points, fill, outline=None, width=0.0):
        self._paint((fill, outline), lambda: self._polygon(points, fill, outline, width))

    def _polygon(self, points, fill, outline, width):
        if outline is not None and width > 0:
            self.draw.line(self.pts(points + points[:1]), fill=outline, width=int(width * SS * 2),
                           joint="curve")
            for x, y in points:
                self.draw.ellipse(self.box(x - width, y - width, x + width, y + width), fill=outline)
        self.draw.polygon(self.pts(points), fill=fill)

    def line(self, points, fill, width, outline=None, outline_width=0.0):
        """A polyline with round ends; with an outline it becomes a tube."""
        self._paint((fill, outline), lambda: self._line(points, fill, width, outline,
                                                        outline_width))

    def _line(self, points, fill, width, outline, outline_width):
        for colour, w in ((outline, width + 2 * outline_width), (fill, width)):
            if colour is None or w <= 0:
                continue
            self.draw.line(self.pts(points), fill=colour, width=max(1, int(w * SS)), joint="curve")
            for x, y in (points[0], points[-1]):
                self.draw.ellipse(self.box(x - w / 2, y - w / 2, x + w / 2, y + w / 2), fill=colour)

    def arc(self, cx, cy, rx, ry, start, end, fill, width):
        self._paint((fill,), lambda: self.draw.arc(
            self.box(cx - rx, cy - ry, cx + rx, cy + ry), start, end, fill=fill,
            width=max(1, int(width * SS))))

    def text(self, x, y, string, size, fill, bold=True, anchor="mm", stroke=0.0, stroke_fill=None):
        self._paint((fill, stroke_fill), lambda: self.draw.text(
            self.p(x, y), string, font=font(size * SS, bold), fill=fill, anchor=anchor,
            stroke_width=int(stroke * SS), stroke_fill=stroke_fill))

    def paste_gradient(self, mask, top, bottom, y0, y1):
        """Fill the mask (an L image of the layer's size) with a vertical gradient from colour top
        at picture row y0 to colour bottom at row y1."""
        grad = vertical_gradient(self.image.size, top, bottom,
                                 (y0 - self.y) * SS, (y1 - self.y) * SS)
        self.image.paste(grad, (0, 0), mask)

    def new_mask(self):
        return Image.new("L", self.image.size, 0)

    def result(self):
        """The layer at picture resolution."""
        return self.image.resize((self.w, self.h), Image.LANCZOS)


def vertical_gradient(size, top, bottom, y0, y1):
    """An RGBA image of size whose rows go from colour top at row y0 to bottom at row y1."""
    w, h = size
    top = tuple(top) + (255,) * (4 - len(top))
    bottom = tuple(bottom) + (255,) * (4 - len(bottom))
    column = Image.new("RGBA", (1, h))
    span = max(1e-6, y1 - y0)
    column.putdata([mix(top, bottom, min(1.0, max(0.0, (r - y0) / span))) for r in range(h)])
    return column.resize((w, h), Image.NEAREST)


def alpha_of(image):
    return image.getchannel("A")


def drop_shadow(base, layer_image, x, y, offset=(2, 3), blur=3.0, opacity=0.45, colour=(60, 35, 15)):
    """Darken base under the layer's shape, moved by offset and softened by blur."""
    pad = int(blur * 3 + max(abs(offset[0]), abs(offset[1])) + 2)
    a = alpha_of(layer_image)
    canvas = Image.new("L", (a.width + 2 * pad, a.height + 2 * pad), 0)
    canvas.paste(a, (pad + offset[0], pad + offset[1]))
    canvas = canvas.filter(ImageFilter.GaussianBlur(blur))
    canvas = canvas.point(lambda v: int(v * opacity))
    shadow = Image.new("RGBA", canvas.size, colour + (255,))
    shadow.putalpha(canvas)
    _composite_clipped(base, shadow, x - pad, y - pad)


def place(base, layer, shadow=None):
    """Composite a finished Layer onto the RGBA base, with an optional drop shadow
    (a dict of drop_shadow's keyword arguments)."""
    img = layer.result()
    if shadow is not None:
        drop_shadow(base, img, layer.x, layer.y, **shadow)
    _composite_clipped(base, img, layer.x, layer.y)


def _composite_clipped(base, img, x, y):
    """alpha_composite that accepts positions partly outside the base."""
    left = max(0, -x)
    top = max(0, -y)
    right = min(img.width, base.width - x)
    bottom = min(img.height, base.height - y)
    if right <= left or bottom <= top:
        return
    base.alpha_composite(img.crop((left, top, right, bottom)), (x + left, y + top))


def glow_frame(base, rect, radius, line=2.4, colour=(255, 255, 255), glow=7.0, strength=1.0,
               halo=16.0):
    """A glowing rounded frame: a bright line with a tight glow and a wide faint halo."""
    x0, y0, x1, y1 = rect
    pad = int(halo * 3 + 4)
    bx, by = int(math.floor(x0)) - pad, int(math.floor(y0)) - pad
    w, h = int(math.ceil(x1)) + pad - bx, int(math.ceil(y1)) + pad - by

    def ring(width):
        mask = Image.new("L", (w * SS, h * SS), 0)
        d = ImageDraw.Draw(mask)
        d.rounded_rectangle(((x0 - bx) * SS, (y0 - by) * SS, (x1 - bx) * SS, (y1 - by) * SS),
                            radius=radius * SS, outline=255, width=max(1, int(width * SS)))
        return mask.resize((w, h), Image.LANCZOS)

    sharp = ring(line)
    tight = ring(line * 2.2).filter(ImageFilter.GaussianBlur(glow / 2))
    wide = ring(line * 3).filter(ImageFilter.GaussianBlur(halo / 2))
    alpha = ImageChops.lighter(
        ImageChops.lighter(sharp, tight.point(lambda v: min(255, int(v * 1.6 * strength)))),
        wide.point(lambda v: min(255, int(v * 1.3 * strength))))
    layer = Image.new("RGBA", (w, h), colour + (255,))
    layer.putalpha(alpha)
    _composite_clipped(base, layer, bx, by)
