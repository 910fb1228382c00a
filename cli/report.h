// The command's report of what the text mode found: one row per romanized
// word (--report), or one per distinct original, result and decision with
// its count, most frequent first (--summary), the sheet a reviewer works
// through; as tab-separated values, or as CSV a spreadsheet opens (UTF-8
// with a byte order mark, CRLF, every field quoted).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cli/options.h"
#include "prose/prose.h"

namespace kesti {

struct ReportWriter {
    ReportWriter(std::ostream& out, ReportFormat format, bool summary);

    // A word found in `file` ("-" for standard input or --text).
    void Add(std::string_view file, const ReportRecord& record);
    // Writes the summary's rows; nothing more for a report.
    void Finish();

    std::ostream& out;
    ReportFormat format;
    bool summary;

private:
    void Row(std::initializer_list<std::string_view> fields);

    struct Count {
        std::uint64_t count = 0, first = 0;  // how often, and the order it was first met in
        std::string original, result, alternatives;
        Decision decision = Decision::Syllables;
        bool ambiguous = false;
    };
    std::unordered_map<std::string, Count> counts;
    std::string line;
};

}  // namespace kesti
