"""End-to-end tests of mirevane check: each error and warning on a small cab, at its file and
line, and the report in text and JSON."""
import json
import os
import re
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import CabFolder, FOLDER, GOOD_INI, GOOD_TABLE, diagnostics, with_good, with_oval


class CheckErrors(unittest.TestCase):
    """Each error class, with the file and line it is reported at, and exit status 1."""

    CASES = [
        # name, files, expected (severity, code, file, line)
        ("no main profile", {}, ("error", "no-main-profile", "./Cab.ini", None)),
        ("table missing", {"Cab.ini": GOOD_INI}, ("error", "table-missing", "./Cab.csv", None)),
        ("table empty", {"Cab.ini": GOOD_INI, "Cab.csv": ""},
         ("error", "table-empty", "./Cab.csv", None)),
        ("table with one point", {"Cab.ini": GOOD_INI, "Cab.csv": "value,angle\n0,0\n"},
         ("error", "table-single-point", "./Cab.csv", 2)),
        ("table of skipped lines", {"Cab.ini": GOOD_INI, "Cab.csv": "\nvalue,angle\n"},
         ("error", "table-empty", "./Cab.csv", 2)),
        ("subject names nothing",
         {"Cab.ini": "[SubjectKey]\nSubject = speedo\n[PanelIndex]\nNeedle = 20\n",
          "Cab.csv": GOOD_TABLE},
         ("error", "subject-names-nothing", "./Cab.ini", 2)),
        ("panel subject written with a point",
         {"Cab.ini": "[SubjectKey]\nSubject = panel12.0\n[PanelIndex]\nNeedle = 20\n",
          "Cab.csv": GOOD_TABLE},
         ("error", "subject-names-nothing", "./Cab.ini", 2)),
        ("needle beyond 255",
         {"Cab.ini": "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nNeedle = 256\n",
          "Cab.csv": GOOD_TABLE},
         ("error", "needle-out-of-range", "./Cab.ini", 4)),
        ("needle never set", {"Cab.ini": "[SubjectKey]\nSubject = kmph\n", "Cab.csv": GOOD_TABLE},
         ("error", "draws-nothing", "./Cab.ini", None)),
        ("empty profile", {"Cab.ini": "", "Cab.csv": GOOD_TABLE},
         ("error", "draws-nothing", "./Cab.ini", None)),
        ("misspelt needle", {"Cab.ini": "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nNeddle = 20\n",
                             "Cab.csv": GOOD_TABLE},
         ("error", "draws-nothing", "./Cab.ini", 4)),
        ("misspelt ellipse section",
         {"Cab.ini": "[SubjectKey]\nSubject = bc\n[Elipse]\nDivision = 4\n", "Cab.csv": GOOD_TABLE},
         ("error", "draws-nothing", "./Cab.ini", 3)),
        ("further gauge file not found", with_good("[FileName]\nGauge3 = oil\n"),
         ("error", "gauge-file-not-found", "./Cab.ini", 6)),
        ("needle set to -1",
         {"Cab.ini": "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nNeedle = -1\n",
          "Cab.csv": GOOD_TABLE},
         ("error", "needle-out-of-range", "./Cab.ini", 4)),
        ("elliptic gauge without division entries",
         {"Cab.ini": "[SubjectKey]\nSubject = bc\n[Ellipse]\nDivision = 4\nFlattening = 0.5\n",
          "Cab.csv": GOOD_TABLE},
         ("error", "no-division-entry", "./Cab.ini", 4)),
        ("main profile that is a folder", {"Cab.ini": FOLDER, "Cab.csv": GOOD_TABLE},
         ("error", "is-a-folder", "./Cab.ini", None)),
        ("further profile that is a folder",
         with_good("[FileName]\nGauge0 = oil\n", oil_ini=FOLDER, oil_csv=GOOD_TABLE),
         ("error", "is-a-folder", "./oil.ini", None)),
        ("table that is a folder", {"Cab.ini": GOOD_INI, "Cab.csv": FOLDER},
         ("error", "is-a-folder", "./Cab.csv", None)),
        ("a European spreadsheet's table", {"Cab.ini": GOOD_INI, "Cab.csv": "0;30,0\n100;57,2\n"},
         ("error", "table-semicolons", "./Cab.csv", 1)),
        ("a unit after a number", with_good("[Vibration]\nAmplitude = 1\nPeriod = 1.2 s\n"),
         ("error", "number-with-text", "./Cab.ini", 7)),
        ("a decimal comma", with_good("[Vibration]\nAmplitude = 1\nPeriod = 1,5\n"),
         ("error", "number-with-text", "./Cab.ini", 7)),
        ("a comment after a number",
         with_good("[Damping]\nNaturalFreq = 8\nDampingRatio = 0.5 ; light\n"),
         ("error", "number-with-text", "./Cab.ini", 7)),
    ]

    def test_each_error_is_reported_where_it_stands(self):
        for name, files, expected in self.CASES:
            with self.subTest(name), CabFolder(files) as cab:
                result, report = cab.check_json()
                self.assertIn(expected, diagnostics(report))
                self.assertEqual(result.returncode, 1)

    def test_a_folder_is_its_one_error(self):
        # What a folder leaves unset (the needle, every point) is not reported again.
        for files in ({"Cab.ini": FOLDER, "Cab.csv": GOOD_TABLE},
                      {"Cab.ini": GOOD_INI, "Cab.csv": FOLDER}):
            with self.subTest(sorted(files)), CabFolder(files) as cab:
                _, report = cab.check_json()
                self.assertEqual([d["code"] for d in report["diagnostics"]], ["is-a-folder"])

    def test_a_spreadsheets_table_is_its_one_error(self):
        # Read with semicolons, the points turn back and forth: that follows from the cause.
        table = "0;30,0\n100;57,2\n200;84,1\n300;111,5\n"
        with CabFolder({"Cab.ini": GOOD_INI, "Cab.csv": table}) as cab:
            _, report = cab.check_json()
            self.assertEqual([d["code"] for d in report["diagnostics"]], ["table-semicolons"])
            self.assertIn("semicolons separate the fields and commas are decimal points: save "
                          "as CSV with a point as decimal separator", report["diagnostics"][0]["message"])

    def test_a_number_with_text_says_what_the_plug_in_keeps(self):
        # Damping reaches an elliptic gauge only: a plain needle does not swing for ever.
        # The error names the consequence, so no warning repeats it.
        swings = "DampingRatio stays 0: the needle swings for ever"
        damping = "[Damping]\nNaturalFreq = 8\nDampingRatio = 0.5 ; light\n"
        for name, files, says in [("elliptic", with_oval(damping), True),
                                  ("plain", with_good(damping), False)]:
            with self.subTest(name), CabFolder(files) as cab:
                _, report = cab.check_json()
                found = [d for d in report["diagnostics"] if d["code"] == "number-with-text"]
                self.assertEqual(swings in found[0]["message"], says, found[0]["message"])
                self.assertNotIn("damping-never-settles",
                                 [d["code"] for d in report["diagnostics"]])

    def test_a_misspelt_key_comes_before_what_it_turns_off(self):
        files = with_good("[Vibration]\nPeriod = 1.2\nAmplitde = 0.8\n")
        with CabFolder(files) as cab:
            _, report = cab.check_json()
            self.assertEqual([(d["code"], d["line"]) for d in report["diagnostics"]],
                             [("unknown-key", 7), ("vibration-half-set", 7)])
            self.assertIn("Period is set but Amplitude is 0 ('Amplitde' is not Amplitude)",
                          report["diagnostics"][1]["message"])

    def test_the_cause_is_named_not_its_consequence(self):
        files = {"Cab.ini": "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nNeddle = 20\n",
                 "Cab.csv": GOOD_TABLE}
        with CabFolder(files) as cab:
            _, report = cab.check_json()
            codes = [d["code"] for d in report["diagnostics"]]
            self.assertEqual(codes, ["unknown-key", "draws-nothing"])
            self.assertIn("no [PanelIndex] Needle and no [Ellipse] Division ('Neddle' is not "
                          "Needle)", report["diagnostics"][1]["message"])

    def test_gauge_names_are_read_as_the_windows_build_reads_them(self):
        files = with_good("[FileName]\nGauge0 = gauges\\brake\nGauge1 = oil.ini\n",
                          oil_ini=GOOD_INI, oil_csv=GOOD_TABLE)
        with CabFolder(files) as cab:
            os.mkdir(cab.file("gauges"))
            for name in ("brake.ini", "brake.csv"):
                shutil.copy(cab.file(name.replace("brake", "oil")), cab.file("gauges/" + name))
            result, report = cab.check_json()
            self.assertEqual([g["profile"] for g in report["gauges"]],
                             ["./Cab.ini", "./gauges\\brake.ini"])
            self.assertEqual(report["gauges"][1]["table"]["points"], 2)
            missing = [d for d in report["diagnostics"] if d["code"] == "gauge-file-not-found"]
            self.assertEqual(len(missing), 1)
            self.assertEqual((missing[0]["severity"], missing[0]["line"]), ("error", 7))
            self.assertIn("adds .ini and .csv itself: write Gauge1 = oil", missing[0]["message"])
            self.assertEqual(result.returncode, 1)

    def test_a_utf16_file_is_one_error_without_nul_bytes(self):
        cases = [
            ("profile with a byte order mark", "Cab.ini", b"\xff\xfe" + GOOD_INI.encode("utf-16-le")),
            ("big-endian profile", "Cab.ini", b"\xfe\xff" + GOOD_INI.encode("utf-16-be")),
            ("profile without a mark", "Cab.ini", GOOD_INI.encode("utf-16-le")),
            ("table", "Cab.csv", b"\xff\xfe" + GOOD_TABLE.encode("utf-16-le")),
        ]
        for name, file, data in cases:
            files = with_good()
            files[file] = data
            with self.subTest(name), CabFolder(files) as cab:
                result, report = cab.check_json()
                self.assertEqual(diagnostics(report), [("error", "utf16-text", "./" + file, None)])
                self.assertNotIn("\\u0000", result.stdout_text)

    def test_a_setting_from_the_fallback_profile_is_reported_there(self):
        files = {"Cab.ini": "[SubjectKey]\nSubject = kmph\n", "Cab.csv": GOOD_TABLE,
                 "Ats.ini": "[PanelIndex]\nNeedle = 300\n"}
        with CabFolder(files) as cab:
            _, report = cab.check_json()
            self.assertIn(("error", "needle-out-of-range", "./Ats.ini", 2), diagnostics(report))
            self.assertTrue(report["fallbackProfile"]["found"])

    def test_a_file_in_another_letter_case_is_named(self):
        if TOOL.windows:
            self.skipTest("Windows finds the file whatever its letter case")
        with CabFolder({"Cab.ini": GOOD_INI, "cab.csv": GOOD_TABLE}) as cab:
            _, report = cab.check_json()
            missing = [d for d in report["diagnostics"] if d["code"] == "table-missing"]
            self.assertEqual(len(missing), 1)
            self.assertIn("'cab.csv' differs only in letter case", missing[0]["message"])
        files = with_good("[FileName]\nGauge0 = meters\\ammeter\n", Meters=FOLDER)
        with CabFolder(files) as cab:
            with open(cab.file(os.path.join("Meters", "ammeter.ini")), "w") as f:
                f.write(GOOD_INI)
            _, report = cab.check_json()
            self.assertIn("'Meters/ammeter.ini' differs only in letter case",
                          report["diagnostics"][0]["message"])


class CheckWarnings(unittest.TestCase):
    def test_a_cab_the_code_page_cannot_spell_is_read_and_said_out_of_the_hosts_reach(self):
        if not TOOL.windows:
            self.skipTest("a path is bytes to the native build: no code page to spell it")
        with tempfile.TemporaryDirectory() as root:
            folder = os.path.join(root, "\u65e5\u672c\u306e\u904b\u8ee2\u53f0")  # Japanese
            shutil.copytree(os.path.join(EXAMPLES, "cab"), folder)
            plain = TOOL.run(["check", "Mirevane.dll"], cwd=os.path.join(EXAMPLES, "cab"))
            # Named in the argument, taken by its short name; or relative to such a folder.
            for cwd, path in [(root, os.path.join(os.path.basename(folder), "Mirevane.dll")),
                              (folder, "Mirevane.dll")]:
                result = TOOL.run(["check", path], cwd=cwd)
                self.assertEqual(result.returncode, plain.returncode, result.stderr_text)
                first = result.stderr_text.splitlines()[0]
                self.assertTrue(first.endswith("out of the host's reach, whose plug-in finds its "
                                               "files through the ANSI file functions "
                                               "[path-code-page]"), first)
                # The report is the one of the same cab in a plain folder, but for the folder
                # it names (its short name, or the current one).
                shown = re.split(r"[\\/]", first.split(":")[0])[:-1]
                report = result.stdout_text
                if shown:
                    report = re.sub(re.escape(shown[0]) + r"[\\/]", "./", report)
                self.assertEqual(report.splitlines()[1:], plain.stdout_text.splitlines()[1:])

    """Each warning class on an otherwise sound configuration: reported at its line, with
    the words a cab builder needs, and no error, so the exit status stays 0."""

    CASES = [
        # name, files, (code, file, line), words the message must hold
        ("misspelt section", with_good("[Dampng]\nNaturalFreq = 3\n"),
         ("unknown-section", "./Cab.ini", 5), "did you mean [Damping]"),
        ("misspelt key", with_good("[Vibration]\nPeriods = 3\n"),
         ("unknown-key", "./Cab.ini", 6), "did you mean Period?"),
        ("key name run on", with_good("[Ellipse]\nDivision = 0\n[Damping]\nNaturalFrequency = 3\n"),
         ("unknown-key", "./Cab.ini", 8), "did you mean NaturalFreq?"),
        ("key in the wrong section", with_good("[Damping]\nPeriod = 3\n"),
         ("unknown-key", "./Cab.ini", 6), "Period belongs in [Vibration]"),
        ("division entry beyond 63", with_good("Ellipse64 = 3\n"),
         ("unknown-key", "./Cab.ini", 5), "Ellipse0 to Ellipse63"),
        ("double that does not convert", with_good("[Vibration]\nPeriod = slow\n"),
         ("not-a-number", "./Cab.ini", 6), "'slow' is not a number: Period keeps 0"),
        ("double in words", with_good("[Ellipse]\nStandbyAngle = half\n"),
         ("not-a-number", "./Cab.ini", 6), "StandbyAngle keeps 180"),
        ("integer with a unit", with_good("[Advanced]\nMaxArrayIndex = 20 px\n"),
         ("not-an-integer", "./Cab.ini", 6), "reads as 20"),
        ("key without equals sign", with_good("[Vibration]\nPeriod\n"),
         ("no-value", "./Cab.ini", 6), "has no '='"),
        ("key given twice", with_good("Needle = 21\n"),
         ("duplicate-key", "./Cab.ini", 5), "first at line 4"),
        ("section given twice", with_good("[PanelIndex]\nEllipse0 = 3\n"),
         ("duplicate-section", "./Cab.ini", 5), "only the first one is read"),
        ("key before any section", {"Cab.ini": "Needle = 3\n" + GOOD_INI, "Cab.csv": GOOD_TABLE},
         ("outside-section", "./Cab.ini", 1), "before any [section]"),
        ("table lines skipped",
         with_good(table="value,angle\n0,0\n10\n10,,45\n100,270\n"),
         ("table-line-skipped", "./Cab.csv", 4), "field 2 of '10,,45' is not a number"),
        ("table line with one number", with_good(table="0,0\n10\n100,270\n"),
         ("table-line-skipped", "./Cab.csv", 2), "fewer than two"),
        ("table value given twice", with_good(table="0,0\n50,100\n50,120\n100,270\n"),
         ("table-duplicate-value", "./Cab.csv", 3), "first at line 2"),
        ("table that turns back", with_good(table="0,0\n50,100\n100,50\n120,60\n"),
         ("table-not-monotonic", "./Cab.csv", 3), "turns back at value 100"),
        ("table row with a decimal comma", with_good(table="0,0\n2,5,9,5\n100,270\n"),
         ("table-extra-fields", "./Cab.csv", 2), "has 4 fields: the row reads as value 2, angle 5"),
        ("table value with a unit", with_good(table="0,0\n100 km/h,270\n"),
         ("table-text-ignored", "./Cab.csv", 2), "'km/h' after a number is ignored"),
        ("table row with a note", with_good(table="0,0\n100,270 ; end\n"),
         ("table-text-ignored", "./Cab.csv", 2), "'; end' after a number"),
        ("byte order mark in a profile",
         {"Cab.ini": b"\xef\xbb\xbf" + GOOD_INI.encode(), "Cab.csv": GOOD_TABLE},
         ("byte-order-mark", "./Cab.ini", 1), "byte order mark"),
        ("key name that binds no key", with_good("[KeyIndex]\nSwitchAdjustMode = M\n"),
         ("key-binds-nothing", "./Cab.ini", 6), "names no host key"),
        ("two actions on one key", with_good("[KeyIndex]\nCopyValueToClipboard = d\n"),
         ("key-bound-twice", "./Cab.ini", 6), "one press runs both"),
        ("action set to another's key", with_good("[KeyIndex]\nResetAdjustValue = S\n"),
         ("key-bound-twice", "./Cab.ini", 6), "one press runs both"),
        ("two gauges on one entry",
         with_good("[FileName]\nGauge0 = second\n", second_ini=GOOD_INI, second_csv=GOOD_TABLE),
         ("panel-written-twice", "./second.ini", 4), "gauge 1's value remains"),
        ("two gauges on one division entry",
         with_good("[FileName]\nGauge0 = second\n",
                   second_ini="[SubjectKey]\nSubject = bc\n[Ellipse]\nDivision = 2\n"
                              "Flattening = 0.5\n[PanelIndex]\nEllipse0 = 21\nEllipse1 = 20\n",
                   second_csv=GOOD_TABLE),
         ("panel-written-twice", "./second.ini", 8), "gauge 1's value remains"),
        ("division above 64",
         {"Cab.ini": "[SubjectKey]\nSubject = bc\n[PanelIndex]\nEllipse0 = 30\n"
                     "[Ellipse]\nDivision = 100\nFlattening = 0.5\n", "Cab.csv": GOOD_TABLE},
         ("division-above-64", "./Cab.ini", 6), "64 divisions are used"),
        ("MaxArrayIndex below the subject's entry",
         {"Cab.ini": "[SubjectKey]\nSubject = panel12\n[PanelIndex]\nNeedle = 20\n"
                     "[Advanced]\nMaxArrayIndex = 10\n", "Cab.csv": GOOD_TABLE},
         ("max-index-below-subject", "./Cab.ini", 6), "reads 0 every frame"),
        ("developer mode on", with_good("[DeveloperMode]\nEnabled = 1\n"),
         ("developer-mode-enabled", "./Cab.ini", 6), "before you ship"),
        ("global section in a further gauge file",
         with_good("[FileName]\nGauge0 = second\n",
                   second_ini="[SubjectKey]\nSubject = bc\n[PanelIndex]\nNeedle = 21\n"
                              "[StepValue]\nAngle = 5\n", second_csv=GOOD_TABLE),
         ("main-only-section", "./second.ini", 5), "main profile only"),
        ("vibration half set", with_good("[Vibration]\nAmplitude = 2\n"),
         ("vibration-half-set", "./Cab.ini", 6), "Period is 0"),
        ("vibration on a signed value",
         {"Cab.ini": "[SubjectKey]\nSubject = am\n[PanelIndex]\nNeedle = 20\n"
                     "[Vibration]\nPeriod = 1\nAmplitude = 5\n", "Cab.csv": GOOD_TABLE},
         ("vibration-drops-sign", "./Cab.ini", 7), "negative am value as a positive one"),
        ("damping on a plain needle", with_good("[Damping]\nNaturalFreq = 5\n"),
         ("damping-not-elliptic", "./Cab.ini", 6), "only on an elliptic gauge"),
        ("damping ratio left out", with_oval("[Damping]\nNaturalFreq = 8\n"),
         ("damping-never-settles", "./Cab.ini", 10),
         "no DampingRatio (0) with NaturalFreq = 8: gauge 0's needle is not damped at all and "
         "swings about its value for ever"),
        ("damping ratio 0", with_oval("[Damping]\nNaturalFreq = 8\nDampingRatio = 0\n"),
         ("damping-never-settles", "./Cab.ini", 11), "DampingRatio = 0 with NaturalFreq = 8"),
        ("negative damping ratio",
         with_oval("[Damping]\nNaturalFreq = 8\nDampingRatio = -0.5\n"),
         ("damping-never-settles", "./Cab.ini", 11),
         "DampingRatio = -0.5, which counts as 0, with NaturalFreq = 8"),
        ("damping ratio not a number", with_oval("[Damping]\nNaturalFreq = 8\nDampingRatio = nan\n"),
         ("damping-never-settles", "./Cab.ini", 11), "DampingRatio = nan, which counts as 0"),
        ("negative natural frequency",
         with_oval("[Damping]\nNaturalFreq = -8\nDampingRatio = 0.7\n"),
         ("damping-switched-off", "./Cab.ini", 10),
         "NaturalFreq = -8 is below 0: the plug-in switches the damping off"),
        ("infinite natural frequency", with_oval("[Damping]\nNaturalFreq = inf\n"),
         ("damping-switched-off", "./Cab.ini", 10), "inf is not a finite number"),
        ("flattening above 1", with_oval(flattening="1.5"),
         ("flattening-clamped", "./Cab.ini", 5),
         "Flattening = 1.5 is outside 0 to 1: the plug-in counts it as 1, so the oval collapses "
         "to a line along RotateAngle"),
        ("negative flattening", with_oval(flattening="-0.2"),
         ("flattening-clamped", "./Cab.ini", 5),
         "counts it as 0, so gauge 0 is drawn on a round dial"),
        ("panel subject read before it is written",
         {"Cab.ini": "[SubjectKey]\nSubject = panel21\n[PanelIndex]\nNeedle = 20\n"
                     "[FileName]\nGauge0 = second\n", "Cab.csv": GOOD_TABLE,
          "second.ini": "[PanelIndex]\nNeedle = 21\n", "second.csv": GOOD_TABLE},
         ("reads-later-entry", "./Cab.ini", 2), "gauge 1 writes later"),
    ]

    def test_each_warning_is_reported_where_it_stands(self):
        for name, files, (code, file, line), words in self.CASES:
            with self.subTest(name), CabFolder(files) as cab:
                result, report = cab.check_json()
                found = [d for d in report["diagnostics"]
                         if (d["code"], d["file"], d["line"]) == (code, file, line)]
                self.assertEqual(len(found), 1, report["diagnostics"])
                self.assertEqual(found[0]["severity"], "warning")
                self.assertIn(words, found[0]["message"])
                errors = [d for d in report["diagnostics"] if d["severity"] == "error"]
                self.assertEqual(errors, [])
                self.assertEqual(result.returncode, 0)

    def test_oval_settings_taken_as_written_or_never_used_are_not_reported(self):
        codes = {"damping-never-settles", "damping-switched-off", "flattening-clamped"}
        cases = [
            ("damped", with_oval("[Damping]\nNaturalFreq = 8\nDampingRatio = 0.7\n")),
            ("undamped", with_oval("[Damping]\nNaturalFreq = 0\nDampingRatio = 0\n")),
            ("a ratio without a frequency", with_oval("[Damping]\nDampingRatio = -1\n")),
            ("flattening at its ends", with_oval(flattening="1")),
            ("round", with_oval(flattening="0")),
            # A plain needle never reaches the damping or the oval.
            ("plain, undamped ratio", with_good("[Damping]\nNaturalFreq = 8\n")),
            ("plain, negative frequency", with_good("[Damping]\nNaturalFreq = -8\n")),
            ("plain, flattening above 1", with_good("[Ellipse]\nFlattening = 1.5\n")),
        ]
        for name, files in cases:
            with self.subTest(name), CabFolder(files) as cab:
                _, report = cab.check_json()
                found = [d["code"] for d in report["diagnostics"] if d["code"] in codes]
                self.assertEqual(found, [], report["diagnostics"])

    def test_a_flattening_counted_as_0_is_named_where_the_images_go_unused(self):
        with CabFolder(with_oval(flattening="-0.2")) as cab:
            _, report = cab.check_json()
            unused = [d["message"] for d in report["diagnostics"]
                      if d["code"] == "ellipse-entry-unused"]
            self.assertEqual(len(unused), 1, report["diagnostics"])
            self.assertIn("with Flattening -0.2 counted as 0 (a round dial) only Ellipse1 is "
                          "drawn", unused[0])

    def test_a_byte_order_mark_in_the_table_spoils_its_first_line(self):
        files = with_good(table=b"\xef\xbb\xbf0,0\n50,100\n100,270\n")
        with CabFolder(files) as cab:
            _, report = cab.check_json()
            found = diagnostics(report)
            self.assertIn(("warning", "byte-order-mark", "./Cab.csv", 1), found)
            self.assertIn(("warning", "table-line-skipped", "./Cab.csv", 1), found)
            self.assertEqual(report["gauges"][0]["table"]["points"], 2)

    def test_elliptic_divisions_without_an_entry_and_entries_never_drawn(self):
        ini = ("[SubjectKey]\nSubject = bc\n[Ellipse]\nDivision = 4\nFlattening = 0.5\n"
               "[PanelIndex]\nEllipse0 = 30\nEllipse1 = 31\nEllipse2 = 32\nEllipse5 = 35\n")
        with CabFolder({"Cab.ini": ini, "Cab.csv": GOOD_TABLE}) as cab:
            _, report = cab.check_json()
            found = diagnostics(report)
            # Division 3 has no entry: the Division line that reaches it is blamed.
            self.assertIn(("warning", "division-without-entry", "./Cab.ini", 4), found)
            self.assertIn(("warning", "ellipse-entry-unused", "./Cab.ini", 10), found)
            self.assertEqual(report["gauges"][0]["entries"], [30, 31, 32])

    def test_a_gap_of_many_divisions_is_one_warning(self):
        ini = ("[SubjectKey]\nSubject = bc\n[Ellipse]\nDivision = 100\nFlattening = 0.5\n"
               "[PanelIndex]\nEllipse0 = 30\nEllipse1 = 31\nEllipse2 = 32\nEllipse3 = 33\n")
        with CabFolder({"Cab.ini": ini, "Cab.csv": GOOD_TABLE}) as cab:
            _, report = cab.check_json()
            gaps = [d["message"] for d in report["diagnostics"]
                    if d["code"] == "division-without-entry"]
            self.assertEqual(len(gaps), 1, gaps)
            self.assertIn("divisions 4..63 have no panel entry", gaps[0])
            self.assertIn("between folded angles 15.64 and 90 degrees", gaps[0])

    def test_repeated_table_line_warnings_collapse_after_three(self):
        # A table written with decimal commas throughout: three rows in full, then one line.
        rows = "".join("{},{},5\n".format(v, v * 2) for v in range(10))
        cases = [(rows, 3, "the same on 7 more lines (lines 4 to 10)"),
                 ("".join("{},{},5\n".format(v, v) for v in range(4)), 4, None)]
        for table, shown, summary in cases:
            with self.subTest(rows=table.count("\n")), CabFolder(with_good(table=table)) as cab:
                _, report = cab.check_json()
                found = [d for d in report["diagnostics"] if d["code"] == "table-extra-fields"]
                self.assertEqual([d["line"] for d in found[:shown]], list(range(1, shown + 1)))
                self.assertEqual(len(found), shown + (summary is not None))
                if summary:
                    self.assertEqual(found[-1]["message"], summary)
                    self.assertEqual(found[-1]["line"], 4)

    def test_strict_turns_warnings_into_exit_status_1(self):
        with CabFolder(with_good("[Vibration]\nPeriod = slow\n")) as cab:
            self.assertEqual(cab.run("check", "Cab.dll").returncode, 0)
            self.assertEqual(cab.run("check", "Cab.dll", "--strict").returncode, 1)


class CheckReport(unittest.TestCase):
    def test_a_sound_configuration_has_no_diagnostic_and_exit_status_0(self):
        with CabFolder(with_good()) as cab:
            result, report = cab.check_json("--strict")
            self.assertEqual(report["diagnostics"], [])
            self.assertEqual(result.returncode, 0)
            gauge = report["gauges"][0]
            self.assertEqual(gauge["subject"]["reads"], "kmph")
            self.assertEqual(gauge["entries"], [20])
            self.assertEqual(gauge["table"]["points"], 2)
            self.assertEqual(gauge["table"]["maxAngle"], 270)

    def test_the_library_and_the_main_profile_name_the_same_files(self):
        with CabFolder(with_good("[Vibration]\nPeriod = x\n")) as cab:
            by_library = cab.run("check", "Cab.dll", "--json").stdout_text
            by_profile = cab.run("check", "Cab.ini", "--json").stdout_text
            self.assertEqual(json.loads(by_library)["diagnostics"],
                             json.loads(by_profile)["diagnostics"])

    def test_text_and_json_carry_the_same_diagnostics(self):
        files = with_good("[Dampng]\nx = 1\n[Vibration]\n  Period =  slow\n",
                          table="0,0\nnote\n100,270\n")
        with CabFolder(files) as cab:
            result, report = cab.check_json()
            self.assertEqual(report["schemaVersion"], 3)
            text = cab.run("check", "Cab.dll").stdout_text
            lines = text.split("\n")
            for d in report["diagnostics"]:
                where = d["file"] + "".join(":%d" % n for n in (d["line"], d["column"]) if n)
                line = "%s: %s: %s [%s]" % (where, d["severity"], d["message"], d["code"])
                self.assertIn(line, lines)
            self.assertIn("./Cab.ini:8:13: warning: Period = 'slow' is not a number: Period "
                          "keeps 0: the needle does not tremble [not-a-number]", lines)
            self.assertIn("0 errors, 3 warnings.", text)

    def test_paths_in_the_current_folder_are_written_as_this_system_writes_them(self):
        with CabFolder(with_good()) as cab:
            raw = cab.run("check", "Cab.dll").stdout.decode()
            here = ".\\" if TOOL.windows else "./"
            self.assertIn("fallback profile  " + here + "Ats.ini", raw)
            self.assertIn("main profile      " + here + "Cab.ini", raw)

    def test_an_absent_line_or_column_is_null(self):
        with CabFolder({"Cab.ini": "", "Cab.csv": GOOD_TABLE}) as cab:
            result, report = cab.check_json()
            self.assertEqual([(d["line"], d["column"]) for d in report["diagnostics"]],
                             [(None, None)])
            self.assertIn("./Cab.ini: error: gauge 0 draws nothing",
                          cab.run("check", "Cab.dll").stdout_text.split("\n")[-3])

    def test_the_report_lists_bindings_and_gauges_in_load_order(self):
        files = with_good("[FileName]\nGauge0 = missing\nGauge1 = second\n[KeyIndex]\n"
                          "ResetAdjustValue = k\n",
                          second_ini="[SubjectKey]\nSubject = AM\n[PanelIndex]\nNeedle = 22\n",
                          second_csv="-100,-90\n100,90\n")
        with CabFolder(files) as cab:
            _, report = cab.check_json()
            self.assertEqual([g["profile"] for g in report["gauges"]],
                             ["./Cab.ini", "./second.ini"])
            self.assertEqual(report["gauges"][1]["subject"]["reads"], "am")
            self.assertEqual(report["keyBindings"][8],
                             {"action": "ResetAdjustValue", "name": "k", "key": 14})

    def test_the_example_cab_is_clean(self):
        result = TOOL.run(["check", os.path.join("cab", "Mirevane.dll"), "--strict"],
                          cwd=EXAMPLES)
        self.assertEqual(result.returncode, 0, result.stdout_text)
        self.assertIn("0 errors, 0 warnings.", result.stdout_text)


if __name__ == "__main__":
    TOOL, EXAMPLES = fixtures.read_command_line()
    fixtures.run_tests()
