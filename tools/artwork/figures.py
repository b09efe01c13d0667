"""Cartoon figures: four children with the things they stand for, and three small animals.

Each figure is drawn in its own units: 100 units from the soles (y = 0) to the top of the head
(y = -100), x = 0 on the figure's middle. Local maps them onto a Layer.
"""

import math

from paint import shade

OUTLINE = (62, 38, 22)
SKIN = (255, 221, 188)
CHEEK = (255, 140, 140, 150)
EYE = (45, 30, 25)
WHITE = (255, 255, 255)


class Local:
    """A figure's units placed on a layer: origin at (cx, ground), 100 units = height pixels."""

    def __init__(self, layer, cx, ground, height, flip=False):
        self.layer = layer
        self.cx = cx
        self.ground = ground
        self.k = height / 100.0
        self.flip = -1 if flip else 1
        self.ow = 2.6  # outline width, in units

    def p(self, x, y):
        return (self.cx + self.flip * x * self.k, self.ground + y * self.k)

    def pts(self, points):
        return [self.p(x, y) for x, y in points]

    def ellipse(self, x, y, rx, ry, fill, outline=OUTLINE, width=None):
        cx, cy = self.p(x, y)
        w = (self.ow if width is None else width) * self.k
        self.layer.ellipse(cx, cy, rx * self.k, ry * self.k, fill, outline if w > 0 else None, w)

    def rounded(self, x0, y0, x1, y1, r, fill, outline=OUTLINE, width=None):
        a = self.p(x0, y0)
        b = self.p(x1, y1)
        w = (self.ow if width is None else width) * self.k
        self.layer.rounded(min(a[0], b[0]), min(a[1], b[1]), max(a[0], b[0]), max(a[1], b[1]),
                           r * self.k, fill, outline if w > 0 else None, w)

    def polygon(self, points, fill, outline=OUTLINE, width=None):
        w = (self.ow if width is None else width) * self.k
        self.layer.polygon(self.pts(points), fill, outline if w > 0 else None, w / 2)

    def line(self, points, fill, width, outline=OUTLINE, outline_width=None):
        ow = (self.ow if outline_width is None else outline_width) * self.k
        self.layer.line(self.pts(points), fill, width * self.k, outline if ow > 0 else None, ow)

    def arc(self, x, y, rx, ry, start, end, fill, width):
        cx, cy = self.p(x, y)
        if self.flip < 0:
            start, end = 180 - end, 180 - start
        self.layer.arc(cx, cy, rx * self.k, ry * self.k, start, end, fill, width * self.k)

    def text(self, x, y, string, size, fill, bold=True):
        cx, cy = self.p(x, y)
        self.layer.text(cx, cy, string, size * self.k, fill, bold)


# ---------------------------------------------------------------------------------------------
# Children


def face(f, x=0.0, y=-68.0, mood="smile"):
    """Eyes, cheeks and mouth on a head centred at (x, y)."""
    for ex in (-10.5, 10.5):
        f.ellipse(x + ex, y + 1, 3.9, 5.2, EYE, width=0)
        f.ellipse(x + ex + 1.3, y - 1.2, 1.5, 1.7, WHITE, width=0)
        f.ellipse(x + ex * 1.55, y + 10, 5.2, 3.0, CHEEK, width=0)
    if mood == "open":
        f.polygon([(x - 6, y + 10), (x + 6, y + 10), (x + 4.5, y + 15), (x, y + 17),
                   (x - 4.5, y + 15)], (190, 60, 60), width=1.6)
        f.ellipse(x, y + 15, 3.2, 1.6, (250, 130, 130), width=0)
    else:
        f.arc(x, y + 8, 6.5, 5.5, 20, 160, OUTLINE, 2.2)


def hair(f, style, colour, y=-68.0):
    top = y - 28
    if style == "spiky":
        spikes = [(-29, y - 2), (-30, y - 14), (-26, top + 2), (-18, top - 7), (-10, top + 1),
                  (-1, top - 9), (6, top + 1), (16, top - 7), (22, top + 2), (30, top - 2),
                  (29, y - 12), (30, y - 2), (22, y - 12), (10, y - 17), (-4, y - 15),
                  (-16, y - 16), (-24, y - 10)]
        f.polygon(spikes, colour)
    elif style == "bob":
        outline = arc_points(0, y, 32.5, 31, 165, 375)
        outline += [(31, y + 13), (24, y + 13), (22, y - 8), (14, y - 14), (6, y - 11),
                    (-2, y - 15), (-10, y - 12), (-18, y - 15), (-23, y - 8), (-24, y + 13),
                    (-31, y + 13)]
        f.polygon(outline, colour)
        f.ellipse(-22, top + 3, 6, 5, (255, 120, 160))
    elif style == "cap":
        dome = arc_points(0, y - 7, 30.5, 25, 180, 360)
        dome += [(p[0], y - 7 + 3.5 * (1 - (p[0] / 30.5) ** 2) * -1 + 1) for p in
                 reversed(arc_points(0, 0, 30.5, 1, 0, 180, 12))]
        f.polygon(dome, colour)
        f.arc(0, y - 7, 18, 25, 250, 290, shade(colour, 0.85), 1.6)
        brim = [(2, y - 13)]
        brim += [(2 + 42 * math.sin(a / 10 * math.pi / 2), y - 13 + 7 * (a / 10) ** 2)
                 for a in range(1, 11)]
        brim += [(40 - 36 * (a / 8), y - 3.5 - 3 * math.sin(a / 8 * math.pi)) for a in range(1, 9)]
        f.polygon(brim, shade(colour, 0.82))
        f.ellipse(0, y - 32, 3.4, 2.6, shade(colour, 1.3))
    elif style == "buns":
        f.ellipse(-24, top + 2, 9, 9, colour)
        f.ellipse(24, top + 2, 9, 9, colour)
        outline = arc_points(0, y - 1, 31, 29, 172, 368)
        outline += [(24, y - 4), (14, y - 13), (0, y - 10), (-14, y - 13), (-24, y - 4)]
        f.polygon(outline, colour)


def arc_points(cx, cy, rx, ry, start, end, n=28):
    """Points along an ellipse from angle start to end, in degrees (clockwise on screen)."""
    return [(cx + rx * math.cos(math.radians(start + (end - start) * i / n)),
             cy + ry * math.sin(math.radians(start + (end - start) * i / n)))
            for i in range(n + 1)]


def child(layer, cx, ground, height, shirt, pants, hair_style, hair_colour, arms, mood="smile",
          flip=False, behind=None, behind_head=None, front=None):
    """A child standing on ground. arms: ((x, y) of the left hand, (x, y) of the right hand).
    behind, behind_head and front draw props (they get the Local): behind everything, between
    the body and the head, and over the arms but under the hands."""
    f = Local(layer, cx, ground, height, flip)
    if behind:
        behind(f)
    # legs and shoes
    f.rounded(-14, -22, -4, -5, 3, pants)
    f.rounded(4, -22, 14, -5, 3, pants)
    for sx in (-1, 1):
        f.ellipse(sx * 11, -4, 10.5, 5.2, (90, 60, 50))
        f.ellipse(sx * 11 - 2, -6, 4, 1.6, (150, 115, 100), width=0)
    # body
    f.polygon([(-19, -44), (19, -44), (24, -18), (-24, -18)], shirt)
    f.ellipse(0, -44, 10, 4, shade(shirt, 0.85), width=0)
    if behind_head:
        behind_head(f)
    # head
    f.ellipse(-28, -66, 5.5, 6.5, SKIN)
    f.ellipse(28, -66, 5.5, 6.5, SKIN)
    f.ellipse(0, -68, 29, 27, SKIN)
    hair(f, hair_style, hair_colour)
    face(f, mood=mood)
    # arms: a sleeve tube from the shoulder, then the hand over whatever it holds
    for sx, hand in zip((-1, 1), arms):
        shoulder = (sx * 17, -39)
        elbow = ((shoulder[0] + hand[0]) / 2 + sx * 4, (shoulder[1] + hand[1]) / 2 + 3)
        f.line([shoulder, elbow, hand], shirt, 8.5)
    if front:
        front(f)
    for hand in arms:
        f.ellipse(hand[0], hand[1], 5.6, 5.6, SKIN)
    return f


# props -----------------------------------------------------------------------------------------


def magnifier(f, x, y, r, handle_from):
    f.line([handle_from, (x - r * 0.75, y + r * 0.75)], (150, 90, 45), 6)
    f.ellipse(x, y, r + 3.2, r + 3.2, (240, 190, 60))
    f.ellipse(x, y, r - 1.5, r - 1.5, (200, 235, 255))
    f.arc(x, y, r - 5, r - 5, 200, 260, WHITE, 3)
    f.ellipse(x + r * 0.3, y + r * 0.3, 2, 2, WHITE, width=0)


def clapperboard(f, x, y, w, h):
    """A film slate with its clapper open; (x, y) is the slate's top-left corner."""
    f.rounded(x, y, x + w, y + h, 2.5, (48, 48, 56))
    for i in range(3):
        f.line([(x + 5, y + 7 + i * 6.5), (x + w - 5 - (i % 2) * 8, y + 7 + i * 6.5)],
               (235, 235, 235), 1.6, outline_width=0)
    # the clapper: a striped bar hinged at the slate's top-left corner, open by 18 degrees
    a = math.radians(-18)
    ca, sa = math.cos(a), math.sin(a)

    def rot(px, py):
        return (x + px * ca - py * sa, y + px * sa + py * ca)

    f.polygon([rot(0, 0), rot(w, 0), rot(w, -8), rot(0, -8)], (240, 240, 240))
    stripe = w / 5
    for i in range(5):
        if i % 2 == 0:
            f.polygon([rot(i * stripe + 2, -0.8), rot(i * stripe + stripe, -0.8),
                       rot(i * stripe + stripe - 3, -7.2), rot(i * stripe - 1 if i else 0.8, -7.2)],
                      (48, 48, 56), width=0)
    f.ellipse(x + 1.5, y - 1.5, 2.2, 2.2, (200, 200, 200), width=1.2)


def television_antennas(f, x, y, w):
    """The TV's two antennas, spread wide so that they show on either side of its holder's head."""
    mid = x + w / 2
    for tip in ((mid - 36, y - 10), (mid + 37, y - 7)):
        f.line([(mid, y + 2), tip], (80, 80, 90), 2.2, outline_width=0.8)
        f.ellipse(tip[0], tip[1], 2.6, 2.6, (230, 80, 80), width=1.4)


def television(f, x, y, w, h):
    """A little TV set; (x, y) is the cabinet's top-left corner."""
    f.rounded(x, y, x + w, y + h, 6, (222, 120, 60))
    f.rounded(x + 4, y + 4, x + w - 12, y + h - 4, 5, (120, 210, 240))
    f.polygon([(x + w / 2 - 7, y + h / 2 - 6), (x + w / 2 - 7, y + h / 2 + 6),
               (x + w / 2 + 3, y + h / 2)], WHITE, width=0)
    f.ellipse(x + w - 6, y + 9, 2.6, 2.6, (250, 220, 120), width=1.2)
    f.ellipse(x + w - 6, y + 18, 2.6, 2.6, (250, 220, 120), width=1.2)
    f.line([(x + 7, y + 7), (x + 12, y + 6)], (230, 250, 255), 1.6, outline_width=0)


def disc(f, x, y, r):
    """A shiny software disc."""
    f.ellipse(x, y, r, r, (225, 228, 236))
    sheen = [(255, 170, 200), (255, 230, 150), (170, 240, 190), (160, 200, 255)]
    for i, colour in enumerate(sheen):
        cx, cy = f.p(x, y)
        rr = (r - 3) * f.k
        start = -60 + i * 22
        with f.layer.blended() as d:
            d.pieslice(f.layer.box(cx - rr, cy - rr, cx + rr, cy + rr), start, start + 22,
                       fill=colour + (170,))
            d.pieslice(f.layer.box(cx - rr, cy - rr, cx + rr, cy + rr), start + 180, start + 202,
                       fill=colour + (150,))
    f.ellipse(x, y, r * 0.34, r * 0.34, (200, 204, 214))
    f.ellipse(x, y, r * 0.15, r * 0.15, (140, 100, 70), width=1.4)


def search_child(layer, cx, ground, height):
    def front(f):
        magnifier(f, 44, -70, 14, (29, -49))
    return child(layer, cx, ground, height, (66, 135, 230), (70, 80, 120), "spiky", (92, 58, 32),
                 ((-30, -30), (29, -49)), mood="smile", front=front)


def film_child(layer, cx, ground, height):
    def front(f):
        clapperboard(f, 24, -66, 32, 24)
    return child(layer, cx, ground, height, (232, 72, 80), (60, 70, 110), "bob", (60, 40, 30),
                 ((-31, -50), (27, -46)), mood="open", front=front)


def series_child(layer, cx, ground, height):
    def antennas(f):
        television_antennas(f, -21, -42, 42)

    def front(f):
        television(f, -21, -42, 42, 28)
    return child(layer, cx, ground, height, (80, 185, 110), (80, 70, 60), "cap", (250, 170, 40),
                 ((-23, -28), (23, -28)), mood="open", behind_head=antennas, front=front)


def software_child(layer, cx, ground, height):
    def front(f):
        disc(f, -44, -72, 15)
    return child(layer, cx, ground, height, (160, 100, 210), (70, 70, 100), "buns", (40, 30, 30),
                 ((-31, -60), (30, -30)), mood="smile", front=front)


# ---------------------------------------------------------------------------------------------
# Little animals that sit on the logo


def panda(layer, cx, seat, height):
    f = Local(layer, cx, seat, height)
    black = (40, 40, 46)
    f.ellipse(-16, -4, 10, 6, black)
    f.ellipse(16, -4, 10, 6, black)
    f.ellipse(0, -24, 26, 24, WHITE)
    f.ellipse(-22, -28, 8, 12, black)
    f.ellipse(22, -28, 8, 12, black)
    f.ellipse(-24, -86, 10, 10, black)
    f.ellipse(24, -86, 10, 10, black)
    f.ellipse(0, -64, 32, 28, WHITE)
    for sx in (-1, 1):
        f.ellipse(sx * 12, -64, 8, 10, black, width=0)
        f.ellipse(sx * 11, -66, 3.2, 3.6, WHITE, width=0)
        f.ellipse(sx * 10.5, -65.5, 1.8, 2.1, EYE, width=0)
        f.ellipse(sx * 20, -52, 5, 3, CHEEK, width=0)
    f.ellipse(0, -53, 4.5, 3.2, black, width=0)
    f.arc(-3.5, -51, 3.5, 3.5, 20, 160, OUTLINE, 1.8)
    f.arc(3.5, -51, 3.5, 3.5, 20, 160, OUTLINE, 1.8)


def cat(layer, cx, seat, height):
    f = Local(layer, cx, seat, height)
    orange = (250, 165, 70)
    f.line([(20, -8), (36, -14), (40, -34)], orange, 8)
    f.ellipse(0, -22, 22, 22, orange)
    f.ellipse(0, -16, 12, 12, (255, 235, 210), width=0)
    for sx in (-1, 1):
        f.polygon([(sx * 30, -70), (sx * 27, -100), (sx * 8, -84)], orange)
        f.polygon([(sx * 26, -76), (sx * 24, -92), (sx * 14, -83)], (255, 180, 170), width=0)
    f.ellipse(0, -64, 31, 26, orange)
    for i in (-1, 0, 1):
        f.line([(i * 7, -90), (i * 6, -82)], (215, 120, 40), 2.6, outline_width=0)
    for sx in (-1, 1):
        f.ellipse(sx * 11, -66, 3.6, 5, EYE, width=0)
        f.ellipse(sx * 11 + 1.2, -68, 1.3, 1.5, WHITE, width=0)
        f.ellipse(sx * 19, -55, 4.5, 2.8, CHEEK, width=0)
        for dy in (-2, 3):
            f.line([(sx * 16, -56 + dy * 0.5), (sx * 36, -58 + dy * 1.6)], OUTLINE, 1.2,
                   outline_width=0)
    f.polygon([(-3, -59), (3, -59), (0, -56)], (240, 110, 120), width=1.0)
    f.arc(-3, -55, 3, 3, 20, 160, OUTLINE, 1.6)
    f.arc(3, -55, 3, 3, 20, 160, OUTLINE, 1.6)
    f.ellipse(-10, -2, 7, 4.5, orange)
    f.ellipse(10, -2, 7, 4.5, orange)


def chick(layer, cx, seat, height):
    f = Local(layer, cx, seat, height)
    yellow = (255, 214, 60)
    for sx in (-1, 1):
        f.line([(sx * 8, -4), (sx * 8, 0), (sx * 12, 2)], (240, 140, 40), 3, outline_width=1.6)
    f.ellipse(-26, -40, 9, 13, shade(yellow, 0.92))
    f.ellipse(26, -40, 9, 13, shade(yellow, 0.92))
    f.ellipse(0, -44, 30, 40, yellow)
    f.polygon([(-4, -92), (-1, -78), (3, -95), (4, -80), (9, -90), (4, -76)], yellow, width=1.8)
    for sx in (-1, 1):
        f.ellipse(sx * 11, -56, 3.6, 4.8, EYE, width=0)
        f.ellipse(sx * 11 + 1.2, -58, 1.3, 1.5, WHITE, width=0)
        f.ellipse(sx * 19, -45, 4.5, 2.8, CHEEK, width=0)
    f.polygon([(-6, -50), (6, -50), (0, -42)], (245, 140, 40), width=1.6)
