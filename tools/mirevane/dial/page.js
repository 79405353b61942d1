// The dial page's script: turns every needle image to its panel entry's angle in the frame
// at the slider's time, plays the run, marks key presses and copies on the time line and
// moves a cursor over the trace plots. window.mirevaneDial.seek(ms) and .state() serve tests
// and the browser's console.
"use strict";
(function () {
  const data = JSON.parse(document.getElementById("dial-data").textContent);
  // Runs of equal numbers come as [number, count].
  const expand = (runs) => {
    const out = [];
    for (const x of runs) {
      if (Array.isArray(x)) {
        for (let i = 0; i < x[1]; ++i) out.push(x[0]);
      } else {
        out.push(x);
      }
    }
    return out;
  };
  const times = expand(data.t);
  const gauges = data.gauges.map((g) => ({
    elliptic: g.elliptic,
    unit: g.unit,
    value: expand(g.value),
    angle: expand(g.angle),
    shown: expand(g.shown),
    mode: expand(g.mode),
    damped: g.elliptic ? expand(g.damped) : null,
    entry: g.elliptic ? expand(g.entry) : null,
  }));
  const panel = {};
  for (const [entry, values] of Object.entries(data.panel)) panel[entry] = expand(values);

  const slider = document.getElementById("slider");
  const timeOutput = document.getElementById("time");
  const playButton = document.getElementById("play");
  const figures = Array.from(document.querySelectorAll("figure.gauge"));
  const needles = figures.map((f) => Array.from(f.querySelectorAll(".needle")));
  const readouts = figures.map((f) => f.querySelector(".readout"));
  if (times.length === 0) return;
  const first = times[0];
  const last = times[times.length - 1];
  slider.min = first;
  slider.max = last;
  slider.value = first;

  const number = (v, digits) => (v === null || v === undefined ? "\u2013" : (+v).toFixed(digits));
  const degrees = (v) => number(v, 3) + "\u00b0";

  // The last kept frame at or before the time.
  function frameAt(ms) {
    let lo = 0;
    let hi = times.length - 1;
    if (ms <= times[0]) return 0;
    while (lo < hi) {
      const mid = (lo + hi + 1) >> 1;
      if (times[mid] <= ms) lo = mid;
      else hi = mid - 1;
    }
    return lo;
  }

  // Cursors over the plots: each chart gives its time axis's ends and their x.
  const svgNamespace = "http://www.w3.org/2000/svg";
  const cursors = Array.from(document.querySelectorAll("#plots g.chart")).map((chart) => {
    const area = chart.querySelector("rect");
    const line = document.createElementNS(svgNamespace, "line");
    line.setAttribute("class", "cursor");
    line.setAttribute("y1", area.getAttribute("y"));
    line.setAttribute("y2", +area.getAttribute("y") + +area.getAttribute("height"));
    chart.appendChild(line);
    const d = chart.dataset;
    return { line, t0: +d.t0, t1: +d.t1, x0: +d.x0, x1: +d.x1 };
  });

  // The time line: a mark per key press, Initialize and copy; a list of them below.
  const timeline = document.getElementById("timeline");
  const eventList = document.getElementById("events");
  const eventItems = data.events.map((e) => {
    const what = [];
    if (e.initialize) what.push("Initialize");
    if (e.keys) what.push("keys " + e.keys);
    if (e.copied) what.push("copied " + e.copied);
    const label = (e.t / 1000).toFixed(3) + " s: " + what.join(", ");
    const x = last > first ? ((e.t - first) / (last - first)) * 1000 : 0;
    const mark = document.createElementNS(svgNamespace, "line");
    mark.setAttribute("class", e.copied ? "copy" : e.keys ? "key" : "initialize");
    mark.setAttribute("x1", x);
    mark.setAttribute("x2", x);
    mark.setAttribute("y1", e.copied ? 0 : 8);
    mark.setAttribute("y2", 30);
    const title = document.createElementNS(svgNamespace, "title");
    title.textContent = label;
    mark.appendChild(title);
    mark.addEventListener("click", () => seek(e.t));
    timeline.appendChild(mark);
    const item = document.createElement("li");
    item.textContent = label;
    item.addEventListener("click", () => seek(e.t));
    eventList.appendChild(item);
    return { t: e.t, item };
  });
  if (data.eventsDropped > 0) {
    const item = document.createElement("li");
    item.textContent = data.eventsDropped + " more events not kept";
    eventList.appendChild(item);
  }

  function row(list, term, text) {
    const dt = document.createElement("dt");
    dt.textContent = term;
    const dd = document.createElement("dd");
    dd.textContent = text;
    list.append(dt, dd);
  }

  let current = 0;
  function show(f) {
    current = f;
    const t = times[f];
    timeOutput.value = (t / 1000).toFixed(3) + " s";
    document.body.dataset.time = t;
    gauges.forEach((g, i) => {
      const figure = figures[i];
      if (!figure) return;
      const selected = g.elliptic ? g.entry[f] : null;
      figure.dataset.time = t;
      figure.dataset.value = g.value[f];
      figure.dataset.angle = g.angle[f];
      if (g.elliptic) figure.dataset.selectedEntry = selected;
      const parked = [];
      for (const line of needles[i]) {
        const entry = +line.dataset.entry;
        const values = panel[entry];
        const angle = values ? values[f] / 1000 : g.shown[f];
        const isSelected = !g.elliptic || entry === selected;
        line.setAttribute("transform", "rotate(" + angle + ")");
        line.dataset.angle = angle;
        line.dataset.selected = isSelected;
        line.classList.toggle("selected", isSelected);
        if (!isSelected) parked.push(entry + " at " + degrees(angle));
      }
      const list = readouts[i];
      list.replaceChildren();
      row(list, "value", number(g.value[f], 3) + (g.unit ? " " + g.unit : ""));
      // The developer mode in force, and what it holds fixed.
      const mode = g.mode[f];
      if (mode === 1) row(list, "developer", "fixed value " + number(g.value[f], 3) + (g.unit ? " " + g.unit : ""));
      if (mode === 2) row(list, "developer", "fixed angle " + degrees(g.angle[f]));
      if (mode === 3) row(list, "developer", "rotating");
      row(list, "scale angle", degrees(g.angle[f]));
      if (g.elliptic) {
        row(list, "damped", degrees(g.damped[f]));
        const drawn = panel[selected] ? degrees(panel[selected][f] / 1000) : "not drawn";
        row(list, "drawn on", "entry " + selected + " at " + drawn);
        row(list, "parked", parked.join(", ") || "\u2013");
      } else {
        const needle = needles[i][0];
        row(list, "panel", needle ? "entry " + needle.dataset.entry + " at " +
            degrees(needle.dataset.angle) : "not drawn");
      }
    });
    for (const c of cursors) {
      const x = c.t1 > c.t0 ? c.x0 + ((t - c.t0) / (c.t1 - c.t0)) * (c.x1 - c.x0) : c.x0;
      c.line.setAttribute("x1", x);
      c.line.setAttribute("x2", x);
    }
    // The list keeps the latest event before the time in view.
    let latest = null;
    for (const e of eventItems) {
      e.item.classList.toggle("past", e.t <= t);
      if (e.t <= t) latest = e.item;
    }
    if (latest) eventList.scrollTop = latest.offsetTop - eventList.offsetTop;
  }

  function seek(ms) {
    slider.value = ms;
    show(frameAt(+slider.value));
    return times[current];
  }

  // Playing: the run's time advances with the wall clock, times the chosen speed.
  let speed = 1;
  let playing = false;
  let playTime = first;
  let lastTick = 0;
  function tick(now) {
    if (!playing) return;
    playTime += (now - lastTick) * speed;
    lastTick = now;
    if (playTime >= last) {
      playTime = last;
      pause();
    }
    slider.value = playTime;
    show(frameAt(playTime));
    if (playing) requestAnimationFrame(tick);
  }
  function play() {
    if (+slider.value >= last) slider.value = first;
    playTime = +slider.value;
    playing = true;
    playButton.textContent = "Pause";
    lastTick = performance.now();
    requestAnimationFrame(tick);
  }
  function pause() {
    playing = false;
    playButton.textContent = "Play";
  }
  playButton.addEventListener("click", () => (playing ? pause() : play()));
  for (const button of document.querySelectorAll("#speeds button")) {
    button.addEventListener("click", () => {
      speed = +button.dataset.speed;
      for (const b of document.querySelectorAll("#speeds button")) b.classList.toggle("active", b === button);
    });
  }
  slider.addEventListener("input", () => {
    playTime = +slider.value;
    show(frameAt(playTime));
  });

  window.mirevaneDial = {
    seek,
    state: () => ({
      time: times[current],
      gauges: gauges.map((g, i) => ({
        value: g.value[current],
        angle: g.angle[current],
        selectedEntry: g.elliptic ? g.entry[current] : null,
        needles: (needles[i] || []).map((line) => ({
          entry: +line.dataset.entry,
          angle: +line.dataset.angle,
          selected: line.dataset.selected === "true",
        })),
      })),
    }),
  };
  show(0);
})();
