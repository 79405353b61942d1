// The studio's page: it shows what the server's engine computed after every edit (the dial
// page of the run, each gauge's settings and table as written, the check, the step response)
// and sends edits back. It computes no needle itself. window.mirevaneStudio serves the tests.
"use strict";
(function () {
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
  let shownAt = 0; // when the last view was drawn, for the tests' timing

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
    let data = {};
    try {
      data = await response.json();
    } catch (e) {
      data = { error: "the studio answered " + response.status };
    }
    return { status: response.status, data };
  }

  // Requests go one after the other, in the order the user made them.
  function queue(work) {
    busy = busy.then(work).catch((e) => say(String(e), true));
    return busy;
  }

  // ---- drawing the view --------------------------------------------------------------------
  function element(tag, attributes, text) {
    const e = document.createElement(tag);
    for (const [k, v] of Object.entries(attributes || {})) e.setAttribute(k, v);
    if (text !== undefined) e.textContent = text;
    return e;
  }

  function cell(content) {
    const td = document.createElement("td");
    td.append(content);
    return td;
  }

  function stepSvg(points) {
    const ns = "http://www.w3.org/2000/svg";
    const svg = document.createElementNS(ns, "svg");
    svg.setAttribute("class", "step");
    svg.setAttribute("viewBox", "0 0 260 90");
    const last = points[points.length - 1][0] || 1;
    let top = 1;
    for (const p of points) top = Math.max(top, p[1]);
    const x = (t) => 5 + (t / last) * 250;
    const y = (v) => 85 - (v / (top * 1.05)) * 75;
    const target = document.createElementNS(ns, "line");
    target.setAttribute("x1", 5);
    target.setAttribute("x2", 255);
    target.setAttribute("y1", y(1));
    target.setAttribute("y2", y(1));
    const line = document.createElementNS(ns, "polyline");
    line.setAttribute("points", points.map((p) => x(p[0]).toFixed(1) + "," + y(p[1]).toFixed(1)).join(" "));
    const label = document.createElementNS(ns, "text");
    label.setAttribute("x", 200);
    label.setAttribute("y", 84);
    label.setAttribute("font-size", 10);
    label.textContent = last.toFixed(2) + " s";
    svg.append(target, line, label);
    return svg;
  }

  function diagnosticText(d) {
    return d.file + ":" + d.line + ":" + d.column + ": " + d.severity + ": " + d.message + " [" + d.code + "]";
  }

  function drawEditors() {
    editors.replaceChildren();
    for (const g of view.gauges) {
      const card = element("section", { class: "gauge-editor", "data-gauge": g.number });
      card.append(element("h2", {}, g.title));
      card.append(element("p", { class: "files" }, g.profile + "  \u00b7  " + g.table));
      const mine = view.diagnostics.filter((d) => d.file === g.profile || d.file === g.table);

      const settings = element("table", { class: "settings" });
      for (const s of g.settings) {
        const row = element("tr", { "data-key": s.section + "." + s.key });
        if (s.edited) row.classList.add("edited");
        if (s.line > 0 && mine.some((d) => d.file === s.file && d.line === s.line)) row.classList.add("has-diagnostic");
        const input = element("input", { name: s.key, "aria-label": s.key, placeholder: s.effective, title: s.meaning });
        input.value = s.written === null ? "" : s.written;
        input.addEventListener("change", () => {
          const before = s.edited ? s.written : null;
          const after = input.value === "" && s.edited ? null : input.value;
          edit({ gauge: g.number, section: s.section, key: s.key, value: after },
               { gauge: g.number, section: s.section, key: s.key, value: before });
        });
        row.append(element("td", {}, s.key), cell(input), element("td", { class: "unit" }, s.unit));
        settings.append(row);
      }
      card.append(settings);

      if (g.step.length > 0) {
        card.append(element("h2", {}, "Step response of the damped needle"));
        card.append(stepSvg(g.step));
      }

      card.append(element("h2", {}, "Calibration table (value, angle)"));
      const rows = element("table", { class: "rows" });
      const rowsNow = () => Array.from(rows.querySelectorAll("tr")).map((tr) =>
        Array.from(tr.querySelectorAll("input")).map((i) => parseFloat(i.value)));
      const sendRows = (next) => edit({ gauge: g.number, rows: next },
                                      { gauge: g.number, rows: g.tableEdited ? g.rows : null });
      g.rows.forEach((r, i) => {
        const tr = element("tr", { "data-row": i });
        for (const v of r) {
          const input = element("input", { type: "number", step: "any" });
          input.value = v;
          input.addEventListener("change", () => sendRows(rowsNow()));
          tr.append(cell(input));
        }
        const remove = element("button", { type: "button", title: "delete this row" }, "\u2715");
        remove.addEventListener("click", () => sendRows(g.rows.filter((_, k) => k !== i)));
        tr.append(cell(remove));
        rows.append(tr);
      });
      card.append(rows);
      const add = element("button", { type: "button", class: "add-row" }, "Add a row");
      add.addEventListener("click", () => {
        const last = g.rows[g.rows.length - 1] || [0, 0];
        sendRows(g.rows.concat([[last[0] + 10, last[1]]]));
      });
      card.append(add);

      if (mine.length > 0) {
        const list = element("ul", { class: "gauge-diagnostics" });
        for (const d of mine) list.append(element("li", { class: d.severity }, diagnosticText(d)));
        card.append(list);
      }
      editors.append(card);
    }
  }

  function drawDiagnostics() {
    const list = document.getElementById("diagnostics");
    list.replaceChildren();
    for (const d of view.diagnostics) list.append(element("li", { class: d.severity }, diagnosticText(d)));
    if (view.diagnostics.length === 0) list.append(element("li", {}, "no problems found"));
  }

  // Calibration ticks on the dials can be dragged: the server says which table angle draws
  // the needle through the point let go, and that angle becomes the row's.
  function makeTicksDraggable(doc) {
    const style = doc.createElement("style");
    style.textContent = "svg.dial line.tick { cursor: grab; } svg.dial line.tick.dragging { stroke: #d9822b; stroke-width: 3; }";
    doc.head.append(style);
    for (const svg of doc.querySelectorAll("svg.dial")) {
      const gauge = +svg.dataset.gauge;
      const at = (e) => {
        const point = svg.createSVGPoint();
        point.x = e.clientX;
        point.y = e.clientY;
        return point.matrixTransform(svg.getScreenCTM().inverse());
      };
      // A tick is thin: a press within a few dial units of its middle takes it.
      let dragged = null;
      svg.addEventListener("pointerdown", (e) => {
        const p = at(e);
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
        const p = at(e);
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

  function drawRun() {
    const window_ = frame.contentWindow;
    const time = window_ && window_.mirevaneDial ? window_.mirevaneDial.state().time : null;
    return new Promise((resolve) => {
      frame.onload = () => {
        const dial = frame.contentWindow.mirevaneDial;
        if (dial && time !== null) dial.seek(time);
        makeTicksDraggable(frame.contentDocument);
        resolve();
      };
      frame.srcdoc = view.page;
    });
  }

  async function show(next) {
    view = next;
    document.getElementById("cab").textContent = view.cab + "  \u00b7  " + view.scenario;
    drawEditors();
    drawDiagnostics();
    buttons.save.disabled = !view.dirty;
    buttons.undo.disabled = undoStack.length === 0;
    buttons.redo.disabled = redoStack.length === 0;
    await drawRun();
    shownAt = performance.now();
  }

  // ---- edits, undo, save --------------------------------------------------------------------
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
    say(data.errors + " errors, " + data.warnings + " warnings");
    await show(data);
    return true;
  }

  function edit(change, inverse) {
    return queue(() => send(change, inverse, false));
  }

  function undo() {
    return queue(async () => {
      const step = undoStack.pop();
      if (!step) return;
      if (await send(step.inverse, step.change, true)) redoStack.push(step);
    });
  }

  function redo() {
    return queue(async () => {
      const step = redoStack.pop();
      if (!step) return;
      if (await send(step.change, step.inverse, true)) undoStack.push(step);
    });
  }

  function save(replaceBackups) {
    return queue(async () => {
      const { status, data } = await call("/api/save", { replaceBackups: !!replaceBackups });
      if (status === 200) {
        undoStack.length = 0;
        redoStack.length = 0;
        say("saved: " + data.written.join(", "));
        return show(data.view);
      }
      if (status !== 409) return say(data.error, true);
      if (data.conflicts.length > 0) {
        say(data.conflicts.join(", ") + " changed on disk since the studio read it: nothing was saved", true);
        if (window.confirm(statusLine.textContent + ". Read the files again (your edits are dropped)?")) {
          return reload();
        }
      } else if (data.backupsInTheWay.length > 0) {
        const text = "Older backups differ from the files as the studio read them: " +
          data.backupsInTheWay.join(", ") + ". Replace them?";
        if (window.confirm(text)) return save(true);
        say("nothing was saved: the older backups are kept", true);
      }
    });
  }

  function reload() {
    return queue(async () => {
      const { status, data } = await call("/api/reload", {});
      if (status !== 200) return say(data.error, true);
      undoStack.length = 0;
      redoStack.length = 0;
      say("read the files again");
      return show(data);
    });
  }

  buttons.undo.addEventListener("click", undo);
  buttons.redo.addEventListener("click", redo);
  buttons.save.addEventListener("click", () => save(false));
  buttons.reload.addEventListener("click", reload);
  document.addEventListener("keydown", (e) => {
    if (!(e.ctrlKey || e.metaKey) || e.target.tagName === "INPUT") return;
    if (e.key === "z") undo();
    if (e.key === "y") redo();
  });

  window.mirevaneStudio = {
    view: () => view,
    idle: () => busy,
    shownAt: () => shownAt,
    edit,
    undo,
    redo,
    save,
    dropTick,
    frame: () => frame.contentWindow,
  };
  queue(async () => {
    const { status, data } = await call("/api/view");
    if (status !== 200) return say(data.error, true);
    return show(data);
  });
})();
