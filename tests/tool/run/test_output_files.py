"""End-to-end tests of where mirevane run writes: it never replaces a file it did not make,
writes devices, pipes and standard output in place, and shows progress on a terminal only."""
import os
import pty
import stat
import subprocess
import sys
import threading
import time
import unittest
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import (
    CabFolder, DIAGNOSTIC, GOOD_INI, GOOD_TABLE, PNG_HEADER, SPEEDOMETER, diagnostic_lines,
    with_good)


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
            self.assertTrue(diagnostic_lines(result)[0].startswith("<stdin>:2:3: error: speed: 'x'"))

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
            # Only the line that says there is no panel.
            self.assertEqual((piped.returncode, diagnostic_lines(piped)), (0, []))
            self.assertEqual(len(piped.stderr_text.split("\n")), 2, piped.stderr_text)
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


if __name__ == "__main__":
    TOOL, EXAMPLES = fixtures.read_command_line()
    fixtures.run_tests()
