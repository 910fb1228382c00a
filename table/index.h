// The lookup index's layout, shared by the code that builds it and the lookup.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "text/bits.h"
#include "table/table.h"
#include "text/text_rules.h"

namespace kesti {

// Byte m of a record's key, folded as keys are compared.
inline unsigned char KeyByte(const TableRecord& record, std::size_t m) {
    return FoldCase(static_cast<unsigned char>(record.key[m]));
}

// The rule that accepts a key ending before `next`, the input byte after
// it: a key is never followed by a letter, and a key that ran past the
// letters at the cursor (`allLetters` false: it holds an apostrophe, a
// space, ü...) is not followed by a hyphen either. "pei" is accepted in
// "Pei-ching", "ch'ang" is not in "ch'ang-an".
inline bool AcceptedBefore(unsigned char next, bool allLetters) {
    return !IsLetter(next) && (allLetters || next != '-');
}

// Longer than any real word or name: only hostile tables hold such keys, and
// the pass and the index take extra care with them.
inline constexpr std::size_t kLongKeyLength = 256;

// A key is read in steps: each maximal run of letters is one step, with
// the byte before it when that is no letter, and any other byte is a step
// of its own; a step longer than eight bytes is cut after every eight.
// "Mao Tse-tung" is the steps mao, " tse", "-tung"; "ch'ang" is ch, "'ang".
// Since a key is never followed by a letter, its runs of letters match the
// input only where they are the input's own runs of letters, whole, so the
// input is cut into steps the same way and a lookup follows it a step at a
// time: one probe of a hash table per step, where a walk byte by byte
// would wait on a load per byte.
//
// Each distinct sequence of steps that begins some key beginning with a
// letter is one entry of the table, keyed by its last step and the entry of
// the steps before it, up to where a single key goes on: the rest of that
// key is the entry's tail. An entry's number is its slot, which never
// changes once it is filled (the table is only ever added to).
struct IndexStep {
    // The step's bytes, letters folded, as a little-endian word, zero past
    // them; 0 marks an empty slot.
    std::uint64_t step;
    // 2 * (1 + the slot of the steps before this one, or 0 for the first
    // step) + 1 when the step is eight bytes that the key's run of letters
    // goes on past, which must be told apart from a run ending there.
    std::uint32_t from;
    // Of the record whose key is these steps (the last of equal keys): 1 +
    // where its value begins in the table's text, or 0 when no key is these
    // steps; and its length (see ValueLength).
    std::uint32_t value;
    // What some key does after these steps, a bit for each kind of step
    // that follows (see NextBit). 0 when every key ends here.
    std::uint32_t next;
    // 1 + the record whose key alone goes on past these steps, when no
    // other key does: its rest has no entries and is compared with the
    // input directly. 0 otherwise. (Records are fewer than 2^19.)
    std::uint32_t tail : 19;
    std::uint32_t valueLength : 13;
};
static_assert(sizeof(IndexStep) == 24, "an entry is three words");

// IndexStep::valueLength for a value at least this long, whose length is
// measured when it is matched (only tables made to be hostile hold one).
inline constexpr std::uint32_t kLongValue = (1u << 13) - 1;

inline std::uint32_t ValueLength(const ConversionTable& table, const IndexStep& entry) {
    if (entry.valueLength != kLongValue) return entry.valueLength;
    return static_cast<std::uint32_t>(std::strlen(table.text + entry.value - 1));
}

struct LookupIndex {
    IndexStep* steps;
    std::size_t stepMask;  // the slots are stepMask + 1, a power of two
    std::uint64_t seed;    // mixed into the slots' hash, different for every index
    // A filter of the steps, small enough to stay in the cache where the
    // slots do not: each step sets two bits of one word, so most searches
    // for a step that is not there end without touching the slots, and
    // most without a second probe.
    std::uint64_t* filter;
    std::size_t filterMask;  // the words are filterMask + 1, a power of two
    // Bit n is set when some key begins with exactly n letters. A key that
    // matches where n letters follow the cursor begins with exactly those n
    // letters: a shorter run would leave it followed by a letter, a longer
    // one would not fit the input. Other positions need no lookup at all.
    std::uint64_t* runLengths;
    // Bit 256 * a + b is set when some key begins with the folded bytes a
    // and b (b is 0 for a key of one byte). Most positions inside English
    // words begin no key: this settles them before any lookup.
    std::uint64_t pairs[256 * 256 / 64];
    // Most runs of letters that begin a key begin no longer one either, so
    // that the run alone settles a lookup there (the syllables; not the
    // words, which go on into names).
    bool runsAlone;
};

// The hash of the step `step` after `from`.
inline std::uint64_t StepHash(const LookupIndex& index, std::uint64_t step, std::uint32_t from) {
    std::uint64_t x = (step ^ index.seed) + from * 0xFF51AFD7ED558CCDu;
    x ^= x >> 29;
    return x * 0x9E3779B97F4A7C15u;
}

// The slot where the search for a step with hash `hash` begins.
inline std::size_t StepSlot(const LookupIndex& index, std::uint64_t hash) {
    return static_cast<std::size_t>(hash >> 32) & index.stepMask;
}

// The word of LookupIndex::filter for a step with hash `hash`, and the two
// bits of it that every step with that hash sets.
inline std::size_t FilterWord(const LookupIndex& index, std::uint64_t hash) {
    return static_cast<std::size_t>(hash >> 8) & index.filterMask;
}
inline std::uint64_t FilterBits(std::uint64_t hash) {
    return std::uint64_t{1} << (hash >> 52 & 63) | std::uint64_t{1} << (hash >> 58);
}

// The entry of the step `step` after `from`, or null.
inline const IndexStep* FindStep(const LookupIndex& index, std::uint64_t step, std::uint32_t from) {
    const std::uint64_t hash = StepHash(index, step, from);
    const std::uint64_t bits = FilterBits(hash);
    if ((index.filter[FilterWord(index, hash)] & bits) != bits) return nullptr;
    for (std::size_t slot = StepSlot(index, hash);; slot = (slot + 1) & index.stepMask) {
        const IndexStep& entry = index.steps[slot];
        if (entry.step == step && entry.from == from) return &entry;
        if (entry.step == 0) return nullptr;
    }
}

// IndexStep::from for the step after `entry`.
inline std::uint32_t StepsAfter(const LookupIndex& index, const IndexStep* entry) {
    return 2 * static_cast<std::uint32_t>(entry - index.steps + 1);
}

// The longest acceptable key found so far by WalkSteps.
struct StepMatch {
    std::uint32_t value = 0;  // as IndexStep::value; 0 for none
    std::uint32_t valueLength = 0;
    std::size_t length = 0;  // the input bytes the key covers
};

// Follows the input's steps from text[pos] on, after `entry`, the entry of
// the steps of text[0, pos) (null at the cursor, where text[0] must be a
// letter), updating `best` with every longer key that matches. `allLetters`
// says whether the bytes before pos are all letters. Reads at most
// table.maxKeyLength + 1 bytes from text[0], and none past text[size - 1].
void WalkSteps(const ConversionTable& table, const char* text, std::size_t size, std::size_t pos,
               const IndexStep* entry, bool allLetters, StepMatch& best);

// The bit of IndexStep::next for the byte `b` coming next: bit 31 for a
// letter, else the byte's low five bits (bytes that share them share a bit,
// which costs a probe now and then but never a match).
inline std::uint32_t NextBit(unsigned char b) { return std::uint32_t{1} << (IsLetter(b) ? 31 : b & 31); }

// Whether a key can match at text[0], judged by its first two bytes;
// false means LookupAtCursor finds nothing there.
inline bool MayBeginKey(const LookupIndex& index, const char* text, std::size_t size) {
    const unsigned first = FoldCase(static_cast<unsigned char>(text[0]));
    const unsigned char next = size > 1 ? static_cast<unsigned char>(text[1]) : 0;
    const unsigned pair = first * 256 + FoldCase(next);
    if (index.pairs[pair / 64] >> (pair % 64) & 1) return true;
    // A key of one byte, not followed by a letter.
    return (index.pairs[first * 4] & 1) && !IsLetter(next);
}

void ReleaseLookupIndex(ConversionTable& table);

// Whether a key can match at a cursor followed by exactly `letters` letters
// and then a byte that is not a letter (or the end of the whole input). When
// false, LookupAtCursor would find nothing there. Long runs of letters are
// thereby never looked up beyond their last table.maxKeyLength positions,
// and with the index only where some key begins with that many letters.
inline bool MatchPossible(const ConversionTable& table, std::size_t letters) {
    if (letters > table.maxKeyLength) return false;
    return !table.index || (table.index->runLengths[letters / 64] >> (letters % 64) & 1);
}

}  // namespace kesti
