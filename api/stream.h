// Converting a stream of any size with one loaded table, in bounded memory.
//
// Input is read in chunks and decoded into Windows-1252 bytes; the pass runs
// over what has arrived, holding back only the bytes a match could still
// need (the table's longest key), so the output is byte for byte that of
// converting the whole input at once, whatever the chunking.
//
// In UTF-8 mode, characters that Windows-1252 holds (ü, ê, the typographic
// apostrophes) are converted as their bytes are in the tables, and so is u
// followed by U+0308 COMBINING DIAERESIS (written back as ü). Characters it
// cannot hold (Chinese characters, other scripts, emoji) are copied through
// unchanged and in place; no key can span them, and they separate words as
// any non-letter does. Malformed UTF-8 stops the conversion with its byte
// offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "prose/prose.h"
#include "text/transcode.h"
#include "table/table.h"

namespace kesti {

struct StreamResult {
    bool ok = true;
    std::string error;              // what went wrong, when !ok
    bool inputFailed = false;       // reading failed (the stream knows why)
    bool outputFailed = false;      // writing failed: the conversion stopped there
    std::uint64_t errorOffset = 0;  // for malformed UTF-8: the byte offset of the sequence
};

// Converts all of `in` to `out`. Reads in chunks of `chunkSize` bytes.
StreamResult ConvertStream(const ConversionTable& table, Encoding encoding, std::istream& in, std::ostream& out,
                           std::size_t chunkSize = 64 * 1024);

// Converts one whole string; the same rules as ConvertStream.
StreamResult ConvertString(const ConversionTable& table, Encoding encoding, std::string_view in, std::string& out);

// What a report is handed, record by record, as the text is converted.
using RecordSink = std::function<void(const ReportRecord&)>;

// Converts all of `in` to `out` with the running-text engine, in chunks of
// `chunkSize` bytes; when `sink` is set, each romanized word found goes to
// it as the text is converted.
StreamResult ConvertRunningStream(const TextTables& tables, const TextOptions& options, std::istream& in,
                                  std::ostream& out, const RecordSink& sink, std::size_t chunkSize = 64 * 1024);

}  // namespace kesti
