"""End-to-end tests of mirevane panel: the [Needle] sections for every entry the plug-in writes,
with and without the cab's panel file, read back as the host reads a panel file."""
import os
import re
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import CabFolder

PLAIN = "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nNeedle = 20\n"
OVAL = ("[SubjectKey]\nSubject = bc\n[PanelIndex]\n"
        + "".join("Ellipse%d = %d\n" % (k, 30 + k) for k in range(4))
        + "[Ellipse]\nDivision = 4\nFlattening = 0.4\nRotateAngle = 10\nStandbyAngle = 90\n"
        + "[Damping]\nNaturalFreq = 8\nDampingRatio = 0.5\n")
TABLE = "0,0\n100,270\n"


def sections(text):
    """The [Needle] sections of a panel text as the host reads them: comments cut, names in
    lower case, the first key of a name kept; with the comment lines just above each."""
    found = []
    comments = []
    for line in text.splitlines():
        stripped = line.strip()
        if stripped.startswith(";"):
            comments.append(stripped)
            continue
        body = stripped.split(";", 1)[0].strip()
        if body.lower() == "[needle]":
            found.append({"comments": comments})
            comments = []
        elif "=" in body and found:
            key, value = body.split("=", 1)
            found[-1].setdefault(key.strip().lower(), value.strip())
    return found


def screen_angle(section, value):
    """Where the host draws a value on this needle: degrees clockwise from up."""
    lo, hi = float(section["minimum"]), float(section["maximum"])
    a0, a1 = float(section["initialangle"]), float(section["lastangle"])
    return a0 + (value - lo) * (a1 - a0) / (hi - lo)


class PanelSections(unittest.TestCase):
    def run_panel(self, cab, *args):
        result = cab.run("panel", "Cab.dll", *args)
        self.assertEqual(result.returncode, 0, result.stderr_text)
        return result

    def test_without_a_panel_every_entry_gets_a_section_of_the_convention(self):
        # A table angle of 0 is written as 180000; the convention says where it points.
        cases = [("up-cw", 180.0), ("down-cw", 0.0), ("right-ccw", -90.0), ("left-cw", 90.0)]
        with CabFolder({"Cab.ini": PLAIN, "Cab.csv": TABLE}) as cab:
            for angles, down_of_zero in cases:
                with self.subTest(angles=angles):
                    result = self.run_panel(cab, "--no-panel", "--angles", angles)
                    self.assertIn("panel: none (--no-panel)", result.stderr_text)
                    found = sections(result.stdout_text)
                    self.assertEqual([s["subject"] for s in found], ["ats20"])
                    needle = found[0]
                    self.assertIn("placeholder", result.stdout_text)
                    # 1 degree per 1000 units, in the convention's sense.
                    self.assertAlmostEqual(abs(screen_angle(needle, 1000.0) - screen_angle(needle, 0.0)), 1.0)
                    drawn = screen_angle(needle, 180000.0)
                    self.assertAlmostEqual((drawn - down_of_zero + 180.0) % 360.0 - 180.0, 0.0, places=9)

    def test_an_elliptic_gauge_gets_one_section_per_image_sharing_its_hub(self):
        panel = ("[This]\n[Needle]\nSubject = ats31\nLocation = 300, 200\nDaytimeImage = n1.png\n"
                 "NaturalFreq = 5\nDampingRatio = 0.5\nMinimum = 0\nMaximum = 360000\n"
                 "InitialAngle = -180\nLastAngle = 180\n")
        with CabFolder({"Cab.ini": OVAL, "Cab.csv": TABLE, "panel2.cfg": panel}) as cab:
            result = self.run_panel(cab)
            self.assertIn("panel2.cfg", result.stderr_text)
            found = sections(result.stdout_text)
            self.assertEqual([s["subject"] for s in found], ["ats30", "ats31", "ats32", "ats33"])
            for section in found:
                self.assertEqual(section["location"].replace(" ", ""), "300,200")
                # The plug-in damps this needle: the host must not damp it again.
                self.assertNotIn("naturalfreq", section)
                self.assertNotIn("dampingratio", section)
            # The panel's own offset is kept where it turns 1 degree per 1000 units.
            self.assertEqual(float(found[1]["initialangle"]), -180.0)
            self.assertEqual(found[1]["daytimeimage"], "n1.png")
            # Parking: StandbyAngle 90 is written as 90000 (no 180 added).
            parked = [c for c in found[1]["comments"] + found[2]["comments"] if "parked" in c]
            self.assertTrue(parked, result.stdout_text)
            self.assertIn("90000", result.stdout_text)
            self.assertIn("from 190000 to 550000", result.stdout_text)

    def test_a_needle_that_turns_otherwise_gets_a_whole_turn_instead(self):
        panel = ("[Needle]\nSubject = ATS20\nLocation = 10, 20\nMaximum = 360\nLastAngle = 360\n"
                 "InitialAngle = 0\nLayer = 3\n")
        with CabFolder({"Cab.ini": PLAIN, "Cab.csv": TABLE, "panel2.cfg": panel}) as cab:
            result = self.run_panel(cab, "--angles", "up-cw")
            found = sections(result.stdout_text)
            self.assertEqual(len(found), 1)
            needle = found[0]
            self.assertEqual(float(needle["maximum"]), 360000.0)
            self.assertEqual(needle["layer"], "3")
            self.assertEqual(needle["location"].replace(" ", ""), "10,20")
            self.assertIn("replaces a mapping that turns 1000 degrees per table degree",
                          result.stdout_text)

    def test_the_example_cab_keeps_its_panel(self):
        examples = fixtures.EXAMPLES
        if not os.path.exists(os.path.join(examples, "cab", "panel2.cfg")):
            self.skipTest("the example cab has no panel file")
        result = fixtures.TOOL.run(["panel", "cab/Mirevane.dll"], cwd=examples)
        self.assertEqual(result.returncode, 0, result.stderr_text)
        with open(os.path.join(examples, "cab", "panel2.cfg"), "rb") as f:
            original = {s["subject"].lower(): s for s in sections(f.read().decode("utf-8", "replace"))}
        found = sections(result.stdout_text)
        subjects = [s["subject"] for s in found]
        self.assertEqual(subjects, ["ats20", "ats30", "ats31", "ats32", "ats33", "ats34", "ats35",
                                    "ats36", "ats37", "ats40", "ats41", "ats42", "ats43", "ats44",
                                    "ats45", "ats46", "ats47", "ats22", "ats23"])
        for section in found:
            mine = original[section["subject"]]
            for key in ("location", "daytimeimage", "origin"):
                if key in mine:
                    self.assertEqual(section[key], mine[key], (section["subject"], key))
            for value in (0.0, 123456.0, 540000.0):
                self.assertAlmostEqual(screen_angle(section, value), screen_angle(mine, value))

    def test_pasted_sections_mend_a_miswired_example(self):
        """The example's panel with a needle 1000 times too fast and one left out: pasted after
        [This], what panel prints leaves only the left-out needle's placeholder picture."""
        examples = fixtures.EXAMPLES
        if not os.path.exists(os.path.join(examples, "cab", "panel2.cfg")):
            self.skipTest("the example cab has no panel file")
        folder = tempfile.mkdtemp(prefix="mirevane-panel-")
        try:
            cab = os.path.join(folder, "cab")
            shutil.copytree(os.path.join(examples, "cab"), cab)
            with open(os.path.join(cab, "panel2.cfg"), encoding="utf-8") as f:
                text = f.read()
            this, needles = text.split("[Needle]", 1)
            broken = re.sub(r"(?m)^Maximum = 360000$", "Maximum = 360", "[Needle]" + needles, count=1)
            broken = broken.replace("Subject = ats23", "Subject = ats99")
            with open(os.path.join(cab, "panel2.cfg"), "w", encoding="utf-8") as f:
                f.write(this + broken)
            before = fixtures.TOOL.run(["check", "cab/Mirevane.dll"], cwd=folder)
            self.assertIn("[panel-needle-scale]", before.stdout_text + before.stderr_text)
            self.assertIn("[panel-entry-undrawn]", before.stdout_text + before.stderr_text)
            printed = fixtures.TOOL.run(["panel", "cab/Mirevane.dll"], cwd=folder)
            self.assertEqual(printed.returncode, 0, printed.stderr_text)
            with open(os.path.join(cab, "panel2.cfg"), "w", encoding="utf-8") as f:
                f.write(this + printed.stdout_text)
            after = fixtures.TOOL.run(["check", "cab/Mirevane.dll", "--strict"], cwd=folder)
            findings = re.findall(r"(?m)^cab/panel2\.cfg:\d+:\d+: .*\[([a-z-]+)\]$", after.stdout_text)
            self.assertEqual(findings, ["panel-image-missing"], after.stdout_text)
            self.assertIn("'needle.png'", after.stdout_text)
        finally:
            shutil.rmtree(folder, ignore_errors=True)

    def test_refusals(self):
        with CabFolder({"Cab.ini": PLAIN, "Cab.csv": TABLE}) as cab:
            result = cab.run("panel", "Cab.dll", "--angles", "sideways")
            self.assertEqual(result.returncode, 2)
            self.assertRegex(result.stderr_text, r"--angles: error: .*sideways.*\[page-option\]")
            result = cab.run("panel", "Cab.dll", "--panel", "nothing.cfg")
            self.assertEqual(result.returncode, 2)
            self.assertIn("nothing.cfg", result.stderr_text)
            result = cab.run("panel", "Cab.dll", "--panel", "x.cfg", "--no-panel")
            self.assertNotEqual(result.returncode, 0)


if __name__ == "__main__":
    fixtures.read_command_line()
    fixtures.run_tests()
