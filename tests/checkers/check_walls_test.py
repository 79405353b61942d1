#!/usr/bin/env python3
"""scripts/check-walls on a tiny tree: clean as built, and each planted include across a wall
is caught with its file and line."""
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

CHECKER = Path(__file__).resolve().parents[2] / "scripts/check-walls"

ROOMS = """\
# the order, lowest first
mirevane_room(base
    FACE open.h)
mirevane_room(middle USES base
    FACE middle.h)
mirevane_room(top USES base middle)
"""
CORE = """\
set(CORE_FOLDERS low high low/side)
set(CORE_UPWARD_INCLUDES
    src/low/knot.cpp:high/high.h)
"""
# A clean tree: every file and what it includes.
FILES = {
    "tools/mirevane/base/open.h": ['"low/low.h"'],
    "tools/mirevane/base/open.cpp": ['"base/open.h"', '"base/hidden.h"'],
    "tools/mirevane/base/hidden.h": [],
    "tools/mirevane/middle/middle.h": ['"base/open.h"'],
    "tools/mirevane/middle/inner.h": [],
    "tools/mirevane/top/main.cpp": ['"middle/middle.h"', '"base/open.h"', "<vector>"],
    "src/low/low.h": [],
    "src/low/knot.cpp": ['"high/high.h"'],
    "src/high/high.h": ['"low/low.h"'],
    "src/low/side/side.cpp": ['"high/high.h"', '"low/low.h"'],
    "tests/tool/base/hidden_test.cpp": ['"base/hidden.h"', '"middle/middle.h"'],
    "tests/tool/runner.cpp": ['"support/temp_dir.h"', '"middle/middle.h"'],
    "fuzz/one_fuzz.cpp": ['"fuzz_cab.h"', '"base/open.h"'],
}

# (what is planted, file, its new include or None for a text change, what the report names)
PLANTED = [
    ("a room includes a room above it", "tools/mirevane/base/open.h", '"middle/middle.h"',
     'open.h:2: "middle/middle.h": room middle is not one'),
    ("a room includes a private header of a room below", "tools/mirevane/top/main.cpp",
     '"base/hidden.h"', 'main.cpp:4: "base/hidden.h": a private header of room base'),
    ("a room includes a room it does not declare", "tools/mirevane/top/main.cpp",
     '"elsewhere/x.h"', 'main.cpp:4: "elsewhere/x.h": no room or core folder'),
    ("the core includes the tool", "src/high/high.h", '"middle/middle.h"',
     'high.h:2: "middle/middle.h": the core includes only src/'),
    ("a core folder includes one above it", "src/low/low.h", '"high/high.h"',
     'low.h:1: "high/high.h": src/high is above src/low'),
    ("a folder includes a more specific folder above it", "src/low/low.h", '"low/side/x.h"',
     'low.h:1: "low/side/x.h": src/low/side is above src/low'),
    ("a unit test includes another room's private header", "tests/tool/base/hidden_test.cpp",
     '"middle/inner.h"', 'hidden_test.cpp:3: "middle/inner.h": a private header of room middle'),
    ("a face header includes a private one of its room", "tools/mirevane/middle/middle.h",
     '"middle/inner.h"', 'middle.h:2: "middle/inner.h": a face header includes a private one'),
    ("a fuzz target includes a private header", "fuzz/one_fuzz.cpp", '"top/main.h"',
     'one_fuzz.cpp:3: "top/main.h": a private header of room top'),
]


def write_tree(root, files=FILES):
    (root / "tools/mirevane").mkdir(parents=True)
    (root / "tools/mirevane/CMakeLists.txt").write_text(ROOMS)
    (root / "CMakeLists.txt").write_text(CORE)
    for name, included in files.items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        lines = [f"#include {h}" if h.startswith(("<", '"')) else h for h in included]
        path.write_text("".join(line + "\n" for line in lines))


def check(root):
    result = subprocess.run([sys.executable, str(CHECKER), "--root", str(root)],
                            capture_output=True, text=True)
    return result.returncode, result.stdout


class CheckWallsTest(unittest.TestCase):
    def setUp(self):
        self.temp = tempfile.TemporaryDirectory()
        self.root = Path(self.temp.name)
        write_tree(self.root)

    def tearDown(self):
        self.temp.cleanup()

    def test_clean_tree_passes(self):
        self.assertEqual(check(self.root), (0, ""))

    def test_planted_include_fails_with_its_place(self):
        for what, name, header, reported in PLANTED:
            with self.subTest(what), tempfile.TemporaryDirectory() as temp:
                root = Path(temp)
                files = dict(FILES)
                files[name] = files[name] + [header]
                write_tree(root, files)
                code, out = check(root)
                self.assertEqual(code, 1, out)
                self.assertIn(reported, out)
                self.assertEqual(out.count("\n"), 2, out)  # the one finding and the total

    def test_declarations_are_checked(self):
        rooms = self.root / "tools/mirevane/CMakeLists.txt"
        cases = [
            ("use before declaration", ROOMS.replace("(middle USES base", "(middle USES base top"),
             "room middle uses top, which is not declared before it"),
            ("face names no file", ROOMS.replace("FACE open.h", "FACE open.h gone.h"),
             "room base's face names gone.h, which base/ does not hold"),
            ("folder without a room", ROOMS.replace("mirevane_room(top USES base middle)", ""),
             "tools/mirevane/top/: a folder no mirevane_room declares"),
        ]
        for what, text, reported in cases:
            with self.subTest(what):
                rooms.write_text(text)
                code, out = check(self.root)
                self.assertEqual(code, 1, out)
                self.assertIn(reported, out)
        rooms.write_text(ROOMS)

    def test_an_untied_knot_must_leave_the_list(self):
        (self.root / "src/low/knot.cpp").write_text("")
        code, out = check(self.root)
        self.assertEqual(code, 1)
        self.assertIn("lists src/low/knot.cpp:high/high.h, which no longer crosses upward", out)


if __name__ == "__main__":
    unittest.main()
