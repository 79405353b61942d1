"""`mirevane studio` end to end: the server on a copy of the example cab, its page in headless
Chromium driven by Selenium (Debian's python3-selenium and chromium-driver), hostile requests
from outside the page, and the saved cab against `mirevane check` and `mirevane run`.

    /usr/bin/python3 test_studio.py --tool build/native/mirevane --examples examples --out DIR
    ... [--emulator wine --wineprefix DIR]    the Windows tool under Wine (server tests only)
    ... --benchmark N                         time N edits in the browser and print the figures
    ... --first-view N                        time N loads of the page until its view is painted
    ... --no-panel                            the benchmarks without the cab's panel
    ... --race N                              an outside writer against N saves: the figures

Exits 77 (skipped) when Selenium, ChromeDriver or Chromium is missing and the browser tests
were asked for.
"""
import argparse
import csv
import hashlib
import http.client
import json
import math
import os
import re
import select
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.parse

from tool_runner import Tool

TOOL = None
EXAMPLES = None
OUT = None
BROWSER_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--window-size=1600,1100"]


class Studio:
    """A studio on a fresh copy of the example cab, in a folder of its own."""

    def __init__(self, cab=None, scenario=None, fps="30", extra=(), env=None, sweep=False,
                 browser_env=None, prepare=None):
        self.env = env or TOOL.env
        self.browser_env = browser_env  # an environment to open a browser in; None: none opened
        self.folder = tempfile.mkdtemp(prefix="mirevane-studio-test-")
        shutil.copytree(cab or os.path.join(EXAMPLES, "cab"), os.path.join(self.folder, "cab"))
        shutil.copy(scenario or os.path.join(EXAMPLES, "scenarios", "run.csv"),
                    os.path.join(self.folder, "run.csv"))
        if prepare:  # the copy changed before the studio reads it
            prepare(self.folder)
        self.fps = fps
        self.extra = list(extra)
        self.sweep = sweep  # no --scenario: the studio's own sweep of every gauge's table
        self.originals = self.hashes()
        self.restart()

    def restart(self):
        self.process = subprocess.Popen(
            TOOL.command(["studio", os.path.join("cab", "Mirevane.dll")] +
                         ([] if self.sweep else ["--scenario", "run.csv"]) +
                         ["--fps", self.fps] + self.extra +
                         (["--no-browser"] if self.browser_env is None else [])),
            cwd=self.folder, env=self.env if self.browser_env is None else self.browser_env,
            stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            text=True)
        line = ""
        deadline = time.time() + 60
        while "token=" not in line and time.time() < deadline:
            line = self.process.stdout.readline()
            if not line and self.process.poll() is not None:
                raise RuntimeError("the studio stopped: " + self.process.stderr.read())
        match = re.search(r"http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]+)", line)
        self.port = int(match.group(1))
        self.token = match.group(2)
        self.address = match.group(0)

    def path(self, *parts):
        return os.path.join(self.folder, *parts)

    def hashes(self):
        found = {}
        for name in sorted(os.listdir(self.path("cab"))):
            if not os.path.isfile(self.path("cab", name)):
                continue
            with open(self.path("cab", name), "rb") as f:
                found[name] = hashlib.sha256(f.read()).hexdigest()
        return found

    def request(self, method, path, body=None, headers=None, token=True, host=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
        sent = {"Host": host or "127.0.0.1:%d" % self.port}
        if token:
            sent["X-Mirevane-Token"] = self.token
        if method == "POST":
            sent["Origin"] = "http://127.0.0.1:%d" % self.port
        sent.update(headers or {})
        data = body if isinstance(body, (bytes, type(None))) else json.dumps(body).encode()
        connection.request(method, path, body=data, headers=sent)
        response = connection.getresponse()
        payload = response.read()
        connection.close()
        return response.status, payload

    def stop_server(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGINT)
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        self.process.stderr.close()

    def stop(self):
        self.stop_server()
        shutil.rmtree(self.folder, ignore_errors=True)


class HostileRequests(unittest.TestCase):
    """Every request that does not come from the studio's own page is refused, and none
    changes a byte of the cab."""

    def setUp(self):
        self.studio = Studio()

    def tearDown(self):
        self.studio.stop()

    def test_each_refused_and_the_cab_unchanged(self):
        s = self.studio
        edit = {"gauge": 0, "section": "Damping", "key": "NaturalFreq", "value": "4"}
        foreign = {"Origin": "http://evil.example"}
        cases = [
            ("no token", "GET", "/api/view", None, {}, False, None, 403),
            ("no token for the page", "GET", "/", None, {}, False, None, 403),
            ("wrong token", "GET", "/api/view", None, {"X-Mirevane-Token": "0" * 64}, True, None,
             403),
            ("token in the query, wrong", "GET", "/?token=abc", None, {}, False, None, 403),
            ("another Host (DNS rebinding)", "GET", "/api/view", None, {}, True,
             "evil.example:%d" % s.port, 403),
            ("another port in Host", "GET", "/api/view", None, {}, True, "127.0.0.1:1", 403),
            ("foreign Origin on an edit", "POST", "/api/edit", edit, foreign, True, None, 403),
            ("foreign Origin on a save", "POST", "/api/save", {}, foreign, True, None, 403),
            ("foreign Origin reading", "GET", "/api/view", None, foreign, True, None, 403),
            ("null Origin", "POST", "/api/edit", edit, {"Origin": "null"}, True, None, 403),
            ("'..' as a section", "POST", "/api/edit",
             {"gauge": 0, "section": "..", "key": "Subject", "value": "x"}, {}, True, None, 400),
            ("a path as a key", "POST", "/api/edit",
             {"gauge": 0, "section": "SubjectKey", "key": "/etc/passwd", "value": "x"}, {}, True,
             None, 400),
            ("a path as a value", "POST", "/api/edit",
             {"gauge": 0, "section": "SubjectKey", "key": "Subject",
              "value": "x\r\n[FileName]\r\nGauge0 = ../../etc/passwd"}, {}, True, None, 422),
            ("a further gauge file", "POST", "/api/edit",
             {"gauge": 0, "section": "FileName", "key": "Gauge5", "value": "/etc/passwd"}, {},
             True, None, 400),
            ("an unknown gauge", "POST", "/api/edit", dict(edit, gauge=99), {}, True, None, 404),
            ("a gauge that is no number", "POST", "/api/edit", dict(edit, gauge="0"), {}, True,
             None, 400),
            ("NaN in a row", "POST", "/api/edit", b'{"gauge": 0, "rows": [[0, NaN]]}', {}, True,
             None, 400),
            ("infinity in a row", "POST", "/api/edit", b'{"gauge": 0, "rows": [[0, 1e999]]}', {},
             True, None, 400),
            ("infinity as a value", "POST", "/api/edit", dict(edit, value="inf"), {}, True, None,
             422),
            ("malformed JSON", "POST", "/api/edit", b'{"gauge": 0,', {}, True, None, 400),
            ("a list, not an object", "POST", "/api/edit", b"[1, 2]", {}, True, None, 400),
            ("oversized", "POST", "/api/edit", b'{"x": "' + b"a" * 400000 + b'"}', {}, True, None,
             413),
            ("a path outside the API", "GET", "/../../etc/passwd", None, {}, True, None, 404),
            ("an unknown request", "POST", "/api/write", {"path": "/tmp/x"}, {}, True, None, 404),
            ("an edit by GET", "GET", "/api/edit", None, {}, True, None, 405),
        ]
        for name, method, path, body, headers, token, host, expected in cases:
            with self.subTest(name):
                status, payload = s.request(method, path, body, headers, token, host)
                self.assertEqual(status, expected, payload[:300])
        self.assertEqual(s.hashes(), s.originals)
        # And the studio still works for its own page.
        status, payload = s.request("GET", "/api/view")
        self.assertEqual(status, 200)
        self.assertFalse(json.loads(payload)["dirty"])

    def test_an_oversized_body_is_answered_not_reset(self):
        """The 413 reaches the client whole: the studio refuses before reading the body, and
        a close with the body unread would reset the connection and lose the answer."""
        s = self.studio
        for size in [300000, 1000000, 2000000] * 5:
            with self.subTest(size=size):
                status, payload = s.request("POST", "/api/edit", b"x" * size)
                self.assertEqual(status, 413, payload[:300])


def png_pixels(data):
    """The pixels of an 8-bit, non-interlaced RGB or RGBA PNG: (width, height, [RGBA rows])."""
    import struct
    import zlib
    assert data[:8] == b"\x89PNG\r\n\x1a\n", data[:16]
    at, idat, header = 8, b"", None
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        at += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and interlace == 0, header
    size = 4 if colour == 6 else 3
    raw, stride, rows, previous = zlib.decompress(idat), width * size, [], bytearray(width * size)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - size] if i >= size else 0
            b, c = previous[i], previous[i - size] if i >= size else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        previous = line
        rows.append([tuple(line[x * size:(x + 1) * size]) + ((255,) if size == 3 else ())
                     for x in range(width)])
    return width, height, rows


def write_bmp(path, rows):
    """A 24-bit BMP of RGB rows, top row first (stored bottom up, rows padded to 4 bytes)."""
    import struct
    width, height = len(rows[0]), len(rows)
    pad = (4 - width * 3 % 4) % 4
    pixels = b"".join(bytes(v for r, g, b in row for v in (b, g, r)) + b"\0" * pad
                      for row in reversed(rows))
    with open(path, "wb") as f:
        f.write(b"BM" + struct.pack("<IHHI", 54 + len(pixels), 0, 0, 54) +
                struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(pixels), 2835, 2835,
                            0, 0) + pixels)


def write_rgba_png(path, rows):
    """An RGBA PNG of rows of (r, g, b, a)."""
    import struct
    import zlib

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" +
                chunk(b"IHDR", struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 6, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


BLUE, RED, GREEN, WHITE = (0, 0, 255), (200, 40, 10), (0, 255, 0), (255, 255, 255)


class PanelPictureRequests(unittest.TestCase):
    """The studio serves a picture only when its panel file names it and it lies inside the
    cab's folder, drawn as the host draws it (transparent colour cut, tinted), behind the same
    token, Host and Origin checks as every request; it reads the pictures and writes none."""

    BACKGROUND = [[RED, BLUE, WHITE, BLUE], [BLUE, GREEN, RED, WHITE]]
    NEEDLE = [[(100, 200, 50, 255), (0, 255, 0, 255), (40, 40, 40, 128)]]
    PANEL = ("; a panel beside the library\n[This]\nDaytimeImage = back.bmp\n\n"
             "[Needle]\nSubject = ats20\nLocation = 2, 1\nDaytimeImage = needle.png\n"
             "Color = #FF8000\nTransparentColor = #00FF00\n"
             "Minimum = 0\nMaximum = 360000\nInitialAngle = 0\nLastAngle = 360\n\n"
             "[Needle]\nSubject = ats21\nDaytimeImage = link.png\n\n"
             "[PilotLamp]\nSubject = ats22\nDaytimeImage = ../outside.png\n\n"
             "[Needle]\nSubject = ats23\nDaytimeImage = missing.png\n")

    @classmethod
    def prepare(cls, folder):
        cab = os.path.join(folder, "cab")
        for name in os.listdir(cab):  # the example's own panel, if any, makes way for this one
            if not name.lower().endswith((".ini", ".csv")):
                os.remove(os.path.join(cab, name)) if os.path.isfile(os.path.join(cab, name)) \
                    else shutil.rmtree(os.path.join(cab, name))
        with open(os.path.join(cab, "panel2.cfg"), "w") as f:
            f.write(cls.PANEL)
        write_bmp(os.path.join(cab, "back.bmp"), cls.BACKGROUND)
        write_rgba_png(os.path.join(cab, "needle.png"), cls.NEEDLE)
        write_rgba_png(os.path.join(folder, "outside.png"), [[(9, 9, 9, 255)] * 5])
        os.symlink(os.path.join(folder, "outside.png"), os.path.join(cab, "link.png"))

    def setUp(self):
        self.studio = Studio(prepare=self.prepare)

    def tearDown(self):
        self.studio.stop()

    def picture(self, name, **request):
        return self.studio.request("GET", "/api/picture?name=" + urllib.parse.quote(name),
                                   **request)

    def test_a_named_picture_is_served_as_the_host_draws_it(self):
        status, payload = self.picture("back.bmp")
        self.assertEqual(status, 200, payload[:300])
        width, height, rows = png_pixels(payload)
        self.assertEqual((width, height), (4, 2))
        for got_row, want_row in zip(rows, self.BACKGROUND):
            for got, want in zip(got_row, want_row):
                # The panel's transparent colour is the default blue.
                if want == BLUE:
                    self.assertEqual(got[3], 0)
                else:
                    self.assertEqual(got, want + (255,))
        status, payload = self.picture("needle.png")
        self.assertEqual(status, 200, payload[:300])
        _, _, rows = png_pixels(payload)
        r, g, b, a = rows[0][0]
        self.assertEqual((a, b), (255, 0))  # tinted by #FF8000: blue gone, red kept
        self.assertAlmostEqual(r, 100, delta=1)
        self.assertAlmostEqual(g, 200 * 128 / 255, delta=1)
        self.assertEqual(rows[0][1][3], 0)  # its transparent colour, green, cut
        self.assertEqual(rows[0][2][3], 128)  # the picture's own alpha kept
        view = json.loads(self.studio.request("GET", "/api/view")[1])
        self.assertIn("panel2.cfg", view["panel"]["said"])
        self.assertEqual(view["panel"]["picture"], "back.bmp")

    def test_everything_else_is_refused_and_nothing_written(self):
        s = self.studio
        good = "/api/picture?name=back.bmp"
        foreign = {"Origin": "http://evil.example"}
        cases = [
            ("a name the panel does not name", "GET", "/api/picture?name=other.bmp", {}, True, None,
             (404,)),
            ("the name in another letter case", "GET", "/api/picture?name=BACK.BMP", {}, True, None,
             (404,)),
            ("the panel file itself", "GET", "/api/picture?name=panel2.cfg", {}, True, None, (404,)),
            ("a profile of the cab", "GET", "/api/picture?name=Mirevane.ini", {}, True, None, (404,)),
            ("a path with ..", "GET", "/api/picture?name=..%2Fcab%2Fback.bmp", {}, True, None,
             (404,)),
            ("an absolute path", "GET", "/api/picture?name=%2Fetc%2Fpasswd", {}, True, None, (404,)),
            ("a named .. path out of the folder", "GET", "/api/picture?name=..%2Foutside.png", {},
             True, None, (403,)),
            ("a named link leading out", "GET", "/api/picture?name=link.png", {}, True, None,
             (403,)),
            ("a named picture that is missing", "GET", "/api/picture?name=missing.png", {}, True,
             None, (404,)),
            ("no name", "GET", "/api/picture", {}, True, None, (400,)),
            ("a broken escape", "GET", "/api/picture?name=back%2", {}, True, None, (400,)),
            ("by POST", "POST", good, {}, True, None, (405,)),
            ("no token", "GET", good, {}, False, None, (403,)),
            ("a wrong token", "GET", good, {"X-Mirevane-Token": "0" * 64}, True, None, (403,)),
            ("a wrong token in the query", "GET", good + "&token=abc", {}, False, None, (403,)),
            ("another Host", "GET", good, {}, True, "evil.example:%d" % s.port, (403,)),
            ("a foreign Origin", "GET", good, foreign, True, None, (403,)),
            ("a null Origin", "GET", good, {"Origin": "null"}, True, None, (403,)),
        ]
        for name, method, path, headers, token, host, expected in cases:
            if TOOL.windows and "link" in name:
                continue  # Wine shows the system's links as the files they lead to
            with self.subTest(name):
                status, payload = s.request(method, path, None, headers, token, host)
                self.assertIn(status, expected, payload[:300])
                self.assertNotIn(b"\x89PNG", payload)
        # The token in the query, as an address carries it, is as good as the header.
        status, payload = s.request("GET", good + "&token=" + s.token, token=False)
        self.assertEqual(status, 200, payload[:300])
        self.assertEqual(s.hashes(), s.originals)
        self.assertEqual(sorted(os.listdir(s.path("cab"))), sorted(s.originals))

    def test_without_the_panel_no_picture_is_served(self):
        studio = Studio(extra=["--no-panel"])
        try:
            view = json.loads(studio.request("GET", "/api/view")[1])
            self.assertEqual(view["panel"], {"said": "panel: none (--no-panel)", "notes": [],
                                             "picture": None})
            self.assertFalse(any("needle" in g for g in view["gauges"]))
            status, payload = studio.request("GET", "/api/picture?name=images%2Fpanel.png")
            self.assertEqual(status, 404, payload[:300])
            status, payload = studio.request(
                "POST", "/api/calibrate", {"gauge": 0, "panel": True, "marks": [], "rim": []})
            self.assertEqual(status, 422, payload[:300])
        finally:
            studio.stop()


def hidden_save_files(folder):
    """The hidden files a save keeps while it runs (a stand-in, the old bytes, its record),
    anywhere under the folder."""
    return sorted(os.path.join(d, n) for d, _, names in os.walk(folder) for n in names
                  if n.startswith(".") and "mirevane" in n)


def edit_all(studio, edits):
    for body in edits:
        status, payload = studio.request("POST", "/api/edit", body)
        assert status == 200, payload[:300]


class WiringInTheStudio(unittest.TestCase):
    """The check under the studio's page reads the cab's panel file as `check` does: an edit
    that moves a gauge off the entry its needle reads is found at once, with its cause."""

    def test_an_edit_off_the_wired_entry_is_found(self):
        studio = Studio()
        try:
            def panel_codes():
                status, payload = studio.request("GET", "/api/view")
                self.assertEqual(status, 200, payload[:300])
                return sorted((d["code"], os.path.basename(d["file"]))
                              for d in json.loads(payload)["diagnostics"]
                              if d["code"].startswith("panel-"))

            self.assertEqual(panel_codes(), [])
            ammeter = 3  # the main profile's gauge, then Gauge0..Gauge3: bc, mr, ammeter
            edit_all(studio, [{"gauge": ammeter, "section": "PanelIndex", "key": "Needle",
                               "value": "24"}])
            self.assertEqual(panel_codes(), [("panel-entry-foreign", "panel2.cfg"),
                                             ("panel-entry-undrawn", "ammeter.ini")])
        finally:
            studio.stop()


class KilledMidSave(unittest.TestCase):
    """The studio killed at any moment of a save of several files: once the next studio has
    started on the cab, every file is as it was or every file is as saved, and no hidden file
    of the save is left."""

    NAMES = ("Mirevane.csv", "Mirevane.ini", "bc.ini")

    def test_all_old_or_all_new_after_the_next_start(self):
        # A large table, so that the save takes long enough to be cut in the middle.
        rows = [[v, v * 0.1] for v in range(0, 60000, 6)]  # the most a request may hold
        edits = ({"gauge": 0, "rows": [[v, a + 1] for v, a in rows]},
                 {"gauge": 0, "section": "Vibration", "key": "Period", "value": "2.5"},
                 {"gauge": 1, "section": "Damping", "key": "DampingRatio", "value": "0.6"})

        def start():
            studio = Studio()
            with open(studio.path("cab", "Mirevane.csv"), "w", newline="") as f:
                f.write("".join("%d,%g\r\n" % (v, a) for v, a in rows))
            studio.stop_server()
            studio.restart()
            return studio

        def state(studio):
            found = {n: open(studio.path("cab", n), "rb").read() for n in self.NAMES}
            kinds = {"old" if found[n] == old[n] else "new" if found[n] == new[n] else "other"
                     for n in self.NAMES}
            return kinds.pop() if len(kinds) == 1 else "mixed"

        finished = start()
        old = {n: open(finished.path("cab", n), "rb").read() for n in self.NAMES}
        edit_all(finished, edits)
        self.assertEqual(finished.request("POST", "/api/save", {})[0], 200)
        new = {n: open(finished.path("cab", n), "rb").read() for n in self.NAMES}
        self.assertTrue(all(new[n] != old[n] for n in self.NAMES))
        finished.stop()

        before, after = [], []
        hidden_before, left = 0, []
        # Fine steps where the save's writing happens, then coarser ones past it.
        for delay_ms in [k * 0.25 for k in range(24)] + list(range(6, 200, 15)):
            studio = start()
            edit_all(studio, edits)
            connection = http.client.HTTPConnection("127.0.0.1", studio.port, timeout=60)
            connection.request("POST", "/api/save", body=b"{}", headers={
                "Host": "127.0.0.1:%d" % studio.port, "X-Mirevane-Token": studio.token,
                "Origin": "http://127.0.0.1:%d" % studio.port})
            time.sleep(delay_ms / 1000)
            studio.process.kill()
            studio.process.wait()
            connection.close()
            before.append(state(studio))
            hidden_before += len(hidden_save_files(studio.path("cab")))
            studio.stop_server()
            studio.restart()  # the next studio on the cab finishes or undoes the save
            after.append(state(studio))
            left += [(delay_ms, os.path.basename(n)) for n in hidden_save_files(studio.path("cab"))]
            for name in self.NAMES:
                backup = studio.path("cab", name + ".bak")
                if os.path.exists(backup):
                    with open(backup, "rb") as f:
                        self.assertEqual(f.read(), old[name], "%s.bak" % name)
            studio.stop()

        def figures(states):
            return ", ".join("%s %d" % (k, states.count(k)) for k in ("old", "new", "mixed", "other"))
        print("\n%d kills during a save of %d files: before the next start %s, %d hidden files; "
              "after it %s, %d hidden files" % (len(before), len(self.NAMES), figures(before),
                                                hidden_before, figures(after), len(left)))
        self.assertEqual(after.count("mixed") + after.count("other"), 0)
        self.assertEqual(left, [])
        # Some kills fell after the save (every file new), some before it (every file old).
        self.assertIn("new", after)
        self.assertIn("old", after)


class SaveChecksEveryFileRead(unittest.TestCase):
    """A save goes ahead only when every file the studio read is as it read it, edited or not,
    inside the cab or not; otherwise nothing is written and the refusal names the file, so
    that what the page shows and what is on disk agree after every save."""

    def test_a_changed_appeared_or_vanished_file_refuses_the_save(self):
        def outside_gauge(folder):
            with open(os.path.join(folder, "cab", "Mirevane.ini"), "rb") as f:
                profile = f.read()
            with open(os.path.join(folder, "cab", "Mirevane.ini"), "wb") as f:
                f.write(profile.replace(b"Gauge3 = voltmeter", b"Gauge3 = voltmeter\r\nGauge4 = ../shared/amps"))
            os.makedirs(os.path.join(folder, "shared"))
            shutil.copy(os.path.join(folder, "cab", "ammeter.ini"), os.path.join(folder, "shared", "amps.ini"))

        def no_table(folder):
            os.remove(os.path.join(folder, "cab", "ammeter.csv"))

        def append_row(folder, name):
            with open(os.path.join(folder, name), "ab") as f:
                f.write(b"2500,281.0\r\n")

        cases = [
            # name, set-up before the start, the outside change, the file the refusal names
            ("an unedited table changed", None, lambda d: append_row(d, "cab/voltmeter.csv"),
             "cab/voltmeter.csv"),
            ("an unedited profile vanished", None,
             lambda d: os.remove(os.path.join(d, "cab", "mr.ini")), "cab/mr.ini"),
            ("a missing table appeared", no_table, lambda d: append_row(d, "cab/ammeter.csv"),
             "cab/ammeter.csv"),
            ("a profile outside the cab changed", outside_gauge,
             lambda d: append_row(d, "shared/amps.ini"), "cab/../shared/amps.ini"),
        ]
        for name, setup, change, named in cases:
            with self.subTest(name):
                s = Studio()
                try:
                    if setup:
                        setup(s.folder)
                        s.stop_server()
                        s.restart()
                    edit_all(s, [{"gauge": 0, "rows": [[0, 20], [160, 290]]}])
                    change(s.folder)
                    changed = s.hashes()
                    status, payload = s.request("POST", "/api/save", {})
                    self.assertEqual(status, 409, payload[:300])
                    conflicts = [os.path.normpath(c) for c in json.loads(payload)["conflicts"]]
                    self.assertEqual(conflicts, [os.path.normpath(named)])
                    self.assertEqual(s.hashes(), changed)  # nothing written, no backup
                    # Read again, the page shows the disk: voltmeter's six rows.
                    status, payload = s.request("POST", "/api/reload", {})
                    self.assertEqual(status, 200, payload[:300])
                    view = json.loads(payload)
                    self.assertFalse(view["dirty"])
                    if name == "an unedited table changed":
                        self.assertEqual(len(view["gauges"][4]["rows"]), 6)
                    self.assertEqual(s.request("POST", "/api/save", {})[0], 200)
                finally:
                    s.stop()


class GaugeNamedTheWindowsWay(unittest.TestCase):
    """Gauge0 = sub\\bc: the studio saves into the files it read, cab/sub/bc.*, and makes no
    file named with a backslash."""

    def test_saved_into_the_files_read(self):
        s = Studio()
        try:
            os.makedirs(s.path("cab", "sub"))
            for ext in ("ini", "csv"):
                os.rename(s.path("cab", "bc." + ext), s.path("cab", "sub", "bc." + ext))
            with open(s.path("cab", "Mirevane.ini"), "rb") as f:
                profile = f.read()
            with open(s.path("cab", "Mirevane.ini"), "wb") as f:
                f.write(profile.replace(b"Gauge0 = bc", b"Gauge0 = sub\\bc"))
            s.stop_server()
            s.restart()
            with open(s.path("cab", "sub", "bc.csv"), "rb") as f:
                table = f.read()
            edit_all(s, [{"gauge": 1, "rows": [[0, 11], [500, 101]]},
                         {"gauge": 1, "section": "Damping", "key": "NaturalFreq", "value": "7"}])
            status, payload = s.request("POST", "/api/save", {})
            self.assertEqual(status, 200, payload[:300])
            self.assertEqual([n for n in os.listdir(s.path("cab")) if "\\" in n], [])
            with open(s.path("cab", "sub", "bc.csv"), "rb") as f:
                self.assertEqual([l.split(b",")[1] for l in f.read().splitlines() if l[:1].isdigit()],
                                 [b"11", b"101"])
            with open(s.path("cab", "sub", "bc.csv.bak"), "rb") as f:
                self.assertEqual(f.read(), table)
            with open(s.path("cab", "sub", "bc.ini"), "rb") as f:
                self.assertIn(b"NaturalFreq = 7", f.read())
            self.assertFalse(json.loads(s.request("GET", "/api/view")[1])["dirty"])
        finally:
            s.stop()


class LinkedFoldersInTheCab(unittest.TestCase):
    """A gauge whose name leads out of the cab's folder through a symbolic link is never
    written: the edit or the save is refused (422) and no byte outside the cab changes."""

    def test_nothing_written_outside(self):
        def through_parent(s):  # Gauge0 = lnk/../bc, lnk -> elsewhere/inner
            os.makedirs(s.path("elsewhere", "inner"))
            os.symlink(s.path("elsewhere", "inner"), s.path("cab", "lnk"))
            return b"lnk/../bc"

        def folder_link(s):  # Gauge0 = gauges/bc, gauges -> elsewhere
            os.makedirs(s.path("elsewhere"))
            os.symlink(s.path("elsewhere"), s.path("cab", "gauges"))
            return b"gauges/bc"

        def folder_turned_link(s):  # a real folder at the start, a link by the save
            os.makedirs(s.path("elsewhere"))
            os.makedirs(s.path("cab", "gauges"))
            for ext in ("ini", "csv"):
                shutil.copy(s.path("cab", "bc." + ext), s.path("cab", "gauges", "bc." + ext))
            return b"gauges/bc"

        for name, setup in (("a link then ..", through_parent), ("a folder link", folder_link),
                            ("a folder turned into a link", folder_turned_link)):
            with self.subTest(name):
                s = Studio()
                try:
                    gauge = setup(s)
                    for ext in ("ini", "csv"):
                        shutil.copy(s.path("cab", "bc." + ext), s.path("elsewhere", "bc." + ext))
                    with open(s.path("cab", "Mirevane.ini"), "rb") as f:
                        profile = f.read()
                    with open(s.path("cab", "Mirevane.ini"), "wb") as f:
                        f.write(profile.replace(b"Gauge0 = bc", b"Gauge0 = " + gauge))
                    s.stop_server()
                    s.restart()

                    def outside():
                        return {n: open(s.path("elsewhere", n), "rb").read()
                                for n in sorted(os.listdir(s.path("elsewhere")))
                                if os.path.isfile(s.path("elsewhere", n))}
                    before, cab = outside(), s.hashes()
                    status, payload = s.request("POST", "/api/edit",
                                                {"gauge": 1, "rows": [[0, 11], [500, 101]]})
                    if name == "a folder turned into a link":
                        self.assertEqual(status, 200, payload[:300])
                        shutil.rmtree(s.path("cab", "gauges"))
                        os.symlink(s.path("elsewhere"), s.path("cab", "gauges"))
                    else:
                        self.assertEqual(status, 422, payload[:300])
                    status, payload = s.request("POST", "/api/save", {})
                    if name == "a folder turned into a link":
                        self.assertEqual(status, 422, payload[:300])
                    self.assertEqual(outside(), before)
                    self.assertEqual(s.hashes(), cab)
                finally:
                    s.stop()


class PrivateFolder(unittest.TestCase):
    """The studio's copy of the cab lies in a folder only the user can read; the folders of
    studios that were killed are removed by the next studio, and nothing else is."""

    def test_private_and_stale_ones_removed(self):
        temp = tempfile.mkdtemp(prefix="mirevane-temp-")
        env = dict(TOOL.env, TMPDIR=temp)
        try:
            def mark(folder, text):
                os.makedirs(os.path.join(temp, folder))
                if text is not None:
                    with open(os.path.join(temp, folder, "owner"), "w") as f:
                        f.write(text)

            with open("/proc/self/stat") as f:
                my_start = f.read().rsplit(")", 1)[1].split()[19]
            dead = subprocess.Popen(["true"])
            dead.wait()
            mark("mirevane-studio-00000000000000aa", "mirevane-studio %d 1\n" % dead.pid)
            mark("mirevane-studio-00000000000000bb", "mirevane-studio %d %s\n" % (os.getpid(), my_start))
            mark("mirevane-studio-00000000000000cc", None)  # no mark: not provably a studio's
            mark("mirevane-studio-notmine", "mirevane-studio %d 1\n" % dead.pid)
            first = Studio(env=env)
            try:
                mine = [n for n in os.listdir(temp) if n not in (
                    "mirevane-studio-00000000000000bb", "mirevane-studio-00000000000000cc",
                    "mirevane-studio-notmine")]
                self.assertEqual(len(mine), 1, os.listdir(temp))  # the dead one went
                self.assertEqual(os.stat(os.path.join(temp, mine[0])).st_mode & 0o777, 0o700)
                first.process.kill()  # leaves its folder behind
                first.process.wait()
                second = Studio(env=env)
                try:
                    left = sorted(os.listdir(temp))
                    self.assertNotIn(mine[0], left)
                    for kept in ("mirevane-studio-00000000000000bb",
                                 "mirevane-studio-00000000000000cc", "mirevane-studio-notmine"):
                        self.assertIn(kept, left)
                    self.assertEqual(len(left), 4, left)
                    # Answering, it listens and Ctrl-C ends it (the address is printed before
                    # its handler is set).
                    self.assertEqual(second.request("GET", "/api/view")[0], 200)
                finally:
                    second.stop()
            finally:
                first.stop()
            self.assertEqual(len(os.listdir(temp)), 3)  # a studio that ends removes its own
        finally:
            shutil.rmtree(temp, ignore_errors=True)


def race(tries):
    """An outside program replaces the edited table a few milliseconds after a save was asked
    for: how often its write was overwritten while the save answered 200."""
    import random
    import threading
    studio = Studio()
    outcomes = {"refused": 0, "saved, then the outside write": 0, "outside write overwritten": 0}
    try:
        table = studio.path("cab", "Mirevane.csv")
        for n in range(tries):
            edit_all(studio, [{"gauge": 0, "rows": [[0, 20 + n % 7], [160, 290]]}])
            theirs = b"0,20\r\n160,%d\r\n" % (300 + n)

            def write():
                time.sleep(random.uniform(0, 0.004))
                with open(table + ".theirs", "wb") as f:
                    f.write(theirs)
                os.replace(table + ".theirs", table)
            writer = threading.Thread(target=write)
            writer.start()
            status, _ = studio.request("POST", "/api/save", {})
            writer.join()
            with open(table, "rb") as f:
                kept = f.read() == theirs
            if status != 200:
                outcomes["refused"] += 1
            else:
                outcomes["saved, then the outside write" if kept else "outside write overwritten"] += 1
            studio.request("POST", "/api/reload", {})
        print("%d tries: %s" % (tries, ", ".join("%s %d" % kv for kv in outcomes.items())))
    finally:
        studio.stop()


class SlowConnections:
    """`count` connections that each send a request's header one line every `interval`
    seconds and never end it; one the server closes is opened again, so that `count` stay
    open, as an attacker would keep them."""

    def __init__(self, port, count, interval=2.0):
        self.port = port
        self.interval = interval
        self.sockets = [self.open() for _ in range(count)]
        self.done = threading.Event()
        self.thread = threading.Thread(target=self.drip, daemon=True)
        self.thread.start()

    def open(self):
        s = socket.create_connection(("127.0.0.1", self.port))
        s.sendall(b"GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n" % self.port)
        return s

    def drip(self):
        line = 0
        next_line = time.time() + self.interval
        while not self.done.is_set():
            readable, _, _ = select.select(self.sockets, [], [], max(0, next_line - time.time()))
            for s in readable:  # answered (refused) or closed: open another in its place
                s.close()
                self.sockets[self.sockets.index(s)] = self.open()
            if time.time() >= next_line:
                line += 1
                next_line += self.interval
                for s in self.sockets:
                    try:
                        s.sendall(b"X-Slow-%d: %s\r\n" % (line, b"a" * 40))
                    except OSError:
                        pass  # closed: select finds it next

    def close(self):
        self.done.set()
        self.thread.join()
        for s in self.sockets:
            s.close()


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        return int(re.search(r"VmRSS:\s+(\d+) kB", f.read()).group(1))


def stream_until_refused(port, head, pieces, seconds):
    """Sends `head`, then the byte strings of `pieces` until the server answers or closes
    or `seconds` pass. Returns (bytes the server took, the status it answered, or None)."""
    s = socket.create_connection(("127.0.0.1", port))
    s.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 64 * 1024)
    s.sendall(head)
    sent = len(head)
    deadline = time.time() + seconds
    answer = b""
    try:
        for piece in pieces:
            if time.time() > deadline:
                break
            readable, _, _ = select.select([s], [], [], 0)
            if readable:
                break
            s.sendall(piece)
            sent += len(piece)
        s.settimeout(10)
        answer = s.recv(200)
    except OSError:
        try:
            s.settimeout(1)
            answer = s.recv(200)
        except OSError:
            pass
    s.close()
    match = re.match(rb"HTTP/1\.1 (\d+)", answer)
    return sent, int(match.group(1)) if match else None


class SlowClients(unittest.TestCase):
    """Connections that never finish a request neither lock out the page nor make the server
    grow: a header must arrive whole within 5 s and within 64 kB, a body is refused as soon as
    it passes the limit. The figures print for the record (this machine's, whatever it is)."""

    def setUp(self):
        self.studio = Studio()

    def tearDown(self):
        self.studio.stop()

    def page_request_seconds(self, path):
        start = time.time()
        try:
            connection = http.client.HTTPConnection("127.0.0.1", self.studio.port, timeout=10)
            connection.request("GET", path, headers={
                "Host": "127.0.0.1:%d" % self.studio.port, "X-Mirevane-Token": self.studio.token})
            response = connection.getresponse()
            response.read()
            connection.close()
            self.assertEqual(response.status, 200)
        except OSError:
            pass  # timed out: the 10 s count
        return time.time() - start

    def test_the_page_is_answered_with_slow_connections_open(self):
        # The view is the engine's work as well as the server's: what it takes alone is the
        # baseline its answers are held to (the page itself is the server's alone).
        alone = statistics.median(self.page_request_seconds("/api/view") for _ in range(3))
        for count in (8, 64):
            with self.subTest(count=count):
                slow = SlowConnections(self.studio.port, count)
                try:
                    # Over 6 s: past the moment the first slow connections are cut off and
                    # opened again.
                    page, view = [], []
                    while len(page) < 8 and max(page + view, default=0) < 1 + alone:
                        page.append(self.page_request_seconds("/"))
                        view.append(self.page_request_seconds("/api/view"))
                        time.sleep(0.5)
                finally:
                    slow.close()
                print("\n  %d slow connections: the page took at most %.3f s, the view %.3f s "
                      "(%.3f s alone)" % (count, max(page), max(view), alone))
                self.assertLess(max(page), 1.0)
                self.assertLess(max(view), 1.0 + alone)

    def test_a_header_that_never_ends_is_cut_off(self):
        port = self.studio.port
        def slowly():
            for i in range(40):
                yield b"X-Line: %d\r\n" % i
                time.sleep(0.5)

        start = time.time()
        sent, status = stream_until_refused(
            port, b"GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n" % port, slowly(), 20)
        took = time.time() - start
        print("\n  a header sent a line at a time was refused with %s after %.1f s"
              % (status, took))
        self.assertEqual(status, 408)
        self.assertLess(took, 7)  # 5 s and the time to notice

        start = time.time()
        sent, status = stream_until_refused(
            port, b"GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n" % port,
            (b"X-Line: %s\r\n" % (b"a" * 1000) for _ in range(1000)), 20)
        print("  a header of 1 MB was refused with %s after %d bytes" % (status, sent))
        self.assertEqual(status, 431)
        self.assertLess(time.time() - start, 2)

    def test_a_long_header_stream_leaves_the_server_its_size(self):
        if TOOL.windows:
            self.skipTest("the server's memory is read from /proc, natively")
        port = self.studio.port
        self.assertEqual(self.studio.request("GET", "/api/view")[0], 200)
        before = rss_kib(self.studio.process.pid)
        line = b"X-Line: %s\r\n" % (b"a" * 1000)
        taken = 0
        for _ in range(20):  # 20 connections of up to 1 MB each, none with a token
            sent, _ = stream_until_refused(
                port, b"GET / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n" % port,
                (line for _ in range(1000)), 10)
            taken += sent
        growth = rss_kib(self.studio.process.pid) - before
        print("\n  after %.1f MB of header lines the server grew by %.1f MB"
              % (taken / 1e6, growth / 1024))
        self.assertLess(growth, 8 * 1024)

    def test_an_over_limit_body_is_refused_at_the_limit(self):
        port = self.studio.port
        head = ("POST /api/edit HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nOrigin: http://127.0.0.1:%d\r\n"
                "X-Mirevane-Token: %s\r\n" % (port, port, self.studio.token)).encode()
        piece = b"a" * 65536
        cases = [
            ("chunked", head + b"Transfer-Encoding: chunked\r\n\r\n",
             (b"%x\r\n%s\r\n" % (len(piece), piece) for _ in range(600))),
            ("declared length", head + b"Content-Length: 40000000\r\n\r\n",
             (piece for _ in range(600))),
        ]
        for name, request, body in cases:
            with self.subTest(name):
                sent, status = stream_until_refused(port, request, body, 30)
                print("\n  a %s body of 40 MB: %s when %.2f MB had been sent (what the "
                      "sockets' buffers hold included)" % (name, status, sent / 1e6))
                self.assertEqual(status, 413)
                self.assertLess(sent, 8e6)
        self.assertEqual(self.studio.request("GET", "/api/view")[0], 200)


class ExclusivePort(unittest.TestCase):
    """No other program, not even one of the same user, can listen on the studio's port
    beside it and so take some of the page's requests, token and all."""

    def test_a_second_listener_cannot_share_the_port(self):
        studio = Studio()
        try:
            other = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
            other.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
            other.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEPORT, 1)
            with self.assertRaises(OSError):
                other.bind(("127.0.0.1", studio.port))
                other.listen()
            other.close()
        finally:
            studio.stop()


FAKE_BROWSER = """#!/usr/bin/python3
import json, os, sys
path = sys.argv[1] if len(sys.argv) > 1 else ""
record = {"argv": sys.argv[1:]}
if os.path.isfile(path):
    record["mode"] = os.stat(path).st_mode & 0o777
    record["folder_mode"] = os.stat(os.path.dirname(path)).st_mode & 0o777
    record["content"] = open(path).read()
with open(os.environ["FAKE_BROWSER_RECORD"] + ".partial", "w") as f:
    json.dump(record, f)
os.rename(os.environ["FAKE_BROWSER_RECORD"] + ".partial", os.environ["FAKE_BROWSER_RECORD"])
"""


class BrowserOpening(unittest.TestCase):
    """The browser is opened on a file only the user can read that forwards to the tokened
    address, so the token is on no command line another user could see."""

    def test_the_browser_gets_a_private_file_and_no_token(self):
        if TOOL.windows:
            self.skipTest("the Windows tool opens the file through the shell; its file is "
                          "tested in the tool's unit tests")
        fake = tempfile.mkdtemp(prefix="mirevane-fake-browser-")
        record = os.path.join(fake, "record.json")
        program = os.path.join(fake, "xdg-open")
        with open(program, "w") as f:
            f.write(FAKE_BROWSER)
        os.chmod(program, 0o755)
        env = dict(TOOL.env, PATH=fake + os.pathsep + TOOL.env.get("PATH", ""),
                   FAKE_BROWSER_RECORD=record)
        studio = Studio(browser_env=env)
        try:
            deadline = time.time() + 20
            while not os.path.exists(record) and time.time() < deadline:
                time.sleep(0.05)
            with open(record) as f:
                seen = json.load(f)
            self.assertEqual(len(seen["argv"]), 1, seen["argv"])
            self.assertNotIn(studio.token, seen["argv"][0])
            self.assertEqual(seen.get("mode"), 0o600)
            self.assertEqual(seen.get("folder_mode"), 0o700)
            self.assertIn('url=%s"' % studio.address, seen["content"])
            self.assertTrue(os.path.exists(seen["argv"][0]))
            studio.stop_server()
            self.assertFalse(os.path.exists(seen["argv"][0]))
            self.assertFalse(os.path.exists(os.path.dirname(seen["argv"][0])))
        finally:
            studio.stop()
            shutil.rmtree(fake, ignore_errors=True)


def trace_rows(path):
    with open(path, newline="") as f:
        return {int(row["time"]): row for row in csv.DictReader(f)}


class Browser:
    """Chromium through Selenium's ChromeDriver."""

    def __init__(self):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium")
        for flag in BROWSER_FLAGS:
            options.add_argument(flag)
        self.profile = tempfile.mkdtemp(prefix="mirevane-chromium-")
        options.add_argument("--user-data-dir=" + self.profile)
        self.driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")),
                                       options=options)
        self.driver.set_script_timeout(120)

    def open(self, studio):
        self.driver.get(studio.address)
        self.wait_idle()

    def js(self, script, *args):
        return self.driver.execute_script(script, *args)

    def wait_idle(self):
        deadline = time.time() + 60
        while time.time() < deadline:
            if self.js("return !!(window.mirevaneStudio && window.mirevaneStudio.view() && "
                       "window.mirevaneStudio.frame().mirevaneDial)"):
                break
            time.sleep(0.05)
        self.js("return window.mirevaneStudio.idle()")

    def view(self):
        return self.js("return window.mirevaneStudio.view()")

    def type_into(self, css, text):
        from selenium.webdriver.common.by import By
        from selenium.webdriver.common.keys import Keys
        field = self.driver.find_element(By.CSS_SELECTOR, css)
        field.send_keys(Keys.CONTROL, "a")
        field.send_keys(text, Keys.TAB)  # leaving the field fires its change
        self.wait_idle()

    def needle_angles(self, ms):
        """Each needle's angle on the page with the slider at ms, by panel entry."""
        state = self.js("const d = window.mirevaneStudio.frame().mirevaneDial; d.seek(arguments[0]);"
                        " return d.state();", ms)
        angles = {}
        for gauge in state["gauges"]:
            for needle in gauge["needles"]:
                angles[needle["entry"]] = needle["angle"]
        return state["time"], angles

    def click_picture(self, card, x, y, middle):
        """A click at (x, y) of the card's calibration picture, whose middle is `middle`."""
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.by import By
        svg = self.driver.find_element(By.CSS_SELECTOR, card + "svg.picture")
        # Whole in view: an edit keeps the editors' scroll, which may leave it half out.
        self.js("arguments[0].scrollIntoView({block: 'center'})", svg)
        ActionChains(self.driver).move_to_element_with_offset(
            svg, x - middle, y - middle).click().perform()
        self.wait_idle()

    def mark(self, card, value, point, middle):
        """A mark clicked on the calibration picture, its value typed in."""
        from selenium.webdriver.common.by import By
        from selenium.webdriver.common.keys import Keys
        self.click_picture(card, *point, middle)
        field = self.driver.find_element(By.CSS_SELECTOR, card + "table.marks input.pending")
        field.send_keys(str(value), Keys.TAB)
        self.wait_idle()

    def click_hub_and_marks(self, card, hub, marks, middle):
        """The hub, then each (value, (x, y)) mark."""
        from selenium.webdriver.common.by import By
        self.driver.find_element(By.CSS_SELECTOR, card + 'button[data-mode="hub"]').click()
        self.wait_idle()
        self.click_picture(card, *hub, middle)
        for value, point in marks:
            self.mark(card, value, point, middle)

    def show_dials(self):
        """The run's abstract dials, a click away from the cab."""
        from selenium.webdriver.common.by import By
        self.driver.switch_to.frame(self.driver.find_element(By.ID, "run"))
        for button in self.driver.find_elements(By.CSS_SELECTOR, 'button[data-view="dials"]'):
            button.click()
        self.driver.switch_to.default_content()

    def click_on_picture(self, card, x, y):
        """A click at (x, y), in the picture's own pixels, of the card's calibration picture,
        however it is zoomed: the picture's box scrolled to bring the point into view."""
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.by import By
        svg = self.driver.find_element(By.CSS_SELECTOR, card + "svg.picture")
        at = self.js("""const svg = arguments[0], box = svg.parentElement;
            svg.scrollIntoView({block: 'center'});
            const scale = () => svg.getBoundingClientRect().width / svg.viewBox.baseVal.width;
            const r = svg.getBoundingClientRect(), b = box.getBoundingClientRect();
            box.scrollBy(r.left + arguments[1] * scale() - b.left - box.clientWidth / 2,
                         r.top + arguments[2] * scale() - b.top - box.clientHeight / 2);
            const s = svg.getBoundingClientRect();
            return [s.left + arguments[1] * scale(), s.top + arguments[2] * scale()];""", svg, x, y)
        actions = ActionChains(self.driver)
        actions.w3c_actions.pointer_action.move_to_location(round(at[0]), round(at[1]))
        actions.w3c_actions.pointer_action.click()
        actions.perform()
        self.wait_idle()

    def mark_on_picture(self, card, value, point):
        from selenium.webdriver.common.by import By
        from selenium.webdriver.common.keys import Keys
        self.click_on_picture(card, *point)
        field = self.driver.find_element(By.CSS_SELECTOR, card + "table.marks input.pending")
        field.send_keys(str(value), Keys.TAB)
        self.wait_idle()

    def close(self):
        self.driver.quit()
        shutil.rmtree(self.profile, ignore_errors=True)


class BrowserTest(unittest.TestCase):
    """One Chromium for all the tests of a class."""

    @classmethod
    def setUpClass(cls):
        cls.browser = Browser()

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()


class InTheBrowser(BrowserTest):
    def setUp(self):
        self.studio = Studio()
        self.browser.open(self.studio)

    def tearDown(self):
        self.studio.stop()

    def test_a_typed_row_and_a_dragged_tick_show_what_run_shows_on_the_saved_cab(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.by import By
        b = self.browser
        # Gauge 0's row of 80 km/h: its angle typed.
        b.type_into('section[data-gauge="0"] tr[data-row="9"] td:nth-child(2) input', "172.5")
        rows = b.view()["gauges"][0]["rows"]
        self.assertIn([80, 172.5], rows)
        # The tick of 100 km/h dragged a quarter turn on the dial.
        b.show_dials()
        b.driver.switch_to.frame(b.driver.find_element(By.ID, "run"))
        tick = b.driver.find_element(By.CSS_SELECTOR, 'svg.dial[data-gauge="0"] line.tick[data-value="100"]')
        ActionChains(b.driver).click_and_hold(tick).move_by_offset(-60, 60).release().perform()
        b.driver.switch_to.default_content()
        b.wait_idle()
        dragged = [r for r in b.view()["gauges"][0]["rows"] if r[0] == 100][0][1]
        self.assertNotAlmostEqual(dragged, 203.8, delta=1.0)
        self.assertTrue(b.view()["dirty"])

        b.js("return window.mirevaneStudio.save(false)")
        self.assertFalse(b.view()["dirty"])
        s = self.studio
        result = TOOL.run(["run", os.path.join("cab", "Mirevane.dll"), "--scenario", "run.csv",
                           "--fps", "30", "--out", "trace.csv"], cwd=s.folder)
        self.assertEqual(result.returncode, 0, result.stderr_text)
        trace = trace_rows(s.path("trace.csv"))
        for ms in (0, 6500, 40000, 77777, 106000, 131000):
            shown, angles = b.needle_angles(ms)
            row = trace[shown]
            for entry, angle in angles.items():
                self.assertEqual(angle * 1000, int(row["panel%d" % entry]),
                                 "entry %d at %d ms" % (entry, shown))
        # Only the table changed, only where edited; the original is kept beside it.
        with open(os.path.join(EXAMPLES, "cab", "Mirevane.csv"), newline="") as f:
            before = f.read().splitlines(keepends=True)
        with open(s.path("cab", "Mirevane.csv"), newline="") as f:
            after = f.read().splitlines(keepends=True)
        changed = [i for i, (x, y) in enumerate(zip(before, after)) if x != y]
        self.assertEqual(len(before), len(after))
        self.assertEqual([before[i].split(",")[0] for i in changed], ["80", "100"])
        with open(s.path("cab", "Mirevane.csv.bak"), newline="") as f:
            self.assertEqual(f.read().splitlines(keepends=True), before)
        hashes = s.hashes()
        self.assertEqual({k for k in hashes if hashes[k] != s.originals.get(k)},
                         {"Mirevane.csv", "Mirevane.csv.bak"})
        check = TOOL.run(["check", os.path.join("cab", "Mirevane.dll")], cwd=s.folder)
        self.assertEqual(check.returncode, 0, check.stdout_text)

    def test_damping_ratio_changes_the_response_and_undo_restores_it(self):
        b = self.browser
        before = b.view()
        # The first view's frames are in the page it loaded, not in its parts.
        before["run"]["data"] = b.js("return window.mirevaneStudio.frame().document"
                                     ".getElementById('dial-data').textContent.trim()")
        # Every plot and dial of the page, marked: an edit redraws only the gauge it changed.
        b.js("const d = window.mirevaneStudio.frame().document;"
             "for (const e of d.querySelectorAll('g.gauge-plot, figure.gauge')) e.kept = true;")
        b.type_into('section[data-gauge="1"] input[name="DampingRatio"]', "0.15")
        after = b.view()
        redrawn = b.js("""
            const d = window.mirevaneStudio.frame().document;
            const pieces = window.mirevaneStudio.view().run.plots;
            return Array.from(d.querySelectorAll('g.gauge-plot')).map((e, i) => {
              const holder = d.createElementNS('http://www.w3.org/2000/svg', 'svg');
              holder.innerHTML = pieces[i];
              // The cursor line is the page's own.
              const shown = e.cloneNode(true);
              for (const c of shown.querySelectorAll('line.cursor')) c.remove();
              return [!e.kept, shown.isEqualNode(holder.firstElementChild)];
            });""")
        self.assertEqual([r[0] for r in redrawn], [g == 1 for g in range(len(redrawn))])
        self.assertTrue(all(r[1] for r in redrawn), redrawn)  # each shows the server's piece
        self.assertNotEqual(after["gauges"][1]["step"], before["gauges"][1]["step"])
        self.assertNotEqual(after["run"], before["run"])
        self.assertGreater(max(y for _, y in after["gauges"][1]["step"]),
                           max(y for _, y in before["gauges"][1]["step"]))
        b.js("return window.mirevaneStudio.undo()")
        undone = b.view()
        self.assertEqual(undone["run"], before["run"])  # plots and needles, byte for byte
        self.assertEqual(undone["gauges"], before["gauges"])
        self.assertFalse(undone["dirty"])
        b.js("return window.mirevaneStudio.redo()")
        self.assertEqual(b.view()["run"], after["run"])

    def test_a_file_changed_on_disk_refuses_the_save(self):
        b = self.browser
        s = self.studio
        b.type_into('section[data-gauge="2"] input[name="Flattening"]', "0.4")
        theirs = b"[SubjectKey]\r\nSubject = mr\r\n; someone else's edit\r\n"
        with open(s.path("cab", "mr.ini"), "wb") as f:
            f.write(theirs)
        b.js("window.mirevaneStudio.save(false); return true")
        from selenium.webdriver.support import expected_conditions
        from selenium.webdriver.support.ui import WebDriverWait
        alert = WebDriverWait(b.driver, 30).until(expected_conditions.alert_is_present())
        self.assertIn("mr.ini", alert.text)
        alert.dismiss()
        b.wait_idle()
        with open(s.path("cab", "mr.ini"), "rb") as f:
            self.assertEqual(f.read(), theirs)
        self.assertFalse(os.path.exists(s.path("cab", "mr.ini.bak")))
        self.assertTrue(b.view()["dirty"])  # the edit is still there to save elsewhere

    def test_screenshot_for_a_person_to_look_at(self):
        self.browser.driver.save_screenshot(os.path.join(OUT, "studio.png"))


def expand(runs):
    """A series of the dial page's data, its runs [number, count] written out."""
    out = []
    for x in runs:
        out.extend([x[0]] * x[1] if isinstance(x, list) else [x])
    return out


class DialogsInTheBrowser(BrowserTest):
    """Every question the page asks, answered either way: the page does what was answered and
    goes on working (a later edit reaches the server and Save writes it)."""

    def setUp(self):
        self.studio = Studio()
        self.browser.open(self.studio)

    def tearDown(self):
        self.studio.stop()

    def answer(self, accept, words):
        from selenium.webdriver.support import expected_conditions
        from selenium.webdriver.support.ui import WebDriverWait
        alert = WebDriverWait(self.browser.driver, 30).until(expected_conditions.alert_is_present())
        self.assertIn(words, alert.text)
        if accept:
            alert.accept()
        else:
            alert.dismiss()

    def assert_settles(self):
        """The page's requests all end: a queue waiting on itself never would."""
        state = self.browser.js("""
            return Promise.race([window.mirevaneStudio.idle().then(() => "idle"),
                                 new Promise((r) => setTimeout(() => r("stuck"), 15000))]);""")
        self.assertEqual(state, "idle")

    def assert_still_saves(self):
        b = self.browser
        b.type_into('section[data-gauge="1"] input[name="Period"]', "1.7")
        self.assertTrue(b.view()["dirty"])
        b.js("return window.mirevaneStudio.save(false)")
        self.assertFalse(b.view()["dirty"])
        with open(self.studio.path("cab", "bc.ini"), "rb") as f:
            self.assertIn(b"Period = 1.7", f.read())

    def test_read_again_after_a_conflict_reads_the_files_and_the_page_goes_on(self):
        b = self.browser
        s = self.studio
        b.type_into('section[data-gauge="2"] input[name="Flattening"]', "0.4")
        with open(s.path("cab", "mr.ini"), "rb") as f:
            theirs = f.read().replace(b"Flattening = 0.35", b"Flattening = 0.3")
        with open(s.path("cab", "mr.ini"), "wb") as f:
            f.write(theirs)
        for accept in (False, True):
            b.js("window.mirevaneStudio.save(false); return true")
            self.answer(accept, "mr.ini")
            self.assert_settles()
            flattening = [x for x in b.view()["gauges"][2]["settings"] if x["key"] == "Flattening"][0]
            self.assertEqual(flattening["written"], "0.3" if accept else "0.4")
            self.assertEqual(b.view()["dirty"], not accept)
        with open(s.path("cab", "mr.ini"), "rb") as f:
            self.assertEqual(f.read(), theirs)
        self.assert_still_saves()

    def test_replacing_older_backups_saves_and_the_page_goes_on(self):
        b = self.browser
        s = self.studio
        stale = b"0,0\r\n"
        with open(s.path("cab", "Mirevane.csv.bak"), "wb") as f:
            f.write(stale)
        b.type_into('section[data-gauge="0"] tr[data-row="9"] td:nth-child(2) input', "172.5")
        for accept in (False, True):
            b.js("window.mirevaneStudio.save(false); return true")
            self.answer(accept, "Mirevane.csv.bak")
            self.assert_settles()
            self.assertEqual(b.view()["dirty"], not accept)
        with open(s.path("cab", "Mirevane.csv.bak"), "rb") as f:
            with open(os.path.join(EXAMPLES, "cab", "Mirevane.csv"), "rb") as original:
                self.assertEqual(f.read(), original.read())
        with open(s.path("cab", "Mirevane.csv"), "rb") as f:
            self.assertIn(b"80,172.5", f.read())
        self.assert_still_saves()

    def test_reading_the_files_again_asks_before_dropping_edits(self):
        from selenium.webdriver.common.by import By
        b = self.browser
        b.driver.find_element(By.ID, "reload").click()  # nothing to drop: no question
        self.assert_settles()
        b.type_into('section[data-gauge="1"] input[name="Period"]', "1.7")
        for accept in (False, True):
            b.driver.find_element(By.ID, "reload").click()
            self.answer(accept, "unsaved edits")
            self.assert_settles()
            period = [x for x in b.view()["gauges"][1]["settings"] if x["key"] == "Period"][0]
            self.assertEqual(period["written"], None if accept else "1.7")
            self.assertEqual(b.view()["dirty"], not accept)
            self.assertEqual(b.driver.find_element(By.ID, "undo").is_enabled(), not accept)

    def test_undo_and_redo_buttons_follow_ctrl_z_and_ctrl_y(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.by import By
        from selenium.webdriver.common.keys import Keys
        b = self.browser
        b.type_into('section[data-gauge="1"] input[name="Period"]', "1.7")

        def press(key):
            b.js("document.activeElement.blur()")  # keys in a text field are the field's
            ActionChains(b.driver).key_down(Keys.CONTROL).send_keys(key).key_up(Keys.CONTROL).perform()
            self.assert_settles()
            return [b.driver.find_element(By.ID, i).is_enabled() for i in ("undo", "redo")]

        self.assertEqual(press("z"), [False, True])
        self.assertFalse(b.view()["dirty"])
        self.assertEqual(press("y"), [True, False])
        self.assertTrue(b.view()["dirty"])


class SweepInTheBrowser(BrowserTest):
    """Without --scenario, on the example cab (a voltmeter on panel entry 60, an ammeter whose
    table starts at -800): every gauge's value runs over its whole table and back, and the
    readout beside the dial names the angle as the table writes it."""

    def test_every_needle_reaches_both_ends_of_its_table(self):
        from selenium.webdriver.common.by import By
        studio = Studio(sweep=True)
        b = self.browser
        try:
            b.open(studio)
            view = b.view()
            # The first view's frames are in the page it loaded.
            data = b.js("return JSON.parse(window.mirevaneStudio.frame().document"
                        ".getElementById('dial-data').textContent)")
            times = expand(data["t"])
            for g, shown in zip(view["gauges"], data["gauges"]):
                with self.subTest(g["title"]):
                    values = expand(shown["value"])
                    rows = sorted(g["rows"])
                    self.assertEqual((min(values), max(values)), (rows[0][0], rows[-1][0]))
                    # Up to the top by 10 s, back to the bottom by 20 s.
                    self.assertEqual(values[times.index(10000)], rows[-1][0])
                    self.assertEqual(values[-1], rows[0][0])
            # The ammeter (gauge 3, no tremble): its readout at each end shows the table's angle.
            b.show_dials()
            ammeter = sorted(view["gauges"][3]["rows"])
            for ms, row in ((0, ammeter[0]), (10000, ammeter[-1])):
                b.js("window.mirevaneStudio.frame().mirevaneDial.seek(arguments[0])", ms)
                b.driver.switch_to.frame(b.driver.find_element(By.ID, "run"))
                readout = b.driver.find_elements(By.CSS_SELECTOR, "figure.gauge")[3].find_element(
                    By.CSS_SELECTOR, ".readout")
                terms = [e.text for e in readout.find_elements(By.TAG_NAME, "dt")]
                texts = [e.text for e in readout.find_elements(By.TAG_NAME, "dd")]
                b.driver.switch_to.default_content()
                shown = texts[terms.index("table angle")]
                self.assertTrue(shown.startswith("%.3f\u00b0 (%.3f\u00b0 with the scale's +180)"
                                                 % (row[1], row[1] + 180)), shown)
        finally:
            studio.stop()


class EditorDetailsInTheBrowser(BrowserTest):
    """What each gauge's editor shows beside the run: edited cells marked, the check's lines
    as the command writes them, a row added to an empty table, the step response on axes
    that stay put."""

    def test_an_edited_cell_is_marked_and_no_other(self):
        from selenium.webdriver.common.by import By
        studio = Studio()
        b = self.browser
        try:
            b.open(studio)
            b.type_into('section[data-gauge="0"] tr[data-row="9"] td:nth-child(2) input', "172.5")

            def marked():
                return [(int(i.find_element(By.XPATH, "ancestor::tr").get_attribute("data-row")),
                         i.find_element(By.XPATH, "ancestor::td").get_attribute("cellIndex"))
                        for i in b.driver.find_elements(
                            By.CSS_SELECTOR, 'section[data-gauge="0"] table.rows input.edited')]
            self.assertEqual(marked(), [(9, "1")])
            edited = b.driver.find_element(
                By.CSS_SELECTOR, 'section[data-gauge="0"] tr[data-row="9"] td:nth-child(2) input')
            plain = b.driver.find_element(
                By.CSS_SELECTOR, 'section[data-gauge="0"] tr[data-row="8"] td:nth-child(2) input')
            self.assertNotEqual(edited.value_of_css_property("background-color"),
                                plain.value_of_css_property("background-color"))
            b.js("return window.mirevaneStudio.save(false)")
            self.assertEqual(marked(), [])  # saved: as on disk
        finally:
            studio.stop()

    def test_an_empty_table_gets_a_row_and_its_finding_reads_as_check_writes_it(self):
        from selenium.webdriver.common.by import By
        cab = os.path.join(tempfile.mkdtemp(prefix="mirevane-empty-table-"), "cab")
        shutil.copytree(os.path.join(EXAMPLES, "cab"), cab)
        open(os.path.join(cab, "voltmeter.csv"), "w").close()
        studio = Studio(cab=cab)
        shutil.rmtree(os.path.dirname(cab))
        b = self.browser
        try:
            b.open(studio)
            check = TOOL.run(["check", os.path.join("cab", "Mirevane.dll")], cwd=studio.folder)
            lines = check.stdout_text.splitlines()
            listed = lines[lines.index("Diagnostics") + 1:-1]
            self.assertEqual(b.view()["gauges"][4]["rows"], [])
            # The first row starts the scale at 0; each next one 10 past the last.
            # The status counts as check does: one point is one error, said in the singular.
            for rows, status in (([[0, 0]], "1 error, 0 warnings"),
                                 ([[0, 0], [10, 0]], "0 errors, 0 warnings")):
                b.driver.find_element(By.CSS_SELECTOR, 'section[data-gauge="4"] button.add-row').click()
                b.wait_idle()
                self.assertEqual(b.view()["gauges"][4]["rows"], rows)
                self.assertEqual(b.driver.find_element(By.ID, "status").text, status)
            b.js("return window.mirevaneStudio.undo().then(window.mirevaneStudio.undo)")
            shown = [e.text for e in b.driver.find_elements(By.CSS_SELECTOR, "#diagnostics li")]
            self.assertEqual(shown, listed)
            self.assertEqual(lines[-1], "1 error, 0 warnings.")
        finally:
            studio.stop()

    def test_the_step_response_keeps_its_axes_when_the_damping_changes(self):
        from selenium.webdriver.common.by import By
        studio = Studio()
        b = self.browser
        try:
            b.open(studio)

            def drawn():
                svg = b.driver.find_element(By.CSS_SELECTOR, 'section[data-gauge="1"] svg.step')
                step = b.view()["gauges"][1]["step"]
                return step, [t.text for t in svg.find_elements(By.TAG_NAME, "text")]
            step, labels = drawn()
            self.assertEqual(labels, ["0 s", "1 s", "2 s", "3 s", "4 s", "5 s", "0", "1", "2"])
            b.type_into('section[data-gauge="1"] input[name="NaturalFreq"]', "2")
            slower, relabelled = drawn()
            self.assertEqual(relabelled, labels)
            self.assertEqual([t for t, _ in slower], [t for t, _ in step])  # the same instants
            self.assertLess(slower[30][1], step[30][1])  # half a second in, the slower lags
        finally:
            studio.stop()


def write_dial_png(path, size, hub, radius, marks):
    """A grey dial picture drawn point by point: its rim and a dot at each mark."""
    import struct
    import zlib

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = bytearray()
    for y in range(size):
        rows.append(0)
        for x in range(size):
            r = math.hypot(x - hub[0], y - hub[1])
            dark = abs(r - radius) < 1.5 or any(math.hypot(x - mx, y - my) < 4 for mx, my in marks)
            rows.append(40 if dark else 235)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 0, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(bytes(rows))) + chunk(b"IEND", b""))


class CalibrationInTheBrowser(BrowserTest):
    """Clicked on a dial picture: the hub and three marks with their values typed give the
    rows `mirevane calibrate` gives for the same points, and the page's needles run through
    the marks."""

    # The speedometer's picture: up-cw, table angles 20, 150 and 290 at 0, 80 and 160 km/h.
    HUB = (200, 200)
    MARKS = [(0, 20.0), (80, 150.0), (160, 290.0)]

    @staticmethod
    def at(table_angle):
        t = math.radians(-90.0 + table_angle + 180.0)  # up-cw, the scale's 180 added
        return (round(200 + 160 * math.cos(t)), round(200 + 160 * math.sin(t)))

    def test_clicked_marks_give_the_commands_rows(self):
        from selenium.webdriver.common.by import By
        picture = os.path.join(OUT, "synthetic-dial.png")
        write_dial_png(picture, 400, self.HUB, 180, [self.at(a) for _, a in self.MARKS])
        studio = Studio(extra=["--dial", "0=%s,200,200,180" % picture])
        b = self.browser
        try:
            b.open(studio)
            card = 'section[data-gauge="0"] '
            b.driver.find_element(By.CSS_SELECTOR, card + "details.calibrate summary").click()

            b.click_hub_and_marks(card, self.HUB, [(v, self.at(a)) for v, a in self.MARKS], 200)
            c = b.js("return window.mirevaneStudio.calibration(0)")
            self.assertEqual(len(c["marks"]), 3)
            rows = {r[0]: r[1] for r in b.view()["gauges"][0]["rows"]}

            args = ["calibrate", os.path.join("cab", "Mirevane.dll"), "--gauge", "0", "--no-panel",
                    "--hub", "%g,%g" % tuple(c["hub"])]
            for m in c["marks"]:
                args += ["--mark", "%g@%g,%g" % (m["value"], m["x"], m["y"])]
            # The command on the cab as the studio read it: the page's edits are not saved.
            result = TOOL.run(args, cwd=studio.folder)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            for line in result.stdout_text.splitlines():
                if not line.startswith(";"):
                    value, angle = map(float, line.split(","))
                    self.assertEqual(rows[value], angle, "the row of %g" % value)
                    self.assertAlmostEqual(angle, dict(self.MARKS)[value], delta=0.5)  # whole pixels
            # Each needle drawn on the picture runs from the hub through its mark.
            for m in c["marks"]:
                line = b.driver.find_element(By.CSS_SELECTOR, card + 'svg.picture line.needle[data-value="%g"]'
                                             % m["value"])
                x2, y2 = float(line.get_attribute("x2")), float(line.get_attribute("y2"))
                self.assertAlmostEqual(x2, m["x"], delta=0.01)
                self.assertAlmostEqual(y2, m["y"], delta=0.01)
            b.driver.save_screenshot(os.path.join(OUT, "studio-calibration.png"))
        finally:
            studio.stop()


class OvalCalibrationInTheBrowser(BrowserTest):
    """The order the docs give for an oval dial (picture, hub, marks, rim, "Use these
    settings"): the rows, the marks' angles and their needles end read through the fitted
    ellipse, as `mirevane calibrate --rim` reads them, not through the gauge's old one."""

    HUB = (200, 200)
    FLATTENING, ROTATE = 0.5, 30.0  # the picture's; the cab's gauge 1 has 0.35 and 0
    MARKS = [(0, 30.0), (500, 165.0), (1000, 300.0)]

    @classmethod
    def screen(cls, frame_degrees, length):
        t = math.radians(-90.0 + frame_degrees)  # up-cw
        return (round(cls.HUB[0] + length * math.cos(t)), round(cls.HUB[1] + length * math.sin(t)))

    @classmethod
    def at(cls, table_angle):
        a = math.radians(table_angle + 180.0 - cls.ROTATE)
        b = 1.0 - cls.FLATTENING
        return cls.screen(math.degrees(math.atan2(b * math.sin(a), math.cos(a))) + cls.ROTATE, 150)

    @classmethod
    def rim(cls, t_degrees):
        t, r, b = math.radians(t_degrees), math.radians(cls.ROTATE), 1.0 - cls.FLATTENING
        x, y = math.cos(t), b * math.sin(t)
        frame = math.degrees(math.atan2(x * math.sin(r) + y * math.cos(r), x * math.cos(r) - y * math.sin(r)))
        return cls.screen(frame, 180 * math.hypot(x, y))

    def test_use_these_settings_reads_the_marks_again(self):
        from selenium.webdriver.common.by import By
        picture = os.path.join(OUT, "synthetic-oval-dial.png")
        write_dial_png(picture, 400, self.HUB, 180, [self.at(a) for _, a in self.MARKS])
        studio = Studio(extra=["--dial", "1=%s,200,200,180" % picture])
        b = self.browser
        try:
            b.open(studio)
            card = 'section[data-gauge="1"] '
            summary = b.driver.find_element(By.CSS_SELECTOR, card + "details.calibrate summary")
            b.js("arguments[0].scrollIntoView({block: 'center'})", summary)
            summary.click()

            b.click_hub_and_marks(card, self.HUB, [(v, self.at(a)) for v, a in self.MARKS], 200)
            b.driver.find_element(By.CSS_SELECTOR, card + 'button[data-mode="rim"]').click()
            b.wait_idle()
            for k in range(8):
                b.click_picture(card, *self.rim(k * 45.0 + 10.0), 200)
            b.driver.find_element(By.CSS_SELECTOR, card + "button.use-fit").click()
            b.wait_idle()

            c = b.js("return window.mirevaneStudio.calibration(1)")
            gauge = b.view()["gauges"][1]
            settings = {s["key"]: s["written"] for s in gauge["settings"]}
            rows = {r[0]: r[1] for r in gauge["rows"]}
            args = ["calibrate", os.path.join("cab", "Mirevane.dll"), "--gauge", "1", "--no-panel",
                    "--hub", "%g,%g" % tuple(c["hub"])]
            for m in c["marks"]:
                args += ["--mark", "%g@%g,%g" % (m["value"], m["x"], m["y"])]
            for x, y in c["rim"]:
                args += ["--rim", "%g,%g" % (x, y)]
            result = TOOL.run(args, cwd=studio.folder)  # the cab as read: 0.35 and 0
            self.assertEqual(result.returncode, 0, result.stderr_text)
            printed = dict(re.findall(r"^(Flattening|RotateAngle) = (\S+)$", result.stdout_text, re.M))
            self.assertEqual(settings["Flattening"], printed["Flattening"])
            self.assertEqual(settings["RotateAngle"], printed["RotateAngle"])
            shown = {}
            for tr in b.driver.find_elements(By.CSS_SELECTOR, card + "table.marks tr"):
                value = float(tr.find_element(By.CSS_SELECTOR, "input").get_attribute("value"))
                shown[value] = float(tr.find_element(By.CSS_SELECTOR, "td.mark-angle").text.rstrip("\u00b0"))
            for line in result.stdout_text.splitlines():
                if line and not line.startswith(";") and "=" not in line:
                    value, angle = map(float, line.split(","))
                    self.assertEqual(rows[value], angle, "the row of %g" % value)
                    self.assertEqual(shown[value], angle, "the mark of %g as listed" % value)
                    self.assertAlmostEqual(angle, dict(self.MARKS)[value], delta=1.0)  # whole pixels
            # Each needle drawn on the picture runs through its mark through the new ellipse.
            for m in c["marks"]:
                line = b.driver.find_element(By.CSS_SELECTOR, card + 'svg.picture line.needle[data-value="%g"]'
                                             % m["value"])
                self.assertAlmostEqual(float(line.get_attribute("x2")), m["x"], delta=0.01)
                self.assertAlmostEqual(float(line.get_attribute("y2")), m["y"], delta=0.01)
        finally:
            studio.stop()

    def test_refusals_and_kept_rows_show_beside_the_marks(self):
        from selenium.webdriver.common.by import By
        picture = os.path.join(OUT, "synthetic-dial-refusals.png")
        write_dial_png(picture, 400, self.HUB, 180, [])
        studio = Studio(extra=["--dial", "0=%s,200,200,180" % picture])
        b = self.browser
        try:
            b.open(studio)
            card = 'section[data-gauge="0"] '
            b.driver.find_element(By.CSS_SELECTOR, card + "details.calibrate summary").click()

            before = b.view()["gauges"][0]["rows"]
            b.mark(card, 0, (360, 200), 200)  # right, then down: a quarter turn clockwise
            b.mark(card, 80, (200, 360), 200)
            kept = b.driver.find_element(By.CSS_SELECTOR, card + "ul.calibrate-warnings").text
            self.assertIn("rows of the present table stay, not from the picture", kept)
            self.assertIn("[calibrate-kept-rows]", kept)
            self.assertEqual(len(b.view()["gauges"][0]["rows"]), len(before))
            # The same value again: refused beside the marks, the table left as it was.
            rows = b.view()["gauges"][0]["rows"]
            b.mark(card, 80, (40, 200), 200)
            refused = b.driver.find_element(By.CSS_SELECTOR, card + "p.calibrate-refused").text
            self.assertIn("two marks of 80", refused)
            self.assertIn("[calibrate-mark]", refused)
            self.assertEqual(b.view()["gauges"][0]["rows"], rows)
            self.assertEqual(b.driver.find_elements(By.CSS_SELECTOR, card + "svg.picture line.needle"), [])
            b.driver.find_element(By.CSS_SELECTOR, card + 'table.marks tr[data-mark="2"] button').click()
            b.wait_idle()
            # Replacing the whole table: the marks' rows alone.
            b.driver.find_element(By.CSS_SELECTOR, card + 'input[name="replace"]').click()
            b.wait_idle()
            rows = b.view()["gauges"][0]["rows"]
            self.assertEqual([r[0] for r in rows], [0, 80])
            for (_, got), want in zip(rows, (-90.0, 0.0)):
                self.assertAlmostEqual(got, want, delta=0.5)  # clicks on whole pixels
            self.assertIn("the angles rise with the value",
                          b.driver.find_element(By.CSS_SELECTOR, card + "p.calibrate-sense").text)
        finally:
            studio.stop()


def panel_sections(path):
    """The sections of a panel file in order: (name, {lower-case key: value})."""
    sections = []
    with open(path, encoding="latin-1") as f:
        for line in f:
            line = line.split(";")[0].strip()
            if line.startswith("[") and line.endswith("]"):
                sections.append((line[1:-1].strip().lower(), {}))
            elif "=" in line and sections:
                key, value = line.split("=", 1)
                sections[-1][1].setdefault(key.strip().lower(), value.strip())
    return sections


class PanelNeedle:
    """A [Needle] of the panel as the host draws it: screen angle InitialAngle + (value -
    Minimum) * (LastAngle - InitialAngle) / (Maximum - Minimum), degrees clockwise from up,
    about Location (pixels of the panel's picture)."""

    def __init__(self, keys):
        self.location = tuple(float(v) for v in keys["location"].split(","))
        self.minimum = float(keys.get("minimum", 0))
        self.maximum = float(keys.get("maximum", 1000))
        self.initial = float(keys.get("initialangle", -120))
        self.last = float(keys.get("lastangle", 120))

    @classmethod
    def of_entry(cls, panel, entry):
        for name, keys in panel_sections(panel):
            if name == "needle" and keys.get("subject", "").lower() == "ats%d" % entry:
                return cls(keys)
        raise AssertionError("no needle on ats%d" % entry)

    def point(self, value, length):
        s = math.radians(self.initial + (value - self.minimum) * (self.last - self.initial) /
                         (self.maximum - self.minimum))
        return (self.location[0] + length * math.sin(s), self.location[1] - length * math.cos(s))


class PanelCalibrationRequests(unittest.TestCase):
    """Calibration on the cab picture through the studio's request, on a needle whose mapping
    is not the default convention (angle 0 down, growing anticlockwise): the studio takes the
    hub and the convention from the needle, as `mirevane calibrate` does, and gives its rows."""

    NEEDLE = {"location": "300, 250", "minimum": "0", "maximum": "360000",
              "initialangle": "180", "lastangle": "-180"}
    MARKS = [(0, 20.0), (80, 150.0), (160, 290.0)]  # value, table angle

    @classmethod
    def prepare(cls, folder):
        with open(os.path.join(folder, "cab", "panel2.cfg"), "w") as f:
            f.write("[This]\nDaytimeImage = images/panel.png\n[Needle]\nSubject = ats20\n" +
                    "".join("%s = %s\n" % item for item in cls.NEEDLE.items()))

    def test_the_needle_gives_hub_and_convention_and_the_commands_rows(self):
        studio = Studio(prepare=self.prepare)
        try:
            needle = PanelNeedle(self.NEEDLE)
            marks = [[v] + [round(c, 3) for c in needle.point((a + 180.0) * 1000.0, 90.0)]
                     for v, a in self.MARKS]
            status, payload = studio.request("POST", "/api/calibrate", {
                "gauge": 0, "panel": True, "marks": marks, "rim": [], "replace": True})
            self.assertEqual(status, 200, payload[:300])
            answer = json.loads(payload)
            self.assertIsNone(answer["refused"])
            got = {v: a for v, a in answer["rows"]}
            for value, angle in self.MARKS:
                self.assertAlmostEqual(got[value], angle, delta=0.01)
            args = ["calibrate", os.path.join("cab", "Mirevane.dll"), "--gauge", "0", "--replace"]
            for v, x, y in marks:
                args += ["--mark", "%r@%r,%r" % (v, x, y)]
            result = TOOL.run(args, cwd=studio.folder)
            self.assertEqual(result.returncode, 0, result.stderr_text)
            printed = [list(map(float, line.split(","))) for line in
                       result.stdout_text.splitlines() if not line.startswith(";")]
            self.assertEqual(printed, answer["rows"])
            # A hub in the request is not read: the needle's is.
            status, again = studio.request("POST", "/api/calibrate", {
                "gauge": 0, "panel": True, "hub": [0, 0], "marks": marks, "rim": [],
                "replace": True})
            self.assertEqual(json.loads(again)["rows"], answer["rows"])
            # The oval gauges' images have no needle here: refused at the panel file, rows none.
            status, payload = studio.request("POST", "/api/calibrate", {
                "gauge": 1, "panel": True, "marks": marks, "rim": []})
            refused = json.loads(payload)["refused"]
            self.assertEqual(refused["code"], "calibrate-panel-needle")
            self.assertRegex(refused["message"], r"panel2\.cfg: error: gauge 1 writes ats30")
            self.assertIsNone(json.loads(payload)["rows"])
        finally:
            studio.stop()


class CabInTheBrowser(BrowserTest):
    """The example cab with its panel: the studio opens on the cab picture, says which panel
    it uses, a click on a needle selects its gauge, and calibration on the cab picture (no hub,
    no convention: the needle's) gives the rows and the oval's fit `mirevane calibrate` gives
    for the same clicks."""

    def setUp(self):
        self.studio = Studio()
        self.browser.open(self.studio)
        self.panel = self.studio.path("cab", "panel2.cfg")

    def tearDown(self):
        self.browser.driver.switch_to.default_content()
        self.studio.stop()

    def test_the_cab_is_the_first_view_and_its_panel_is_named(self):
        from selenium.webdriver.common.by import By
        b = self.browser
        said = b.driver.find_element(By.ID, "panel").text
        self.assertRegex(said, r"^panel: .*panel2\.cfg")
        needles = [s for s, _ in panel_sections(self.panel) if s == "needle"]
        b.driver.switch_to.frame(b.driver.find_element(By.ID, "run"))
        figure = b.driver.find_elements(By.CSS_SELECTOR, ".cab-needle")
        self.assertEqual(len(figure), len(needles))
        self.assertTrue(figure[0].is_displayed())
        # The cab comes first: its picture's top above every abstract dial's.
        top = b.js("return document.querySelector('.cab-needle').closest('svg')"
                   ".getBoundingClientRect().top")
        for dial in b.driver.find_elements(By.CSS_SELECTOR, "svg.dial"):
            if dial.is_displayed():
                self.assertLess(top, dial.rect["y"])
        b.driver.switch_to.default_content()
        b.driver.save_screenshot(os.path.join(OUT, "studio-cab.png"))
        # The abstract dials one click away.
        b.driver.switch_to.frame(b.driver.find_element(By.ID, "run"))
        b.driver.find_element(By.CSS_SELECTOR, 'button[data-view="dials"]').click()
        dials = b.driver.find_elements(By.CSS_SELECTOR, "svg.dial")
        self.assertEqual(len(dials), len(b.js("return window.mirevaneDial.state().gauges")))
        self.assertTrue(all(d.is_displayed() for d in dials))

    def test_a_click_on_a_needle_selects_its_gauge(self):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.by import By
        b = self.browser
        motion = b.js("return window.mirevaneStudio.frame().mirevaneDial.state().cab")
        b.driver.switch_to.frame(b.driver.find_element(By.ID, "run"))
        chosen = {}  # gauge -> a needle of it whose middle is its own to click
        for index, needle in enumerate(motion):
            gauge = needle["gauge"]
            if gauge < 0 or gauge in chosen:
                continue
            element = b.driver.find_element(By.CSS_SELECTOR, '.cab-needle[data-needle="%d"]' % index)
            on_top = b.js("""const r = arguments[0].getBoundingClientRect();
                const hit = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
                return !!hit && hit.closest('.cab-needle') === arguments[0];""", element)
            if on_top:
                chosen[gauge] = element
        self.assertGreaterEqual(len(chosen), 2, "needles of two gauges to click")
        for gauge, element in sorted(chosen.items(), reverse=True):
            with self.subTest(gauge=gauge):
                ActionChains(b.driver).move_to_element(element).click().perform()
                b.driver.switch_to.default_content()
                self.assertEqual(b.js("return window.mirevaneStudio.selected()"), gauge)
                cards = b.driver.find_elements(By.CSS_SELECTOR, "section.gauge-editor.selected")
                self.assertEqual([int(c.get_attribute("data-gauge")) for c in cards], [gauge])
                self.assertTrue(b.js("const r = arguments[0].getBoundingClientRect();"
                                     "return r.top >= 0 && r.top < window.innerHeight;", cards[0]))
                b.driver.switch_to.frame(b.driver.find_element(By.ID, "run"))

    def open_calibration(self, gauge):
        from selenium.webdriver.common.by import By
        b = self.browser
        card = 'section[data-gauge="%d"] ' % gauge
        summary = b.driver.find_element(By.CSS_SELECTOR, card + "details.calibrate summary")
        self.assertEqual(summary.text, "Calibrate on the cab picture")
        b.js("arguments[0].scrollIntoView({block: 'center'})", summary)
        summary.click()
        deadline = time.time() + 30  # the cab picture fetched once opened
        while not b.driver.find_elements(By.CSS_SELECTOR, card + "svg.picture"):
            self.assertLess(time.time(), deadline, "the cab picture in the calibration")
            time.sleep(0.05)
        b.wait_idle()
        self.assertEqual(b.driver.find_elements(By.CSS_SELECTOR, card + 'button[data-mode="hub"]'), [])
        return card

    def command(self, gauge, c, *extra):
        """`mirevane calibrate` with the page's clicks, the panel found beside the library."""
        args = ["calibrate", os.path.join("cab", "Mirevane.dll"), "--gauge", str(gauge)]
        for m in c["marks"]:
            args += ["--mark", "%r@%r,%r" % (m["value"], m["x"], m["y"])]
        for x, y in c["rim"]:
            args += ["--rim", "%r,%r" % (x, y)]
        result = TOOL.run(args + list(extra), cwd=self.studio.folder)
        self.assertEqual(result.returncode, 0, result.stderr_text)
        self.assertRegex(result.stderr_text, r"(?m)^panel: .*panel2\.cfg")
        return result.stdout_text

    def test_marks_clicked_on_the_cab_give_the_commands_rows(self):
        from selenium.webdriver.common.by import By
        b = self.browser
        gauge = b.view()["gauges"][0]
        needle = PanelNeedle.of_entry(self.panel, gauge["entries"][0])
        card = self.open_calibration(0)
        c = b.js("return window.mirevaneStudio.calibration(0)")
        self.assertEqual(c["hub"], list(needle.location))
        marks = [(0, 20.0), (80, 150.0), (160, 290.0)]  # value, table angle
        for value, angle in marks:
            b.mark_on_picture(card, value, needle.point((angle + 180.0) * 1000.0, 60.0))
        c = b.js("return window.mirevaneStudio.calibration(0)")
        self.assertEqual(len(c["marks"]), 3)
        rows = {r[0]: r[1] for r in b.view()["gauges"][0]["rows"]}
        printed = self.command(0, c)
        self.assertIn("on the panel picture", printed)
        for line in printed.splitlines():
            if not line.startswith(";"):
                value, angle = map(float, line.split(","))
                self.assertEqual(rows[value], angle, "the row of %g" % value)
                self.assertAlmostEqual(angle, dict(marks)[value], delta=3.0)  # clicks, zoomed out
        for m in c["marks"]:  # each needle drawn from the hub through its mark
            line = b.driver.find_element(
                By.CSS_SELECTOR, card + 'svg.picture line.needle[data-value="%g"]' % m["value"])
            self.assertAlmostEqual(float(line.get_attribute("x2")), m["x"], delta=0.01)
            self.assertAlmostEqual(float(line.get_attribute("y2")), m["y"], delta=0.01)
        b.driver.save_screenshot(os.path.join(OUT, "studio-cab-calibration.png"))

    def test_an_oval_rim_is_fitted_on_the_cab_picture(self):
        from selenium.webdriver.common.by import By
        b = self.browser
        number = next(g["number"] for g in b.view()["gauges"] if g["elliptic"])
        gauge = b.view()["gauges"][number]
        settings = {s["key"]: float(s["effective"]) for s in gauge["settings"]
                    if s["key"] in ("Flattening", "RotateAngle")}
        needle = PanelNeedle.of_entry(self.panel, gauge["entries"][0])
        card = self.open_calibration(number)
        flattening, rotate = settings["Flattening"], settings["RotateAngle"]
        b.driver.find_element(By.CSS_SELECTOR, card + 'button[data-mode="rim"]').click()
        b.wait_idle()
        for k in range(8):
            t = math.radians(k * 45.0 + 10.0)
            along, across = math.cos(t), (1.0 - flattening) * math.sin(t)
            frame = math.degrees(math.atan2(across, along)) + rotate
            b.click_on_picture(card, *needle.point(frame * 1000.0, 70.0 * math.hypot(along, across)))
        c = b.js("return window.mirevaneStudio.calibration(%d)" % number)
        fit = c["result"]["fit"]
        self.assertAlmostEqual(fit["flattening"], flattening, delta=0.05)
        printed = self.command(number, c)
        fitted = dict(re.findall(r"^(Flattening|RotateAngle) = (\S+)$", printed, re.M))
        self.assertEqual(fit["settings"], fitted)


class PictureChosenInTheBrowser(BrowserTest):
    """A dial picture chosen in the page (no --dial): the picker keeps its name, the picture
    shows, and once its hub and a mark are set it is drawn under the run's dial; a malformed
    picture request is refused and changes nothing."""

    def test_the_chosen_picture_shows_and_the_picker_names_it(self):
        from selenium.webdriver.common.by import By
        picture = os.path.join(OUT, "chosen-dial.png")
        write_dial_png(picture, 120, (60, 60), 50, [])
        studio = Studio()
        b = self.browser
        try:
            b.open(studio)
            card = 'section[data-gauge="1"] '
            b.driver.find_element(By.CSS_SELECTOR, card + "details.calibrate summary").click()
            b.driver.find_element(By.CSS_SELECTOR, card + 'input[type="file"]').send_keys(picture)
            deadline = time.time() + 30
            while time.time() < deadline and not b.js(
                    "const c = window.mirevaneStudio.calibration(1); return !!(c && c.picture)"):
                time.sleep(0.05)
            b.wait_idle()
            chosen = b.js("return Array.from(arguments[0].files).map((f) => f.name)",
                          b.driver.find_element(By.CSS_SELECTOR, card + 'input[type="file"]'))
            self.assertEqual(chosen, ["chosen-dial.png"])
            image = b.driver.find_element(By.CSS_SELECTOR, card + "svg.picture image")
            self.assertTrue(image.get_attribute("href").startswith("data:image/png"))
            self.assertTrue(image.is_displayed())
            b.driver.save_screenshot(os.path.join(OUT, "studio-chosen-picture.png"))

            # Under the run's dial once the hub and a mark give its radius; not before.
            dial = 'svg.dial[data-gauge="1"]'

            def run_dial_images():
                b.driver.switch_to.frame(b.driver.find_element(By.ID, "run"))
                try:
                    return [i.get_attribute("href")
                            for i in b.driver.find_elements(By.CSS_SELECTOR, dial + " image")]
                finally:
                    b.driver.switch_to.default_content()

            uri = b.js("return window.mirevaneStudio.calibration(1).picture")
            self.assertEqual(run_dial_images(), [])
            self.assertNotIn("face", b.view()["gauges"][1])
            b.click_picture(card, 60, 60, 60)
            self.assertEqual(run_dial_images(), [], "a hub alone gives no radius")
            b.click_picture(card, 60, 20, 60)
            self.assertEqual(run_dial_images(), [uri])
            c = b.js("return window.mirevaneStudio.calibration(1)")
            face = b.view()["gauges"][1]["face"]
            self.assertEqual(face["picture"], uri)
            self.assertEqual(face["hub"], c["hub"])
            self.assertAlmostEqual(face["radius"], math.hypot(c["marks"][0]["x"] - c["hub"][0],
                                                              c["marks"][0]["y"] - c["hub"][1]),
                                   places=1)
            self.assertAlmostEqual(face["radius"], 40, delta=2)
            self.assertIn("farthest mark", b.driver.find_element(By.CSS_SELECTOR, card + "p.face-hint").text)
            b.driver.save_screenshot(os.path.join(OUT, "studio-chosen-picture-under-the-dial.png"))

            # Malformed pictures and sizes are refused and change nothing.
            good = {"gauge": 1, "picture": uri, "width": 120, "height": 120, "hub": [60, 60],
                    "radius": 30}
            before = json.loads(studio.request("GET", "/api/view")[1])
            for name, change in [
                    ("not an image", {"picture": "data:text/html;base64,PHNjcmlwdD4="}),
                    ("not base64", {"picture": uri[:40] + '"/><script>x</script>'}),
                    ("not the PNG it claims", {"picture": "data:image/png;base64,aGVsbG8gd29ybGQh"}),
                    ("a negative radius", {"radius": -5}),
                    ("no radius", {"radius": None}),
                    ("a hub of one number", {"hub": [60]}),
                    ("an unknown gauge", {"gauge": 7})]:
                with self.subTest(name):
                    status, payload = studio.request("POST", "/api/face", dict(good, **change))
                    self.assertIn(status, (400, 404), payload[:300])
                    self.assertIn(b"error", payload)
            after = json.loads(studio.request("GET", "/api/view")[1])
            self.assertEqual(after["gauges"][1]["face"], before["gauges"][1]["face"])
            self.assertEqual(after["run"], before["run"])
            # The well-formed request itself is taken: the check above can fail.
            status, payload = studio.request("POST", "/api/face", good)
            self.assertEqual(status, 200, payload[:300])
            self.assertEqual(json.loads(payload)["gauges"][1]["face"]["radius"], 30)
        finally:
            studio.stop()


def benchmark(edits, cab, scenario, fps, extra):
    """Edit-to-needle: a table point typed in, until the browser has painted the new needles
    and plots; the median and the 95th percentile over `edits` edits."""
    studio = Studio(cab, scenario, fps, extra=extra)
    browser = Browser()
    try:
        browser.open(studio)
        rows = browser.view()["gauges"][0]["rows"]
        times = browser.js("""
            const rows = arguments[0], n = arguments[1];
            const times = [];
            let chain = Promise.resolve();
            for (let i = 0; i < n; ++i) {
              chain = chain.then(async () => {
                const next = rows.map((r, k) => (k === 8 ? [r[0], r[1] + (i % 7) - 3] : r));
                const start = performance.now();
                await window.mirevaneStudio.edit({gauge: 0, rows: next}, {gauge: 0, rows: null});
                // Until the browser has painted it: the frame after the next animation frame.
                await new Promise((r) => requestAnimationFrame(() => setTimeout(r)));
                times.push(performance.now() - start);
              });
            }
            return chain.then(() => times);""", rows, edits)
        times.sort()
        print("edit-to-needle over %d edits: median %.1f ms, 95th percentile %.1f ms"
              % (len(times), statistics.median(times), times[int(0.95 * (len(times) - 1))]))
    finally:
        browser.close()
        studio.stop()


def first_view(loads, cab, scenario, fps, extra):
    """The studio's first view: the page loaded afresh, from the start of its navigation until
    the browser has painted the view with every picture of the dial page decoded (on a cab
    with a panel, the cab picture and its needles); the median and the 95th percentile over
    `loads` loads, and the size of the view's answer."""
    studio = Studio(cab, scenario, fps, extra=extra)
    browser = Browser()
    try:
        status, payload = studio.request("GET", "/api/view")
        assert status == 200, payload[:300]
        times = []
        for _ in range(loads):
            browser.driver.get("about:blank")
            browser.driver.get(studio.address)
            times.append(browser.driver.execute_async_script("""
                const done = arguments[arguments.length - 1];
                const shown = () => {
                  const studio = window.mirevaneStudio;
                  const frame = studio && studio.view() && studio.frame();
                  return frame && frame.mirevaneDial && frame.document.readyState === "complete";
                };
                const painted = async () => {
                  const doc = window.mirevaneStudio.frame().document;
                  const hrefs = Array.from(doc.querySelectorAll("image"), (i) => i.getAttribute("href"));
                  await Promise.all(hrefs.map((href) => {
                    const image = new Image();
                    image.src = href;
                    return image.decode().catch(() => {});
                  }));
                  await new Promise((r) => requestAnimationFrame(() => setTimeout(r)));
                  done([performance.now(), doc.querySelectorAll(".cab-needle").length]);
                };
                const wait = () => (shown() ? painted() : setTimeout(wait, 5));
                wait();"""))
        ms = sorted(t for t, _ in times)
        print("first view over %d loads: median %.0f ms, 95th percentile %.0f ms, %d cab needles "
              "drawn; the view's answer %.2f MB" % (
                  len(ms), statistics.median(ms), ms[int(round(0.95 * (len(ms) - 1)))],
                  times[0][1], len(payload) / 1e6))
    finally:
        browser.close()
        studio.stop()


def main():
    global TOOL, EXAMPLES, OUT
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--emulator")
    parser.add_argument("--wineprefix")
    parser.add_argument("--benchmark", type=int)
    parser.add_argument("--first-view", type=int, help="time N loads of the first view")
    parser.add_argument("--no-panel", action="store_true",
                        help="--first-view and --benchmark without the cab's panel")
    parser.add_argument("--race", type=int, help="an outside writer against N saves: the figures")
    parser.add_argument("--cab", help="the benchmark's cab folder (default: the example's)")
    parser.add_argument("--scenario", help="the benchmark's scenario")
    parser.add_argument("--fps", default="30")
    args, rest = parser.parse_known_args()
    TOOL = Tool(args.tool, args.emulator, args.wineprefix)
    EXAMPLES = os.path.abspath(args.examples)
    OUT = os.path.abspath(args.out)
    os.makedirs(OUT, exist_ok=True)
    try:
        import selenium  # noqa: F401
        browser = bool(shutil.which("chromedriver") and shutil.which("chromium"))
    except ImportError:
        browser = False
    if args.benchmark:
        benchmark(args.benchmark, args.cab, args.scenario, args.fps,
                  ["--no-panel"] if args.no_panel else [])
        return 0
    if args.first_view:
        first_view(args.first_view, args.cab, args.scenario, args.fps,
                   ["--no-panel"] if args.no_panel else [])
        return 0
    if args.race:
        race(args.race)
        return 0
    suite = unittest.TestSuite()
    loader = unittest.TestLoader()
    for case in (HostileRequests, PanelPictureRequests, PanelCalibrationRequests,
                 SaveChecksEveryFileRead,
                 GaugeNamedTheWindowsWay, SlowClients, ExclusivePort, BrowserOpening):
        suite.addTests(loader.loadTestsFromTestCase(case))
    if TOOL.windows:
        TOOL.keep_wine_running()  # the server's own tests: the browser's are the native's
    elif browser:
        for case in (KilledMidSave, LinkedFoldersInTheCab, PrivateFolder):
            suite.addTests(loader.loadTestsFromTestCase(case))
        suite.addTests(loader.loadTestsFromTestCase(InTheBrowser))
        suite.addTests(loader.loadTestsFromTestCase(CalibrationInTheBrowser))
        suite.addTests(loader.loadTestsFromTestCase(OvalCalibrationInTheBrowser))
        suite.addTests(loader.loadTestsFromTestCase(CabInTheBrowser))
        for case in (DialogsInTheBrowser, SweepInTheBrowser, EditorDetailsInTheBrowser,
                     PictureChosenInTheBrowser):
            suite.addTests(loader.loadTestsFromTestCase(case))
    else:
        for case in (KilledMidSave, LinkedFoldersInTheCab, PrivateFolder):
            suite.addTests(loader.loadTestsFromTestCase(case))
        print("The browser tests need python3-selenium, chromium-driver and chromium "
              "(scripts/install-deps); only the server's own tests run.")
    named = [a for a in rest if not a.startswith("-")]
    if named:  # only these classes or tests
        suite = loader.loadTestsFromNames(named, sys.modules[__name__])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
