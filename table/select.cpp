// A table made for one input: only the records that could match in it.
//
// A key matches only at a letter of the input and agrees with the input over
// its first three bytes, folded, or over all of a shorter key, whose tab then
// stands in for the next byte. So the lines whose first three bytes are no
// such prefix of the input can be passed over unsplit, and a short input
// needs a handful of the file's records.
//
// Every line must still be looked at, since the file may be in any order.
// The lines are found by a scan of 64-byte blocks for line breaks, and most
// are settled there: on processors with AVX2 the block scan itself keeps
// only lines whose first byte is one of the input's letters and whose second
// byte may follow it; elsewhere a table of the input's first letters settles
// each line with one load. The survivors are checked against a hashed set of
// the input's prefixes, then split as the whole split does.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)
#include <immintrin.h>
#define KESTI_WIDE_SCAN 1
#endif

#include "table/split.h"
#include "table/table.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

// A key's first three bytes folded, or all of a shorter key and its tab, as
// one number; the bytes after the tab are zero.
std::uint32_t KeyPrefix(unsigned char first, unsigned char second, unsigned char third) {
    return std::uint32_t{first} | std::uint32_t{second} << 8 | std::uint32_t{third} << 16;
}

// The prefix of the key at the start of `line`, as KeyPrefix makes it; its
// eight bytes are in the text or its padding.
std::uint32_t LinePrefix(const char* line) {
    const auto word = static_cast<std::uint32_t>(LowerCapitals(LoadWord(line)));
    // A tab in the second byte ends a key of one byte.
    return word & ((word >> 8 & 0xFF) == '\t' ? 0xFFFFu : 0xFFFFFFu);
}

// What the input wants of a line: a set of prefixes as 4,096 hashed bits
// (small enough to clear for every call, and sparse for a short input), and
// its letters in either case, which settle most lines with one load.
struct WantedKeys {
    std::uint64_t prefixes[64] = {};
    bool first[256] = {};

    static unsigned Bit(std::uint32_t prefix) { return (prefix * 0x9E3779B1u) >> 20; }
    void Add(std::uint32_t prefix) { prefixes[Bit(prefix) / 64] |= std::uint64_t{1} << (Bit(prefix) % 64); }
    bool Line(const char* line) const {
        if (!first[static_cast<unsigned char>(line[0])]) return false;
        const unsigned bit = Bit(LinePrefix(line));
        return prefixes[bit / 64] >> (bit % 64) & 1;
    }
};

// The records array, grown as lines are kept; each kept line's start waits
// in its key field until the split.
struct Kept {
    TableRecord* records = nullptr;
    std::size_t count = 0, capacity = 0;

    ~Kept() { std::free(records); }
    bool Add(char* line) {
        if (count == capacity) {
            const std::size_t grown = 2 * capacity + 64;
            auto* bigger = static_cast<TableRecord*>(std::realloc(records, (grown + 1) * sizeof(TableRecord)));
            if (!bigger) return false;
            records = bigger;
            capacity = grown;
        }
        records[count++].key = line;
        return true;
    }
};

// Bit i for a CR or LF at byte i of the 64 at `p`.
std::uint64_t BreaksAt(const char* p) {
    std::uint64_t breaks = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r'), lf = _mm_set1_epi8('\n');
    for (int i = 0; i < 4; ++i) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const auto b =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf))));
        breaks |= std::uint64_t{b} << (16 * i);
    }
#else
    for (int i = 0; i < 8; ++i) {
        const std::uint64_t word = LoadWord(p + 8 * i);
        const std::uint64_t b = ZeroBytes(word ^ ('\r' * kEveryByte)) | ZeroBytes(word ^ ('\n' * kEveryByte));
        // Gathers the eight marks (bits 7, 15, ..., 63) into one byte.
        breaks |= ((b >> 7) * 0x0102040810204080u >> 56) << (8 * i);
    }
#endif
    return breaks;
}

// The line starts of the block at `block`: after a break, or at the text's
// start (carry), and before `end`, the text's first NUL.
std::uint64_t LineStarts(std::uint64_t breaks, std::uint64_t& carry, const char* block, const char* end) {
    std::uint64_t starts = ~breaks & (breaks << 1 | carry);
    carry = breaks >> 63;
    if (end - block < 64) starts &= (std::uint64_t{1} << (end - block)) - 1;
    return starts;
}

// The scan for any processor. Each block's line starts go to a batch without
// a branch per line (eight slots always, more when the block holds more);
// the filter that follows keeps the wanted ones with a branch that is rarely
// taken. A branch per line would be mispredicted at every block's end, and
// keeping lines without branches would chain every line's loads to the last.
bool ScanPortable(char* text, const char* end, const WantedKeys& wanted, Kept& kept) {
    constexpr std::size_t kBatch = 1024;
    std::uint32_t batch[kBatch + 64];
    std::uint64_t carry = 1;
    for (char* block = text; block < end;) {
        char* const batchBase = block;
        std::size_t gathered = 0;
        for (; gathered < kBatch && block < end; block += 64) {
            std::uint64_t starts = LineStarts(BreaksAt(block), carry, block, end);
            const auto offset = static_cast<std::uint32_t>(block - batchBase);
            const auto lines = static_cast<int>(CountBits(starts));
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
            if (wanted.Line(line) && !kept.Add(line)) return false;
        }
    }
    return true;
}

#if defined(KESTI_WIDE_SCAN)

// The first two bytes of a line as the AVX2 scan weighs them, each byte
// looked up by its halves in tables of sixteen (the processor's byte
// shuffle). The input's first letters fall into eight groups in the order
// they first occur, so that a short input's letters mostly have a group of
// their own. firstLow[n] has bit g set when a letter of group g has n as its
// low half (the high half would only tell a-o from p-z, not worth its cost
// per block). The bytes that follow a letter of group g in the input, and a
// tab, make secondLow and secondHigh by their low and high halves. A line is
// kept when some group has both its first and its second byte: that passes
// every wanted line and few others, and WantedKeys passes over the others.
// Bytes are folded by setting bit 5, which lowers capitals and may merge
// other bytes: more lines kept, never fewer.
struct PairFilter {
    alignas(32) unsigned char firstLow[32] = {}, secondLow[32] = {}, secondHigh[32] = {};
    unsigned char groupOf[26] = {};  // 1 + the group of each letter, or 0
    unsigned groups = 0;

    // `first` is a letter in lower case.
    void Add(unsigned char first, unsigned char second) {
        second |= 0x20;
        unsigned char& known = groupOf[first - 'a'];
        if (!known) known = static_cast<unsigned char>(1 + groups++ % 8);
        const auto group = static_cast<unsigned char>(1u << (known - 1));
        firstLow[first & 15] |= group;
        secondLow[second & 15] |= group;
        secondHigh[second >> 4] |= group;
    }

    // The shuffle looks up each half of the register in its own copy.
    void Finish() {
        for (unsigned char* table : {firstLow, secondLow, secondHigh}) std::memcpy(table + 16, table, 16);
    }
};

// The filter's tables in registers, loaded once per scan.
struct WideFilter {
    __m256i firstLow, secondLow, secondHigh;
};

// Bit g of each byte: whether `bytes` lies in set g, by its two halves.
__attribute__((target("avx2"), always_inline)) inline __m256i InSets(__m256i bytes, __m256i lowTable,
                                                                     __m256i highTable) {
    const __m256i low = _mm256_set1_epi8(15);
    return _mm256_and_si256(_mm256_shuffle_epi8(lowTable, _mm256_and_si256(bytes, low)),
                            _mm256_shuffle_epi8(highTable, _mm256_and_si256(_mm256_srli_epi16(bytes, 4), low)));
}

// Bit i: whether the pair of bytes at p[i] may begin a wanted key.
__attribute__((target("avx2"), always_inline)) inline std::uint32_t PairsAt(const char* p, const WideFilter& filter) {
    const __m256i fold = _mm256_set1_epi8(0x20);
    const __m256i first = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), fold);
    const __m256i second = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1)), fold);
    const __m256i firstGroups = _mm256_shuffle_epi8(filter.firstLow, _mm256_and_si256(first, _mm256_set1_epi8(15)));
    const __m256i both = _mm256_and_si256(firstGroups, InSets(second, filter.secondLow, filter.secondHigh));
    return ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(both, _mm256_setzero_si256())));
}

__attribute__((target("avx2"), always_inline)) inline std::uint32_t BreaksIn(__m256i v) {
    const __m256i cr = _mm256_set1_epi8('\r'), lf = _mm256_set1_epi8('\n');
    return static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, lf))));
}

__attribute__((target("avx2"), always_inline)) inline std::uint64_t WideBreaksAt(const char* p) {
    return std::uint64_t{BreaksIn(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)))} |
           std::uint64_t{BreaksIn(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)))} << 32;
}

// Reads one byte past each block: the text's padding holds it.
__attribute__((target("avx2"))) bool ScanWide(char* text, const char* end, const WantedKeys& wanted,
                                              const PairFilter& tables, Kept& kept) {
    const WideFilter filter{_mm256_load_si256(reinterpret_cast<const __m256i*>(tables.firstLow)),
                            _mm256_load_si256(reinterpret_cast<const __m256i*>(tables.secondLow)),
                            _mm256_load_si256(reinterpret_cast<const __m256i*>(tables.secondHigh))};
    std::uint64_t carry = 1;
    for (char* block = text; block < end; block += 64) {
        std::uint64_t starts = LineStarts(WideBreaksAt(block), carry, block, end);
        starts &= std::uint64_t{PairsAt(block, filter)} | std::uint64_t{PairsAt(block + 32, filter)} << 32;
        for (; starts; starts &= starts - 1) {
            char* const line = block + std::countr_zero(starts);
            if (wanted.Line(line) && !kept.Add(line)) return false;
        }
    }
    return true;
}

bool WideScanAvailable() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

#endif

}  // namespace

LoadStatus BuildTableForInput(char* text, std::size_t size, bool cutAtLimit, const char* input, std::size_t inputSize,
                              ConversionTable& table, [[maybe_unused]] TableScan scan) {
    // Past this size a file could hold as many records as the record array:
    // which ones it keeps then depends on every line before them.
    if (size >= 2 * kMaxRecords - 1) return BuildTable(text, size, cutAtLimit, table);
    EndText(text, size, cutAtLimit);

    WantedKeys wanted;
#if defined(KESTI_WIDE_SCAN)
    PairFilter filter;
#endif
    for (std::size_t i = 0; i < inputSize; ++i) {
        if (!IsLetter(static_cast<unsigned char>(input[i]))) continue;
        const unsigned char first = FoldCase(static_cast<unsigned char>(input[i]));
        const unsigned char second = i + 1 < inputSize ? FoldCase(static_cast<unsigned char>(input[i + 1])) : 0;
        const unsigned char third = i + 2 < inputSize ? FoldCase(static_cast<unsigned char>(input[i + 2])) : 0;
        wanted.first[first] = wanted.first[first - 0x20] = true;
        wanted.Add(KeyPrefix(first, '\t', 0));
        if (i + 1 < inputSize) wanted.Add(KeyPrefix(first, second, '\t'));
        if (i + 2 < inputSize) wanted.Add(KeyPrefix(first, second, third));
#if defined(KESTI_WIDE_SCAN)
        filter.Add(first, '\t');
        if (i + 1 < inputSize) filter.Add(first, second);
#endif
    }

    // The kept lines' starts wait in the records' key fields, since
    // splitting writes NULs over breaks the scan still needs. The text ends
    // at its first NUL; EndText has put one at its end at the latest.
    const char* const end = static_cast<const char*>(std::memchr(text, '\0', size + 1));
    Kept kept;
    bool scanned = false;
#if defined(KESTI_WIDE_SCAN)
    if (scan == TableScan::Best && WideScanAvailable()) {
        scanned = true;
        filter.Finish();
        if (!ScanWide(text, end, wanted, filter, kept)) {
            std::free(text);
            return LoadStatus::OutOfMemory;
        }
    }
#endif
    if (!scanned && !ScanPortable(text, end, wanted, kept)) {
        std::free(text);
        return LoadStatus::OutOfMemory;
    }
    if (!kept.records) {  // no line kept: room for the end marker alone
        kept.records = static_cast<TableRecord*>(std::malloc(sizeof(TableRecord)));
        if (!kept.records) {
            std::free(text);
            return LoadStatus::OutOfMemory;
        }
    }

    // Each kept line split as the whole split does: the key ends at the
    // first tab, the value at the next tab, break or NUL; a line without a
    // tab yields nothing.
    TableRecord* const records = kept.records;
    const std::size_t lines = kept.count;
    std::size_t count = 0, maxKey = 0, maxValue = 0;
    bool inOrder = true;
    std::uint64_t previousHead = 0;
    for (std::size_t i = 0; i < lines; ++i) {
        char* const key = const_cast<char*>(records[i].key);
        char* tab = key;
        while (*tab != '\t' && *tab != '\0' && !IsBreak(*tab)) ++tab;
        if (*tab != '\t') continue;
        char* const value = tab + 1;
        char* valueEnd = value;
        while (*valueEnd != '\t' && *valueEnd != '\0' && !IsBreak(*valueEnd)) ++valueEnd;
        *tab = '\0';
        *valueEnd = '\0';
        maxKey = std::max<std::size_t>(maxKey, static_cast<std::size_t>(tab - key));
        maxValue = std::max<std::size_t>(maxValue, static_cast<std::size_t>(valueEnd - value));
        if (inOrder) {
            const std::uint64_t head = OrderHead(key);
            if (count > 0 && OutOfOrder(previousHead, records[count - 1].key, head, key)) inOrder = false;
            previousHead = head;
        }
        records[count++] = {key, value};
    }
    kept.records = nullptr;  // the table owns them now
    return FinishTable(text, records, count, maxKey, maxValue, inOrder, table);
}

}  // namespace kesti
