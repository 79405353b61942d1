"""Headless Chromium driven by Selenium through ChromeDriver (Debian's python3-selenium and
chromium-driver), for the page tests: a page opened from a file, JavaScript evaluated in
it, screenshots, and the browser's network and console events as DevTools names them."""
import json
import os
import shutil
import tempfile

# Flags for a browser that starts clean and talks to nothing on its own.
FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--hide-scrollbars"]


def find_chromium():
    """Chromium's path when Chromium, ChromeDriver and Selenium are all there, else None."""
    try:
        import selenium  # noqa: F401
    except ImportError:
        return None
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path and shutil.which("chromedriver"):
            return path
    return None


class BrowserError(RuntimeError):
    pass


class Browser:
    def __init__(self, executable, width=1280, height=1400):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        self.profile = tempfile.mkdtemp(prefix="mirevane-chromium-")
        options = webdriver.ChromeOptions()
        options.binary_location = executable
        for flag in FLAGS + ["--user-data-dir=" + self.profile,
                             "--window-size=%d,%d" % (width, height)]:
            options.add_argument(flag)
        # The network events come from the performance log, the console from the browser's.
        options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
        self.driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")),
                                       options=options)
        self.driver.set_script_timeout(120)
        self._events = []  # (None, method, params) of every event read so far
        self._foreign = set()  # requests of the browser's own pages

    @property
    def events(self):
        """Every event so far, (None, method, params), DevTools' names."""
        self._collect()
        return self._events

    def close(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)

    def _collect(self):
        """Appends the events the browser logged since the last call."""
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            params = message.get("params", {})
            # The browser's own pages (its new tab page, loaded at start in a tab of its own)
            # are not the page's: their requests are left out.
            request = params.get("requestId")
            url = params.get("request", {}).get("url", "") + params.get("documentURL", "")
            if url.startswith("chrome") and request:
                self._foreign.add(request)
            if request in self._foreign:
                continue
            self._events.append((None, message["method"], params))
        for entry in self.driver.get_log("browser"):
            level = "error" if entry["level"] == "SEVERE" else entry["level"].lower()
            self._events.append((None, "Log.entryAdded",
                                 {"entry": {"level": level, "text": entry["message"]}}))
            if "Uncaught" in entry["message"]:
                self._events.append((None, "Runtime.exceptionThrown",
                                     {"text": entry["message"]}))

    def open(self, path):
        """Loads a local file (get returns after its load event)."""
        url = "file://" + os.path.abspath(path)
        # What the browser did before (its own start-up pages) is not the page's.
        self.driver.get_log("performance")
        self.driver.get_log("browser")
        self.driver.get(url)
        self._collect()
        return url

    def evaluate(self, expression):
        """The value of a JavaScript expression in the page (promises awaited)."""
        from selenium.common.exceptions import JavascriptException
        try:
            value = self.driver.execute_script("return (%s);" % expression)
        except JavascriptException as e:
            raise BrowserError("%s: %s" % (expression, e.msg)) from e
        self._collect()
        return value

    def screenshot(self, path, clip=None):
        """The whole page, or the part clip names: {"x", "y", "width", "height"} in CSS pixels."""
        import base64
        options = {"format": "png", "captureBeyondViewport": True}
        if clip:
            options["clip"] = dict(clip, scale=1)
        shot = self.driver.execute_cdp_cmd("Page.captureScreenshot", options)
        with open(path, "wb") as f:
            f.write(base64.b64decode(shot["data"]))

    def events_named(self, method, since=0):
        self._collect()
        return [params for _, m, params in self.events[since:] if m == method]
