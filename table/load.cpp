// Reading a table file, splitting it into records in place, and sorting them.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "table/index.h"
#include "table/split.h"
#include "table/table.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

// One bit for each of the 64 bytes at `p` (bit i for byte i) that splitting
// stops at: tabs, line breaks and NULs. Building the mask for a whole block
// first keeps the loads and tests free of branches, and walking its bits then
// costs one branch per stop.
std::uint64_t StopsAt(const char* p) {
    std::uint64_t stops = 0;
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t word = LoadWord(p + 8 * i);
        const std::uint64_t marks = ZeroBytes(word) | ZeroBytes(word ^ ('\t' * kEveryByte)) |
                                    ZeroBytes(word ^ ('\r' * kEveryByte)) | ZeroBytes(word ^ ('\n' * kEveryByte));
        // Gathers the eight marks (bits 7, 15, ..., 63) into the top byte.
        stops |= ((marks >> 7) * 0x0102040810204080u >> 56) << (8 * i);
    }
    return stops;
}

struct SortEntry {
    std::uint64_t head;
    std::uint32_t index;  // the record's place in the file
};

// Sorts the records by folded key, keeping the file's order among equal
// keys, into a new array that replaces `records`. Most comparisons settle on
// the eight-byte heads alone; only keys that agree over eight bytes are
// compared further. False, with `records` untouched, when memory runs out.
bool SortRecords(TableRecord*& records, std::size_t count) {
    auto* entries = static_cast<SortEntry*>(std::malloc(count * sizeof(SortEntry)));
    auto* sorted = static_cast<TableRecord*>(std::malloc((count + 1) * sizeof(TableRecord)));
    if (!entries || !sorted) {
        std::free(entries);
        std::free(sorted);
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) entries[i] = {OrderHead(records[i].key), static_cast<std::uint32_t>(i)};
    std::sort(entries, entries + count, [records](const SortEntry& a, const SortEntry& b) {
        if (a.head != b.head) return a.head < b.head;
        // Equal heads with a last byte mean two keys of eight bytes or more.
        if (a.head & 0xFF) {
            const int order = CompareIgnoreCase(records[a.index].key + 8, records[b.index].key + 8);
            if (order != 0) return order < 0;
        }
        return a.index < b.index;
    });
    for (std::size_t i = 0; i < count; ++i) sorted[i] = records[entries[i].index];
    sorted[count] = {nullptr, nullptr};
    std::free(entries);
    std::free(records);
    records = sorted;
    return true;
}

}  // namespace

std::uint64_t OrderHead(const char* key) {
    std::uint64_t word = LoadWord(key);
    const std::uint64_t ends = ZeroBytes(word);
    if (ends) word &= (ends & (0 - ends)) - 1;
    word = LowerCapitals(word);
    word = (word & 0x00FF00FF00FF00FFu) << 8 | (word >> 8 & 0x00FF00FF00FF00FFu);
    word = (word & 0x0000FFFF0000FFFFu) << 16 | (word >> 16 & 0x0000FFFF0000FFFFu);
    return word << 32 | word >> 32;
}

bool OutOfOrder(std::uint64_t previousHead, const char* previousKey, std::uint64_t head, const char* key) {
    return head < previousHead ||
           (head == previousHead && (head & 0xFF) && CompareIgnoreCase(previousKey + 8, key + 8) > 0);
}

// A truncated key or value would convert text wrongly. (Before a NUL in the
// file nothing is cut: the text ends at the NUL anyway.)
void EndText(char* text, std::size_t size, bool cutAtLimit) {
    std::memset(text + size, 0, kTextPadding);
    if (cutAtLimit && !std::memchr(text, '\0', size)) {
        std::size_t length = size;
        while (length > 0 && !IsBreak(text[length - 1])) --length;
        text[length] = '\0';
    }
}

LoadStatus FinishTable(char* text, TableRecord* records, std::size_t count, std::size_t maxKey, std::size_t maxValue,
                       bool inOrder, ConversionTable& table) {
    records[count] = {nullptr, nullptr};
    // Among keys equal ignoring case the file's last record sorts last.
    if (!inOrder && !SortRecords(records, count)) {
        std::free(records);
        std::free(text);
        return LoadStatus::OutOfMemory;
    }
    table.text = text;
    table.records = records;
    table.count = count;
    table.maxKeyLength = maxKey;
    table.maxValueLength = maxValue;
    // The records are sorted, so each first byte's records are one range:
    // the ends are filled a range at a time rather than summed byte by byte,
    // which a table made for a short input, with a few ranges, notices.
    std::uint32_t* const end = table.firstByteEnd;
    std::size_t next = 0;  // the first byte whose end is not yet set
    for (std::size_t i = 0; i < count;) {
        const unsigned char first = FoldCase(static_cast<unsigned char>(*records[i].key));
        std::fill(end + next, end + first, static_cast<std::uint32_t>(i));
        while (i < count && FoldCase(static_cast<unsigned char>(*records[i].key)) == first) ++i;
        end[first] = static_cast<std::uint32_t>(i);
        next = first + 1u;
    }
    std::fill(end + next, end + 256, static_cast<std::uint32_t>(count));
    return LoadStatus::Ok;
}

namespace {

// Reads at most `limit` bytes of `file` into a malloc'ed buffer with
// kTextPadding spare bytes. The file's size only sizes the first buffer: a
// file that grows while it is read, or a pipe, still reads to its end or to
// the limit. A regular file is read in one call when its size holds.
LoadStatus ReadAll(InputFile& file, std::size_t limit, char*& text, std::size_t& size, int* systemError) {
    std::size_t capacity = 64 * 1024;
    std::size_t fileSize = 0;
    const bool regular = file.RegularSize(fileSize);
    if (regular) capacity = fileSize + 1;  // +1 sees the end at once
    capacity = std::min(std::max<std::size_t>(capacity, 1), limit);

    char* buffer = static_cast<char*>(std::malloc(capacity + kTextPadding));
    if (!buffer) return LoadStatus::OutOfMemory;
    std::size_t filled = 0;
    for (;;) {
        const std::ptrdiff_t got = file.Read(buffer + filled, capacity - filled);
        if (got < 0) {
            if (systemError) *systemError = errno;
            std::free(buffer);
            return LoadStatus::ReadFailed;
        }
        filled += static_cast<std::size_t>(got);
        if (got == 0 || (regular && filled < capacity)) break;  // the end
        if (filled < capacity) continue;
        if (capacity == limit) break;
        const std::size_t grown = std::min(capacity * 2, limit);
        char* bigger = static_cast<char*>(std::realloc(buffer, grown + kTextPadding));
        if (!bigger) {
            std::free(buffer);
            return LoadStatus::OutOfMemory;
        }
        buffer = bigger;
        capacity = grown;
    }
    text = buffer;
    size = filled;
    return LoadStatus::Ok;
}

}  // namespace

namespace {

// Reads the file at `path` as a table's text: at most kMaxTableBytes bytes,
// and whether a line runs on past them.
LoadStatus ReadTableText(const char* path, char*& text, std::size_t& size, bool& cut, int* systemError) {
    InputFile file(path);
    if (!file.IsOpen()) {
        if (file.NotRegular()) return LoadStatus::NotRegularFile;
        // A directory opens but cannot be read, as before the type was checked.
        const int error = errno;
        if (systemError) *systemError = error;
        return error == EISDIR ? LoadStatus::ReadFailed : LoadStatus::OpenFailed;
    }
    // One byte past the limit tells a line cut by the limit from a line whose
    // break is the first byte not used.
    const LoadStatus read = ReadAll(file, kMaxTableBytes + 1, text, size, systemError);
    if (read != LoadStatus::Ok) return read;
    cut = false;
    if (size > kMaxTableBytes) {
        cut = !IsBreak(text[kMaxTableBytes]);
        size = kMaxTableBytes;
    }
    return LoadStatus::Ok;
}

}  // namespace

LoadStatus LoadTable(const char* path, ConversionTable& table, int* systemError) {
    char* text = nullptr;
    std::size_t size = 0;
    bool cut = false;
    const LoadStatus read = ReadTableText(path, text, size, cut, systemError);
    if (read != LoadStatus::Ok) return read;
    return BuildTable(text, size, cut, table);
}

LoadStatus LoadTableForInput(const char* path, const char* input, std::size_t inputSize, ConversionTable& table,
                             int* systemError) {
    char* text = nullptr;
    std::size_t size = 0;
    bool cut = false;
    const LoadStatus read = ReadTableText(path, text, size, cut, systemError);
    if (read != LoadStatus::Ok) return read;
    return BuildTableForInput(text, size, cut, input, inputSize, table);
}

LoadStatus BuildTable(char* text, std::size_t size, bool cutAtLimit, ConversionTable& table) {
    EndText(text, size, cutAtLimit);

    // The records array starts from a guess at the line count and doubles
    // as needed, so that a small table never pays for a large array.
    std::size_t capacity = std::min(size / 8 + 16, kMaxRecords);
    auto* records = static_cast<TableRecord*>(std::malloc((capacity + 1) * sizeof(TableRecord)));
    if (!records) {
        std::free(text);
        return LoadStatus::OutOfMemory;
    }

    // One pass over the text in blocks of 64 bytes, stopping only at tabs,
    // line breaks and the first NUL, which ends the text: nothing after a NUL
    // that the file itself holds yields records, and the padding holds one
    // in any case (and makes reading past it safe). Each tab and break
    // becomes a NUL; those lie behind the stops still to come.
    enum { InKey, InValue, SkipRest } state = InKey;
    char* lineStart = text;
    const char* valueStart = nullptr;
    const char* handled = text;  // stops before this were consumed with the one before
    std::size_t count = 0, maxKey = 0, maxValue = 0;
    // Shipped tables are stored sorted: the order is checked as the records
    // are made, and the check ends at the first pair out of order.
    bool inOrder = true;
    std::uint64_t previousHead = 0;  // the last record's key's first eight bytes, folded
    char* end = nullptr;
    bool done = false;
    for (char* block = text; !done; block += 64) {
        for (std::uint64_t stops = StopsAt(block); stops; stops &= stops - 1) {
            char* const p = block + std::countr_zero(stops);
            if (p < handled) continue;
            if (*p == '\0') {
                end = p;
                done = true;
                break;
            }
            const char c = *p;
            *p = '\0';
            if (c == '\t') {
                if (state == InKey) {
                    if (count == capacity) {
                        if (capacity == kMaxRecords) {  // full: keep the end marker
                            done = true;
                            break;
                        }
                        const std::size_t grown = std::min(capacity * 2, kMaxRecords);
                        auto* bigger =
                            static_cast<TableRecord*>(std::realloc(records, (grown + 1) * sizeof(TableRecord)));
                        if (!bigger) {
                            std::free(records);
                            std::free(text);
                            return LoadStatus::OutOfMemory;
                        }
                        records = bigger;
                        capacity = grown;
                    }
                    if (inOrder) {
                        const std::uint64_t head = OrderHead(lineStart);
                        if (count > 0 && OutOfOrder(previousHead, records[count - 1].key, head, lineStart))
                            inOrder = false;
                        previousHead = head;
                    }
                    records[count++] = {lineStart, p + 1};
                    if (static_cast<std::size_t>(p - lineStart) > maxKey) maxKey = p - lineStart;
                    valueStart = p + 1;
                    state = InValue;
                } else if (state == InValue) {
                    // A second tab ends the value; the rest of the line is ignored.
                    if (static_cast<std::size_t>(p - valueStart) > maxValue) maxValue = p - valueStart;
                    state = SkipRest;
                }
                handled = p + 1;
            } else {
                if (state == InValue && static_cast<std::size_t>(p - valueStart) > maxValue) maxValue = p - valueStart;
                handled = p + 1;
                if (IsBreak(*handled)) *const_cast<char*>(handled++) = '\0';  // a pair of break bytes is one break
                lineStart = const_cast<char*>(handled);
                state = InKey;
            }
        }
    }
    if (state == InValue && static_cast<std::size_t>(end - valueStart) > maxValue) maxValue = end - valueStart;
    return FinishTable(text, records, count, maxKey, maxValue, inOrder, table);
}

void ReleaseTable(ConversionTable& table) {
    ReleaseLookupIndex(table);
    std::free(table.text);
    std::free(table.records);
    table = ConversionTable{};
}

}  // namespace kesti
