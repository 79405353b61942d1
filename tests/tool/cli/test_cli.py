"""End-to-end tests of mirevane's command line: arguments it refuses and the help texts."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import CabFolder, SPEEDOMETER


class CommandLine(unittest.TestCase):
    """The command line itself: arguments it cannot take, and the help."""

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


if __name__ == "__main__":
    fixtures.read_command_line()
    fixtures.run_tests()
