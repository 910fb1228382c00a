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

    std::size_t tabs = 0;
    for (const char* t = text; (t = static_cast<const char*>(std::memchr(t, '\t', text + length - t))); ++t) ++tabs;
    const std::size_t capacity = std::min(tabs, kMaxRecords);
    auto* records = static_cast<TableRecord*>(std::malloc((capacity + 1) * sizeof(TableRecord)));
    if (!records) {
        std::free(text);
        return LoadStatus::OutOfMemory;
    }

    // Jump from one tab or line break to the next (strcspn stops at the NUL
    // that ends the text), overwriting each with a NUL.
    enum { InKey, InValue, SkipRest } state = InKey;
    char* lineStart = text;
    const char* valueStart = nullptr;
    std::size_t count = 0, maxKey = 0, maxValue = 0;
    char* const end = text + length;
    for (char* p = text + std::strcspn(text, "\t\r\n"); p < end; p += std::strcspn(p, "\t\r\n")) {
        const char c = *p;
        *p = '\0';
        if (c == '\t') {
            if (state == InKey) {
                if (count == capacity) break;  // the array is full: keep the end marker
                records[count++] = {lineStart, p + 1};
                if (static_cast<std::size_t>(p - lineStart) > maxKey) maxKey = p - lineStart;
                valueStart = p + 1;
                state = InValue;
            } else if (state == InValue) {
                // A second tab ends the value; the rest of the line is ignored.
                if (static_cast<std::size_t>(p - valueStart) > maxValue) maxValue = p - valueStart;
                state = SkipRest;
            }
            ++p;
        } else {
            if (state == InValue && static_cast<std::size_t>(p - valueStart) > maxValue) maxValue = p - valueStart;
            ++p;
            if (p < end && IsBreak(*p)) *p++ = '\0';  // a pair of break bytes is one break
            lineStart = p;
            state = InKey;
        }
    }
    if (state == InValue && static_cast<std::size_t>(end - valueStart) > maxValue) maxValue = end - valueStart;
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
