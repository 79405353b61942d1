"""The native tool and a Windows build of it (under Wine, reading the profiles through the
real Windows profile functions) must write byte-identical traces for the example scenarios,
and the same check report.

With --detail the traces also carry every gauge's intermediate doubles to 17 digits. Those
pass through exp, sin, cos, cosh and atan2, which the C runtimes compute differently in the
last bit (glibc against msvcrt: about one argument in a thousand). Their cells may differ by
a few units in the last place; every other cell, the panel entries included, must be equal.

    python3 compare_builds.py --native build/native/mirevane --windows build/win64/mirevane.exe
        --emulator /usr/lib/wine/wine64 [--wineprefix DIR] [--examples examples]
"""
import argparse
import os
import struct
import sys

from tool_runner import Tool

# (folder the host would run in, plug-in path from there, scenario, frames per second)
SCENARIOS = [
    (".", "cab/Mirevane.dll", "scenarios/run.csv", "30"),
    ("calibration", "../cab/Mirevane.dll", "calibration.csv", "20"),
]


# The example run shows at most 4 units in the last place: one per libm call in a frame,
# carried by the damping into its next segment. A real fault differs by millions.
MAX_ULPS = 16
DOUBLE_COLUMNS = ("_value", "_vibrated", "_angle", "_damped")


def ulps_apart(a, b):
    def ordered(x):
        bits = struct.unpack("<q", struct.pack("<d", x))[0]
        return bits if bits >= 0 else -(bits & 0x7FFFFFFFFFFFFFFF)
    return abs(ordered(a) - ordered(b))


def compare_detail(a, b):
    """None when the traces agree as the docstring says; otherwise what differs. Also the
    number of double cells that differ and the largest distance, for the log."""
    lines_a, lines_b = a.decode().split("\n"), b.decode().split("\n")
    if len(lines_a) != len(lines_b) or lines_a[0] != lines_b[0]:
        return "headers or lengths differ", 0, 0
    header = lines_a[0].split(",")
    cells = 0
    worst = 0
    for number, (x, y) in enumerate(zip(lines_a[1:], lines_b[1:]), 2):
        for column, p, q in zip(header, x.split(","), y.split(",")):
            if p == q:
                continue
            if not column.endswith(DOUBLE_COLUMNS):
                return "line %d, %s: %s against %s" % (number, column, p, q), cells, worst
            distance = ulps_apart(float(p), float(q))
            cells += 1
            worst = max(worst, distance)
            if distance > MAX_ULPS:
                return ("line %d, %s: %s against %s, %d ulps apart"
                        % (number, column, p, q, distance), cells, worst)
    return None, cells, worst


def first_difference(a, b):
    lines_a, lines_b = a.split(b"\n"), b.split(b"\n")
    for number, (x, y) in enumerate(zip(lines_a, lines_b), 1):
        if x != y:
            return "line %d:\n  native:  %r\n  windows: %r" % (number, x[:200], y[:200])
    return "lengths differ: %d and %d lines" % (len(lines_a), len(lines_b))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--native", required=True)
    parser.add_argument("--windows", required=True)
    parser.add_argument("--emulator", required=True)
    parser.add_argument("--wineprefix")
    parser.add_argument("--examples",
                        default=os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
    args = parser.parse_args()
    if not os.path.exists(args.native):
        print("the native tool %s is missing: build the native preset first" % args.native)
        return 1
    native = Tool(args.native)
    windows = Tool(args.windows, args.emulator, args.wineprefix)
    windows.keep_wine_running()
    examples = os.path.abspath(args.examples)

    failures = 0
    compared = 0
    for folder, plugin, scenario, fps in SCENARIOS:
        cwd = os.path.join(examples, folder)
        for extra in ([], ["--detail"]):
            command = ["run", plugin, "--scenario", scenario, "--fps", fps] + extra
            a = native.run(command, cwd)
            b = windows.run(command, cwd)
            name = " ".join(command)
            if a.returncode != 0 or b.returncode != 0:
                print("FAIL %s: exit %d and %d\n%s%s" % (name, a.returncode, b.returncode,
                                                         a.stderr_text, b.stderr_text))
                failures += 1
            elif a.stdout == b.stdout:
                rows = a.stdout.count(b"\n") - 1
                print("same %s (%d frames, %d bytes)" % (name, rows, len(a.stdout)))
                compared += 1
            elif not extra:
                print("FAIL %s: traces differ at %s" % (name, first_difference(a.stdout,
                                                                              b.stdout)))
                failures += 1
            else:
                problem, cells, worst = compare_detail(a.stdout, b.stdout)
                if problem:
                    print("FAIL %s: %s" % (name, problem))
                    failures += 1
                else:
                    print("same %s but for %d doubles at most %d ulps apart (C runtime maths)"
                          % (name, cells, worst))
                    compared += 1
        # The report, too: the Windows tool reads the profiles through the Windows functions.
        command = ["check", plugin, "--json"]
        a = native.run(command, cwd)
        b = windows.run(command, cwd)
        if a.stdout_text != b.stdout_text or a.returncode != b.returncode:
            print("FAIL %s in %s: reports differ" % (" ".join(command), folder))
            print(first_difference(a.stdout_text.encode(), b.stdout_text.encode()))
            failures += 1
        else:
            print("same %s in %s" % (" ".join(command), folder))
            compared += 1
    print("%d comparisons, %d failures" % (compared + failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
