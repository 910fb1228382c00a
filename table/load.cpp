// Reading a table file, splitting it into records in place, and sorting them.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/files.h"
#include "table/index.h"
#include "table/table.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

bool IsBreak(char c) { return c == '\r' || c == '\n'; }

constexpr std::uint64_t kEveryByte = 0x0101010101010101u;

// 0x80 in each byte of `x` that is zero, and nothing elsewhere.
std::uint64_t ZeroBytes(std::uint64_t x) {
    constexpr std::uint64_t low7 = 0x7F * kEveryByte;
    return ~(((x & low7) + low7) | x | low7);
}

// The eight bytes at `p`, the first in the lowest byte whatever the machine.
std::uint64_t LoadWord(const char* p) {
    std::uint64_t word;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, p, 8);
    } else {
        word = 0;
        for (int i = 0; i < 8; ++i) word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    }
    return word;
}

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

// Bit i of `breaks` for a CR or LF at byte i of the 64 at a block, of `nuls`
// for a NUL there.
struct BlockMarks {
    std::uint64_t breaks, nuls;
};

BlockMarks MarksAt(const char* p) {
    std::uint64_t breaks = 0, nuls = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n'), zero = _mm_setzero_si128();
    __m128i anyNul = zero;
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const auto b = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        breaks |= std::uint64_t{b} << (16 * i);
        anyNul = _mm_or_si128(anyNul, _mm_cmpeq_epi8(v, zero));
    }
    // A NUL ends the text, so it is in one block only: placed only then.
    if (_mm_movemask_epi8(anyNul)) {
        for (int i = 0; i < 4; ++i) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
            nuls |= std::uint64_t{static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)))} << (16 * i);
        }
    }
#else
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t word = LoadWord(p + 8 * i);
        const std::uint64_t b = ZeroBytes(word ^ ('\r' * kEveryByte)) | ZeroBytes(word ^ ('\n' * kEveryByte));
        breaks |= ((b >> 7) * 0x0102040810204080u >> 56) << (8 * i);
        nuls |= ((ZeroBytes(word) >> 7) * 0x0102040810204080u >> 56) << (8 * i);
    }
#endif
    return {breaks, nuls};
}

// A key's first three bytes folded, or all of a shorter key and its tab,
// as one number; the bytes after the tab are zero.
std::uint32_t KeyPrefix(unsigned char first, unsigned char second, unsigned char third) {
    return std::uint32_t{first} | std::uint32_t{second} << 8 | std::uint32_t{third} << 16;
}

// The prefix of the key at the start of `line`, as KeyPrefix makes it; its
// four bytes are in the text or its padding. Folded four bytes at once, as
// OrderHead folds eight, since every line of the file passes through here.
std::uint32_t LinePrefix(const char* line) {
    std::uint32_t word;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, line, 4);
    } else {
        word = 0;
        for (int i = 0; i < 4; ++i) word |= std::uint32_t{static_cast<unsigned char>(line[i])} << (8 * i);
    }
    const std::uint32_t low7 = word & 0x7F7F7F7Fu;
    word |= ((low7 + 0x3F3F3F3Fu) & ~(low7 + 0x25252525u) & ~word & 0x80808080u) >> 2;
    // A tab in the second byte ends a key of one byte.
    return word & ((word >> 8 & 0xFF) == '\t' ? 0xFFFFu : 0xFFFFFFu);
}

// The number of set bits, inline where the processor's own instruction
// cannot be assumed (a library call otherwise).
int CountBits(std::uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555u);
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<int>((x * 0x0101010101010101u) >> 56);
}

// A set of prefixes as 4,096 hashed bits: small enough to clear for every
// call, and sparse for the prefixes of a short input.
constexpr std::size_t kPrefixSetWords = 64;

unsigned PrefixBit(std::uint32_t prefix) { return (prefix * 0x9E3779B1u) >> 20; }

void AddPrefix(std::uint64_t* set, std::uint32_t prefix) {
    const unsigned bit = PrefixBit(prefix);
    set[bit / 64] |= std::uint64_t{1} << (bit % 64);
}

bool HasPrefix(const std::uint64_t* set, std::uint32_t prefix) {
    const unsigned bit = PrefixBit(prefix);
    return set[bit / 64] >> (bit % 64) & 1;
}

// A key's first eight bytes folded to lower case, the first byte most
// significant and zero from the key's end on: two heads compare as numbers
// as the keys' first eight bytes compare in the table's order. The key lies
// in the padded text, so the word can be read whole.
std::uint64_t OrderHead(const char* key) {
    std::uint64_t word = LoadWord(key);
    const std::uint64_t ends = ZeroBytes(word);
    if (ends) word &= (ends & (0 - ends)) - 1;
    // 0x20 added to each byte from 'A' to 'Z', for all eight at once:
    // seven-bit sums cannot carry into the next byte.
    const std::uint64_t low7 = word & (0x7F * kEveryByte);
    word |= ((low7 + 0x3F * kEveryByte) & ~(low7 + 0x25 * kEveryByte) & ~word & (0x80 * kEveryByte)) >> 2;
    word = (word & 0x00FF00FF00FF00FFu) << 8 | (word >> 8 & 0x00FF00FF00FF00FFu);
    word = (word & 0x0000FFFF0000FFFFu) << 16 | (word >> 16 & 0x0000FFFF0000FFFFu);
    return word << 32 | word >> 32;
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

// Zeroes the padding and, for a text cut by the byte limit, drops the
// unfinished last line: a truncated key or value would convert text wrongly.
// (Before a NUL in the file nothing is cut: the text ends at the NUL anyway.)
void EndText(char* text, std::size_t size, bool cutAtLimit) {
    std::memset(text + size, 0, kTextPadding);
    if (cutAtLimit && !std::memchr(text, '\0', size)) {
        std::size_t length = size;
        while (length > 0 && !IsBreak(text[length - 1])) --length;
        text[length] = '\0';
    }
}

// Sorts the records if they were not in order, and hands the text and the
// records to `table`; both are freed if memory for the sort runs out.
LoadStatus FinishTable(char* text, TableRecord* records, std::size_t count, std::size_t maxKey,
                       std::size_t maxValue, bool inOrder, ConversionTable& table) {
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
    std::uint32_t firstByteCounts[256] = {};
    for (std::size_t i = 0; i < count; ++i) ++firstByteCounts[FoldCase(static_cast<unsigned char>(*records[i].key))];
    std::uint32_t sum = 0;
    for (int c = 0; c < 256; ++c) table.firstByteEnd[c] = sum += firstByteCounts[c];
    return LoadStatus::Ok;
}

struct FileCloser {
    std::FILE* file;
    ~FileCloser() {
        if (file) std::fclose(file);
    }
};

// Reads at most `limit` bytes of `file` into a malloc'ed buffer with
// kTextPadding spare bytes. The file's size only sizes the first buffer: a
// file that grows while it is read, or a pipe, still reads to its end or to
// the limit.
LoadStatus ReadAll(std::FILE* file, std::size_t limit, char*& text, std::size_t& size,
                   int* systemError) {
    // The reads go straight into the buffer: stdio's own buffer would only
    // add a copy and, for a small table, most of the cost of a call.
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::size_t capacity = 64 * 1024;
    std::size_t fileSize = 0;
    if (RegularFileSize(file, fileSize)) capacity = fileSize + 1;  // +1 sees EOF at once
    capacity = std::min(std::max<std::size_t>(capacity, 1), limit);

    char* buffer = static_cast<char*>(std::malloc(capacity + kTextPadding));
    if (!buffer) return LoadStatus::OutOfMemory;
    std::size_t filled = 0;
    for (;;) {
        filled += std::fread(buffer + filled, 1, capacity - filled, file);
        if (filled < capacity) break;  // end of file or error
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

namespace {

// Reads the file at `path` as a table's text: at most kMaxTableBytes bytes,
// and whether a line runs on past them.
LoadStatus ReadTableText(const char* path, char*& text, std::size_t& size, bool& cut, int* systemError) {
    FileCloser file{std::fopen(path, "rb")};
    if (!file.file) {
        if (systemError) *systemError = errno;
        return LoadStatus::OpenFailed;
    }
    // One byte past the limit tells a line cut by the limit from a line whose
    // break is the first byte not used.
    const LoadStatus read = ReadAll(file.file, kMaxTableBytes + 1, text, size, systemError);
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
                        // Most pairs settle on their first eight bytes as
                        // one integer compare; keys that agree over all
                        // eight compare on.
                        const std::uint64_t head = OrderHead(lineStart);
                        if (count > 0 && (head < previousHead ||
                                          (head == previousHead && (head & 0xFF) &&
                                           CompareIgnoreCase(records[count - 1].key + 8, lineStart + 8) > 0)))
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
                if (state == InValue && static_cast<std::size_t>(p - valueStart) > maxValue)
                    maxValue = p - valueStart;
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

LoadStatus BuildTableForInput(char* text, std::size_t size, bool cutAtLimit, const char* input,
                              std::size_t inputSize, ConversionTable& table) {
    // Past this size a file could hold as many records as the record array:
    // which ones it keeps then depends on every line before them.
    if (size >= 2 * kMaxRecords - 1) return BuildTable(text, size, cutAtLimit, table);
    EndText(text, size, cutAtLimit);

    // A key matches only at a letter of the input and agrees with the input
    // over its first three bytes, folded, or over all of a shorter key,
    // whose tab then stands in for the next byte. Those prefixes of the
    // input go into a small hashed set; a line whose prefix is not in it
    // is passed over (one that is in it by a collision costs a split only).
    // firstWanted says the same of the first byte alone, in either case,
    // and settles most lines at the cost of one load.
    std::uint64_t wanted[kPrefixSetWords] = {};
    bool firstWanted[256] = {};
    for (std::size_t i = 0; i < inputSize; ++i) {
        if (!IsLetter(static_cast<unsigned char>(input[i]))) continue;
        const unsigned char first = FoldCase(static_cast<unsigned char>(input[i]));
        firstWanted[first] = firstWanted[first - 0x20] = true;
        const unsigned char second = i + 1 < inputSize ? FoldCase(static_cast<unsigned char>(input[i + 1])) : 0;
        const unsigned char third = i + 2 < inputSize ? FoldCase(static_cast<unsigned char>(input[i + 2])) : 0;
        AddPrefix(wanted, KeyPrefix(first, '\t', 0));
        if (i + 1 < inputSize) AddPrefix(wanted, KeyPrefix(first, second, '\t'));
        if (i + 2 < inputSize) AddPrefix(wanted, KeyPrefix(first, second, third));
    }

    // The lines worth reading begin after a break (or at the start) and
    // before the first NUL. Their starts are gathered first, in the records'
    // key fields, since splitting writes NULs over breaks the scan still needs.
    //
    // The scan writes each block's line starts to a batch without a branch
    // per line (eight slots always, more when the block holds more), and
    // the filter that follows keeps the wanted ones with a branch that is
    // rarely taken. A branch per line would be mispredicted at every
    // block's end, and keeping lines without branches would chain every
    // line's loads to the one before.
    constexpr std::size_t kBatch = 1024;
    std::uint32_t batch[kBatch + 64];
    std::size_t capacity = 0, count = 0;
    TableRecord* records = nullptr;
    std::uint64_t carry = 1;  // the text's first byte begins a line
    for (char *block = text, *batchBase = text;; batchBase = block) {
        std::size_t gathered = 0;
        bool ended = false;
        for (; gathered < kBatch && !ended; block += 64) {
            const BlockMarks marks = MarksAt(block);
            std::uint64_t starts = ~marks.breaks & (marks.breaks << 1 | carry);
            carry = marks.breaks >> 63;
            if (marks.nuls) {
                starts &= (marks.nuls & (0 - marks.nuls)) - 1;
                ended = true;
            }
            const auto offset = static_cast<std::uint32_t>(block - batchBase);
            const int lines = CountBits(starts);
            std::uint32_t* const out = batch + gathered;
            for (int i = 0; i < 8; ++i) {
                out[i] = offset + static_cast<std::uint32_t>(std::countr_zero(starts));
                starts &= starts - 1;
            }
            for (int i = 8; i < lines; ++i) {
                out[i] = offset + static_cast<std::uint32_t>(std::countr_zero(starts));
                starts &= starts - 1;
            }
            gathered += static_cast<std::size_t>(lines);
        }
        for (std::size_t i = 0; i < gathered; ++i) {
            char* const line = batchBase + batch[i];
            if (!firstWanted[static_cast<unsigned char>(line[0])] || !HasPrefix(wanted, LinePrefix(line))) continue;
            if (count == capacity) {
                capacity = 2 * capacity + 64;
                auto* bigger = static_cast<TableRecord*>(std::realloc(records, (capacity + 1) * sizeof(TableRecord)));
                if (!bigger) {
                    std::free(records);
                    std::free(text);
                    return LoadStatus::OutOfMemory;
                }
                records = bigger;
            }
            records[count++].key = line;
        }
        if (ended) break;
    }
    if (!records && !(records = static_cast<TableRecord*>(std::malloc(sizeof(TableRecord))))) {
        std::free(text);
        return LoadStatus::OutOfMemory;
    }

    // Each gathered line split as the full split does: the key ends at the
    // first tab, the value at the next tab, break or NUL; a line without a
    // tab yields nothing.
    std::size_t kept = 0, maxKey = 0, maxValue = 0;
    bool inOrder = true;
    std::uint64_t previousHead = 0;
    for (std::size_t i = 0; i < count; ++i) {
        char* const key = const_cast<char*>(records[i].key);
        char* tab = key;
        while (*tab != '\t' && *tab != '\0' && !IsBreak(*tab)) ++tab;
        if (*tab != '\t') continue;
        char* value = tab + 1;
        char* valueEnd = value;
        while (*valueEnd != '\t' && *valueEnd != '\0' && !IsBreak(*valueEnd)) ++valueEnd;
        *tab = '\0';
        *valueEnd = '\0';
        maxKey = std::max<std::size_t>(maxKey, tab - key);
        maxValue = std::max<std::size_t>(maxValue, valueEnd - value);
        if (inOrder) {
            const std::uint64_t head = OrderHead(key);
            if (kept > 0 && (head < previousHead || (head == previousHead && (head & 0xFF) &&
                                                     CompareIgnoreCase(records[kept - 1].key + 8, key + 8) > 0)))
                inOrder = false;
            previousHead = head;
        }
        records[kept++] = {key, value};
    }
    return FinishTable(text, records, kept, maxKey, maxValue, inOrder, table);
}

void ReleaseTable(ConversionTable& table) {
    ReleaseLookupIndex(table);
    std::free(table.text);
    std::free(table.records);
    table = ConversionTable{};
}

}  // namespace kesti
