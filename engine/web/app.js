// The live view: a map drawn here (no tiles, no network) with every vessel
// of the run and the AIS targets heard, the sky plot and the panel of the
// vessel followed, the target list with its CPA alarm, the last
// sentences, the scenario's events, and the controls. Everything comes from
// this program's own server: /events while live, /control to steer.
"use strict";

const COLOURS = { GPS: "#1f5fbf", GLONASS: "#c1121f", Galileo: "#2a9d3f", BeiDou: "#e68a00" };
const MAX_TRACK = 5000;
const METRES_PER_DEGREE = 111320;
const VECTOR_HOURS = 0.1;  // a target's course vector: where it is in six minutes
const SAFETY = new Set(["SART", "MOB", "EPIRB"]);

let state = null;
let world = null;      // every vessel and the events, once a second
let followed = null;   // the vessel's name; null: the first
let events = null;     // the stream of the vessel followed
const track = [];
let lines = [];  // the last update, whole
let metresPerPixel = 4;

const $ = (id) => document.getElementById(id);

// ---- Numbers as a navigator reads them.
function degreesMinutes(value, positive, negative, width) {
  const hemisphere = value < 0 ? negative : positive;
  const magnitude = Math.abs(value);
  let degrees = Math.floor(magnitude);
  let minutes = (magnitude - degrees) * 60;
  if (minutes >= 59.9995) { degrees += 1; minutes = 0; }
  return `${String(degrees).padStart(width, "0")}° ${minutes.toFixed(3).padStart(6, "0")}′ ${hemisphere}`;
}

// Whether two boxes [x, y, width, height] meet.
function overlaps(a, b) {
  return a[0] < b[0] + b[2] && b[0] < a[0] + a[2] && a[1] < b[1] + b[3] && b[1] < a[1] + a[3];
}

function niceStep(span) {
  const power = Math.pow(10, Math.floor(Math.log10(span)));
  for (const f of [1, 2, 5, 10]) {
    if (f * power >= span) return f * power;
  }
  return 10 * power;
}

// ---- The map: centred on the vessel, north up.
function drawMap() {
  const canvas = $("map");
  const g = canvas.getContext("2d");
  const w = canvas.width, h = canvas.height;
  g.fillStyle = "#dbe9f4";
  g.fillRect(0, 0, w, h);
  if (!state) return;
  const lat0 = state.lat, lon0 = state.lon;
  const cos0 = Math.max(Math.cos(lat0 * Math.PI / 180), 0.01);
  const toXY = (lat, lon) => {
    let dLon = lon - lon0;
    if (dLon > 180) dLon -= 360;
    if (dLon < -180) dLon += 360;
    return [w / 2 + dLon * cos0 * METRES_PER_DEGREE / metresPerPixel,
            h / 2 - (lat - lat0) * METRES_PER_DEGREE / metresPerPixel];
  };
  // Latitude and longitude grid, labelled.
  const spanLat = h * metresPerPixel / METRES_PER_DEGREE;
  const step = niceStep(spanLat / 5);
  g.strokeStyle = "#a9c3d6";
  g.fillStyle = "#46637a";
  g.font = "11px sans-serif";
  g.lineWidth = 1;
  // Latitudes are labelled down the left edge, longitudes along the top
  // (turned): neither in the other's band, so that no two labels meet.
  const labels = [];
  const TOP_BAND = 90, LEFT_BAND = 80, ZOOM_BAND = 60;  // ZOOM_BAND: under the zoom buttons
  for (let lat = Math.floor((lat0 - spanLat) / step) * step; lat <= lat0 + spanLat; lat += step) {
    const [, y] = toXY(lat, lon0);
    if (y < 0 || y > h) continue;
    g.beginPath(); g.moveTo(0, y); g.lineTo(w, y); g.stroke();
    if (y < TOP_BAND) continue;
    const text = degreesMinutes(lat, "N", "S", 2);
    g.fillText(text, 4, y - 3);
    labels.push([4, y - 14, g.measureText(text).width, 12]);
  }
  const spanLon = spanLat / cos0 * w / h;
  for (let lon = Math.floor((lon0 - spanLon) / step) * step; lon <= lon0 + spanLon; lon += step) {
    const [x] = toXY(lat0, lon);
    if (x < 0 || x > w) continue;
    g.beginPath(); g.moveTo(x, 0); g.lineTo(x, h); g.stroke();
    if (x < LEFT_BAND || x > w - ZOOM_BAND) continue;
    const text = degreesMinutes(lon, "E", "W", 3);
    g.save(); g.translate(x - 3, 6); g.rotate(Math.PI / 2);
    g.fillText(text, 0, 0); g.restore();
    labels.push([x - 14, 6, 12, g.measureText(text).width]);
  }
  canvas.dataset.labels = JSON.stringify(labels.map((b) => b.map(Math.round)));  // read by the layout check
  // The active route, then every waypoint.
  const byName = new Map(state.waypoints.map((p) => [p.name.toUpperCase(), p]));
  if (state.route) {
    g.strokeStyle = "#e76f51"; g.lineWidth = 2; g.setLineDash([8, 5]);
    g.beginPath();
    state.route.waypoints.forEach((name, i) => {
      const p = byName.get(name.toUpperCase());
      if (!p) return;
      const [x, y] = toXY(p.lat, p.lon);
      if (i === 0) g.moveTo(x, y); else g.lineTo(x, y);
    });
    g.stroke(); g.setLineDash([]);
  }
  for (const p of state.waypoints) {
    const [x, y] = toXY(p.lat, p.lon);
    const next = state.route && state.route.next && state.route.next.toUpperCase() === p.name.toUpperCase();
    g.fillStyle = next ? "#e76f51" : "#264653";
    g.beginPath(); g.arc(x, y, next ? 6 : 4, 0, 2 * Math.PI); g.fill();
    g.fillText(p.name, x + 8, y + 4);
  }
  // The other vessels, named while few are in sight; those heard on AIS are drawn as targets.
  if (world) {
    const heard = new Set(world.targets.map((t) => t.vessel));
    const others = world.vessels.filter((v) => v.name !== state.vessel && !heard.has(v.name))
      .map((v) => [v, ...toXY(v.lat, v.lon)]).filter(([, x, y]) => x >= -10 && x <= w + 10 && y >= -10 && y <= h + 10);
    for (const [v, x, y] of others) {
      g.save(); g.translate(x, y); g.rotate(v.course * Math.PI / 180);
      g.fillStyle = v.fix > 0 ? "#5c677d" : "#c1121f";
      g.beginPath(); g.moveTo(0, -8); g.lineTo(5, 6); g.lineTo(-5, 6); g.closePath(); g.fill();
      g.restore();
      if (others.length <= 40) {
        g.fillStyle = "#33415c"; g.fillText(v.name, x + 8, y + 4);
      }
    }
  }
  if (world) drawTargets(g, toXY, w, h);
  // The track sailed so far.
  g.strokeStyle = "#1d3557"; g.lineWidth = 2;
  g.beginPath();
  track.forEach(([lat, lon], i) => {
    const [x, y] = toXY(lat, lon);
    if (i === 0) g.moveTo(x, y); else g.lineTo(x, y);
  });
  g.stroke();
  // The vessel, pointing along its course.
  g.save(); g.translate(w / 2, h / 2); g.rotate(state.course * Math.PI / 180);
  g.fillStyle = state.fix > 0 ? "#2a9d8f" : "#c1121f";
  g.beginPath(); g.moveTo(0, -14); g.lineTo(8, 10); g.lineTo(0, 5); g.lineTo(-8, 10); g.closePath(); g.fill();
  g.restore();
  // Scale bar: a round distance about a fifth of the width, in nautical
  // miles; in metres below a kilometre when asked.
  const span = w / 5 * metresPerPixel;
  const inMetres = $("metres").checked && span < 1000;
  const metres = inMetres ? niceStep(span) : niceStep(span / 1852) * 1852;
  const length = metres / metresPerPixel;
  const left = w - 16 - length;
  g.fillStyle = "rgba(255, 255, 255, 0.8)";
  g.fillRect(left - 6, h - 44, length + 12, 32);
  g.strokeStyle = "#1d2630"; g.fillStyle = "#1d2630"; g.lineWidth = 3;
  g.beginPath(); g.moveTo(left, h - 20); g.lineTo(left + length, h - 20); g.stroke();
  const nm = metres / 1852;
  const label = inMetres ? `${metres} m` : `${nm.toFixed(Math.max(0, -Math.floor(Math.log10(nm) + 1e-9)))} nm`;
  g.fillText(label, left, h - 28);
}

// ---- AIS targets: a plotter's symbols, a course vector, a ring when the CPA alarm is on.
function alarmed(t) {
  const cpa = Number($("cpa-alarm").value), minutes = Number($("tcpa-alarm").value);
  return t.cpa < cpa && t.tcpa >= 0 && t.tcpa <= minutes * 60;
}

function targetLabel(t) {
  const name = t.name || String(t.mmsi);
  return SAFETY.has(t.kind) ? `${t.kind}${t.test ? " test" : ""} ${name}` : name;
}

function drawSymbol(g, t) {
  g.lineWidth = 2;
  if (SAFETY.has(t.kind)) {  // a circle with a cross, red
    g.strokeStyle = "#c1121f";
    g.beginPath(); g.arc(0, 0, 7, 0, 2 * Math.PI); g.stroke();
    g.beginPath(); g.moveTo(-5, -5); g.lineTo(5, 5); g.moveTo(5, -5); g.lineTo(-5, 5); g.stroke();
    return;
  }
  g.fillStyle = t.kind === "class B" ? "#80b918" : t.kind === "AtoN" ? "#6a4c93" : "#2b9348";
  g.strokeStyle = "#1b4332";
  g.beginPath();
  if (t.kind === "AtoN") {
    g.moveTo(0, -7); g.lineTo(7, 0); g.lineTo(0, 7); g.lineTo(-7, 0);
  } else if (t.kind === "base station") {
    g.rect(-6, -6, 12, 12);
  } else if (t.kind === "SAR aircraft") {
    g.rotate(t.course * Math.PI / 180);
    g.moveTo(0, -9); g.lineTo(2, -2); g.lineTo(9, 2); g.lineTo(2, 2); g.lineTo(1, 7); g.lineTo(-1, 7); g.lineTo(-2, 2);
    g.lineTo(-9, 2); g.lineTo(-2, -2);
  } else {
    const size = t.kind === "class B" ? 0.8 : 1;
    g.rotate(t.course * Math.PI / 180);
    g.moveTo(0, -10 * size); g.lineTo(6 * size, 7 * size); g.lineTo(-6 * size, 7 * size);
  }
  g.closePath(); g.fill(); g.stroke();
}

function drawTargets(g, toXY, w, h) {
  const inSight = world.targets.filter((t) => t.vessel !== state.vessel)
    .map((t) => [t, ...toXY(t.lat, t.lon)]).filter(([, x, y]) => x >= -10 && x <= w + 10 && y >= -10 && y <= h + 10);
  for (const [t, x, y] of inSight) {
    if (t.speed > 0 && t.kind !== "AtoN" && t.kind !== "base station") {
      const length = t.speed * VECTOR_HOURS * 1852 / metresPerPixel;
      const a = t.course * Math.PI / 180;
      g.strokeStyle = "#1b4332"; g.lineWidth = 1.5; g.setLineDash([4, 3]);
      g.beginPath(); g.moveTo(x, y); g.lineTo(x + length * Math.sin(a), y - length * Math.cos(a)); g.stroke();
      g.setLineDash([]);
    }
    g.save(); g.translate(x, y); drawSymbol(g, t); g.restore();
    const alarm = alarmed(t);
    if (alarm) {
      g.strokeStyle = "#c1121f"; g.lineWidth = 3;
      g.beginPath(); g.arc(x, y, 15, 0, 2 * Math.PI); g.stroke();
    }
    if (inSight.length <= 40 || alarm || SAFETY.has(t.kind)) {
      g.fillStyle = alarm || SAFETY.has(t.kind) ? "#c1121f" : "#1b4332";
      g.fillText(targetLabel(t), x + 12, y + 4);
    }
  }
}

function minutesSeconds(seconds) {
  const s = Math.round(seconds);
  return `${Math.floor(s / 60)}:${String(s % 60).padStart(2, "0")}`;
}

function showTargets() {
  const targets = world.targets.slice().sort((a, b) => a.range - b.range);
  $("targets-count").textContent = targets.length ? `(${targets.length})` : "";
  $("targets-none").hidden = targets.length > 0;
  $("targets").hidden = targets.length === 0;
  $("targets").tBodies[0].replaceChildren(...targets.map((t) => {
    const row = document.createElement("tr");
    row.dataset.mmsi = t.mmsi;
    row.className = [alarmed(t) ? "alarm" : "", SAFETY.has(t.kind) ? "safety" : ""].join(" ").trim();
    const cells = [`${t.name || t.mmsi} (${t.mmsi})`, SAFETY.has(t.kind) && t.test ? `${t.kind} test` : t.kind,
                   `${t.range.toFixed(2)} nm`, `${t.bearing.toFixed(0).padStart(3, "0")}°`, `${t.cpa.toFixed(2)} nm`,
                   t.tcpa < 0 ? "passed" : minutesSeconds(t.tcpa)];
    row.replaceChildren(...cells.map((text) => { const cell = document.createElement("td"); cell.textContent = text; return cell; }));
    return row;
  }));
}

// ---- The sky plot: north up, east right, rings at 0°, 30° and 60°.
function svg(name, attributes, text) {
  const element = document.createElementNS("http://www.w3.org/2000/svg", name);
  for (const [k, v] of Object.entries(attributes)) element.setAttribute(k, v);
  if (text !== undefined) element.textContent = text;
  return element;
}

function drawSky() {
  const sky = $("sky");
  sky.replaceChildren();
  const r = 100;
  for (const elevation of [0, 30, 60]) {
    const ring = r * (90 - elevation) / 90;
    sky.append(svg("circle", { cx: 0, cy: 0, r: ring, fill: elevation === 0 ? "#f8fbff" : "none", stroke: "#9ab" }));
    sky.append(svg("text", { x: 6, y: -ring - 2, "font-size": 8, fill: "#678" }, `${elevation}°`));
  }
  sky.append(svg("line", { x1: -r, y1: 0, x2: r, y2: 0, stroke: "#cdd" }));
  sky.append(svg("line", { x1: 0, y1: -r, x2: 0, y2: r, stroke: "#cdd" }));
  for (const [label, x, y] of [["N", 0, -r - 8], ["E", r + 9, 3], ["S", 0, r + 14], ["W", -r - 9, 3]]) {
    sky.append(svg("text", { x, y, "font-size": 11, "font-weight": "bold", "text-anchor": "middle", fill: "#334" }, label));
  }
  if (state) {
    const markers = [];
    for (const s of state.satellites) {
      const distance = r * (90 - s.elevation) / 90;
      const a = s.azimuth * Math.PI / 180;
      const x = distance * Math.sin(a), y = -distance * Math.cos(a);
      const colour = COLOURS[s.system] || "#555";
      sky.append(svg("circle", {
        cx: x.toFixed(1), cy: y.toFixed(1), r: 7,
        fill: s.used ? colour : "#fff", stroke: colour, "stroke-width": 2,
        "data-prn": s.prn, "data-used": s.used,
      }));
      markers.push({ x, y, s, colour });
    }
    // The numbers after every marker, none over another: the PRN on its
    // marker or, when that place is taken, beside it; the SNR under it or
    // wherever it meets no label already placed.
    // The rings' and the compass points' labels are there first.
    const placed = [[-6, -r - 18, 12, 12], [r + 3, -6, 12, 12], [-6, r + 3, 12, 12], [-r - 15, -6, 12, 12]];
    for (const elevation of [0, 30, 60]) placed.push([5, -r * (90 - elevation) / 90 - 10, 17, 10]);
    const free = (box) => placed.every((p) => !overlaps(p, box));
    // A label's box about its centre: digits of a font size are about half
    // as wide as it and, with their ascent and descent, 1.3 times as tall.
    const place = (m, offsets, text, size) => {
      const width = 0.6 * size * text.length + 1, height = 1.3 * size;
      const boxes = offsets.map(([dx, dy]) => [m.x + dx - width / 2, m.y + dy - height / 2, width, height]);
      const box = boxes.find(free) || boxes[0];
      placed.push(box);
      return [box[0] + width / 2, box[1] + height / 2];
    };
    // Places round a marker, nearest first: eight directions at each distance.
    const around = (...distances) => distances.flatMap((d) => [0, 1, 2, 3, 4, 5, 6, 7].map((k) =>
      [Math.round(d * Math.sin(k * Math.PI / 4)), Math.round(d * Math.cos(k * Math.PI / 4))]));
    const besidePrn = [[0, 0], ...around(14, 22, 30)], besideSnr = around(13, 21, 29, 37);
    for (const m of markers) {
      const prn = `${m.s.prn}`;
      const [px, py] = place(m, besidePrn, prn, 7);
      const onMarker = px === m.x && py === m.y;
      sky.append(svg("text", { x: px.toFixed(1), y: (py + 2.5).toFixed(1), "font-size": 7, "text-anchor": "middle",
                               fill: onMarker && m.s.used ? "#fff" : m.colour, class: "prn" }, prn));
      if (m.s.snr === null) continue;
      const snr = `${m.s.snr}`;
      const [sx, sy] = place(m, besideSnr, snr, 6);
      sky.append(svg("text", { x: sx.toFixed(1), y: (sy + 2).toFixed(1), "font-size": 6, "text-anchor": "middle",
                               fill: "#445", class: "snr" }, snr));
    }
  }
  // Legend: systems, and filled for used.
  Object.entries(COLOURS).forEach(([system, colour], i) => {
    const x = -125 + i * 64;
    sky.append(svg("circle", { cx: x + 5, cy: 134, r: 5, fill: colour }));
    sky.append(svg("text", { x: x + 13, y: 137, "font-size": 9, fill: "#334" }, system));
  });
  sky.append(svg("circle", { cx: -120, cy: 150, r: 5, fill: "#fff", stroke: "#555", "stroke-width": 2 }));
  sky.append(svg("text", { x: -112, y: 153, "font-size": 9, fill: "#334" }, "in view, not used · number under: SNR dB-Hz"));
}

// ---- The panel.
function showPanel() {
  $("time").textContent = state.time.replace("T", " ").replace("Z", "");
  $("position").textContent = `${degreesMinutes(state.lat, "N", "S", 2)}  ${degreesMinutes(state.lon, "E", "W", 3)}`;
  $("speed").textContent = `${state.speed.toFixed(1)} kn`;
  $("course").textContent = `${state.course.toFixed(1)}°`;
  $("fix").textContent = state.fix > 0 ? `quality ${state.fix}` : "no fix";
  $("dop").textContent = `${state.pdop.toFixed(2)} / ${state.hdop.toFixed(2)} / ${state.vdop.toFixed(2)}`;
  const used = state.satellites.filter((s) => s.used).length;
  $("used").textContent = `${used} of ${state.satellites.length} in view`;
  $("route").textContent = state.route
    ? `${state.route.name}${state.route.next ? ` → ${state.route.next} ${state.route.distance.toFixed(2)} nm` : ""}`
    : "none";
  $("pause").textContent = state.paused ? "Resume" : "Pause";
  $("outage").textContent = state.outage ? "Regain fix" : "Lose fix";
  fillSelect($("goto"), state.waypoints.map((w) => w.name));
  fillSelect($("route-select"), state.routes);
}

function fillSelect(select, names) {
  const now = Array.from(select.options).map((o) => o.value);
  if (now.length === names.length && now.every((n, i) => n === names[i])) return;
  select.replaceChildren(...names.map((n) => { const o = document.createElement("option"); o.value = n; o.textContent = n; return o; }));
}

// ---- The vessels to follow, and the scenario's events with the next marked.
function showWorld(next) {
  world = next;
  const names = world.vessels.map((v) => v.name);
  fillSelect($("vessel"), names);
  $("vessel").value = followed ?? names[0] ?? "";
  $("vessel-row").hidden = names.length < 2;
  $("fleet").textContent = names.length === 1 ? "1 vessel" : `${names.length} vessels`;
  // The list is made once; then only its marks change, so that it keeps its scroll.
  const list = $("events");
  if (list.children.length !== world.events.length) {
    list.replaceChildren(...world.events.map((e) => {
      const item = document.createElement("li");
      item.textContent = `${e.at.toFixed(e.at % 1 ? 1 : 0)} s · ${e.vessel} · ${e.action}`;
      return item;
    }));
  }
  Array.from(list.children).forEach((item, i) => {
    item.className = world.next === null || i < world.next ? "done" : i === world.next ? "next" : "";
    if (i === world.next) item.setAttribute("aria-current", "step"); else item.removeAttribute("aria-current");
  });
  $("events-none").hidden = world.events.length > 0;
  const current = list.querySelector(".next");
  if (current) current.scrollIntoView({ block: "nearest" });
  showTargets();
  if (state) drawMap();
}

function show(next) {
  state = next;
  const last = track[track.length - 1];
  if (!last || last[0] !== state.lat || last[1] !== state.lon) {
    track.push([state.lat, state.lon]);
    if (track.length > MAX_TRACK) track.shift();
  }
  showPanel();
  drawMap();
  drawSky();
}

// ---- Live updates; the browser reconnects by itself when the server is back.
function connect() {
  if (events) events.close();
  events = new EventSource(followed ? `/events?vessel=${encodeURIComponent(followed)}` : "/events");
  events.onopen = () => { $("status").textContent = "live"; $("status").className = "status live"; };
  events.onerror = () => { $("status").textContent = "server gone – reconnecting…"; $("status").className = "status gone"; };
  events.onmessage = (e) => show(JSON.parse(e.data));
  events.addEventListener("world", (e) => showWorld(JSON.parse(e.data)));
  events.addEventListener("nmea", (e) => {
    lines = e.data.split("\n").filter((l) => l.length > 0);
    showLog();
  });
}

// ---- The last update, whole or one kind of it.
// A sentence's kind: "RMC" of "$GNRMC,…", "PGRME" of "$PGRME,…", "VDM" of "!AIVDM,…".
function kindOf(line) {
  const address = line.slice(1, line.indexOf(",") < 0 ? line.length : line.indexOf(","));
  return address.startsWith("P") ? address : address.slice(2);
}

function showLog() {
  const select = $("log-kind");
  const kinds = [...new Set(lines.filter((l) => /^[$!]/.test(l)).map(kindOf))];
  const offered = [...select.options].map((o) => o.value).slice(1);
  for (const kind of kinds) {
    if (!offered.includes(kind)) select.append(new Option(kind, kind));
  }
  const kind = select.value;
  $("nmea").textContent = lines.filter((l) => !kind || kindOf(l) === kind).join("\n");
}

// ---- Controls.
async function control(request) {
  $("message").textContent = "";
  if (followed) request.vessel = followed;
  try {
    const response = await fetch("/control", {
      method: "POST", headers: { "Content-Type": "application/json" }, body: JSON.stringify(request),
    });
    if (!response.ok) {
      const body = await response.json().catch(() => ({ error: response.statusText }));
      $("message").textContent = body.error;
    }
  } catch (error) {
    $("message").textContent = "the server is gone";
  }
}

function wire() {
  // What is typed goes as typed: the server checks it and says what is wrong.
  const typed = (id) => {
    const text = $(id).value.trim();
    return text !== "" && Number.isFinite(Number(text)) ? Number(text) : text;
  };
  $("course-set").onclick = () => control({ course: typed("course-input") });
  $("speed-set").onclick = () => control({ speed: typed("speed-input") });
  $("log-kind").onchange = showLog;
  $("metres").onchange = () => drawMap();
  document.querySelectorAll("[data-course]").forEach((b) => {
    b.onclick = () => state && control({ course: (((state.course + Number(b.dataset.course)) % 360) + 360) % 360 });
  });
  document.querySelectorAll("[data-speed]").forEach((b) => {
    b.onclick = () => state && control({ speed: Math.max(0, state.speed + Number(b.dataset.speed)) });
  });
  $("speedup").onchange = () => control({ speedup: Number($("speedup").value) });
  $("pause").onclick = () => state && control({ pause: !state.paused });
  $("outage").onclick = () => state && control({ outage: !state.outage });
  $("goto-set").onclick = () => $("goto").value && control({ goto: $("goto").value });
  $("route-set").onclick = () => $("route-select").value && control({ route: $("route-select").value });
  $("vessel").onchange = () => {
    followed = $("vessel").value === (world && world.vessels[0] ? world.vessels[0].name : "") ? null : $("vessel").value;
    state = null;
    track.length = 0;
    lines = [];
    $("nmea").textContent = "";
    connect();
  };
  for (const limit of ["cpa-alarm", "tcpa-alarm"]) {
    $(limit).oninput = () => { if (world) { showTargets(); if (state) drawMap(); } };
  }
  $("zoom-in").onclick = () => { metresPerPixel = Math.max(0.25, metresPerPixel / 2); drawMap(); };
  $("zoom-out").onclick = () => { metresPerPixel = Math.min(20000, metresPerPixel * 2); drawMap(); };
}

wire();
drawMap();
drawSky();
connect();
