// The engine's view of the tables: the syllable table as a map from a
// normalized Wade-Giles spelling to its Pinyin, the set of Pinyin syllables,
// the English words, the other readings, and the word table as loaded by
// the table module (its keys are looked up with LookupAtCursor, or a word
// whole through an index that finds what that lookup finds, so that a key
// means the same here as in the exact pass).
//
// Normalized spellings are Windows-1252 bytes in lower case, with every
// aspiration apostrophe written ' and ü as 0xFC, ê as 0xEA.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "prose/word_map.h"
#include "table/table.h"

namespace kesti {

// How English uses a word (see tools/make_english.py), on the scale of
// SCOWL's size classes, from "the" to "Chin": a function word; a word in
// lower case first listed at size 10, 20, 35, 50 (40-50), 70 (55-70) or 95
// (80-95); a name the lists carry only with a capital, up to size 50 or
// beyond; or a Chinese name the English lists carry in Pinyin.
enum class EnglishClass : unsigned char {
    None,
    Function,
    Size10,
    Size20,
    Size35,
    Size50,
    Size70,
    Size95,
    Name50,
    Name95,
    Chinese,
    Surname,  // a name the lists carry that is one of the commonest Chinese surnames ("Liang", "Teng")
};
inline constexpr int kEnglishClasses = 12;

// Whether English uses the word at all (a Chinese name in Pinyin is not English).
inline bool IsEnglish(EnglishClass c) { return c != EnglishClass::None && c != EnglishClass::Chinese; }
// A word English writes in lower case, on the scale from function words to size 95.
inline bool IsEnglishWord(EnglishClass c) { return c >= EnglishClass::Function && c <= EnglishClass::Size95; }
// A word English uses commonly: up to SCOWL's size 50, or a common name.
// Beyond it the lists hold rare and foreign words, Wade-Giles ones among them.
inline bool IsCommonEnglish(EnglishClass c) {
    return (c >= EnglishClass::Function && c <= EnglishClass::Size50) || c == EnglishClass::Name50;
}
// One of the commonest English words: a function word, or SCOWL's sizes 10 and 20.
inline bool IsCommonestEnglish(EnglishClass c) { return c >= EnglishClass::Function && c <= EnglishClass::Size20; }

// Whether a normalized Wade-Giles syllable is spelled as only Wade-Giles
// spells: hs-, ts- or tz-, an aspiration apostrophe, -ih, ü, ŭ or ê, -ung,
// -ien, -ieh, -üeh, -uei, ch before i or ü, ssu or szu. Neither Pinyin nor
// English, nor the Japanese and Korean romanizations, spell syllables so
// ("Sato" and "Kato" are made of Wade-Giles syllables, but none of these).
bool WadeGilesMarked(std::string_view syllable);

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};
template <typename V>
using StringMap = std::unordered_map<std::string, V, StringHash, std::equal_to<>>;

// Short spellings (syllables) found one byte at a time, without hashing:
// the letters a-z, ü (0xFC), ê (0xEA), the apostrophe and the hyphen.
struct SpellingTrie {
    static constexpr int kSymbols = 30;
    struct Node {
        std::uint16_t next[kSymbols] = {};  // 0: no child (the root is no one's child)
        std::uint32_t value = 0;            // 1 + the index of its value, or 0
    };
    std::vector<Node> nodes = std::vector<Node>(1);

    static int Symbol(unsigned char b) {
        if (b >= 'a' && b <= 'z') return b - 'a';
        if (b == 0xFC) return 26;
        if (b == 0xEA) return 27;
        if (b == '\'') return 28;
        if (b == '-') return 29;
        return -1;
    }
    // False when the trie is full or the key holds another byte.
    bool Insert(std::string_view key, std::uint32_t value);
    // Whether a key was left out for want of room (node numbers are 16 bits).
    bool Full() const { return nodes.size() >= UINT16_MAX; }
    // 1 + the index of the value stored for `key`, or 0.
    std::uint32_t Find(std::string_view key) const {
        std::uint16_t node = 0;
        for (char c : key) {
            const int symbol = Symbol(static_cast<unsigned char>(c));
            if (symbol < 0 || !(node = nodes[node].next[symbol])) return 0;
        }
        return nodes[node].value;
    }
};

struct Lexicon {
    TableOwner syllableOwner, wordOwner, englishOwner, alternativeOwner, conventionalOwner, addedOwner;
    const ConversionTable& wordTable = wordOwner.table;
    // The word table's keys, each found whole (WholeKey): slots
    // by a hash of the key folded as lookups fold it, each 1 + a record's
    // number in its low bits (kWholeRecord; 0 for none) and the hash's high
    // bits above, so that most other keys are passed over unread. A key the
    // table holds more than once gives its last record, as a lookup does.
    static constexpr std::uint32_t kWholeRecord = (1u << 19) - 1;  // past kMaxRecords + 1
    static_assert(kMaxRecords + 1 <= kWholeRecord);
    std::vector<std::uint32_t> wholeKeys;
    const ConversionTable& addedTable = addedOwner.table;                // one's own names, before all the others
    const ConversionTable& conventionalTable = conventionalOwner.table;  // established spellings
    SpellingTrie syllables;                                              // spelling -> 1 + index into syllableValues
    std::vector<std::string_view> syllableValues;                        // Pinyin, inside the syllable table
    std::vector<bool> syllableMarked;  // beside each: its spelling is one only Wade-Giles has
    std::vector<bool> syllablePinyin;  // and whether Pinyin syllables spell it too (IsPinyin, strict)
    // syllableValues from this index on are older spellings the syllable
    // table leaves out ("teh", "tze"), which the text mode reads too.
    std::size_t firstOlderSyllable = 0;
    SpellingTrie pinyin;                  // every Pinyin syllable the syllable table yields
    WordMap<EnglishClass> english;        // lower-case spelling -> how English uses it
    StringMap<std::string> alternatives;  // spelling -> "luo/le": its reading, then the others
    // The word table's keys that hold an aspiration apostrophe, ü or ê, by
    // their spelling without them, for texts that dropped them: "ts'ai
    // yüan-p'ei" under "tsai yuan-pei".
    struct Degraded {
        const char* key;  // inside the word table
        const char* value;
        // The spelling without the marks is a real word of its own, which
        // the other readings list: "chia-ching" (Jiajing) under "chia-ch'ing".
        // Its value there, or null.
        const char* writtenRight = nullptr;
    };
    // Built on the first lookup (DegradedKey), by whichever thread asks
    // first: a text that writes the marks, and English that names nothing
    // Chinese, never asks, and the map is the largest the tables' loading
    // would fill.
    mutable WordMap<Degraded> degraded;
    mutable std::once_flag degradedBuilt;
    // The other readings' records of hyphenated spellings, in order: the
    // first value each gives is the writtenRight of its degraded key.
    std::vector<std::uint32_t> writtenRight;
    // The words keys begin with, for the keys across words: a word that
    // begins none needs no lookup there. Bits of KeyStart, by a hash of the
    // word: words that share a slot share their bits, which costs a lookup
    // and never a match. A million slots: a capitalized English word shares
    // a slot with a key's first word about once in a hundred, which sends
    // its paragraph through the full reading (see KnownEnglishOnly). Four
    // bits a slot, two slots a byte: half a megabyte, which a short run of
    // the command touches every page of.
    static constexpr unsigned kKeyStartBits = 20;
    std::vector<unsigned char> keyStarts = std::vector<unsigned char>(std::size_t{1} << (kKeyStartBits - 1));
    unsigned KeyStartsAt(std::size_t slot) const { return keyStarts[slot >> 1] >> (slot & 1) * 4 & 0xFu; }
    void AddKeyStarts(std::size_t slot, unsigned bits) {
        keyStarts[slot >> 1] |= static_cast<unsigned char>(bits << (slot & 1) * 4);
    }
    std::size_t maxKeyWords = 1;           // words in the word table's longest key
    std::size_t maxConventionalWords = 1;  // and in the established spellings' longest
    std::size_t maxAddedWords = 0;         // and in one's own names' longest; 0 without any

    Lexicon() = default;
    Lexicon(const Lexicon&) = delete;
    Lexicon& operator=(const Lexicon&) = delete;

    // The Pinyin of a normalized syllable, or empty. A spelling with ê that
    // the table lacks is tried with e, as typed texts write it.
    std::string_view Syllable(std::string_view spelling) const;
    // Whether `spelling` is one of the older spellings (firstOlderSyllable).
    bool OlderSpelling(std::string_view spelling) const {
        const std::uint32_t found = syllables.Find(spelling);
        return found > firstOlderSyllable;
    }
    // The same, and whether the spelling is one only Wade-Giles has.
    std::string_view Syllable(std::string_view spelling, bool& marked) const;
    // The same, and whether IsPinyin(spelling, strict): a word of such syllables
    // joined by hyphens is Pinyin when each of them is.
    std::string_view Syllable(std::string_view spelling, bool& marked, bool& pinyin) const;
    EnglishClass English(std::string_view spelling) const;
    // The lengths of the Wade-Giles syllables that begin text[0], apostrophe
    // included: bit n for n bytes.
    unsigned WadeGilesPrefixes(std::string_view text) const;
    // Whether `text` (normalized, syllables split by ' or -) is written
    // entirely in Pinyin syllables; `strict`: as Pinyin's orthography
    // writes them, with an apostrophe before a syllable that begins with
    // a, e or o inside a word ("chia" is no chi'a).
    bool IsPinyin(std::string_view text, bool strict = false) const;
    // The lengths of the Pinyin syllables that begin text[0]: bit n for n bytes.
    unsigned PinyinPrefixes(std::string_view text) const;
    // The value for exactly `key` (normalized) in one's own names, else in
    // the word table, or empty.
    std::string_view WordKey(std::string_view key) const;
    // The word table's record whose key is exactly `key`, ignoring the case
    // of ASCII letters (the last of equal keys, as a lookup finds), or null.
    const TableRecord* WholeKey(std::string_view key) const;
    // The word-table key that `key` (normalized) is with its aspiration
    // apostrophes and ü or ê dropped, or null.
    const Degraded* DegradedKey(std::string_view key) const;
    // Fills `degraded`; DegradedKey calls it once.
    void BuildDegraded() const;
    // Which tables have a key that begins with the word `lower` (normalized)
    // as a whole word: bits of KeyStart.
    unsigned KeyStarts(std::string_view lower) const;
};

enum KeyStart : unsigned {
    kStartsAdded = 1,         // a key of one's own names (of one word or more)
    kStartsConventional = 2,  // an established spelling
    kStartsUnit = 4,          // a word-table key of two words or more
    kStartsDegradedUnit = 8,  // one, as a text that dropped its marks writes it
};

// File names of the tables the engine reads beside the two exact tables.
inline constexpr char kEnglishTableName[] = "kestieng.txt";
inline constexpr char kAlternativesTableName[] = "kestialt.txt";
inline constexpr char kConventionalTableName[] = "kesticnv.txt";

}  // namespace kesti
