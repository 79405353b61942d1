// The dial page's script: turns every needle image to its panel entry's angle in the frame
// at the slider's time, plays the run, marks key presses and copies on the time line and
// moves a cursor over the trace plots. With the cab's panel it turns the cab's needles by the
// angles the page's data holds for each frame (the tool maps values to angles, never this
// script), zooms and pans the cab's picture, and a click on a needle chooses its gauge.
// window.mirevaneDial.seek(ms) and .state() serve tests and the browser's console;
// .update(parts) shows another run in place and .choose(gauge) chooses a gauge (the studio),
// which learns of a needle clicked from the event "mirevane-gauge" on the document.
"use strict";
/* global mirevanePage -- dial/page_helpers.js, which CMake puts before this script */
(function () {
  const { element, svgElement } = mirevanePage;
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
  const slider = document.getElementById("slider");
  const timeOutput = document.getElementById("time");
  const playButton = document.getElementById("play");
  const timeline = document.getElementById("timeline");
  const eventList = document.getElementById("events");

  const number = (v, digits) => (v === null || v === undefined ? "\u2013" : (+v).toFixed(digits));
  const degrees = (v) => number(v, 3) + "\u00b0";
  const seconds = (ms) => (ms / 1000).toFixed(3) + " s";

  // The run shown: its frames and the page's elements that show them.
  let run = null;
  let current = 0;

  function load(data) {
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
    const figures = Array.from(document.querySelectorAll("figure.gauge"));
    const first = times.length > 0 ? times[0] : 0;
    const last = times.length > 0 ? times[times.length - 1] : 0;
    slider.min = first;
    slider.max = last;
    run = {
      times,
      gauges,
      panel,
      first,
      last,
      figures,
      needles: figures.map((f) => Array.from(f.querySelectorAll(".needle"))),
      readouts: figures.map((f) => f.querySelector(".readout")),
      cursors: plotCursors(),
      eventItems: drawEvents(data, first, last),
      needleOffset: data.needleOffset,
      cab: loadCab(data.cab),
    };
  }

  // Each cab needle's angles, in the order of the cab's figure, and the group that turns it.
  function loadCab(needles) {
    const groups = Array.from(document.querySelectorAll("#cab .cab-needle"));
    if (!needles || groups.length !== needles.length) return null;
    return needles.map((n, i) => {
      groups[i].dataset.gauge = n.gauge;
      groups[i].dataset.drive = n.drive;
      return {
        ...n,
        angle: expand(n.angle),
        group: groups[i],
        turn: groups[i].querySelector(".cab-turn"),
      };
    });
  }

  // Cursors over the plots: each chart gives its time axis's ends and their x.
  function plotCursors() {
    return Array.from(document.querySelectorAll("#plots g.chart")).map((chart) => {
      let line = chart.querySelector("line.cursor"); // a chart the last update kept
      if (!line) {
        const area = chart.querySelector("rect");
        line = svgElement("line", {
          class: "cursor",
          y1: area.getAttribute("y"),
          y2: +area.getAttribute("y") + +area.getAttribute("height"),
        });
        chart.appendChild(line);
      }
      const d = chart.dataset;
      return { line, t0: +d.t0, t1: +d.t1, x0: +d.x0, x1: +d.x1 };
    });
  }

  // The time line: a mark per key press, Initialize, copy and jump back of the host time;
  // a list of them beside it.
  function drawEvents(data, first, last) {
    timeline.replaceChildren();
    eventList.replaceChildren();
    const eventItems = data.events.map((e) => {
      const what = [];
      if (e.initialize) what.push("Initialize");
      if (e.keys) what.push("keys " + e.keys);
      if (e.copied) what.push("copied " + e.copied);
      if (e.jump) what.push("time jumps back: " + e.jump);
      const label = seconds(e.t) + ": " + what.join(", ");
      const x = last > first ? ((e.t - first) / (last - first)) * 1000 : 0;
      const mark = svgElement("line", {
        class: e.jump ? "jump" : e.copied ? "copy" : e.keys ? "key" : "initialize",
        x1: x,
        x2: x,
        y1: e.copied ? 0 : 8,
        y2: 30,
      });
      mark.appendChild(svgElement("title", {}, label));
      mark.addEventListener("click", () => seek(e.t));
      timeline.appendChild(mark);
      const item = element("li", {}, label);
      item.addEventListener("click", () => seek(e.t));
      eventList.appendChild(item);
      return { t: e.t, item };
    });
    if (data.eventsDropped > 0) {
      eventList.appendChild(element("li", {}, data.eventsDropped + " more events not kept"));
    }
    return eventItems;
  }

  // The last kept frame at or before the time.
  function frameAt(ms) {
    const times = run.times;
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

  function row(list, term, text) {
    list.append(element("dt", {}, term), element("dd", {}, text));
  }

  function show(f) {
    if (run.times.length === 0) return;
    current = f;
    const t = run.times[f];
    timeOutput.value = seconds(t);
    document.body.dataset.time = t;
    run.gauges.forEach((g, i) => {
      const figure = run.figures[i];
      if (!figure) return;
      const selected = g.elliptic ? g.entry[f] : null;
      figure.dataset.time = t;
      figure.dataset.value = g.value[f];
      figure.dataset.angle = g.angle[f];
      if (g.elliptic) figure.dataset.selectedEntry = selected;
      const parked = turnNeedles(g, run.needles[i], f, selected);
      showReadout(run.readouts[i], g, run.needles[i], f, selected, parked);
    });
    for (const n of run.cab || []) {
      n.turn.setAttribute("transform", "rotate(" + n.angle[f] + ")");
      n.turn.dataset.angle = n.angle[f];
    }
    for (const c of run.cursors) {
      const x = c.t1 > c.t0 ? c.x0 + ((t - c.t0) / (c.t1 - c.t0)) * (c.x1 - c.x0) : c.x0;
      c.line.setAttribute("x1", x);
      c.line.setAttribute("x2", x);
    }
    // The list keeps the latest event before the time in view.
    let latest = null;
    for (const e of run.eventItems) {
      e.item.classList.toggle("past", e.t <= t);
      if (e.t <= t) latest = e.item;
    }
    if (latest) eventList.scrollTop = latest.offsetTop - eventList.offsetTop;
  }

  // Each needle image of a gauge at the angle its panel entry holds in frame f; the entries
  // parked, with their angles.
  function turnNeedles(g, lines, f, selected) {
    const parked = [];
    for (const line of lines) {
      const entry = +line.dataset.entry;
      const values = run.panel[entry];
      const angle = values ? values[f] / 1000 : g.shown[f];
      const isSelected = !g.elliptic || entry === selected;
      line.setAttribute("transform", "rotate(" + angle + ")");
      line.dataset.angle = angle;
      line.dataset.selected = isSelected;
      line.classList.toggle("selected", isSelected);
      if (!isSelected) parked.push(entry + " at " + degrees(angle));
    }
    return parked;
  }

  // Beside the dial: the value, the developer mode, the angles and the needles drawn on.
  function showReadout(list, g, lines, f, selected, parked) {
    const { panel } = run;
    list.replaceChildren();
    const value = number(g.value[f], 3) + (g.unit ? " " + g.unit : "");
    row(list, "value", value);
    // The developer mode in force, and what it holds fixed.
    const mode = g.mode[f];
    if (mode === 1) row(list, "developer", "fixed value " + value);
    // Angles as the table and the developer keys write them, without the scale's offset;
    // the scale's own angle beside, named as the one that holds it.
    const tableAngle = g.angle[f] === null ? null : g.angle[f] - run.needleOffset;
    if (mode === 2) row(list, "developer", "fixed angle " + degrees(tableAngle));
    if (mode === 3) row(list, "developer", "rotating");
    const scaleAngle = degrees(g.angle[f]) + " with the scale's +" + run.needleOffset;
    row(list, "table angle", degrees(tableAngle) + " (" + scaleAngle + ")");
    if (g.elliptic) {
      row(list, "damped", degrees(g.damped[f]));
      const drawn = panel[selected] ? degrees(panel[selected][f] / 1000) : "not drawn";
      row(list, "drawn on", "entry " + selected + " at " + drawn);
      row(list, "parked", parked.join(", ") || "\u2013");
    } else {
      const needle = lines[0];
      row(
        list,
        "panel",
        needle
          ? "entry " + needle.dataset.entry + " at " + degrees(needle.dataset.angle)
          : "not drawn",
      );
    }
  }

  function seek(ms) {
    if (run.times.length === 0) return undefined;
    slider.value = ms;
    show(frameAt(+slider.value));
    return run.times[current];
  }

  // Playing: the run's time advances with the wall clock, times the chosen speed.
  let speed = 1;
  let playing = false;
  let playTime = 0;
  let lastTick = 0;
  function tick(now) {
    if (!playing) return;
    playTime += (now - lastTick) * speed;
    lastTick = now;
    if (playTime >= run.last) {
      playTime = run.last;
      pause();
    }
    slider.value = playTime;
    show(frameAt(playTime));
    if (playing) requestAnimationFrame(tick);
  }
  function play() {
    if (run.times.length === 0) return;
    if (+slider.value >= run.last) slider.value = run.first;
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
      for (const b of document.querySelectorAll("#speeds button"))
        b.classList.toggle("active", b === button);
    });
  }
  slider.addEventListener("input", () => {
    if (run.times.length === 0) return;
    playTime = +slider.value;
    show(frameAt(playTime));
  });

  // Another run of the same page, at the time shown before. Only the dials and plots whose
  // pieces changed since the last update are drawn anew: the browser lays out little more
  // than the gauge that was edited.
  let pieces = null;
  function node(text, svg) {
    const holder = svg ? svgElement("svg") : element("div");
    holder.innerHTML = text;
    return holder.firstElementChild;
  }
  // False when the elements are not those of the earlier pieces.
  function redraw(elements, before, after, svg) {
    if (!before || elements.length !== before.length || before.length !== after.length)
      return false;
    after.forEach((text, i) => {
      if (text !== before[i]) elements[i].replaceWith(node(text, svg));
    });
    return true;
  }
  function update(parts) {
    const time = run.times.length > 0 ? run.times[current] : null;
    document.querySelector("header .note").textContent = parts.note;
    const dials = document.getElementById("dials");
    if (
      !redraw(dials.querySelectorAll("figure.gauge"), pieces && pieces.dials, parts.dials, false)
    ) {
      dials.innerHTML = parts.dials.join("");
    }
    const plots = document.getElementById("plots");
    const sameFrame =
      pieces && pieces.plotsHead === parts.plotsHead && pieces.plotsTail === parts.plotsTail;
    if (
      !sameFrame ||
      !redraw(plots.querySelectorAll("g.gauge-plot"), pieces.plots, parts.plots, true)
    ) {
      plots.innerHTML = parts.plotsHead + parts.plots.join("") + parts.plotsTail;
    }
    const cab = document.getElementById("cab");
    if (cab && parts.cab !== undefined && (!pieces || parts.cab !== pieces.cab)) {
      cab.querySelector("svg.cab-view").replaceWith(node(parts.cab, false));
      zoom.apply();
    }
    pieces = parts;
    load(JSON.parse(parts.data));
    choose(chosen);
    current = 0;
    if (run.times.length > 0) seek(time === null ? run.first : time);
  }

  // The gauge chosen: its dial, its plot and its needles in the cab marked; -1 none.
  let chosen = -1;
  function choose(gauge) {
    chosen = gauge;
    const mark = (list, g) => {
      for (const e of document.querySelectorAll(list)) {
        e.classList.toggle("chosen", g >= 0 && +e.dataset.gauge === g);
      }
    };
    mark("figure.gauge", gauge);
    mark("#plots g.gauge-plot", gauge);
    mark("#cab .cab-needle", gauge);
  }

  // The cab's picture: the wheel and the buttons zoom, a drag pans, a click on a needle
  // chooses its gauge and says what drives the needle.
  const zoom = (() => {
    let box = null; // the part of the panel in view: x, y, width, height
    const svg = () => document.querySelector("#cab svg.cab-view");
    const whole = () => {
      const s = svg();
      return { x: 0, y: 0, w: +s.dataset.width, h: +s.dataset.height };
    };
    const apply = () => {
      const s = svg();
      if (!s) return;
      if (!box) box = whole();
      s.setAttribute("viewBox", [box.x, box.y, box.w, box.h].join(" "));
    };
    // By a factor about a point of the panel.
    const by = (factor, x, y) => {
      const w = Math.min(Math.max(box.w * factor, 8), whole().w * 4);
      const k = w / box.w;
      box = { x: x - (x - box.x) * k, y: y - (y - box.y) * k, w, h: box.h * k };
      apply();
    };
    // A point of the screen in the panel's units.
    const at = (event) =>
      new DOMPoint(event.clientX, event.clientY).matrixTransform(svg().getScreenCTM().inverse());
    const centre = () => [box.x + box.w / 2, box.y + box.h / 2];
    return {
      apply,
      fit: () => {
        box = whole();
        apply();
      },
      in: () => by(1 / 1.5, ...centre()),
      out: () => by(1.5, ...centre()),
      wheel: (event) => {
        const p = at(event);
        by(Math.pow(1.0015, event.deltaY), p.x, p.y);
      },
      pan: (dx, dy) => {
        const s = svg();
        const k = box.w / s.getBoundingClientRect().width;
        box = { ...box, x: box.x - dx * k, y: box.y - dy * k };
        apply();
      },
      box: () => ({ ...box }),
    };
  })();

  function pickNeedle(group) {
    const cab = run.cab;
    const i = +group.dataset.needle;
    const n = cab ? cab[i] : null;
    if (!n) return;
    const said = document.getElementById("cab-needle");
    const subject = group.dataset.subject || "no Subject";
    const angle = degrees(n.angle[current]);
    said.textContent =
      n.gauge >= 0
        ? subject + ": gauge " + n.gauge + " writes it, at " + angle
        : subject + " at " + angle + (n.rest ? " (" + n.rest + ")" : "");
    choose(n.gauge);
    document.dispatchEvent(
      new CustomEvent("mirevane-gauge", { detail: { gauge: n.gauge, needle: i, subject } }),
    );
  }

  const cabSection = document.getElementById("cab");
  if (cabSection) {
    let drag = null; // where a press started, and whether it moved
    cabSection.addEventListener("pointerdown", (event) => {
      if (!event.target.closest("svg.cab-view")) return;
      drag = { x: event.clientX, y: event.clientY, moved: false };
    });
    cabSection.addEventListener("pointermove", (event) => {
      if (!drag) return;
      const dx = event.clientX - drag.x;
      const dy = event.clientY - drag.y;
      if (!drag.moved && Math.hypot(dx, dy) < 4) return;
      // Captured only once it is a drag: a click still goes to the needle under it.
      if (!drag.moved) cabSection.setPointerCapture(event.pointerId);
      drag.moved = true;
      zoom.pan(dx, dy);
      drag.x = event.clientX;
      drag.y = event.clientY;
    });
    cabSection.addEventListener("pointerup", () => {
      if (drag && drag.moved) cabSection.dataset.dragged = "true";
      drag = null;
    });
    cabSection.addEventListener("click", (event) => {
      if (cabSection.dataset.dragged) {
        delete cabSection.dataset.dragged;
        return;
      }
      const group = event.target.closest(".cab-needle");
      if (group) pickNeedle(group);
    });
    cabSection.addEventListener(
      "wheel",
      (event) => {
        if (!event.target.closest("svg.cab-view")) return;
        event.preventDefault();
        zoom.wheel(event);
      },
      { passive: false },
    );
    for (const button of cabSection.querySelectorAll("#cab-zoom button")) {
      button.addEventListener("click", () => zoom[button.dataset.zoom]());
    }
    zoom.apply();
  }

  // The cab or the dials: one shown, the other one click away.
  function showView(name) {
    for (const button of document.querySelectorAll("#views button")) {
      button.classList.toggle("active", button.dataset.view === name);
      document.getElementById(button.dataset.view).hidden = button.dataset.view !== name;
    }
  }
  for (const button of document.querySelectorAll("#views button")) {
    button.addEventListener("click", () => showView(button.dataset.view));
  }

  window.mirevaneDial = {
    seek,
    update,
    choose,
    view: showView,
    zoom: () => zoom.box(),
    // The parts this page was made of: the next update redraws only what differs from them.
    madeOf: (parts) => (pieces = parts),
    state: () => ({
      time: run.times[current],
      chosen,
      cab: (run.cab || []).map((n) => ({
        subject: n.group.dataset.subject,
        gauge: n.gauge,
        drive: n.drive,
        angle: n.angle[current],
      })),
      gauges: run.gauges.map((g, i) => ({
        value: g.value[current],
        angle: g.angle[current],
        selectedEntry: g.elliptic ? g.entry[current] : null,
        needles: (run.needles[i] || []).map((line) => ({
          entry: +line.dataset.entry,
          angle: +line.dataset.angle,
          selected: line.dataset.selected === "true",
        })),
      })),
    }),
  };
  load(JSON.parse(document.getElementById("dial-data").textContent));
  slider.value = run.first;
  playTime = run.first;
  show(0);
})();
