"""Headless Chromium driven through its DevTools protocol over a pipe
(--remote-debugging-pipe: JSON messages ended by a NUL byte on file descriptors 3 and 4),
so the tests need nothing beyond Python and Debian's chromium package."""
import json
import os
import shutil
import subprocess
import tempfile
import time

# Flags for a browser that starts clean and talks to nothing on its own.
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--hide-scrollbars", "--remote-debugging-pipe"]


def find_chromium():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


class BrowserError(RuntimeError):
    pass


class Browser:
    def __init__(self, executable, width=1280, height=1400):
        self.profile = tempfile.mkdtemp(prefix="mirevane-chromium-")
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()

        def wire_pipes():
            # Copies first: a pipe may already sit on 3 or 4, and dup2 onto itself would
            # leave it closed at exec.
            read_end, write_end = os.dup(to_browser_read), os.dup(from_browser_write)
            os.dup2(read_end, 3)
            os.dup2(write_end, 4)

        self.process = subprocess.Popen(
            [executable] + FLAGS + ["--user-data-dir=" + self.profile,
                                    "--window-size=%d,%d" % (width, height), "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=wire_pipes, close_fds=False)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._buffer = b""
        self._next_id = 0
        self.events = []  # (sessionId, method, params) of every event received
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.call("Target.attachToTarget",
                                 {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Network", "Log"):
            self.call(domain + ".enable", session=self.session)

    def close(self):
        try:
            self.call("Browser.close", timeout=10)
        except (BrowserError, OSError):
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._to_browser)
        os.close(self._from_browser)
        shutil.rmtree(self.profile, ignore_errors=True)

    def _read_message(self, deadline):
        while b"\0" not in self._buffer:
            if time.monotonic() > deadline:
                raise BrowserError("no answer from the browser in time")
            chunk = os.read(self._from_browser, 1 << 16)
            if not chunk:
                raise BrowserError("the browser closed its pipe")
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, session=None, timeout=60):
        self._next_id += 1
        request = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            request["sessionId"] = session
        os.write(self._to_browser, json.dumps(request).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            message = self._read_message(deadline)
            if message.get("id") == self._next_id:
                if "error" in message:
                    raise BrowserError("%s: %s" % (method, message["error"]))
                return message.get("result", {})
            if "method" in message:
                self.events.append((message.get("sessionId"), message["method"],
                                    message.get("params", {})))

    def page(self, method, params=None, timeout=60):
        return self.call(method, params, session=self.session, timeout=timeout)

    def open(self, path, timeout=60):
        """Loads a local file and waits for its load event."""
        url = "file://" + os.path.abspath(path)
        seen = len(self.events)
        self.page("Page.navigate", {"url": url})
        deadline = time.monotonic() + timeout
        while not any(m == "Page.loadEventFired" for _, m, _ in self.events[seen:]):
            message = self._read_message(deadline)
            if "method" in message:
                self.events.append((message.get("sessionId"), message["method"],
                                    message.get("params", {})))
        return url

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page (promises awaited)."""
        result = self.page("Runtime.evaluate", {"expression": expression,
                                                "returnByValue": True, "awaitPromise": True})
        if "exceptionDetails" in result:
            raise BrowserError("%s: %s" % (expression, result["exceptionDetails"]))
        return result["result"].get("value")

    def screenshot(self, path):
        import base64
        shot = self.page("Page.captureScreenshot", {"format": "png", "captureBeyondViewport": True})
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def events_named(self, method, since=0):
        return [params for _, m, params in self.events[since:] if m == method]
