"""End-to-end tests of the mirevane tool: check diagnostics on small configurations, run
against values worked out by hand, key-frame interpolation, error exits and the SVG plot.

    python3 test_tool.py --tool build/x/mirevane [--emulator /usr/lib/wine/wine64]
        [--wineprefix DIR] [--examples examples]
"""
import argparse
import base64
import json
import math
import os
import pty
import re
import stat
import subprocess
import shutil
import sys
import tempfile
import threading
import time
import unittest
import xml.etree.ElementTree as ElementTree

from tool_runner import Tool

TOOL = None
EXAMPLES = None

# A PNG header is all the tool reads of a dial picture; 31 bytes, so that base64 needs its
# padding.
PNG_HEADER = b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x02\0\0\0\x03\x08\0\0\0\0\0\0"

# A plain speedometer needle that check finds nothing wrong with.
GOOD_INI = "[SubjectKey]\nSubject = kmph\n[PanelIndex]\nNeedle = 20\n"
GOOD_TABLE = "0,0\n100,270\n"


FOLDER = None  # in a CabFolder's files: a folder of that name


class CabFolder:
    """A throwaway folder holding a configuration; the tool runs inside it."""

    def __init__(self, files):
        self.path = tempfile.mkdtemp(prefix="mirevane-tool-")
        for name, content in files.items():
            if content is FOLDER:
                os.mkdir(os.path.join(self.path, name))
                continue
            data = content if isinstance(content, bytes) else content.encode("latin-1")
            with open(os.path.join(self.path, name), "wb") as f:
                f.write(data)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        shutil.rmtree(self.path, ignore_errors=True)

    def file(self, name):
        return os.path.join(self.path, name)

    def run(self, *args, stdin=None):
        return TOOL.run(list(args), cwd=self.path, stdin=stdin)

    def check_json(self, *extra):
        result = self.run("check", "Cab.dll", "--json", *extra)
        report = json.loads(result.stdout_text)
        return result, report


def diagnostics(report):
    return [(d["severity"], d["code"], d["file"], d["line"]) for d in report["diagnostics"]]


def trace_rows(text):
    lines = text.strip("\n").split("\n")
    header = lines[0].split(",")
    return [dict(zip(header, line.split(","))) for line in lines[1:]], header


def with_good(extra_ini="", table=GOOD_TABLE, **files):
    cab = {"Cab.ini": GOOD_INI + extra_ini, "Cab.csv": table}
    cab.update({name.replace("_", "."): text for name, text in files.items()})
    return cab


# An oval brake cylinder gauge of two images that check finds nothing wrong with; lines 1 to 8,
# so that added sections start on line 9.
OVAL_INI = ("[SubjectKey]\nSubject = bc\n[Ellipse]\nDivision = 2\nFlattening = 0.5\n"
            "[PanelIndex]\nEllipse0 = 30\nEllipse1 = 31\n")


def with_oval(extra_ini="", flattening="0.5"):
    return {"Cab.ini": OVAL_INI.replace("Flattening = 0.5", "Flattening = " + flattening) +
            extra_ini, "Cab.csv": GOOD_TABLE}


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
            self.assertEqual(report["schemaVersion"], 2)
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


# A speedometer on panel 20 with the straight table 0 -> 0 degrees, 100 -> 270 degrees.
SPEEDOMETER = {"Cab.ini": GOOD_INI, "Cab.csv": GOOD_TABLE}


class LongScenarios(unittest.TestCase):
    """A scenario of more rows than the tool keeps in memory is read again from its file, row
    by row: the same frames, and memory that does not grow with its length."""
    KEPT = 100_000  # the rows a scenario keeps in memory at most

    @staticmethod
    def scenario(rows):
        # Empty cells filled from the row above, key presses and an Initialize now and then.
        lines = ["time,speed,bc,keys,initialize"]
        for i in range(rows):
            lines.append("%d,%s,%d,%s,%s" % (16 * i, "" if i % 5 == 3 else i % 90,
                                              (i // 7) % 400, "A1" if i % 997 == 0 else "",
                                              "1" if i % 50_000 == 7 else ""))
        return "\n".join(lines) + "\n"

    def test_a_scenario_read_row_by_row_gives_the_frames_of_one_kept_whole(self):
        text = self.scenario(self.KEPT + 20_000)
        head = "".join(text.splitlines(True)[:self.KEPT - 10_000 + 1])
        with CabFolder(dict(SPEEDOMETER, **{"long.csv": text, "head.csv": head})) as cab:
            for extra in ([], ["--fps", "25"]):
                traces = []
                for name in ("long", "head"):
                    result = cab.run("run", "Cab.dll", "--scenario", name + ".csv",
                                     "--out", name + "-trace.csv", *extra)
                    self.assertEqual(result.returncode, 0, result.stderr_text)
                    with open(cab.file(name + "-trace.csv")) as f:
                        traces.append(f.read().splitlines())
                streamed, kept = traces
                # All of the shorter run's frames but its last, which closes it off its steps.
                self.assertGreater(len(kept), 30_000)
                self.assertEqual(streamed[:len(kept) - 1], kept[:-1], extra)

    def test_ten_times_the_rows_kept_run_in_little_memory(self):
        with open(TOOL.executable, "rb") as f:
            if b"__asan_init" in f.read():
                self.skipTest("an AddressSanitizer build's memory is mostly its own")
        with CabFolder(dict(SPEEDOMETER, **{"long.csv": self.scenario(10 * self.KEPT)})) as cab:
            null = "NUL" if TOOL.windows else os.devnull
            # The peak of the tool's process alone, measured by a process of its own.
            measure = ("import resource, subprocess, sys\n"
                       "subprocess.run(sys.argv[1:], check=True, capture_output=True)\n"
                       "print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n")
            result = subprocess.run(
                [sys.executable, "-c", measure] +
                TOOL.command(["run", "Cab.dll", "--scenario", "long.csv", "--out", null,
                              "--plot", "run.svg", "--html", "run.html"]),
                cwd=cab.path, env=TOOL.env, capture_output=True, text=True, timeout=600)
            self.assertEqual(result.returncode, 0, result.stderr[-2000:])
            peak_kb = int(result.stdout.split()[-1])
            self.assertLess(peak_kb, 100_000)  # it was 215 MB natively when rows were held


class TimeJumps(unittest.TestCase):
    """The host sets its time back on a restart or a jump to another place, and its 32-bit
    millisecond clock wraps: replayed as sent, on a time axis that runs on."""
    # A speedometer (entry 20) and a damped oval bc gauge on entries 30 and 31.
    CAB = with_good("[FileName]\nGauge0 = oval\n",
                    oval_ini="[SubjectKey]\nSubject = bc\n[Ellipse]\nDivision = 2\n"
                             "Flattening = 0.5\n[PanelIndex]\nEllipse0 = 30\nEllipse1 = 31\n"
                             "[Damping]\nNaturalFreq = 2\nDampingRatio = 0.3\n",
                    oval_csv="0,0\n500,270\n")
    # Back by 400 ms at line 5, back to 0 with Initialize at line 8, minutes apart.
    JUMPS = ("time,speed,bc,initialize\n0,0,0,\n60000,50,200,\n120000,80,300,\n"
             "119600,70,250,\n180000,60,200,\n240000,40,100,\n0,30,50,1\n60000,20,0,\n")

    def run_tool(self, scenario, *extra):
        with CabFolder(dict(self.CAB, **{"s.csv": scenario})) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "s.csv", "--out", "t.csv",
                             "--plot", "p.svg", "--html", "p.html", *extra)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            with open(cab.file("t.csv")) as f:
                rows, header = trace_rows(f.read())
            with open(cab.file("p.svg"), encoding="utf-8") as f:
                svg = f.read()
            with open(cab.file("p.html"), encoding="utf-8") as f:
                page = f.read()
        data = json.loads(page.split('<script id="dial-data" type="application/json">')[1]
                          .split("</script>")[0])
        return result, rows, header, svg, data

    def test_jumps_back_are_sent_as_they_come_and_said_once(self):
        for extra in ([], ["--fps", "10"]):
            result, rows, header, svg, data = self.run_tool(self.JUMPS, *extra)
            warnings = [l for l in result.stderr_text.splitlines() if "[scenario-time-jump]" in l]
            self.assertEqual(len(warnings), 1, result.stderr_text)
            self.assertTrue(warnings[0].startswith("s.csv:5: warning: the time goes back from "
                                                   "120000 to 119600 milliseconds"), warnings[0])
            self.assertIn("(1 later jump back not listed)", warnings[0])
            self.assertEqual(header[:2], ["time", "run_time"])
            times = [int(r["time"]) for r in rows]
            axis = [int(r["run_time"]) for r in rows]
            self.assertEqual(axis, sorted(axis))
            self.assertEqual(axis[-1], 300400)  # 0 ms for each jump back
            # The frames around each jump: the last before it at the row's own time, the
            # first after it at the row it jumps to; none made in between.
            backs = [i for i in range(1, len(rows)) if times[i] < times[i - 1]]
            self.assertEqual([(times[i - 1], times[i]) for i in backs],
                             [(120000, 119600), (240000, 0)], extra)
            self.assertEqual([axis[i] - axis[i - 1] for i in backs], [0, 0])
            # The speedometer shows each frame's speed: 70 km/h at 119600 is 189 degrees.
            self.assertEqual(rows[backs[0]]["panel20"], "369000")
            # One mark per jump in every chart, and on the page's time line.
            self.assertEqual(svg.count(">host time 120 s \u2192 119.6 s<"), 2)
            self.assertEqual(svg.count(">host time 240 s \u2192 0 s<"), 2)
            self.assertIn("run time (s)", svg)
            self.assertEqual([e["jump"] for e in data["events"] if "jump" in e],
                             ["host time 120 s \u2192 119.6 s", "host time 240 s \u2192 0 s"])

    def test_a_wrap_past_the_32_bit_range_is_a_step_forward(self):
        scenario = "time,speed\n2147482000,10\n2147483000,20\n-2147483000,30\n-2147482000,40\n"
        for extra in ([], ["--fps", "5"]):
            result, rows, header, svg, data = self.run_tool(scenario, *extra)
            self.assertNotIn("scenario-time-jump", result.stderr_text)
            axis = [int(r["run_time"]) for r in rows]
            self.assertEqual(axis[0], 2147482000)
            self.assertEqual(axis[-1], 2147482000 + 1000 + 1296 + 1000)  # 2^32 - 4294966000
            self.assertEqual(rows[-1]["time"], "-2147482000")
            self.assertEqual(axis, sorted(axis))
            self.assertNotIn("host time", svg)
            # Across the wrap the frames keep the rate, 200 ms apart, the last row closing.
            if extra:
                steps = [b - a for a, b in zip(axis, axis[1:])]
                self.assertEqual(steps, [200] * 16 + [96])

    def test_a_scenario_in_order_has_no_run_time_column(self):
        _, _, header, svg, _ = self.run_tool("time,speed\n0,0\n1000,50\n")
        self.assertEqual(header[:2], ["time", "panel20"])
        self.assertIn(">time (s)<", svg)


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
        page = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                            "configuration.md")
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


class KeyFrames(unittest.TestCase):
    """--fps: frames at a fixed rate between key rows, numbers interpolated."""

    def run_fps(self, scenario, fps, *extra):
        files = dict(SPEEDOMETER)
        files["Cab.csv"] = "0,0\n100,100\n"
        files["scenario.csv"] = scenario
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--fps", fps, *extra)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            return trace_rows(result.stdout_text)[0]

    def test_frames_every_step_with_linear_values(self):
        rows = self.run_fps("time,speed\n0,0\n1000,100\n", "4")
        self.assertEqual([(r["time"], r["panel20"]) for r in rows],
                         [("0", "180000"), ("250", "205000"), ("500", "230000"),
                          ("750", "255000"), ("1000", "280000")])

    def test_times_are_rounded_to_whole_milliseconds(self):
        # 1000/3 ms: 0, 333, 667, 1000. At 333 ms the speed is 33.3, the float
        # 33.29999923706055: 213.29999923706055 degrees -> 213299.
        rows = self.run_fps("time,speed\n0,0\n1000,100\n", "3")
        self.assertEqual([(r["time"], r["panel20"]) for r in rows],
                         [("0", "180000"), ("333", "213299"), ("667", "246699"),
                          ("1000", "280000")])

    def test_the_last_row_closes_the_range(self):
        rows = self.run_fps("time,speed\n0,0\n1100,110\n", "4")
        self.assertEqual([r["time"] for r in rows], ["0", "250", "500", "750", "1000", "1100"])
        self.assertEqual(rows[-1]["panel20"], "290000")

    def test_keys_fire_once_at_the_first_frame_at_or_after_their_row(self):
        scenario = "time,speed,keys\n0,0,\n600,60,C1\n1000,100,\n"
        files = {"Cab.ini": GOOD_INI + "[DeveloperMode]\nEnabled = 1\n",
                 "Cab.csv": "0,0\n100,100\n"}
        files["scenario.csv"] = scenario.replace("C1", "D")
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--fps", "4")
            rows = trace_rows(result.stdout_text)[0]
        # D at 600 ms reaches the frame at 750: Angle mode from there on, fixed angle 0.
        self.assertEqual([(r["time"], r["panel20"]) for r in rows],
                         [("0", "180000"), ("250", "205000"), ("500", "230000"),
                          ("750", "180000"), ("1000", "180000")])

    def test_location_integrates_the_generated_frames(self):
        files = {"Cab.ini": "[SubjectKey]\nSubject = bc\n[PanelIndex]\nNeedle = 20\n"
                            "[Vibration]\nPeriod = 3.6\nAmplitude = 1\n",
                 "Cab.csv": "0,0\n100,100\n"}
        # 36 km/h throughout: 2.5 m per 250 ms frame, a quarter of the 10 m cycle.
        files["scenario.csv"] = "time,speed,bc\n0,36,50\n1000,36,50\n"
        with CabFolder(files) as cab:
            rows = trace_rows(cab.run("run", "Cab.dll", "--scenario", "scenario.csv",
                                      "--fps", "4").stdout_text)[0]
        self.assertEqual([r["panel20"] for r in rows],
                         ["230000", "231000", "230000", "229000", "230000"])


# A diagnostic of run, at column 0: FILE:LINE:COL: severity: message [code], LINE and COL
# only where they are known.
DIAGNOSTIC = re.compile(r"^[^\s:][^:]*(:\d+(:\d+)?)?: (error|warning): .+ \[[a-z0-9-]+\]$")


def diagnostic_lines(result):
    return [l for l in result.stderr_text.split("\n") if l]


class ErrorExits(unittest.TestCase):
    """Unreadable input: one diagnostic naming file, line and column, exit status 2, no trace
    left."""

    CASES = [
        # name, scenario text or None for a missing file, the diagnostic's start
        ("missing scenario", None,
         "scenario.csv: error: cannot open the scenario file [scenario-unreadable]"),
        ("row with too few cells", "time,speed\n0,1\n10\n",
         "scenario.csv:3: error: row has 1 cells, the header 2 [scenario-bad-cell]"),
        ("row with too many cells", "time,speed\n0,1\n10,2,3\n",
         "scenario.csv:3:6: error: row has 3 cells, the header 2"),
        ("value that is not a number", "time,speed\n0,1\n10, fast\n",
         "scenario.csv:3:5: error: speed: 'fast' is not a number [scenario-bad-cell]"),
        ("time that is not an integer", "time,speed\n0.5,1\n",
         "scenario.csv:2:1: error: time: '0.5' is not a whole number of milliseconds"),
        ("unknown column", "time,sped\n0,1\n",
         "scenario.csv:1:6: error: unknown column 'sped': did you mean speed?"),
        ("a subject's keyword as a column", "time,kmph\n0,1\n",
         "scenario.csv:1:6: error: unknown column 'kmph': did you mean speed (kmph is the subject "
         "that reads it)?"),
        ("panel entry beyond 255", "time,panel256\n0,1\n",
         "scenario.csv:1:6: error: unknown column 'panel256': did you mean panelN with N from"),
        ("no time column", "speed\n1\n",
         "scenario.csv:1: error: the header has no 'time' column (host time in milliseconds)"),
        ("unknown key name", "time,keys\n0,A3\n", "scenario.csv:2:3: error: keys: 'A3'"),
        ("empty file", "", "scenario.csv: error: no header row"),
        ("semicolon-separated header", "time;speed\n0;1\n",
         "scenario.csv:1:1: error: the header is separated by semicolons"),
        ("semicolon-separated rows", "time,speed\n0;1\n",
         "scenario.csv:2: error: row has 1 cells, the header 2: separate the cells with commas"),
        ("quoted cells", "time,speed\n0,\"1,5\"\n",
         "scenario.csv:2:3: error: quoted cells are not read"),
    ]

    def test_each_error_exits_with_2_and_a_located_message(self):
        for name, scenario, words in self.CASES:
            files = dict(SPEEDOMETER)
            if scenario is not None:
                files["scenario.csv"] = scenario
            with self.subTest(name), CabFolder(files) as cab:
                result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv",
                                 "--out", "trace.csv", "--plot", "trace.svg")
                self.assertEqual(result.returncode, 2)
                lines = diagnostic_lines(result)
                self.assertEqual(len(lines), 1, result.stderr_text)
                self.assertTrue(lines[0].startswith(words), lines[0])
                self.assertRegex(lines[0], DIAGNOSTIC)
                # The reference explains the code as one of run's.
                code = re.search(r"\[([a-z0-9-]+)\]$", lines[0]).group(1)
                explained = cab.run("explain", code)
                self.assertEqual(explained.returncode, 0)
                self.assertTrue(explained.stdout_text.startswith(code + " (error of run)"))
                self.assertEqual(sorted(os.listdir(cab.path)), sorted(files))
                self.assertEqual(result.stdout, b"")

    def test_running_out_of_memory_is_a_located_error_and_writes_nothing(self):
        if TOOL.windows:
            self.skipTest("the address-space limit is set the POSIX way")
        with open(TOOL.executable, "rb") as f:
            if b"__asan_init" in f.read():
                self.skipTest("an AddressSanitizer build reserves more address space than the "
                              "limit leaves")
        import resource

        def limit():
            resource.setrlimit(resource.RLIMIT_AS, (300 * 1000 * 1000, 300 * 1000 * 1000))
        with CabFolder(dict(SPEEDOMETER)) as cab:
            # Rows are read one at a time: only a line longer than the memory exhausts it.
            with open(cab.file("long.csv"), "w") as f:
                f.write("time,speed\n0,1\n16," + " " * 400_000_000 + "2\n")
            result = subprocess.run(TOOL.command(["run", "Cab.dll", "--scenario", "long.csv",
                                                  "--out", "trace.csv", "--plot", "run.svg"]),
                                    cwd=cab.path, capture_output=True, preexec_fn=limit,
                                    timeout=300)
            self.assertEqual(result.returncode, 2, result.stderr[-500:])
            self.assertRegex(result.stderr.decode(),
                             r"^long\.csv: error: the tool ran out of memory with this scenario "
                             r"\(400 MB\).*nothing was written \[out-of-memory\]\n$")
            self.assertEqual(sorted(os.listdir(cab.path)), ["Cab.csv", "Cab.ini", "long.csv"])

    def test_an_earlier_trace_is_left_as_it_was(self):
        files = dict(SPEEDOMETER)
        files["scenario.csv"] = "time,speed\n0,1\n10,x\n"
        files["trace.csv"] = "earlier\n"
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out", "trace.csv")
            self.assertEqual(result.returncode, 2)
            with open(cab.file("trace.csv")) as f:
                self.assertEqual(f.read(), "earlier\n")

    def test_rows_at_one_time_are_allowed(self):
        files = dict(SPEEDOMETER)
        files["scenario.csv"] = "time,speed\n0,1\n100,2\n100,3\n"
        with CabFolder(files) as cab:
            for extra in ([], ["--fps", "10"]):
                result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", *extra)
                self.assertEqual(result.returncode, 0, result.stderr_text)

    def test_a_path_that_names_no_profile_is_an_error(self):
        files = dict(SPEEDOMETER)
        files["scenario.csv"] = "time\n0\n"
        with CabFolder(files) as cab:
            os.mkdir(cab.file("folder"))
            for path, words in (("folder", "folder: error: is a folder"),
                                ("Missing.dll", "Missing.dll: error: no main profile")):
                with self.subTest(path):
                    result = cab.run("run", path, "--scenario", "scenario.csv", "--plot", "p.svg")
                    self.assertEqual(result.returncode, 2)
                    lines = diagnostic_lines(result)
                    self.assertEqual(len(lines), 1, result.stderr_text)
                    self.assertTrue(lines[0].startswith(words), lines[0])
                    self.assertTrue(lines[0].endswith("[not-a-profile]"), lines[0])
                    self.assertEqual(result.stdout, b"")
                    self.assertFalse(os.path.exists(cab.file("p.svg")))
            checked = cab.run("check", "folder")
            self.assertEqual(checked.returncode, 2)
            self.assertEqual(diagnostic_lines(checked), [
                "folder: error: is a folder: name the plug-in's library or its main profile in it "
                "[not-a-profile]"])
            explained = cab.run("explain", "table-semicolon")
            self.assertEqual(explained.returncode, 2)
            self.assertIn("did you mean 'table-semicolons'?", explained.stderr_text)
            self.assertLess(len(explained.stderr_text), 200)  # not every code on one line

    def test_bad_arguments_exit_with_2_naming_the_program(self):
        with CabFolder(SPEEDOMETER) as cab:
            for args, words in (
                    (["check"], "mirevane check: error: PATH is required"),
                    (["run", "Cab.dll"], "mirevane run: error: --scenario is required"),
                    (["frobnicate"], "mirevane: error: unknown command 'frobnicate'"),
                    (["chek", "Cab.dll"], "did you mean 'check'?"),
                    (["rnu", "Cab.dll"], "did you mean 'run'?"),
                    (["plot", "Cab.dll"], "plots come from run --plot"),
                    ([], "mirevane: error: "),
                    (["check", "Cab.dll", "--colour"], "mirevane check: error: "),
                    (["run", "Cab.dll", "--scenario", "s.csv", "--fps", "0"],
                     "mirevane run: error: "),
                    (["run", "Cab.dll", "--scenario", "s.csv", "--fps", "many"],
                     "'many' is not a number")):
                with self.subTest(args=args):
                    result = cab.run(*args)
                    self.assertEqual(result.returncode, 2)
                    self.assertIn(words, result.stderr_text)
                    self.assertTrue(result.stderr_text.startswith("mirevane"), result.stderr_text)

    def test_help_speaks_to_a_cab_builder(self):
        with CabFolder({}) as cab:
            result = cab.run("run", "--help")
            self.assertEqual(result.returncode, 0)
            for words in ("--scenario", "--fps", "--plot", "empty cell repeats", "panelN"):
                self.assertIn(words, result.stdout_text)
            result = cab.run("--help")
            self.assertIn("Exit status", result.stdout_text)
            self.assertIn("--fps", result.stdout_text.split("Examples:")[1])
            for command in ([], ["check"], ["run"]):
                with self.subTest(command=command):
                    text = cab.run(*command, "--help").stdout_text
                    self.assertIn("Examples:", text)
                    too_long = [l for l in text.split("\n") if len(l) > 100]
                    self.assertEqual(too_long, [])

    def test_every_column_the_help_lists_is_read(self):
        # The help's column table and the reader come from one table: each name listed is
        # accepted in a header, and an unlisted one is not.
        with CabFolder({}) as cab:
            text = cab.run("run", "--help").stdout_text
        table = text.split("letter case:\n")[1].split("Every row")[0]
        names = [l.split()[0] for l in table.split("\n") if l.startswith("  ") and
                 not l.startswith("   ")]
        self.assertGreaterEqual(len(names), 16)
        header = ",".join(n.replace("N", "7") if n.endswith("N") else n for n in names)
        files = dict(SPEEDOMETER)
        files["scenario.csv"] = header + "\n" + ",".join("0" for _ in names) + "\n"
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv")
            self.assertEqual(result.returncode, 0, result.stderr_text)


# An oval gauge with damping, and the trace of a scenario whose rows are far apart.
DAMPED_OVAL = {"Cab.ini": "[SubjectKey]\nSubject = bc\n[Ellipse]\nDivision = 2\n"
                          "Flattening = 0.5\n[PanelIndex]\nEllipse0 = 30\nEllipse1 = 31\n"
                          "[Damping]\nNaturalFreq = 4\nDampingRatio = 1\n",
               "Cab.csv": "0,0\n100,100\n"}


class RunWarnings(unittest.TestCase):
    """Warnings on standard error, at column 0, that leave the run going."""

    def run_with(self, files, scenario, *extra):
        files = dict(files)
        files["scenario.csv"] = scenario
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", *extra)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            for line in diagnostic_lines(result):
                self.assertRegex(line, DIAGNOSTIC)
            return diagnostic_lines(result)

    def test_sparse_rows_with_damped_needles_suggest_fps(self):
        lines = self.run_with(DAMPED_OVAL, "time,bc\n0,0\n100,10\n350,20\n400,30\n")
        self.assertEqual(len(lines), 1, lines)
        self.assertTrue(lines[0].startswith("scenario.csv:4: warning: rows up to 250 "
                                            "milliseconds apart"), lines[0])
        self.assertIn("--fps", lines[0])
        self.assertTrue(lines[0].endswith("[sparse-frames]"))

    def test_no_sparse_warning_with_fps_close_rows_or_undamped_needles(self):
        self.assertEqual(self.run_with(DAMPED_OVAL, "time,bc\n0,0\n1000,10\n", "--fps", "30"), [])
        self.assertEqual(self.run_with(DAMPED_OVAL, "time,bc\n0,0\n100,10\n200,20\n"), [])
        self.assertEqual(self.run_with(SPEEDOMETER, "time,speed\n0,0\n5000,10\n"), [])

    def test_run_says_when_check_finds_errors(self):
        files = {"Cab.ini": GOOD_INI.replace("kmph", "speedo"), "Cab.csv": GOOD_TABLE}
        lines = self.run_with(files, "time\n0\n")
        self.assertEqual(lines, ["./Cab.ini: warning: check finds 1 error in this configuration: "
                                 "run 'mirevane check Cab.dll' [check-errors]"])
        # Warnings alone are check's business.
        files = with_good("[Vibration]\nPeriod = slow\n")
        self.assertEqual(self.run_with(files, "time\n0\n"), [])


class OutputSafety(unittest.TestCase):
    """The tool never replaces a file it did not make: refusals exit 2 and write nothing."""

    FURTHER = with_good("[FileName]\nGauge0 = second\n", second_ini=GOOD_INI.replace("20", "21"),
                        second_csv=GOOD_TABLE)

    CASES = [
        # name, files, arguments after --scenario scenario.csv, words of the message
        ("the main profile", SPEEDOMETER, ["--out", "Cab.ini"], "names the main profile"),
        ("the calibration table", SPEEDOMETER, ["--out", "Cab.csv"], "names gauge 0's table"),
        ("a table that does not exist yet", {"Cab.ini": GOOD_INI}, ["--plot", "Cab.svg",
                                                                    "--out", "Cab.csv"],
         "names gauge 0's table"),
        ("a further gauge's profile", FURTHER, ["--out", "second.ini"], "gauge 1's profile"),
        ("a further gauge's table", FURTHER, ["--out", "second.csv"], "gauge 1's table"),
        ("the fallback profile", dict(SPEEDOMETER, **{"Ats.ini": "[Vibration]\n"}),
         ["--out", "Ats.ini"], "names the fallback profile"),
        ("the scenario", SPEEDOMETER, ["--out", "scenario.csv"], "names the scenario"),
        ("the plug-in itself", dict(SPEEDOMETER, **{"Cab.dll": "MZ"}), ["--out", "Cab.dll"],
         "names the plug-in's path"),
        ("the scenario by another path", SPEEDOMETER, ["--out", "./sub/../scenario.csv"],
         "names the scenario"),
        ("one file for trace and plot", SPEEDOMETER, ["--out", "same.svg", "--plot", "same.svg"],
         "--out and --plot name the same file"),
        ("both on standard output", SPEEDOMETER, ["--plot", "-"], "name the same file"),
        ("a folder", SPEEDOMETER, ["--out", "sub"], "--out is a folder"),
        ("a plot that is not SVG", SPEEDOMETER, ["--plot", "run.png"], "SVG only"),
        # The page is an output like the others.
        ("a page over the main profile", SPEEDOMETER, ["--html", "Cab.ini"],
         "--html names the main profile"),
        ("a page over the table", SPEEDOMETER, ["--html", "Cab.csv"], "names gauge 0's table"),
        ("a page over the scenario", SPEEDOMETER, ["--html", "./sub/../scenario.csv"],
         "--html names the scenario"),
        ("a page over the plug-in itself", dict(SPEEDOMETER, **{"Cab.dll": "MZ"}),
         ["--html", "Cab.dll"], "names the plug-in's path"),
        ("a page over a dial picture", dict(SPEEDOMETER, **{"face.png": PNG_HEADER}),
         ["--html", "face.png", "--dial", "0=face.png,1,1,1"], "names gauge 0's dial picture"),
        ("one file for trace and page", SPEEDOMETER, ["--out", "same.html", "--html",
                                                      "same.html"],
         "--out and --html name the same file"),
        ("one file for plot and page", SPEEDOMETER, ["--plot", "same.svg", "--html", "same.svg"],
         "--plot and --html name the same file"),
        ("trace and page on standard output", SPEEDOMETER, ["--html", "-"], "name the same file"),
        ("a page into a folder", SPEEDOMETER, ["--html", "sub"], "--html is a folder"),
    ]

    def test_each_refusal_exits_with_2_and_writes_nothing(self):
        for name, files, args, words in self.CASES:
            files = dict(files)
            files["scenario.csv"] = "time,speed\n0,0\n10,50\n"
            with self.subTest(name), CabFolder(files) as cab:
                os.mkdir(cab.file("sub"))
                before = {n: open(cab.file(n), "rb").read() for n in files}
                result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", *args)
                self.assertEqual(result.returncode, 2, result.stderr_text)
                lines = diagnostic_lines(result)
                self.assertEqual(len(lines), 1, result.stderr_text)
                self.assertIn(words, lines[0])
                self.assertRegex(lines[0], DIAGNOSTIC)
                self.assertEqual(result.stdout, b"")
                self.assertEqual(sorted(os.listdir(cab.path)), sorted(list(files) + ["sub"]))
                self.assertEqual(os.listdir(cab.file("sub")), [])
                for n, content in before.items():
                    with open(cab.file(n), "rb") as f:
                        self.assertEqual(f.read(), content, n)

    def test_a_symbolic_link_is_refused_and_left_alone(self):
        if TOOL.windows:
            self.skipTest("symbolic links are a POSIX matter here")
        files = dict(SPEEDOMETER, **{"scenario.csv": "time\n0\n", "target.csv": "mine\n"})
        with CabFolder(files) as cab:
            # Named .svg too, so that --plot takes them.
            for extension in (".csv", ".svg"):
                os.symlink("target.csv", cab.file("link" + extension))
                os.symlink("nowhere.csv", cab.file("dangling" + extension))
            for option in ("--out", "--plot", "--html"):
                for link in ("link", "dangling"):
                    name = link + (".svg" if option == "--plot" else ".csv")
                    with self.subTest(option=option, link=name):
                        result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", option,
                                         name)
                        self.assertEqual(result.returncode, 2)
                        self.assertIn(option + " is a symbolic link", result.stderr_text)
                        self.assertTrue(os.path.islink(cab.file(name)))
            with open(cab.file("target.csv")) as f:
                self.assertEqual(f.read(), "mine\n")
            self.assertFalse(os.path.exists(cab.file("nowhere.csv")))

    def test_the_windows_null_device_is_written_in_place(self):
        if not TOOL.windows:
            self.skipTest("NUL is a Windows device")
        files = dict(SPEEDOMETER, **{"scenario.csv": "time,speed\n0,0\n10,50\n"})
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out", "NUL")
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertEqual(sorted(os.listdir(cab.path)), sorted(files))

    def test_devices_and_pipes_are_written_in_place(self):
        # /dev/null must stay the device (as root, a rename would replace it), and a FIFO
        # must deliver the trace to its reader.
        if TOOL.windows:
            self.skipTest("/dev/null and FIFOs are POSIX files")
        files = dict(SPEEDOMETER, **{"scenario.csv": "time,speed\n0,0\n10,50\n"})
        with CabFolder(files) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out", "/dev/null",
                             "--plot", "/dev/null")
            self.assertEqual(result.returncode, 2)  # one file for both: refused
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out", "/dev/null")
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertTrue(stat.S_ISCHR(os.stat("/dev/null").st_mode))
            fifo = cab.file("trace.fifo")
            os.mkfifo(fifo)
            received = []
            reader = threading.Thread(target=lambda: received.append(open(fifo, "rb").read()))
            reader.start()
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out", "trace.fifo")
            reader.join(60)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertEqual(received, [b"time,panel20,clipboard\n0,180000,\n10,315000,\n"])
            self.assertTrue(stat.S_ISFIFO(os.stat(fifo).st_mode))
            self.assertEqual(sorted(os.listdir(cab.path)), sorted(list(files) + ["trace.fifo"]))

    def test_dash_is_standard_output_and_standard_input(self):
        scenario = b"time,speed\n0,0\n10,50\n"
        with CabFolder(SPEEDOMETER) as cab:
            result = cab.run("run", "Cab.dll", "--scenario", "-", "--out", "-", stdin=scenario)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertEqual(result.stdout, b"time,panel20,clipboard\n0,180000,\n10,315000,\n")
            result = cab.run("run", "Cab.dll", "--scenario", "-", "--out", "t.csv", "--plot", "-",
                             stdin=scenario)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertTrue(ElementTree.fromstring(result.stdout).tag.endswith("svg"))
            result = cab.run("run", "Cab.dll", "--scenario", "-", "--out", "t.csv", "--html", "-",
                             stdin=scenario)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertTrue(result.stdout.startswith(b"<!DOCTYPE html>"))
            result = cab.run("run", "Cab.dll", "--scenario", "-", stdin=b"time,speed\n0,x\n")
            self.assertEqual(result.returncode, 2)
            self.assertTrue(result.stderr_text.startswith("<stdin>:2:3: error: speed: 'x'"))

    def test_a_replaced_file_keeps_its_permissions(self):
        if TOOL.windows:
            self.skipTest("POSIX permissions")
        files = dict(SPEEDOMETER, **{"scenario.csv": "time\n0\n", "trace.csv": "old\n"})
        with CabFolder(files) as cab:
            os.chmod(cab.file("trace.csv"), 0o640)
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out", "trace.csv")
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertEqual(stat.S_IMODE(os.stat(cab.file("trace.csv")).st_mode), 0o640)

    def test_out_plot_and_html_replace_earlier_files_and_leave_nothing_else(self):
        files = dict(SPEEDOMETER)
        files.update({"scenario.csv": "time,speed\n0,0\n10,50\n", "trace.csv": "old\n",
                      "plot.svg": "old\n", "page.html": "old\n",
                      # A name the tool might have used for its stand-in: never touched.
                      "trace.csv.partial": "mine\n", ".trace.csv.mirevane-0.partial": "mine\n"})
        with CabFolder(files) as cab:
            to_stdout = cab.run("run", "Cab.dll", "--scenario", "scenario.csv")
            result = cab.run("run", "Cab.dll", "--scenario", "scenario.csv", "--out", "trace.csv",
                             "--plot", "plot.svg", "--html", "page.html")
            self.assertEqual(result.returncode, 0, result.stderr_text)
            self.assertEqual(result.stdout, b"")
            with open(cab.file("page.html"), "rb") as f:
                self.assertTrue(f.read().startswith(b"<!DOCTYPE html>"))
            with open(cab.file("trace.csv"), "rb") as f:
                trace = f.read()
            # LF line ends from every build, on standard output as in a file.
            self.assertEqual(trace, b"time,panel20,clipboard\n0,180000,\n10,315000,\n")
            self.assertEqual(to_stdout.stdout, trace)
            ElementTree.parse(cab.file("plot.svg"))
            self.assertEqual(sorted(os.listdir(cab.path)), sorted(files))
            for stand_in in ("trace.csv.partial", ".trace.csv.mirevane-0.partial"):
                with open(cab.file(stand_in)) as f:
                    self.assertEqual(f.read(), "mine\n")


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


class Progress(unittest.TestCase):
    def test_a_long_run_shows_progress_on_a_terminal_only(self):
        if TOOL.windows:
            self.skipTest("a Linux terminal")
        # Ten million frames (the most --fps makes) with every stage written: some seconds on
        # this kind of machine; skipped where it runs faster than the progress line waits.
        files = dict(SPEEDOMETER, **{"scenario.csv": "time,speed\n0,0\n9999999,100\n"})
        with CabFolder(files) as cab:
            args = ["run", "Cab.dll", "--scenario", "scenario.csv", "--fps", "1000", "--detail",
                    "--out", os.devnull]
            piped = cab.run(*args)
            self.assertEqual((piped.returncode, piped.stderr), (0, b""))
            leader, follower = pty.openpty()
            started = time.monotonic()
            process = subprocess.run(TOOL.command(args), cwd=cab.path, stderr=follower,
                                     stdout=subprocess.DEVNULL, timeout=300)
            seconds = time.monotonic() - started
            os.close(follower)
            shown = b""
            while True:
                try:
                    chunk = os.read(leader, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                shown += chunk
            os.close(leader)
            self.assertEqual(process.returncode, 0)
            if seconds < 2.5:
                self.skipTest("the run took %.1f s: too fast to show progress" % seconds)
            self.assertIn(b"mirevane run: frame ", shown)
            self.assertIn(b"of 10000000 (", shown)
            # Erased at the end: the last thing written returns to the line's start.
            self.assertTrue(shown.endswith(b"\r"), shown[-80:])


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


CONVENTIONS = {"right": 0.0, "down": 90.0, "left": 180.0, "up": -90.0}


class SyntheticDial:
    """A dial picture worked out by the test: the hub, and where the host draws the needle
    for a table angle, in pixels (x right, y down), for a round dial or an oval one through
    the plug-in's drawing of an elliptic gauge: direction atan2(b sin(a - r), cos(a - r)) + r
    for panel angle a, b = 1 - flattening, r the rotate angle."""

    def __init__(self, angles, flattening=0.0, rotate=0.0, hub=(400.0, 300.0), radius=200.0):
        zero, sense = angles.split("-")
        self.zero = CONVENTIONS[zero]
        self.sense = 1.0 if sense == "cw" else -1.0
        self.flattening = flattening
        self.rotate = rotate
        self.hub = hub
        self.radius = radius

    def screen(self, frame_degrees, length):
        t = math.radians(self.zero + self.sense * frame_degrees)
        return (self.hub[0] + length * math.cos(t), self.hub[1] + length * math.sin(t))

    def drawn(self, table_angle):
        a = math.radians(table_angle + 180.0 - self.rotate)
        b = 1.0 - self.flattening
        return math.degrees(math.atan2(b * math.sin(a), math.cos(a))) + self.rotate

    def mark(self, table_angle):
        return self.screen(self.drawn(table_angle), self.radius * 0.9)

    def rim(self, t_degrees):
        t = math.radians(t_degrees)
        b = 1.0 - self.flattening
        x, y = math.cos(t), b * math.sin(t)
        r = math.radians(self.rotate)
        frame = math.degrees(math.atan2(x * math.sin(r) + y * math.cos(r),
                                        x * math.cos(r) - y * math.sin(r)))
        return self.screen(frame, self.radius * math.hypot(x, y))

    def direction_on_screen(self, panel_degrees):
        return (self.zero + self.sense * panel_degrees) % 360.0


def turn_gap(a, b):
    return abs((a - b + 180.0) % 360.0 - 180.0)


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
                        self.assertAlmostEqual(float(got), want, delta=0.05)  # the issue's bound

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
            self.assertEqual(result.stderr_text, "")

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


def main():
    global TOOL, EXAMPLES
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--emulator")
    parser.add_argument("--wineprefix")
    parser.add_argument("--examples",
                        default=os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
    args, rest = parser.parse_known_args()
    TOOL = Tool(args.tool, args.emulator, args.wineprefix)
    TOOL.keep_wine_running()
    EXAMPLES = os.path.abspath(args.examples)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
