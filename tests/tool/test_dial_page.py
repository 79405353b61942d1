"""The dial page in a real browser (headless Chromium driven by Selenium): the needles at chosen slider times
against the run's trace, the plot cursor against the plot's own time ticks, the key presses
and copies of a calibration session, a picture of the dial face, the angle convention as
the browser draws it, the example cab's panel with its needles turned as the host turns
them, and that the page fetches nothing. Screenshots go to --out.

    python3 test_dial_page.py --tool build/native/mirevane --examples examples --out DIR

Exits 77 (skipped) when Chromium is not installed.
"""
import argparse
import base64
import csv
import math
import os
import struct
import sys
import unittest
import zlib

from headless_browser import Browser, find_chromium
from tool_fixtures import read_panel_needles
from tool_runner import Tool

TOOL = None
EXAMPLES = None
OUT = None
CHROMIUM = None

# Times (ms) to set the slider to: standing, release, power, cruising, braking, the end.
RUN_TIMES = [0, 3000, 6500, 7400, 12345, 40000, 77777, 106000, 131000, 140000, 155000]


def make_page(name, scenario, fps, *extra, cwd=None):
    """Runs the tool; returns the page's path and the --detail trace as {time: row}."""
    page = os.path.join(OUT, name + ".html")
    trace = os.path.join(OUT, name + ".csv")
    cwd = cwd or EXAMPLES
    result = TOOL.run(["run", os.path.relpath(os.path.join(EXAMPLES, "cab", "Mirevane.dll"), cwd),
                       "--scenario", scenario, "--fps", str(fps), "--detail",
                       "--out", trace, "--html", page] + list(extra), cwd=cwd)
    if result.returncode != 0:
        raise RuntimeError(result.stderr_text)
    with open(trace, newline="") as f:
        rows = {int(row["time"]): row for row in csv.DictReader(f)}
    return page, rows


def gauge_state(browser):
    # With a panel the cab comes first: the dials are one click away.
    browser.evaluate("window.mirevaneDial.view && document.getElementById('views') && "
                     "window.mirevaneDial.view('dials')")
    return browser.evaluate("""Array.from(document.querySelectorAll('figure.gauge')).map(f => ({
        time: +f.dataset.time, value: +f.dataset.value,
        selected: f.dataset.selectedEntry === undefined ? null : +f.dataset.selectedEntry,
        needles: Array.from(f.querySelectorAll('.needle')).map(n => {
            // Where the browser really draws it: hub and tip on the screen.
            const m = n.getScreenCTM();
            const hub = new DOMPoint(0, 0).matrixTransform(m);
            const tip = new DOMPoint(+n.getAttribute('x2'), 0).matrixTransform(m);
            return {entry: +n.dataset.entry, angle: +n.dataset.angle,
                    selected: n.dataset.selected === 'true',
                    screen: Math.atan2(tip.y - hub.y, tip.x - hub.x) * 180 / Math.PI};
        })}))""")


def set_slider(browser, ms):
    browser.evaluate("""(() => { const s = document.getElementById('slider');
        s.value = %d; s.dispatchEvent(new Event('input')); return s.value; })()""" % ms)


def turn_difference(a, b):
    return (a - b + 180.0) % 360.0 - 180.0


class PageTest(unittest.TestCase):
    PAGE = None

    @classmethod
    def open_page(cls, name, scenario, fps, *extra, cwd=None):
        cls.page_path, cls.rows = make_page(name, scenario, fps, *extra, cwd=cwd)
        cls.times = sorted(cls.rows)
        cls.browser = Browser(CHROMIUM)
        cls.url = cls.browser.open(cls.page_path)
        cls.loaded_events = len(cls.browser.events)

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()

    def frame_at(self, ms):
        """The trace's last frame at or before the time."""
        return max(t for t in self.times if t <= ms) if ms >= self.times[0] else self.times[0]

    def check_needles_point_as(self, state, zero, sense):
        """Each needle's direction on the screen, as the browser drew it, is zero + sense *
        angle (degrees clockwise from right)."""
        for g, gauge in enumerate(state):
            for needle in gauge["needles"]:
                expected = zero + sense * needle["angle"]
                self.assertAlmostEqual(turn_difference(needle["screen"], expected), 0, delta=0.05,
                                       msg="gauge %d entry %d" % (g, needle["entry"]))


class ExampleRun(PageTest):
    @classmethod
    def setUpClass(cls):
        cls.open_page("run", os.path.join("scenarios", "run.csv"), 30, "--no-panel")

    def test_needles_show_the_trace_at_chosen_times(self):
        selections = set()
        for ms in RUN_TIMES:
            set_slider(self.browser, ms)
            state = gauge_state(self.browser)
            self.assertEqual(len(state), 5)
            # The example run is short enough to be kept whole: the frame shown is the
            # trace's last frame at or before the slider's time.
            expected_time = self.frame_at(ms)
            row = self.rows[expected_time]
            for g, gauge in enumerate(state):
                where = "t=%d gauge %d" % (ms, g)
                self.assertEqual(gauge["time"], expected_time, where)
                self.assertAlmostEqual(gauge["value"], float(row["g%d_value" % g]),
                                       delta=1e-6 * max(1.0, abs(float(row["g%d_value" % g]))),
                                       msg=where)
                self.assertTrue(gauge["needles"], where)
                for needle in gauge["needles"]:
                    panel = int(row["panel%d" % needle["entry"]])
                    self.assertEqual(needle["angle"], panel / 1000, where)
                if "g%d_entry" % g in row:
                    selected = int(row["g%d_entry" % g])
                    self.assertEqual(gauge["selected"], selected, where)
                    chosen = [n["entry"] for n in gauge["needles"] if n["selected"]]
                    self.assertEqual(chosen, [selected], where)
                    selections.add((g, selected))
            self.check_needles_point_as(state, -90, 1)  # the default, up-cw
        # The chosen times see the oval needles on more than one image each.
        for g in (1, 2):
            self.assertGreater(len([s for s in selections if s[0] == g]), 1, selections)

    def test_plot_cursor_stands_at_the_slider_time_on_every_chart(self):
        # Independent of the page's script: the plot's own tick labelled "100" (seconds).
        set_slider(self.browser, 100000)
        shown = gauge_state(self.browser)[0]["time"]
        charts = self.browser.evaluate("""Array.from(document.querySelectorAll('#plots g.chart'))
            .map(c => ({cursor: +c.querySelector('line.cursor').getAttribute('x1'),
                        tick: +Array.from(c.querySelectorAll('text'))
                            .find(t => t.textContent === '100' &&
                                   t.getAttribute('text-anchor') === 'middle').getAttribute('x'),
                        width: +c.dataset.x1 - +c.dataset.x0,
                        span: +c.dataset.t1 - +c.dataset.t0}))""")
        self.assertEqual(len(charts), 5)
        for chart in charts:
            offset = (shown - 100000) * chart["width"] / chart["span"]
            self.assertAlmostEqual(chart["cursor"], chart["tick"] + offset, delta=0.11)
        set_slider(self.browser, 0)
        start = self.browser.evaluate(
            "+document.querySelector('#plots line.cursor').getAttribute('x1')")
        self.assertLess(start, charts[0]["cursor"] - 100)

    def test_page_fetches_nothing_and_forbids_fetching(self):
        browser = self.browser
        log = browser.events_named("Log.entryAdded")
        self.assertEqual([e for e in log if e["entry"]["level"] == "error"], [])
        self.assertEqual(browser.events_named("Runtime.exceptionThrown"), [])
        requests = [e["request"]["url"] for e in browser.events_named("Network.requestWillBeSent")]
        # A data: URL is no fetch (the driver's own blank picture shows as one).
        self.assertEqual([u for u in requests if not u.startswith("data:")], [self.url])
        policy = browser.evaluate(
            "document.querySelector('meta[http-equiv=\"Content-Security-Policy\"]').content")
        self.assertIn("default-src 'none'", policy)

        # The policy holds: a request from the page is refused before it leaves, and the
        # browser says so in its log.
        since = len(browser.events)
        probes = {
            "connect-src": "fetch('http://127.0.0.1:9/probe').catch(() => {})",
            "img-src": "new Image().src = 'http://127.0.0.1:9/probe.png'",
            "font-src": "new FontFace('probe', 'url(http://127.0.0.1:9/probe.woff)').load()"
                        ".catch(() => {})",
        }
        for directive, attempt in probes.items():
            violated = browser.evaluate("""new Promise(done => {
                document.addEventListener('securitypolicyviolation',
                    e => done(e.effectiveDirective), {once: true});
                %s; })""" % attempt)
            self.assertEqual(violated, directive)
        browser.evaluate("1")  # let the log catch up
        # Chromium announces the blocked requests, then fails each with the policy's reason.
        probes_sent = {e["requestId"]: e["request"]["url"] for e in
                       browser.events_named("Network.requestWillBeSent", since)}
        blocked = {e["requestId"]: e.get("blockedReason") for e in
                   browser.events_named("Network.loadingFailed", since)}
        self.assertTrue(probes_sent)
        for request, url in probes_sent.items():
            self.assertIn("127.0.0.1", url)
            self.assertEqual(blocked.get(request), "csp", url)
        self.assertEqual(browser.events_named("Network.responseReceived", since), [])
        refusals = [e["entry"]["text"] for e in browser.events_named("Log.entryAdded", since)]
        self.assertTrue(any("Content Security Policy" in text for text in refusals), refusals)

    def test_play_runs_at_the_chosen_speed_and_pause_stops(self):
        set_slider(self.browser, 20000)
        elapsed = self.browser.evaluate("""new Promise(done => {
            document.querySelector('#speeds button[data-speed="16"]').click();
            document.getElementById('play').click();
            const start = performance.now();
            setTimeout(() => { document.getElementById('play').click();
                               done(performance.now() - start); }, 500); })""")
        time_after = gauge_state(self.browser)[0]["time"]
        # 16 times the wall clock, less what the frames took to draw.
        self.assertGreater(time_after - 20000, 4 * elapsed)
        self.assertLessEqual(time_after - 20000, 16 * elapsed + 100)
        self.browser.evaluate("new Promise(done => setTimeout(done, 200))")
        self.assertEqual(gauge_state(self.browser)[0]["time"], time_after)
        self.assertEqual(self.browser.evaluate("document.getElementById('play').textContent"),
                         "Play")

    def test_screenshot_for_a_person_to_look_at(self):
        set_slider(self.browser, 40000)
        path = os.path.join(OUT, "dial-page.png")
        self.browser.screenshot(path)
        with open(path, "rb") as f:
            data = f.read()
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        self.assertGreater(len(data), 20000)


class CalibrationSession(PageTest):
    @classmethod
    def setUpClass(cls):
        cls.open_page("calibration", "calibration.csv", 20,
                      cwd=os.path.join(EXAMPLES, "calibration"))
        with open(os.path.join(EXAMPLES, "calibration", "calibration.csv"), newline="") as f:
            cls.scenario = list(csv.DictReader(f))

    def test_time_line_marks_every_key_press_and_copy(self):
        events = [r for r in self.scenario if r["keys"].strip() or r["initialize"] not in ("", "0")]
        marks = self.browser.evaluate("document.querySelectorAll('#timeline line').length")
        self.assertEqual(marks, len(events))
        items = self.browser.evaluate(
            "Array.from(document.querySelectorAll('#events li')).map(li => li.textContent)")
        copies = {t: row["clipboard"] for t, row in self.rows.items() if row["clipboard"]}
        self.assertEqual(len(copies), 2)
        for ms, text in copies.items():
            self.assertTrue(any(item.startswith("%.3f s:" % (ms / 1000)) and
                                item.endswith("copied " + text) for item in items), items)

    def test_choosing_a_copy_shows_the_needle_at_the_copied_angle(self):
        copies = sorted((t, row["clipboard"]) for t, row in self.rows.items() if row["clipboard"])
        index = self.browser.evaluate("""Array.from(document.querySelectorAll('#events li'))
            .findIndex(li => li.textContent.endsWith('copied %s'))""" % copies[0][1])
        self.browser.evaluate("document.querySelectorAll('#events li')[%d].click()" % index)
        state = gauge_state(self.browser)
        self.assertEqual(state[0]["time"], copies[0][0])
        # Angle mode: the speedometer's needle stands at the copied test angle, 180 added.
        self.assertAlmostEqual(state[0]["needles"][0]["angle"], float(copies[0][1]) + 180,
                               delta=0.001)


def write_png(path, width, height):
    """A small grey PNG picture."""
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = b"".join(b"\0" + bytes([200]) * width for _ in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height,
                                                                  8, 0, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


class DialPictureAndConvention(PageTest):
    @classmethod
    def setUpClass(cls):
        cls.face = os.path.join(OUT, "face.png")
        write_png(cls.face, 120, 90)
        cls.open_page("convention", os.path.join("scenarios", "run.csv"), 5,
                      "--dial", "1=%s,50,60,40" % cls.face, "--angles", "right-ccw",
                      "--no-panel")

    def test_needles_point_as_the_option_says(self):
        for ms in (0, 40000, 140000):
            set_slider(self.browser, ms)
            self.check_needles_point_as(gauge_state(self.browser), 0, -1)

    def test_the_picture_sits_under_the_needles_of_its_gauge(self):
        picture = self.browser.evaluate("""(() => {
            const i = document.querySelector('figure[data-gauge="1"] image.face');
            const later = i.compareDocumentPosition(
                i.ownerSVGElement.querySelector('.needle')) & Node.DOCUMENT_POSITION_FOLLOWING;
            return i && {href: i.getAttribute('href'), x: +i.getAttribute('x'),
                y: +i.getAttribute('y'), width: +i.getAttribute('width'),
                height: +i.getAttribute('height'), under: !!later,
                others: document.querySelectorAll('image.face').length}; })()""")
        with open(self.face, "rb") as f:
            self.assertEqual(picture["href"],
                             "data:image/png;base64," + base64.b64encode(f.read()).decode())
        # Hub (50, 60) at the dial's centre and radius 40 px as the dial's 100 units.
        self.assertEqual((picture["x"], picture["y"]), (-125, -150))
        self.assertEqual((picture["width"], picture["height"]), (300, 225))
        self.assertTrue(picture["under"])
        self.assertEqual(picture["others"], 1)
        requests = [e["request"]["url"] for e in self.browser.events_named(
            "Network.requestWillBeSent")]
        self.assertEqual([u for u in requests if not u.startswith("data:")], [self.url])
        self.browser.screenshot(os.path.join(OUT, "dial-page-convention.png"))


def cab_state(browser):
    """Each cab needle as the page drew it: its subject, the angle in its transform, and the
    direction the browser really draws its picture's up (degrees clockwise from up)."""
    browser.evaluate("window.mirevaneDial.view('cab')")
    return browser.evaluate("""Array.from(document.querySelectorAll('#cab .cab-needle')).map(g => {
        const turn = g.querySelector('.cab-turn');
        const m = turn.getScreenCTM();
        const hub = new DOMPoint(0, 0).matrixTransform(m);
        const up = new DOMPoint(0, -100).matrixTransform(m);
        const match = /^rotate\\(([-0-9.e]+)\\)$/.exec(turn.getAttribute('transform'));
        return {subject: g.dataset.subject, gauge: +g.dataset.gauge, drive: g.dataset.drive,
                angle: match ? +match[1] : null,
                screen: Math.atan2(up.x - hub.x, hub.y - up.y) * 180 / Math.PI,
                picture: (g.querySelector('use') || {getAttribute: () => null})
                    .getAttribute('href')}; })""")


def click_at(browser, x, y):
    """A real click of the mouse at a point of the page (CSS pixels of the viewport)."""
    for kind in ("mousePressed", "mouseReleased"):
        browser.driver.execute_cdp_cmd("Input.dispatchMouseEvent", {
            "type": kind, "x": x, "y": y, "button": "left", "clickCount": 1})


class ExampleCab(PageTest):
    """The example cab's run with the panel found beside its library: the cab first."""

    @classmethod
    def setUpClass(cls):
        cls.open_page("cab", os.path.join("scenarios", "run.csv"), 30)
        cls.needles = read_panel_needles(os.path.join(EXAMPLES, "cab", "panel2.cfg"))

    def test_the_cab_shows_the_panel_picture_and_every_needle(self):
        shown = self.browser.evaluate("""({
            cabHidden: getComputedStyle(document.getElementById('cab')).display === 'none',
            dialsHidden: getComputedStyle(document.getElementById('dials')).display === 'none',
            background: document.querySelector('#cab image.cab-background').getAttribute('href')
                .slice(0, 22),
            size: document.querySelector('#cab image.cab-background').getBBox().width,
            pictures: Array.from(document.querySelectorAll('#cab defs image')).map(i => ({
                id: i.id, width: i.getBBox().width})),
            placeholders: document.querySelectorAll('#cab .cab-placeholder').length})""")
        self.assertFalse(shown["cabHidden"])
        self.assertTrue(shown["dialsHidden"])
        self.assertEqual(shown["background"], "data:image/png;base64,")
        self.assertEqual(shown["size"], 1024)
        self.assertEqual(shown["placeholders"], 0)
        state = cab_state(self.browser)
        # Drawn in Layer order, equal layers in the file's order: the later over the earlier.
        self.assertEqual([n["subject"] for n in state],
                         [n.subject for n in sorted(self.needles, key=lambda n: n.layer)])
        self.assertEqual(len(state), len(self.needles))
        self.assertEqual(len(state), 19)
        # The speedometer, ammeter and voltmeter pictures, and the oval gauges' sixteen.
        self.assertEqual(len(shown["pictures"]), 19)
        self.assertTrue(all(p["width"] > 0 for p in shown["pictures"]))
        self.assertEqual(sorted({n["picture"] for n in state}),
                         sorted("#" + p["id"] for p in shown["pictures"]))
        self.assertTrue(all(n["drive"] == "entry" for n in state))

    def test_the_slider_turns_every_needle_as_its_mapping_draws_the_trace(self):
        mapping = {n.subject: n for n in self.needles}
        parked = 0
        for ms in RUN_TIMES:
            set_slider(self.browser, ms)
            row = self.rows[self.frame_at(ms)]
            for needle in cab_state(self.browser):
                where = "t=%d %s" % (ms, needle["subject"])
                value = int(row["panel" + needle["subject"][3:]])
                expected = mapping[needle["subject"]].angle(value)
                self.assertAlmostEqual(needle["angle"], expected, delta=0.001, msg=where)
                self.assertAlmostEqual(turn_difference(needle["screen"], expected), 0,
                                       delta=0.01, msg=where)
                # An oval gauge's images that are not drawn on hold the parking value,
                # StandbyAngle 180 times 1000: the host draws them pointing down.
                gauge = needle["gauge"]
                if "g%d_entry" % gauge in row and \
                        int(row["g%d_entry" % gauge]) != int(needle["subject"][3:]):
                    self.assertEqual(value, 180000, where)
                    self.assertAlmostEqual(needle["angle"], 180, delta=1e-9, msg=where)
                    parked += 1
        self.assertGreater(parked, 100)

    def test_a_click_on_a_needle_chooses_its_gauge(self):
        set_slider(self.browser, 40000)
        # The main profile's speedometer is gauge 0, then Gauge0..3: bc, mr, ammeter,
        # voltmeter; the brake cylinder's images are drawn over the main reservoir's.
        # An oval gauge's images share one hub: the click lands on the one drawn on top.
        oval = {"ats%d" % e for e in range(30, 38)}
        for subject, gauge, hit in (("ats20", 0, {"ats20"}), ("ats22", 3, {"ats22"}),
                                    ("ats23", 4, {"ats23"}), ("ats34", 1, oval)):
            point = self.browser.evaluate("""(() => {
                const use = document.querySelector('#cab .cab-needle[data-subject="%s"] use');
                window.scrollTo(0, 0);
                const again = use.getBoundingClientRect();
                return [again.x + again.width / 2, again.y + again.height / 2]; })()"""
                                          % subject)
            heard = self.browser.evaluate("""(() => { window.heard = null;
                document.addEventListener('mirevane-gauge', e => (window.heard = e.detail),
                                          {once: true}); return true; })()""")
            self.assertTrue(heard)
            click_at(self.browser, *point)
            chosen = self.browser.evaluate("""({
                event: window.heard,
                state: window.mirevaneDial.state().chosen,
                dials: Array.from(document.querySelectorAll('figure.gauge.chosen'))
                    .map(f => +f.dataset.gauge),
                plots: Array.from(document.querySelectorAll('#plots g.gauge-plot.chosen'))
                    .map(p => +p.dataset.gauge),
                said: document.getElementById('cab-needle').textContent})""")
            self.assertEqual(chosen["event"]["gauge"], gauge, subject)
            self.assertIn(chosen["event"]["subject"], hit)
            self.assertEqual(chosen["state"], gauge)
            self.assertEqual(chosen["dials"], [gauge])
            self.assertEqual(chosen["plots"], [gauge])
            self.assertIn("gauge %d" % gauge, chosen["said"])

    def test_zoom_and_pan_move_the_view_of_the_panel(self):
        box = lambda: self.browser.evaluate(  # noqa: E731
            "document.querySelector('#cab svg.cab-view').getAttribute('viewBox')"
            ".split(' ').map(Number)")
        self.browser.evaluate("document.querySelector('#cab-zoom [data-zoom=fit]').click()")
        self.assertEqual(box(), [0, 0, 1024, 768])  # the panel picture's size
        self.browser.evaluate("document.querySelector('#cab-zoom [data-zoom=in]').click()")
        zoomed = box()
        self.assertAlmostEqual(zoomed[2], 1024 / 1.5, places=6)
        self.assertAlmostEqual(zoomed[3], 768 / 1.5, places=6)
        self.assertAlmostEqual(zoomed[0] + zoomed[2] / 2, 512, places=6)  # about the middle
        self.assertAlmostEqual(zoomed[1] + zoomed[3] / 2, 384, places=6)
        # The wheel zooms about the point under the pointer: it stays where it was.
        under = self.browser.evaluate("""(() => {
            const s = document.querySelector('#cab svg.cab-view');
            const r = s.getBoundingClientRect();
            // Whole pixels: a mouse event's position is one.
            const x = Math.round(r.x + r.width / 4);
            const y = Math.round(r.y + r.height / 4);
            const panel = () => {
                const p = new DOMPoint(x, y).matrixTransform(s.getScreenCTM().inverse());
                return [p.x, p.y]; };
            const before = panel();
            s.dispatchEvent(new WheelEvent('wheel', {deltaY: 200, bubbles: true,
                                                     cancelable: true, clientX: x, clientY: y}));
            return [before, panel()]; })()""")
        wheeled = box()
        self.assertGreater(wheeled[2], zoomed[2])
        self.assertAlmostEqual(under[0][0], under[1][0], places=3)
        self.assertAlmostEqual(under[0][1], under[1][1], places=3)
        # A drag of the picture to the right shows what lies to the left of it.
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.by import By
        svg = self.browser.driver.find_element(By.CSS_SELECTOR, "#cab svg.cab-view")
        self.browser.evaluate("window.scrollTo(0, 0)")
        ActionChains(self.browser.driver).move_to_element(svg).click_and_hold() \
            .move_by_offset(30, 0).move_by_offset(50, 0).release().perform()
        panned = box()
        self.assertLess(panned[0], wheeled[0])
        self.assertEqual(panned[2:], wheeled[2:])
        self.browser.evaluate("document.querySelector('#cab-zoom [data-zoom=fit]').click()")

    def test_the_dials_are_one_click_away_and_turn_as_the_panel_does(self):
        self.browser.evaluate("document.querySelector('#views [data-view=dials]').click()")
        hidden = """['cab', 'dials'].map(v =>
            getComputedStyle(document.getElementById(v)).display === 'none')"""
        self.assertEqual(self.browser.evaluate(hidden), [True, False])
        note = self.browser.evaluate("document.querySelector('header .note').textContent")
        self.assertIn("--angles is not needed", note)
        self.assertNotIn("No needle", note)
        for ms in (0, 40000, 140000):
            set_slider(self.browser, ms)
            # The example panel turns 1 degree per 1000 units clockwise from up.
            self.check_needles_point_as(gauge_state(self.browser), -90, 1)
        self.browser.evaluate("document.querySelector('#views [data-view=cab]').click()")
        self.assertEqual(self.browser.evaluate(hidden), [False, True])

    def test_the_page_fetches_nothing(self):
        requests = [e["request"]["url"] for e in
                    self.browser.events_named("Network.requestWillBeSent")]
        self.assertEqual([u for u in requests if not u.startswith("data:")], [self.url])
        log = self.browser.events_named("Log.entryAdded")
        self.assertEqual([e for e in log if e["entry"]["level"] == "error"], [])
        self.assertEqual(self.browser.events_named("Runtime.exceptionThrown"), [])
        policy = self.browser.evaluate(
            "document.querySelector('meta[http-equiv=\"Content-Security-Policy\"]').content")
        self.assertEqual(policy, "default-src 'none'; script-src 'unsafe-inline'; "
                                 "style-src 'unsafe-inline'; img-src data:")

    def test_screenshot_of_the_cab_for_a_person_to_look_at(self):
        set_slider(self.browser, 40000)
        self.browser.evaluate("(window.mirevaneDial.view('cab'), window.mirevaneDial.choose(-1),"
                              " window.scrollTo(0, 0))")
        # The heading, the controls and the cab.
        bottom = self.browser.evaluate(
            "document.getElementById('cab-needle').getBoundingClientRect().bottom")
        path = os.path.join(OUT, "dial-page-cab.png")
        self.browser.screenshot(path, {"x": 0, "y": 0, "width": 1280, "height": bottom + 8})
        with open(path, "rb") as f:
            data = f.read()
        self.assertEqual(data[:8], b"\x89PNG\r\n\x1a\n")
        self.assertGreater(len(data), 50000)


def main():
    global TOOL, EXAMPLES, OUT, CHROMIUM
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--out", required=True)
    args, rest = parser.parse_known_args()
    CHROMIUM = find_chromium()
    if CHROMIUM is None:
        print("SKIPPED: the dial page's browser tests need Chromium, ChromeDriver and Selenium "
              "(Debian: chromium, chromium-driver, python3-selenium; scripts/install-deps as "
              "root installs them).")
        return 77
    TOOL = Tool(args.tool)
    EXAMPLES = os.path.abspath(args.examples)
    OUT = os.path.abspath(args.out)
    os.makedirs(OUT, exist_ok=True)
    program = unittest.main(argv=[sys.argv[0]] + rest, verbosity=2, exit=False)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
