// The lookup index's layout, shared by the code that builds it and the lookup.
#pragma once

#include <cstdint>

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

// One distinct folded prefix of the keys. Node 0 stands for "none".
//
// A node's children are sorted by byte, so they fall into three groups: the
// bytes below 'a' (apostrophes, hyphens, spaces), the letters, and the bytes
// above 'z' (ü, ê, typographic quotes). A letter's child, the common case, is
// found without a search: bit i of `letters` says whether letter 'a' + i has
// one, and the bits below it count the letters before it.
struct IndexNode {
    std::uint32_t firstChild;  // the children are nodes [firstChild, firstChild + childCount)
    std::uint32_t record;      // 1 + the record whose key is exactly this prefix, or 0
    std::uint32_t tail;        // 1 + the only record whose key runs past this prefix, or 0;
                               // such a node has no children: the key's rest is compared directly
    std::uint32_t letters;     // bit i: a child for the letter 'a' + i
    std::uint16_t childCount;
    unsigned char lowCount;    // children whose byte is below 'a'
    unsigned char byte;        // the prefix's last byte, folded
};

// A key matches only where the letters from the cursor to the end of their
// run are its head, the letters it begins with (fewer would leave it
// followed by a letter, more would not fit the input). The heads of up to
// eight letters are kept as folded eight-byte words, so that a lookup in a
// short run finds its head with one load and one compare: the key that is
// the head alone matches then, unless the byte after the run is one that
// some longer key with this head goes on with ("ch" of "ch'ing", "pei" of
// "pei-ching"), and only then is the tree walked.
struct HeadEntry {
    std::uint64_t head;       // the folded letters, zero past them; 0 for an empty slot
    std::uint32_t exact;      // 1 + the record whose key is the head alone (the last of equals), or 0
    std::uint32_t followers;  // 1 + the set in LookupIndex::followers of bytes longer keys go on with, or 0
    // With followers: the deepest node of the tree along the head, and its
    // depth, where a walk for a longer key resumes.
    std::uint32_t node;
    std::uint32_t depth;
};

struct LookupIndex {
    IndexNode* nodes;
    std::uint32_t root[256];  // the node for each folded first letter, or 0
    // Bit n is set when some key begins with exactly n letters. A key that
    // matches where n letters follow the cursor begins with exactly those n
    // letters: a shorter run would leave it followed by a letter, a longer
    // one would not fit the input. Other positions need no lookup at all.
    std::uint64_t* runLengths;
    // Bit 256 * a + b is set when some key begins with the folded bytes a
    // and b (b is 0 for a key of one byte). Most positions inside English
    // words begin no key: this settles them before any lookup.
    std::uint64_t pairs[256 * 256 / 64];
    // The heads of up to eight letters in open addressing over headMask + 1
    // slots, and the sets of bytes that follow them in longer keys (256 bits
    // each). Null when memory could not be had: lookups walk the tree.
    HeadEntry* heads;
    std::uint64_t (*followers)[4];
    std::size_t headMask;
    bool longHeads;  // some key begins with more than eight letters
};

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
