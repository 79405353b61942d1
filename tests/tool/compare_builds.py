"""The native tool and a Windows build of it (under Wine, reading the profiles through the
real Windows profile functions) must write byte-identical traces for the example scenarios,
and the same check report.

    python3 compare_builds.py --native build/native/mirevane --windows build/win64/mirevane.exe
        --emulator /usr/lib/wine/wine64 [--wineprefix DIR] [--examples examples]
"""
import argparse
import os
import sys

from tool_runner import Tool

# (folder the host would run in, plug-in path from there, scenario, frames per second)
SCENARIOS = [
    (".", "cab/Mirevane.dll", "scenarios/run.csv", "30"),
    ("calibration", "../cab/Mirevane.dll", "calibration.csv", "20"),
]


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
            elif a.stdout != b.stdout:
                print("FAIL %s: traces differ at %s" % (name, first_difference(a.stdout,
                                                                              b.stdout)))
                failures += 1
            else:
                rows = a.stdout.count(b"\n") - 1
                print("same %s (%d frames, %d bytes)" % (name, rows, len(a.stdout)))
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
