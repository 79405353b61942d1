"""End-to-end tests of check's panel wiring: the example cab's panel file is clean, and each
miswiring of a copy of it is found with its own code at its file and line; how the panel is
chosen (found, --panel, --no-panel) and said in the text and the JSON."""
import os
import re
import shutil
import struct
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures

import json
import math

PANEL = "panel2.cfg"
# The panel file is often saved in code page 932; edits keep every byte they do not touch.
CODEC = "latin-1"


def interpolate(table, value):
    """The table's angle for a value, linear between its points (read independently of the
    tool, from the table file)."""
    for (v0, a0), (v1, a1) in zip(table, table[1:]):
        if v0 <= value <= v1:
            return a0 + (a1 - a0) * (value - v0) / (v1 - v0)
    raise ValueError(value)


def value_at_angle(table, angle):
    for (v0, a0), (v1, a1) in zip(table, table[1:]):
        if min(a0, a1) <= angle <= max(a0, a1):
            return v0 + (v1 - v0) * (angle - a0) / (a1 - a0)
    raise ValueError(angle)


def example_bytes(name):
    with open(os.path.join(fixtures.EXAMPLES, "cab", name), "rb") as f:
        return f.read()


def read_table(path):
    with open(path) as f:
        return [tuple(float(x) for x in line.split(",")[:2]) for line in f if line.strip()]


class PanelText:
    """The lines of a panel file, edited section by section; sections are found by their
    Subject (in any letter case), keys in any letter case."""

    def __init__(self, text):
        self.lines = text.split("\n")

    def text(self):
        return "\n".join(self.lines)

    def _section_of(self, subject, kind="needle"):
        start = None
        for i, line in enumerate(self.lines + ["[end]"]):
            stripped = line.split(";")[0].strip()
            if stripped.startswith("["):
                if start is not None and self._subject(start, i) == subject.lower():
                    return start, i
                start = i if stripped.lower() == "[%s]" % kind else None
        raise KeyError(subject)

    def _subject(self, start, end):
        return (self._key_in(start, end, "subject") or (None, ""))[1].lower()

    def _key_in(self, start, end, key):
        for i in range(start + 1, end):
            name, equals, value = self.lines[i].split(";")[0].partition("=")
            if equals and name.strip().lower() == key.lower():
                return i, value.strip()
        return None

    def line_of(self, subject, key=None, kind="needle"):
        """The 1-based line of a key of the section reading `subject` (its header: None)."""
        start, end = self._section_of(subject, kind)
        return start + 1 if key is None else self._key_in(start, end, key)[0] + 1

    def value(self, subject, key):
        start, end = self._section_of(subject)
        return self._key_in(start, end, key)[1]

    def set(self, subject, key, value, kind="needle"):
        start, end = self._section_of(subject, kind)
        found = self._key_in(start, end, key)
        if found:
            self.lines[found[0]] = "%s = %s" % (key, value)
        else:
            self.lines.insert(start + 1, "%s = %s" % (key, value))
        return self

    def remove(self, subject):
        start, end = self._section_of(subject)
        del self.lines[start:end]
        return self

    def add(self, section):
        self.lines += [""] + section.strip("\n").split("\n")
        return self

    def swap_subjects(self, a, b):
        line_a = self.line_of(a, "subject") - 1
        line_b = self.line_of(b, "subject") - 1
        self.lines[line_a], self.lines[line_b] = self.lines[line_b], self.lines[line_a]
        return self


def rle_bmp():
    """An 8-bit BMP with run-length compression (BI_RLE8), 4 x 2 pixels: a format many
    decoders leave out."""
    palette = b"\0\0\0\0" + b"\xff\xff\xff\0"
    data = b"\x04\x01\x00\x00" + b"\x04\x00\x00\x01"  # two rows of four, then the end
    offset = 14 + 40 + len(palette)
    header = b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, 4, 2, 1, 8, 1, len(data), 2835, 2835, 2, 0)
    return header + info + palette + data


class ExampleCopy:
    """A copy of the example cab in a throwaway folder, its panel file edited; check runs
    inside it on Mirevane.dll."""

    def __init__(self, examples, edit=None, files=None):
        self.path = tempfile.mkdtemp(prefix="mirevane-wiring-")
        self.cab = os.path.join(self.path, "cab")
        shutil.copytree(os.path.join(examples, "cab"), self.cab)
        with open(self.file(PANEL), "rb") as f:
            self.panel = PanelText(f.read().decode(CODEC))
        if edit:
            edit(self.panel, self)
        with open(self.file(PANEL), "wb") as f:
            f.write(self.panel.text().encode(CODEC))
        for name, data in (files or {}).items():
            with open(self.file(name), "wb") as f:
                f.write(data)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        shutil.rmtree(self.path, ignore_errors=True)

    def file(self, name):
        return os.path.join(self.cab, name)

    def run(self, *args):
        return fixtures.TOOL.run(list(args), cwd=self.cab)

    def check_json(self, *extra):
        result = self.run("check", "Mirevane.dll", "--json", *extra)
        return result, json.loads(result.stdout_text)

    def profile_line(self, profile, text):
        with open(self.file(profile)) as f:
            lines = [line.strip() for line in f]
        return lines.index(text) + 1


def only(report, code):
    found = [d for d in report["diagnostics"] if d["code"] == code]
    if len(found) != 1:
        raise AssertionError("%d %s in %s" % (len(found), code, report["diagnostics"]))
    return found[0]


def panel_findings(report):
    return [d for d in report["diagnostics"] if d["code"].startswith("panel-")]


class WiringFindings(unittest.TestCase):
    """Each miswiring of the example's panel, with its code, severity, file, line and what its
    message must say."""

    def find(self, edit, code, severity, where, says, files=None, exit_status=None):
        """where(panel, cab) -> (file relative to the cab, line)."""
        with ExampleCopy(fixtures.EXAMPLES, edit, files) as cab:
            result, report = cab.check_json()
            d = only(report, code)
            file, line = where(cab.panel, cab)
            if file == PANEL:
                # Named as check found it, which is the copy's own panel file.
                file = report["panel"]["path"]
                self.assertTrue(os.path.samefile(os.path.join(cab.cab, file), cab.file(PANEL)))
            else:
                file = os.path.join(".", file)
            self.assertEqual((d["severity"], d["file"], d["line"]), (severity, file, line), d)
            for words in says:
                self.assertRegex(d["message"], words)
            if exit_status is not None:
                self.assertEqual(result.returncode, exit_status)
            return d

    def test_an_entry_no_element_reads_is_an_error_at_the_profile_line_naming_it(self):
        cases = [
            ("plain needle", "ats20", "Mirevane.ini", "Needle = 20",
             [r"gauge 0 writes panel entry 20 \(Needle\)", r"reads ats20",
              r"never drawn"]),
            ("one image of an oval gauge", "ats33", "bc.ini", "Ellipse3 = 33",
             [r"gauge 1 writes panel entry 33 \(Ellipse3\)", r"vanishes"]),
        ]
        for name, subject, profile, line, says in cases:
            with self.subTest(name):
                self.find(lambda p, c: p.remove(subject), "panel-entry-undrawn", "error",
                          lambda p, c: (profile, c.profile_line(profile, line)),
                          says + [re.escape(PANEL)], exit_status=1)

    def test_a_needle_that_does_not_turn_a_degree_per_thousand_says_by_how_much(self):
        cases = [
            ("Maximum 360", "360", "0", "360", r"turns 1000 degrees for every degree gauge 0"),
            ("Maximum a million", "1000000", "0", "360", r"turns 0\.36 degrees"),
            ("Maximum equals Minimum", "0", "0", "360", r"does not turn: Maximum equals Minimum"),
        ]
        for name, maximum, initial, last, says in cases:
            def edit(p, c):
                for key, value in [("Minimum", "0"), ("Maximum", maximum),
                                   ("InitialAngle", initial), ("LastAngle", last)]:
                    p.set("ats20", key, value)
            with self.subTest(name):
                self.find(edit, "panel-needle-scale", "warning",
                          lambda p, c: (PANEL, p.line_of("ats20", "Maximum")),
                          [says, r"Maximum = 360000 turns it 1 degree per degree"])

    def test_host_damping_on_an_oval_gauges_image(self):
        def edit(p, c):
            p.set("ats31", "NaturalFreq", "8").set("ats31", "DampingRatio", "0.5")
        self.find(edit, "panel-double-damping", "warning",
                  lambda p, c: (PANEL, p.line_of("ats31", "NaturalFreq")),
                  [r"the host damps the needle on ats31 itself \(NaturalFreq 8, DampingRatio 0\.5\)",
                   r"swaps its needle between 8 images", r"damps it already"])

    def test_a_backstop_names_the_values_it_clips(self):
        # 1 degree per 1000 units, held between 180000 and 300000 written: table angles 0 to
        # 120 pass, the speeds above the table's 120 degrees are clipped.
        table = read_table(os.path.join(fixtures.EXAMPLES, "cab", "Mirevane.csv"))
        def edit(p, c):
            for key, value in [("Minimum", "180000"), ("Maximum", "300000"),
                               ("InitialAngle", "0"), ("LastAngle", "120"),
                               ("Backstop", "true")]:
                p.set("ats20", key, value)
        d = self.find(edit, "panel-backstop-clips", "warning",
                      lambda p, c: (PANEL, p.line_of("ats20", "Backstop")),
                      [r"between 0 and 120 degrees", r"to 160 km/h \(written 30000\d to 480500\)"])
        start = float(re.search(r"for values ([0-9.]+) to", d["message"]).group(1))
        # The run's start is found by halving to a millionth of the table's span; the
        # written value is whole thousandths.
        self.assertAlmostEqual(start, value_at_angle(table, 120.0), delta=0.01)

    def test_a_backstop_that_clips_an_oval_gauges_parking_value(self):
        # bc parks its images at StandbyAngle 180: 180000, below the backstop at 190.
        def edit(p, c):
            for key, value in [("Minimum", "190000"), ("Maximum", "550000"),
                               ("InitialAngle", "190"), ("LastAngle", "550"),
                               ("Backstop", "1")]:
                p.set("ats34", key, value)
        self.find(edit, "panel-backstop-clips", "warning",
                  lambda p, c: (PANEL, p.line_of("ats34", "Backstop")),
                  [r"its parking value 180000 \(StandbyAngle 180\)"])

    def test_an_oval_images_backstop_is_held_to_the_angles_drawn_with_that_image(self):
        # bc (Flattening 0.35, RotateAngle 0, 8 images) draws with its shortest image, ats37,
        # where the needle is within 10 degrees of across the long axis (its parameter angle
        # folded above 80 degrees): drawn angles of about 255 to 285 and 435 to 465. Worked
        # out here from the oval's formulas, not by the tool.
        b = 0.65
        lengths = [b + (1 - b) * (7 - k) / 7 for k in range(8)]
        theta = [math.degrees(math.acos(math.sqrt((r * r - b * b) / (1 - b * b))))
                 for r in lengths]
        last_bound = (theta[6] + theta[7]) / 2
        table = read_table(os.path.join(fixtures.EXAMPLES, "cab", "bc.csv"))

        def drawn(value):
            t = math.radians(interpolate(table, value) + 180.0)
            return 360.0 + math.degrees(math.atan2(b * math.sin(t), math.cos(t)))

        def solve(f, lo, hi):
            for _ in range(60):
                mid = (lo + hi) / 2
                lo, hi = (mid, hi) if (f(mid) > 0) == (f(lo) > 0) else (lo, mid)
            return lo

        # Held between 180 and 460: of ats37's angles only those above 460 are clipped, from
        # the value drawn at 460 up to where the parameter angle leaves the last image's part.
        start = solve(lambda v: drawn(v) - 460.0, 800.0, 1000.0)
        end = solve(lambda v: interpolate(table, v) + 180.0 - (450.0 + (90.0 - last_bound)),
                    800.0, 1000.0)
        cases = [("holds every angle of the image", "470", None),
                 ("clips the image's last angles", "460", (start, end))]
        for name, last, clipped in cases:
            def edit(p, c):
                for key, value in [("Minimum", "180000"), ("Maximum", last + "000"),
                                   ("InitialAngle", "180"), ("LastAngle", last),
                                   ("Backstop", "true")]:
                    p.set("ats37", key, value)
            with self.subTest(name), ExampleCopy(fixtures.EXAMPLES, edit) as cab:
                _, report = cab.check_json()
                found = [d for d in report["diagnostics"] if d["code"] == "panel-backstop-clips"]
                if clipped is None:
                    self.assertEqual(found, [])
                    continue
                self.assertEqual(len(found), 1, found)
                run = re.search(r"for values ([0-9.]+) to ([0-9.]+) kPa \(written (\d+) to",
                                found[0]["message"])
                # The ends are found to a millionth of the table's span (1000 kPa).
                self.assertAlmostEqual(float(run.group(1)), clipped[0], delta=0.01)
                self.assertAlmostEqual(float(run.group(2)), clipped[1], delta=0.01)
                self.assertIn(int(run.group(3)), (460000, 460001))

    def test_pictures_missing_in_another_letter_case_or_unreadable(self):
        def other_case(p, c):
            name = p.value("ats23", "DaytimeImage")
            p.set("ats23", "DaytimeImage", name.swapcase())
        cases = [
            ("missing", lambda p, c: p.set("ats22", "DaytimeImage", "no_such_needle.png"),
             "panel-image-missing", "error", "ats22", {}, [r"'no_such_needle\.png'",
                                                          r"in any letter case"]),
            ("another letter case", other_case, "panel-image-case", "warning", "ats23", {},
             [r"is there only as"]),
            ("a run-length compressed BMP",
             lambda p, c: p.set("ats22", "DaytimeImage", "rle.bmp"),
             "panel-image-unreadable", "error", "ats22", {"rle.bmp": rle_bmp()},
             [r"'rle\.bmp' cannot be decoded \(.+\)", r"placeholder"]),
            ("a PNG cut short",
             lambda p, c: p.set("ats22", "DaytimeImage", "cut.png"),
             "panel-image-unreadable", "error", "ats22",
             {"cut.png": example_bytes("images/ammeter-needle.png")[:60]},
             [r"'cut\.png' cannot be decoded \(.+\)"]),
        ]
        for name, edit, code, severity, subject, files, says in cases:
            with self.subTest(name):
                self.find(edit, code, severity,
                          lambda p, c: (PANEL, p.line_of(subject, "DaytimeImage")), says,
                          files=files)

    def test_the_panel_files_own_problems_at_their_lines(self):
        def outside(p, c):
            with open(os.path.join(c.path, "outside.png"), "wb") as f:
                f.write(example_bytes("images/ammeter-needle.png"))
            p.set("ats22", "DaytimeImage", "../outside.png")
        cases = [
            ("a point that does not read", lambda p, c: p.set("ats23", "Location", "605 555"),
             "panel-syntax", "warning", ("ats23", "Location"), [r"605 555"]),
            ("a picture outside the panel's folder", outside, "panel-image-outside", "note",
             ("ats22", "DaytimeImage"), [r"'\.\./outside\.png' lies outside the panel file's "
                                         r"folder"]),
        ]
        for name, edit, code, severity, (subject, key), says in cases:
            with self.subTest(name):
                self.find(edit, code, severity, lambda p, c: (PANEL, p.line_of(subject, key)),
                          says)

    def test_an_oval_image_off_the_common_hub(self):
        def edit(p, c):
            x, y = p.value("ats32", "Location").split(",")
            p.set("ats32", "Location", "%g, %s" % (float(x) + 3, y.strip()))
        self.find(edit, "panel-hub-differs", "warning",
                  lambda p, c: (PANEL, p.line_of("ats32", "Location")),
                  [r"the needle on ats32 \(Ellipse2 of gauge 1\) turns about",
                   r"the other images of gauge 1 about"])

    def test_oval_images_swapped_are_out_of_their_order_of_length(self):
        # The sections of ats32 and ats33 swap their entries: the longer image now on
        # Ellipse3, reported at the picture of the section now on ats33.
        self.find(lambda p, c: p.swap_subjects("ats32", "ats33"), "panel-image-lengths",
                  "warning", lambda p, c: (PANEL, p.line_of("ats33", "DaytimeImage")),
                  [r"the image on ats33 \(Ellipse3 of gauge 1\), meant 0\.85 of the longest",
                   r"the image on ats32 \(Ellipse2 of gauge 1\), meant 0\.9",
                   r"shortest \(Ellipse7\)"])

    def test_elements_that_read_an_entry_besides_its_needle(self):
        needle = lambda p: p.value("ats20", "DaytimeImage")
        cases = [
            ("a digital number on a needle's entry",
             lambda p, c: p.add("[DigitalNumber]\nSubject = ats22\nLocation = 10, 10\n"),
             "panel-entry-shared", "warning", ("ats22", "subject", "digitalnumber"),
             [r"the DigitalNumber reads ats22, which gauge 3 writes as a needle angle"]),
            ("a needle on an entry no gauge writes",
             lambda p, c: p.add("[Needle]\nSubject = ats99\nLocation = 10, 10\nDaytimeImage = "
                                + needle(p) + "\n"),
             "panel-entry-foreign", "note", ("ats99", "subject", "needle"),
             [r"Subject = ats99: no gauge of this plug-in writes panel entry 99"]),
            ("a needle drawn by a formula",
             lambda p, c: p.set("ats20", "Function", "ats20"),
             "panel-needle-function", "note", ("ats20", "function", "needle"),
             [r"drawn by Function = ats20, which the tool does not evaluate"]),
        ]
        for name, edit, code, severity, (subject, key, kind), says in cases:
            with self.subTest(name):
                self.find(edit, code, severity,
                          lambda p, c: (PANEL, p.line_of(subject, key, kind)), says)

    def test_a_note_alone_leaves_strict_at_exit_status_0(self):
        edit = lambda p, c: p.set("ats20", "Function", "ats20")
        with ExampleCopy(fixtures.EXAMPLES, edit) as cab:
            result = cab.run("check", "Mirevane.dll", "--strict")
            self.assertEqual(result.returncode, 0, result.stdout_text)
            self.assertIn("0 errors, 0 warnings, 1 note.", result.stdout_text)
            self.assertRegex(result.stdout_text,
                             r"panel2\.cfg:\d+:\d+: note: .*\[panel-needle-function\]")

    def test_an_entry_mistyped_in_the_profile_comes_before_what_follows_in_the_panel(self):
        with ExampleCopy(fixtures.EXAMPLES) as cab:
            with open(cab.file("Mirevane.ini")) as f:
                profile = f.read()
            with open(cab.file("Mirevane.ini"), "w") as f:
                f.write(profile.replace("Needle = 20", "Needle = 21"))
            result, report = cab.check_json()
            self.assertEqual(result.returncode, 1)
            self.assertEqual([(d["code"], d["file"], d["line"]) for d in report["diagnostics"]],
                             [("panel-entry-undrawn", "./Mirevane.ini",
                               cab.profile_line("Mirevane.ini", "Needle = 21")),
                              ("panel-entry-foreign", report["panel"]["path"],
                               cab.panel.line_of("ats20", "Subject"))])

    def test_a_wrong_scale_is_the_one_finding_of_its_needle(self):
        # A Backstop read through a scale 1000 times off would clip nearly everything: that
        # follows from the scale, and is not reported besides it.
        def edit(p, c):
            for key, value in [("Minimum", "0"), ("Maximum", "360"), ("InitialAngle", "0"),
                               ("LastAngle", "360"), ("Backstop", "true")]:
                p.set("ats20", key, value)
        with ExampleCopy(fixtures.EXAMPLES, edit) as cab:
            _, report = cab.check_json()
            self.assertEqual([d["code"] for d in panel_findings(report)], ["panel-needle-scale"])


class PanelChoice(unittest.TestCase):
    """Which panel check reads, and how it says so."""

    def test_the_example_cab_has_no_panel_finding(self):
        result = fixtures.TOOL.run(["check", os.path.join("cab", "Mirevane.dll"), "--json"],
                                   cwd=fixtures.EXAMPLES)
        report = json.loads(result.stdout_text)
        self.assertTrue(os.path.samefile(os.path.join(fixtures.EXAMPLES, report["panel"]["path"]),
                                         os.path.join(fixtures.EXAMPLES, "cab", PANEL)))
        self.assertEqual(panel_findings(report), [])
        self.assertEqual((report["errors"], report["warnings"], report["notes"]), (0, 0, 0))

    def test_the_panel_is_named_near_the_top_of_the_report(self):
        with ExampleCopy(fixtures.EXAMPLES) as cab:
            lines = cab.run("check", "Mirevane.dll").stdout_text.split("\n")
            named = [i for i, line in enumerate(lines[:6]) if line.startswith("  panel: ")]
            self.assertEqual(len(named), 1, lines[:6])
            self.assertIn(PANEL, lines[named[0]])
            self.assertIn("--no-panel", lines[named[0]])

    def test_no_panel_leaves_even_a_miswired_panel_unread(self):
        with ExampleCopy(fixtures.EXAMPLES, lambda p, c: p.remove("ats20")) as cab:
            result, report = cab.check_json("--no-panel")
            self.assertEqual(result.returncode, 0)
            self.assertEqual(report["panel"]["path"], None)
            self.assertIn("--no-panel", report["panel"]["said"])
            self.assertEqual(panel_findings(report), [])

    def test_a_panel_named_with_panel_is_read_wherever_it_is(self):
        with ExampleCopy(fixtures.EXAMPLES, lambda p, c: p.remove("ats20")) as cab:
            # The miswired panel moved out of the cab's folder, the cab's own one removed.
            shutil.copytree(cab.cab, os.path.join(cab.path, "elsewhere"))
            os.remove(cab.file(PANEL))
            found, report_found = cab.check_json()
            self.assertEqual(report_found["panel"]["path"], None)
            self.assertEqual(panel_findings(report_found), [])
            given, report = cab.check_json("--panel", os.path.join("..", "elsewhere", PANEL))
            self.assertTrue(report["panel"]["given"])
            self.assertEqual(given.returncode, 1)
            self.assertEqual([(d["code"], d["file"]) for d in panel_findings(report)],
                             [("panel-entry-undrawn", "./Mirevane.ini")])

    def test_a_panel_given_that_cannot_be_read_is_refused_as_an_argument(self):
        with ExampleCopy(fixtures.EXAMPLES) as cab:
            os.mkdir(cab.file("folder.cfg"))
            for given, says in [("missing.cfg", "no such panel file"),
                                ("folder.cfg", "is not a panel file")]:
                with self.subTest(given):
                    result = cab.run("check", "Mirevane.dll", "--panel", given)
                    self.assertEqual(result.returncode, 2)
                    self.assertEqual(result.stdout_text, "")
                    self.assertRegex(result.stderr_text, r"^%s: error: %s.* \[panel-unreadable\]"
                                     % (re.escape(given), says))

    def test_a_library_in_a_sub_folder_is_found_through_ats_cfg(self):
        # Train/ats.cfg names plugin/Mirevane.dll; the panel beside ats.cfg is the cab's.
        with ExampleCopy(fixtures.EXAMPLES, lambda p, c: p.remove("ats22")) as cab:
            plugin = os.path.join(cab.cab, "plugin")
            os.makedirs(plugin)
            for name in os.listdir(cab.cab):
                if name.endswith((".ini", ".csv")):
                    os.rename(cab.file(name), os.path.join(plugin, name))
            with open(cab.file("ats.cfg"), "w") as f:
                f.write("plugin\\Mirevane.dll\n")
            result = fixtures.TOOL.run(["check", os.path.join("plugin", "Mirevane.dll"),
                                        "--json"], cwd=cab.cab)
            report = json.loads(result.stdout_text)
            self.assertTrue(os.path.samefile(os.path.join(cab.cab, report["panel"]["path"]),
                                             cab.file(PANEL)))
            self.assertFalse(report["panel"]["given"])
            self.assertIn("ats.cfg", report["panel"]["said"])
            undrawn = only(report, "panel-entry-undrawn")
            self.assertEqual(undrawn["file"], os.path.join("plugin", "ammeter.ini"))

    def test_an_ats_cfg_naming_another_library_is_noted(self):
        with ExampleCopy(fixtures.EXAMPLES) as cab:
            with open(cab.file("ats.cfg"), "w") as f:
                f.write("other\\Another.dll\n")
            _, report = cab.check_json()
            self.assertTrue(any("Another.dll" in note for note in report["panel"]["notes"]),
                            report["panel"])
            text = cab.run("check", "Mirevane.dll").stdout_text
            for note in report["panel"]["notes"]:
                self.assertIn("  " + note + "\n", text)


if __name__ == "__main__":
    fixtures.read_command_line()
    fixtures.run_tests()
