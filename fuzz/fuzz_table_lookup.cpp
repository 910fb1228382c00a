// Arbitrary bytes as a table file, then a lookup at every position of a
// second input, with and without the lookup index, and the whole pass into
// an output buffer of exactly the size it needs. Mode bit 0 builds the table
// as if the file went on past its bytes (a line cut by the size limit).
// Checks what must hold for any table: the records are sorted and within the
// text, every match is acceptable and within the lengths the table reports,
// and neither the index nor a table made for the input alone changes the
// output.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "api/pass.h"
#include "fuzz/fuzz_input.h"
#include "table/index.h"
#include "table/table.h"
#include "text/text_rules.h"

using namespace kesti;

namespace {

void CheckTable(const ConversionTable& table, std::size_t textSize) {
    FUZZ_CHECK(table.count <= kMaxRecords);
    FUZZ_CHECK(table.records[table.count].key == nullptr);
    for (std::size_t i = 0; i < table.count; ++i) {
        const TableRecord& r = table.records[i];
        FUZZ_CHECK(r.key >= table.text && r.key <= table.text + textSize);
        FUZZ_CHECK(r.value >= table.text && r.value <= table.text + textSize);
        FUZZ_CHECK(std::strlen(r.key) <= table.maxKeyLength);
        FUZZ_CHECK(std::strlen(r.value) <= table.maxValueLength);
        if (i > 0) FUZZ_CHECK(CompareIgnoreCase(table.records[i - 1].key, r.key) <= 0);
        const unsigned char first = FoldCase(static_cast<unsigned char>(r.key[0]));
        FUZZ_CHECK(i < table.firstByteEnd[first] && (first == 0 || i >= table.firstByteEnd[first - 1]));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput in = fuzz::Split(data, size);

    // The table's text: exactly its bytes and the padding the splitter may read.
    char* text = static_cast<char*>(std::malloc(in.table.size() + kTextPadding));
    FUZZ_CHECK(text != nullptr);
    std::memcpy(text, in.table.data(), in.table.size());
    ConversionTable plain, indexed;
    FUZZ_CHECK(BuildTable(text, in.table.size(), in.mode & 1, plain) == LoadStatus::Ok);
    CheckTable(plain, in.table.size());
    char* copy = static_cast<char*>(std::malloc(in.table.size() + kTextPadding));
    FUZZ_CHECK(copy != nullptr);
    std::memcpy(copy, in.table.data(), in.table.size());
    FUZZ_CHECK(BuildTable(copy, in.table.size(), in.mode & 1, indexed) == LoadStatus::Ok);
    FUZZ_CHECK(BuildLookupIndex(indexed));

    // The input in a buffer of exactly its size: a read past it is a finding.
    const std::size_t n = in.text.size();
    std::unique_ptr<char[]> input(new char[std::max<std::size_t>(n, 1)]);
    std::memcpy(input.get(), in.text.data(), n);
    // Every position, unless long keys make that slow enough to starve the
    // fuzzer of executions; then an even spread of them.
    const std::size_t work = n * std::max<std::size_t>(plain.maxKeyLength, 1);
    const std::size_t step = std::max<std::size_t>(work >> 16, 1);
    for (std::size_t i = 0; i < n; i += step) {
        MatchResult a, b;
        const bool foundA = LookupAtCursor(plain, input.get() + i, n - i, a);
        const bool foundB = LookupAtCursor(indexed, input.get() + i, n - i, b);
        FUZZ_CHECK(foundA == foundB);
        if (!foundA) continue;
        FUZZ_CHECK(std::strcmp(a.value, b.value) == 0 && a.consumed == b.consumed && a.caseMode == b.caseMode);
        FUZZ_CHECK(a.consumed >= 1 && a.consumed <= n - i && a.consumed <= plain.maxKeyLength);
        FUZZ_CHECK(std::strlen(a.value) <= plain.maxValueLength);
        FUZZ_CHECK(i + a.consumed == n || !IsLetter(static_cast<unsigned char>(input[i + a.consumed])));
    }

    // The whole pass, first to learn the size, then into exactly that much.
    // A pass that runs out of room stops before the value that does not fit.
    std::vector<char> roomy(2 * n + 16);
    PassProgress whole = RunConversionPass(plain, input.get(), n, true, roomy.data(), roomy.size());
    while (whole.consumed < n) {
        FUZZ_CHECK(roomy.size() - whole.written < plain.maxValueLength);
        roomy.resize(roomy.size() * 2);
        whole = RunConversionPass(plain, input.get(), n, true, roomy.data(), roomy.size());
    }
    std::unique_ptr<char[]> exact(new char[std::max<std::size_t>(whole.written, 1)]);
    const PassProgress tight = RunConversionPass(indexed, input.get(), n, true, exact.get(), whole.written);
    FUZZ_CHECK(tight.consumed == n && tight.written == whole.written);
    FUZZ_CHECK(std::memcmp(exact.get(), roomy.data(), whole.written) == 0);

    // Only the records the input can use, as a short call loads them.
    char* chosen = static_cast<char*>(std::malloc(in.table.size() + kTextPadding));
    FUZZ_CHECK(chosen != nullptr);
    std::memcpy(chosen, in.table.data(), in.table.size());
    ConversionTable selective;
    FUZZ_CHECK(BuildTableForInput(chosen, in.table.size(), in.mode & 1, input.get(), n, selective) == LoadStatus::Ok);
    CheckTable(selective, in.table.size());
    FUZZ_CHECK(selective.count <= plain.count);
    std::vector<char> fromSelective(roomy.size());
    const PassProgress chosenPass =
        RunConversionPass(selective, input.get(), n, true, fromSelective.data(), fromSelective.size());
    FUZZ_CHECK(chosenPass.consumed == n && chosenPass.written == whole.written);
    FUZZ_CHECK(std::memcmp(fromSelective.data(), roomy.data(), whole.written) == 0);

    ReleaseTable(plain);
    ReleaseTable(indexed);
    ReleaseTable(selective);
    return 0;
}
