// Longest-match lookup in a sorted table.
//
// The records are sorted by their folded keys, so the keys that agree with
// the input over its first m bytes form one contiguous range. The lookup
// narrows that range one input byte at a time with a binary search for the
// keys whose byte m is the input's. Keys that end exactly at m sort first in the range (their
// byte m is the NUL), and each of them is a prefix of the input: the longest
// acceptable one seen before the range runs empty is the match. With keys
// "ch", "ch'a", "ch'ang" and "chang", the input "ch'ang." narrows to
// {ch, ch'a, ch'ang} after "ch", to {ch'a, ch'ang} after "ch'", and ends with
// "ch'ang" followed by '.', which is accepted.
//
// A table with an index (see BuildLookupIndex) is walked down its tree of
// prefixes instead, which gives the same match with far fewer steps.
//
// Either way the cost depends on the longest key and the table's size, never
// on the length of the run of letters at the cursor, so a pass that retries
// at every letter of a long run stays linear in its input.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <tuple>

#include "table/bits.h"
#include "table/index.h"
#include "table/table.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

// Fills `match` for `record`'s key covering the first `length` input bytes.
bool Matched(const TableRecord& record, const char* text, std::size_t length, MatchResult& match) {
    match.value = record.value;
    match.consumed = length;
    match.caseMode = CaseMode::AsIs;
    if (IsUpper(static_cast<unsigned char>(text[0]))) match.caseMode = CaseMode::Capitalized;
    if (IsUpper(static_cast<unsigned char>(text[length - 1]))) match.caseMode = CaseMode::AllCaps;
    return true;
}

// Whether `key`, which agrees with the input over [0, m), matches it whole
// and acceptably: not followed by a letter, nor by a hyphen once it has run
// past the letters at the cursor. `allLetters` says whether input bytes
// [0, m) are all letters. Sets `length` to the key's length when it matches.
bool RestMatches(const char* key, std::size_t m, const char* text, std::size_t size, bool allLetters,
                 std::size_t& length) {
    std::size_t k = m;
    for (; key[k] != '\0' && k < size; ++k) {
        const auto c = static_cast<unsigned char>(text[k]);
        if (FoldCase(static_cast<unsigned char>(key[k])) != FoldCase(c)) return false;
        if (!IsLetter(c)) allLetters = false;
    }
    if (key[k] != '\0') return false;  // the input ended first
    const unsigned char after = k < size ? static_cast<unsigned char>(text[k]) : 0;
    if (!AcceptedBefore(after, allLetters)) return false;
    length = k;
    return true;
}

// The longest acceptable key down the index's tree: the same rules as the
// search below, one child step per input byte. Returns 1 + its record, or 0.
// `from` and `depth` resume a walk at a node whose prefix, `depth` letters,
// the input is known to begin with; by default the walk begins at the root.
std::uint32_t IndexedLookup(const LookupIndex& index, const TableRecord* records, const char* text,
                            std::size_t size, std::size_t& length, std::uint32_t from = 0,
                            std::size_t depth = 1) {
    auto inputAt = [&](std::size_t m) -> unsigned char {
        return m < size ? static_cast<unsigned char>(text[m]) : 0;
    };
    const IndexNode* node = index.nodes + (from ? from : index.root[FoldCase(inputAt(0))]);
    std::uint32_t best = 0;
    bool allLetters = true;  // input bytes [0, m) are all letters
    for (std::size_t m = depth; node != index.nodes; ++m) {
        // The node is the input's first m bytes, folded.
        const unsigned char next = inputAt(m);
        if (node->record && AcceptedBefore(next, allLetters)) {
            best = node->record;
            length = m;
        }
        if (node->tail) {
            // A single key runs on from here.
            if (RestMatches(records[node->tail - 1].key, m, text, size, allLetters, length)) best = node->tail;
            break;
        }
        if (next == 0) break;
        if (!IsLetter(next)) allLetters = false;
        const unsigned char want = FoldCase(next);
        if (want >= 'a' && want <= 'z') {
            const unsigned bit = want - 'a';
            if (!(node->letters >> bit & 1)) break;
            node = index.nodes + node->firstChild + node->lowCount + CountBits(node->letters & ((1u << bit) - 1));
        } else {
            const IndexNode* child = index.nodes + node->firstChild;
            const IndexNode* const last = child + node->childCount;
            while (child != last && child->byte < want) ++child;
            node = child != last && child->byte == want ? child : index.nodes;
        }
    }
    return best;
}

// The lookup through the index's heads at text[0], a letter with at
// least nine input bytes from it, in a table whose keys run to seven bytes
// or more: 1 when it settles a match, 0 when it settles that there is none,
// -1 when the tree must be walked (a run of nine letters or more with keys
// that begin with that many, or a byte after the run that a longer key
// with this head goes on with; `resume` then says where the walk may begin).
int LookupByHead(const ConversionTable& table, const char* text, MatchResult& match, const HeadEntry*& resume) {
    const LookupIndex& index = *table.index;
    const std::uint64_t word = LoadWord(text);
    // 0x80 in each byte that is a letter: below 0x80, and between 'a' and
    // 'z' once bit 5 is set. Seven-bit sums cannot carry into the next byte.
    const std::uint64_t low7 = (word | 0x20 * kEveryByte) & (0x7F * kEveryByte);
    const std::uint64_t letters =
        (low7 + 0x1F * kEveryByte) & ~(low7 + 0x05 * kEveryByte) & ~word & (0x80 * kEveryByte);
    const std::uint64_t others = ~letters & (0x80 * kEveryByte);
    unsigned run = 8;
    std::uint64_t head = word | letters >> 2;
    if (others != 0) {
        run = static_cast<unsigned>(std::countr_zero(others)) / 8;
        head &= (std::uint64_t{1} << (8 * run)) - 1;
    } else {
        // Eight letters or more: no key is that long, or the ninth byte
        // (which a lookup may read then) tells a run of eight from a longer
        // one, which only a key beginning with more letters could match.
        if (table.maxKeyLength < 8) return 0;
        if (IsLetter(static_cast<unsigned char>(text[8]))) return index.longHeads ? -1 : 0;
    }
    const auto after = static_cast<unsigned char>(text[run]);
    for (std::size_t slot = (head * 0x9E3779B97F4A7C15u) >> 40 & index.headMask;;
         slot = (slot + 1) & index.headMask) {
        const HeadEntry& entry = index.heads[slot];
        if (entry.head == 0) return 0;  // no key begins with exactly these letters
        if (entry.head != head) continue;
        if (entry.followers && (index.followers[entry.followers - 1][after / 64] >> (after % 64) & 1)) {
            resume = &entry;
            return -1;
        }
        // The key of the run alone, followed by a byte that is no letter.
        return entry.exact ? Matched(table.records[entry.exact - 1], text, run, match) : 0;
    }
}

}  // namespace

bool LookupAtCursor(const ConversionTable& table, const char* text, std::size_t size,
                    MatchResult& match) {
    auto inputAt = [&](std::size_t m) -> unsigned char {
        return m < size ? static_cast<unsigned char>(text[m]) : 0;
    };
    const unsigned char first = inputAt(0);
    if (!IsLetter(first)) return false;

    if (table.index) {
        // It reads eight bytes, which a lookup may when keys are that long.
        const HeadEntry* resume = nullptr;
        if (table.index->heads && size > 8 && table.maxKeyLength >= 7) {
            const int settled = LookupByHead(table, text, match, resume);
            if (settled >= 0) return settled == 1;
        }
        std::size_t length = 0;
        const std::uint32_t found =
            resume ? IndexedLookup(*table.index, table.records, text, size, length, resume->node, resume->depth)
                   : IndexedLookup(*table.index, table.records, text, size, length);
        if (!found) return false;
        return Matched(table.records[found - 1], text, length, match);
    }

    const unsigned char folded = FoldCase(first);
    const TableRecord* lo = table.records + table.firstByteEnd[folded - 1];
    const TableRecord* hi = table.records + table.firstByteEnd[folded];
    const TableRecord* best = nullptr;
    std::size_t bestLength = 0;
    bool allLetters = true;  // input bytes [0, m) are all letters

    for (std::size_t m = 1; lo != hi; ++m) {
        // Every key in [lo, hi) agrees with the input over [0, m).
        if (hi - lo == 1) {
            // One candidate left, as after a few bytes in most lookups: the
            // rest of its key is compared directly instead of searched.
            if (RestMatches(lo->key, m, text, size, allLetters, bestLength)) best = lo;
            break;
        }
        const unsigned char next = inputAt(m);
        if (KeyByte(*lo, m) == 0) {
            const TableRecord* ended =
                std::partition_point(lo, hi, [m](const TableRecord& r) { return KeyByte(r, m) == 0; });
            if (AcceptedBefore(next, allLetters)) {
                best = ended - 1;  // the last of equal keys: the file's last record
                bestLength = m;
            }
            lo = ended;
        }
        if (next == 0) break;  // keys never hold a NUL
        if (!IsLetter(next)) allLetters = false;
        const unsigned char want = FoldCase(next);
        // Both ends at once: the two searches share their first halvings.
        struct ByteAt {
            std::size_t m;
            bool operator()(const TableRecord& r, unsigned char b) const { return KeyByte(r, m) < b; }
            bool operator()(unsigned char b, const TableRecord& r) const { return b < KeyByte(r, m); }
        };
        std::tie(lo, hi) = std::equal_range(lo, hi, want, ByteAt{m});
    }
    if (!best) return false;
    return Matched(*best, text, bestLength, match);
}

bool LookupInScan(const ConversionTable& table, const char* input, std::size_t size, std::size_t cursor,
                  LookupScan& scan, MatchResult& match) {
    if (table.maxKeyLength > kLongKeyLength && IsLetter(static_cast<unsigned char>(input[cursor]))) {
        // Each byte is scanned for this once. (A run that reaches the end
        // of a partial input may go on in the next piece, but a pass stops
        // more than the longest key before such an end, so the run's true
        // length would give the same answer.)
        if (cursor >= scan.runEnd) {
            scan.runEnd = cursor + 1;
            while (scan.runEnd < size && IsLetter(static_cast<unsigned char>(input[scan.runEnd]))) ++scan.runEnd;
        }
        if (!MatchPossible(table, scan.runEnd - cursor)) return false;
    }
    return LookupAtCursor(table, input + cursor, size - cursor, match);
}

}  // namespace kesti
