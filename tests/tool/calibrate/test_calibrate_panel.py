"""mirevane calibrate on the cab's panel picture: the gauge's needle in the panel file gives
the hub and the screen convention. The marks are placed by the host's own drawing, worked out
here: table angle, +180 (or the oval's drawn angle), x1000, then the needle's mapping."""
import math
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import CabFolder, trace_rows, turn_gap

VALUES = [0, 50, 100, 150, 200]
ANGLES = [10.0, 80.5, 151.0, 215.25, 280.0]  # the table the marks are drawn from
FLATTENING, ROTATE, DIVISION = 0.5, 30.0, 8
ROUND = "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nNeedle = 20\n"
OVAL = ("[SubjectKey]\nSubject = kmph\n[Ellipse]\nDivision = %d\nFlattening = %g\n"
        "RotateAngle = %g\n[PanelIndex]\n" % (DIVISION, FLATTENING, ROTATE) +
        "".join("Ellipse%d = %d\n" % (k, 30 + k) for k in range(DIVISION)))
TABLE = "0,0\r\n200,300\r\n"


class HostNeedle:
    """A [Needle] of the panel and where the host draws it: screen angle InitialAngle +
    (value - Minimum) * (LastAngle - InitialAngle) / (Maximum - Minimum), degrees clockwise
    from up, about Location (picture pixels, y down)."""

    def __init__(self, minimum, maximum, initial, last, location=(412.0, 530.0)):
        self.minimum, self.maximum, self.initial, self.last = minimum, maximum, initial, last
        self.location = location

    def section(self, entry, extra=""):
        return ("[Needle]\nSubject = ats%d\nLocation = %g, %g\nDaytimeImage = needle.png\n"
                "Minimum = %g\nMaximum = %g\nInitialAngle = %g\nLastAngle = %g\n%s" %
                ((entry,) + self.location + (self.minimum, self.maximum, self.initial, self.last,
                                             extra)))

    def screen_degrees(self, value):
        return self.initial + (value - self.minimum) * (self.last - self.initial) / (
            self.maximum - self.minimum)

    def point(self, value, length):
        s = math.radians(self.screen_degrees(value))
        return (self.location[0] + length * math.sin(s), self.location[1] - length * math.cos(s))


def written(table_angle, oval):
    """The value the plug-in writes for an undamped table angle: a plain gauge (A + 180) * 1000,
    an oval one its drawn angle * 1000 (docs/configuration.md, how an elliptic gauge draws)."""
    panel = table_angle + 180.0
    if not oval:
        return panel * 1000.0
    t = math.radians(panel - ROTATE)
    b = 1.0 - FLATTENING
    return (ROTATE + 360.0 + math.degrees(math.atan2(b * math.sin(t), math.cos(t)))) * 1000.0


def panel_text(needles):
    return "; the cab's panel\n[This]\nDaytimeImage = panel.bmp\n\n" + "\n".join(needles)


def section_line(text, n):
    """The line of the n-th [Needle] (1-based line numbers)."""
    lines = [i + 1 for i, line in enumerate(text.splitlines()) if line == "[Needle]"]
    return lines[n]


def key_line(text, n, key):
    start = section_line(text, n)
    for i, line in enumerate(text.splitlines()[start:], start + 1):
        if line.startswith(key + " ="):
            return i
    raise AssertionError(key)


# Needle mappings that turn 1 degree per 1000 units, with their offset and sense.
MAPPINGS = [
    ("0 to 360 clockwise", HostNeedle(0, 360000, 0, 360)),
    ("-180 to 180: the screen angle is the table angle", HostNeedle(0, 360000, -180, 180)),
    ("anticlockwise", HostNeedle(0, 360000, 0, -360)),
    ("an odd offset and Minimum", HostNeedle(90000, 450000, 37, 397, (100.5, 80.25))),
    ("reversed range", HostNeedle(360000, 0, 360, 0, (640.0, 120.0))),
    ("-180 to 180 anticlockwise", HostNeedle(0, 360000, 180, -180)),
]


class CalibrateOnThePanel(unittest.TestCase):

    def cab(self, oval, needles):
        return CabFolder({"Cab.ini": OVAL if oval else ROUND, "Cab.csv": TABLE,
                          "panel2.cfg": panel_text(needles)})

    @staticmethod
    def needles(needle, oval):
        return [needle.section(30 + k) for k in range(DIVISION)] if oval else [needle.section(20)]

    @staticmethod
    def marks(needle, oval, angles=ANGLES, values=VALUES):
        args = []
        for i, (value, angle) in enumerate(zip(values, angles)):
            x, y = needle.point(written(angle, oval), 150.0 + 10 * i)  # any length will do
            args += ["--mark", "%g@%.6f,%.6f" % (value, x, y)]
        return args

    @staticmethod
    def rows(out):
        return [tuple(map(float, line.split(","))) for line in out.splitlines()
                if line and not line.startswith(";") and "=" not in line]

    def test_the_marks_give_the_table_they_were_drawn_from(self):
        for name, needle in MAPPINGS:
            for oval in (False, True):
                with self.subTest(mapping=name, oval=oval), \
                        self.cab(oval, self.needles(needle, oval)) as cab:
                    result = cab.run("calibrate", "Cab.dll", "--gauge", "0",
                                     *self.marks(needle, oval))
                    self.assertEqual(result.returncode, 0, result.stderr_text)
                    rows = self.rows(result.stdout_text)
                    self.assertEqual([v for v, _ in rows], VALUES)
                    for (_, got), want in zip(rows, ANGLES):
                        self.assertAlmostEqual(got, want, delta=0.01)
                    self.assertRegex(result.stderr_text, r"(?m)^panel: .*panel2\.cfg")
                    self.assertRegex(result.stdout_text,
                                     r"the needle at \S*panel2\.cfg:%d \(Location %g, %g;" %
                                     ((section_line(panel_text(self.needles(needle, oval)), 0),) +
                                      needle.location))

    def test_the_written_table_draws_the_needle_through_each_mark(self):
        """The whole chain from the other end: the table saved, run through the plug-in, and the
        entry it writes turned by the needle's mapping lands on the mark."""
        scenario = "time,speed\n" + "".join(
            "%d,%g\n%d,%g\n" % (3000 * i, v, 3000 * i + 2999, v) for i, v in enumerate(VALUES))
        for name, needle in (MAPPINGS[1], MAPPINGS[3], MAPPINGS[2]):
            for oval in (False, True):
                with self.subTest(mapping=name, oval=oval), \
                        self.cab(oval, self.needles(needle, oval)) as cab:
                    result = cab.run("calibrate", "Cab.dll", "--gauge", "0", "--replace",
                                     "--write", *self.marks(needle, oval))
                    self.assertEqual(result.returncode, 0, result.stderr_text)
                    with open(cab.file("run.csv"), "w") as f:
                        f.write(scenario)
                    result = cab.run("run", "Cab.dll", "--scenario", "run.csv", "--fps", "30",
                                     "--detail")
                    self.assertEqual(result.returncode, 0, result.stderr_text)
                    rows, _ = trace_rows(result.stdout_text)
                    by_time = {int(r["time"]): r for r in rows}
                    for i, (value, angle) in enumerate(zip(VALUES, ANGLES)):
                        row = by_time[max(t for t in by_time if t <= 3000 * i + 2999)]
                        entry = int(row["g0_entry"]) if oval else 20
                        drawn = needle.screen_degrees(int(row["panel%d" % entry]))
                        x, y = needle.point(written(angle, oval), 100.0)
                        want = math.degrees(math.atan2(x - needle.location[0],
                                                       needle.location[1] - y))
                        # The plug-in writes whole thousandths of a degree.
                        self.assertLess(turn_gap(drawn, want), 0.01, "value %g" % value)

    def test_an_oval_rim_is_fitted_on_the_same_picture(self):
        needle = MAPPINGS[3][1]
        b = 1.0 - FLATTENING
        rim = []
        for k in range(8):
            t = math.radians(k * 45.0 + 10.0)
            # The rim point of parameter t: at panel angle atan2(b sin t, cos t) + RotateAngle
            # and distance 180 * hypot(cos t, b sin t) from the hub.
            drawn = math.degrees(math.atan2(b * math.sin(t), math.cos(t))) + ROTATE
            x, y = needle.point(drawn * 1000.0, 180.0 * math.hypot(math.cos(t), b * math.sin(t)))
            rim += ["--rim", "%.6f,%.6f" % (x, y)]
        # The cab starts round: the fit gives its oval, and the marks are read through it.
        with CabFolder({"Cab.ini": OVAL.replace("Flattening = 0.5", "Flattening = 0"),
                        "Cab.csv": TABLE,
                        "panel2.cfg": panel_text(self.needles(needle, True))}) as cab:
            result = cab.run("calibrate", "Cab.dll", "--gauge", "0", *self.marks(needle, True),
                             *rim)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            settings = dict(re.findall(r"^(Flattening|RotateAngle) = (\S+)$", result.stdout_text,
                                       re.M))
            self.assertAlmostEqual(float(settings["Flattening"]), FLATTENING, delta=1e-4)
            self.assertLess(turn_gap(float(settings["RotateAngle"]) * 2, ROTATE * 2) / 2, 0.001)
            for (_, got), want in zip(self.rows(result.stdout_text), ANGLES):
                self.assertAlmostEqual(got, want, delta=0.01)

    def test_hub_and_angles_are_taken_only_when_they_agree(self):
        needle = MAPPINGS[0][1]  # value 0 points up, growing clockwise: --angles up-cw
        hub = "%g,%g" % needle.location
        cases = [
            (["--hub", hub], 0, None),
            (["--angles", "UP-cw"], 0, None),
            (["--hub", hub, "--angles", "up-cw"], 0, None),
            (["--hub", "400,300"], 2, r"--hub: error: '400,300': the gauge turns about the needle "
                                      r"at \S*panel2\.cfg:\d+ \(Location 412, 530; .*--no-panel"),
            (["--angles", "down-cw"], 2, r"--angles: error: 'down-cw': the gauge is drawn by the "
                                         r"needle at .*angle 0 at 0 degrees clockwise from up, "
                                         r"growing clockwise"),
        ]
        for extra, status, refusal in cases:
            with self.subTest(extra=extra), self.cab(False, self.needles(needle, False)) as cab:
                result = cab.run("calibrate", "Cab.dll", "--gauge", "0", *extra,
                                 *self.marks(needle, False))
                self.assertEqual(result.returncode, status, result.stderr_text)
                if refusal:
                    self.assertRegex(result.stderr_text, refusal)
                    self.assertIn("[calibrate-option]", result.stderr_text)
                    self.assertEqual(result.stdout_text, "")
                else:
                    for (_, got), want in zip(self.rows(result.stdout_text), ANGLES):
                        self.assertAlmostEqual(got, want, delta=0.01)

    def test_without_the_panel_the_hub_is_needed_and_the_picture_is_another(self):
        needle = MAPPINGS[0][1]
        with self.cab(False, self.needles(needle, False)) as cab:
            result = cab.run("calibrate", "Cab.dll", "--gauge", "0", "--no-panel",
                             *self.marks(needle, False))
            self.assertEqual(result.returncode, 2)
            self.assertIn("--hub: error: where the needle turns is not known", result.stderr_text)
            self.assertRegex(result.stderr_text, r"(?m)^panel: none \(--no-panel\)")
            # The same picture, its hub and convention given: the same rows.
            result = cab.run("calibrate", "Cab.dll", "--gauge", "0", "--no-panel", "--hub",
                             "%g,%g" % needle.location, *self.marks(needle, False))
            self.assertEqual(result.returncode, 0, result.stderr_text)
            for (_, got), want in zip(self.rows(result.stdout_text), ANGLES):
                self.assertAlmostEqual(got, want, delta=0.01)
            # A panel elsewhere, named.
            os.mkdir(cab.file("elsewhere"))
            os.rename(cab.file("panel2.cfg"), cab.file("elsewhere/cab.cfg"))
            result = cab.run("calibrate", "Cab.dll", "--gauge", "0", "--panel",
                             "elsewhere/cab.cfg", *self.marks(needle, False))
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertIn("elsewhere/cab.cfg", result.stderr_text.replace("\\", "/"))

    def test_a_needle_that_cannot_give_the_convention_is_refused_at_its_line(self):
        good = MAPPINGS[0][1]
        moved = HostNeedle(0, 360000, 0, 360, (413.0, 530.0))
        turned = HostNeedle(0, 360000, 90, 450)
        # (case, oval, needles, which needle and key the refusal stands on, its words)
        cases = [
            ("the host's default scale", False, [HostNeedle(0, 1000, -120, 120).section(20)],
             (0, None), "the needle on ats20 turns 240 degrees per 1000 units"),
            ("a thousand times too far", False, [HostNeedle(0, 360, 0, 360).section(20)],
             (0, None), "the needle on ats20 turns 1000 degrees per 1000 units (InitialAngle 0 "
                        "to LastAngle 360 over Minimum 0 to Maximum 360)"),
            ("a Function", False, [good.section(20, "Function = 2 ats20 *\n")],
             (0, "Function"), "the needle on ats20 is drawn by a Function, which the tool does "
                              "not evaluate"),
            ("no needle on the entry", False, [good.section(21)], None,
             "gauge 0 writes ats20, and no [Needle] of the panel reads it"),
            ("no needle on any division", True, [good.section(20)], None,
             "gauge 0 writes ats30, ats31, ats32, ats33, ats34, ats35, ats36 and ats37, and no "
             "[Needle] of the panel reads any of them"),
            ("images about two hubs", True,
             [good.section(30), moved.section(31)] + [good.section(32 + k) for k in range(6)],
             (1, "Location"), "the needle on ats31 turns about 413, 530, the one on ats30"),
            ("images turned apart", True,
             [good.section(30)] + [turned.section(31 + k) for k in range(7)],
             (1, None), "the needle on ats31 has angle 0 at 90 degrees clockwise from up"),
        ]
        for name, oval, needles, spot, words in cases:
            with self.subTest(case=name), self.cab(oval, needles) as cab:
                result = cab.run("calibrate", "Cab.dll", "--gauge", "0",
                                 *self.marks(good, oval))
                self.assertEqual(result.returncode, 2, result.stdout_text)
                self.assertEqual(result.stdout_text, "")
                text = panel_text(needles)
                if spot is None:
                    where = r"panel2\.cfg: error: "
                else:
                    n, key = spot
                    line = key_line(text, n, key) if key else section_line(text, n)
                    where = r"panel2\.cfg:%d:(\d+:)? error: " % line
                self.assertRegex(result.stderr_text, where + re.escape(words))
                self.assertIn("[calibrate-panel-needle]", result.stderr_text)
                self.assertIn("--no-panel", result.stderr_text)


if __name__ == "__main__":
    fixtures.read_command_line()
    fixtures.run_tests()
