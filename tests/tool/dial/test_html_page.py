"""End-to-end tests of run --html: refused page options, and a page that holds everything it
shows. test_dial_page.py looks at the page in a browser."""
import base64
import json
import math
import os
import random
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import (
    CabFolder, DIAGNOSTIC, GOOD_INI, GOOD_TABLE, PNG_HEADER, SPEEDOMETER, diagnostic_lines,
    panel_lines, png_rgba)


def page_data(page):
    return json.loads(page.split('<script id="dial-data" type="application/json">')[1]
                      .split("</script>")[0])


def runs_expanded(runs):
    out = []
    for x in runs:
        out.extend([x[0]] * x[1] if isinstance(x, list) else [x])
    return out


def needle_picture(width, height, shade):
    """A needle pointing up on a transparent field: opaque in its middle third."""
    row = b"".join(bytes([shade, shade // 2, 40, 255 if width // 3 <= x < 2 * width // 3 else 0])
                   for x in range(width))
    return png_rgba(width, height, [row] * height)


class DialPage(unittest.TestCase):
    """run --html: argument errors, and a page that holds everything it shows. The browser
    tests (test_dial_page.py) look at it in Chromium."""

    PNG = PNG_HEADER

    CASES = [
        # name, extra arguments, words of the message
        ("unknown convention", ["--angles", "sideways"],
         "--angles: error: 'sideways' is not up|right|down|left"),
        ("sense missing", ["--angles", "up"], "--angles: error: 'up' is not"),
        ("no gauge number", ["--dial", "face.png,1,2,3"], "no '='"),
        ("gauge not a number", ["--dial", "x=face.png,1,2,3"], "the gauge is not a gauge number"),
        ("too few numbers", ["--dial", "0=face.png,1,2"], "cx, cy and r must be numbers"),
        ("radius 0", ["--dial", "0=face.png,1,2,0"], "r must be above 0"),
        ("missing picture", ["--dial", "0=missing.png,1,2,3"],
         "missing.png: error: cannot read the dial picture [dial-picture]"),
        ("not a PNG", ["--dial", "0=scenario.csv,1,2,3"],
         "scenario.csv: error: not a PNG picture [dial-picture]"),
    ]

    def test_bad_page_options_exit_with_2_and_write_nothing(self):
        files = dict(SPEEDOMETER)
        files.update({"scenario.csv": "time,speed\n0,0\n", "face.png": self.PNG})
        for name, extra, words in self.CASES:
            with self.subTest(name), CabFolder(files) as cab:
                result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out",
                                 "trace.csv", "--html", "page.html", *extra)
                self.assertEqual(result.returncode, 2, result.stderr_text)
                lines = diagnostic_lines(result)
                self.assertEqual(len(lines), 1, result.stderr_text)
                self.assertRegex(lines[0], DIAGNOSTIC)
                self.assertIn(words, lines[0])
                self.assertEqual(sorted(os.listdir(cab.path)), sorted(files))

    def test_the_page_holds_everything_it_shows(self):
        files = dict(SPEEDOMETER)
        files.update({"scenario.csv": "time,speed,keys\n0,0,\n10,50,S\n20,100,\n",
                      "face.png": self.PNG})
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--html",
                             "page.html", "--dial", "0=face.png,1,1.5,1")
            self.assertEqual(result.returncode, 0, result.stderr_text)
            with open(cab.file("page.html"), encoding="utf-8") as f:
                page = f.read()
        self.assertTrue(page.startswith("<!DOCTYPE html>"))
        self.assertIn('http-equiv="Content-Security-Policy" content="default-src \'none\'', page)
        # Nothing to fetch: the only URLs are the SVG namespace, pictures are data: URIs.
        self.assertEqual(set(re.findall(r"https?://[^\s\"']*", page)),
                         {"http://www.w3.org/2000/svg"})
        self.assertEqual([v for v in re.findall(r'(?:src|href)="([^"]*)"', page)
                          if not v.startswith("data:")], [])
        self.assertIn("data:image/png;base64," + base64.b64encode(self.PNG).decode(), page)
        self.assertEqual(page.count('<figure class="gauge"'), 1)
        self.assertEqual(page.count('<g class="chart"'), 1)
        data = json.loads(page.split('<script id="dial-data" type="application/json">')[1]
                          .split("</script>")[0])
        self.assertEqual(data["t"], [0, 10, 20])
        self.assertEqual(data["panel"]["20"], [180000, 315000, 450000])
        self.assertEqual(data["events"], [{"t": 10, "keys": "S", "initialize": False,
                                           "copied": ""}])
        # The run stayed within the table: nothing extrapolated is marked.
        self.assertEqual(page.count('class="calibrated"'), 1)
        self.assertNotIn('class="extrapolated"', page)

    def test_a_long_run_gives_a_small_page_with_the_runs_own_plot(self):
        files = {"Cab.ini": GOOD_INI, "Cab.csv": GOOD_TABLE,
                 "scenario.csv": "time,speed\n0,0\n200000,100\n400000,0\n"}
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--fps", "1000",
                             "--out", "trace.csv", "--plot", "plot.svg", "--html", "page.html")
            self.assertEqual(result.returncode, 0, result.stderr_text)
            with open(cab.file("page.html"), encoding="utf-8") as f:
                page = f.read()
            with open(cab.file("plot.svg"), encoding="utf-8") as f:
                plot = f.read()
        self.assertLess(len(page.encode()), 1_000_000)
        data = json.loads(page.split('<script id="dial-data" type="application/json">')[1]
                          .split("</script>")[0])
        self.assertEqual(data["framesSeen"], 400001)
        self.assertGreater(data["stride"], 1)
        self.assertLessEqual(len(data["t"]), 5001)
        self.assertEqual(data["t"][-1], 400000)
        # The very picture --plot wrote, without its XML declaration, a group around each
        # gauge's chart (which the studio redraws alone).
        shown = re.sub(r'<g class="gauge-plot" data-gauge="\d+">\n', "", page)
        shown = shown[shown.index('<section id="plots">\n') + 21:shown.index("</section>\n<script")]
        self.assertEqual(shown.replace("</g>\n", ""), plot[plot.index("<svg"):].replace("</g>\n", ""))
        self.assertEqual(shown.count("</g>\n") - plot.count("</g>\n"), len(data["gauges"]))

    def test_the_dial_marks_what_the_run_extrapolated(self):
        files = {"Cab.ini": GOOD_INI, "Cab.csv": "20,0\n100,270\n",
                 "scenario.csv": "time,speed\n0,10\n10,50\n20,150\n"}
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--html",
                             "page.html")
            self.assertEqual(result.returncode, 0, result.stderr_text)
            with open(cab.file("page.html"), encoding="utf-8") as f:
                page = f.read()
        # Below the first point and above the last: one arc each, ending at the angles of
        # 10 and 150 km/h, 3.375 degrees per km/h from 20 km/h at 180 degrees.
        arcs = re.findall(r'<polyline fill="none" points="([^"]*)" class="extrapolated"/>', page)
        self.assertEqual(len(arcs), 2)
        ends = [tuple(float(v) for v in arc.split()[-1].split(",")) for arc in arcs]
        radius = 106.0
        for (x, y), angle in zip(ends, (146.25, 618.75)):
            a = math.radians(angle - 90)
            self.assertAlmostEqual(x, radius * math.cos(a), delta=0.06)
            self.assertAlmostEqual(y, radius * math.sin(a), delta=0.06)


# A speedometer on entry 20 (0..100 km/h -> 0..270 degrees) under a panel that draws entry 20
# with screen angle = table angle, a needle on the speed the scenario gives, one on a pressure
# it does not give, and one whose picture is missing.
CAB_PANEL = """[This]
DaytimeImage = panel.png
[Needle]
Subject = ats20
Location = 60, 50
DaytimeImage = needle.png
Origin = 4, 30
Minimum = 0
Maximum = 360000
InitialAngle = -180
LastAngle = 180
Layer = 2
[Needle]
Subject = kmph
Location = 20, 20
DaytimeImage = needle.png
Origin = 4, 30
Radius = 15
Minimum = 0
Maximum = 100
InitialAngle = -90
LastAngle = 90
[Needle]
Subject = bc
Location = 100, 20
DaytimeImage = needle.png
Minimum = 0
Maximum = 800
[Needle]
Subject = ats21
Location = 100, 80
DaytimeImage = missing.png
"""


class CabOnThePage(unittest.TestCase):
    """run --html with the cab's panel file: the panel's picture and every needle, each
    picture once, the needles' angles per frame by their own mappings; --no-panel and a panel
    that cannot be read."""

    @classmethod
    def files(cls):
        files = dict(SPEEDOMETER)
        files.update({"scenario.csv": "time,speed\n0,0\n10,50\n20,100\n",
                      "panel2.cfg": CAB_PANEL,
                      "panel.png": png_rgba(120, 100, [bytes([30, 60, 90, 255]) * 120] * 100),
                      "needle.png": needle_picture(8, 40, 230)})
        return files

    def run_page(self, cab, *extra):
        result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out", "trace.csv",
                         "--html", "page.html", *extra)
        self.assertEqual(result.returncode, 0, result.stderr_text)
        with open(cab.file("page.html"), encoding="utf-8") as f:
            return result, f.read()

    def test_the_page_draws_the_panel_found_beside_the_library(self):
        with CabFolder(self.files()) as cab:
            result, page = self.run_page(cab)
        self.assertEqual(len(panel_lines(result)), 1, result.stderr_text)
        self.assertIn("panel2.cfg", panel_lines(result)[0])
        self.assertEqual(page.count('<svg class="cab-view"'), 1)
        self.assertEqual(page.count('class="cab-needle"'), 4)
        # The panel's picture and the needle's, each once though three needles use it; the
        # missing one a placeholder that says why.
        self.assertEqual(page.count("data:image/png;base64,"), 2)
        self.assertEqual(page.count('<use href="#cab-picture-0"'), 3)
        self.assertRegex(page, r"<title>the needle's picture missing\.png: [^<]+</title>")
        # Layer 2 draws over layer 0: the entry 20 needle comes last.
        subjects = re.findall(r'class="cab-needle" data-needle="\d+" data-subject="([^"]+)"', page)
        self.assertEqual(subjects, ["kmph", "bc", "ats21", "ats20"])
        self.assertIn("--angles is not needed", page)

        data = page_data(page)
        cab = dict(zip(subjects, data["cab"]))
        entry20 = runs_expanded(data["panel"]["20"])
        self.assertEqual(cab["ats20"]["drive"], "entry")
        self.assertEqual(cab["ats20"]["gauge"], 0)
        # Screen angle = value / 1000 - 180: the table angle.
        self.assertEqual(runs_expanded(cab["ats20"]["angle"]), [v / 1000 - 180 for v in entry20])
        self.assertEqual(runs_expanded(cab["ats20"]["angle"]), [0, 135, 270])
        self.assertEqual(cab["kmph"]["drive"], "quantity")
        self.assertEqual(runs_expanded(cab["kmph"]["angle"]), [-90, 0, 90])
        self.assertEqual(cab["bc"]["drive"], "rest")
        self.assertEqual(runs_expanded(cab["bc"]["angle"]), [-120] * 3)
        self.assertEqual(cab["ats21"]["drive"], "rest")
        self.assertIn("no gauge writes entry 21", cab["ats21"]["rest"])

    def test_each_dial_turns_as_its_needle_and_falls_back_on_angles_without_one(self):
        # The panel's ats20 turns 1 degree per 1000 units from -180: a table angle of 0
        # (value 180000) points up, so the scale's angle 0 points down, growing clockwise.
        turned = 'class="needles" transform="matrix(0 1 -1 0 0 0)"'
        # --angles right-ccw: angle 0 right, growing anticlockwise.
        given = 'class="needles" transform="matrix(1 0 0 -1 0 0)"'
        with CabFolder(self.files()) as cab:
            _, page = self.run_page(cab, "--angles", "right-ccw")
        self.assertIn(turned, page)
        self.assertNotIn(given, page)
        self.assertNotIn("Gauge 0:", page)
        files = self.files()
        files["panel2.cfg"] = CAB_PANEL.replace("Maximum = 360000", "Maximum = 360")
        with CabFolder(files) as cab:
            _, page = self.run_page(cab, "--angles", "right-ccw")
        self.assertIn(given, page)
        self.assertIn("Gauge 0: no needle of the panel on its entries turns 1 degree per 1000 "
                      "units. Angle 0 points right, angles grow anticlockwise (--angles "
                      "right-ccw).", page)

    def test_no_panel_gives_the_page_without_the_cab(self):
        with CabFolder(self.files()) as cab:
            result, page = self.run_page(cab, "--no-panel")
        self.assertEqual(panel_lines(result), ["panel: none (--no-panel)"])
        # The page's style and script know of a cab; the page shows none.
        self.assertFalse('<svg class="cab-view"' in page or '<section id="cab">' in page or
                         '<nav id="views">' in page)
        self.assertNotIn('"cab"', page_data(page))
        self.assertIn("(--angles up-cw).", page)

    def test_the_panel_and_its_pictures_are_never_written(self):
        for output, words in [("panel2.cfg", "names the panel file"),
                              ("needle.png", "names a picture of the panel"),
                              ("panel.png", "names a picture of the panel")]:
            files = self.files()
            with self.subTest(output), CabFolder(files) as cab:
                result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out",
                                 "trace.csv", "--html", output)
                self.assertEqual(result.returncode, 2, result.stderr_text)
                lines = diagnostic_lines(result)
                self.assertEqual(len(lines), 1, result.stderr_text)
                self.assertIn(words, lines[0])
                for name, content in files.items():
                    with open(cab.file(name), "rb") as f:
                        self.assertEqual(f.read(), content if isinstance(content, bytes)
                                         else content.encode("latin-1"), name)

    def test_a_panel_that_cannot_be_read_is_a_located_error(self):
        for name, extra in [("no such file", ["--panel", "elsewhere/panel2.cfg"]),
                            ("a folder", ["--panel", "elsewhere"])]:
            files = self.files()
            files["elsewhere"] = fixtures.FOLDER
            with self.subTest(name), CabFolder(files) as cab:
                result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out",
                                 "trace.csv", "--html", "page.html", *extra)
                self.assertEqual(result.returncode, 2, result.stderr_text)
                lines = diagnostic_lines(result)
                self.assertEqual(len(lines), 1, result.stderr_text)
                self.assertRegex(lines[0], DIAGNOSTIC)
                self.assertTrue(lines[0].startswith("elsewhere"), lines[0])
                self.assertEqual(sorted(os.listdir(cab.path)), sorted(files))

    def test_the_page_of_a_realistic_panel_stays_within_its_bound(self):
        # A 1024 x 1024 panel picture of gradients under noise (a photograph-like picture
        # compresses far worse than flat colour) and 20 needle pictures of 40 x 260 pixels,
        # each different; a run of 10 minutes at 30 frames per second.
        noise = random.Random(34)
        background = [bytes(v for x in range(1024) for v in (
            (x // 4 + noise.randrange(24)) & 255, (y // 4 + noise.randrange(24)) & 255,
            ((x + y) // 8 + noise.randrange(24)) & 255, 255)) for y in range(1024)]
        files = dict(SPEEDOMETER)
        files["scenario.csv"] = "time,speed\n0,0\n300000,100\n600000,0\n"
        files["panel.png"] = png_rgba(1024, 1024, background)
        sections = ["[This]\nDaytimeImage = panel.png\n"]
        for n in range(20):
            files["needle%d.png" % n] = needle_picture(40, 260, 100 + 7 * n)
            sections.append("[Needle]\nSubject = ats%d\nLocation = %d, %d\nDaytimeImage = "
                            "needle%d.png\nMinimum = 0\nMaximum = 360000\nInitialAngle = 0\n"
                            "LastAngle = 360\n" % (20 + n, 100 + 40 * n, 500, n))
        files["panel2.cfg"] = "".join(sections)
        with CabFolder(files) as cab:
            started = time.monotonic()
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--fps", "30",
                             "--out", "trace.csv", "--html", "page.html")
            seconds = time.monotonic() - started
            self.assertEqual(result.returncode, 0, result.stderr_text)
            size = os.path.getsize(cab.file("page.html"))
            pictures = sum(os.path.getsize(cab.file(n)) for n in files if n.endswith(".png"))
            with open(cab.file("page.html"), encoding="utf-8") as f:
                page = f.read()
        embedded = re.findall(r'href="(data:image/png;base64,[^"]*)"', page)
        self.assertEqual(len(embedded), 21)
        print("\nrealistic panel: page %d bytes, of which the pictures %d bytes (%d bytes of PNG "
              "files), run %.1f s" % (size, sum(map(len, embedded)), pictures, seconds))
        # docs/tool.md gives this bound.
        self.assertLess(size, 8_000_000)


if __name__ == "__main__":
    fixtures.read_command_line()
    fixtures.run_tests()
