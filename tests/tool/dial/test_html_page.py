"""End-to-end tests of run --html: refused page options, and a page that holds everything it
shows. test_dial_page.py looks at the page in a browser."""
import base64
import json
import math
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import (
    CabFolder, DIAGNOSTIC, GOOD_INI, GOOD_TABLE, PNG_HEADER, SPEEDOMETER, diagnostic_lines)


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


if __name__ == "__main__":
    fixtures.read_command_line()
    fixtures.run_tests()
