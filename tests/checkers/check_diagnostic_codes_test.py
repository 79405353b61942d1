#!/usr/bin/env python3
"""scripts/check-diagnostic-codes on a tiny tree: clean as written, and each planted fault in
the registry or at a raise is caught."""
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

CHECKER = Path(__file__).resolve().parents[2] / "scripts/check-diagnostic-codes"

REGISTRY = """\
    static const std::vector<DiagnosticKind> kinds = {
        {"table-missing", S::kError, "summary", "example", "fix"},
        {"output-refused", S::kError, "summary", "example", "fix", "run"},
        {"key-bound-twice", S::kWarning, "summary", "example", "fix"},
    };
"""
RAISES = """\
// A row is used however its code reaches DiagnosticOf, here through a note of its own.
const Note kTwice{"--key", "key-bound-twice"};
constexpr const char* kRefused = "output-refused";
constexpr const char* kDefault = "up-cw";
void Pass() {
    Add("table-missing", where,
        "the text may say anything-at-all");
    throw InputError(path, 0, 0, option + " " + Quote("a-b"), kRefused);
    Note(findings, twice ? "key-bound-twice" : "table-missing", file, 1, Format("x(y)"));
}
"""

# (what is planted, the text of raises.cpp, the text of the registry, what the report names)
PLANTED = [
    ("a raise of an unknown code", RAISES.replace('Add("table-missing"', 'Add("table-mising"'),
     REGISTRY, "raises.cpp:6: table-mising is not in"),
    ("an unknown code through a constant", RAISES.replace('= "output-refused"', '= "out-refused"'),
     REGISTRY, "raises.cpp:8: out-refused is not in"),
    ("an unknown code in a choice", RAISES.replace('"key-bound-twice" :', '"key-bound-2x" :'),
     REGISTRY, "raises.cpp:9: key-bound-2x is not in"),
    ("a row nothing names", RAISES.replace('twice ? "key-bound-twice" : ', "")
     .replace('"--key", "key-bound-twice"', '"--key"'), REGISTRY,
     "key-bound-twice is named nowhere"),
    ("a row written twice", RAISES, REGISTRY.replace("    };", '        {"table-missing", '
                                                     'S::kError, "s", "e", "f"},\n    };'),
     "table-missing has two rows"),
]


def check(raises, registry):
    with tempfile.TemporaryDirectory() as temp:
        root = Path(temp)
        common = root / "tools/mirevane/common"
        common.mkdir(parents=True)
        (common / "diagnostics.cpp").write_text(registry)
        (root / "tools/mirevane/check").mkdir()
        (root / "tools/mirevane/check/raises.cpp").write_text(raises)
        result = subprocess.run([sys.executable, str(CHECKER), "--root", str(root)],
                                capture_output=True, text=True)
        return result.returncode, result.stdout


class CheckDiagnosticCodesTest(unittest.TestCase):
    def test_clean_tree_passes(self):
        self.assertEqual(check(RAISES, REGISTRY), (0, ""))

    def test_planted_fault_fails(self):
        for what, raises, registry, reported in PLANTED:
            with self.subTest(what):
                code, out = check(raises, registry)
                self.assertEqual(code, 1, out)
                self.assertIn(reported, out)


if __name__ == "__main__":
    unittest.main()
