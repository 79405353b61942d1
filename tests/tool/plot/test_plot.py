"""End-to-end tests of run --plot: well-formed SVG, one chart per gauge with its time axis,
peaks kept in a long run, the table curves and the calibration session's marks."""
import os
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import CabFolder, GOOD_INI, GOOD_TABLE, SPEEDOMETER


def svg_ns(tag):
    return "{http://www.w3.org/2000/svg}" + tag


def needle_points(chart):
    """The needle curve's points of one chart: the widest blue polyline."""
    points = []
    for line in chart.iter(svg_ns("polyline")):
        if line.get("stroke") == "#1f5fa8" and line.get("stroke-width") == "2.2":
            points += [tuple(float(v) for v in p.split(",")) for p in line.get("points").split()]
    return points


def angle_at(chart, y):
    """Reads the angle axis of a chart back at height y, from its labelled ticks."""
    x0 = float(chart.get("data-x0"))
    ticks = sorted((float(t.get("y")) - 4, float(t.text)) for t in chart.iter(svg_ns("text"))
                   if t.get("text-anchor") == "end" and abs(float(t.get("x")) - (x0 - 8)) < 0.01)
    (ya, a), (yb, b) = ticks[0], ticks[-1]
    return a + (y - ya) * (b - a) / (yb - ya)


class Plot(unittest.TestCase):
    def run_plot(self, files, scenario, *extra):
        files = dict(files)
        files["scenario.csv"] = scenario
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out", "t.csv",
                             "--plot", "p.svg", *extra)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            size = os.path.getsize(cab.file("p.svg"))
            return ElementTree.parse(cab.file("p.svg")).getroot(), size

    def test_the_plot_is_well_formed_svg_with_one_chart_per_gauge(self):
        with tempfile.TemporaryDirectory(prefix="mirevane-plot-") as out:
            # The tool writes beside the examples' own files only through --out and --plot.
            svg_path = os.path.join(out, "run.svg")
            trace_path = os.path.join(out, "run.csv")
            result = TOOL.run(["run", os.path.join("cab", "Mirevane.dll"), "--scenario",
                               os.path.join("scenarios", "run.csv"), "--fps", "10",
                               "--out", os.path.relpath(trace_path, EXAMPLES),
                               "--plot", os.path.relpath(svg_path, EXAMPLES)], cwd=EXAMPLES)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            root = ElementTree.parse(svg_path).getroot()
            self.assertEqual(root.tag, svg_ns("svg"))
            texts = ["".join(t.itertext()) for t in root.iter(svg_ns("text"))]
            titles = [t for t in texts if t.startswith("Gauge ")]
            self.assertEqual(len(titles), 5)
            self.assertEqual(texts.count("time (s)"), 5)
            self.assertEqual(texts.count("panel angle (\u00b0) = table angle + 180"), 5)
            self.assertEqual(texts.count("table angle (\u00b0), before the +180"), 5)
            self.assertIn("drawn angle of the selected image", texts)
            # Every curve stays inside the drawing.
            width, height = float(root.get("width")), float(root.get("height"))
            curves = list(root.iter(svg_ns("polyline")))
            self.assertGreaterEqual(len(curves), 12)
            for curve in curves:
                for point in curve.get("points").split():
                    x, y = (float(v) for v in point.split(","))
                    self.assertTrue(0 <= x <= width and 0 <= y <= height, point)
            self.assertTrue(os.path.exists(trace_path))

    def test_each_chart_tells_where_its_time_axis_lies(self):
        # A page that lays a time cursor over the chart maps ms to x from these attributes.
        root, _ = self.run_plot(SPEEDOMETER, "time,speed\n1500,0\n8200,100\n", "--fps", "10")
        charts = [g for g in root.iter(svg_ns("g")) if g.get("class") == "chart"]
        self.assertEqual(len(charts), 1)
        chart = charts[0]
        t0, t1 = float(chart.get("data-t0")), float(chart.get("data-t1"))
        x0, x1 = float(chart.get("data-x0")), float(chart.get("data-x1"))
        self.assertLessEqual(t0, 1500)
        self.assertGreaterEqual(t1, 8200)
        self.assertLess(x0, x1)
        points = needle_points(chart)
        # The first frame (1500 ms) and the last (8200 ms) sit where the attributes put them.
        for time, x in ((1500, points[0][0]), (8200, points[-1][0])):
            self.assertAlmostEqual(x0 + (time - t0) / (t1 - t0) * (x1 - x0), x, delta=0.06)

    def test_a_long_run_keeps_every_peak_in_a_small_picture(self):
        # 400,001 frames, the needle at rest but for one frame at 100 km/h (450 degrees) and
        # one at -100 (-90 degrees... the table extrapolates: 180 - 270).
        scenario = ("time,speed\n0,0\n200000,0\n200001,100\n200002,0\n"
                    "300000,0\n300001,-100\n300002,0\n400000,0\n")
        files = {"Cab.ini": "[SubjectKey]\nSubject = am\n[PanelIndex]\nNeedle = 20\n",
                 "Cab.csv": GOOD_TABLE}
        scenario = scenario.replace("speed", "current")
        root, size = self.run_plot(files, scenario, "--fps", "1000")
        self.assertLess(size, 2_000_000)
        chart = [g for g in root.iter(svg_ns("g")) if g.get("class") == "chart"][0]
        points = needle_points(chart)
        self.assertLessEqual(len(points), 2 * 802 + 4)
        ys = [y for _, y in points]
        self.assertAlmostEqual(angle_at(chart, min(ys)), 450, delta=1)
        self.assertAlmostEqual(angle_at(chart, max(ys)), -90, delta=1)

    def test_each_gauge_has_its_table_curve(self):
        files = {"Cab.ini": GOOD_INI + "[FileName]\nGauge0 = second\n",
                 "Cab.csv": "0,0\n50,100\n100,270\n",
                 "second.ini": "[SubjectKey]\nSubject = bc\n[PanelIndex]\nNeedle = 21\n",
                 "second.csv": "0,0\n"}
        root, _ = self.run_plot(files, "time,speed,bc\n0,0,0\n1000,150,5\n")
        panels = [g for g in root.iter(svg_ns("g")) if g.get("class") == "table-curve"]
        self.assertEqual(len(panels), 2)
        # Three calibration points marked; the run went to 150 km/h, beyond the table: the
        # ends are drawn dashed, the table itself solid.
        self.assertEqual(len(list(panels[0].iter(svg_ns("circle")))), 3)
        lines = list(panels[0].iter(svg_ns("polyline")))
        dashed = [l for l in lines if l.get("stroke-dasharray")]
        solid = [l for l in lines if not l.get("stroke-dasharray")]
        self.assertEqual(len(dashed), 2)
        self.assertEqual(len(solid[0].get("points").split()), 3)
        right_end = [float(v) for v in dashed[1].get("points").split()[-1].split(",")]
        last_point = [float(v) for v in solid[0].get("points").split()[-1].split(",")]
        self.assertGreater(right_end[0], last_point[0])
        self.assertLess(right_end[1], last_point[1])  # still rising beyond the table
        # The one-point table says why nothing is drawn.
        words = " ".join("".join(t.itertext()) for t in panels[1].iter(svg_ns("text")))
        self.assertIn("fewer than two calibration points", words)

    def test_the_calibration_plot_marks_keys_modes_and_images(self):
        with tempfile.TemporaryDirectory(prefix="mirevane-plot-") as out:
            svg_path = os.path.join(out, "cal.svg")
            cwd = os.path.join(EXAMPLES, "calibration")
            result = TOOL.run(["run", os.path.join("..", "cab", "Mirevane.dll"), "--scenario",
                               "calibration.csv", "--fps", "20", "--out", "-",
                               "--plot", os.path.relpath(svg_path, cwd)], cwd=cwd)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            root = ElementTree.parse(svg_path).getroot()
        charts = [g for g in root.iter(svg_ns("g")) if g.get("class") == "chart"]
        self.assertEqual(len(charts), 5)
        for chart in charts:
            texts = ["".join(t.itertext()) for t in chart.iter(svg_ns("text"))]
            # Developer keys as the cab binds them, with what they do; the switch key runs
            # through every mode.
            keys = [k.find(svg_ns("title")).text for k in chart.iter(svg_ns("g"))
                    if k.get("class") == "key"]
            # Twenty presses of C1 in four quick frames are one run; every run is named.
            self.assertIn("C1\u00d720 (AdjustIncrementLarge)", keys)
            self.assertIn("D (SwitchAdjustMode)", keys)
            for label in ("C1\u00d720", "A2\u00d72", "C2\u00d78", "B1 A1\u00d73", "B1\u00d76", "L"):
                self.assertIn(label, texts)
            self.assertEqual(texts.count("D"), 4)  # switches seconds apart stay apart
            for mode in ("fixed angle", "fixed value", "rotating", "adjust off"):
                self.assertIn(mode, texts)
            self.assertTrue(any(t.startswith("copied ") for t in texts))
        texts = ["".join(t.itertext()) for t in root.iter(svg_ns("text"))]
        # The two oval gauges show which needle image was drawn.
        self.assertEqual(texts.count("image drawn (panel entry)"), 2)


if __name__ == "__main__":
    TOOL, EXAMPLES = fixtures.read_command_line()
    fixtures.run_tests()
