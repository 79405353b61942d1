"""What the end-to-end tests of the tool's commands share: the tool under test, throwaway
cab folders and sound configurations to build on, readers of its output, a synthetic
dial, and the main that reads the command line of every test script. Each script runs alone:

    python3 tests/tool/check/test_check.py --tool build/x/mirevane
        [--emulator /usr/lib/wine/wine64] [--wineprefix DIR] [--examples examples] [-k PATTERN]
"""
import argparse
import json
import math
import os
import re
import shutil
import struct
import sys
import tempfile
import unittest
import zlib

from tool_runner import Tool

TOOL = None
EXAMPLES = None
UNITTEST_ARGUMENTS = []

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


# A speedometer on panel 20 with the straight table 0 -> 0 degrees, 100 -> 270 degrees.
SPEEDOMETER = {"Cab.ini": GOOD_INI, "Cab.csv": GOOD_TABLE}


# A diagnostic of run, at column 0: FILE:LINE:COL: severity: message [code], LINE and COL
# only where they are known.
DIAGNOSTIC = re.compile(r"^[^\s:][^:]*(:\d+(:\d+)?)?: (error|warning): .+ \[[a-z0-9-]+\]$")


# The line in which run and calibrate name the cab's panel file (or say there is none): a
# report, not a diagnostic.
PANEL_LINE = re.compile(r"^panel: ")


def diagnostic_lines(result):
    return [l for l in result.stderr_text.split("\n") if l and not PANEL_LINE.match(l)]


def panel_lines(result):
    return [l for l in result.stderr_text.split("\n") if PANEL_LINE.match(l)]


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


def png_rgba(width, height, rows):
    """A PNG of 8-bit RGBA pixels: rows holds one bytes object of width * 4 bytes per row."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    pixels = b"".join(b"\0" + row for row in rows)
    return (b"\x89PNG\r\n\x1a\n" +
            chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


class PanelNeedle:
    """A [Needle] of a panel file as the host maps it: angle = InitialAngle + (value -
    Minimum) * (LastAngle - InitialAngle) / (Maximum - Minimum), held in range by Backstop."""

    def __init__(self, keys):
        self.subject = keys.get("subject", "").lower()
        self.initial = float(keys.get("initialangle", -120))
        self.last = float(keys.get("lastangle", 120))
        self.minimum = float(keys.get("minimum", 0))
        self.maximum = float(keys.get("maximum", 1000))
        self.backstop = keys.get("backstop", "false").lower() == "true"
        self.layer = int(keys.get("layer", 0))

    def angle(self, value):
        a = self.initial + (value - self.minimum) * (self.last - self.initial) / (
            self.maximum - self.minimum)
        if self.backstop:
            a = min(max(a, min(self.initial, self.last)), max(self.initial, self.last))
        return a


def read_panel_needles(path):
    """The [Needle] sections of a panel file, in file order."""
    needles = []
    keys = None
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.split(";")[0].strip()
            if line.startswith("["):
                if keys is not None:
                    needles.append(PanelNeedle(keys))
                keys = {} if line.lower() == "[needle]" else None
            elif keys is not None and "=" in line:
                key, value = line.split("=", 1)
                keys.setdefault(key.strip().lower(), value.strip())
    if keys is not None:
        needles.append(PanelNeedle(keys))
    return needles


def turn_gap(a, b):
    return abs((a - b + 180.0) % 360.0 - 180.0)


def read_command_line():
    """The tool under test and the example cab's folder, from the script's command line (the
    rest of it is unittest's); the tool's Wine started once for every test to share."""
    global TOOL, EXAMPLES, UNITTEST_ARGUMENTS
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--emulator")
    parser.add_argument("--wineprefix")
    parser.add_argument("--examples",
                        default=os.path.join(os.path.dirname(__file__), "..", "..", "examples"))
    args, UNITTEST_ARGUMENTS = parser.parse_known_args()
    TOOL = Tool(args.tool, args.emulator, args.wineprefix)
    TOOL.keep_wine_running()
    EXAMPLES = os.path.abspath(args.examples)
    return TOOL, EXAMPLES


def run_tests():
    """Runs the test cases of the script started (its __main__)."""
    unittest.main(argv=[sys.argv[0]] + UNITTEST_ARGUMENTS, verbosity=2)

