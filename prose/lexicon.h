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
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

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
using StringSet = std::unordered_set<std::string, StringHash, std::equal_to<>>;

struct Lexicon {
    ConversionTable syllableTable, wordTable, englishTable, alternativeTable;
    StringMap<std::string_view> syllables;  // spelling -> Pinyin, both inside the tables
    StringSet pinyin;                       // every Pinyin syllable the syllable table yields
    StringMap<EnglishKind> english;         // lower-case spelling -> how English uses it
    StringMap<std::string> alternatives;    // spelling -> "luo/le": its reading, then the others
    std::size_t maxKeyWords = 1;            // words in the word table's longest key

    Lexicon() = default;
    ~Lexicon();
    Lexicon(const Lexicon&) = delete;
    Lexicon& operator=(const Lexicon&) = delete;

    // The Pinyin of a normalized syllable, or empty. A spelling with ê that
    // the table lacks is tried with e, as typed texts write it.
    std::string_view Syllable(std::string_view spelling) const;
    EnglishKind English(std::string_view spelling) const;
    // Whether `text` (normalized, syllables split by ' or -) is written
    // entirely in Pinyin syllables.
    bool IsPinyin(std::string_view text) const;
    // The word table's value for exactly `key` (normalized), or empty.
    std::string_view WordKey(std::string_view key) const;
};

// File names of the tables the engine reads beside the two exact tables.
inline constexpr char kEnglishTableName[] = "kestieng.txt";
inline constexpr char kAlternativesTableName[] = "kestialt.txt";

}  // namespace kesti
