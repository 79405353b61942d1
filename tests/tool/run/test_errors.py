"""End-to-end tests of what mirevane run refuses and warns of: unreadable scenarios and paths
exit 2 with one located diagnostic; warnings leave the run going."""
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import (
    CabFolder, DIAGNOSTIC, GOOD_INI, GOOD_TABLE, SPEEDOMETER, diagnostic_lines, with_good)


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
                             r"^panel: none found [^\n]*\n"
                             r"long\.csv: error: the tool ran out of memory with this scenario "
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


if __name__ == "__main__":
    TOOL, EXAMPLES = fixtures.read_command_line()
    fixtures.run_tests()
