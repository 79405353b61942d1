"""End-to-end tests of mirevane calibrate on synthetic dials drawn by the tests."""
import math
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import CONVENTIONS, CabFolder, SyntheticDial, trace_rows, turn_gap


class Calibrate(unittest.TestCase):
    """calibrate on synthetic dials: known table angles back from the marks, the oval's
    settings from noisy rim points, and the saved cab run through the plug-in drawing each
    needle at its mark, under every angle convention."""

    VALUES = [0, 50, 100, 150, 200]
    ANGLES = [10.0, 80.5, 151.0, 215.25, 280.0]  # the table the picture was drawn from
    OVAL = "[Ellipse]\nDivision = 8\nFlattening = 0.5\nRotateAngle = 30\n[PanelIndex]\n" + \
        "".join("Ellipse%d = %d\n" % (k, 30 + k) for k in range(8)) + \
        "[Damping]\nNaturalFreq = 8\nDampingRatio = 0.7\n"
    ROUND = "[PanelIndex]\nNeedle = 20\n"

    def cab(self, oval):
        return CabFolder({"Cab.ini": "[SubjectKey]\nSubject = kmph\n" + (self.OVAL if oval else self.ROUND),
                          "Cab.csv": "; km/h, degrees\r\n0,0\r\n200,300\r\n"})

    def calibrate(self, cab, dial, *extra):
        args = ["calibrate", "Cab.dll", "--gauge", "0", "--hub", "%.3f,%.3f" % dial.hub,
                "--angles", "%s" % self.convention_name(dial)]
        for value, angle in zip(self.VALUES, self.ANGLES):
            args += ["--mark", "%g@%.4f,%.4f" % ((value,) + dial.mark(angle))]
        result = cab.run(*(args + list(extra)))
        self.assertEqual(result.returncode, 0, result.stderr_text)
        return result

    @staticmethod
    def convention_name(dial):
        zero = [k for k, v in CONVENTIONS.items() if v == dial.zero][0]
        return zero + ("-cw" if dial.sense > 0 else "-ccw")

    def test_marks_give_the_table_they_were_drawn_from(self):
        for convention in ["up-cw", "right-ccw"]:
            for oval in (False, True):
                with self.subTest(convention=convention, oval=oval), self.cab(oval) as cab:
                    dial = SyntheticDial(convention, 0.5 if oval else 0.0, 30.0 if oval else 0.0)
                    out = self.calibrate(cab, dial).stdout_text
                    rows = [line.split(",") for line in out.splitlines() if not line.startswith(";")]
                    self.assertEqual([float(v) for v, _ in rows], self.VALUES)
                    for (_, got), want in zip(rows, self.ANGLES):
                        self.assertAlmostEqual(float(got), want, delta=0.05)  # the bound

    def test_the_rim_gives_flattening_and_rotate_angle(self):
        import random
        noise = random.Random(7)
        for convention in ["up-cw", "left-ccw", "down-cw"]:
            with self.subTest(convention=convention), self.cab(True) as cab:
                dial = SyntheticDial(convention, 0.5, 30.0)
                rim = []
                for k in range(8):
                    x, y = dial.rim(k * 45.0 + 10.0)
                    rim += ["--rim", "%.3f,%.3f" % (x + noise.uniform(-1, 1), y + noise.uniform(-1, 1))]
                out = self.calibrate(cab, dial, *rim).stdout_text
                settings = dict(re.findall(r"^(Flattening|RotateAngle) = (\S+)$", out, re.M))
                self.assertAlmostEqual(float(settings["Flattening"]), 0.5, delta=0.01)
                self.assertLess(turn_gap(float(settings["RotateAngle"]) * 2, 60.0) / 2, 0.5)
                self.assertRegex(out, r"from 8 rim points, [0-9.e-]+ px from the fitted ellipse")

    def test_the_saved_cab_draws_each_needle_at_its_mark(self):
        scenario = "time,speed\n" + "".join(
            "%d,%g\n%d,%g\n" % (3000 * i, v, 3000 * i + 2999, v) for i, v in enumerate(self.VALUES))
        for zero in CONVENTIONS:
            for sense in ("cw", "ccw"):
                for oval in (False, True):
                    convention = zero + "-" + sense
                    with self.subTest(convention=convention, oval=oval), self.cab(oval) as cab:
                        dial = SyntheticDial(convention, 0.5 if oval else 0.0, 30.0 if oval else 0.0)
                        out = self.calibrate(cab, dial, "--write").stdout_text
                        self.assertIn("wrote Cab.csv (the original is kept as Cab.csv.bak)", out.replace("./", ""))
                        with open(cab.file("run.csv"), "w") as f:
                            f.write(scenario)
                        result = cab.run("run", "Cab.dll", "--scenario", "run.csv", "--fps", "30",
                                         "--detail")
                        self.assertEqual(result.returncode, 0, result.stderr_text)
                        rows, _ = trace_rows(result.stdout_text)
                        by_time = {int(r["time"]): r for r in rows}
                        for i, (value, angle) in enumerate(zip(self.VALUES, self.ANGLES)):
                            row = by_time[max(t for t in by_time if t <= 3000 * i + 2999)]
                            entry = int(row["g0_entry"]) if oval else 20
                            panel = int(row["panel%d" % entry]) / 1000.0  # damping settled
                            mx, my = dial.mark(angle)
                            want = math.degrees(math.atan2(my - dial.hub[1], mx - dial.hub[0]))
                            self.assertLess(turn_gap(dial.direction_on_screen(panel), want), 0.1,
                                            "value %g" % value)

    def marks_args(self, dial, values, angles, radius=None):
        args = ["calibrate", "Cab.dll", "--gauge", "0", "--hub", "%.3f,%.3f" % dial.hub,
                "--angles", self.convention_name(dial)]
        for value, angle in zip(values, angles):
            x, y = dial.screen(dial.drawn(angle), radius or dial.radius * 0.9)
            args += ["--mark", "%g@%.4f,%.4f" % (value, x, y)]
        return args

    @staticmethod
    def printed_rows(out):
        return [tuple(map(float, line.split(","))) for line in out.splitlines()
                if line and not line.startswith(";")]

    # Dial cases: the table angles a picture was drawn from, on the cab's rising table.
    SENSE_CASES = [
        ("rising", [0, 50, 100, 150], [10, 80.5, 151, 215.25], "rise"),
        ("falling by 120", [0, 50, 100], [-60, -180, -300], "fall"),
        ("a 270-degree dial", [0, 40, 80, 120, 160, 200], [-135, -81, -27, 27, 81, 135], "rise"),
        ("one past the top", [0, 40, 80, 120], [250, 310, 370, 430], "rise"),
        ("falling past the top", [0, 40, 80, 120], [60, -10, -80, -150], "fall"),
    ]

    def test_the_sense_comes_from_the_marks_and_is_said(self):
        for zero in CONVENTIONS:
            for sense in ("cw", "ccw"):
                for oval in (False, True):
                    dial = SyntheticDial(zero + "-" + sense, 0.5 if oval else 0.0, 30.0 if oval else 0.0)
                    for name, values, angles, way in self.SENSE_CASES:
                        with self.subTest(convention=zero + "-" + sense, oval=oval, case=name), \
                                self.cab(oval) as cab:
                            result = cab.run(*self.marks_args(dial, values, angles))
                            self.assertEqual(result.returncode, 0, result.stderr_text)
                            rows = self.printed_rows(result.stdout_text)
                            self.assertEqual([v for v, _ in rows], values)
                            # The first mark up to whole turns (the one nearest the present
                            # table); every later one a step on from it, as drawn.
                            turn = rows[0][1] - angles[0]
                            self.assertAlmostEqual(turn, 360 * round(turn / 360), delta=0.01)
                            for (_, got), want in zip(rows, angles):
                                self.assertAlmostEqual(got - turn, want, delta=0.01)  # to 4 decimals of a pixel
                            self.assertIn("; the angles %s" % way, result.stdout_text)

    def test_neighbours_half_a_turn_apart_are_refused_until_the_sweep_is_given(self):
        dial = SyntheticDial("up-cw")
        with self.cab(False) as cab:
            for values, angles in (([0, 100], [0, 180]), ([0, 50, 100], [0, 200, 250]),
                                   ([0, 100], [30, 30])):
                with self.subTest(angles=angles):
                    result = cab.run(*self.marks_args(dial, values, angles))
                    self.assertEqual(result.returncode, 2, result.stdout_text)
                    self.assertIn("[calibrate-ambiguous]", result.stderr_text)
                    self.assertIn("add a mark between them", result.stderr_text)
                    self.assertEqual(result.stdout_text, "")
            # Given the sweep (250 degrees, 0.694 of a turn), the long step is taken as drawn.
            result = cab.run(*self.marks_args(dial, [0, 50, 100], [0, 200, 250]), "--turns", "0.694")
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertEqual([round(a, 2) for _, a in self.printed_rows(result.stdout_text)], [0, 200, 250])
            self.assertIn("(the sweep given in turns)", result.stdout_text)
            # A sweep the marks cannot show is refused too.
            result = cab.run(*self.marks_args(dial, [0, 50, 100], [0, 200, 250]), "--turns", "2")
            self.assertEqual(result.returncode, 2)
            self.assertIn("--turns: error:", result.stderr_text)

    def test_what_cannot_be_a_mark_is_refused(self):
        dial = SyntheticDial("up-cw")
        hub = "--hub", "400,300"
        rim = [a for k in range(5) for a in ("--rim", "%g,%g" % dial.rim(k * 72.0))]
        cases = [
            ("a mark on the hub", ["--mark", "0@400,120", "--mark", "50@401,301"], "calibrate-mark", "from the hub"),
            ("a value twice", ["--mark", "0@400,120", "--mark", "50@580,300", "--mark", "50@400,480"],
             "calibrate-mark", "two marks of 50"),
            ("a rim on a plain needle", ["--mark", "0@400,120"] + rim, "calibrate-option", "plain needle"),
        ]
        with self.cab(False) as cab:
            for name, args, code, words in cases:
                with self.subTest(name):
                    result = cab.run("calibrate", "Cab.dll", "--gauge", "0", *hub, *args, "--write")
                    self.assertEqual(result.returncode, 2, result.stdout_text)
                    self.assertIn("[%s]" % code, result.stderr_text)
                    self.assertIn(words, result.stderr_text)
                    self.assertEqual(result.stdout_text, "")
                    self.assertFalse(os.path.exists(cab.file("Cab.csv.bak")))  # nothing written

    def test_pictures_too_coarse_are_warned_of(self):
        with self.cab(True) as cab:
            small = SyntheticDial("up-cw", 0.5, 30.0, radius=30.0)
            result = cab.run(*self.marks_args(small, [0, 50], [10, 80]))
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertIn("warning: the dial is 27 px in radius", result.stderr_text)
            self.assertIn("[calibrate-small-dial]", result.stderr_text)
            dial = SyntheticDial("up-cw", 0.5, 30.0)
            quarter = [a for k in range(6) for a in ("--rim", "%.3f,%.3f" % dial.rim(k * 20.0))]
            result = cab.run(*self.marks_args(dial, [0, 50], [10, 80]), *quarter)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertIn("[calibrate-rim-cover]", result.stderr_text)
            around = [a for k in range(6) for a in ("--rim", "%.3f,%.3f" % dial.rim(k * 60.0))]
            result = cab.run(*self.marks_args(dial, [0, 50], [10, 80]), *around)
            said = result.stderr_text.splitlines()
            self.assertEqual(len(said), 1, result.stderr_text)  # which panel, and no warning
            self.assertTrue(said[0].startswith("panel: none found"), said)

    def test_kept_rows_are_named_and_replace_drops_them(self):
        dial = SyntheticDial("up-cw")
        table = "0,0\r\n50,300\r\n100,100\r\n200,300\r\n"
        for replace in (False, True):
            with self.subTest(replace=replace), \
                    CabFolder({"Cab.ini": "[SubjectKey]\nSubject = kmph\n" + self.ROUND, "Cab.csv": table}) as cab:
                args = self.marks_args(dial, [0, 100, 200], [10, 150, 290]) + ["--write"]
                result = cab.run(*(args + (["--replace"] if replace else [])))
                self.assertEqual(result.returncode, 0, result.stderr_text)
                with open(cab.file("Cab.csv")) as f:
                    written = [line for line in f.read().splitlines() if line]
                if replace:
                    self.assertEqual(written, ["0,10", "100,150", "200,290"])
                    self.assertNotIn("calibrate-kept-rows", result.stderr_text)
                else:
                    self.assertEqual(written, ["0,10", "50,300", "100,150", "200,290"])
                    self.assertIn("--mark: warning: 1 row of the present table stays, not from the "
                                  "picture (50,300)", result.stderr_text)

    def test_unreadable_options_exit_with_2(self):
        with self.cab(False) as cab:
            for args in (["--hub", "1"], ["--hub", "0,0", "--mark", "5@1"],
                         ["--hub", "0,0", "--mark", "x@1,2"], ["--hub", "0,0", "--angles", "up"],
                         ["--hub", "0,0", "--rim", "1,1", "--rim", "2,2"]):
                with self.subTest(args=args):
                    result = cab.run("calibrate", "Cab.dll", "--gauge", "0", *args)
                    self.assertEqual(result.returncode, 2)
                    self.assertIn("[calibrate-option]", result.stderr_text)
            result = cab.run("calibrate", "Cab.dll", "--gauge", "3", "--hub", "0,0")
            self.assertEqual(result.returncode, 2)
            self.assertIn("is no gauge of", result.stderr_text)


if __name__ == "__main__":
    fixtures.read_command_line()
    fixtures.run_tests()
