"""The example cab's panel file and pictures: every picture is what its script draws (no
binary without its source), the panel names pictures that exist and wires every entry the
gauges write, and the dial marks lie where the host turns each needle for the tables'
values, worked out here from the panel file's mappings, the needle pictures and the tables
alone."""
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures

# ------------------------------------------------------------------------------------------
# Reading the cab and its pictures


def read_ini(path):
    """[(lower-cased section, {lower-cased key: value})] in file order; ';' comments."""
    sections = [("", {})]
    with open(path, encoding="latin-1") as f:
        for line in f:
            line = line.split(";", 1)[0].strip()
            if line.startswith("[") and line.endswith("]"):
                sections.append((line[1:-1].strip().lower(), {}))
            elif "=" in line:
                key, value = (part.strip() for part in line.split("=", 1))
                sections[-1][1].setdefault(key.lower(), value)
    return sections


def keys_of(sections, name):
    found = {}
    for section, keys in sections:
        if section == name:
            found.update({k: v for k, v in keys.items() if k not in found})
    return found


def read_table(path):
    rows = []
    with open(path) as f:
        for line in f:
            value, angle = line.strip().split(",")
            rows.append((float(value), float(angle)))
    return rows


class Picture:
    """RGBA rows of a PNG (8-bit RGB or RGBA, not interlaced) or a 24-bit BMP, whose pixels of
    the transparent colour are read as transparent."""

    def __init__(self, path, transparent=(0, 0, 255)):
        with open(path, "rb") as f:
            data = f.read()
        if data.startswith(b"\x89PNG\r\n\x1a\n"):
            self.width, self.height, self.pixels = read_png(data)
        elif data.startswith(b"BM"):
            self.width, self.height, self.pixels = read_bmp(data)
        else:
            raise ValueError(path + ": neither PNG nor BMP")
        self.pixels = [[(r, g, b, 0) if (r, g, b) == transparent else (r, g, b, a)
                        for r, g, b, a in row] for row in self.pixels]

    def holds(self, x, y):
        return 0 <= x < self.width and 0 <= y < self.height

    def at(self, x, y):
        return self.pixels[int(math.floor(y))][int(math.floor(x))]


def read_png(data):
    position, idat, header = 8, b"", None
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if zlib.crc32(kind + body) & 0xFFFFFFFF != struct.unpack(
                ">I", data[position + 8 + length:position + 12 + length])[0]:
            raise ValueError("PNG chunk %r: bad CRC" % kind)
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        position += 12 + length
    width, height, depth, colour, _, _, interlace = header
    if depth != 8 or colour not in (2, 6) or interlace:
        raise ValueError("PNG of a kind this reader does not take: %r" % (header,))
    channels = 4 if colour == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        row = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = row[i - channels] if i >= channels else 0
            up = previous[i]
            corner = previous[i - channels] if i >= channels else 0
            if kind == 1:
                row[i] = (row[i] + left) & 255
            elif kind == 2:
                row[i] = (row[i] + up) & 255
            elif kind == 3:
                row[i] = (row[i] + (left + up) // 2) & 255
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                predictor = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                row[i] = (row[i] + predictor) & 255
        rows.append([tuple(row[x * channels:x * channels + 3]) +
                     ((row[x * channels + 3],) if channels == 4 else (255,))
                     for x in range(width)])
        previous = row
    return width, height, rows


def read_bmp(data):
    offset, = struct.unpack("<I", data[10:14])
    size, width, height, planes, bits, compression = struct.unpack("<IiiHHI", data[14:34])
    if bits != 24 or compression != 0:
        raise ValueError("BMP of a kind this reader does not take: %d bits" % bits)
    stride = (width * 3 + 3) // 4 * 4
    rows = []
    for y in range(abs(height)):
        start = offset + y * stride
        rows.append([(data[start + 3 * x + 2], data[start + 3 * x + 1], data[start + 3 * x], 255)
                     for x in range(width)])
    if height > 0:
        rows.reverse()
    return width, abs(height), rows


def colour_of(text):
    text = text.strip().lstrip("#")
    return tuple(int(text[i:i + 2], 16) for i in (0, 2, 4))


def luminance(pixel):
    r, g, b = pixel[:3]
    return 0.299 * r + 0.587 * g + 0.114 * b


class Cab:
    """The example cab as the host and the plug-in see it."""

    def __init__(self, folder):
        self.folder = folder
        self.panel = read_ini(os.path.join(folder, "panel2.cfg"))
        self.this = keys_of(self.panel, "this")
        self.needles = {}  # entry -> keys of its [Needle]
        for section, keys in self.panel:
            if section == "needle" and keys.get("subject", "").lower().startswith("ats"):
                self.needles[int(keys["subject"][3:])] = keys
        main = read_ini(os.path.join(folder, "Mirevane.ini"))
        names = ["Mirevane"] + list(keys_of(main, "filename").values())
        self.gauges = {}
        for name in names:
            profile = read_ini(os.path.join(folder, name + ".ini"))
            index = keys_of(profile, "panelindex")
            ellipse = keys_of(profile, "ellipse")
            division = int(ellipse.get("division", "0"))
            entries = ([int(index["ellipse%d" % k]) for k in range(division)] if division >= 2
                       else [int(index["needle"])])
            self.gauges[name] = dict(
                entries=entries, table=read_table(os.path.join(folder, name + ".csv")),
                flattening=float(ellipse.get("flattening", "0")),
                rotate=float(ellipse.get("rotateangle", "0")),
                standby=float(ellipse.get("standbyangle", "180")))
        self.background = Picture(os.path.join(folder, self.this["daytimeimage"]),
                                  colour_of(self.this.get("transparentcolor", "#0000FF")))
        self._pictures = {}

    def picture(self, entry):
        keys = self.needles[entry]
        if entry not in self._pictures:
            self._pictures[entry] = Picture(
                os.path.join(self.folder, keys["daytimeimage"]),
                colour_of(keys.get("transparentcolor", "#0000FF")))
        return self._pictures[entry]

    def screen_degrees(self, entry, value):
        """The host's needle mapping, 0 up and clockwise."""
        keys = self.needles[entry]
        minimum = float(keys.get("minimum", "0"))
        maximum = float(keys.get("maximum", "1000"))
        first = float(keys.get("initialangle", "-120"))
        last = float(keys.get("lastangle", "120"))
        return first + (value - minimum) * (last - first) / (maximum - minimum)

    def hub(self, entry):
        x, y = (float(n) for n in self.needles[entry]["location"].split(","))
        return x + 0.5, y + 0.5  # the middle of the Location pixel

    def origin(self, entry):
        keys = self.needles[entry]
        if "origin" in keys:
            return tuple(int(float(n)) for n in keys["origin"].split(","))
        picture = self.picture(entry)
        return picture.width // 2, picture.height // 2

    def scale(self, entry):
        radius = float(self.needles[entry].get("radius", "0"))
        origin_y = self.origin(entry)[1]
        return radius / origin_y if radius and origin_y else 1.0

    def needle_length(self, entry):
        """From the pivot to the far end of the picture's opaque pixels, in panel units."""
        picture = self.picture(entry)
        ox, oy = self.origin(entry)
        far = max(math.hypot(x - ox, y - oy) + 0.5
                  for y, row in enumerate(picture.pixels)
                  for x, pixel in enumerate(row) if pixel[3] >= 128)
        return far * self.scale(entry)

    def written(self, gauge, value):
        """(entry, value the plug-in writes there) for a value of the gauge, standing still."""
        angle = table_angle(gauge["table"], value) + 180.0
        if len(gauge["entries"]) == 1:
            return gauge["entries"][0], math.trunc(angle * 1000.0)
        b = 1.0 - gauge["flattening"]
        t = angle - gauge["rotate"]
        drawn = gauge["rotate"] + 360.0 + math.degrees(
            math.atan2(b * math.sin(math.radians(t)), math.cos(math.radians(t))))
        n = len(gauge["entries"])
        fits = []
        for k in range(n):
            r = b + (1.0 - b) * (n - 1 - k) / (n - 1)
            fits.append(math.degrees(math.acos(math.sqrt((r * r - b * b) / (1.0 - b * b)))))
        folded = abs(t) % 180.0
        folded = 180.0 - folded if folded > 90.0 else folded
        chosen = min(range(n), key=lambda k: (abs(fits[k] - folded), k))
        return gauge["entries"][chosen], math.trunc(drawn * 1000.0)


def table_angle(table, value):
    for (v0, a0), (v1, a1) in zip(table, table[1:]):
        if value <= v1:
            return a0 + (value - v0) * (a1 - a0) / (v1 - v0)
    (v0, a0), (v1, a1) = table[-2:]
    return a0 + (value - v0) * (a1 - a0) / (v1 - v0)


def cab_folder():
    return os.path.join(fixtures.EXAMPLES, "cab")


def script():
    return os.path.join(cab_folder(), "images", "draw.py")


# ------------------------------------------------------------------------------------------


class PicturesHaveTheirSource(unittest.TestCase):
    """Every committed picture is what the script draws from the committed cab, byte for byte,
    and the script draws nothing that is not committed."""

    def test_the_script_redraws_every_picture(self):
        out = tempfile.mkdtemp(prefix="mirevane-panel-")
        try:
            result = subprocess.run([sys.executable, script(), "--out", out],
                                    capture_output=True, text=True, timeout=600)
            self.assertEqual(result.returncode, 0, result.stderr)
            drawn = sorted(os.path.relpath(os.path.join(folder, name), out)
                           for folder, _, names in os.walk(out) for name in names)
            committed = sorted(os.path.join("images", name)
                               for name in os.listdir(os.path.join(cab_folder(), "images"))
                               if name != "draw.py")
            self.assertEqual(drawn, committed)
            for name in drawn:
                with self.subTest(picture=name):
                    with open(os.path.join(out, name), "rb") as f:
                        fresh = f.read()
                    with open(os.path.join(cab_folder(), name), "rb") as f:
                        kept = f.read()
                    if fresh != kept and name.endswith(".png"):
                        same = (Picture(os.path.join(out, name)).pixels
                                == Picture(os.path.join(cab_folder(), name)).pixels)
                        self.fail("%s differs from what the script draws (%s)" % (
                            name, "same pixels: another zlib compressed them differently"
                            if same else "other pixels: run images/draw.py and commit"))
                    self.assertTrue(fresh == kept, name + " differs from what the script draws")
        finally:
            shutil.rmtree(out, ignore_errors=True)


class PanelWiring(unittest.TestCase):
    """The panel file as a cab builder relies on it: its pictures exist under the names it
    gives, every entry the plug-in writes is drawn by a needle that turns 1 degree per 1000
    units, and the oval gauge's pictures are wired in the order of their lengths."""

    @classmethod
    def setUpClass(cls):
        cls.cab = Cab(cab_folder())

    def test_ats_cfg_names_the_library_beside_it(self):
        with open(os.path.join(cab_folder(), "ats.cfg")) as f:
            self.assertEqual(f.read().strip(), "Mirevane.dll")
        self.assertTrue(os.path.exists(os.path.join(cab_folder(), "Mirevane.ini")))

    def test_every_picture_named_exists_in_that_letter_case(self):
        names = [keys["daytimeimage"] for _, keys in self.cab.panel if "daytimeimage" in keys]
        self.assertEqual(len(names), len(self.cab.needles) + 1)  # and [This]
        for name in names:
            with self.subTest(picture=name):
                folder, file_name = os.path.split(os.path.join(cab_folder(), name))
                self.assertIn(file_name, os.listdir(folder))

    def test_every_location_lies_on_the_panel_picture(self):
        width, height = self.cab.background.width, self.cab.background.height
        for entry in self.cab.needles:
            with self.subTest(entry=entry):
                x, y = self.cab.hub(entry)
                self.assertTrue(0 <= x < width and 0 <= y < height, (x, y))

    def test_the_panel_picture_has_no_pixel_of_its_transparent_colour(self):
        self.assertTrue(all(pixel[3] == 255 for row in self.cab.background.pixels
                            for pixel in row))

    def test_every_entry_written_has_a_needle_and_no_needle_waits_for_another(self):
        written = sorted(e for gauge in self.cab.gauges.values() for e in gauge["entries"])
        self.assertEqual(sorted(self.cab.needles), written)

    def test_needles_turn_one_degree_per_thousand_unhindered(self):
        for entry, keys in self.cab.needles.items():
            with self.subTest(entry=entry):
                turn = self.cab.screen_degrees(entry, 1000.0) - self.cab.screen_degrees(entry, 0)
                self.assertAlmostEqual(abs(turn), 1.0, places=9)
                self.assertNotIn(keys.get("backstop", "false").lower(), ("true", "1"))

    def test_the_needles_pivot_on_themselves(self):
        for entry in self.cab.needles:
            with self.subTest(entry=entry):
                self.assertGreaterEqual(self.cab.picture(entry).at(*self.cab.origin(entry))[3],
                                        128)

    def test_oval_pictures_share_a_hub_are_undamped_and_shorten_in_entry_order(self):
        for name, gauge in self.cab.gauges.items():
            entries = gauge["entries"]
            if len(entries) < 2:
                continue
            with self.subTest(gauge=name):
                self.assertEqual({self.cab.needles[e]["location"] for e in entries},
                                 {self.cab.needles[entries[0]]["location"]})
                for entry in entries:
                    self.assertFalse({"naturalfreq", "dampingratio"} & set(self.cab.needles[entry]))
                lengths = [self.cab.needle_length(e) for e in entries]
                # Each picture 1/(n-1) of the difference between the long and the short
                # semi-axis shorter than the one before: 8.8 px here; half a pixel of
                # anti-aliasing either way.
                b = 1.0 - gauge["flattening"]
                step = lengths[0] * (1.0 - b) / (len(entries) - 1)
                for longer, shorter in zip(lengths, lengths[1:]):
                    self.assertAlmostEqual(longer - shorter, step, delta=1.0)

    def test_the_red_needle_draws_over_the_black(self):
        layer = {entry: int(keys.get("layer", "0")) for entry, keys in self.cab.needles.items()}
        red, black = self.cab.gauges["bc"]["entries"], self.cab.gauges["mr"]["entries"]
        self.assertGreater(min(layer[e] for e in red), max(layer[e] for e in black))


class MarksWhereTheNeedlesPoint(unittest.TestCase):
    """For every value of every table: the host draws the needle's picture turned by its
    mapping of the value the plug-in writes, and at the needle's tip the panel picture has a
    dark mark, light on either side of it."""

    DARK, LIGHT = 100, 170  # the marks are near black, the dial faces near white
    ASIDE = 5.0  # px either side of the needle: clear of the mark, short of its neighbours

    @classmethod
    def setUpClass(cls):
        cls.cab = Cab(cab_folder())

    def check_marks(self, name):
        gauge = self.cab.gauges[name]
        for value, _ in gauge["table"]:
            with self.subTest(gauge=name, value=value):
                entry, written = self.cab.written(gauge, value)
                s = math.radians(self.cab.screen_degrees(entry, written))
                dx, dy = math.sin(s), -math.cos(s)
                hx, hy = self.cab.hub(entry)
                # 1.5 px inside the tip: on the needle's own last pixels, not past them.
                reach = self.cab.needle_length(entry) - 1.5
                x, y = hx + reach * dx, hy + reach * dy
                self.assertTrue(self.cab.background.holds(x, y), "the tip (%.1f, %.1f) lies off "
                                "the panel picture" % (x, y))
                at = luminance(self.cab.background.at(x, y))
                self.assertLess(at, self.DARK, "no mark at the tip (%.1f, %.1f)" % (x, y))
                for side in (-1.0, 1.0):
                    beside = (x - side * self.ASIDE * dy, y + side * self.ASIDE * dx)
                    self.assertGreater(luminance(self.cab.background.at(*beside)), self.LIGHT,
                                       "the mark at (%.1f, %.1f) is not a thin line" % (x, y))

    def test_speedometer(self):
        self.check_marks("Mirevane")

    def test_ammeter(self):
        self.check_marks("ammeter")

    def test_voltmeter(self):
        self.check_marks("voltmeter")

    def test_oval_brake_cylinder(self):
        self.check_marks("bc")

    def test_oval_main_reservoir(self):
        self.check_marks("mr")


if __name__ == "__main__":
    fixtures.read_command_line()
    fixtures.run_tests()
