// Tables of records, CSV (RFC 4180) or TSV, converted field by field: the
// fields chosen (--columns) each as one item, as --lines converts a line;
// every other field, the separators, the line breaks and a header row pass
// through byte for byte. A field is quoted in the output only where it was
// in the input (or where its conversion would need it). Input is read in
// chunks of any size; a record waits until it is whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "api/stream.h"
#include "cli/options.h"
#include "prose/prose.h"

namespace kesti {

// The fields --columns names: 1-based numbers, ranges ("2-4"), or header
// names, separated by commas.
struct ColumnChoice {
    std::vector<std::pair<std::size_t, std::size_t>> ranges;  // 1-based, inclusive
    std::vector<std::string> names;
};
// False with a message when the list is malformed.
bool ParseColumns(std::string_view list, ColumnChoice& choice, std::string& error);

// The format a file's name suggests: .csv is CSV, anything else TSV.
FieldFormat FormatOfName(std::string_view name);

// The longest record held while it is incomplete: a quoted field left open
// by mistake must not take all memory.
inline constexpr std::size_t kMaxRecordBytes = 16 * 1024 * 1024;

struct FieldConverter {
    FieldConverter(ItemConverter& items, FieldFormat format, const ColumnChoice& columns, bool header);

    // Takes valid UTF-8; appends the converted records completed so far to
    // `out`. False with a message when a record is too long, or a header
    // lacks a column named.
    bool Feed(std::string_view text, std::string& out, std::vector<ReportRecord>* report, std::string& error);
    bool Finish(std::string& out, std::vector<ReportRecord>* report, std::string& error);

    ItemConverter& items;
    FieldFormat format;
    ColumnChoice columns;
    bool header;
    // Records read after the header, and those that hold a chosen column:
    // none of many says the columns, or the format, are not the file's.
    std::uint64_t records = 0, recordsWithChosen = 0;

private:
    struct Field {
        std::size_t begin = 0, end = 0;  // raw bytes of the record, quotes included
        bool quoted = false, wellFormed = true;
        std::uint64_t line = 0, column = 0;  // where its content begins
    };
    struct Position {
        std::uint64_t line, column;
        bool afterReturn;
        void Step(unsigned char b);  // moves over one byte
    };
    // Converts the records complete in `pending`, or all when `final`.
    bool Records(bool final, std::string& out, std::vector<ReportRecord>* report, std::string& error);
    // Splits the record at `at` into `fields` and returns where it ends, with
    // `position` moved there; 0 when it is incomplete, with `waiting` set.
    std::size_t ScanRecord(std::size_t at, bool final, Position& position);
    // With a header in `fields`: the indexes of the columns named.
    bool NameColumns(std::string& error);
    // Writes the record [at, end) of `fields` with its chosen fields converted.
    void WriteFields(std::size_t at, std::size_t end, std::string& out, std::vector<ReportRecord>* report);
    bool Chosen(std::size_t index) const;

    std::string pending;
    std::vector<Field> fields;
    std::vector<std::size_t> named;  // with a header: the 0-based indexes of the names
    std::string content, converted;
    bool headerSeen = false, started = false;
    char waiting = 0;                    // what an incomplete record waits for: '"' or '\n' (or a CR), or 0
    std::uint64_t line = 1, column = 1;  // where pending begins
};

// Reads `in` in chunks, decodes it (UTF-8 or Windows-1252), converts its
// records with `fields` and writes them to `out` in the same encoding; each
// word found goes to `sink` when it is set.
StreamResult ConvertFieldStream(FieldConverter& fields, Encoding encoding, std::istream& in, std::ostream& out,
                                const RecordSink& sink, std::size_t chunkSize = 64 * 1024);

}  // namespace kesti
