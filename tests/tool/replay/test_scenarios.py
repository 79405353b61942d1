"""End-to-end tests of how mirevane run reads a scenario: rows read again from a long file,
times that jump back or wrap, and frames made between key rows at --fps."""
import json
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

import tool_fixtures as fixtures
from tool_fixtures import CabFolder, SPEEDOMETER, GOOD_INI, trace_rows, with_good


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


if __name__ == "__main__":
    TOOL, EXAMPLES = fixtures.read_command_line()
    fixtures.run_tests()
