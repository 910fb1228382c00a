// The whole conversion against the naive reference: arbitrary bytes as a
// table, a second input converted by the real pass (with the lookup index
// when mode bit 0 is set) and by the reference, which must agree. Mode bit 1
// also streams the input through the command's converter in chunks of 1 to
// 16 bytes (mode bits 2 to 5), as raw Windows-1252 and, with bit 6, as UTF-8,
// whose output must equal converting the string whole.
#include <sstream>
#include <string>
#include <vector>

#include "api/pass.h"
#include "cli/stream.h"
#include "fuzz/fuzz_input.h"
#include "table/table.h"
#include "tests/naive_reference.h"

using namespace kesti;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fuzz::FuzzInput in = fuzz::Split(data, size);

    char* text = static_cast<char*>(std::malloc(in.table.size() + kTextPadding));
    FUZZ_CHECK(text != nullptr);
    std::memcpy(text, in.table.data(), in.table.size());
    ConversionTable table;
    FUZZ_CHECK(BuildTable(text, in.table.size(), false, table) == LoadStatus::Ok);
    if (in.mode & 1) FUZZ_CHECK(BuildLookupIndex(table));

    const std::vector<testing::NaiveRecord> records = testing::NaiveSplit(in.table);
    FUZZ_CHECK(records.size() == table.count);
    const std::string expected = testing::NaiveConvert(records, in.text);

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
