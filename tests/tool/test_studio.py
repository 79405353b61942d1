"""`mirevane studio` end to end: the server on a copy of the example cab, its page in headless
Chromium driven by Selenium (Debian's python3-selenium and chromium-driver), hostile requests
from outside the page, and the saved cab against `mirevane check` and `mirevane run`.

    /usr/bin/python3 test_studio.py --tool build/native/mirevane --examples examples --out DIR
    ... [--emulator wine --wineprefix DIR]    the Windows tool under Wine (server tests only)
    ... --benchmark N                         time N edits in the browser and print the figures

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

from tool_runner import Tool

TOOL = None
EXAMPLES = None
OUT = None
BROWSER_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--window-size=1600,1100"]


class Studio:
    """A studio on a fresh copy of the example cab, in a folder of its own."""

    def __init__(self, cab=None, scenario=None, fps="30", extra=(), browser_env=None):
        self.browser_env = browser_env  # an environment to open a browser in; None: none opened
        self.folder = tempfile.mkdtemp(prefix="mirevane-studio-test-")
        shutil.copytree(cab or os.path.join(EXAMPLES, "cab"), os.path.join(self.folder, "cab"))
        shutil.copy(scenario or os.path.join(EXAMPLES, "scenarios", "run.csv"),
                    os.path.join(self.folder, "run.csv"))
        self.fps = fps
        self.extra = list(extra)
        self.originals = self.hashes()
        self.restart()

    def restart(self):
        self.process = subprocess.Popen(
            TOOL.command(["studio", os.path.join("cab", "Mirevane.dll"), "--scenario", "run.csv",
                          "--fps", self.fps] + self.extra +
                         (["--no-browser"] if self.browser_env is None else [])),
            cwd=self.folder, env=TOOL.env if self.browser_env is None else self.browser_env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
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


class KilledMidSave(unittest.TestCase):
    """The studio killed at any moment of a save leaves each of the cab's files either as it
    was or as saved, never partly written (a stand-in '.partial' file may stay behind)."""

    def test_each_file_old_or_new(self):
        # A large table, so that the save takes long enough to be cut in the middle.
        rows = [[v, v * 0.1] for v in range(0, 60000, 6)]  # the most a request may hold
        edited = [[v, a + 1] for v, a in rows]

        def start():
            studio = Studio()
            with open(studio.path("cab", "Mirevane.csv"), "w", newline="") as f:
                f.write("".join("%d,%g\r\n" % (v, a) for v, a in rows))
            studio.stop_server()
            studio.restart()
            return studio

        finished = start()
        old = {n: open(finished.path("cab", n), "rb").read() for n in ("Mirevane.csv", "Mirevane.ini")}
        for body in ({"gauge": 0, "rows": edited},
                     {"gauge": 0, "section": "Vibration", "key": "Period", "value": "2.5"}):
            self.assertEqual(finished.request("POST", "/api/edit", body)[0], 200)
        self.assertEqual(finished.request("POST", "/api/save", {})[0], 200)
        new = {n: open(finished.path("cab", n), "rb").read() for n in old}
        self.assertNotEqual(new, old)
        finished.stop()

        outcomes = set()
        # Fine steps where the save's writing happens, then coarser ones past it.
        for delay_ms in [k * 0.25 for k in range(20)] + list(range(5, 200, 15)):
            studio = start()
            for body in ({"gauge": 0, "rows": edited},
                         {"gauge": 0, "section": "Vibration", "key": "Period", "value": "2.5"}):
                studio.request("POST", "/api/edit", body)
            connection = http.client.HTTPConnection("127.0.0.1", studio.port, timeout=60)
            connection.request("POST", "/api/save", body=b"{}", headers={
                "Host": "127.0.0.1:%d" % studio.port, "X-Mirevane-Token": studio.token,
                "Origin": "http://127.0.0.1:%d" % studio.port})
            time.sleep(delay_ms / 1000)
            studio.process.kill()
            studio.process.wait()
            connection.close()
            for name in old:
                with open(studio.path("cab", name), "rb") as f:
                    data = f.read()
                self.assertIn(data, (old[name], new[name]), "%s after %d ms" % (name, delay_ms))
                outcomes.add((name, data == new[name]))
                backup = studio.path("cab", name + ".bak")
                if os.path.exists(backup):
                    with open(backup, "rb") as f:
                        self.assertEqual(f.read(), old[name], "%s.bak" % name)
            studio.stop()
        # Some kills fell after the files were replaced (before it, every file is old).
        self.assertIn(("Mirevane.csv", True), outcomes)


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
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.by import By
        from selenium.webdriver.common.keys import Keys
        picture = os.path.join(OUT, "synthetic-dial.png")
        write_dial_png(picture, 400, self.HUB, 180, [self.at(a) for _, a in self.MARKS])
        studio = Studio(extra=["--dial", "0=%s,200,200,180" % picture])
        b = self.browser
        try:
            b.open(studio)
            card = 'section[data-gauge="0"] '
            b.driver.find_element(By.CSS_SELECTOR, card + "details.calibrate summary").click()

            def click_picture(x, y):
                svg = b.driver.find_element(By.CSS_SELECTOR, card + "svg.picture")
                # Whole in view: an edit keeps the editors' scroll, which may leave it half out.
                b.js("arguments[0].scrollIntoView({block: 'center'})", svg)
                ActionChains(b.driver).move_to_element_with_offset(svg, x - 200, y - 200).click().perform()
                b.wait_idle()

            b.driver.find_element(By.CSS_SELECTOR, card + 'button[data-mode="hub"]').click()
            b.wait_idle()
            click_picture(*self.HUB)
            for value, angle in self.MARKS:
                click_picture(*self.at(angle))
                field = b.driver.find_element(By.CSS_SELECTOR, card + "table.marks input.pending")
                field.send_keys(str(value), Keys.TAB)
                b.wait_idle()
            c = b.js("return window.mirevaneStudio.calibration(0)")
            self.assertEqual(len(c["marks"]), 3)
            rows = {r[0]: r[1] for r in b.view()["gauges"][0]["rows"]}

            args = ["calibrate", os.path.join("cab", "Mirevane.dll"), "--gauge", "0",
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


def benchmark(edits, cab, scenario, fps):
    """Edit-to-needle: a table point typed in, until the browser has painted the new needles
    and plots; the median and the 95th percentile over `edits` edits."""
    studio = Studio(cab, scenario, fps)
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


def main():
    global TOOL, EXAMPLES, OUT
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--emulator")
    parser.add_argument("--wineprefix")
    parser.add_argument("--benchmark", type=int)
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
        benchmark(args.benchmark, args.cab, args.scenario, args.fps)
        return 0
    suite = unittest.TestSuite()
    loader = unittest.TestLoader()
    suite.addTests(loader.loadTestsFromTestCase(HostileRequests))
    for case in (SlowClients, ExclusivePort, BrowserOpening):
        suite.addTests(loader.loadTestsFromTestCase(case))
    if TOOL.windows:
        TOOL.keep_wine_running()  # the server's own tests: the browser's are the native's
    elif browser:
        suite.addTests(loader.loadTestsFromTestCase(KilledMidSave))
        suite.addTests(loader.loadTestsFromTestCase(InTheBrowser))
        suite.addTests(loader.loadTestsFromTestCase(CalibrationInTheBrowser))
    else:
        suite.addTests(loader.loadTestsFromTestCase(KilledMidSave))
        print("The browser tests need python3-selenium, chromium-driver and chromium "
              "(scripts/install-deps); only the server's own tests run.")
    named = [name for name in rest if not name.startswith("-")]  # only these classes, if any
    if named:
        suite = unittest.TestSuite(t for t in suite if type(t).__name__ in named)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
