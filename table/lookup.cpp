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
// A table with an index (see BuildLookupIndex) is read a run of letters or
// another byte at a time through a hash table instead, which gives the same
// match with far fewer steps.
//
// Either way the cost depends on the longest key and the table's size, never
// on the length of the run of letters at the cursor, so a pass that retries
// at every letter of a long run stays linear in its input.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <tuple>

#include "text/bits.h"
#include "table/index.h"
#include "table/table.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

// Fills `match`'s length and case for a key covering the first `length` input bytes.
void SetCase(const char* text, std::size_t length, MatchResult& match) {
    match.consumed = length;
    match.caseMode = CaseMode::AsIs;
    if (IsUpper(static_cast<unsigned char>(text[0]))) match.caseMode = CaseMode::Capitalized;
    if (IsUpper(static_cast<unsigned char>(text[length - 1]))) match.caseMode = CaseMode::AllCaps;
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

// The longest acceptable key at text[0], a letter, through the index's
// steps (see table/index.h): the input is cut into steps as the keys are,
// and each step is one probe.
bool LookupBySteps(const ConversionTable& table, const char* text, std::size_t size, MatchResult& match) {
    StepMatch best;
    WalkSteps(table, text, size, 0, nullptr, true, best);
    if (!best.value) return false;
    SetCase(text, best.length, match);
    match.value = table.text + best.value - 1;
    match.valueLength = best.valueLength;
    return true;
}

}  // namespace

// No key is longer than table.maxKeyLength, so nothing past that and the
// one byte after it is read: a run of letters is read eight bytes at a
// time where that many may be read, and otherwise up to that limit, with
// zeros past it. A step that reaches the limit belongs to no key, so the
// zeros never decide a match.
void WalkSteps(const ConversionTable& table, const char* text, std::size_t size, std::size_t pos,
               const IndexStep* entry, bool allLetters, StepMatch& best) {
    const LookupIndex& index = *table.index;
    const std::size_t limit = std::min(size, table.maxKeyLength + 1);
    for (;;) {
        if (entry && entry->tail) {
            // One key alone goes on from here: the rest of it, compared directly.
            const TableRecord& record = table.records[entry->tail - 1];
            std::size_t length;
            if (RestMatches(record.key, pos, text, size, allLetters, length))
                best = {static_cast<std::uint32_t>(record.value - table.text + 1),
                        static_cast<std::uint32_t>(std::strlen(record.value)), length};
            return;
        }
        if (pos >= limit) return;
        // The step at pos, read as the keys are, from a copy padded with
        // zeros where fewer than nine bytes may be read.
        Step s;
        if (limit - pos > 8) {
            s = ReadStep(text + pos);
        } else {
            char padded[16] = {};
            std::memcpy(padded, text + pos, limit - pos);
            s = ReadStep(padded);
        }
        if (!IsLetter(static_cast<unsigned char>(text[pos]))) allLetters = false;
        const std::uint64_t step = s.step;
        const std::size_t length = s.length;
        const std::uint32_t key = (entry ? StepsAfter(index, entry) : 0) + (s.goesOn ? 1 : 0);
        const IndexStep* found = FindStep(index, step, key);
        if (!found) return;
        // Some key holds these steps, so pos is within the longest key.
        pos += length;
        const auto after = pos < size ? static_cast<unsigned char>(text[pos]) : 0;
        if (found->value && AcceptedBefore(after, allLetters)) best = {found->value, ValueLength(table, *found), pos};
        if (after == 0 || !(found->next & NextBit(after))) return;  // keys never hold a NUL
        entry = found;
    }
}

bool LookupAtCursor(const ConversionTable& table, const char* text, std::size_t size, MatchResult& match) {
    auto inputAt = [&](std::size_t m) -> unsigned char { return m < size ? static_cast<unsigned char>(text[m]) : 0; };
    const unsigned char first = inputAt(0);
    if (!IsLetter(first)) return false;

    if (table.index) return LookupBySteps(table, text, size, match);

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
    SetCase(text, bestLength, match);
    match.value = best->value;
    match.valueLength = std::strlen(best->value);
    return true;
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
