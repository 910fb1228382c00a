// The command's CSV and TSV reader (--columns) on arbitrary bytes. The mode
// byte picks CSV or TSV (bit 0), a header (bit 1) and a chunk size of 1 to
// 32 bytes (bits 2 to 6); the table part is the --columns list. Whatever
// the text, it must not fail on valid UTF-8; fed in chunks it must give
// the output and report of the whole text; a converter that has met other
// words (and keeps what it read of them) must give what a new one gives;
// and with no column that any record has, every byte must pass through as
// it is.
#include <string>
#include <vector>

#include "cli/fields.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/shipped_tables.h"
#include "prose/prose.h"
#include "text/transcode.h"

using namespace kesti;

namespace {

// One converter for every input the fuzzer tries: it keeps what it read.
ItemConverter& Items() {
    static ItemConverter items(ShippedTables(), {});
    return items;
}

struct Converted {
    bool ok = false;
    std::string out, error;
    std::vector<ReportRecord> report;
};

Converted Run(const std::string& text, FieldFormat format, const ColumnChoice& columns, bool header, std::size_t chunk,
              ItemConverter& items = Items()) {
    Converted c;
    FieldConverter fields(items, format, columns, header);
    for (std::size_t at = 0; at < text.size(); at += chunk)
        if (!fields.Feed(std::string_view(text).substr(at, chunk), c.out, &c.report, c.error)) return c;
    c.ok = fields.Finish(c.out, &c.report, c.error);
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput in = fuzz::Split(data, size);
    // The reader takes decoded text: bytes that are not UTF-8 are read as
    // Windows-1252, as the command decodes such a file.
    std::string text, error;
    Utf8Decoder decoder(Encoding::Utf8);
    if (!decoder.Feed(in.text, text, error) || !decoder.Finish(error)) {
        text.clear();
        Utf8Decoder cp1252(Encoding::Cp1252);
        FUZZ_CHECK(cp1252.Feed(in.text, text, error) && cp1252.Finish(error));
    }
    const FieldFormat format = in.mode & 1 ? FieldFormat::Tsv : FieldFormat::Csv;
    const bool header = (in.mode & 2) != 0;
    const std::size_t chunk = ((in.mode >> 2) & 31) + 1;

    ColumnChoice columns;
    if (!ParseColumns(in.table, columns, error) || (!columns.names.empty() && !header)) return 0;
    const Converted whole = Run(text, format, columns, header, text.size() + 1);
    const Converted pieces = Run(text, format, columns, header, chunk);
    FUZZ_CHECK(whole.ok == pieces.ok);
    if (!whole.ok) {
        // Only a header without a column named may stop it.
        FUZZ_CHECK(header && whole.error.find("no column named") != std::string::npos);
        return 0;
    }
    FUZZ_CHECK(whole.out == pieces.out);
    ItemConverter fresh(ShippedTables(), {});
    const Converted anew = Run(text, format, columns, header, text.size() + 1, fresh);
    FUZZ_CHECK(anew.ok && anew.out == whole.out && anew.report.size() == whole.report.size());
    FUZZ_CHECK(whole.report.size() == pieces.report.size());
    for (std::size_t i = 0; i < whole.report.size(); ++i) {
        FUZZ_CHECK(whole.report[i].line == pieces.report[i].line);
        FUZZ_CHECK(whole.report[i].column == pieces.report[i].column);
        FUZZ_CHECK(whole.report[i].original == pieces.report[i].original);
    }
    // Column 100000 is in no record: nothing is converted.
    ColumnChoice none;
    FUZZ_CHECK(ParseColumns("100000", none, error));
    const Converted untouched = Run(text, format, none, header, chunk);
    FUZZ_CHECK(untouched.ok && untouched.out == text && untouched.report.empty());
    return 0;
}
