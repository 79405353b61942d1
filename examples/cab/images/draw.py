#!/usr/bin/env python3
"""Draws the example cab's panel picture and needle pictures from the cab's own files.

    python3 draw.py [--cab CAB_FOLDER] [--out FOLDER]

Reads panel2.cfg (where each dial's hub is, each needle picture's name, pivot and mapping),
the gauges' profiles (which entries each gauge writes, the oval's Flattening, RotateAngle and
Division) and their scale tables, and draws every mark where the host turns the needle for
that value: the picture always agrees with the tables and the panel file it was drawn from.
Writes each picture under FOLDER by the name the panel file gives it (default: the cab
folder itself, i.e. over the committed pictures). Python 3 standard library only; the same
files in give the same bytes out.
"""
import argparse
import array
import math
import os
import struct
import sys
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# ------------------------------------------------------------------------------------------
# The cab's files


def read_ini(path):
    """Sections in file order as (lower-cased name, {lower-cased key: value}); ';' starts a
    comment line, the first of a repeated key counts."""
    sections = [("", {})]
    with open(path, encoding="latin-1") as f:
        for line in f:
            line = line.split(";", 1)[0].strip()
            if line.startswith("[") and line.endswith("]"):
                sections.append((line[1:-1].strip().lower(), {}))
            elif "=" in line:
                key, value = line.split("=", 1)
                sections[-1][1].setdefault(key.strip().lower(), value.strip())
    return sections


def section(sections, name):
    merged = {}
    for found, keys in sections:
        if found == name:
            for key, value in keys.items():
                merged.setdefault(key, value)
    return merged


def read_table(path):
    points = []
    with open(path, encoding="latin-1") as f:
        for line in f:
            cells = line.strip().split(",")
            try:
                points.append((float(cells[0]), float(cells[1])))
            except (ValueError, IndexError):
                continue
    return points


def table_angle(points, value):
    """The plug-in's reading of a table: linear between points, the outermost segment beyond."""
    for i in range(1, len(points) - 1):
        if value <= points[i][0]:
            break
    else:
        i = len(points) - 1
    (v0, a0), (v1, a1) = points[i - 1], points[i]
    return a0 + (value - v0) * (a1 - a0) / (v1 - v0)


def numbers(text):
    return [float(part) for part in text.split(",")]


class Needle:
    """A [Needle] of the panel file: where it turns and how it maps its entry to the screen."""

    def __init__(self, keys):
        self.location = numbers(keys["location"])
        self.image = keys["daytimeimage"]
        self.origin = [int(n) for n in numbers(keys["origin"])]
        radius = float(keys.get("radius", "0"))
        self.scale = radius / self.origin[1] if radius and self.origin[1] else 1.0
        self.minimum = float(keys.get("minimum", "0"))
        self.maximum = float(keys.get("maximum", "1000"))
        self.initial = float(keys.get("initialangle", "-120"))
        self.last = float(keys.get("lastangle", "120"))
        self.transparent = keys.get("transparentcolor", "#0000FF")

    def screen(self, value):
        """Screen degrees, 0 up, clockwise, for a value of the entry."""
        return self.initial + (value - self.minimum) * (self.last - self.initial) / (
            self.maximum - self.minimum)

    def mapping(self):
        return (self.minimum, self.maximum, self.initial, self.last)


class Gauge:
    def __init__(self, name, cab, needles):
        profile = read_ini(os.path.join(cab, name + ".ini"))
        self.table = read_table(os.path.join(cab, name + ".csv"))
        index = section(profile, "panelindex")
        ellipse = section(profile, "ellipse")
        self.division = int(ellipse.get("division", "0"))
        self.flattening = float(ellipse.get("flattening", "0"))
        self.rotate = float(ellipse.get("rotateangle", "0"))
        self.standby = float(ellipse.get("standbyangle", "180"))
        if self.division >= 2:
            entries = [int(index["ellipse%d" % k]) for k in range(self.division)]
        else:
            entries = [int(index["needle"])]
        self.needles = [needles[entry] for entry in entries]
        first = self.needles[0]
        for needle in self.needles:
            if needle.location != first.location or needle.mapping() != first.mapping():
                sys.exit("%s: the pictures of one gauge must share a hub and a mapping" % name)
        # The needle picture's Origin pixel sits on the Location pixel: both turn about their
        # pixel's middle.
        self.hub = (first.location[0] + 0.5, first.location[1] + 0.5)

    @property
    def oval(self):
        return self.division >= 2

    def semi_minor(self):
        return 1.0 - self.flattening

    def image_lengths(self):
        """Length of each picture in long semi-axes: from 1 for Ellipse0 down to the short one."""
        n, b = self.division, self.semi_minor()
        return [b + (1.0 - b) * (n - 1 - k) / (n - 1) for k in range(n)]

    def direction(self, panel_degrees):
        """Unit vector on the screen of a panel angle (degrees the plug-in writes / 1000)."""
        s = math.radians(self.needles[0].screen(panel_degrees * 1000.0))
        return (math.sin(s), -math.cos(s))

    def mark(self, value, radius):
        """Where the needle for a value points, `radius` from the hub (for an oval: radius along
        the long axis, the point of the oval of that size)."""
        a = table_angle(self.table, value) + 180.0
        if not self.oval:
            dx, dy = self.direction(a)
            return (self.hub[0] + radius * dx, self.hub[1] + radius * dy)
        t = math.radians(a - self.rotate)
        ux, uy = self.direction(self.rotate)
        vx, vy = self.direction(self.rotate + 90.0)
        along, across = math.cos(t) * radius, self.semi_minor() * math.sin(t) * radius
        return (self.hub[0] + along * ux + across * vx, self.hub[1] + along * uy + across * vy)

    def screen_angle(self, value):
        x, y = self.mark(value, 100.0)
        return math.degrees(math.atan2(x - self.hub[0], self.hub[1] - y)) % 360.0


def read_cab(cab):
    panel_path = os.path.join(cab, "panel2.cfg")
    panel = read_ini(panel_path)
    needles = {}
    for name, keys in panel:
        subject = keys.get("subject", "").lower()
        if name == "needle" and subject.startswith("ats"):
            needles[int(subject[3:])] = Needle(keys)
    main = read_ini(os.path.join(cab, "Mirevane.ini"))
    names = ["Mirevane"] + [value for key, value in sorted(section(main, "filename").items())
                            if key.startswith("gauge")]
    gauges = {name: Gauge(name, cab, needles) for name in names}
    return section(panel, "this"), gauges


# ------------------------------------------------------------------------------------------
# Drawing: every shape is a signed distance (negative inside) over a box of pixels, its
# coverage of a pixel taken as 0.5 - distance, clamped: a one-pixel ramp that anti-aliases
# edges without supersampling.


class Canvas:
    """Premultiplied RGBA, 0 to 1 per channel. Where nothing is painted, a picture with alpha
    keeps `colour` under alpha 0, so that a host filtering the picture blends no dark fringe."""

    def __init__(self, width, height, colour=(0.0, 0.0, 0.0), alpha=0.0):
        self.width, self.height, self.colour = width, height, colour
        size = width * height
        self.r = array.array("d", [colour[0] * alpha]) * size
        self.g = array.array("d", [colour[1] * alpha]) * size
        self.b = array.array("d", [colour[2] * alpha]) * size
        self.a = array.array("d", [alpha]) * size

    def paint(self, box, distance, colour, opacity=1.0):
        x0, y0, x1, y1 = box
        x0, y0 = max(0, int(math.floor(x0)) - 1), max(0, int(math.floor(y0)) - 1)
        x1, y1 = min(self.width, int(math.ceil(x1)) + 2), min(self.height, int(math.ceil(y1)) + 2)
        red, green, blue = colour
        r, g, b, a = self.r, self.g, self.b, self.a
        for y in range(y0, y1):
            row = y * self.width
            for x in range(x0, x1):
                cover = 0.5 - distance(x + 0.5, y + 0.5)
                if cover <= 0.0:
                    continue
                cover = opacity if cover >= 1.0 else cover * opacity
                i = row + x
                keep = 1.0 - cover
                r[i] = red * cover + r[i] * keep
                g[i] = green * cover + g[i] * keep
                b[i] = blue * cover + b[i] * keep
                a[i] = cover + a[i] * keep

    def disc(self, cx, cy, radius, colour, opacity=1.0):
        self.paint((cx - radius, cy - radius, cx + radius, cy + radius),
                   lambda x, y: math.hypot(x - cx, y - cy) - radius, colour, opacity)

    def ring(self, cx, cy, radius, width, colour, opacity=1.0):
        outer = radius + width / 2.0
        self.paint((cx - outer, cy - outer, cx + outer, cy + outer),
                   lambda x, y: abs(math.hypot(x - cx, y - cy) - radius) - width / 2.0, colour,
                   opacity)

    def line(self, p, q, width, colour, end_width=None):
        """A stroke from p to q with round ends, its width tapering to end_width at q."""
        end_width = width if end_width is None else end_width
        (px, py), (qx, qy) = p, q
        dx, dy = qx - px, qy - py
        length2 = dx * dx + dy * dy or 1e-12
        half = max(width, end_width) / 2.0

        def distance(x, y):
            t = min(1.0, max(0.0, ((x - px) * dx + (y - py) * dy) / length2))
            w = width + (end_width - width) * t
            return math.hypot(x - px - t * dx, y - py - t * dy) - w / 2.0

        self.paint((min(px, qx) - half, min(py, qy) - half, max(px, qx) + half,
                    max(py, qy) + half), distance, colour)

    def strokes(self, polylines, width, colour):
        """Several polylines painted as one shape, so that their joints do not darken."""
        segments = [(p, q) for line in polylines for p, q in zip(line, line[1:])]
        xs = [c[0] for s in segments for c in s]
        ys = [c[1] for s in segments for c in s]

        def distance(x, y):
            best = 1e9
            for (px, py), (qx, qy) in segments:
                dx, dy = qx - px, qy - py
                length2 = dx * dx + dy * dy or 1e-12
                t = min(1.0, max(0.0, ((x - px) * dx + (y - py) * dy) / length2))
                best = min(best, math.hypot(x - px - t * dx, y - py - t * dy))
            return best - width / 2.0

        self.paint((min(xs) - width, min(ys) - width, max(xs) + width, max(ys) + width),
                   distance, colour)

    def arc(self, cx, cy, radius, width, start, sweep, colour):
        """A stroke along a circle from screen angle start, sweep degrees clockwise."""
        def distance(x, y):
            angle = math.degrees(math.atan2(x - cx, cy - y))
            if (angle - start) % 360.0 <= sweep:
                return abs(math.hypot(x - cx, y - cy) - radius) - width / 2.0
            ends = [math.radians(start), math.radians(start + sweep)]
            return min(math.hypot(x - cx - radius * math.sin(e), y - cy + radius * math.cos(e))
                       for e in ends) - width / 2.0

        outer = radius + width
        self.paint((cx - outer, cy - outer, cx + outer, cy + outer), distance, colour)

    def ellipse(self, cx, cy, u, v, along, across, colour, ring_width=None, sector=None):
        """An ellipse with semi-axes along the unit vectors u and v; filled, or a ring of that
        width; cut to a sector of screen angles (start, sweep clockwise) when given."""
        def distance(x, y):
            dx, dy = x - cx, y - cy
            p, q = dx * u[0] + dy * u[1], dx * v[0] + dy * v[1]
            f = math.hypot(p / along, q / across)
            gradient = math.hypot(p / (along * along), q / (across * across)) / (f or 1e-12)
            d = (f - 1.0) / (gradient or 1e-12)
            if ring_width is not None:
                d = abs(d) - ring_width / 2.0
            if sector is not None:
                angle = math.degrees(math.atan2(dx, -dy))
                off = (angle - sector[0]) % 360.0
                if off > sector[1]:
                    gap = min(off - sector[1], 360.0 - off)
                    d = max(d, math.radians(gap) * math.hypot(dx, dy))
            return d

        reach = max(along, across) + (ring_width or 0.0)
        self.paint((cx - reach, cy - reach, cx + reach, cy + reach), distance, colour)

    def rounded_rectangle(self, x0, y0, x1, y1, corner, colour):
        cx, cy, hx, hy = (x0 + x1) / 2.0, (y0 + y1) / 2.0, (x1 - x0) / 2.0, (y1 - y0) / 2.0

        def distance(x, y):
            qx, qy = abs(x - cx) - hx + corner, abs(y - cy) - hy + corner
            outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
            return outside + min(max(qx, qy), 0.0) - corner

        self.paint((x0, y0, x1, y1), distance, colour)


# A stroke font on a grid 4 wide and 6 high (y down): enough for the dials' numbers and units.
GLYPHS = {
    "0": [[(1, 0), (3, 0), (4, 1), (4, 5), (3, 6), (1, 6), (0, 5), (0, 1), (1, 0)]],
    "1": [[(0.8, 1.2), (2, 0), (2, 6)], [(0.8, 6), (3.2, 6)]],
    "2": [[(0, 1), (1, 0), (3, 0), (4, 1), (4, 2.2), (0, 6), (4, 6)]],
    "3": [[(0, 0), (4, 0), (1.8, 2.6), (3, 2.6), (4, 3.6), (4, 5), (3, 6), (1, 6), (0, 5)]],
    "4": [[(3, 6), (3, 0), (0, 4.2), (4, 4.2)]],
    "5": [[(4, 0), (0.3, 0), (0, 2.7), (3, 2.5), (4, 3.5), (4, 5), (3, 6), (1, 6), (0, 5)]],
    "6": [[(3.5, 0.3), (2.5, 0), (1, 0), (0, 1), (0, 5), (1, 6), (3, 6), (4, 5), (4, 3.6),
           (3, 2.6), (1, 2.6), (0, 3.4)]],
    "7": [[(0, 0), (4, 0), (1.5, 6)]],
    "8": [[(1, 2.8), (0, 1.9), (0, 0.9), (1, 0), (3, 0), (4, 0.9), (4, 1.9), (3, 2.8), (1, 2.8),
           (0, 3.8), (0, 5), (1, 6), (3, 6), (4, 5), (4, 3.8), (3, 2.8)]],
    "9": [[(4, 2.6), (3, 3.4), (1, 3.4), (0, 2.4), (0, 1), (1, 0), (3, 0), (4, 1), (4, 5), (3, 6),
           (1.5, 6), (0.5, 5.7)]],
    "-": [[(0.5, 3.2), (3.5, 3.2)]],
    "/": [[(0.2, 6.3), (3.8, -0.3)]],
    "k": [[(0, 0), (0, 6)], [(3.5, 2.4), (0, 4.6)], [(1.3, 3.8), (3.7, 6)]],
    "m": [[(0, 6), (0, 2.4)], [(0, 3.2), (0.8, 2.4), (1.3, 2.4), (2, 3.1), (2, 6)],
          [(2, 3.1), (2.7, 2.4), (3.2, 2.4), (4, 3.2), (4, 6)]],
    "h": [[(0, 0), (0, 6)], [(0, 3.4), (1, 2.4), (3, 2.4), (4, 3.4), (4, 6)]],
    "x": [[(0.2, 2.4), (3.8, 6)], [(3.8, 2.4), (0.2, 6)]],
    "a": [[(0.5, 2.4), (3, 2.4), (4, 3.3), (4, 6)], [(4, 4), (1, 4), (0, 4.9), (1, 6), (3, 6),
                                                      (4, 5.2)]],
    "A": [[(0, 6), (2, 0), (4, 6)], [(0.8, 3.9), (3.2, 3.9)]],
    "B": [[(0, 3), (3, 3), (4, 3.9), (4, 5.1), (3, 6), (0, 6), (0, 0), (2.8, 0), (3.7, 0.8),
           (3.7, 2.2), (3, 3)]],
    "C": [[(4, 1), (3, 0), (1, 0), (0, 1), (0, 5), (1, 6), (3, 6), (4, 5)]],
    "M": [[(0, 6), (0, 0), (2, 3.2), (4, 0), (4, 6)]],
    "P": [[(0, 6), (0, 0), (3, 0), (4, 1), (4, 2), (3, 3), (0, 3)]],
    "R": [[(0, 6), (0, 0), (3, 0), (4, 1), (4, 2), (3, 3), (0, 3)], [(2, 3), (4, 6)]],
    "V": [[(0, 0), (2, 6), (4, 0)]],
}
GLYPH_ADVANCE = 5.6  # grid units from one glyph to the next
SPACE_ADVANCE = 3.0


def text_width(words, height, squeeze=1.0):
    advances = sum(SPACE_ADVANCE if c == " " else GLYPH_ADVANCE for c in words)
    return (advances - (GLYPH_ADVANCE - 4.0)) * height / 6.0 * squeeze


def text(canvas, words, cx, cy, height, colour, squeeze=1.0):
    """Words centred on (cx, cy), glyphs `height` pixels high, widths times `squeeze`."""
    unit = height / 6.0
    advances = [SPACE_ADVANCE if c == " " else GLYPH_ADVANCE for c in words]
    x = cx - text_width(words, height, squeeze) / 2.0
    for c, advance in zip(words, advances):
        if c != " ":
            canvas.strokes([[(x + gx * unit * squeeze, cy - height / 2.0 + gy * unit)
                             for gx, gy in line] for line in GLYPHS[c]],
                           max(1.3, height * 0.13), colour)
        x += advance * unit * squeeze


# ------------------------------------------------------------------------------------------
# The dials

PANEL_SIZE = (1024, 768)
CONSOLE_TOP, CONSOLE_BOTTOM = (0.16, 0.175, 0.195), (0.085, 0.09, 0.105)
PLATE = (0.2, 0.215, 0.235)
FACE = (0.94, 0.925, 0.87)
INK = (0.09, 0.09, 0.1)
RED = (0.78, 0.09, 0.1)
BEZEL, BEZEL_LIGHT, SHADOW = (0.27, 0.28, 0.3), (0.55, 0.57, 0.6), (0.03, 0.03, 0.04)
DEAD_SECTOR = (0.19, 0.19, 0.2)

# Per round dial: face radius, radius of the needle's tip, values labelled, step between
# marks, the unit printed and the screen angle it is printed at, the needle's shape (px).
# The needle's tip lies inside every mark, 10 px short of its outer end, so a mark reads at
# the tip whatever its length.
ROUND_DIALS = {
    "Mirevane": dict(face=200, tip=176, labels=range(0, 161, 20), step=10, unit="km/h",
                     unit_at=0, text=22, needle=dict(tail=34, width=7, tip_width=2.6, cap=11)),
    "ammeter": dict(face=112, tip=98, labels=range(-800, 1201, 400), step=100, unit="A",
                    unit_at=125, text=13, needle=dict(tail=22, width=4.4, tip_width=1.8, cap=8)),
    "voltmeter": dict(face=112, tip=98, labels=range(0, 2001, 500), step=100, unit="V",
                      unit_at=125, text=13,
                      needle=dict(tail=22, width=4.4, tip_width=1.8, cap=8)),
}
# The oval: long semi-axis of the face and of the needle's tip (Ellipse0's length), labels
# (in hundreds), step between marks; the red needle's marks and labels, then the black's marks.
OVAL = dict(face=200, tip=176, labels=range(0, 1001, 200), step=50, text=18,
            needle=dict(tail=22, width=3.6, tip_width=1.8, cap=6))


def values_marked(table, labels, step):
    """The table's values and every step between its ends, each with whether it is labelled."""
    low, high = table[0][0], table[-1][0]
    found = {v for v, _ in table}
    count = int(round((high - low) / step))
    found |= {low + i * step for i in range(count + 1)}
    return [(v, v in labels) for v in sorted(found)]


def label(canvas, gauge, value, words, inner, height, squeeze=1.0):
    """A number just inside the mark of its value: the box around it clear of the mark's
    inner end by a third of its height, whatever the mark's direction."""
    x, y = gauge.mark(value, inner)
    dx, dy = x - gauge.hub[0], y - gauge.hub[1]
    length = math.hypot(dx, dy)
    dx, dy = dx / length, dy / length
    back = (height / 3.0 + abs(dx) * text_width(words, height, squeeze) / 2.0
            + abs(dy) * height / 2.0)
    text(canvas, words, x - back * dx, y - back * dy, height, INK, squeeze)


def draw_console(canvas):
    width, height = PANEL_SIZE
    for y in range(height):
        f = y / (height - 1.0)
        colour = [top + (bottom - top) * f for top, bottom in zip(CONSOLE_TOP, CONSOLE_BOTTOM)]
        for x in range(width):
            i = y * width + x
            canvas.r[i], canvas.g[i], canvas.b[i] = colour
    canvas.rounded_rectangle(24, 120, width - 6, 700, 26, SHADOW)
    canvas.rounded_rectangle(20, 114, width - 10, 694, 24, PLATE)
    for x, y in ((44, 138), (width - 34, 138), (44, 670), (width - 34, 670)):
        canvas.disc(x, y, 7, BEZEL)
        canvas.line((x - 4, y - 4), (x + 4, y + 4), 1.6, SHADOW)


def draw_round(canvas, gauge, style):
    cx, cy = gauge.hub
    face, tip = style["face"], style["tip"]
    canvas.disc(cx + 4, cy + 6, face + 16, SHADOW, 0.8)
    canvas.disc(cx, cy, face + 14, BEZEL)
    canvas.ring(cx, cy, face + 12, 3, BEZEL_LIGHT)
    canvas.disc(cx, cy, face, FACE)
    table = gauge.table
    start = gauge.screen_angle(table[0][0])
    sweep = (gauge.screen_angle(table[-1][0]) - start) % 360.0
    canvas.arc(cx, cy, tip + 10, 1.6, start, sweep, INK)
    for value, labelled in values_marked(table, style["labels"], style["step"]):
        inner = tip - (tip * 0.1 if labelled else tip * 0.05)
        canvas.line(gauge.mark(value, inner), gauge.mark(value, tip + 10),
                    3.2 if labelled else 2.4, INK)
        if labelled:
            label(canvas, gauge, value, "%d" % value, inner, style["text"])
    where = math.radians(style["unit_at"])
    text(canvas, style["unit"], cx + face * 0.45 * math.sin(where),
         cy - face * 0.45 * math.cos(where), style["text"] * 0.9, INK)
    canvas.ring(cx, cy, 14, 2, (0.6, 0.58, 0.54))


def draw_oval(canvas, red, black):
    cx, cy = red.hub
    b = red.semi_minor()
    u, v = red.direction(red.rotate), red.direction(red.rotate + 90.0)
    face, tip = OVAL["face"], OVAL["tip"]
    canvas.ellipse(cx + 4, cy + 6, u, v, face + 16, b * face + 16, SHADOW)
    canvas.ellipse(cx, cy, u, v, face + 14, b * face + 14, BEZEL)
    canvas.ellipse(cx, cy, u, v, face + 12, b * face + 12, BEZEL_LIGHT, ring_width=3)
    canvas.ellipse(cx, cy, u, v, face, b * face, FACE)
    # The pictures not in use are parked at the standby angle, below the scale where no value
    # points; they rest on a dark sector there, as wide as the scale leaves room for.
    rest = red.direction(red.standby)
    rest = math.degrees(math.atan2(rest[0], -rest[1]))
    lows = [g.screen_angle(g.table[0][0]) for g in (red, black)]
    highs = [g.screen_angle(g.table[-1][0]) for g in (red, black)]
    half = min(min((rest - high) % 360.0 for high in highs),
               min((low - rest) % 360.0 for low in lows)) - 6.0
    canvas.ellipse(cx, cy, u, v, face, b * face, DEAD_SECTOR, sector=(rest - half, 2 * half))
    for gauge in (red, black):
        for value, labelled in values_marked(gauge.table, OVAL["labels"], OVAL["step"]):
            inner = tip - (16 if labelled else 10)
            canvas.line(gauge.mark(value, inner), gauge.mark(value, tip + 12),
                        3.0 if labelled else 2.2, INK)
    for value in OVAL["labels"]:
        label(canvas, red, value, "%d" % (value // 100), tip - 16, OVAL["text"], b)
    text(canvas, "x100 kPa", cx, cy - face * 0.5, OVAL["text"] * 0.7, INK, squeeze=b)
    text(canvas, "BC", cx - 16, cy - face * 0.3, OVAL["text"] * 0.8, RED, squeeze=b)
    text(canvas, "MR", cx + 16, cy - face * 0.3, OVAL["text"] * 0.8, INK, squeeze=b)


def draw_panel(gauges):
    canvas = Canvas(*PANEL_SIZE, alpha=1.0)
    draw_console(canvas)
    for name, style in ROUND_DIALS.items():
        draw_round(canvas, gauges[name], style)
    draw_oval(canvas, gauges["bc"], gauges["mr"])
    return canvas


# ------------------------------------------------------------------------------------------
# The needles, drawn pointing up with the pivot on the centre of the Origin pixel.


def draw_needle(needle, tip, tail, width, tip_width, cap, colour):
    """tip, tail, widths and cap in screen pixels; the picture is drawn 1 / scale as large."""
    k = 1.0 / needle.scale
    ox, oy = needle.origin
    canvas = Canvas(2 * ox + 1, int(oy + (tail + cap) * k) + 3, colour)
    px, py = ox + 0.5, oy + 0.5
    end = (tip - tip_width / 2.0) * k
    canvas.line((px, py + tail * k), (px, py - end), width * k, colour, tip_width * k)
    canvas.disc(px, py, cap * k, colour)
    canvas.disc(px, py, cap * k * 0.45, [c * 0.6 + 0.4 * 0.5 for c in colour])
    return canvas


def oval_needles(gauge, colour):
    lengths = gauge.image_lengths()
    return [(needle, draw_needle(needle, OVAL["tip"] * length, colour=colour, **OVAL["needle"]))
            for needle, length in zip(gauge.needles, lengths)]


# ------------------------------------------------------------------------------------------
# Files


def png(canvas, alpha):
    """An 8-bit RGB or RGBA PNG; each row filtered the way that leaves the smallest sum."""
    channels = 4 if alpha else 3
    raw = bytearray()
    previous = bytes(canvas.width * channels)
    for y in range(canvas.height):
        row = bytearray()
        for x in range(canvas.width):
            i = y * canvas.width + x
            a = canvas.a[i]
            pixel = [canvas.r[i], canvas.g[i], canvas.b[i]]
            if alpha:
                pixel = [c / a for c in pixel] + [a] if a > 0 else list(canvas.colour) + [0.0]
            row += bytes(min(255, max(0, int(c * 255.0 + 0.5))) for c in pixel)
        raw += best_filter(bytes(row), previous, channels)
        previous = bytes(row)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", canvas.width, canvas.height, 8, 6 if alpha else 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


def best_filter(row, up, bpp):
    n = len(row)
    sub = bytes((row[i] - (row[i - bpp] if i >= bpp else 0)) & 255 for i in range(n))
    upf = bytes((row[i] - up[i]) & 255 for i in range(n))
    candidates = [(0, row), (1, sub), (2, upf)]

    def cost(data):
        return sum(c if c < 128 else 256 - c for c in data)

    kind, data = min(candidates, key=lambda c: cost(c[1]))
    return bytes([kind]) + data


def bmp(canvas, key):
    """A 24-bit BMP, bottom-up; a pixel less than half covered takes the transparent colour,
    so that no edge is blended with it."""
    row_size = (canvas.width * 3 + 3) // 4 * 4
    pixels = bytearray()
    for y in range(canvas.height - 1, -1, -1):
        row = bytearray()
        for x in range(canvas.width):
            i = y * canvas.width + x
            a = canvas.a[i]
            if a < 0.5:
                row += bytes((key[2], key[1], key[0]))
            else:
                row += bytes(min(255, int(c / a * 255.0 + 0.5))
                             for c in (canvas.b[i], canvas.g[i], canvas.r[i]))
        pixels += row + bytes(row_size - len(row))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(pixels),
                       2835, 2835, 0, 0)
    return header + info + bytes(pixels)


def colour_key(text_value):
    value = text_value.strip().lstrip("#")
    return tuple(int(value[i:i + 2], 16) for i in (0, 2, 4))


def write(out, name, data):
    path = os.path.join(out, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cab", default=os.path.dirname(HERE), help="the cab's folder")
    parser.add_argument("--out", help="where to write the pictures (default: the cab's folder)")
    args = parser.parse_args()
    cab = os.path.abspath(args.cab)
    out = os.path.abspath(args.out or cab)
    this, gauges = read_cab(cab)

    files = [(this["daytimeimage"], png(draw_panel(gauges), alpha=False))]
    for name, style in ROUND_DIALS.items():
        needle = gauges[name].needles[0]
        picture = draw_needle(needle, style["tip"], colour=INK, **style["needle"])
        # The speedometer's needle is the cab's BMP on the host's classic transparent colour.
        data = (bmp(picture, colour_key(needle.transparent)) if needle.image.endswith(".bmp")
                else png(picture, alpha=True))
        files.append((needle.image, data))
    for name, colour in (("bc", RED), ("mr", INK)):
        for needle, canvas in oval_needles(gauges[name], colour):
            files.append((needle.image, png(canvas, alpha=True)))
    for name, data in files:
        write(out, name, data)
        print(os.path.join(out, name))
    return 0


if __name__ == "__main__":
    sys.exit(main())
