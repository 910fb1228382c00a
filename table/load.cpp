// Reading a table file, splitting it into records in place, and sorting them.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "table/table.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

bool KeyLess(const TableRecord& a, const TableRecord& b) {
    return CompareIgnoreCase(a.key, b.key) < 0;
}

struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file) std::fclose(file);
    }
};

// Reads at most `limit` bytes of `file` into a malloc'ed buffer with one spare
// byte for the NUL. The file's size only sizes the first buffer: a file that
// grows while it is read, or a pipe, still reads to its end or to the limit.
LoadStatus ReadAll(std::FILE* file, std::size_t limit, char*& text, std::size_t& size,
                   int* systemError) {
    std::size_t capacity = 64 * 1024;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long end = std::ftell(file);
        if (end >= 0) capacity = static_cast<std::size_t>(end) + 1;  // +1 sees EOF at once
        std::rewind(file);
    }
    capacity = std::min(std::max<std::size_t>(capacity, 1), limit);

    char* buffer = static_cast<char*>(std::malloc(capacity + 1));
    if (!buffer) return LoadStatus::OutOfMemory;
    std::size_t filled = 0;
    for (;;) {
        filled += std::fread(buffer + filled, 1, capacity - filled, file);
        if (filled < capacity) break;  // end of file or error
        if (capacity == limit) break;
        const std::size_t grown = std::min(capacity * 2, limit);
        char* bigger = static_cast<char*>(std::realloc(buffer, grown + 1));
        if (!bigger) {
            std::free(buffer);
            return LoadStatus::OutOfMemory;
        }
        buffer = bigger;
        capacity = grown;
    }
    if (std::ferror(file)) {
        if (systemError) *systemError = errno;
        std::free(buffer);
        return LoadStatus::ReadFailed;
    }
    text = buffer;
    size = filled;
    return LoadStatus::Ok;
}

}  // namespace

LoadStatus LoadTable(const char* path, ConversionTable& table, int* systemError) {
    FileCloser file{std::fopen(path, "rb")};
    if (!file.file) {
        if (systemError) *systemError = errno;
        return LoadStatus::OpenFailed;
    }
    // One byte past the limit tells a line cut by the limit from a line whose
    // break is the first byte not used.
    char* text = nullptr;
    std::size_t size = 0;
    const LoadStatus read = ReadAll(file.file, kMaxTableBytes + 1, text, size, systemError);
    if (read != LoadStatus::Ok) return read;
    std::fclose(file.file);
    file.file = nullptr;

    bool cut = false;
    if (size > kMaxTableBytes) {
        cut = !IsBreak(text[kMaxTableBytes]);
        size = kMaxTableBytes;
    }
    return BuildTable(text, size, cut, table);
}

LoadStatus BuildTable(char* text, std::size_t size, bool cutAtLimit, ConversionTable& table) {
    text[size] = '\0';
    // Nothing after a NUL that the file itself holds yields records.
    std::size_t length = static_cast<const char*>(std::memchr(text, '\0', size + 1)) - text;
    if (cutAtLimit && length == size) {
        // Drop the unfinished last line: a truncated key or value would
        // convert text wrongly.
        while (length > 0 && !IsBreak(text[length - 1])) --length;
        text[length] = '\0';
    }

    const std::size_t tabs = static_cast<std::size_t>(std::count(text, text + length, '\t'));
    const std::size_t capacity = std::min(tabs, kMaxRecords);
    auto* records = static_cast<TableRecord*>(std::malloc((capacity + 1) * sizeof(TableRecord)));
    if (!records) {
        std::free(text);
        return LoadStatus::OutOfMemory;
    }

    enum { InKey, InValue, SkipRest } state = InKey;
    const char* lineStart = text;
    const char* valueStart = nullptr;
    std::size_t count = 0, maxKey = 0, maxValue = 0;
    auto endValue = [&](const char* at) {
        maxValue = std::max(maxValue, static_cast<std::size_t>(at - valueStart));
        state = SkipRest;
    };
    for (std::size_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (c == '\t') {
            text[i] = '\0';
            if (state == InKey) {
                if (count == capacity) break;  // the array is full: keep the end marker
                records[count++] = {lineStart, text + i + 1};
                maxKey = std::max(maxKey, static_cast<std::size_t>(text + i - lineStart));
                valueStart = text + i + 1;
                state = InValue;
            } else if (state == InValue) {
                endValue(text + i);  // a second tab ends the value
            }
        } else if (IsBreak(c)) {
            if (state == InValue) endValue(text + i);
            text[i] = '\0';
            if (i + 1 < length && IsBreak(text[i + 1])) text[++i] = '\0';
            lineStart = text + i + 1;
            state = InKey;
        }
    }
    if (state == InValue) endValue(text + length);
    records[count] = {nullptr, nullptr};

    // Shipped tables are stored in this order already; checking costs one
    // pass that stops at the first pair out of order. The sort is stable, so
    // among keys equal ignoring case the file's last record sorts last.
    if (!std::is_sorted(records, records + count, KeyLess))
        std::stable_sort(records, records + count, KeyLess);

    table.text = text;
    table.records = records;
    table.count = count;
    table.maxKeyLength = maxKey;
    table.maxValueLength = maxValue;
    std::uint32_t counts[256] = {};
    for (std::size_t i = 0; i < count; ++i) ++counts[FoldCase(static_cast<unsigned char>(records[i].key[0]))];
    std::uint32_t sum = 0;
    for (int c = 0; c < 256; ++c) table.firstByteEnd[c] = sum += counts[c];
    return LoadStatus::Ok;
}

void ReleaseTable(ConversionTable& table) {
    std::free(table.text);
    std::free(table.records);
    table = ConversionTable{};
}

}  // namespace kesti
