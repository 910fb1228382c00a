// The converter, in a worker so that the page never waits on it: the
// library compiled to WebAssembly, its tables written into its memory file
// system, one converter open at a time: for the options last asked for.
//
// Messages in:  {type: "prepare", options}, to open a converter and warm it
//               up before any text comes, and {id, bytes, options}: the
//               text as UTF-8 (a transferred ArrayBuffer) and the options
//               {hyphens, tones, english, conventional}.
// Messages out: {type: "ready", fetched, choices} once the tables are
//               loaded, with the library's choices and their values;
//               {id, type: "progress", done}; {id, type: "result", text,
//               report, decisions, milliseconds, converters}, the
//               converted text and the report (the command's TSV without
//               its header) as UTF-8 ArrayBuffers, a decision number per
//               record, and how many converters are open;
//               {id, type: "error", message}.
/* global importScripts, createKesti */
"use strict";

importScripts("kesti.js");

const TABLES = ["kestisyl.txt", "kestiwrd.txt", "kestieng.txt", "kestialt.txt", "kesticnv.txt"];
// The C interface's values for the command's option words, from the
// library's own vocabulary once it is loaded: {hyphens: {join: 0, ...}, ...}.
let VALUES = {};
// Text is converted a piece at a time, each ending after a blank line:
// the converter decides nothing across one, so the pieces give the text of
// the whole, and the page hears how far it has come between them.
const PIECE = 256 * 1024;
const CR = 13, LF = 10;

let latest = 0;  // the newest request: older ones stop at their next piece
const ready = load();
// The converter for the options last asked for, and how many conversions
// use it. Each holds its tables and their index, megabytes of the
// WebAssembly memory: one that other options replaced is closed as soon
// as no conversion uses it any more.
let current = null;  // {key, converter, users}

async function load() {
  const kesti = await createKesti();
  VALUES = JSON.parse(kesti.UTF8ToString(kesti._kesti_web_choices()));
  kesti.FS.mkdir("/tables");
  await Promise.all(TABLES.map(async (name) => {
    const response = await fetch("tables/" + name);
    if (!response.ok) throw new Error(`the table ${name} could not be loaded (${response.status})`);
    kesti.FS.writeFile("/tables/" + name, new Uint8Array(await response.arrayBuffer()));
  }));
  return kesti;
}

function open(kesti, options) {
  const status = kesti._malloc(4);
  const dir = kesti._malloc(16);
  kesti.HEAPU8.set(new TextEncoder().encode("/tables\0"), dir);
  const converter = kesti._kesti_web_open(dir, VALUES.hyphens[options.hyphens], VALUES.tones[options.tones],
                                          VALUES.english[options.english],
                                          VALUES.conventional[options.conventional], status);
  const code = kesti.HEAP32[status >> 2];
  kesti._free(status);
  kesti._free(dir);
  if (!converter) throw new Error(kesti.UTF8ToString(kesti._kesti_web_status_message(code)));
  return converter;
}

// The converter for `options`, held until `release`.
function acquire(kesti, options) {
  const key = JSON.stringify(options);
  if (!current || current.key !== key) {
    const replaced = current;
    current = {key, converter: open(kesti, options), users: 0};
    if (replaced && replaced.users === 0) kesti._kesti_web_close(replaced.converter);
  }
  ++current.users;
  return current;
}

function release(kesti, held) {
  --held.users;
  if (held !== current && held.users === 0) kesti._kesti_web_close(held.converter);
}

// The length of the line break at bytes[i] (CR LF, LF or CR), or 0.
function breakAt(bytes, i) {
  if (bytes[i] === CR) return bytes[i + 1] === LF ? 2 : 1;
  return bytes[i] === LF ? 1 : 0;
}

// Where the piece starting at `start` ends: after the first blank line
// (a break right after a break) past PIECE bytes, or at the end.
function pieceEnd(bytes, start) {
  for (let i = start + PIECE; i < bytes.length; ++i) {
    const first = breakAt(bytes, i);
    if (!first) continue;
    const second = breakAt(bytes, i + first);
    if (second) return i + first + second;
    i += first - 1;
  }
  return bytes.length;
}

function countLines(bytes, start, end) {
  let lines = 0;
  for (let i = start; i < end; ++i) {
    if (bytes[i] === LF) ++lines;
    else if (bytes[i] === CR) {
      ++lines;
      if (bytes[i + 1] === LF && i + 1 < end) ++i;
    }
  }
  return lines;
}

function copyOut(kesti, at, size) {
  return kesti.HEAPU8.slice(at, at + size);
}

function convertPiece(kesti, converter, bytes, firstLine, name) {
  const input = kesti._malloc(bytes.length + 1);
  kesti.HEAPU8.set(bytes, input);
  const status = kesti._kesti_web_convert(converter, input, bytes.length, firstLine, name);
  kesti._free(input);
  if (status !== 0) throw new Error(kesti.UTF8ToString(kesti._kesti_web_status_message(status)));
  return {
    text: copyOut(kesti, kesti._kesti_web_text(), kesti._kesti_web_text_size()),
    report: copyOut(kesti, kesti._kesti_web_report(), kesti._kesti_web_report_size()),
    decisions: copyOut(kesti, kesti._kesti_web_decisions(), kesti._kesti_web_decision_count()),
  };
}

function join(arrays) {
  const whole = new Uint8Array(arrays.reduce((n, a) => n + a.length, 0));
  let at = 0;
  for (const a of arrays) {
    whole.set(a, at);
    at += a.length;
  }
  return whole;
}

async function convert({id, bytes, options, file}) {
  const started = performance.now();
  const kesti = await ready;
  const held = acquire(kesti, options);
  // The report's file column: the name of the file opened, or "-".
  const nameBytes = new TextEncoder().encode(file || "-");
  const name = kesti._malloc(nameBytes.length + 1);
  kesti.HEAPU8.set(nameBytes, name);
  kesti.HEAPU8[name + nameBytes.length] = 0;
  try {
    await convertWith(kesti, held.converter, id, new Uint8Array(bytes), started, name);
  } finally {
    kesti._free(name);
    release(kesti, held);
  }
}

async function convertWith(kesti, converter, id, text, started, name) {
  const parts = {text: [], report: [], decisions: []};
  let line = 1;
  for (let start = 0; start < text.length || start === 0;) {
    if (id !== latest) return;  // a newer request replaced this one
    const end = pieceEnd(text, start);
    const piece = convertPiece(kesti, converter, text.subarray(start, end), line, name);
    for (const key of Object.keys(parts)) parts[key].push(piece[key]);
    line += countLines(text, start, end);
    start = end;
    if (start >= text.length) break;
    postMessage({id, type: "progress", done: start / text.length});
    await new Promise((resolve) => setTimeout(resolve, 0));  // lets a newer request in
  }
  const result = {text: join(parts.text), report: join(parts.report), decisions: join(parts.decisions)};
  postMessage({id, type: "result", text: result.text.buffer, report: result.report.buffer,
               decisions: result.decisions, milliseconds: performance.now() - started,
               converters: kesti._kesti_web_open_count()},
              [result.text.buffer, result.report.buffer]);
}

// The browser compiles WebAssembly fast at first and well only once a
// function has run a while: a text converted at the start gets the
// converter's hot paths compiled before the reader's text arrives.
const WARM_UP = new TextEncoder().encode(
  ("Mao Tse-tung was born in Hu-nan and studied at Pei-ching ta-hsueh. The Ch'ing dynasty fell, and the " +
   "Sun rose over Kuang-chou, Ssu-ch'uan and Shang-hai in the T'ang poems of Li Po.\n\n").repeat(400));

async function prepare(options) {
  const kesti = await ready;
  const held = acquire(kesti, options);
  try {
    convertPiece(kesti, held.converter, WARM_UP, 1);
  } finally {
    release(kesti, held);
  }
}

onmessage = (event) => {
  if (event.data.type === "prepare") {
    prepare(event.data.options).catch(() => {});  // a failure shows with the first text
    return;
  }
  latest = event.data.id;
  convert(event.data).catch((error) => postMessage({id: event.data.id, type: "error", message: String(error.message || error)}));
};

// What the worker fetched (its script, the WebAssembly, the tables), for
// the page to tell how much its first load costs.
const fetched = () => performance.getEntriesByType("resource").map((e) => [e.name, e.encodedBodySize]);
ready.then(() => postMessage({type: "ready", fetched: fetched(), choices: VALUES}),
           (error) => postMessage({type: "error", message: String(error.message || error)}));
