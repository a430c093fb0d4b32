// The page of `tolmaren view`: draws what the tool's server sends over one
// WebSocket (frames of AP bins, activity and LFP columns; health reports),
// and sends back what to show, what it drew and the recording requests.
// Frame layout: tools/view/FrameWriter.h.
"use strict";

(() => {
  const FRAME_MAGIC = 0x31465654;
  const KIND_TRACES = 1;
  const KIND_ACTIVITY = 2;
  const KIND_LFP = 3;
  const LFP_COLUMNS = 400; // 4 s at 100 columns a second
  const NAME_PATTERN = /^[A-Za-z0-9_-][A-Za-z0-9._-]{0,99}$/;

  const $ = (id) => document.getElementById(id);
  const query = new URLSearchParams(location.search);
  const token = query.get("token");

  const view = {
    socket: null,
    hello: null,
    electrodeOf: [], // per channel, null for none
    lfpRows: [], // channels along the shank, tip first
    electrodeCount: 384,
    settings: null, // {channels, seconds, binSamples, highPass, commonAverage}
    traces: null, // the ring of bins drawn
    activity: null,
    lfp: { columns: [], positions: [] },
    paused: false,
    drawScheduled: false,
    toAcknowledge: 0,
    framesDrawn: 0,
    health: null,
  };
  window.tolmarenView = view; // for a look from the browser's console

  // --- connection --------------------------------------------------------

  function connect() {
    const query = token ? "?token=" + encodeURIComponent(token) : "";
    const socket = new WebSocket("ws://" + location.host + "/ws" + query);
    socket.binaryType = "arraybuffer";
    socket.onopen = () => {
      showConnection("connected", true);
      sendSettings();
    };
    socket.onmessage = (event) => {
      if (typeof event.data === "string") onText(JSON.parse(event.data));
      else onFrame(event.data);
    };
    socket.onclose = () => {
      showConnection("disconnected: retrying", false);
      view.socket = null;
      setTimeout(connect, 1000);
    };
    view.socket = socket;
  }

  function send(message) {
    if (view.socket && view.socket.readyState === WebSocket.OPEN)
      view.socket.send(JSON.stringify(message));
  }

  function showConnection(text, good) {
    const element = $("connection");
    element.textContent = text;
    element.className = good ? "good" : "bad";
  }

  function onText(message) {
    if (message.type === "hello") onHello(message);
    else if (message.type === "health") onHealth(message);
  }

  // --- what to show ------------------------------------------------------

  // "0-15,100,200-203" to a list of channels; a string when it is not one.
  function parseChannels(text) {
    const channels = [];
    for (const part of text.split(",")) {
      const range = part.trim().match(/^(\d+)(?:\s*-\s*(\d+))?$/);
      if (!range) return "not a list of channels: " + part;
      const first = Number(range[1]);
      const last = range[2] === undefined ? first : Number(range[2]);
      if (last < first || last > 383) return "channels run from 0 to 383";
      for (let c = first; c <= last; c++) if (!channels.includes(c)) channels.push(c);
    }
    const most = view.hello ? view.hello.max_channels : 32;
    if (channels.length === 0 || channels.length > most)
      return "choose 1 to " + most + " channels";
    return channels;
  }

  function sendSettings() {
    const channels = parseChannels($("channels").value);
    $("channels-problem").textContent = typeof channels === "string" ? channels : "";
    if (typeof channels === "string") return;
    const seconds = Number($("window").value);
    const rate = view.hello ? view.hello.ap_sample_rate_hz : 30000;
    const bins = view.hello ? view.hello.bins_per_window : 600;
    view.settings = {
      channels,
      seconds,
      binSamples: Math.max(1, Math.round((seconds * rate) / bins)),
      highPass: $("high-pass").checked,
      commonAverage: $("common-average").checked,
    };
    view.traces = newTraceRing(channels.length, bins);
    send({
      type: "settings",
      channels,
      window_seconds: seconds,
      high_pass: view.settings.highPass,
      common_average: view.settings.commonAverage,
    });
  }

  function newTraceRing(channels, bins) {
    return {
      bins,
      min: new Float32Array(channels * bins),
      max: new Float32Array(channels * bins),
      stamp: new Float64Array(bins).fill(-1), // the bin each slot holds
      newest: -1,
    };
  }

  // --- frames ------------------------------------------------------------

  function onFrame(buffer) {
    const data = new DataView(buffer);
    if (buffer.byteLength < 16 || data.getUint32(0, true) !== FRAME_MAGIC) return;
    const sequence = data.getUint32(4, true);
    for (let offset = 16; offset + 8 <= buffer.byteLength; ) {
      const kind = data.getUint32(offset, true);
      const length = data.getUint32(offset + 4, true);
      const body = offset + 8;
      if (kind === KIND_TRACES) readTraces(buffer, data, body);
      else if (kind === KIND_ACTIVITY) readActivity(buffer, data, body);
      else if (kind === KIND_LFP) readLfp(buffer, data, body);
      offset = body + length;
    }
    view.toAcknowledge = sequence;
    scheduleDraw();
  }

  function readTraces(buffer, data, body) {
    const count = data.getUint32(body, true);
    const bins = data.getUint32(body + 4, true);
    const binSamples = data.getUint32(body + 8, true);
    const flags = data.getUint32(body + 12, true);
    const first = data.getFloat64(body + 16, true);
    const ids = new Uint16Array(buffer, body + 24, count);
    const values = new Float32Array(buffer, body + 24 + Math.ceil(count / 2) * 4, bins * count * 2);
    const settings = view.settings;
    // Bins made before the page's latest choice are not drawn.
    if (!settings || view.paused || binSamples !== settings.binSamples ||
        flags !== (settings.highPass ? 1 : 0) + (settings.commonAverage ? 2 : 0) ||
        count !== settings.channels.length || ids.some((id, k) => id !== settings.channels[k]))
      return;
    const ring = view.traces;
    const firstBin = Math.floor(first / binSamples);
    const lastBin = firstBin + bins - 1;
    // The stream started again (a new segment): start afresh.
    if (lastBin < ring.newest - ring.bins) {
      ring.stamp.fill(-1);
      ring.newest = -1;
    }
    for (let i = 0; i < bins; i++) {
      const bin = firstBin + i;
      const slot = bin % ring.bins;
      ring.stamp[slot] = bin;
      for (let k = 0; k < count; k++) {
        ring.min[k * ring.bins + slot] = values[(i * count + k) * 2];
        ring.max[k * ring.bins + slot] = values[(i * count + k) * 2 + 1];
      }
    }
    ring.newest = Math.max(ring.newest, lastBin);
  }

  function readActivity(buffer, data, body) {
    const count = data.getUint32(body, true);
    view.activity = {
      rms: new Float32Array(buffer.slice(body + 8, body + 8 + count * 4)),
      rate: new Float32Array(buffer.slice(body + 8 + count * 4, body + 8 + count * 8)),
    };
  }

  function readLfp(buffer, data, body) {
    const channels = data.getUint32(body, true);
    const columns = data.getUint32(body + 4, true);
    const valuesAt = body + 8 + columns * 8;
    if (view.paused) return;
    const lfp = view.lfp;
    for (let i = 0; i < columns; i++) {
      const position = data.getFloat64(body + 8 + i * 8, true);
      const start = valuesAt + i * channels * 4;
      if (lfp.positions.length && position < lfp.positions[lfp.positions.length - 1]) {
        lfp.columns = [];
        lfp.positions = [];
      }
      lfp.columns.push(new Float32Array(buffer.slice(start, start + channels * 4)));
      lfp.positions.push(position);
    }
    if (lfp.columns.length > LFP_COLUMNS) {
      lfp.columns.splice(0, lfp.columns.length - LFP_COLUMNS);
      lfp.positions.splice(0, lfp.positions.length - LFP_COLUMNS);
    }
  }

  // --- drawing -----------------------------------------------------------

  function scheduleDraw() {
    if (view.drawScheduled) return;
    view.drawScheduled = true;
    requestAnimationFrame(() => {
      view.drawScheduled = false;
      drawTraces();
      drawActivity();
      drawLfp();
      // The server sends the next frames once this one is on the screen.
      if (view.toAcknowledge) send({ type: "drawn", frame: view.toAcknowledge });
      view.toAcknowledge = 0;
      view.framesDrawn++;
    });
  }

  // A canvas sized to its box in device pixels, and its context in CSS pixels.
  function prepare(canvas) {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
    const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    const context = canvas.getContext("2d");
    context.setTransform(ratio, 0, 0, ratio, 0, 0);
    context.clearRect(0, 0, canvas.clientWidth, canvas.clientHeight);
    return { context, width: canvas.clientWidth, height: canvas.clientHeight };
  }

  // 1, 2 or 5 times a power of ten, near span / 5.
  function niceStep(span) {
    const rough = span / 5;
    const power = Math.pow(10, Math.floor(Math.log10(rough)));
    for (const factor of [1, 2, 5, 10]) if (factor * power >= rough) return factor * power;
    return 10 * power;
  }

  function drawTraces() {
    const { context, width, height } = prepare($("traces"));
    const settings = view.settings;
    const ring = view.traces;
    if (!settings || !ring) return;
    const left = 44, right = 70, top = 6, bottom = 22;
    const plotWidth = width - left - right;
    const plotHeight = height - top - bottom;
    const count = settings.channels.length;
    const row = plotHeight / count;
    const spacing = Number($("spacing").value);
    const scale = row / spacing; // pixels per microvolt
    const columnWidth = plotWidth / ring.bins;
    // A trace may reach into its neighbours' rows, not across the plot.
    const clamp = (v) => Math.max(-row * 1.5, Math.min(row * 1.5, v * scale));

    context.font = "11px DejaVu Sans, sans-serif";
    context.fillStyle = "#8a909a";
    context.textAlign = "right";
    context.textBaseline = "middle";
    context.lineWidth = 1;
    for (let k = 0; k < count; k++) {
      const middle = top + row * (k + 0.5);
      if (row >= 9 || k % Math.ceil(9 / row) === 0)
        context.fillText(String(settings.channels[k]), left - 6, middle);
      context.strokeStyle = "#7fd4c1";
      context.beginPath();
      for (let x = 0; x < ring.bins; x++) {
        const bin = ring.newest - ring.bins + 1 + x;
        const slot = ((bin % ring.bins) + ring.bins) % ring.bins;
        if (bin < 0 || ring.stamp[slot] !== bin) continue;
        const high = middle - clamp(ring.max[k * ring.bins + slot]);
        const low = middle - clamp(ring.min[k * ring.bins + slot]);
        const px = left + (x + 0.5) * columnWidth;
        context.moveTo(px, high);
        context.lineTo(px, Math.max(low, high + 1));
        // Joins the next column so that a slow trace stays one line.
        const next = ring.stamp[(slot + 1) % ring.bins] === bin + 1 ? (slot + 1) % ring.bins : -1;
        if (x + 1 < ring.bins && next >= 0) {
          const nextHigh = middle - clamp(ring.max[k * ring.bins + next]);
          const nextLow = middle - clamp(ring.min[k * ring.bins + next]);
          context.lineTo(px + columnWidth, Math.min(Math.max(low, nextHigh), nextLow));
        }
      }
      context.stroke();
    }

    // The time axis: seconds of the stream.
    const secondsPerBin = settings.binSamples / (view.hello ? view.hello.ap_sample_rate_hz : 30000);
    const end = (ring.newest + 1) * secondsPerBin;
    const start = end - ring.bins * secondsPerBin;
    const step = niceStep(end - start);
    context.strokeStyle = "#3a3f48";
    context.fillStyle = "#8a909a";
    context.textAlign = "center";
    context.textBaseline = "top";
    context.beginPath();
    context.moveTo(left, top + plotHeight);
    context.lineTo(left + plotWidth, top + plotHeight);
    const digits = step < 0.1 ? 2 : step < 1 ? 1 : 0;
    for (let t = Math.ceil(start / step) * step; t <= end && ring.newest >= 0; t += step) {
      const x = left + ((t - start) / (end - start)) * plotWidth;
      context.moveTo(x, top + plotHeight);
      context.lineTo(x, top + plotHeight + 4);
      context.fillText(t.toFixed(digits) + " s", x, top + plotHeight + 6);
    }
    context.stroke();

    // The scale bar: one trace spacing.
    const barX = left + plotWidth + 16;
    context.strokeStyle = "#d8dbe0";
    context.lineWidth = 2;
    context.beginPath();
    context.moveTo(barX, top + 4);
    context.lineTo(barX, top + 4 + row);
    context.stroke();
    context.fillStyle = "#d8dbe0";
    context.textAlign = "left";
    context.textBaseline = "middle";
    context.fillText(spacing >= 1000 ? spacing / 1000 + " mV" : spacing + " µV", barX + 6, top + 4 + row / 2);
    if (view.paused) {
      context.fillStyle = "#ff8a7a";
      context.textBaseline = "top";
      context.fillText("paused", barX - 8, top + plotHeight - 16);
    }
  }

  // Blue through grey to red for -1 to 1, as 256 RGB entries.
  const DIVERGING = (() => {
    const table = new Uint8Array(256 * 3);
    const mix = (a, b, t) => Math.round(a + (b - a) * t);
    for (let i = 0; i < 256; i++) {
      const v = (i / 255) * 2 - 1;
      const rgb = v < 0
        ? [mix(60, 59, -v), mix(62, 76, -v), mix(70, 192, -v)]
        : [mix(60, 220, v), mix(62, 60, v), mix(70, 40, v)];
      table.set(rgb, i * 3);
    }
    return table;
  })();

  // Dark to bright for 0 to 1.
  function sequential(value) {
    const v = Math.max(0, Math.min(1, value));
    return [Math.round(30 + 225 * v), Math.round(40 + 170 * v * v), Math.round(80 + 60 * v - 100 * v * v)];
  }

  function drawActivity() {
    const { context, width, height } = prepare($("activity"));
    if (!view.activity || !view.hello) return;
    const rate = $("activity-mode").value === "rate";
    const values = rate ? view.activity.rate : view.activity.rms;
    let largest = 0;
    view.electrodeOf.forEach((e, c) => { if (e !== null) largest = Math.max(largest, values[c]); });
    const top = 6, bottom = 18, shankLeft = 4, shankWidth = width - 60;
    const plotHeight = height - top - bottom;
    const step = plotHeight / view.electrodeCount;
    context.fillStyle = "#2a2e36";
    context.fillRect(shankLeft, top, shankWidth, plotHeight);
    view.electrodeOf.forEach((electrode, channel) => {
      if (electrode === null) return;
      const share = largest > 0 ? values[channel] / largest : 0;
      const [r, g, b] = sequential(share);
      context.fillStyle = `rgb(${r},${g},${b})`;
      const y = top + plotHeight - (electrode + 1) * step;
      context.fillRect(shankLeft, y, Math.max(1, share * shankWidth), Math.max(1, step));
    });
    context.fillStyle = "#8a909a";
    context.font = "11px DejaVu Sans, sans-serif";
    context.textAlign = "left";
    context.textBaseline = "middle";
    context.fillText(view.electrodeCount - 1, shankLeft + shankWidth + 4, top + 4);
    context.fillText("tip 0", shankLeft + shankWidth + 4, top + plotHeight - 4);
    context.textBaseline = "top";
    context.fillText("max " + largest.toFixed(rate ? 1 : 0) + (rate ? " /s" : " µV"), shankLeft, top + plotHeight + 3);
  }

  function drawLfp() {
    const { context, width, height } = prepare($("lfp"));
    const lfp = view.lfp;
    const rows = view.lfpRows;
    if (!lfp.columns.length || !rows.length) return;
    if (!view.lfpImage || view.lfpImage.height !== rows.length) {
      view.lfpImage = new ImageData(LFP_COLUMNS, rows.length);
      view.lfpPicture = new OffscreenCanvas(LFP_COLUMNS, rows.length);
    }
    const pixels = view.lfpImage.data;
    pixels.fill(0);
    const toIndex = 127.5 / Number($("lfp-range").value);
    const offset = LFP_COLUMNS - lfp.columns.length;
    for (let x = 0; x < lfp.columns.length; x++) {
      const column = lfp.columns[x];
      for (let y = 0; y < rows.length; y++) {
        const index = Math.max(0, Math.min(255, Math.round(127.5 + column[rows[y]] * toIndex))) * 3;
        const at = ((rows.length - 1 - y) * LFP_COLUMNS + offset + x) * 4;
        pixels[at] = DIVERGING[index];
        pixels[at + 1] = DIVERGING[index + 1];
        pixels[at + 2] = DIVERGING[index + 2];
        pixels[at + 3] = 255;
      }
    }
    const left = 4, bottom = 18;
    view.lfpPicture.getContext("2d").putImageData(view.lfpImage, 0, 0);
    context.imageSmoothingEnabled = false;
    context.drawImage(view.lfpPicture, left, 0, width - left - 4, height - bottom);
    const newest = lfp.positions[lfp.positions.length - 1] / view.hello.ap_sample_rate_hz;
    context.fillStyle = "#8a909a";
    context.font = "11px DejaVu Sans, sans-serif";
    context.textBaseline = "top";
    context.textAlign = "right";
    context.fillText(newest.toFixed(1) + " s", width - 4, height - bottom + 3);
    context.textAlign = "left";
    context.fillText("shank tip at the bottom, " + LFP_COLUMNS / 100 + " s across", left, height - bottom + 3);
  }

  // --- health, settings, recording ---------------------------------------

  function onHealth(health) {
    view.health = health;
    const text = (id, value) => ($(id).textContent = value);
    text("health-packets", String(health.packets));
    text("health-rate", health.packets_per_second.toFixed(0));
    text("health-fifo", health.fifo_filling_percent.toFixed(1) + " %");
    text("health-temperature",
      health.temperature_celsius === null ? "–" : health.temperature_celsius.toFixed(1) + " °C");
    text("health-rejected", String(health.blocks_rejected));
    text("health-gaps", String(health.gaps));
    text("health-lost", String(health.blocks_lost));
    text("health-stalls", String(health.stalls));
    text("health-skipped", String(health.view_packets_skipped));
    text("health-problem", health.stream_problem);
    const recording = health.recording;
    text("record-state", recording.active
      ? "recording to " + recording.file + ": " + (recording.packets / 2500).toFixed(1) + " s"
      : recording.message);
    $("record-start").disabled = recording.active;
    $("record-stop").disabled = !recording.active;
    if (!recording.active && !$("record-name").value) $("record-name").value = defaultName();
    if (!view.drawScheduled && !view.paused) scheduleDraw();
  }

  function onHello(hello) {
    view.hello = hello;
    const settings = hello.settings;
    const channels = settings.settings.channels;
    view.electrodeOf = channels.electrode;
    // The LFP's rows: the channels that record an electrode, along the shank.
    view.lfpRows = channels.electrode
      .map((electrode, channel) => ({ electrode, channel }))
      .filter((entry) => entry.electrode !== null)
      .sort((a, b) => a.electrode - b.electrode)
      .map((entry) => entry.channel);
    view.electrodeCount = [384, 384, 960, 966][settings.probe.type] || 384;
    $("probe").textContent = "probe type " + settings.probe.type + ", serial " +
      settings.probe.serial_number + " at " + (settings.basestation.address || "?");
    const summary = [
      ["Probe type", settings.probe.type],
      ["Serial number", settings.probe.serial_number],
      ["Basestation", settings.basestation.address || "–"],
      ["API version", settings.versions.api],
      ["FPGA version", settings.versions.fpga],
      ["High-pass filter", settings.settings.high_pass_filter],
      ["AP rate", settings.stream.ap_sample_rate_hz + " Hz"],
      ["LFP rate", settings.stream.lfp_sample_rate_hz + " Hz"],
      ["Volts per code", settings.stream.volts_per_code.toPrecision(6)],
    ];
    fillTable($("settings-summary"), null, summary);
    const rows = channels.bank.map((bank, c) => [c, bank === null ? "–" : bank,
      channels.electrode[c] === null ? "–" : channels.electrode[c], channels.ap_gain[c],
      channels.lfp_gain[c], channels.reference[c], channels.standby[c] ? "yes" : ""]);
    fillTable($("settings-channels"),
      ["channel", "bank", "electrode", "AP gain", "LFP gain", "ref", "standby"], rows);
    sendSettings();
  }

  function fillTable(table, heading, rows) {
    table.replaceChildren();
    if (heading) {
      const line = table.insertRow();
      for (const name of heading) {
        const cell = document.createElement("th");
        cell.textContent = name;
        line.appendChild(cell);
      }
    }
    for (const values of rows) {
      const line = table.insertRow();
      values.forEach((value, i) => {
        const cell = document.createElement(i === 0 && !heading ? "th" : "td");
        cell.textContent = String(value);
        line.appendChild(cell);
      });
    }
  }

  function defaultName() {
    const now = new Date();
    const two = (n) => String(n).padStart(2, "0");
    return "view-" + now.getFullYear() + two(now.getMonth() + 1) + two(now.getDate()) + "-" +
      two(now.getHours()) + two(now.getMinutes()) + two(now.getSeconds()) + ".bin";
  }

  // --- controls ----------------------------------------------------------

  function showChannelsAt(event) {
    const canvas = $("activity");
    const box = canvas.getBoundingClientRect();
    const top = 6, bottom = 18;
    const share = 1 - (event.clientY - box.top - top) / (box.height - top - bottom);
    const electrode = Math.floor(share * view.electrodeCount);
    let nearest = -1;
    view.electrodeOf.forEach((e, c) => {
      if (e !== null && (nearest < 0 || Math.abs(e - electrode) < Math.abs(view.electrodeOf[nearest] - electrode)))
        nearest = c;
    });
    if (nearest < 0) return;
    const count = view.settings ? view.settings.channels.length : 16;
    const first = Math.max(0, Math.min(384 - count, nearest - Math.floor(count / 2)));
    $("channels").value = first + "-" + (first + count - 1);
    sendSettings();
  }

  function startRecording() {
    const name = $("record-name").value.trim();
    if (!NAME_PATTERN.test(name)) {
      $("record-state").textContent =
        "a name of letters, digits, '.', '_' and '-', not starting with '.'";
      return;
    }
    send({ type: "record_start", name });
  }

  function stopRecording() {
    send({ type: "record_stop" });
    $("record-name").value = "";
  }

  function togglePause() {
    view.paused = !view.paused;
    $("pause").textContent = view.paused ? "Resume" : "Pause";
    scheduleDraw();
  }

  for (const id of ["window", "high-pass", "common-average"]) $(id).addEventListener("change", sendSettings);
  $("channels").addEventListener("change", sendSettings);
  for (const id of ["spacing", "activity-mode", "lfp-range"]) $(id).addEventListener("change", scheduleDraw);
  $("activity").addEventListener("click", showChannelsAt);
  $("pause").addEventListener("click", togglePause);
  $("record-start").addEventListener("click", startRecording);
  $("record-stop").addEventListener("click", stopRecording);
  window.addEventListener("resize", scheduleDraw);
  // The address may preset the controls: ?channels=0-31&window=0.5&high_pass=1&common_average=1
  if (query.has("channels")) $("channels").value = query.get("channels");
  for (const id of ["window", "spacing"])
    if ([...$(id).options].some((option) => option.value === query.get(id))) $(id).value = query.get(id);
  for (const id of ["high_pass", "common_average"])
    if (query.has(id)) $(id.replace("_", "-")).checked = query.get(id) === "1";
  $("record-name").value = defaultName();
  connect();
})();
