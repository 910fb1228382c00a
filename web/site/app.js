// The page: reads the text and the options, hands them to the worker, and
// shows the result with every converted word marked and explained.
"use strict";

// The options' menus, each named as the command's option and offering its
// words, the default first: {hyphens: ["join", "keep"], ...}. The library
// says which words it knows once the worker is ready (libraryChoices).
const OPTIONS = Object.fromEntries([...document.querySelectorAll(".options select")].map(
    (menu) => [menu.id, [...menu.options].map((option) => option.value)]));
let libraryChoices = null;
// The report's decisions, as kesti.h numbers them.
const WORD_TABLE = 0, SYLLABLES = 1, ESTABLISHED = 5;
const REPORT_HEADER = "file\tline\tcolumn\toriginal\tresult\tdecision\tambiguous\talternatives\n";
const DEBOUNCE_MS = 250;

const $ = (id) => document.getElementById(id);
const input = $("input"), output = $("output"), status = $("status"), tip = $("tip");
const worker = new Worker("worker.js");

let nextId = 0;
let pending = 0;       // the request whose answer is awaited
let result = null;     // {text, records, milliseconds} of the text shown
let sourceName = "";   // the file the text came from, for the download's name
let fileName = "";     // its whole name, for the report's file column
// The file opened, its bytes (decoded again when its encoding is changed)
// and its text as they decode: the text area shows it, but would turn its
// CR LF and CR line breaks into LF. Dropped at the first edit.
let fileBytes = null;
let fileText = null;
let timer = 0;
let requestedAt = 0;   // when the awaited request was sent
let workerFetched = [];  // [url, bytes] of what the worker loaded

// --- Options, kept in the URL so that a setting can be shared -------------

function readOptionsFromUrl() {
  const params = new URLSearchParams(location.search);
  for (const [name, values] of Object.entries(OPTIONS)) {
    const value = params.get(name);
    if (values.includes(value)) $(name).value = value;
  }
  $("show-left").checked = params.get("show") === "left";
  document.body.classList.toggle("show-left", $("show-left").checked);
}

function options() {
  const chosen = {};
  for (const name of Object.keys(OPTIONS)) chosen[name] = $(name).value;
  return chosen;
}

function writeOptionsToUrl() {
  const params = new URLSearchParams();
  for (const [name, values] of Object.entries(OPTIONS)) {
    if ($(name).value !== values[0]) params.set(name, $(name).value);
  }
  if ($("show-left").checked) params.set("show", "left");
  const query = params.toString();
  history.replaceState(null, "", query ? "?" + query : location.pathname);
}

// --- Converting -------------------------------------------------------------

function setStatus(message, isError = false) {
  status.textContent = message;
  status.classList.toggle("error", isError);
}

function convertNow() {
  clearTimeout(timer);
  pending = ++nextId;
  requestedAt = performance.now();
  document.body.dataset.state = "converting";
  const bytes = new TextEncoder().encode(source());
  worker.postMessage({id: pending, bytes: bytes.buffer, options: options(), file: fileText !== null ? fileName : "-"},
                     [bytes.buffer]);
}

function source() {
  return fileText !== null ? fileText : input.value;
}

function convertSoon() {
  clearTimeout(timer);
  timer = setTimeout(convertNow, DEBOUNCE_MS);
}

worker.onmessage = (event) => {
  const message = event.data;
  if (message.type === "ready") {
    workerFetched = message.fetched;
    libraryChoices = Object.fromEntries(Object.entries(message.choices).map(([name, words]) => [name, Object.keys(words)]));
    if (JSON.stringify(libraryChoices) !== JSON.stringify(OPTIONS)) {
      document.body.dataset.state = "error";
      setStatus("This page's options do not match its library's: reload it.", true);
      return;
    }
    if (document.body.dataset.state === "loading") document.body.dataset.state = "ready";
    if (input.value) convertNow();
    return;
  }
  if (message.id !== pending) return;  // an answer to text since replaced
  if (message.type === "progress") {
    setStatus(`Converting… ${Math.round(100 * message.done)}%`);
  } else if (message.type === "error") {
    document.body.dataset.state = "error";
    setStatus(`The converter failed: ${message.message}`, true);
  } else if (message.type === "result") {
    const roundTrip = performance.now() - requestedAt;
    const decoder = new TextDecoder();
    const report = decoder.decode(message.report);
    // Times for the speed measurement: the worker's conversion, the round
    // trip as the page sees it, and the rendering of the marked result.
    result = {source: source(), text: decoder.decode(message.text), report,
              records: parseReport(report, message.decisions), milliseconds: message.milliseconds,
              roundTrip, converters: message.converters};
    const renderStarted = performance.now();
    render(message.id).then((finished) => {
      if (!finished) return;
      result.renderMilliseconds = performance.now() - renderStarted;
      const converted = result.records.filter(isConverted).length;
      setStatus(`${converted} ${converted === 1 ? "word" : "words"} converted, ` +
                `${result.records.length - converted} left as they were.`);
      document.body.dataset.state = "done";
      document.body.dataset.result = String(message.id);
    });
  }
};
worker.onerror = (event) => {
  document.body.dataset.state = "error";
  setStatus(`The converter could not start: ${event.message || "unknown error"}`, true);
};

// The records of the report's lines, each [line, column, original, result,
// decision, reason, ambiguous, alternatives], fields unescaped.
function parseReport(report, decisions) {
  const unescape = (field) => field.replace(/\\[\\tnr]/g, (e) => ({"\\\\": "\\", "\\t": "\t", "\\n": "\n", "\\r": "\r"})[e]);
  const records = [];
  let at = 0;
  for (let i = 0; at < report.length; ++i) {
    const end = report.indexOf("\n", at);
    const [, line, column, original, converted, reason, ambiguous, alternatives] = report.slice(at, end).split("\t");
    records.push([Number(line), Number(column), unescape(original), unescape(converted), decisions[i], reason,
                  ambiguous === "yes", unescape(alternatives)]);
    at = end + 1;
  }
  return records;
}

function isConverted(record) {
  const decision = record[4];
  return decision === WORD_TABLE || decision === SYLLABLES || (decision === ESTABLISHED && record[3] !== record[2]);
}

// --- Showing the result ----------------------------------------------------

// Where each record's original stands in the source, in UTF-16 units: its
// line (lines end at LF, CR or CR LF) and its column in characters.
function offsetsOf(source, records) {
  const lineStarts = [0];
  for (const match of source.matchAll(/\r\n|\n|\r/g)) lineStarts.push(match.index + match[0].length);
  return records.map(([line, column]) => {
    let at = lineStarts[line - 1];
    if (at === undefined) return -1;
    for (let c = 1; c < column && at < source.length; ++c) at += source.codePointAt(at) > 0xFFFF ? 2 : 1;
    return at;
  });
}

// The output as pieces of plain text and marked words, rebuilt from the
// source and the records; null when they do not give back the converter's
// output exactly (then the output is shown without marks).
function segments(source, text, records) {
  const offsets = offsetsOf(source, records);
  const parts = [];
  let at = 0, rebuilt = "";
  for (let i = 0; i < records.length; ++i) {
    const [, , original, converted] = records[i];
    const start = offsets[i];
    if (start < at || source.substr(start, original.length) !== original) return null;
    const between = source.slice(at, start);
    parts.push(between, i);
    rebuilt += between + converted;
    at = start + original.length;
  }
  parts.push(source.slice(at));
  rebuilt += source.slice(at);
  return rebuilt === text ? parts : null;
}

function explain(record) {
  const [, , original, converted, decision, reason, ambiguous, alternatives] = record;
  let text = isConverted(record) ? `${original} → ${converted}: ${reason}` : `${original}: ${reason}`;
  if (decision === ESTABLISHED && !isConverted(record) && alternatives) text += ` (Pinyin: ${alternatives})`;
  else if (alternatives) text += `. Other readings: ${alternatives}`;
  if (ambiguous) text += ". Could be read as English too";
  return text + ".";
}

// Renders the result a slice at a time, so that a long text does not hold
// up the page; a newer result stops an older rendering (false).
let rendering = 0;
const RENDER_SLICE = 4000;

async function render(token = ++rendering) {
  rendering = token;
  const {source, text, records} = result;
  const parts = segments(source, text, records);
  if (!parts) {
    output.textContent = text;
    return true;
  }
  output.textContent = "";
  const focusable = document.body.classList.contains("show-left");
  // Built detached, a slice at a time, and shown at once: the page lays
  // the output out once instead of after every slice.
  const fragment = document.createDocumentFragment();
  for (let start = 0; start < parts.length; start += 2 * RENDER_SLICE) {
    if (start > 0) {
      await new Promise((resolve) => setTimeout(resolve, 0));
      if (rendering !== token) return false;
    }
    for (const part of parts.slice(start, start + 2 * RENDER_SLICE)) {
      if (typeof part === "string") {
        if (part) fragment.append(part);
        continue;
      }
      const record = records[part];
      const converted = isConverted(record);
      const word = document.createElement(converted ? "mark" : "span");
      word.className = converted ? "converted" : "left";
      word.textContent = record[3];
      word.dataset.record = String(part);
      word.setAttribute("aria-describedby", "tip");
      if (converted || focusable) word.tabIndex = 0;
      fragment.append(word);
    }
  }
  output.append(fragment);
  return true;
}

function showTip(word) {
  const record = result && result.records[Number(word.dataset.record)];
  if (!record) return;
  tip.textContent = explain(record);
  tip.hidden = false;
  const box = word.getBoundingClientRect();
  const left = Math.min(window.scrollX + box.left, window.scrollX + document.documentElement.clientWidth - tip.offsetWidth - 8);
  tip.style.left = `${Math.max(window.scrollX + 4, left)}px`;
  tip.style.top = `${window.scrollY + box.bottom + 6}px`;
}

function hideTip() { tip.hidden = true; }

const wordAt = (target) => target.closest && target.closest("[data-record]");
output.addEventListener("mouseover", (event) => { const w = wordAt(event.target); if (w) showTip(w); });
output.addEventListener("mouseout", (event) => { if (wordAt(event.target)) hideTip(); });
output.addEventListener("focusin", (event) => { const w = wordAt(event.target); if (w) showTip(w); });
output.addEventListener("focusout", hideTip);
document.addEventListener("keydown", (event) => { if (event.key === "Escape") hideTip(); });
output.addEventListener("scroll", hideTip);

// --- Files -------------------------------------------------------------------

// The offset of the first byte that is not well-formed UTF-8, or -1.
function malformedAt(bytes) {
  for (let i = 0; i < bytes.length;) {
    const b = bytes[i];
    let need = 0, min = 0;
    if (b < 0x80) { ++i; continue; }
    if (b >= 0xC2 && b <= 0xDF) { need = 1; min = 0x80; }
    else if (b >= 0xE0 && b <= 0xEF) { need = 2; min = 0x800; }
    else if (b >= 0xF0 && b <= 0xF4) { need = 3; min = 0x10000; }
    else return i;
    let cp = b & (0x3F >> need);
    for (let k = 1; k <= need; ++k) {
      const c = bytes[i + k];
      if (c === undefined || (c & 0xC0) !== 0x80) return i;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
    i += need + 1;
  }
  return -1;
}

// Whether bytes that are not UTF-8 read as Windows-1252: every byte is one
// of its characters (it leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D unused).
function readsAsCp1252(bytes) {
  return !bytes.some((b) => b === 0x81 || b === 0x8D || b === 0x8F || b === 0x90 || b === 0x9D);
}

async function openFile(file) {
  openBytes(file.name, new Uint8Array(await file.arrayBuffer()));
}

function openBytes(name, bytes) {
  if (bytes.includes(0)) {
    setStatus(`“${name}” looks like a binary file, not text: it holds NUL bytes. Nothing was converted; ` +
              "open a plain text file.", true);
    return;
  }
  const encoding = $("encoding").value;
  if (encoding === "utf-8") {
    const bad = malformedAt(bytes);
    if (bad >= 0) {
      const hint = readsAsCp1252(bytes)
        ? " It reads as Windows-1252: choose Windows-1252 under “File encoding” and it opens again."
        : " Save the file as UTF-8 and open it again.";
      setStatus(`“${name}” is not UTF-8 text: the byte at offset ${bad} is not valid UTF-8. Nothing was ` +
                "converted." + hint, true);
      // Kept, so that choosing the encoding opens it without asking again.
      fileBytes = {name, bytes};
      return;
    }
  }
  fileBytes = {name, bytes};
  fileName = name;
  sourceName = name.replace(/\.[^.]*$/, "");
  fileText = new TextDecoder(encoding, {ignoreBOM: encoding === "utf-8"}).decode(bytes);
  setStatus(`Opened “${name}”` + (encoding === "utf-8" ? "." : " as Windows-1252."));
  // The worker starts first: laying out a long text in the text area takes
  // the page a while, which the conversion need not wait for.
  convertNow();
  input.value = fileText;
}

$("encoding").addEventListener("change", () => {
  if (fileBytes) openBytes(fileBytes.name, fileBytes.bytes);
});

$("file").addEventListener("change", (event) => {
  const [file] = event.target.files;
  if (file) openFile(file);
  event.target.value = "";
});
input.addEventListener("dragover", (event) => { event.preventDefault(); input.classList.add("dragging"); });
input.addEventListener("dragleave", () => input.classList.remove("dragging"));
input.addEventListener("drop", (event) => {
  input.classList.remove("dragging");
  const [file] = event.dataTransfer.files;
  if (!file) return;
  event.preventDefault();
  openFile(file);
});

// --- Copy and download -------------------------------------------------------

function reportTsv() {
  return REPORT_HEADER + (result ? result.report : "");
}

function download(name, text, type) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([text], {type}));
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 1000);
}

$("copy").addEventListener("click", async () => {
  const text = result ? result.text : "";
  try {
    await navigator.clipboard.writeText(text);
  } catch {
    const scratch = document.createElement("textarea");
    scratch.value = text;
    document.body.append(scratch);
    scratch.select();
    document.execCommand("copy");
    scratch.remove();
  }
  setStatus("The converted text was copied.");
});
$("download").addEventListener("click", () =>
  download(`${sourceName || "kesti"}.pinyin.txt`, result ? result.text : "", "text/plain;charset=utf-8"));
$("download-report").addEventListener("click", () =>
  download(`${sourceName || "kesti"}.report.tsv`, reportTsv(), "text/tab-separated-values;charset=utf-8"));

// --- Wiring ------------------------------------------------------------------

for (const name of Object.keys(OPTIONS)) {
  $(name).addEventListener("change", () => { writeOptionsToUrl(); convertNow(); });
}
$("show-left").addEventListener("change", () => {
  document.body.classList.toggle("show-left", $("show-left").checked);
  writeOptionsToUrl();
  if (result) render();
});
input.addEventListener("input", () => {
  sourceName = "";
  fileName = "";
  fileBytes = null;
  fileText = null;
  convertSoon();
});
readOptionsFromUrl();
worker.postMessage({type: "prepare", options: options()});
