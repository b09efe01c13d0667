"""Light wooden planks, drawn procedurally.

The wood is a function of a point in background-picture coordinates, so a picture of any size
and scale can sample it and still match the background where it lies over it. Planks run
horizontally; each has its own tint and growth rings, and most have one butt joint that
splits them into two boards. Everything random comes from seeded generators.
"""

import math
import random

from PIL import Image

PLANK_HEIGHT = 104.0
SEAM = 2.2  # width of the dark gap between boards, in picture pixels

LIGHT = (238, 212, 172)
DARK = (201, 158, 111)
GAP = (112, 76, 44)


class ValueNoise:
    """Smooth 2-D value noise in [0, 1] with a period of 256 lattice cells."""

    def __init__(self, seed):
        rng = random.Random(seed)
        perm = list(range(256))
        rng.shuffle(perm)
        self.perm = perm + perm
        self.values = [rng.random() for _ in range(256)]

    def __call__(self, x, y):
        xi = math.floor(x)
        yi = math.floor(y)
        xf = x - xi
        yf = y - yi
        xi &= 255
        yi &= 255
        p = self.perm
        v = self.values
        a = p[xi] + yi
        b = p[xi + 1] + yi
        u = xf * xf * (3 - 2 * xf)
        w = yf * yf * (3 - 2 * yf)
        top = v[p[a]] + (v[p[b]] - v[p[a]]) * u
        bottom = v[p[a + 1]] + (v[p[b + 1]] - v[p[a + 1]]) * u
        return top + (bottom - top) * w


class Board:
    """One board: a stretch of a plank between two joints. top is the plank's top edge; knots
    keep out of the rectangles in clear."""

    def __init__(self, seed, row, part, left, right, top=0.0, clear=()):
        rng = random.Random(f"board:{seed}:{row}:{part}")
        self.left = left
        self.right = right
        self.tint = 0.94 + 0.10 * rng.random()
        self.warm = rng.uniform(-6, 6)
        self.ring_period = rng.uniform(11.0, 17.0)
        self.ring_phase = rng.uniform(0, 50)
        self.ox = rng.uniform(0, 200)
        self.oy = rng.uniform(0, 200)
        self.heart = rng.uniform(0.2, 0.8) * PLANK_HEIGHT
        self.knots = []
        if rng.random() < 0.4:
            lo = max(left, 0.0) + 40
            hi = min(right, 800.0) - 40
            if hi > lo:
                kx = rng.uniform(lo, hi)
                ky = rng.uniform(0.28, 0.72) * PLANK_HEIGHT
                if not any(l - 30 <= kx <= r + 30 and t - 30 <= top + ky <= b + 30
                           for l, t, r, b in clear):
                    self.knots.append((kx, ky, rng.uniform(9.0, 13.0), rng.uniform(3.2, 4.4)))


class Wood:
    """The planks. origin is the top of one plank row (the others follow every PLANK_HEIGHT);
    no butt joint runs through any of the rectangles (left, top, right, bottom) in clear."""

    def __init__(self, seed=20240611, origin=0.0, clear=()):
        self.seed = seed
        self.origin = origin
        self.clear = tuple(clear)
        self.grain = ValueNoise(f"grain:{seed}")
        self.fibre = ValueNoise(f"fibre:{seed}")
        self.blotch = ValueNoise(f"blotch:{seed}")
        self._rows = {}

    def row(self, index):
        """The boards of plank row index, as a list sorted by their left edge."""
        boards = self._rows.get(index)
        if boards is None:
            rng = random.Random(f"row:{self.seed}:{index}")
            top = self.origin + index * PLANK_HEIGHT
            blocked = [(l - 24, r + 24) for l, t, r, b in self.clear
                       if t < top + PLANK_HEIGHT and b > top]
            joint = rng.uniform(120, 680)
            for _ in range(200):
                if not any(l <= joint <= r for l, r in blocked):
                    break
                joint = rng.uniform(60, 740)
            if rng.random() < 0.25:
                boards = [Board(self.seed, index, 0, -math.inf, math.inf, top, self.clear)]
            else:
                boards = [Board(self.seed, index, 0, -math.inf, joint, top, self.clear),
                          Board(self.seed, index, 1, joint, math.inf, top, self.clear)]
            self._rows[index] = boards
        return boards

    @staticmethod
    def light(x, y):
        """How brightly the background is lit at (x, y): a soft pool of light a little above the
        middle, shading off towards the edges and most of all into the corners."""
        dx = x / 400.0 - 1.0
        dy = y / 391.0 - 1.0
        pool = math.exp(-(((x - 400.0) / 430.0) ** 2 + ((y - 320.0) / 400.0) ** 2))
        edge = dx * dx * 0.8 + dy * dy * 0.6 - 0.35
        edge = 0.0 if edge < 0.0 else (1.0 if edge > 1.0 else edge)
        return 0.96 + 0.12 * pool - 0.30 * edge

    def render(self, width, height, x0=0.0, y0=0.0, step=1.0, lit=True):
        """An RGB picture whose pixel (u, v) shows the wood at (x0 + (u + 0.5) step,
        y0 + (v + 0.5) step); lit applies the background's lighting (see light)."""
        light = self.light if lit else (lambda _x, _y: 1.0)
        grain = self.grain
        fibre = self.fibre
        blotch = self.blotch
        sin = math.sin
        exp = math.exp
        out = bytearray(width * height * 3)
        i = 0
        for v in range(height):
            y = y0 + (v + 0.5) * step
            row = math.floor((y - self.origin) / PLANK_HEIGHT)
            top = self.origin + row * PLANK_HEIGHT
            ly = y - top  # position across the plank
            boards = self.row(row)
            # Bevelled plank edges: a highlight under the upper seam, a shade over the lower one.
            to_bottom = PLANK_HEIGHT - ly
            if ly < SEAM or to_bottom < SEAM * 0.5:
                edge_y = -1.0
            else:
                edge_y = 1.0 + 0.10 * exp(-(ly - SEAM) / 2.0) - 0.12 * exp(-(to_bottom - SEAM * 0.5) / 3.0)
            for u in range(width):
                x = x0 + (u + 0.5) * step
                board = boards[0] if x < boards[0].right else boards[-1]
                if edge_y < 0:
                    lt = light(x, y)
                    r, g, b = GAP[0] * lt, GAP[1] * lt, GAP[2] * lt
                else:
                    dl = x - board.left
                    dr = board.right - x
                    if dl < SEAM * 0.5 or dr < SEAM * 0.5:
                        lt = light(x, y)
                        r, g, b = GAP[0] * lt, GAP[1] * lt, GAP[2] * lt
                    else:
                        edge = edge_y
                        if dl < 8:
                            edge += 0.08 * exp(-(dl - SEAM * 0.5) / 2.0)
                        if dr < 10:
                            edge -= 0.10 * exp(-(dr - SEAM * 0.5) / 3.0)
                        gx = x * 0.0045 + board.ox
                        gy = ly * 0.022 + board.oy
                        # Growth rings: distances from the heart line, bent by slow noise.
                        t = (abs(ly - board.heart) + 34.0 * (grain(gx, gy) - 0.5)
                             + 9.0 * (grain(gx * 3.1 + 17.0, gy * 2.3) - 0.5)) / board.ring_period
                        for kx, ky, rx, ry in board.knots:
                            dx = (x - kx) / rx
                            dy = (ly - ky) / ry
                            d2 = dx * dx + dy * dy
                            if d2 < 30.0:
                                w = exp(-d2 / 3.0)
                                t = t * (1.0 - w) + (math.sqrt(d2) * 0.45 + board.ring_phase) * w
                        ring = t + board.ring_phase
                        phase = ring - math.floor(ring)
                        # Late wood: a narrow darker band in each ring.
                        late = exp(-((phase - 0.72) * 7.0) ** 2)
                        f = fibre(x * 0.018, ly * 0.55 + board.oy)
                        k = 0.22 + 0.55 * late + 0.28 * (f - 0.5)
                        k += 0.30 * (blotch(x * 0.006 + board.ox, y * 0.006) - 0.5)
                        for kx, ky, rx, ry in board.knots:
                            dx = (x - kx) / rx
                            dy = (ly - ky) / ry
                            d2 = dx * dx + dy * dy
                            if d2 < 2.0:
                                k += 0.55 * (1.0 - d2 / 2.0) ** 2
                        if k < 0.0:
                            k = 0.0
                        elif k > 1.25:
                            k = 1.25
                        shade = board.tint * edge * light(x, y)
                        r = (LIGHT[0] + (DARK[0] - LIGHT[0]) * k + board.warm) * shade
                        g = (LIGHT[1] + (DARK[1] - LIGHT[1]) * k) * shade
                        b = (LIGHT[2] + (DARK[2] - LIGHT[2]) * k - board.warm * 0.6) * shade
                out[i] = 255 if r > 255 else (0 if r < 0 else int(r))
                out[i + 1] = 255 if g > 255 else (0 if g < 0 else int(g))
                out[i + 2] = 255 if b > 255 else (0 if b < 0 else int(b))
                i += 3
        return Image.frombytes("RGB", (width, height), bytes(out))


if __name__ == "__main__":
    import sys
    import time

    start = time.time()
    Wood().render(800, 782).save(sys.argv[1] if len(sys.argv) > 1 else "/tmp/wood.png")
    print(f"{time.time() - start:.1f} s")
