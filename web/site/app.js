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
// Files longer than this (in characters) are converted without being shown
// in the text area.
const LARGE_FILE = 1000 * 1000;

const $ = (id) => document.getElementById(id);
const input = $("input"), output = $("output"), status = $("status"), tip = $("tip");
const PLACEHOLDER = input.placeholder;
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
let chosenAt = 0;      // when the text converting was chosen: a file opened, or the request sent
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
  if (fileText === null) chosenAt = requestedAt;
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
    // trip as the page sees it, the rendering of the marked result, and
    // (set once it is shown) all of it from choosing the file or the text.
    result = {source: source(), text: decoder.decode(message.text), report, decisions: message.decisions,
              records: [], milliseconds: message.milliseconds, roundTrip, converters: message.converters};
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

// The report's lines read one at a time, each into a record [line,
// column, original, result, decision, reason, ambiguous, alternatives],
// fields unescaped: a long text's report is read as it is shown.
function reportReader(report, decisions) {
  const escapes = {"\\\\": "\\", "\\t": "\t", "\\n": "\n", "\\r": "\r"};
  // Most fields hold no escape: they are taken as they are.
  const unescape = (field) => (field.includes("\\") ? field.replace(/\\[\\tnr]/g, (e) => escapes[e]) : field);
  const fields = new Array(8);
  let at = 0, i = 0;
  return () => {
    if (at >= report.length) return null;
    for (let k = 0; k < 7; ++k) {  // the file's field first: found tab by tab
      const tab = report.indexOf("\t", at);
      fields[k] = report.slice(at, tab);
      at = tab + 1;
    }
    const end = report.indexOf("\n", at);
    fields[7] = report.slice(at, end);
    at = end + 1;
    return [Number(fields[1]), Number(fields[2]), unescape(fields[3]), unescape(fields[4]), decisions[i++], fields[5],
            fields[6] === "yes", unescape(fields[7])];
  };
}

function isConverted(record) {
  const decision = record[4];
  return decision === WORD_TABLE || decision === SYLLABLES || (decision === ESTABLISHED && record[3] !== record[2]);
}

// --- Showing the result ----------------------------------------------------

// Where each record's original stands in the source, in UTF-16 units,
// from its line (lines end at LF, CR or CR LF) and its column in
// characters. Records come in the order of the text: each is found from the
// one before on its line, so that a long line is walked once, not once a
// word. -1 for a place the source does not have.
function locator(source) {
  const lineStarts = [0];
  for (const match of source.matchAll(/\r\n|\n|\r/g)) lineStarts.push(match.index + match[0].length);
  let line = 0, column = 1, at = 0;
  return ([l, c]) => {
    if (l !== line || c < column) {
      if (lineStarts[l - 1] === undefined) return -1;
      at = lineStarts[l - 1];
      line = l;
      column = 1;
    }
    for (; column < c && at < source.length; ++column) at += source.codePointAt(at) > 0xFFFF ? 2 : 1;
    return at;
  };
}

function explain(record) {
  const [, , original, converted, decision, reason, ambiguous, alternatives] = record;
  let text = isConverted(record) ? `${original} → ${converted}: ${reason}` : `${original}: ${reason}`;
  if (decision === ESTABLISHED && !isConverted(record) && alternatives) text += ` (Pinyin: ${alternatives})`;
  else if (alternatives) text += `. Other readings: ${alternatives}`;
  if (ambiguous) text += ". Could be read as English too";
  return text + ".";
}

// Renders the result in blocks of a thousand words or 32 KB, each cut
// after a line break. A block is first put in as plain text; its words are
// marked when it comes near the view, so that a long text costs the page
// its text and the marks of what is read, and the browser lays out only the
// blocks in view (content-visibility in style.css). The rendering yields
// every couple of dozen milliseconds, and blocks that come near the view
// together (a long scroll) are marked one a task, so that scrolling stays
// smooth; a newer result stops an older one (false).
let rendering = 0;
const BLOCK_WORDS = 1000, BLOCK_CHARS = 32 * 1024, YIELD_MS = 20;
const blockItems = new WeakMap();  // a block not yet marked: its text pieces and record numbers
const toMark = [];  // blocks near the view, waiting to be marked
let markPending = false;
const nearView = new IntersectionObserver((entries) => {
  for (const entry of entries) if (entry.isIntersecting) toMark.push(entry.target);
  markNext();
}, {root: output, rootMargin: "800px 0px"});

function markNext() {
  if (markPending || !toMark.length) return;
  markPending = true;
  setTimeout(() => {
    markPending = false;
    markBlock(toMark.shift());
    markNext();
  }, 0);
}

function wordElement(record, number, focusable) {
  const converted = isConverted(record);
  const word = document.createElement(converted ? "mark" : "span");
  word.className = converted ? "converted" : "left";
  word.textContent = record[3];
  word.dataset.record = String(number);
  word.setAttribute("aria-describedby", "tip");
  if (converted || focusable) word.tabIndex = 0;
  return word;
}

function markBlock(block) {
  const items = blockItems.get(block);
  if (!items) return;
  blockItems.delete(block);
  nearView.unobserve(block);
  const focusable = document.body.classList.contains("show-left");
  const fragment = document.createDocumentFragment();
  for (const item of items) fragment.append(typeof item === "string" ? item : wordElement(result.records[item], item, focusable));
  block.replaceChildren(fragment);
}

// The output as pieces of plain text and record numbers, rebuilt from the
// source and the records as the report is read into result.records. It
// returns false, all records read, when they do not give back the
// converter's output exactly (then the output is shown without marks).
function* segments() {
  const {source, text, records} = result;
  const next = reportReader(result.report, result.decisions);
  const place = locator(source);
  const mismatch = () => {
    for (let record = next(); record; record = next()) records.push(record);
    return false;
  };
  let at = 0, shown = 0;  // in the source, and in the converter's output
  for (let record = next(); record; record = next()) {
    records.push(record);
    const [, , original, converted] = record;
    const start = place(record);
    if (start < at || !source.startsWith(original, start)) return mismatch();
    const between = source.slice(at, start);
    if (!text.startsWith(between, shown) || !text.startsWith(converted, shown + between.length)) return mismatch();
    yield between;
    yield records.length - 1;
    shown += between.length + converted.length;
    at = start + original.length;
  }
  const rest = source.slice(at);
  if (shown + rest.length !== text.length || !text.endsWith(rest)) return false;
  yield rest;
  return true;
}

// Renders the result in blocks (see above); the time from choosing the
// text to the first block shown is kept for the speed measurement.
async function render(token = ++rendering) {
  rendering = token;
  nearView.disconnect();
  toMark.length = 0;
  output.textContent = "";
  let items = [], pieces = [], words = 0, chars = 0;
  const close = () => {
    if (items.length) {
      const block = document.createElement("div");
      block.className = "block";
      block.textContent = pieces.join("");
      output.append(block);
      if (words) {
        blockItems.set(block, items);
        // The first block at once: a short text is marked when it is shown.
        if (output.childElementCount === 1) markBlock(block); else nearView.observe(block);
      }
      if (output.childElementCount === 1) result.shownMilliseconds = performance.now() - chosenAt;
    }
    items = [];
    pieces = [];
    words = chars = 0;
  };
  const take = (part) => {
    if (typeof part !== "string") {
      const shown = result.records[part][3];
      items.push(part);
      pieces.push(shown);
      ++words;
      chars += shown.length;
      return;
    }
    // Text between words: a block full enough ends after a line break in it.
    let rest = part;
    while (rest) {
      const from = words >= BLOCK_WORDS || chars >= BLOCK_CHARS ? 0 : BLOCK_CHARS - chars - 1;
      const cut = from < rest.length ? rest.indexOf("\n", from) : -1;
      const piece = cut < 0 ? rest : rest.slice(0, cut + 1);
      items.push(piece);
      pieces.push(piece);
      chars += piece.length;
      if (cut < 0) break;
      close();
      rest = rest.slice(cut + 1);
    }
  };
  let yielded = performance.now();
  const pause = async () => {
    if (performance.now() - yielded <= YIELD_MS) return true;
    await new Promise((resolve) => setTimeout(resolve, 0));
    yielded = performance.now();
    return rendering === token;
  };
  const parts = segments();
  for (;;) {
    const {value, done} = parts.next();
    if (done) {
      if (value) break;
      // Records that do not fit the text: the text without marks.
      nearView.disconnect();
      toMark.length = 0;
      output.textContent = "";
      items = [];
      pieces = [];
      words = chars = 0;
      take(result.text);
      break;
    }
    take(value);
    if (!(await pause())) return false;
  }
  close();
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
  chosenAt = performance.now();
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
  // A long file stays out of the text area, which would take seconds to lay
  // it out and to answer every key after: the area says it is open.
  if (fileText.length > LARGE_FILE) {
    input.value = "";
    input.placeholder = `“${name}” (${(bytes.length / 1e6).toFixed(1)} MB) is open and converted on the right. ` +
                        "Type or paste here to convert other text instead.";
  } else {
    input.value = fileText;
    input.placeholder = PLACEHOLDER;
  }
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
  input.placeholder = PLACEHOLDER;
  sourceName = "";
  fileName = "";
  fileBytes = null;
  fileText = null;
  convertSoon();
});
readOptionsFromUrl();
worker.postMessage({type: "prepare", options: options()});
