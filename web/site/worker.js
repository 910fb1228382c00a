// The converter, in a worker so that the page never waits on it: the
// library compiled to WebAssembly, its tables written into its memory file
// system, one converter kept open per set of options.
//
// Messages in:  {id, text, options: {hyphens, tones, english, conventional}}
// Messages out: {id, type: "progress", done}, {id, type: "result", text,
//               records, milliseconds}, {id, type: "error", message}, and
//               {type: "ready"} once the tables are loaded.
/* global importScripts, createKesti */
"use strict";

importScripts("kesti.js");

const TABLES = ["kestisyl.txt", "kestiwrd.txt", "kestieng.txt", "kestialt.txt", "kesticnv.txt"];
// The C interface's values for the command's option words.
const VALUES = {
  hyphens: {join: 0, keep: 1},
  tones: {marks: 0, numbers: 1, none: 2},
  english: {guard: 0, convert: 1},
  conventional: {leave: 0, convert: 1},
};
// Text is converted a piece at a time, each ending after a blank line:
// the converter decides nothing across one, so the pieces give the text of
// the whole, and the page hears how far it has come between them.
const PIECE = 256 * 1024;

let latest = 0;  // the newest request: older ones stop at their next piece
const ready = load();
const converters = new Map();

async function load() {
  const kesti = await createKesti();
  kesti.FS.mkdir("/tables");
  await Promise.all(TABLES.map(async (name) => {
    const response = await fetch("tables/" + name);
    if (!response.ok) throw new Error(`the table ${name} could not be loaded (${response.status})`);
    kesti.FS.writeFile("/tables/" + name, new Uint8Array(await response.arrayBuffer()));
  }));
  return kesti;
}

function converterFor(kesti, options) {
  const key = JSON.stringify(options);
  if (!converters.has(key)) {
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
    converters.set(key, converter);
  }
  return converters.get(key);
}

// The text cut after blank lines into pieces of about PIECE characters,
// with the number of lines before each (a line ends at LF, CR or CR LF).
function pieces(text) {
  const result = [];
  let start = 0, linesBefore = 0;
  const blank = /(\r\n|\n|\r)(\r\n|\n|\r)/g;
  while (start < text.length) {
    let end = text.length;
    if (text.length - start > PIECE) {
      blank.lastIndex = start + PIECE;
      const match = blank.exec(text);
      if (match) end = match.index + match[0].length;
    }
    const piece = text.slice(start, end);
    result.push({piece, linesBefore});
    linesBefore += (piece.match(/\r\n|\n|\r/g) || []).length;
    start = end;
  }
  return result;
}

function convertPiece(kesti, converter, piece) {
  const bytes = new TextEncoder().encode(piece);
  const input = kesti._malloc(bytes.length + 1);
  kesti.HEAPU8.set(bytes, input);
  const status = kesti._kesti_web_convert(converter, input, bytes.length);
  kesti._free(input);
  if (status !== 0) throw new Error(kesti.UTF8ToString(kesti._kesti_web_status_message(status)));
  const at = kesti._kesti_web_result(), size = kesti._kesti_web_result_size();
  return JSON.parse(new TextDecoder().decode(kesti.HEAPU8.subarray(at, at + size)));
}

async function convert({id, text, options}) {
  const started = performance.now();
  const kesti = await ready;
  const converter = converterFor(kesti, options);
  const parts = pieces(text);
  const out = [];
  const records = [];
  for (let i = 0; i < parts.length; ++i) {
    if (id !== latest) return;  // a newer request replaced this one
    const {piece, linesBefore} = parts[i];
    const result = convertPiece(kesti, converter, piece);
    out.push(result.text);
    for (const r of result.records) {
      r[0] += linesBefore;
      records.push(r);
    }
    if (parts.length > 1 && i + 1 < parts.length) {
      postMessage({id, type: "progress", done: (i + 1) / parts.length});
      await new Promise((resolve) => setTimeout(resolve, 0));  // lets a newer request in
    }
  }
  postMessage({id, type: "result", text: out.join(""), records, milliseconds: performance.now() - started});
}

onmessage = (event) => {
  latest = event.data.id;
  convert(event.data).catch((error) => postMessage({id: event.data.id, type: "error", message: String(error.message || error)}));
};

ready.then(() => postMessage({type: "ready"}),
           (error) => postMessage({type: "error", message: String(error.message || error)}));
