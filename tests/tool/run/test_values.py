"""End-to-end tests of the values mirevane run writes: traces against values worked out by
hand, and the oval dial's formulas of docs/configuration.md against the plug-in."""
import math
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import (
    CabFolder, GOOD_INI, GOOD_TABLE, OVAL_INI, SPEEDOMETER, trace_rows, with_oval)


class RunValues(unittest.TestCase):
    """Traces compared with values worked out by hand from the host record (floats), the
    table, the +180 and the truncation to thousandths of a degree."""

    def run_scenario(self, files, scenario, *extra):
        files = dict(files)
        files["scenario.csv"] = scenario
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", *extra)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            return trace_rows(result.stdout_text)

    def test_speed_through_the_table(self):
        # 50 km/h -> 135 + 180 = 315 degrees; 150 follows the last segment: 405 + 180.
        rows, header = self.run_scenario(SPEEDOMETER, "time,speed\n0,0\n20,50\n40,-100\n60,150\n")
        self.assertEqual(header, ["time", "panel20", "clipboard"])
        self.assertEqual([r["panel20"] for r in rows], ["180000", "315000", "450000", "585000"])
        self.assertEqual([r["time"] for r in rows], ["0", "20", "40", "60"])

    def test_negative_angles_are_truncated_toward_zero(self):
        # current 0.0001 is the float 9.99999974737875e-05; the table 0 -> -300, 100 -> 0
        # gives 3 (x - 100) = -299.9997000000076, -119.9997000000076 degrees on the panel:
        # -119999 (rounding down would give -120000).
        files = {"Cab.ini": "[SubjectKey]\nSubject = am\n[PanelIndex]\nNeedle = 7\n",
                 "Cab.csv": "0,-300\n100,0\n"}
        rows, _ = self.run_scenario(files, "time,current\n0,0.0001\n10,-50\n")
        self.assertEqual([r["panel7"] for r in rows], ["-119999", "-270000"])

    def test_host_panel_and_sound_entries_feed_subjects(self):
        files = {"Cab.ini": "[SubjectKey]\nSubject = panel60\n[PanelIndex]\nNeedle = 20\n"
                            "[FileName]\nGauge0 = second\n",
                 "Cab.csv": GOOD_TABLE,
                 "second.ini": "[SubjectKey]\nSubject = sound3\n[PanelIndex]\nNeedle = 21\n",
                 "second.csv": "0,0\n10,10\n"}
        # An empty cell repeats the row before; sound3 = 7 gives 7 + 180.
        rows, header = self.run_scenario(files, "time,panel60,sound3\n0,100,7\n10,,\n20,0,-7\n")
        self.assertEqual(header, ["time", "panel20", "panel21", "clipboard"])
        self.assertEqual([(r["panel20"], r["panel21"]) for r in rows],
                         [("450000", "187000"), ("450000", "187000"), ("180000", "173000")])

    def test_vibration_follows_the_distance_at_the_previous_frame_speed(self):
        # Period 3.6 s at 10 km/h = one cycle per 10 m. Without a location column the train
        # moves at the previous frame's speed: 0, 36 km/h x 0.25 s = 2.5 m, then + 72 km/h
        # x 0.25 s = 7.5 m: phases 0, 90 and 270 degrees on bc = 50 with amplitude 1.
        files = {"Cab.ini": "[SubjectKey]\nSubject = bc\n[PanelIndex]\nNeedle = 20\n"
                            "[Vibration]\nPeriod = 3.6\nAmplitude = 1\n",
                 "Cab.csv": "0,0\n100,100\n"}
        rows, _ = self.run_scenario(files, "time,speed,bc\n0,36,50\n250,72,\n500,0,\n",
                                    "--detail")
        self.assertEqual([r["panel20"] for r in rows], ["230000", "231000", "229000"])
        # sin at a product of doubles: a few units in the last place.
        for row, expected in zip(rows, [50.0, 51.0, 49.0]):
            self.assertAlmostEqual(float(row["g0_vibrated"]), expected, delta=1e-12)
            self.assertEqual(float(row["g0_value"]), 50.0)

    def test_a_location_column_is_used_as_it_stands(self):
        files = {"Cab.ini": "[SubjectKey]\nSubject = bc\n[PanelIndex]\nNeedle = 20\n"
                            "[Vibration]\nPeriod = 3.6\nAmplitude = 1\n",
                 "Cab.csv": "0,0\n100,100\n"}
        rows, _ = self.run_scenario(files, "time,location,bc\n0,7.5,50\n250,,\n")
        self.assertEqual([r["panel20"] for r in rows], ["229000", "229000"])

    def test_developer_keys_and_the_copy(self):
        files = {"Cab.ini": GOOD_INI + "[DeveloperMode]\nEnabled = 1\n", "Cab.csv": GOOD_TABLE}
        scenario = ("time,speed,keys\n"
                    "0,50,\n"          # live: 135 + 180
                    "100,,D\n"         # Angle mode, fixed angle 0
                    "200,,A1 A1 A1\n"  # 0.1 + 0.1 + 0.1 = 0.30000000000000004
                    "300,,S\n"         # copies "0.3"
                    "400,,\n"          # an empty keys cell presses nothing
                    "500,,7\n"         # key number 7 is D: Value mode, fixed value 0
                    "600,,B1\n"        # value 10 -> 27 degrees
                    "700,,S\n"         # no copy outside Angle mode
                    "800,,D\n"         # Rotate: 1 degree per frame
                    "900,,\n"
                    "1000,,d\n")       # key names in any case: back to the live value
        rows, _ = self.run_scenario(files, scenario, "--detail")
        self.assertEqual([r["panel20"] for r in rows],
                         ["315000", "180000", "180300", "180300", "180300", "180000", "207000",
                          "207000", "181000", "182000", "315000"])
        self.assertEqual([r["clipboard"] for r in rows],
                         ["", "", "", "0.3", "", "", "", "", "", "", ""])
        self.assertEqual(rows[2]["g0_angle"], "180.30000000000001")

    def test_an_elliptic_gauge_draws_on_the_image_that_fits(self):
        # Flattening 0.5, four divisions: bounds 19.832, 49.528, 74.696 and 180 degrees on
        # Ellipse0..3 = 30..33. Angle 225 is drawn at 206.565 on 31, 180 at 540 on 30, 270
        # at 270 on 33, 300 (folded 60) at 319.107 on 32; the image left is parked at 180.
        files = {"Cab.ini": "[SubjectKey]\nSubject = kmph\n[Ellipse]\nDivision = 4\n"
                            "Flattening = 0.5\n[PanelIndex]\nEllipse0 = 30\nEllipse1 = 31\n"
                            "Ellipse2 = 32\nEllipse3 = 33\n",
                 "Cab.csv": "0,0\n100,100\n"}
        # The host writes entry 30 before every frame: 0 (an empty first cell), later 7. The
        # gauge's parking and drawing overwrite it only where the gauge writes in that frame.
        scenario = ("time,speed,initialize,panel30\n"
                    "0,45,1,\n100,0,,\n200,90,,\n300,120,,\n"
                    "400,,,7\n"
                    "500,,1,\n")    # Initialize parks every image again
        rows, header = self.run_scenario(files, scenario, "--detail")
        self.assertEqual(header[:6], ["time", "panel30", "panel31", "panel32", "panel33",
                                      "clipboard"])
        table = [[r["panel30"], r["panel31"], r["panel32"], r["panel33"]] for r in rows]
        self.assertEqual(table, [
            ["180000", "206565", "180000", "180000"],
            ["540000", "180000", "180000", "180000"],
            ["180000", "180000", "180000", "270000"],
            ["0", "180000", "319106", "180000"],
            ["7", "180000", "319106", "180000"],
            ["180000", "180000", "319106", "180000"],
        ])
        self.assertEqual([r["g0_entry"] for r in rows], ["31", "30", "33", "32", "32", "32"])
        # Without damping the damped angle is the scale's angle itself.
        self.assertEqual([r["g0_damped"] for r in rows], [r["g0_angle"] for r in rows])

    def test_a_damped_needle_starts_at_rest(self):
        # The damping holds 0 rad until its first re-sampling: drawn at 360 degrees on the
        # division that covers folded angle 0, Ellipse0.
        files = {"Cab.ini": "[SubjectKey]\nSubject = kmph\n[Ellipse]\nDivision = 2\n"
                            "Flattening = 0.5\n[PanelIndex]\nEllipse0 = 30\nEllipse1 = 31\n"
                            "[Damping]\nNaturalFreq = 4\nDampingRatio = 1\n",
                 "Cab.csv": "0,0\n100,100\n"}
        rows, _ = self.run_scenario(files, "time,speed\n0,45\n", "--detail")
        self.assertEqual((rows[0]["panel30"], rows[0]["g0_damped"], rows[0]["g0_entry"]),
                         ("360000", "0", "30"))

    def test_the_oval_warnings_say_what_the_plug_in_does(self):
        # Constant input for 20 s at 30 frames per second, the scale angle 45 + 180 degrees:
        # each warning's claim seen in the damped angle (degrees), against a well damped needle.
        scenario = "time,bc\n0,45\n20000,45\n"
        late = slice(-4 * 30, None)  # the last four seconds
        for name, damping, holds in [
            ("ratio 0 swings for ever", "NaturalFreq = 4\n", self.assertStillSwings),
            ("a negative ratio swings for ever", "NaturalFreq = 4\nDampingRatio = -0.5\n",
             self.assertStillSwings),
            ("a well damped needle settles", "NaturalFreq = 4\nDampingRatio = 0.7\n",
             # Settled to rounding, long before 16 s.
             lambda damped: self.assertLess(max(abs(d - 225.0) for d in damped), 1e-6)),
        ]:
            with self.subTest(name):
                files = with_oval("[Damping]\n" + damping)
                files["Cab.csv"] = "0,0\n100,100\n"
                rows, _ = self.run_scenario(files, scenario, "--fps", "30", "--detail")
                holds([float(r["g0_damped"]) for r in rows[late]])
        # A negative natural frequency switches the damping off: the damped angle is the scale's.
        files = with_oval("[Damping]\nNaturalFreq = -4\nDampingRatio = 0.7\n")
        files["Cab.csv"] = "0,0\n100,100\n"
        rows, _ = self.run_scenario(files, "time,bc\n0,45\n100,10\n200,80\n", "--detail")
        self.assertEqual([r["g0_damped"] for r in rows], ["225", "190", "260"])
        # Flattening 1.5 counts as 1: the needle points only along the long axis (rotate angle
        # 30), one way or the other, whatever the angle.
        ini = OVAL_INI.replace("Flattening = 0.5", "Flattening = 1.5\nRotateAngle = 30")
        rows, _ = self.run_scenario({"Cab.ini": ini, "Cab.csv": "0,0\n360,360\n"},
                                    "time,bc\n" + "".join(
                                        "{},{}\n".format(i * 10, i * 23) for i in range(16)),
                                    "--detail")
        for row in rows:
            self.assertIn(row["panel" + row["g0_entry"]], ("210000", "390000", "570000"), row)

    def assertStillSwings(self, damped):
        # Undamped, the needle keeps crossing its value by a wide margin on both sides.
        self.assertGreater(max(damped) - 225.0, 100.0)
        self.assertGreater(225.0 - min(damped), 100.0)

    def test_detail_does_not_change_the_panel_entries(self):
        scenario = os.path.join(EXAMPLES, "scenarios", "run.csv")
        plain = TOOL.run(["run", os.path.join("cab", "Mirevane.dll"), "--scenario",
                          os.path.join("scenarios", "run.csv"), "--fps", "10"], cwd=EXAMPLES)
        detail = TOOL.run(["run", os.path.join("cab", "Mirevane.dll"), "--scenario",
                           os.path.join("scenarios", "run.csv"), "--fps", "10", "--detail"],
                          cwd=EXAMPLES)
        self.assertTrue(os.path.exists(scenario))
        plain_rows, plain_header = trace_rows(plain.stdout_text)
        detail_rows, _ = trace_rows(detail.stdout_text)
        self.assertGreater(len(plain_rows), 1000)
        self.assertEqual([[r[c] for c in plain_header] for r in detail_rows],
                         [[r[c] for c in plain_header] for r in plain_rows])


class OvalMapping(unittest.TestCase):
    """The formulas of docs/configuration.md ("How an elliptic gauge draws its needle"),
    worked out here from the text alone, against what the plug-in writes: the drawn angle,
    the image chosen, and every other image parked at StandbyAngle."""

    # Flattening, RotateAngle, Division, StandbyAngle, table angles (one frame each). The
    # table "0,-180 / 360,180" makes speed v the table angle v - 180.
    CASES = [
        (0.5, 30.0, 4, 180.0, [270.0, 0.0, -100.0, 45.0, 160.0]),  # the page's example first
        (0.5, 0.0, 4, 90.0, [0.0, 45.0, 90.0, 120.0, -60.0]),
        (0.3, -50.0, 6, 0.0, [-170.0, -20.0, 33.0, 100.0, 175.0]),
        (0.8, 200.0, 3, 270.0, [-135.0, -10.0, 70.0, 150.0]),
        (0.0, 15.0, 3, 180.0, [-90.0, 10.0, 100.0]),  # round: the last image, at a itself
    ]

    @staticmethod
    def documented(flattening, rotate, division, table_angle):
        """(drawn angle, image k) as the page states them."""
        b = 1.0 - flattening
        a = table_angle + 180.0
        t = math.radians(a - rotate)
        drawn = rotate + 360.0 + math.degrees(math.atan2(b * math.sin(t), math.cos(t)))
        n = division
        if flattening == 0.0:
            return drawn, n - 1
        r = [b + (1.0 - b) * (n - 1 - k) / (n - 1) for k in range(n)]
        theta = [math.degrees(math.acos(math.sqrt((rk * rk - b * b) / (1.0 - b * b))))
                 for rk in r]
        e = abs(a - rotate) % 180.0
        e = 180.0 - e if e > 90.0 else e
        # Nearest theta, the longer image at a tie: min keeps the first of equals.
        return drawn, min(range(n), key=lambda k: abs(theta[k] - e))

    def test_the_pages_worked_example_is_what_its_formulas_give(self):
        page = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                            "docs", "configuration.md")
        with open(page, encoding="utf-8") as f:
            text = f.read()
        settings = re.search(r"with `Flattening = (\S+)`, `RotateAngle = (\S+)` and "
                             r"`Division = (\d+)`", text)
        example = re.search(r"A table angle of (\S+) is panel angle \S+, t = \S+, folded \S+ "
                            r"degrees: the plug-in writes (\d+) \(drawn \S+\) into "
                            r"`Ellipse(\d+)`", text)
        self.assertIsNotNone(settings, "the page gives no worked example of an oval dial")
        self.assertIsNotNone(example)
        drawn, image = self.documented(float(settings[1]), float(settings[2]), int(settings[3]),
                                       float(example[1]))
        self.assertEqual((math.trunc(drawn * 1000), image), (int(example[2]), int(example[3])))

    def test_each_table_angle_is_drawn_as_the_page_says(self):
        for flattening, rotate, division, standby, angles in self.CASES:
            entries = ["Ellipse{} = {}".format(k, 30 + k) for k in range(division)]
            ini = ("[SubjectKey]\nSubject = kmph\n[Ellipse]\nDivision = {}\nFlattening = {}\n"
                   "RotateAngle = {}\nStandbyAngle = {}\n[PanelIndex]\n{}\n").format(
                       division, flattening, rotate, standby, "\n".join(entries))
            scenario = "time,speed\n" + "".join(
                "{},{}\n".format(i * 10, angle + 180.0) for i, angle in enumerate(angles))
            files = {"Cab.ini": ini, "Cab.csv": "0,-180\n360,180\n", "scenario.csv": scenario}
            with self.subTest(flattening=flattening, rotate=rotate), CabFolder(files) as cab:
                result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv")
                self.assertEqual(result.returncode, 0, result.stderr_text)
                rows, _ = trace_rows(result.stdout_text)
                for angle, row in zip(angles, rows):
                    drawn, image = self.documented(flattening, rotate, division, angle)
                    for k in range(division):
                        column = "panel{}".format(30 + k)
                        if flattening == 0.0 and k != image:
                            self.assertNotIn(column, row)  # a round dial writes no other
                            continue
                        value = int(row[column])
                        if k != image:
                            self.assertEqual(value, int(standby * 1000), (angle, k))
                            continue
                        # The page's sum and the plug-in's differ in rounding order: a few
                        # units in the last place, which truncation can turn into one unit.
                        self.assertLessEqual(abs(value - math.trunc(drawn * 1000)), 1, angle)


if __name__ == "__main__":
    TOOL, EXAMPLES = fixtures.read_command_line()
    fixtures.run_tests()
