#!/usr/bin/env python3
"""Writes the release package for Windows users: dist/mirevane-VERSION-windows.zip.

    make_package.py --win32 build/win32 --win64 build/win64 [--out dist]

VERSION is read from the binaries' own version resources, which must all agree. The zip is
reproducible: its entries come in a fixed order, each with the time of the last commit
(SOURCE_DATE_EPOCH, when set, takes its place), fixed attributes and the same compression,
so the same sources give the same bytes. Prints the path of the zip.
"""
import argparse
import hashlib
import os
import subprocess
import sys
import time
import zipfile

from pe_version import read_version

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))

# Documents that ship when they exist in docs/ (the key reference is generated).
DOCS = ("configuration.md", "oval-dial.svg", "tool.md", "panel.md", "studio.md", "studio.png",
        "studio-calibration.png", "studio-cab.png", "studio-cab-calibration.png",
        "dial-page.png", "dial-page-cab.png")


def binaries(win32, win64):
    """(name in the package, file, what it is) of every shipped binary."""
    return [
        ("mirevane.exe", os.path.join(win32, "mirevane.exe"), "the tool, 32-bit"),
        ("x64/Mirevane.dll", os.path.join(win64, "Mirevane.dll"), "plug-in for 64-bit hosts"),
        ("x86/Mirevane.dll", os.path.join(win32, "Mirevane.dll"), "plug-in for 32-bit hosts"),
    ]


def read(path):
    with open(path, "rb") as f:
        return f.read()


def source_files():
    """(name in the package, bytes) of the documents and the examples, in a fixed order."""
    files = [("docs/" + name, read(os.path.join(ROOT, "docs", name)))
             for name in DOCS if os.path.exists(os.path.join(ROOT, "docs", name))]
    examples = os.path.join(ROOT, "examples")
    for folder, subfolders, names in os.walk(examples):
        subfolders.sort()
        for name in sorted(names):
            path = os.path.join(folder, name)
            files.append(("examples/" + os.path.relpath(path, examples).replace(os.sep, "/"),
                          read(path)))
    return files


def package_version(shipped):
    versions = {}
    for name, path, _ in shipped:
        info = read_version(path)
        fixed = ".".join(map(str, info["fixed file"][:3]))
        if info.get("FileVersion") != fixed or info.get("ProductVersion") != fixed:
            sys.exit("%s: version resource disagrees with itself: %r" % (path, info))
        versions[name] = fixed
    if len(set(versions.values())) != 1:
        sys.exit("the binaries carry different versions: %r (rebuild them)" % versions)
    return versions.popitem()[1]


def manifest(version, files, descriptions):
    width = max(len(name) for name, _ in files)
    rows = [("file", "bytes", "version", "")]
    rows += [(name, str(len(data)), version if name in descriptions else "-",
              descriptions.get(name, "")) for name, data in files]
    lines = ["Mirevane %s for Windows" % version, ""]
    lines += [("%-*s %9s  %-7s  %s" % (width, *row)).rstrip() for row in rows]
    return ("\r\n".join(lines) + "\r\n").encode()


def sha256sums(files):
    return "".join("%s  %s\n" % (hashlib.sha256(data).hexdigest(), name)
                   for name, data in files).encode()


def timestamp():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        seconds = int(os.environ["SOURCE_DATE_EPOCH"])
    else:
        commit = subprocess.run(["git", "-C", ROOT, "log", "-1", "--format=%ct"],
                                capture_output=True, text=True)
        if commit.returncode != 0:
            sys.exit("not a git checkout: set SOURCE_DATE_EPOCH to the sources' time")
        seconds = int(commit.stdout)
    # A zip entry holds a date from 1980 on, to the even second.
    return max(time.gmtime(seconds)[:6], (1980, 1, 1, 0, 0, 0))


def write_zip(path, files, date_time):
    temporary = path + ".part"
    with zipfile.ZipFile(temporary, "w") as archive:
        for name, data in files:
            entry = zipfile.ZipInfo(name, date_time)
            entry.create_system = 3
            entry.external_attr = 0o100644 << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(entry, data, compresslevel=9)
    os.replace(temporary, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--win32", required=True, help="the win32 build folder")
    parser.add_argument("--win64", required=True, help="the win64 build folder")
    parser.add_argument("--out", default=os.path.join(ROOT, "dist"))
    args = parser.parse_args()

    shipped = binaries(args.win32, args.win64)
    version = package_version(shipped)
    readme = read(os.path.join(ROOT, "package", "README.txt")).decode("utf-8")
    readme = readme.replace("@VERSION@", version).replace("\n", "\r\n").encode("utf-8")

    files = [("README.txt", readme)]
    files += [(name, read(path)) for name, path, _ in shipped]
    files += source_files()
    descriptions = {name: what for name, _, what in shipped}
    files.insert(1, ("MANIFEST", manifest(version, files, descriptions)))
    files.insert(2, ("SHA256SUMS", sha256sums(files)))

    os.makedirs(args.out, exist_ok=True)
    # Everything under one top folder named after the package, as Windows users expect a zip
    # to unpack; MANIFEST and SHA256SUMS name the files relative to it.
    top = "mirevane-%s-windows" % version
    path = os.path.join(args.out, top + ".zip")
    write_zip(path, [(top + "/" + name, data) for name, data in files], timestamp())
    print(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
