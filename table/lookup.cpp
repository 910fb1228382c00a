// Longest-match lookup in a sorted table.
//
// The records are sorted by their folded keys, so the keys that agree with
// the input over its first m bytes form one contiguous range. The lookup
// narrows that range one input byte at a time with two binary searches on
// the keys' byte m. Keys that end exactly at m sort first in the range (their
// byte m is the NUL), and each of them is a prefix of the input: the longest
// acceptable one seen before the range runs empty is the match. With keys
// "ch", "ch'a", "ch'ang" and "chang", the input "ch'ang." narrows to
// {ch, ch'a, ch'ang} after "ch", to {ch'a, ch'ang} after "ch'", and ends with
// "ch'ang" followed by '.', which is accepted.
//
// The cost depends on the longest key and the table's size, never on the
// length of the run of letters at the cursor, so a pass that retries at every
// letter of a long run stays linear in its input.
#include <algorithm>

#include "table/table.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

unsigned char KeyByte(const TableRecord& record, std::size_t m) {
    return FoldCase(static_cast<unsigned char>(record.key[m]));
}

}  // namespace

bool LookupAtCursor(const ConversionTable& table, const char* text, std::size_t size,
                    MatchResult& match) {
    auto inputAt = [&](std::size_t m) -> unsigned char {
        return m < size ? static_cast<unsigned char>(text[m]) : 0;
    };
    const unsigned char first = inputAt(0);
    if (!IsLetter(first)) return false;

    const unsigned char folded = FoldCase(first);
    const TableRecord* lo = table.records + table.firstByteEnd[folded - 1];
    const TableRecord* hi = table.records + table.firstByteEnd[folded];
    const TableRecord* best = nullptr;
    std::size_t bestLength = 0;
    bool allLetters = true;  // input bytes [0, m) are all letters

    for (std::size_t m = 1; lo != hi; ++m) {
        // Every key in [lo, hi) agrees with the input over [0, m).
        const unsigned char next = inputAt(m);
        if (KeyByte(*lo, m) == 0) {
            const TableRecord* ended =
                std::partition_point(lo, hi, [m](const TableRecord& r) { return KeyByte(r, m) == 0; });
            // A key must not be followed by a letter, and a key that runs
            // past the letters at the cursor must not be followed by a hyphen.
            if (!IsLetter(next) && (allLetters || next != '-')) {
                best = ended - 1;  // the last of equal keys: the file's last record
                bestLength = m;
            }
            lo = ended;
        }
        if (next == 0) break;  // keys never hold a NUL
        if (!IsLetter(next)) allLetters = false;
        const unsigned char want = FoldCase(next);
        lo = std::partition_point(lo, hi, [m, want](const TableRecord& r) { return KeyByte(r, m) < want; });
        hi = std::partition_point(lo, hi, [m, want](const TableRecord& r) { return KeyByte(r, m) == want; });
    }
    if (!best) return false;

    match.value = best->value;
    match.consumed = bestLength;
    match.caseMode = CaseMode::AsIs;
    if (IsUpper(first)) match.caseMode = CaseMode::Capitalized;
    if (IsUpper(static_cast<unsigned char>(text[bestLength - 1]))) match.caseMode = CaseMode::AllCaps;
    return true;
}

}  // namespace kesti
