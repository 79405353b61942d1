// The studio's page: it shows what the server's engine computed after every edit (the dial
// page of the run, with the cab first where a panel is known; each gauge's settings and table
// as written, the check, the step response) and sends edits back. A needle clicked in the cab
// selects its gauge; a gauge is calibrated on the cab picture with its needle's hub. It
// computes no needle and no angle itself. window.mirevaneStudio serves the tests.
"use strict";
/* global mirevanePage -- dial/page_helpers.js, which CMake puts before this script */
(function () {
  const { element, svgElement } = mirevanePage;
  const token = new URLSearchParams(location.search).get("token") || "";
  const frame = document.getElementById("run");
  const editors = document.getElementById("editors");
  const statusLine = document.getElementById("status");
  const buttons = {};
  for (const id of ["undo", "redo", "save", "reload"]) buttons[id] = document.getElementById(id);
  let view = null;
  let busy = Promise.resolve();
  const undoStack = [];
  const redoStack = [];
  // Per gauge, the calibration from a picture in progress: the picture, the hub, the marks
  // and rim points clicked, and what the server made of them. Kept across redraws.
  const calibrations = {};

  function say(text, isError) {
    statusLine.textContent = text;
    statusLine.classList.toggle("error", !!isError);
  }

  async function call(path, body) {
    const response = await fetch(path, {
      method: body === undefined ? "GET" : "POST",
      headers: { "X-Mirevane-Token": token, "Content-Type": "application/json" },
      body: body === undefined ? undefined : JSON.stringify(body),
    });
    // A refusal before the body is read (too large) comes as plain text: that text is the error.
    const text = await response.text();
    let data = {};
    try {
      data = JSON.parse(text);
    } catch {
      data = { error: text.trim() || "the studio answered " + response.status };
    }
    return { status: response.status, data };
  }

  // Requests go one after the other, in the order the user made them.
  function queue(work) {
    busy = busy.then(work).catch((e) => say(String(e), true));
    return busy;
  }

  // ---- drawing the view --------------------------------------------------------------------
  function cell(content) {
    const td = element("td");
    td.append(content);
    return td;
  }

  // The step response on fixed axes: the time the server gave (the same for every setting)
  // and 0 to 2, the most a mass and spring from rest overshoots a step, so that a second
  // setting is read against the first.
  function stepSvg(points) {
    const svg = svgElement("svg", { class: "step", viewBox: "0 0 300 130" });
    const span = points[points.length - 1][0] || 1;
    let top = 2;
    for (const p of points) top = Math.max(top, p[1]);
    const x = (t) => 34 + (t / span) * 256;
    const y = (v) => 110 - (v / top) * 100;
    svg.append(
      svgElement("line", { class: "axis", x1: x(0), x2: x(span), y1: y(0), y2: y(0) }),
      svgElement("line", { class: "axis", x1: x(0), x2: x(0), y1: y(0), y2: y(top) }),
    );
    for (let t = 0; t <= span + 1e-9; t += 1) {
      svg.append(
        svgElement("line", { class: "tick", x1: x(t), x2: x(t), y1: y(0), y2: y(0) + 4 }),
        svgElement("text", { x: x(t), y: 124, "text-anchor": "middle" }, t + " s"),
      );
    }
    for (const v of [0, 1, 2]) {
      const right = v === 1 ? x(span) : x(0); // the target runs across
      svg.append(
        svgElement("line", {
          class: v === 1 ? "target" : "tick",
          x1: x(0) - 4,
          x2: right,
          y1: y(v),
          y2: y(v),
        }),
        svgElement("text", { x: x(0) - 7, y: y(v) + 3.5, "text-anchor": "end" }, String(v)),
      );
    }
    svg.append(
      svgElement("polyline", {
        class: "response",
        points: points.map((p) => x(p[0]).toFixed(1) + "," + y(p[1]).toFixed(1)).join(" "),
      }),
    );
    return svg;
  }

  // Each gauge's editor is drawn anew only when what it shows changed (or when `all`): the
  // browser then lays out one card after an edit, not every gauge's.
  let cards = []; // [{key, card}] in the order of view.gauges
  function drawEditors(all) {
    const next = view.gauges.map((g, i) => {
      const mine = view.diagnostics.filter((d) => d.file === g.profile || d.file === g.table);
      const key = JSON.stringify([g, mine]);
      const old = cards[i];
      return old && !all && old.key === key ? old : { key, card: editorCard(g, mine) };
    });
    if (next.length === cards.length) {
      next.forEach((n, i) => {
        if (n !== cards[i]) cards[i].card.replaceWith(n.card);
      });
    } else {
      editors.replaceChildren(...next.map((n) => n.card));
    }
    cards = next;
  }

  // The gauge chosen by a click on its needle in the cab picture; null: none.
  let selected = null;
  function selectGauge(number) {
    selected = number;
    for (const card of editors.querySelectorAll("section.gauge-editor"))
      card.classList.toggle("selected", +card.dataset.gauge === number);
    const card = editors.querySelector('section.gauge-editor[data-gauge="' + number + '"]');
    if (card) card.scrollIntoView({ block: "start" });
  }

  function editorCard(g, mine) {
    const card = element("section", { class: "gauge-editor", "data-gauge": g.number });
    if (g.number === selected) card.classList.add("selected");
    card.append(element("h2", {}, g.title));
    card.append(element("p", { class: "files" }, g.profile + "  \u00b7  " + g.table));
    card.append(settingsTable(g, mine));
    if (g.step.length > 0) {
      card.append(element("h2", {}, "Step response of the damped needle"));
      card.append(stepSvg(g.step));
    }
    card.append(element("h2", {}, "Calibration table (value, angle)"));
    card.append(...tableRows(g));
    card.append(calibrationSection(g));
    if (mine.length > 0) {
      const list = element("ul", { class: "gauge-diagnostics" });
      for (const d of mine) list.append(element("li", { class: d.severity }, d.text));
      card.append(list);
    }
    return card;
  }

  // The gauge's settings as written, each sent as an edit when changed.
  function settingsTable(g, mine) {
    const settings = element("table", { class: "settings" });
    for (const s of g.settings) {
      const row = element("tr", { "data-key": s.section + "." + s.key });
      if (s.edited) row.classList.add("edited");
      if (s.line > 0 && mine.some((d) => d.file === s.file && d.line === s.line))
        row.classList.add("has-diagnostic");
      const input = element("input", {
        name: s.key,
        "aria-label": s.key,
        placeholder: s.effective,
        title: s.meaning,
      });
      input.value = s.written === null ? "" : s.written;
      input.addEventListener("change", () => {
        const before = s.edited ? s.written : null;
        const after = input.value === "" && s.edited ? null : input.value;
        edit(
          { gauge: g.number, section: s.section, key: s.key, value: after },
          { gauge: g.number, section: s.section, key: s.key, value: before },
        );
      });
      row.append(element("td", {}, s.key), cell(input), element("td", { class: "unit" }, s.unit));
      settings.append(row);
    }
    return settings;
  }

  // The calibration table's rows and the button that adds one; a change sends the whole table.
  function tableRows(g) {
    const rows = element("table", { class: "rows" });
    const rowsNow = () =>
      Array.from(rows.querySelectorAll("tr")).map((tr) =>
        Array.from(tr.querySelectorAll("input")).map((i) => parseFloat(i.value)),
      );
    const sendRows = (next) =>
      edit(
        { gauge: g.number, rows: next },
        { gauge: g.number, rows: g.tableEdited ? g.rows : null },
      );
    g.rows.forEach((r, i) => {
      const tr = element("tr", { "data-row": i });
      for (const [k, v] of r.entries()) {
        const input = element("input", { type: "number", step: "any" });
        input.value = v;
        if (g.rowsEdited[i][k]) input.classList.add("edited");
        input.addEventListener("change", () => sendRows(rowsNow()));
        tr.append(cell(input));
      }
      const remove = element("button", { type: "button", title: "delete this row" }, "\u2715");
      remove.addEventListener("click", () => sendRows(g.rows.filter((_, k) => k !== i)));
      tr.append(cell(remove));
      rows.append(tr);
    });
    const add = element("button", { type: "button", class: "add-row" }, "Add a row");
    // A row 10 past the last at its angle; an empty table starts at 0.
    add.addEventListener("click", () => {
      const last = g.rows[g.rows.length - 1];
      sendRows(g.rows.concat([last ? [last[0] + 10, last[1]] : [0, 0]]));
    });
    return [rows, add];
  }

  // ---- calibration from the dial picture ----------------------------------------------------
  // Where a pointer event lies in the SVG's own units, however the SVG is scaled or scrolled.
  function svgPoint(svg, e) {
    const point = svg.createSVGPoint();
    point.x = e.clientX;
    point.y = e.clientY;
    return point.matrixTransform(svg.getScreenCTM().inverse());
  }

  // The panel's picture, fetched once for every gauge calibrated on it: {picture: a data:
  // URI, width, height}, or {error}.
  let panelPicture = null;
  async function loadPanelPicture() {
    if (panelPicture) return panelPicture;
    const name = encodeURIComponent(view.panel.picture);
    const response = await fetch("/api/picture?name=" + name, {
      headers: { "X-Mirevane-Token": token },
    });
    if (!response.ok) {
      panelPicture = { error: (await response.text()).trim() };
      return panelPicture;
    }
    const blob = await response.blob();
    const picture = await new Promise((resolve) => {
      const reader = new FileReader();
      reader.onload = () => resolve(reader.result);
      reader.readAsDataURL(blob);
    });
    const image = new Image();
    await new Promise((resolve) => {
      image.onload = resolve;
      image.src = picture;
    });
    panelPicture = { picture, width: image.naturalWidth, height: image.naturalHeight };
    return panelPicture;
  }

  // A gauge whose needle the panel draws is calibrated on the panel's picture, unless it was
  // given a picture of its own (--dial): there the needle's Location is the hub.
  const onPanel = (g) => !!(g.needle && g.needle.hub && view.panel.picture);

  function calibrationOf(g) {
    if (!calibrations[g.number]) {
      const face = g.face;
      const panel = !face && onPanel(g);
      calibrations[g.number] = {
        panel, // on the panel's picture: no hub to click
        picture: face ? face.picture : null,
        width: face ? face.width : 0,
        height: face ? face.height : 0,
        hub: face ? face.hub.slice() : panel ? g.needle.hub.slice() : null,
        marks: [], // {value, x, y}
        rim: [], // [x, y]
        mode: face || panel ? "mark" : "hub",
        zoom: 1,
        replace: false, // the marks make the whole table
        turns: null, // the scale's sweep, where the marks cannot tell it
        result: null,
        open: false,
      };
    }
    return calibrations[g.number];
  }

  // The marks with a value, as the server takes them.
  const readyMarks = (c) =>
    c.marks.filter((m) => Number.isFinite(m.value)).map((m) => [m.value, m.x, m.y]);

  async function recalibrate(number, c) {
    if (!c.hub) return;
    const { status, data } = await call("/api/calibrate", {
      gauge: number,
      ...(c.panel ? { panel: true } : { hub: c.hub }),
      marks: readyMarks(c),
      rim: c.rim,
      replace: c.replace,
      turns: c.turns,
    });
    if (status !== 200) return say(data.error, true);
    c.result = data;
  }

  // The dial radius of a picture chosen in the page: the fitted rim's major semi-axis, else the
  // hub's distance to the farthest point clicked; null until there is one.
  function faceRadius(c) {
    if (c.result && c.result.fit)
      return { radius: c.result.fit.major, from: "the fitted ellipse's major semi-axis" };
    const points = c.marks.map((m) => [m.x, m.y]).concat(c.rim);
    const far = Math.max(0, ...points.map((p) => Math.hypot(p[0] - c.hub[0], p[1] - c.hub[1])));
    return far > 0
      ? { radius: +far.toFixed(2), from: "the farthest mark or rim point from the hub" }
      : null;
  }

  // A picture chosen in the page goes under the run's dial once its hub and radius are known,
  // and again whenever they change; the server answers with the new view.
  async function showFace(number, c) {
    if (!c.chosen || !c.hub) return;
    const r = faceRadius(c);
    if (!r) return;
    const face = {
      gauge: number,
      picture: c.picture,
      width: c.width,
      height: c.height,
      hub: c.hub,
      radius: r.radius,
    };
    if (
      c.shown &&
      c.shown.picture === face.picture &&
      c.shown.radius === face.radius &&
      c.shown.hub[0] === face.hub[0] &&
      c.shown.hub[1] === face.hub[1]
    )
      return;
    const { status, data } = await call("/api/face", face);
    if (status !== 200) {
      c.faceError =
        status === 413
          ? "The picture is too large to show under the run's dial (" +
            data.error +
            "); choose a smaller one."
          : data.error;
      return say(c.faceError, true);
    }
    c.faceError = null;
    c.shown = face;
    await show(data);
  }

  // The table the server made of the marks and the gauge's present table (as calibrate
  // --write makes it) becomes the gauge's table, as one edit; nothing when it refused them.
  async function marksIntoTable(number, c) {
    await recalibrate(number, c);
    const g = view.gauges[number];
    const rows = c.result && c.result.marks.length > 0 ? c.result.rows : null;
    if (!rows || JSON.stringify(rows) === JSON.stringify(g.rows)) return show(view);
    await send({ gauge: number, rows }, { gauge: number, rows: g.tableEdited ? g.rows : null });
  }

  // Each gauge's picker is made once and kept across redraws: a new one would forget the name
  // of the file chosen.
  const pickers = {};
  function picturePicker(g, c) {
    if (pickers[g.number]) return pickers[g.number];
    const file = element("input", {
      type: "file",
      accept: "image/png,image/jpeg",
      "aria-label": "dial picture",
    });
    file.addEventListener("change", () => {
      const chosen = file.files[0];
      if (!chosen) return;
      const reader = new FileReader();
      reader.onload = () => {
        const image = new Image();
        image.onload = () => {
          Object.assign(c, {
            panel: false,
            picture: reader.result,
            width: image.naturalWidth,
            height: image.naturalHeight,
            hub: null,
            marks: [],
            rim: [],
            result: null,
            mode: "hub",
            open: true,
            chosen: true,
            faceError: null,
          });
          show(view);
        };
        image.src = reader.result;
      };
      reader.readAsDataURL(chosen);
    });
    pickers[g.number] = file;
    return file;
  }

  // The calibration from a picture, in steps: the tools, what to click next, the picture with
  // what was clicked and what the server made of it, the marks, the notes and the fitted rim.
  function calibrationSection(g) {
    const c = calibrationOf(g);
    const details = element("details", { class: "calibrate" });
    details.open = c.open;
    details.addEventListener("toggle", () => {
      c.open = details.open;
      // The cab picture is fetched when first opened, not with the first view.
      if (c.open && c.panel && !c.picture) queue(() => panelPictureInto(c));
    });
    details.append(
      element(
        "summary",
        {},
        c.panel ? "Calibrate on the cab picture" : "Calibrate from the dial picture",
      ),
    );
    details.append(calibrationTools(g, c));
    if (g.needle && g.needle.refused) {
      details.append(element("p", { class: "hint needle-refused" }, g.needle.refused));
    }
    if (c.panel && !c.picture) {
      const text = c.pictureError || "Reading the cab picture\u2026";
      details.append(element("p", { class: c.pictureError ? "hint error" : "hint" }, text));
      return details;
    }
    if (!c.picture) {
      const hint = "Choose a picture of the dial (or start the studio with --dial).";
      details.append(element("p", { class: "hint" }, hint));
      return details;
    }
    details.append(...calibrationHints(g, c));
    const box = element("div", { class: "picture-box" });
    box.append(calibrationPicture(g, c));
    // Where the picture was scrolled to stays across redraws, each click being one.
    box.addEventListener("scroll", () => (c.scroll = [box.scrollLeft, box.scrollTop]));
    if (c.scroll) requestAnimationFrame(() => box.scrollTo(c.scroll[0], c.scroll[1]));
    details.append(box, marksTable(g, c), calibrationNotes(g, c));
    if (c.rim.length > 0) details.append(fitLine(g, c));
    return details;
  }

  // The cab picture into a gauge's calibration, fitted to the width of its box.
  async function panelPictureInto(c) {
    const p = await loadPanelPicture();
    if (c.picture) return;
    if (p.error) c.pictureError = p.error;
    else {
      Object.assign(c, { picture: p.picture, width: p.width, height: p.height });
      c.zoom = Math.min(1, Math.max(0.25, (editors.clientWidth - 40) / p.width));
    }
    await show(view);
  }

  // The picture's file, what a click on the picture sets, and the zoom. On the cab picture
  // the needle's Location is the hub: there is none to set.
  function calibrationTools(g, c) {
    const tools = element("div", { class: "calibrate-tools" });
    tools.append(picturePicker(g, c));
    if (onPanel(g) && !c.panel) {
      const back = element("button", { type: "button", class: "cab-picture" }, "The cab picture");
      back.addEventListener("click", () => {
        delete calibrations[g.number];
        calibrationOf(g).open = true;
        show(view);
      });
      tools.append(back);
    }
    const modes = [
      ["hub", "Set the hub"],
      ["mark", "Add marks"],
      ["rim", "Add rim points"],
    ];
    for (const [mode, label] of modes.filter((m) => !(c.panel && m[0] === "hub"))) {
      const b = element("button", { type: "button", "data-mode": mode }, label);
      if (c.mode === mode) b.classList.add("active");
      b.addEventListener("click", () => {
        c.mode = mode;
        show(view);
      });
      tools.append(b);
    }
    for (const [label, factor] of [
      ["+", 2],
      ["\u2212", 0.5],
    ]) {
      const b = element("button", { type: "button", class: "zoom", title: "zoom" }, label);
      b.addEventListener("click", () => {
        c.zoom = Math.min(16, Math.max(0.25, c.zoom * factor));
        show(view);
      });
      tools.append(b);
    }
    return tools;
  }

  // What a click does now, and for a picture chosen in the page, how it shows under the dial.
  function calibrationHints(g, c) {
    const hints = [
      element(
        "p",
        { class: "hint" },
        c.mode === "hub"
          ? "Click the needle's pivot."
          : c.mode === "mark"
            ? "Click a mark of the scale, then type its value."
            : "Click five or more points on the dial's rim.",
      ),
    ];
    if (c.panel && g.needle.hub) {
      hints.push(
        element("p", { class: "hint needle-said" }, "Hub and angles from " + g.needle.said + "."),
      );
    }
    if (c.chosen) {
      const r = c.hub ? faceRadius(c) : null;
      hints.push(
        element(
          "p",
          { class: "hint face-hint" + (c.faceError ? " error" : "") },
          c.faceError ||
            (r
              ? "Shown under the run's dial with radius " + r.radius + " px: " + r.from + "."
              : "Set the hub and click a mark or rim point to show the picture under the run's dial."),
        ),
      );
    }
    return hints;
  }

  // The picture with the fitted rim, the rim points, the hub, the marks and the needles the
  // server drew through them; a click adds what the mode says.
  function calibrationPicture(g, c) {
    const svg = svgElement("svg", {
      class: "picture",
      viewBox: "0 0 " + c.width + " " + c.height,
      width: c.width * c.zoom,
      height: c.height * c.zoom,
      "data-gauge": g.number,
    });
    svg.append(svgElement("image", { href: c.picture, width: c.width, height: c.height }));
    const dot = c.width / 150;
    if (c.result && c.result.fit) {
      svg.append(
        svgElement("polyline", {
          class: "fitted",
          points: c.result.fit.outline.map((p) => p.join(",")).join(" "),
        }),
      );
    }
    for (const p of c.rim)
      svg.append(svgElement("circle", { class: "rim", cx: p[0], cy: p[1], r: dot }));
    if (c.hub) {
      const [hx, hy] = c.hub;
      const marks = c.result ? c.result.marks : [];
      for (const m of marks) {
        const source = c.marks.find((k) => k.value === m.value);
        const length = source ? Math.hypot(source.x - hx, source.y - hy) : c.width / 3;
        const t = (m.drawn * Math.PI) / 180;
        svg.append(
          svgElement("line", {
            class: "needle",
            "data-value": m.value,
            x1: hx,
            y1: hy,
            x2: hx + length * Math.cos(t),
            y2: hy + length * Math.sin(t),
          }),
        );
      }
      svg.append(svgElement("circle", { class: "hub", cx: hx, cy: hy, r: dot * 1.5 }));
    }
    for (const m of c.marks)
      svg.append(svgElement("circle", { class: "mark", cx: m.x, cy: m.y, r: dot }));
    svg.addEventListener("click", (e) => pictureClicked(g, c, svgPoint(svg, e)));
    return svg;
  }

  function pictureClicked(g, c, p) {
    const x = +p.x.toFixed(2);
    const y = +p.y.toFixed(2);
    if (c.mode === "hub") {
      c.hub = [x, y];
      c.mode = "mark";
    } else if (c.mode === "mark") {
      c.marks.push({ value: NaN, x, y });
    } else {
      c.rim.push([x, y]);
    }
    queue(async () => {
      await pointsChanged(g, c);
      const empty = editors.querySelector(
        'section[data-gauge="' + g.number + '"] table.marks input.pending',
      );
      if (empty) empty.focus();
    });
  }

  // After a point was added or forgotten: the server's reading of them, the editors drawn
  // again with it, and a picture chosen in the page sent again under the run's dial.
  async function pointsChanged(g, c) {
    await recalibrate(g.number, c);
    await show(view);
    await showFace(g.number, c);
  }

  // The marks clicked: the value typed for each, where it lies, the angle the server gave it
  // and, on an oval gauge, the needle image that draws it.
  function marksTable(g, c) {
    const marks = element("table", { class: "marks" });
    c.marks.forEach((m, i) => {
      const tr = element("tr", { "data-mark": i });
      const value = element("input", {
        type: "number",
        step: "any",
        "aria-label": "value of the mark",
      });
      if (Number.isFinite(m.value)) value.value = m.value;
      else value.classList.add("pending");
      value.addEventListener("change", () => {
        m.value = parseFloat(value.value);
        queue(() => marksIntoTable(g.number, c));
      });
      const found = c.result ? c.result.marks.find((k) => k.value === m.value) : null;
      const row = found && c.result.rows ? c.result.rows.find((r) => r[0] === m.value) : null;
      const remove = element("button", { type: "button", title: "forget this mark" }, "\u2715");
      remove.addEventListener("click", () => {
        c.marks.splice(i, 1);
        queue(() => pointsChanged(g, c));
      });
      tr.append(
        cell(value),
        element("td", {}, "at " + m.x + ", " + m.y),
        element("td", { class: "mark-angle" }, row ? row[1] + "\u00b0" : ""),
        element("td", {}, found && g.elliptic ? "image of entry " + found.entry : ""),
        cell(remove),
      );
      marks.append(tr);
    });
    return marks;
  }

  // The ellipse fitted to the rim points, and the button that makes it the gauge's.
  function fitLine(g, c) {
    const fit = c.result && c.result.fit;
    const p = element(
      "p",
      { class: "fit" },
      fit
        ? "Fitted: Flattening " +
            fit.settings.Flattening +
            ", RotateAngle " +
            fit.settings.RotateAngle +
            "\u00b0, " +
            fit.residual.toFixed(2) +
            " px from the rim points"
        : c.rim.length + " rim points: five or more fit an ellipse",
    );
    if (!fit) return p;
    const use = element("button", { type: "button", class: "use-fit" }, "Use these settings");
    use.addEventListener("click", () =>
      queue(async () => {
        for (const key of ["Flattening", "RotateAngle"]) {
          const s = view.gauges[g.number].settings.find((x) => x.key === key);
          const done = await send(
            { gauge: g.number, section: "Ellipse", key, value: fit.settings[key] },
            { gauge: g.number, section: "Ellipse", key, value: s.edited ? s.written : null },
          );
          if (!done) return;
        }
        // The marks read again through the new ellipse: their needles, angles and rows.
        await marksIntoTable(g.number, c);
      }),
    );
    p.append(use);
    return p;
  }

  // Beside the marks: why the server refused them, or the sense it took and what the picture
  // cannot support; the choice to replace the whole table and the sweep in turns.
  function calibrationNotes(g, c) {
    const notes = element("div", { class: "calibrate-notes" });
    const r = c.result;
    if (r && r.refused) {
      notes.append(
        element(
          "p",
          { class: "calibrate-refused error" },
          r.refused.message + " [" + r.refused.code + "]",
        ),
      );
    } else if (r && r.sense.text) {
      notes.append(element("p", { class: "calibrate-sense" }, r.sense.text));
    }
    if (r && r.warnings.length > 0) {
      const list = element("ul", { class: "calibrate-warnings" });
      for (const w of r.warnings)
        list.append(element("li", { class: "warning" }, w.message + " [" + w.code + "]"));
      notes.append(list);
    }
    const replace = element("input", { type: "checkbox", name: "replace" });
    replace.checked = c.replace;
    replace.addEventListener("change", () => {
      c.replace = replace.checked;
      queue(() => marksIntoTable(g.number, c));
    });
    const turns = element("input", {
      type: "number",
      step: "any",
      min: "0",
      name: "turns",
      placeholder: "from the marks",
    });
    if (c.turns !== null) turns.value = c.turns;
    turns.addEventListener("change", () => {
      c.turns = turns.value === "" ? null : parseFloat(turns.value);
      queue(() => marksIntoTable(g.number, c));
    });
    const replaceLabel = element("label", {}, " replace the whole table by the marks");
    replaceLabel.prepend(replace);
    const turnsLabel = element("label", {}, "sweep in turns ");
    turnsLabel.append(turns);
    notes.append(replaceLabel, " ", turnsLabel);
    return notes;
  }

  function drawDiagnostics() {
    const list = document.getElementById("diagnostics");
    list.replaceChildren();
    for (const d of view.diagnostics) list.append(element("li", { class: d.severity }, d.text));
    if (view.diagnostics.length === 0) list.append(element("li", {}, "no problems found"));
  }

  // Calibration ticks on the dials can be dragged: the server says which table angle draws
  // the needle through the point let go, and that angle becomes the row's.
  const tickStyle =
    "svg.dial line.tick { cursor: grab; } svg.dial line.tick.dragging { stroke: #d9822b; stroke-width: 3; }";
  function makeTicksDraggable(doc) {
    for (const svg of doc.querySelectorAll("svg.dial:not([data-draggable])")) {
      svg.dataset.draggable = "";
      const gauge = +svg.dataset.gauge;
      // A tick is thin: a press within a few dial units of its middle takes it.
      let dragged = null;
      svg.addEventListener("pointerdown", (e) => {
        const p = svgPoint(svg, e);
        let best = 8;
        for (const tick of svg.querySelectorAll("line.tick")) {
          const x = (+tick.getAttribute("x1") + +tick.getAttribute("x2")) / 2;
          const y = (+tick.getAttribute("y1") + +tick.getAttribute("y2")) / 2;
          const distance = Math.hypot(p.x - x, p.y - y);
          if (distance < best) {
            best = distance;
            dragged = tick;
          }
        }
        if (!dragged) return;
        e.preventDefault();
        dragged.classList.add("dragging");
        svg.setPointerCapture(e.pointerId);
      });
      svg.addEventListener("pointerup", (e) => {
        if (!dragged) return;
        const tick = dragged;
        dragged = null;
        tick.classList.remove("dragging");
        const p = svgPoint(svg, e);
        dropTick(gauge, +tick.dataset.value, p.x, p.y);
      });
    }
  }

  function dropTick(gauge, value, x, y) {
    const g = view.gauges[gauge];
    const index = g.rows.findIndex((r) => r[0] === value);
    if (index < 0) return Promise.resolve();
    return queue(async () => {
      const { status, data } = await call("/api/angle", { gauge, x, y, near: g.rows[index][1] });
      if (status !== 200) return say(data.error, true);
      const next = g.rows.map((r, k) => (k === index ? [r[0], +data.angle.toFixed(3)] : r));
      await send({ gauge, rows: next }, { gauge, rows: g.tableEdited ? g.rows : null });
    });
  }

  // The first view loads the dial page into its frame; later ones update it in place.
  function drawRun() {
    const dial = frame.contentWindow && frame.contentWindow.mirevaneDial;
    if (dial && !view.page) {
      dial.update(view.run);
      makeTicksDraggable(frame.contentDocument);
      return Promise.resolve();
    }
    return new Promise((resolve) => {
      const parts = view.run;
      frame.onload = () => {
        frame.contentWindow.mirevaneDial.madeOf(parts);
        const doc = frame.contentDocument;
        const style = doc.createElement("style");
        style.textContent = tickStyle;
        doc.head.append(style);
        makeTicksDraggable(doc);
        // A needle clicked in the cab: its gauge's editor.
        doc.addEventListener("mirevane-gauge", (e) => {
          if (e.detail.gauge >= 0) selectGauge(e.detail.gauge);
        });
        resolve();
      };
      frame.srcdoc = view.page;
      delete view.page; // shown: the view is kept for undo, without the whole page
    });
  }

  // show(view) again draws the editors anew (an input refused, a calibration step) and
  // leaves the run as it is; a new view redraws what changed.
  async function show(next) {
    const again = next === view;
    view = next;
    document.getElementById("cab").textContent = view.cab + "  \u00b7  " + view.scenario;
    document.getElementById("panel").textContent = [view.panel.said, ...view.panel.notes].join(
      "  ",
    );
    drawEditors(again);
    drawDiagnostics();
    drawButtons();
    if (!again) await drawRun();
  }

  // ---- edits, undo, save --------------------------------------------------------------------
  function drawButtons() {
    buttons.save.disabled = !view.dirty;
    buttons.undo.disabled = undoStack.length === 0;
    buttons.redo.disabled = redoStack.length === 0;
  }

  async function send(change, inverse, fromHistory) {
    const { status, data } = await call("/api/edit", change);
    if (status !== 200) {
      say(data.error, true);
      await show(view); // the inputs show the cab as it stands
      return false;
    }
    if (!fromHistory) {
      undoStack.push({ change, inverse });
      redoStack.length = 0;
    }
    say(data.summary);
    await show(data);
    return true;
  }

  function edit(change, inverse) {
    return queue(() => send(change, inverse, false));
  }

  // The history moves only after the server took the step; the buttons then show it.
  function undo() {
    return queue(async () => {
      const step = undoStack.pop();
      if (!step) return;
      if (await send(step.inverse, step.change, true)) redoStack.push(step);
      drawButtons();
    });
  }

  function redo() {
    return queue(async () => {
      const step = redoStack.pop();
      if (!step) return;
      if (await send(step.change, step.inverse, true)) undoStack.push(step);
      drawButtons();
    });
  }

  // The work of save and reload runs inside the queue: what it leads to (saving again over
  // the backups, reading the files again) is called here directly, never queued, since queued
  // work that waits for more queued work waits for itself.
  async function saveNow(replaceBackups) {
    const { status, data } = await call("/api/save", { replaceBackups: !!replaceBackups });
    if (status === 200) {
      undoStack.length = 0;
      redoStack.length = 0;
      say("saved: " + data.written.join(", "));
      return show(data.view);
    }
    if (status !== 409) return say(data.error, true);
    if (data.conflicts.length > 0) {
      say(
        data.conflicts.join(", ") + " changed on disk since the studio read it: nothing was saved",
        true,
      );
      if (
        window.confirm(statusLine.textContent + ". Read the files again (your edits are dropped)?")
      ) {
        return reloadNow();
      }
    } else if (data.backupsInTheWay.length > 0) {
      const text =
        "Older backups differ from the files as the studio read them: " +
        data.backupsInTheWay.join(", ") +
        ". Replace them?";
      if (window.confirm(text)) return saveNow(true);
      say("nothing was saved: the older backups are kept", true);
    }
  }

  async function reloadNow() {
    const { status, data } = await call("/api/reload", {});
    if (status !== 200) return say(data.error, true);
    undoStack.length = 0;
    redoStack.length = 0;
    say("read the files again");
    return show(data);
  }

  function save(replaceBackups) {
    return queue(() => saveNow(replaceBackups));
  }

  // Unsaved edits and their history are dropped only when the user says so.
  function reload() {
    return queue(() => {
      const question =
        "Read the files again? Your unsaved edits and their undo history are dropped.";
      if (view && view.dirty && !window.confirm(question)) return undefined;
      return reloadNow();
    });
  }

  buttons.undo.addEventListener("click", undo);
  buttons.redo.addEventListener("click", redo);
  buttons.save.addEventListener("click", () => save(false));
  buttons.reload.addEventListener("click", () => reload());
  document.addEventListener("keydown", (e) => {
    if (!(e.ctrlKey || e.metaKey) || e.target.tagName === "INPUT") return;
    if (e.key === "z") undo();
    if (e.key === "y") redo();
  });

  window.mirevaneStudio = {
    view: () => view,
    idle: () => busy,
    edit,
    undo,
    redo,
    save,
    dropTick,
    calibration: (gauge) => calibrations[gauge],
    selected: () => selected,
    frame: () => frame.contentWindow,
  };
  queue(async () => {
    const { status, data } = await call("/api/view");
    if (status !== 200) return say(data.error, true);
    return show(data);
  });
})();
