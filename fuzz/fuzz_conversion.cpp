// The whole conversion against the naive reference: arbitrary bytes as a
// table, a second input converted by the real pass (with the lookup index
// when mode bit 0 is set) and by the reference, which must agree. Mode bit 1
// also streams the input through the command's converter in chunks of 1 to
// 16 bytes (mode bits 2 to 5), as raw Windows-1252 and, with bit 6, as UTF-8,
// whose output must equal converting the string whole. With the index and
// without streaming (bits 0 and 1 as 1 and 0), the text is repeated to more
// than 4 KiB, where the indexed pass asks its memo first.
//
// With bit 7 set, the text goes through the running-text engine instead:
// with the shipped tables when the table part is empty, else with tables
// made of it (cut at 0x1E bytes into the syllables, words, English words,
// other readings and established spellings; missing ones empty), whose
// values it must not trust; each line an item with bit 4. It must not fail
// on valid text, and fed in chunks of 1 to 7 bytes (bits 2 and 3) it must
// give the output and the report of the whole text; without a report, the
// same output.
#include <sstream>
#include <string>
#include <vector>

#include "api/pass.h"
#include "api/stream.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/shipped_tables.h"
#include "prose/prose.h"
#include "table/table.h"
#include "tests/support/naive_reference.h"

using namespace kesti;

namespace {

// Tables made of the fuzzer's bytes: up to five pieces cut at 0x1E.
TextTables FuzzedTables(std::string_view bytes) {
    std::string_view pieces[5];
    for (std::string_view& piece : pieces) {
        const std::size_t cut = bytes.find('\x1E');
        piece = bytes.substr(0, cut);
        bytes = cut == std::string_view::npos ? std::string_view() : bytes.substr(cut + 1);
    }
    TextTables tables;
    TablesError error;
    FUZZ_CHECK(BuildTextTables({pieces[0], pieces[1], pieces[2], pieces[3], pieces[4]}, tables, error));
    return tables;
}

// The running-text engine: whole and in chunks alike.
void FuzzRunningText(unsigned mode, const TextTables& tables, const std::string& text) {
    TextOptions options;
    options.encoding = mode & 64 ? Encoding::Utf8 : Encoding::Cp1252;
    options.hyphens = mode & 1 ? HyphenStyle::Keep : HyphenStyle::Join;
    options.tones = mode & 2 ? ToneStyle::Numbers : ToneStyle::Marks;
    options.englishGuard = !(mode & 32);
    options.lines = (mode & 16) != 0;
    std::string whole, error;
    std::vector<ReportRecord> wholeReport;
    const bool ok = ConvertRunningText(tables, options, text, whole, &wholeReport, error);
    if (options.encoding == Encoding::Cp1252) FUZZ_CHECK(ok);
    const std::size_t chunk = 1 + (mode >> 2 & 3) * 2;
    TextStream stream(tables, options);
    std::string pieces;
    std::vector<ReportRecord> report;
    bool fine = true;
    for (std::size_t at = 0; fine && at < text.size(); at += chunk)
        fine = stream.Feed(std::string_view(text).substr(at, chunk), pieces, &report, error);
    if (fine) fine = stream.Finish(pieces, &report, error);
    FUZZ_CHECK(fine == ok);
    if (!ok) return;
    FUZZ_CHECK(pieces == whole);
    // Without a report, a paragraph of words met before may be written as
    // it stands without being weighed: only where weighing leaves it so.
    std::string unreported;
    FUZZ_CHECK(ConvertRunningText(tables, options, text, unreported, nullptr, error));
    FUZZ_CHECK(unreported == whole);
    FUZZ_CHECK(report.size() == wholeReport.size());
    for (std::size_t i = 0; i < report.size(); ++i) {
        FUZZ_CHECK(report[i].line == wholeReport[i].line && report[i].column == wholeReport[i].column);
        FUZZ_CHECK(report[i].original == wholeReport[i].original && report[i].result == wholeReport[i].result);
    }
    // The text's lines as a batch: each converts as it does alone, whatever
    // the lines beside it.
    if (options.encoding != Encoding::Utf8) return;
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(std::string_view(text).substr(at, end - at));
        at = end + 1;
    }
    std::string batch;
    std::vector<std::size_t> ends;
    stream.ConvertBatch(lines.data(), lines.size(), batch, ends);
    FUZZ_CHECK(ends.size() == lines.size());
    for (std::size_t i = 0, begin = 0; i < lines.size(); begin = ends[i++]) {
        std::string alone;
        FUZZ_CHECK(ConvertRunningText(tables, options, lines[i], alone, nullptr, error));
        FUZZ_CHECK(batch.compare(begin, ends[i] - begin, alone) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput in = fuzz::Split(data, size);
    if (in.mode & 128) {
        if (in.table.empty()) {
            FuzzRunningText(in.mode, ShippedTables(), in.text);
        } else {
            FuzzRunningText(in.mode, FuzzedTables(in.table), in.text);
        }
        return 0;
    }
    if ((in.mode & 3) == 1 && !in.text.empty()) {
        const std::string once = in.text;
        while (in.text.size() <= 4096) in.text += once;
    }

    char* text = static_cast<char*>(std::malloc(in.table.size() + kTextPadding));
    FUZZ_CHECK(text != nullptr);
    std::memcpy(text, in.table.data(), in.table.size());
    ConversionTable table;
    FUZZ_CHECK(BuildTable(text, in.table.size(), false, table) == LoadStatus::Ok);
    if (in.mode & 1) FUZZ_CHECK(BuildLookupIndex(table));

    const std::vector<test::NaiveRecord> records = test::NaiveSplit(in.table);
    FUZZ_CHECK(records.size() == table.count);
    const std::string expected = test::NaiveConvert(records, in.text);

    std::string output(expected.size(), '\0');  // exactly the size the reference needs
    const PassProgress p = RunConversionPass(table, in.text.data(), in.text.size(), true, output.data(), output.size());
    FUZZ_CHECK(p.consumed == in.text.size());
    FUZZ_CHECK(p.written == expected.size());
    FUZZ_CHECK(output == expected);

    if (in.mode & 2) {
        const std::size_t chunk = 1 + (in.mode >> 2 & 15);
        const Encoding encoding = in.mode & 64 ? Encoding::Utf8 : Encoding::Cp1252;
        std::istringstream source(in.text);
        std::ostringstream streamed;
        const StreamResult s = ConvertStream(table, encoding, source, streamed, chunk);
        std::string whole;
        const StreamResult w = ConvertString(table, encoding, in.text, whole);
        FUZZ_CHECK(s.ok == w.ok);
        if (s.ok) FUZZ_CHECK(streamed.str() == whole);
        if (encoding == Encoding::Cp1252) FUZZ_CHECK(s.ok && whole == expected);
    }
    ReleaseTable(table);
    return 0;
}
