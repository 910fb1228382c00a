// The engine's view of the tables: the syllable table as a map from a
// normalized Wade-Giles spelling to its Pinyin, the set of Pinyin syllables,
// the English words, the other readings, and the word table as loaded by
// the table module (its keys are looked up with LookupAtCursor, so that a
// key means the same here as in the exact pass).
//
// Normalized spellings are Windows-1252 bytes in lower case, with every
// aspiration apostrophe written ' and ü as 0xFC, ê as 0xEA.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "table/table.h"

namespace kesti {

// How English uses a word (see tools/make_english.py): a function word, a
// common word, a rare one, a proper name, or a Chinese name the English
// lists carry.
enum class EnglishKind : unsigned char { None, Function, Word, Rare, Name, Chinese };

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
    TableOwner syllableOwner, wordOwner, englishOwner, alternativeOwner, conventionalOwner;
    const ConversionTable& wordTable = wordOwner.table;
    const ConversionTable& conventionalTable = conventionalOwner.table;  // established spellings
    SpellingTrie syllables;                 // spelling -> 1 + index into syllableValues
    std::vector<std::string_view> syllableValues;  // Pinyin, inside the syllable table
    SpellingTrie pinyin;                    // every Pinyin syllable the syllable table yields
    SpellingTrie english;                   // lower-case spelling -> 1 + an EnglishKind
    StringMap<std::string> alternatives;    // spelling -> "luo/le": its reading, then the others
    std::size_t maxKeyWords = 1;            // words in the word table's longest key
    std::size_t maxConventionalWords = 1;   // and in the established spellings' longest

    Lexicon() = default;
    Lexicon(const Lexicon&) = delete;
    Lexicon& operator=(const Lexicon&) = delete;

    // The Pinyin of a normalized syllable, or empty. A spelling with ê that
    // the table lacks is tried with e, as typed texts write it.
    std::string_view Syllable(std::string_view spelling) const;
    EnglishKind English(std::string_view spelling) const;
    // Whether `text` (normalized, syllables split by ' or -) is written
    // entirely in Pinyin syllables.
    bool IsPinyin(std::string_view text) const;
    // The lengths of the Pinyin syllables that begin text[0]: bit n for n bytes.
    unsigned PinyinPrefixes(std::string_view text) const;
    // The word table's value for exactly `key` (normalized), or empty.
    std::string_view WordKey(std::string_view key) const;
};

// File names of the tables the engine reads beside the two exact tables.
inline constexpr char kEnglishTableName[] = "kestieng.txt";
inline constexpr char kAlternativesTableName[] = "kestialt.txt";
inline constexpr char kConventionalTableName[] = "kesticnv.txt";

}  // namespace kesti
