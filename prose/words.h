// The words of one scope as the engine's stages see them, and the first
// stage, which finds and reads them: runs of word characters, the
// syllables each is made of, its case and tones, the sentences and lines
// they stand in, the name groups capitalized neighbours form, and the word
// table's keys across words ("Mao Tse-tung").
//
// The later stages fill in the rest of a Run: decide.h what it is
// (romanized Chinese or not), spell.h its Pinyin, and scope.cpp writes it.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "prose/chars.h"
#include "prose/lexicon.h"
#include "prose/prose.h"
#include "prose/scope.h"
#include "prose/word_hash.h"
#include "text/bits.h"

namespace kesti {

enum class CaseStyle : unsigned char {
    Lower,        // "pei-ching"
    Capitalized,  // "Pei-ching", "Pei-Ching"
    AllCaps,      // "PEI-CHING"
    Mixed,        // a capital after a small letter: "NaN", "iPod", "McDonald"; no romanization
};

struct Syllable {
    std::uint32_t norm = 0, normLength = 0;  // its spelling inside ScopeWork::norm
    char32_t separator = 0;                  // the hyphen (or en dash) before it, 0 for none
    char32_t toneChar = 0;                   // the tone as written, 0 for none
    int tone = 0;
    std::string_view pinyin;  // its reading, empty when it is no syllable
    bool marked = false;      // spelled as only Wade-Giles spells (see WadeGilesMarked)
    bool wrapped = false;     // its hyphen ends a line: the word goes on at the next line's start
};

inline constexpr std::uint32_t kNone = UINT32_MAX;

struct Run {
    std::uint32_t begin = 0, end = 0;        // bytes of the scope
    std::uint32_t baseEnd = 0;               // before a possessive 's
    std::uint32_t norm = 0, normLength = 0;  // the whole word normalized, syllables joined by -
    std::uint32_t firstSyllable = 0, syllableCount = 0;
    std::uint32_t sentence = 0;   // in lines mode no sentence crosses a line
    std::uint32_t line = 0;       // the scope's line it begins on, from 0
    std::uint32_t group = kNone;  // the name group of capitalized neighbours
    std::uint32_t unitEnd = 0;    // for the first run of a key across words: one past its last
    std::string_view wordValue;   // the word table's value for this run alone, or its unit's
    // The word-table key this run (or unit) is with aspiration apostrophes
    // and ü dropped, and its value: a unit is read by it, a single word
    // where readDegraded says so, else it only lists it as another reading.
    std::string_view degradedKey, degradedValue;
    bool readDegraded = false;
    // The unit it begins is a surname and a given name of two syllables
    // written apart ("Mao Tse Tung"), matched as the key that joins them
    // ("Mao Tse-tung"): the value's second word stands for the last two.
    bool givenApart = false;
    CaseStyle caseStyle = CaseStyle::Lower;
    EnglishClass english = EnglishClass::None;
    bool shaped = false;        // letters, apostrophes, hyphens and tones as a romanized word has them
    bool pinyinShaped = false;  // letters (tone marks allowed), apostrophes and hyphens
    bool pinyinMarks = false;   // a vowel with a Pinyin tone mark
    bool glued = false;         // part of an address, a path or an identifier
    bool allSyllables = false;  // every syllable a Wade-Giles syllable
    bool solid = false;         // a place written without hyphens, split into its syllables (Hsinchuang)
    bool tones = false;
    bool candidate = false;  // could convert: its syllables, a word-table key, a solid place
    bool marked = false;     // a syllable spelled as only Wade-Giles spells (see WadeGilesMarked)
    bool evidence = false;   // marked and no common English word ("Chin", "Jung" are not)
    // Spelled so only in Wade-Giles (no Pinyin reading): worked out when
    // asked (0 not yet, 1 no, 2 yes).
    unsigned char wadeGilesOnly = 0;
    unsigned char pinyinReading = 0;  // whether Pinyin can read it: 0 not asked yet, 1 no, 2 yes
    bool pinyinOnly = false;          // spelled so only in Pinyin
    bool sentenceStart = false;
    bool lineStart = false;
    bool itemStart = false;  // first on its line, or after a list's number there ("1. Ho, Ping-ti")
    bool isPronounI = false;
    bool inUnit = false;            // covered by a key across words
    bool established = false;       // the unit it begins is an established spelling
    bool master = false;            // "Tzu" after a name: joined to it ("Meng Tzu" -> "Mengzi")
    bool dynastyYears = false;      // a dynasty's name before its span of years (see MarkDynasty)
    bool besideDynasty = false;     // Chin joined to a dynasty's name (see MarkDynasty)
    bool western = false;           // a Western name (see IsWestern), asked once when groups form
    unsigned char keyStarts = 0;    // which tables' keys across words it could begin (Lexicon::KeyStarts)
    bool title = false;             // a word that stands before a name as before a noun (IsTitle)
    bool aspirated = false;         // an aspiration apostrophe after a Wade-Giles initial ("Ch'ing")
    bool umlaut = false;            // a syllable with ü
    bool giles = false;             // ê or ŭ, which only a text that keeps every mark writes
    bool vietnamese = false;        // a letter only Vietnamese writes (see VietnameseLetter)
    bool determiner = false;        // a word after which a capital makes a common noun (IsDeterminer)
    bool romanizedPhrase = false;   // in brackets that hold romanized words only, or a title after a label's colon
                                    // (see MarkRomanizedPhrases)
    bool spelledByPlace = false;    // spelled as its neighbours say (SpellingDependsOnPlace): never from the cache
    // A syllable after the first begins with a capital ("Ch'eng-Chu", "CH'ING-SHIH").
    bool capitalAfterHyphen = false;
    unsigned char wrap = 0;         // the gap before it is a line's wrap, read as kWraps[wrap - 1] (see WrapOf)
    bool hyphenWrapped = false;     // hyphenated at its line's end, it goes on on the next line ("Wên-\nlung")
    std::uint32_t reading = kNone;  // its entry in the scope's WordCache, when it has one
    // What the decision made of it.
    bool chinese = false;  // converted
    bool ambiguous = false;
    Decision decision = Decision::English;
};

struct Sentence {
    std::uint32_t firstRun = 0, endRun = 0;
    std::uint32_t pinyin = 0;       // words spelled so only in Pinyin
    // The first romanized word with tone numbers (a run), and whether
    // another is written otherwise: "ma1 ma3", not "sun4 ... sun4".
    std::uint32_t firstToned = kNone;
    bool tonedVaried = false;
    signed char code = -1;          // holds letters and a digit no syllable reads ("j1"): -1 not known yet
    std::uint32_t tonedLonger = 0;  // romanized words with tone numbers of more than one letter
    std::uint32_t marked = 0;       // words with a spelling only Wade-Giles has
    int loanMarked = -1;            // of them, those inside English loans ("kung fu"); -1 not counted yet
    std::uint32_t english = 0;      // words that could not be romanized Chinese (English, or other)
    std::uint32_t words = 0;
    std::uint32_t candidates = 0;  // words that could convert: the decision has work only where there are some
    int wadeGiles = -1;            // holds a word spelled so only in Wade-Giles: -1 not known yet, 0 no, 1 yes
    int otherLanguage = -1;        // is written in a language neither English nor romanized: -1 not known yet
    bool apostrophes = false;      // an aspiration apostrophe in it (in lines mode, in its line)
    bool umlauts = false;          // a ü (or ŭ) in it (in lines mode, in its line)
    bool vietnamese = false;       // a word with a letter only Vietnamese writes in it
    bool pinyinTones = false;      // its toned words are Pinyin's own notation, left as written
};

struct Group {
    std::uint32_t firstRun = 0, endRun = 0;
    bool pinyin = false, western = false, pronounRule = false;
    // A hyphenated name in it is in another romanization ("Tsai Ing-wen",
    // "Tung Chee-hwa"): none of it is Wade-Giles.
    bool otherRomanization = false;
    // A name alone between a list's commas or in brackets, in a paragraph
    // that lists people mostly by Western names (see ListedPeople): its
    // bearer's own spelling, unless the word table knows it whole.
    bool listedPerson = false;
};

// ASCII letters and digits, by byte.
inline constexpr auto kAsciiWordByte = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x80; ++c)
        table[c] = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return table;
}();

// Where the ASCII letters and digits from byte `i` of `text` on end:
// sixteen bytes, then eight at a time while as many remain (a word's end
// is then found without a branch per byte), the last few by the table.
inline std::size_t AsciiWordEnd(std::string_view text, std::size_t i) {
    for (; i + 16 <= text.size(); i += 16) {
        const unsigned others = ~LetterDigitMask(text.data() + i) & 0xFFFFu;
        if (others) return i + static_cast<std::size_t>(std::countr_zero(others));
    }
    for (; i + 8 <= text.size(); i += 8) {
        const std::uint64_t word = LoadWord(text.data() + i);
        const std::uint64_t others = ~(LetterBytes(word) | DigitBytes(word)) & (0x80 * kEveryByte);
        if (others) return i + static_cast<std::size_t>(std::countr_zero(others)) / 8;
    }
    while (i < text.size() && kAsciiWordByte[static_cast<unsigned char>(text[i])]) ++i;
    return i;
}

// What reading a word found that depends on its letters alone (its
// syllables, case, English class, table values; not where it stands), kept
// for the words a stream meets again: most words of a text are ones it has
// met before. Held in a few flat arrays, without an allocation per word,
// and bounded: when full, it keeps the words met again since it last filled
// (a text's common words) and drops the others (the names it mentions
// once). A larger bound reads fewer words again, but its entries no longer
// stay in the processor's caches, and a text converts more slowly.
struct WordCache {
    static constexpr std::uint32_t kMost = 1 << 13;  // words kept
    static constexpr std::uint32_t kFirstSlots = 1 << 10;
    static constexpr std::size_t kLongest = 48;  // bytes of a word kept

    struct Entry {
        std::uint32_t norm = 0;           // in bytes, after the key
        std::uint32_t firstSyllable = 0;  // in syllables (norm offsets from the word's)
        // The word converted on its own, in bytes, once it has been.
        std::uint32_t spelled = UINT32_MAX, spelledLength = 0;
        // The word-table key the word is with its marks dropped, once asked
        // (Lexicon::DegradedKey): null for none.
        const Lexicon::Degraded* degraded = nullptr;
        bool degradedAsked = false;
        Run run;  // the fields a run takes from its letters
    };
    // Where each entry's word as written is kept.
    struct Key {
        std::uint32_t at = 0, length = 0;  // in bytes
    };
    // A slot of the open addressing over the entries, holding what finding
    // a word asks: its head and length, which tell a word of up to sixteen
    // bytes whole, and whether it is plain. A lookup of a plain word reads
    // its slot alone: most of a text's words are found and passed over,
    // and the entries are larger than the processor's caches.
    struct Slot {
        WordHead head;
        std::uint32_t entry = 0;   // 1 + the entry's index; 0 for an empty slot
        std::uint32_t length = 0;  // of the word, in bytes
        // Could not convert, nor begin a key across words, wherever it
        // stands: not a candidate, and no key starts with it.
        bool plain = false;
        bool met = false;  // met again since the cache last filled
    };
    const Lexicon* lexicon = nullptr;  // what the readings were read with
    unsigned spelling = 0;             // and the options words were spelled with (SpellingOptions)
    std::string bytes;
    std::vector<Syllable> syllables;
    std::vector<Entry> entries;
    std::vector<Key> keys;  // one for each entry
    // At least twice the entries, a power of two, and grown with them, so
    // that starting again clears little.
    std::vector<Slot> slots;

    // The slot of a word as written, or null, given its head and hash.
    Slot* Find(std::string_view word, WordHead head, std::uint64_t hash) {
        if (slots.empty()) return nullptr;
        const std::size_t mask = slots.size() - 1;
        for (std::size_t i = hash & mask; slots[i].entry; i = (i + 1) & mask) {
            Slot& slot = slots[i];
            if (slot.head == head && slot.length == word.size() &&
                (word.size() <= 16 || SameBytes(bytes.data() + keys[slot.entry - 1].at + 16, word.data() + 16,
                                                word.size() - 16)))
                return &slot;
        }
        return nullptr;
    }
    // The same, counted as met again.
    Slot* Meet(std::string_view word, WordHead head) {
        if (word.size() > kLongest) return nullptr;
        Slot* slot = Find(word, head, HashOf(word, head));
        if (slot) slot->met = true;
        return slot;
    }
    // The reading of a word as written, counted as met again; null for none.
    const Run* Recall(std::string_view word) {
        const Slot* slot = Meet(word, HeadOf(word));
        return slot ? &entries[slot->entry - 1].run : nullptr;
    }
    void Clear(const Lexicon* lexicon, unsigned spelling);
};

// A sorted list of lower-case words, searched by halves: asked of many
// words, most of which no word of the list shares its first letter, its
// length and its second letter with, which a table of second letters by
// first letter and length tells at once.
template <std::size_t N>
class SortedWords {
public:
    constexpr explicit SortedWords(const std::string_view (&list)[N]) : list_(list) { Index(); }
    constexpr explicit SortedWords(const std::array<std::string_view, N>& list) : list_(list.data()) { Index(); }
    bool Has(std::string_view word) const {
        if (word.empty() || word.size() > 31 || word[0] < 'a' || word[0] > 'z' ||
            !(seconds_[word[0] - 'a'][word.size()] >> Second(word) & 1))
            return false;
        // A short list is read through: most of its words differ in
        // length, which tells them apart sooner than halving it does.
        if constexpr (N <= 16) {
            for (std::size_t i = 0; i < N; ++i)
                if (list_[i] == word) return true;
            return false;
        } else {
            return std::binary_search(list_, list_ + N, word);
        }
    }

private:
    // The second letter, 0 to 25; 26 for another character, 27 for none.
    static constexpr unsigned Second(std::string_view word) {
        if (word.size() < 2) return 27;
        return word[1] >= 'a' && word[1] <= 'z' ? static_cast<unsigned>(word[1] - 'a') : 26;
    }
    constexpr void Index() {
        for (std::size_t i = 0; i < N; ++i) seconds_[list_[i][0] - 'a'][list_[i].size()] |= 1u << Second(list_[i]);
    }
    const std::string_view* list_;
    std::uint32_t seconds_[26][32] = {};
};

// One word of a sentence as the decision sees it: a run, or the runs of a
// key across words.
struct Token {
    std::uint32_t first = 0, last = 0;  // runs
    bool open = false;                  // weighed; otherwise English by rule
    bool pinyin = false;                // left as Pinyin text, by rule
    bool western = false;               // after a Western given name, by rule
    bool toned = false;                 // tone numbers with others beside them: Chinese, by rule
    bool otherRomanization = false;     // in a name of another romanization, by rule
    bool connective = false;            // a function word between names or beside no syllable: English, by rule
    bool plain = false;                 // words that cannot convert and begin no unit: English
    // A change of label after it costs nothing: a list's term before its
    // gloss ("chou (department)"), a dynasty's name before "dynasty".
    bool freeAfter = false;
    float score = 0;                    // for Chinese, against English's 0
    float step = 0;                     // for a change of label from the token before
    std::uint8_t features[24];
    std::uint8_t featureCount = 0;
    std::uint8_t stepFeature = 0;
    void Add(int feature) {
        if (featureCount < sizeof features / sizeof *features)
            features[featureCount++] = static_cast<std::uint8_t>(feature);
    }
};

// What converting a scope needs beside its text, kept from one scope to the
// next so that a stream of short paragraphs allocates nothing per paragraph.
struct ScopeWork {
    WordCache words;
    std::vector<Run> runs;
    std::vector<Syllable> syllables;
    std::vector<Sentence> sentences;
    std::vector<Sentence> items;  // in a batch, each item's own paragraph (by run.line)
    std::vector<Group> groups;
    std::string norm;
    std::string key;
    std::string joinedKey;  // a key with a given name written apart joined (MatchAcrossWords)
    std::string value;
    std::vector<std::int32_t> composed;
    std::vector<std::string_view> parts;
    std::vector<std::uint32_t> toned;  // the runs with tone numbers that could convert
    std::vector<Token> tokens;         // the decision's words of one sentence
    std::vector<float> scores;  // and their per-word and per-step scores
    std::vector<unsigned char> path;
};

// Where a word hyphenated at its line's end goes on: the byte of its next
// letter, past the line break at byte `i` (LF or CR LF) and the blanks that
// indent the next line; 0 where no break is there or no letter follows.
std::size_t HyphenWrapEnd(std::string_view text, std::size_t i);

// The spaces a line's wrap reads as (Run::wrap), by the mark before it.
inline constexpr std::string_view kWraps[] = {" ", ", ", ". ", "; ", ": "};
inline constexpr std::size_t kWrappedLine = 30;
// Whether the gap `gap` after a line of kWrappedLine bytes or more (as a
// line filled to its width is; not a list's, a verse's, code's) is the
// line's wrap, and which: one that breaks its line once and holds nothing
// else but blanks after at most one mark (",\n  ", " \r\n"). 0 for any
// other gap; else one past the space it reads as in kWraps.
unsigned char WrapOf(std::string_view gap);

// One scope being converted: the text, its words, and where it stands.
struct Scope {
    const Lexicon& lex;
    const TextOptions& options;
    std::string_view text;
    ScopeWork& w;
    Sentence paragraph;        // the scope as a whole, for evidence a sentence lacks
    bool apostrophes = false;  // an aspiration apostrophe anywhere in the scope
    bool umlauts = false;      // a ü (or ŭ) anywhere in the scope
    TextPosition* position;    // where the scope starts; null when no report is made
    std::size_t positionOffset = 0;
    bool han = false;        // a Han character anywhere in the scope
    bool entities = false;   // a word that holds an HTML entity (see WordEntityAt)
    bool syllableI = false;  // an "i" in lower case that could convert
    bool nameI = false;      // an "I" before a capitalized word of its name that could convert
    bool ordinal = false;    // a "ti" that could convert, perhaps an ordinal
    bool establishedName = false;  // an established spelling anywhere in the scope
    int romanizedList = -1;        // a list of romanized items, one a line: -1 not known yet, 0 no, 1 yes
    // The start of the last line asked whether it lists a copyright
    // notice's holders, and the answer.
    std::size_t holdersLine = SIZE_MAX;
    bool holders = false;

    std::string_view Lower(const Run& run) const { return std::string_view(w.norm).substr(run.norm, run.normLength); }
    std::string_view Spelling(const Syllable& s) const { return std::string_view(w.norm).substr(s.norm, s.normLength); }
    // The text between run `index` and the one before it.
    std::string_view Gap(std::size_t index) const {
        const std::uint32_t from = index == 0 ? 0 : w.runs[index - 1].end;
        return text.substr(from, w.runs[index].begin - from);
    }
    // The gap before run `index` as the words beside it read it: where
    // lines do not stand apart, a paragraph's line wrapped there reads as
    // the space the wrap stands for, a mark before it kept ("Chiang\n
    // Kai-shek" as "Chiang Kai-shek", "Lawrence,\nKan." as "Lawrence,
    // Kan."; see WrapOf). Only for asking what a gap is: the text keeps
    // its breaks.
    std::string_view Spaced(std::size_t index) const {
        const std::string_view gap = Gap(index);
        if (gap.size() == 1 && gap[0] == ' ') return gap;  // most gaps
        const unsigned char wrap = w.runs[index].wrap;
        return wrap ? kWraps[wrap - 1] : gap;
    }
};

// Whether a gap between two words holds nothing but spaces and tabs.
inline bool Blank(std::string_view gap) {
    return std::all_of(gap.begin(), gap.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// Whether each line of the scope stands apart, lending no evidence to
// another: in lines mode, and in a batch, whose lines are its items.
inline bool LinesApart(const Scope& scope) { return scope.options.lines || scope.options.items; }

// Whether the letters of the scope's bytes begin..at and then `piece`
// (small ASCII letters) make a common English word, as a word broken at a
// hyphen at its line's end does ("cho-" above "sen").
bool PiecesMakeCommonWord(const Scope& scope, std::size_t begin, std::size_t at, std::string_view piece);

// The paragraph `run` is in, for evidence its sentence lacks: the scope,
// or in a batch the run's item.
inline Sentence& ParagraphOf(Scope& scope, const Run& run) {
    return scope.options.items ? scope.w.items[run.line] : scope.paragraph;
}

// Whether the text around `run` writes aspiration apostrophes, or ü: its
// scope, or where lines stand apart its line, which lends nothing to
// another. Where it writes neither, a word may have dropped them ("Tsai
// Yuan-pei").
inline bool WritesApostrophes(const Scope& scope, const Run& run) {
    return LinesApart(scope) ? scope.w.sentences[run.sentence].apostrophes : scope.apostrophes;
}
inline bool WritesUmlauts(const Scope& scope, const Run& run) {
    return LinesApart(scope) ? scope.w.sentences[run.sentence].umlauts : scope.umlauts;
}
inline bool WritesMarks(const Scope& scope, const Run& run) {
    return WritesApostrophes(scope, run) || WritesUmlauts(scope, run);
}

// A word written with a capital: "Sung", "SUNG" (not "sung", nor "NaN").
inline bool Capital(const Run& run) {
    return run.caseStyle == CaseStyle::Capitalized || run.caseStyle == CaseStyle::AllCaps;
}

// Whether a word of two syllables or more is one syllable said again:
// "ha-ha", "Hsing-Hsing".
inline bool OneSyllableAgain(const Scope& scope, const Run& run) {
    if (run.syllableCount < 2) return false;
    const Syllable* syllables = &scope.w.syllables[run.firstSyllable];
    const std::string_view first = scope.Spelling(syllables[0]);
    for (std::uint32_t k = 1; k < run.syllableCount; ++k)
        if (scope.Spelling(syllables[k]) != first) return false;
    return true;
}

// Whether run `i` is the surname of a heading and the name after its comma
// its given name: "Chiang, Kai-shek", "Sung, Lien" at the start of a line.
bool HeadingComma(const Scope& scope, std::size_t i);
// Whether bytes begin..hyphen of `text` are an English prefix before a
// hyphen and a capital at `after` ("pre-Ch'in", "Anti-Ch'ing"): a word of
// its own, the hyphen English's.
bool PrefixBefore(std::string_view text, std::size_t begin, std::size_t hyphen, std::size_t after);
// Whether the word after run `index`, past a space, is "dynasty" or
// "dynasties" in any case: what stands before it names one ("the Sung
// dynasty", "Chin and Yüan dynasties"); so is "era" or "period" joined by
// a hyphen ("a Sung-era vase", "Chou-period bronzes"). Asked of every
// capitalized word the decision weighs: inline.
inline bool BeforeDynasty(const Scope& scope, std::size_t index) {
    const std::vector<Run>& runs = scope.w.runs;
    if (index + 1 >= runs.size()) return false;
    const std::string_view gap = scope.Gap(index + 1);
    const bool hyphen = gap == "-";
    if (gap != " " && !hyphen) return false;
    const std::string_view next = scope.Lower(runs[index + 1]);
    return next == "dynasty" || next == "dynasties" ||
           (hyphen && (next == "era" || next == "period"));
}

// Whether a syllable in lower case follows run `k` after a space: a
// title romanized as catalogues write it goes on ("Tao te ching", "B.
// Sung shih").
bool SyllableAfter(const Scope& scope, std::size_t k);

// Whether the word after run `index`, past a space, is a noun that follows
// a place's name: what stands before it names one ("the Lo River", "Sung
// Mountain", "Lo County"), as no English word that is a syllable does.
bool BeforePlaceNoun(const Scope& scope, std::size_t index);

// Where sentences end between words: after a full stop, "!", "?" or "…"
// (a stop after an initial or an abbreviation ends none) once a space
// follows, closing quotes and brackets between; and at a blank line.
struct SentenceBreaks {
    bool open = false;         // a sentence has begun and not ended
    bool pendingStop = false;  // a sentence-ending mark waits for a space
    std::uint32_t breaks = 0;  // line breaks since the last word
    // Character `c` at byte `i` of `text`, no word character, after the
    // word at bytes wordBegin..wordEnd (the last one, if any). Returns
    // whether a sentence ends there (if one is open).
    bool Gap(std::string_view text, std::size_t i, char32_t c, std::size_t wordBegin, std::size_t wordEnd) {
        if (c == '.' || c == '!' || c == '?' || c == 0x2026) {
            pendingStop = pendingStop || Stops(text, i, wordBegin, wordEnd);
        } else if (IsSpace(c)) {
            // CR LF is one break.
            if ((c == '\n' || c == '\r') && !(c == '\n' && i > 0 && text[i - 1] == '\r')) ++breaks;
            if (pendingStop || breaks >= 2) {
                pendingStop = false;
                return true;
            }
        } else if (c != '"' && c != 0x201D && c != ')' && c != '\'' && c != 0x2019) {
            // Closing quotes and brackets may follow the mark. A catalogue's
            // parallel title, in another language, ends a sentence as a
            // stop does: "Hung lou meng = Dream of the red chamber".
            pendingStop = c == '=' && ParallelTitle(text, i, wordBegin, wordEnd);
            // So does a heading's subdivision: "Lun yu -- Commentaries".
            if ((c == '-' || c == 0x2014) && Subdivision(text, i, wordBegin, wordEnd)) return true;
        }
        return false;
    }
    // Whether the mark at byte `i` ends a sentence: a full stop after an
    // initial or an abbreviation does not.
    static bool Stops(std::string_view text, std::size_t i, std::size_t wordBegin, std::size_t wordEnd);
    // Whether the "=" at byte `i` begins a parallel title: " = " before a
    // capital, after a word that is not the first on its line (not code's
    // "lo = mid + 1", "Pen = Turtle").
    static bool ParallelTitle(std::string_view text, std::size_t i, std::size_t wordBegin, std::size_t wordEnd);
    // Whether the "-" or em dash at byte `i` ends a subject heading's part
    // before its subdivision: "--" (the second hyphen at `i`) or an em dash
    // right after a word that ends in a letter, not the first on its line,
    // and before a capital, with a space on both sides or on neither ("I
    // ching -- Commentaries", "Chung-kuo li shih--Bibliography").
    static bool Subdivision(std::string_view text, std::size_t i, std::size_t wordBegin, std::size_t wordEnd);
    // A plain space here ends nothing and changes nothing.
    bool Plain() const { return !pendingStop && breaks < 2; }
    // A word: returns whether it begins a sentence.
    bool Word() {
        const bool start = !open;
        open = true;
        pendingStop = false;
        breaks = 0;
        return start;
    }
};

// Finds the runs of word characters and the sentences (in lines mode, the
// lines) they stand in. `startsInsideRun`: the text begins inside a run cut
// for length, which is no word.
void FindRuns(Scope& scope, bool startsInsideRun);
// Reads each run: syllables, case, tones, English class, and whether it
// could be romanized Chinese.
void ReadRuns(Scope& scope);
// The reading the stream's cache holds for a run's letters, or null where
// it holds none: a look over a scope's words before they are read. Where a
// run stands can only take from what its letters make of it (an address's
// part or an initial is no word; see ReadRuns).
const Run* KnownReading(Scope& scope, const Run& run);
// The stream's cache when its readings were read as this scope reads
// words (its lexicon, its options), or null.
WordCache* KnownWords(Scope& scope);
// Where the markup tag that begins at byte `at` ends (past its ">"), or 0
// where none begins there: an element's tag of HTML or XML on one line,
// "<i>", "</subfield>", "<br/>", "<subfield code=\"a\">", "<?xml
// version=\"1.0\"?>", or a placeholder, "<lang1>". Angle brackets around
// words that are no attributes ("<Hung lou meng>") hold text.
std::size_t MarkupTagEnd(std::string_view text, std::size_t at);
// Whether a run is a given name written as Wade-Giles writes one:
// capitalized, of two syllables joined by a hyphen, the second small
// ("Ping-ti"; Taiwan's and Hong Kong's spellings write "Ping-Ti").
inline bool WadeGilesGivenName(const Scope& scope, const Run& given) {
    return given.syllableCount == 2 && given.caseStyle == CaseStyle::Capitalized && !given.capitalAfterHyphen &&
           scope.w.syllables[given.firstSyllable + 1].separator != 0;
}
// Whether a run is part of an address, a path, an identifier, an option or
// code (IsGlued below), read from the bytes around it.
bool GluedAround(const Scope& scope, const Run& run);
// The bytes before a run and after it that may glue it (see GluedAround):
// most words stand between blanks and punctuation that glue nothing.
inline constexpr auto kGluesBefore = [] {
    std::array<bool, 256> table{};
    for (const char c : std::string_view("_/@\\.=#&%+~$:-,<([")) table[static_cast<unsigned char>(c)] = true;
    return table;
}();
inline constexpr auto kGluesAfter = [] {
    std::array<bool, 256> table{};
    for (const char c : std::string_view("@/\\-_.:<\xE2\xC2")) table[static_cast<unsigned char>(c)] = true;
    return table;
}();
// Whether a run is part of an address, a path, an identifier, an option or
// code: "www.chang.com", "a/b", "x_y", "--no-po", "$i1", "max(i1, i2)". No
// word: it joins no name group and never converts.
inline bool IsGlued(const Scope& scope, const Run& run) {
    const std::string_view text = scope.text;
    const auto before = run.begin > 0 ? static_cast<unsigned char>(text[run.begin - 1]) : ' ';
    const auto after = run.end < text.size() ? static_cast<unsigned char>(text[run.end]) : ' ';
    return (kGluesBefore[before] || kGluesAfter[after]) && GluedAround(scope, run);
}
// Gathers capitalized neighbours into name groups ("Mao Tse-tung", "Carl Jung").
void FormGroups(Scope& scope);
// Finds established spellings and the word table's keys across the words
// of a name group, and marks the words each covers as one unit.
void MatchKeysAcrossWords(Scope& scope);
// Moves the report's position forward to byte `offset` of the scope.
void Advance(Scope& scope, std::size_t offset);
// Splits a word written without hyphens into Wade-Giles syllables, as
// English texts write places and given names (Hsinchuang, Kuofan): the
// split with the fewest syllables, and among those the one whose syllables
// after the first begin with no vowel (a text writes a vowel there after a
// hyphen), then the one that takes the longest syllables first. Writes the
// syllables' lengths and returns how many, or 0 when it does not split.
constexpr std::size_t kMostSolidSyllables = 8;
std::size_t SolidSyllables(const Lexicon& lex, std::string_view word,
                           std::uint8_t (&lengths)[kMostSolidSyllables]);

// A capitalized word that is neither Chinese nor an English function word
// nor a title: a Western name ("Carl", "Theodore", "Rękorajski").
bool IsWestern(const Run& run);
// Words that stand before a name as before a common noun ("Emperor", "Mount").
bool IsTitle(std::string_view lower);
// Whether a title is one the decision weighs as a sign of the name after it.
bool IsWeighedTitle(std::string_view lower);
// The dynasties' names as histories written in Wade-Giles name them alone
// ("the Sung", "the Ch'ing"), in lower case.
bool IsDynasty(std::string_view lower);
// Whether a word-table value is the title of a Ming or Qing reign ("Kangxi").
bool IsReign(std::string_view value);
// Words written before a person's name and no other: "Mr", "Dr", "Madame".
bool IsHonorific(std::string_view lower);
// Words after which a capitalized word is a common noun: "the Sun".
bool IsDeterminer(std::string_view lower);
// Whether the run is spelled so only in Wade-Giles: a Chinese word no Pinyin reading has.
bool WadeGilesOnly(Scope& scope, Run& run);
// Whether the run is written entirely in Pinyin syllables (asked once).
bool PinyinReads(Scope& scope, Run& run);

}  // namespace kesti
