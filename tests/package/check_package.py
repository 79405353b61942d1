#!/usr/bin/env python3
"""Checks the release package as a cab builder gets it: unpacked into a fresh folder, its
file list, sizes and sums, the version of every binary, both DLLs read as binaries, and the
packaged tool run on the packaged example under Wine against the native tool.

    check_package.py --native build/native/mirevane --win32 build/win32 --win64 build/win64
        [--dist dist]

The package must be named after the native tool's version. Where this machine cannot
execute 32-bit code (scripts/can-run-i386), the 64-bit tool build of the same sources runs
in the packaged tool's place, on the packaged example.
"""
import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "package"))
sys.path.insert(0, os.path.join(ROOT, "tests", "tool"))
from pe_version import read_version  # noqa: E402
from tool_runner import Tool  # noqa: E402

# What a cab builder is promised, beyond the examples and documents copied from the sources.
PROMISED = {"README.txt", "MANIFEST", "SHA256SUMS", "mirevane.exe", "x86/Mirevane.dll",
            "x64/Mirevane.dll", "docs/tool.md"}
BINARIES = {"mirevane.exe": "mirevane.exe", "x86/Mirevane.dll": "Mirevane.dll",
            "x64/Mirevane.dll": "Mirevane.dll"}


class Checks:
    def __init__(self):
        self.failures = []

    def expect(self, condition, text):
        if not condition:
            self.failures.append(text)
        return condition


def source_files():
    """Files the package copies from the sources: the examples, and the documents that exist."""
    expected = {}
    for folder, _, names in os.walk(os.path.join(ROOT, "examples")):
        for name in names:
            path = os.path.join(folder, name)
            expected["examples/" + os.path.relpath(path, os.path.join(ROOT, "examples"))
                     .replace(os.sep, "/")] = path
    for name in ("tool.md", "configuration.md"):
        if os.path.exists(os.path.join(ROOT, "docs", name)):
            expected["docs/" + name] = os.path.join(ROOT, "docs", name)
    return expected


def expect_same_names(listed, present, listing, checks):
    checks.expect(listed == present, "%s lists %s beyond the package and misses %s"
                  % (listing, sorted(listed - present), sorted(present - listed)))


def check_contents(folder, names, version, checks):
    def read(name):
        with open(os.path.join(folder, name), "rb") as f:
            return f.read()

    present = set(names)
    sources = source_files()
    for name in sorted((PROMISED | set(sources)) - present):
        checks.expect(False, "missing from the package: " + name)
    for name, path in sorted(sources.items()):
        if name in present:
            with open(path, "rb") as f:
                checks.expect(read(name) == f.read(), name + " differs from the sources")

    sums = {}
    for line in read("SHA256SUMS").decode().splitlines():
        match = re.fullmatch(r"([0-9a-f]{64})  (\S+)", line)
        if checks.expect(match, "SHA256SUMS: unreadable line %r" % line):
            sums[match.group(2)] = match.group(1)
    expect_same_names(set(sums), present - {"SHA256SUMS"}, "SHA256SUMS", checks)
    for name, digest in sums.items():
        if name in present:
            checks.expect(hashlib.sha256(read(name)).hexdigest() == digest,
                          "SHA256SUMS: wrong sum for " + name)

    manifest = read("MANIFEST").decode().splitlines()
    checks.expect(manifest[0] == "Mirevane %s for Windows" % version,
                  "MANIFEST names another version: " + manifest[0])
    listed = {}
    for line in manifest[3:]:
        name, size, file_version = line.split()[:3]
        listed[name] = (int(size), file_version)
    expect_same_names(set(listed), present - {"MANIFEST", "SHA256SUMS"}, "MANIFEST", checks)
    for name, (size, file_version) in listed.items():
        if name in present:
            checks.expect(size == len(read(name)), "MANIFEST: wrong size for " + name)
            checks.expect(file_version == (version if name in BINARIES else "-"),
                          "MANIFEST: version %s for %s" % (file_version, name))

    readme = read("README.txt").decode("ascii", "replace")
    checks.expect("Mirevane %s for Windows" % version in readme and "@" not in readme,
                  "README.txt does not carry the version")
    checks.expect("\n" not in readme.replace("\r\n", ""), "README.txt has other than CRLF lines")

    for name, file_name in BINARIES.items():
        if name not in present:
            continue
        info = read_version(os.path.join(folder, name))
        numbers = tuple(int(n) for n in version.split(".")) + (0,)
        checks.expect(info["fixed file"] == numbers and info["fixed product"] == numbers
                      and info.get("FileVersion") == version
                      and info.get("ProductVersion") == version
                      and info.get("ProductName") == "Mirevane"
                      and info.get("OriginalFilename") == file_name,
                      "%s: version resource %r, expected %s" % (name, info, version))


def check_binaries(folder, win32, checks):
    script = os.path.join(ROOT, "tests", "dll", "check_dll_binary.py")
    runs = [("x86/Mirevane.dll", ["--objdump", "i686-w64-mingw32-objdump", "--machine", "i386",
                                  "--symbols", os.path.join(win32, "Mirevane.dll.debug")]),
            ("x64/Mirevane.dll", ["--objdump", "x86_64-w64-mingw32-objdump",
                                  "--machine", "x86-64"])]
    for name, options in runs:
        result = subprocess.run([sys.executable, script, *options, os.path.join(folder, name)],
                                capture_output=True, text=True)
        print(result.stdout.strip().splitlines()[-1] if result.stdout.strip() else "")
        checks.expect(result.returncode == 0,
                      "binary check of %s failed:\n%s" % (name, result.stdout + result.stderr))


def check_tool(folder, native, win32, win64, checks):
    if subprocess.run([os.path.join(ROOT, "scripts", "can-run-i386")]).returncode == 0:
        tool, emulator = os.path.join(folder, "mirevane.exe"), "wine"
        prefix = os.path.join(win32, "wineprefix")
    else:
        print("This machine cannot execute 32-bit code: the 64-bit tool build runs in the "
              "packaged tool's place.")
        tool, emulator = os.path.join(win64, "mirevane.exe"), "/usr/lib/wine/wine64"
        prefix = os.path.join(win64, "wineprefix")
    windows = Tool(tool, emulator, prefix)
    windows.keep_wine_running()
    examples = os.path.join(folder, "examples")

    expected = subprocess.run([native, "--version"], capture_output=True, text=True).stdout
    result = windows.run(["--version"], examples)
    checks.expect(result.stdout_text == expected,
                  "%s --version says %r, the native tool %r" % (tool, result.stdout_text, expected))
    result = windows.run(["check", "cab/Mirevane.dll"], examples)
    checks.expect(result.returncode == 0, "check of the packaged example exits %d:\n%s"
                  % (result.returncode, result.stdout_text + result.stderr_text))
    compare = subprocess.run([sys.executable, os.path.join(ROOT, "tests", "tool",
                                                           "compare_builds.py"),
                              "--native", native, "--windows", tool, "--emulator", emulator,
                              "--wineprefix", prefix, "--examples", examples],
                             capture_output=True, text=True)
    print(compare.stdout.strip())
    checks.expect(compare.returncode == 0, "the packaged tool's traces differ from the native "
                  "tool's:\n" + compare.stdout + compare.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--native", required=True, help="the native build's mirevane")
    parser.add_argument("--win32", required=True, help="the win32 build folder")
    parser.add_argument("--win64", required=True, help="the win64 build folder")
    parser.add_argument("--dist", default=os.path.join(ROOT, "dist"))
    args = parser.parse_args()
    start = time.monotonic()

    version = subprocess.run([args.native, "--version"], capture_output=True, text=True,
                             check=True).stdout.split()[-1]
    package = os.path.join(args.dist, "mirevane-%s-windows.zip" % version)
    if not os.path.exists(package):
        print("FAIL: no %s: run make dist" % package)
        return 1

    checks = Checks()
    unpacked = folder = tempfile.mkdtemp(prefix="mirevane-package-")
    try:
        with zipfile.ZipFile(package) as archive:
            names = archive.namelist()
            for name in names:
                checks.expect(not name.startswith("/") and ".." not in name.split("/")
                              and "\\" not in name, "unsafe name in the zip: " + name)
            checks.expect(len(names) == len(set(names)), "names repeated in the zip")
            top = "mirevane-%s-windows/" % version
            checks.expect(all(name.startswith(top) for name in names),
                          "every file under the top folder " + top)
            archive.extractall(folder)
        names = [name[len(top):] for name in names]
        folder = os.path.join(folder, top)
        check_contents(folder, names, version, checks)
        check_binaries(folder, args.win32, checks)
        check_tool(folder, os.path.abspath(args.native), os.path.abspath(args.win32),
                   os.path.abspath(args.win64), checks)
    finally:
        shutil.rmtree(unpacked, ignore_errors=True)

    for failure in checks.failures:
        print("FAIL: " + failure)
    print("%s: %d files, %d check(s) failed, %.1f s"
          % (os.path.basename(package), len(names), len(checks.failures),
             time.monotonic() - start))
    return 1 if checks.failures else 0


if __name__ == "__main__":
    sys.exit(main())
