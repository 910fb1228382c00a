// The exported functions and the call behind them: locate and load the
// table, convert, release. Failures become the integer result only.
#include "kesti/convert.h"

#include <cstdint>
#include <cstring>

#include "api/pass.h"
#include "platform/table_dir.h"
#include "table/table.h"

namespace kesti {
namespace {

// The success value: the address of the input's terminating NUL as a 32-bit
// value. Where addresses are wider its low half can be 0, which would read as
// failure, so 1 stands in then.
std::int32_t SuccessValue(const char* end) {
    const auto low = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(end));
    return low == 0 ? 1 : static_cast<std::int32_t>(low);
}

constexpr std::size_t kShortInput = 64 * 1024;

// Nothing on this path allocates with operator new or throws: the tables
// directory is built in fixed buffers and the table in malloc'ed ones.
std::int32_t ConvertText(const char* input, char* output, const char* fileName) noexcept {
    if (!input || !output) return 0;

    // Room for the directory, one separator and the file name.
    char path[kDirectoryCapacity + 1 + sizeof kSyllableTableName];
    static_assert(sizeof kSyllableTableName == sizeof kWordTableName);
    std::int32_t error = 0;
    const std::uint32_t length = GetTableDirectory(path, kDirectoryCapacity, error);
    if (length == 0) return error;
    if (length >= kDirectoryCapacity) return 0;  // did not fit: nothing usable was written
    path[length] = kPathSeparator;
    std::memcpy(path + length + 1, fileName, std::strlen(fileName) + 1);

    // A short input needs only the records that could match in it; a long
    // one touches nearly all of them, and is better served by the whole
    // table and its index.
    const std::size_t size = std::strlen(input);
    ConversionTable table;
    const LoadStatus loaded =
        size <= kShortInput ? LoadTableForInput(path, input, size, table) : LoadTable(path, table);
    if (loaded != LoadStatus::Ok) return 0;

    // The output is touched only once the table is loaded. An index that
    // cannot be had for want of memory changes nothing but the speed: the
    // pass without it gives the same output.
    if (IndexPaysOff(table, size)) BuildLookupIndex(table);
    const PassProgress progress = RunConversionPass(table, input, size, true, output, SIZE_MAX);
    output[progress.written] = '\0';
    ReleaseTable(table);
    return SuccessValue(input + size);
}

}  // namespace
}  // namespace kesti

extern "C" KESTI_EXPORT int32_t KESTI_CALL ConvertWGToPinyin(const char* input, char* output) noexcept {
    return kesti::ConvertText(input, output, kesti::kSyllableTableName);
}

extern "C" KESTI_EXPORT int32_t KESTI_CALL ConvertWGToPinyinWord(const char* input, char* output) noexcept {
    return kesti::ConvertText(input, output, kesti::kWordTableName);
}
