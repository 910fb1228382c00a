// The scored decision over a sentence's words.
#include "prose/decide.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "prose/chars.h"
#include "prose/weights.h"
#include "prose/word_map.h"

static_assert(sizeof kesti::kWeights / sizeof *kesti::kWeights == kesti::kFeatureCount, "one weight for every feature");
static_assert(kesti::kFeatureCount <= 256, "a token keeps its features in bytes");

namespace kesti {
namespace {

enum Feature : int {
    kBias = 0,
    kEnglishByCase = 1,  // + English class * 3 + case (lower, capitalized, capitals)
    kOneSyllable = kEnglishByCase + kEnglishClasses * 3,
    kTwoSyllables,
    kMoreSyllables,
    kMarked,     // a spelling only Wade-Giles has
    kNotPinyin,  // no Pinyin reading: "to", "chung"
    kWordKey,    // a word-table key ("Pei-ching", "Honan")
    kUnit,       // a word-table key across words ("Mao Tse-tung")
    kTones,      // tone numbers, with others beside them
    kSentenceStartCapital,
    kAfterDeterminer,  // "the Sun"
    kAfterWestern,     // a Western name before it in its group: "Carl Jung"
    kBeforeNumber,     // a date or an abbreviation after it: "Jan. 20", "Kan."
    kAloneCapital,     // alone on its line, capitalized: a list's "Sung"
    kAloneLower,
    kAfterTitle,              // "Emperor", "Mount" before it
    kHeading,                 // a heading with the surname first: "Sung, Lien"
    kCapsAbbreviation,        // one syllable in capitals with no other beside it: "NO", "KU"
    kSolid,                   // a place written without hyphens, split by rule
    kMaster,                  // "Tzu" after a name
    kMarkedNearby,            // another word of the sentence (or the paragraph) is spelled only as Wade-Giles spells
    kEnglishAround,           // a third or more of the sentence's words cannot be Chinese
    kAloneInList,             // alone on its line in lines mode, capitalized: an item of a list
    kAfterDeterminerEnglish,  // a common English word after a determiner: "the Chin family"
    kSentenceStartCommon,     // a common English word capitalized at a sentence's start: "Chin up!"
    kBeforeDynasty,           // capitalized before "dynasty": "the Sung dynasty", a dynasty's name
    kDynastyName,             // a dynasty's name alone inside a sentence: "during the Sung", "in Chou times"
    kCommonAfterEnglish,      // a common English word in lower case after one in lower case: "a pen", "computed pi"
    kWadeGilesName,           // a surname of one syllable and a given name as Wade-Giles writes one: "Ho Ping-ti"
    kWordEnd,
    // A step between neighbours: + gap * 2 + both capitalized.
    kStep = kWordEnd,
};
static_assert(kWordEnd == kWordFeatures);

enum Gap : int { kSpace, kComma, kStop, kLineBreak, kBracket };

constexpr const char* kCaseNames[] = {"lower", "capitalized", "capitals"};
constexpr const char* kClassNames[] = {"not English", "function word", "size 10",      "size 20",
                                       "size 35",     "size 50",       "size 70",      "size 95",
                                       "name 50",     "name 95",       "Chinese name", "Chinese surname"};
static_assert(sizeof kClassNames / sizeof *kClassNames == kEnglishClasses);
constexpr const char* kWordNames[] = {"one syllable",
                                      "two syllables",
                                      "three or more syllables",
                                      "Wade-Giles spelling",
                                      "no Pinyin reading",
                                      "word-table key",
                                      "key across words",
                                      "tone numbers",
                                      "capitalized at a sentence's start",
                                      "after a determiner",
                                      "after a Western name",
                                      "before a number or abbreviation",
                                      "alone on its line, capitalized",
                                      "alone on its line, lower case",
                                      "after a title",
                                      "surname-first heading",
                                      "one syllable in capitals",
                                      "place without hyphens",
                                      "Tzu after a name",
                                      "Wade-Giles nearby",
                                      "English around",
                                      "alone on its line in a list, capitalized",
                                      "after a determiner, a common English word",
                                      "a common English word capitalized at a sentence's start",
                                      "capitalized before dynasty",
                                      "a dynasty's name inside a sentence",
                                      "a common English word after another",
                                      "surname and given name as Wade-Giles writes a name"};
static_assert(sizeof kWordNames / sizeof *kWordNames == kWordEnd - kOneSyllable);
constexpr const char* kStepNames[] = {"step over a space",      "step over a space, both capitalized",
                                      "step over a comma",      "step over a comma, both capitalized",
                                      "step over punctuation",  "step over punctuation, both capitalized",
                                      "step over a line break", "step over a line break, both capitalized",
                                      "step over a bracket",    "step over a bracket, both capitalized"};
static_assert(sizeof kStepNames / sizeof *kStepNames == kStepFeatures);

int CaseIndex(CaseStyle style) { return style == CaseStyle::AllCaps ? 2 : style == CaseStyle::Capitalized ? 1 : 0; }
// Capitalized as a name is: a function word's capital says nothing of the
// word after it ("From Honan", "In Hsi-an").
bool NameCapital(const Run& run) { return Capital(run) && run.english != EnglishClass::Function; }

// Whether a word tells a sentence is not written in Pinyin: spelled as
// only Wade-Giles spells, or a capitalized word inside the sentence that
// Pinyin cannot read and English has only among its rarest words, where
// the lists keep Wade-Giles syllables ("Hu Shih", "Wang Hsien"): Pinyin
// text names no one so. English's rare words in lower case ("tung oil") or
// at a sentence's start, and the names its lists hold ("Yang Tse", a
// contributor), tell nothing.
bool NotPinyin(Scope& scope, Run& run) {
    if (WadeGilesOnly(scope, run)) return true;
    const EnglishClass english = run.english;
    return run.candidate && run.caseStyle == CaseStyle::Capitalized && !run.sentenceStart &&
           (english == EnglishClass::Size70 || english == EnglishClass::Size95) &&
           !PinyinReads(scope, run);
}

bool HasWadeGiles(Scope& scope, Sentence& sentence) {
    if (sentence.wadeGiles < 0) {
        sentence.wadeGiles = 0;
        for (std::uint32_t i = sentence.firstRun; i < sentence.endRun && !sentence.wadeGiles; ++i)
            sentence.wadeGiles = NotPinyin(scope, scope.w.runs[i]);
    }
    return sentence.wadeGiles > 0;
}

// Whether the paragraph `run` is in holds a word spelled so only in
// Wade-Giles (HasWadeGiles): the scope's, or in a batch the run's item's.
bool ParagraphHasWadeGiles(Scope& scope, const Run& run) {
    Sentence& paragraph = ParagraphOf(scope, run);
    if (paragraph.wadeGiles < 0) {
        paragraph.wadeGiles = 0;
        std::size_t first = 0, end = scope.w.sentences.size();
        if (scope.options.items) {
            // Sentences end where items do: the item's are those of its
            // first and last words (it holds `run`) and the ones between.
            first = scope.w.runs[paragraph.firstRun].sentence;
            end = scope.w.runs[paragraph.endRun - 1].sentence + 1;
        }
        for (std::size_t i = first; i < end && !paragraph.wadeGiles; ++i)
            paragraph.wadeGiles = HasWadeGiles(scope, scope.w.sentences[i]);
    }
    return paragraph.wadeGiles > 0;
}

// Whether the sentence, or the paragraph where the sentence says nothing,
// is written in Pinyin: spellings only Pinyin has, none only Wade-Giles has.
// In lines mode a line is all there is. A toned word of a sentence whose
// tone numbers are Pinyin's (Sentence::pinyinTones) is Pinyin.
bool InPinyinScope(Scope& scope, const Run& run) {
    Sentence& s = scope.w.sentences[run.sentence];
    if (run.tones && s.pinyinTones) return true;
    const bool lines = scope.options.lines;
    if (s.pinyin == 0 && (lines || ParagraphOf(scope, run).pinyin == 0)) return false;
    if (s.pinyin > 0) return !HasWadeGiles(scope, s);
    if (HasWadeGiles(scope, s)) return false;
    return !ParagraphHasWadeGiles(scope, run);
}

// Whether the sentence is in another language than English, as licences
// and notices are given in Italian or French beside English ones: more of
// its words in lower case are in no English list, and no syllable, than
// are English words, and at least three; of its first 16 such words, which
// tell as well and keep a long sentence's cost bounded. A licence's
// disclaimer is set in capitals: so are words of four letters or more
// counted (shorter ones in capitals are mostly abbreviations), and a word
// with a letter only Vietnamese writes is that language's whatever its
// case (two such tell it). Asked only of a sentence with a word the answer
// could change.
bool InOtherLanguage(Scope& scope, Sentence& sentence) {
    if (sentence.otherLanguage < 0) {
        int other = 0, english = 0, vietnamese = 0;
        for (std::uint32_t i = sentence.firstRun; i < sentence.endRun && other + english < 16; ++i) {
            const Run& run = scope.w.runs[i];
            // A word with a letter only Vietnamese writes is that language's.
            if (run.vietnamese) {
                ++other, ++vietnamese;
                continue;
            }
            const bool counted = run.caseStyle == CaseStyle::Lower
                                     ? run.normLength >= 2
                                     : run.caseStyle == CaseStyle::AllCaps && run.normLength >= 4;
            if (!run.shaped || run.glued || run.candidate || run.pinyinOnly || !counted) continue;
            ++(IsEnglish(scope.lex.English(scope.Lower(run))) ? english : other);
        }
        sentence.otherLanguage = (other >= 3 || vietnamese >= 2) && other > english;
    }
    return sentence.otherLanguage > 0;
}

// Whether another word of the run's name is spelled so only in Wade-Giles:
// "Mao" in "Mao Tse-tung" is Wade-Giles even in a sentence about Zhou Enlai.
bool GroupHasWadeGiles(Scope& scope, const Run& run) {
    if (run.group == kNone) return false;
    const Group& g = scope.w.groups[run.group];
    for (std::uint32_t i = g.firstRun; i < g.endRun; ++i)
        if (&scope.w.runs[i] != &run && WadeGilesOnly(scope, scope.w.runs[i])) return true;
    return g.pronounRule;
}

// Whether a phrase of syllables written apart that holds run `index` (two
// words or more, up to eight either way, a space between each, none a
// common English word) holds a word in lower case spelled as only
// Wade-Giles spells: "(Tao te ching)" in a sentence in Pinyin is
// Wade-Giles, as "(Tao Te Ching)" is by its name group. A name's
// capitals are their group's to judge ("Yang Tse"), and an English word
// alone is English ("the tung oil").
bool PhraseHasWadeGiles(Scope& scope, std::size_t index) {
    std::vector<Run>& runs = scope.w.runs;
    const std::uint32_t sentence = runs[index].sentence;
    const auto member = [&](std::size_t k) {
        return runs[k].candidate && runs[k].sentence == sentence && !IsCommonEnglish(runs[k].english);
    };
    if (!member(index)) return false;
    std::size_t first = index, last = index;
    while (first > 0 && index - first < 8 && scope.Spaced(first) == " " && member(first - 1)) --first;
    while (last + 1 < runs.size() && last - index < 8 && scope.Spaced(last + 1) == " " && member(last + 1)) ++last;
    if (first == last) return false;
    for (std::size_t k = first; k <= last; ++k)
        if (runs[k].evidence && runs[k].caseStyle == CaseStyle::Lower && !PinyinReads(scope, runs[k])) return true;
    return false;
}

Gap GapBetween(std::string_view gap);

// A gap that holds markup's tags: classified as the gap without them. Tags
// set words apart as emphasis does ("<i>Shih chi</i> was"), or as nothing
// between punctuation ("</i>, "). Kept out of line: few gaps hold one.
[[gnu::noinline]] Gap GapWithTags(std::string_view gap) {
    std::string rest;
    bool tags = false;
    for (std::size_t i = 0; i < gap.size(); ++i) {
        const std::size_t end = gap[i] == '<' ? MarkupTagEnd(gap, i) : 0;
        if (end) {
            tags = true;
            i = end - 1;
        } else {
            // An angle bracket that opens no tag is a mark as others are
            // (written as another, so that this is not asked again).
            rest += gap[i] == '<' ? '>' : gap[i];
        }
    }
    if (tags && rest.find_first_not_of(" \t") == std::string::npos) return kBracket;
    return GapBetween(rest);
}

// Read a byte at a time: gaps are a byte or two, and the library's
// searches for any of a set of bytes cost a call per byte.
Gap GapBetween(std::string_view gap) {
    if (gap.size() == 1 && gap[0] == ' ') return kSpace;  // most gaps
    std::size_t marks = 0, emphasis = 0;
    char mark = 0;
    bool bracket = false;
    for (char c : gap) {
        if (c == '\r' || c == '\n') return kLineBreak;
        if (c == ' ' || c == '\t') continue;
        if (c == '<') [[unlikely]]
            return GapWithTags(gap);
        ++marks, mark = c;
        bracket = bracket || c == '(' || c == ')' || c == '[' || c == ']' || c == '{' || c == '}';
        emphasis += c == '*' || c == '_';
    }
    if (marks == 0) return kSpace;
    // A bracket often holds a gloss or a translation: "hsiao (filial
    // piety)", and braces a BibTeX field's value ("author = {Ho, Ping-ti
    // and others}"); so does emphasis, as Markdown writes it, a title or a term
    // ("the *Shih chi* of", "_Shih chi_"): its marks against one word and
    // a space against the other. Not code's underscores ("te.__cause__")
    // nor a product ("scx*sa", "a * b").
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const bool emphasized = emphasis == marks && marks <= 2 && blank(gap.front()) != blank(gap.back());
    if (bracket || emphasized) return kBracket;
    return marks == 1 && mark == ',' ? kComma : kStop;
}

// The gloss in brackets after run `head` (see BracketGlossAfter), asked
// where a bracket follows it. Kept out of line: few words have one.
[[gnu::noinline]] bool GlossInBrackets(const Scope& scope, std::size_t head) {
    const std::size_t k = head + 1;
    if (k >= scope.w.runs.size() || scope.Spaced(k) != " (") return false;
    // A few words: looked for no further than they reach, so that text of
    // many brackets never closed costs no more than its length.
    const std::string_view rest = scope.text.substr(scope.w.runs[k].begin, 64);
    const std::size_t close = rest.find(')');
    if (close == std::string_view::npos || close == 0) return false;
    const std::string_view gloss = rest.substr(0, close);
    const auto plain = [](char c) { return IsAsciiLower(c) || c == ' ' || c == '-' || c == ',' || c == '\''; };
    return IsAsciiLower(gloss[0]) && std::all_of(gloss.begin(), gloss.end(), plain) &&
           std::count(gloss.begin(), gloss.end(), ' ') < 4;
}

// Whether run `head`, inside a sentence, is a term glossed in brackets: a
// few plain English words in lower case ("spoke of jen (humaneness)
// often").
inline bool BracketGlossAfter(const Scope& scope, std::size_t head) {
    const std::size_t end = scope.w.runs[head].end;
    return end + 1 < scope.text.size() && scope.text[end] == ' ' && scope.text[end + 1] == '(' &&
           GlossInBrackets(scope, head);
}

// Whether run `head` is a list's term with its gloss after it, as a
// glossary writes one: "chou (department)", "hsien: county", "tan, a picul",
// "tao<TAB>circuit", "tao,circuit" (a table's columns).
bool GlossAfter(const Scope& scope, std::size_t head) {
    const std::size_t k = head + 1;
    if (k >= scope.w.runs.size() || scope.w.runs[k].line != scope.w.runs[head].line) return false;
    // The term begins its line: nothing but blanks before it.
    for (std::size_t i = scope.w.runs[head].begin; i > 0 && scope.text[i - 1] != '\n';)
        if (scope.text[--i] != ' ' && scope.text[i] != '\t') return false;
    const std::string_view gap = scope.Spaced(k);
    const std::size_t begin = scope.w.runs[k].begin;
    const std::size_t lineEnd = scope.text.find('\n', begin);
    const std::string_view rest =
        scope.text.substr(begin, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - begin);
    // A gloss in brackets closes the line; one after a colon, a comma or a
    // dash is a few plain words in lower case, where a note or a changelog's
    // entry is a sentence or names files ("po: Update Japanese
    // translation.", "po: removed lib/output.c").
    if (gap == " (") {
        const std::size_t close = rest.find(')');
        if (close == std::string_view::npos) return false;
        const std::string_view tail = rest.substr(close + 1);
        return std::all_of(tail.begin(), tail.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
    }
    const bool tabs = !gap.empty() && gap.find_first_not_of('\t') == std::string_view::npos;
    if (gap != ": " && gap != ", " && gap != "," && gap != " - " && gap != " \u2013 " && gap != " \u2014 " && !tabs)
        return false;
    std::string_view gloss = rest;
    while (!gloss.empty() && (gloss.back() == ' ' || gloss.back() == '\r')) gloss.remove_suffix(1);
    const auto plain = [](char c) { return IsAsciiLetter(c) || c == ' ' || c == ',' || c == ';' || c == '\''; };
    return !gloss.empty() && IsAsciiLower(gloss[0]) && std::all_of(gloss.begin(), gloss.end(), plain) &&
           std::count(gloss.begin(), gloss.end(), ' ') < 6;
}

// A date or an abbreviation's full stop after the word: "Jan. 20", "Jan
// 20", "Lawrence, Kan. and". A word in lower case before a bare number is
// no month's name: "Min kuo 67", a year of the Republic; nor is one before
// a span of years ("T'ang 618-907", "Sung 960–1279"). A number joined to
// the word by a hyphen makes a date or a code of it: "Jun-28-2021".
bool BeforeNumber(const Scope& scope, const Run& run) {
    std::string_view after = scope.text.substr(run.end);
    if (after.size() >= 2 && after[0] == '-' && IsAsciiDigit(after[1])) return true;
    if (run.caseStyle == CaseStyle::Lower && (after.empty() || after[0] != '.')) return false;
    if (!after.empty() && after[0] == '.') after.remove_prefix(1);
    if (after.empty() || after[0] != ' ') return false;
    after.remove_prefix(1);
    if (!after.empty() && IsAsciiDigit(after[0])) {
        std::size_t digits = 0;
        while (digits < after.size() && IsAsciiDigit(after[digits])) ++digits;
        const std::string_view rest = after.substr(digits);
        const std::size_t dash = rest.starts_with("-") ? 1 : rest.starts_with("\u2013") ? 3 : 0;
        return !(digits >= 3 && digits <= 4 && dash && rest.size() > dash && IsAsciiDigit(rest[dash]));
    }
    return scope.text[run.end] == '.' && !after.empty() && after[0] >= 'a' && after[0] <= 'z';
}

// Whether a span of years follows run `run`: all that is left of its line
// (`wholeLine`), as a table of dynasties gives one after each name ("Sung
// (960-1279)", "Chin, 1115-1234", "Chou [ca. 1045-256 B.C.]"), or in
// brackets inside a sentence ("the Chin (1115-1234) took"). Each year is
// one to four digits, the dash a hyphen, an en dash or "to".
[[gnu::cold]] bool YearsAfter(const Scope& scope, const Run& run, bool wholeLine) {
    // A span of years takes a few dozen bytes: no more are read.
    constexpr std::size_t kMost = 48;
    std::string_view rest = scope.text.substr(run.end, kMost);
    const bool toEnd = run.end + kMost >= scope.text.size();
    const auto skip = [&](std::string_view prefix) {
        if (!rest.starts_with(prefix)) return false;
        rest.remove_prefix(prefix.size());
        return true;
    };
    const auto spaces = [&] {
        while (skip(" ")) continue;
    };
    const auto year = [&] {
        spaces();
        std::size_t digits = 0;
        while (digits < rest.size() && IsAsciiDigit(rest[digits])) ++digits;
        if (digits == 0 || digits > 4) return false;
        rest.remove_prefix(digits);
        spaces();
        (void)(skip("B.C.") || skip("BCE") || skip("BC") || skip("A.D.") || skip("CE"));
        spaces();
        return true;
    };
    // After a comma or a colon, or in a table's next cell ("Sung\t960-1279",
    // "| Sung | 960-1279 |").
    const bool comma = skip(",") || skip(":") || skip("\t") || skip(" |") || skip("|");
    spaces();
    const char close = skip("(") ? ')' : skip("[") ? ']' : '\0';
    if ((close && comma) || (!close && !wholeLine)) return false;
    spaces();
    (void)(skip("ca.") || skip("c.") || skip("r."));
    if (!year() || !(skip("-") || skip("\u2013") || skip("\u2014") || skip("to ")) || !year()) return false;
    if (close && !skip(std::string_view(&close, 1))) return false;
    if (!wholeLine) return true;
    (void)skip(".");
    while (skip(" ") || skip("\r") || skip("\t") || skip("|")) continue;
    return rest.empty() ? toEnd : rest[0] == '\n';
}

// Whether `lower` is a ruling dynasty's name, Chin's too, which English
// writes as a surname besides (see IsDynasty): asked where the words
// around it name a dynasty.
bool NamesDynasty(std::string_view lower) { return lower == "chin" || IsDynasty(lower); }

// Whether run `index` and a ruling dynasty's name stand joined by "and"
// or "or", with "the" before either: "the Chin and the Sung", "the Sung or
// Chin". Words apart by spaces alone, in one sentence.
[[gnu::cold]] bool BesideDynasty(const Scope& scope, std::size_t index) {
    const std::vector<Run>& runs = scope.w.runs;
    const auto joined = [&](std::size_t k) { return scope.Spaced(k) == " " && runs[k].line == runs[k - 1].line; };
    const auto lower = [&](std::size_t k) { return scope.Lower(runs[k]); };
    const auto conjunction = [&](std::size_t k) { return lower(k) == "and" || lower(k) == "or"; };
    // Yüan too as texts that drop the diaeresis write it.
    const auto dynasty = [&](std::size_t k) {
        return runs[k].caseStyle == CaseStyle::Capitalized && (IsDynasty(lower(k)) || lower(k) == "yuan");
    };
    const auto theBefore = [&](std::size_t k) { return k > 0 && joined(k) && lower(k - 1) == "the"; };
    std::size_t k = index + 1;
    if (k + 1 < runs.size() && joined(k) && conjunction(k) && joined(k + 1)) {
        ++k;
        if (lower(k) == "the" && k + 1 < runs.size() && joined(k + 1)) ++k;
        if (dynasty(k) && (theBefore(index) || theBefore(k))) return true;
    }
    if (index < 2 || !joined(index)) return false;
    k = index - 1;
    if (lower(k) == "the" && k >= 2 && joined(k)) --k;
    return conjunction(k) && joined(k) && dynasty(k - 1) && (theBefore(index) || theBefore(k - 1));
}

// Whether run `i`, of one syllable, is a dynasty's name before its span of
// years, alone on its line or after "the" (see MarkDynasty).
[[gnu::cold]] bool DynastyYearsHere(const Scope& scope, std::size_t i) {
    const Run& run = scope.w.runs[i];
    const bool afterThe = i > 0 && scope.w.runs[i - 1].determiner && scope.Spaced(i) == " ";
    return (run.lineStart || afterThe) && NamesDynasty(scope.Lower(run)) && YearsAfter(scope, run, run.lineStart);
}

// A dynasty's name before "dynasty" after its people's, a Western name's
// ("the Jurchen Chin dynasty", "the Manchu Ch'ing dynasty"): the people's
// is no given name of a Western name, and its group no Western name.
[[gnu::cold]] void PeopleBeforeDynasty(Scope& scope, std::size_t i) {
    ScopeWork& w = scope.w;
    if (!BeforeDynasty(scope, i) || !NamesDynasty(scope.Lower(w.runs[i]))) return;
    w.runs[i - 1].western = false;
    Group& g = w.groups[w.runs[i].group];
    g.western = false;
    for (std::uint32_t k = g.firstRun; k < g.endRun; ++k) g.western = g.western || w.runs[k].western;
}

// Marks run `i`, a word of one syllable that could convert, where the
// words around show it a dynasty's name: one before its span of years,
// Chin's too (which inside a sentence may be a family's), alone on its line
// as a table of dynasties sets them ("Sung (960-1279)") or in brackets
// after "the" ("the Chin (1115-1234)"); Chin joined to a dynasty's name
// (see BesideDynasty); and one after its people's (see
// PeopleBeforeDynasty). Its questions are asked only where a bracket, a
// digit or a table's next cell follows, the word is Chin or a Western name
// stands before it: few words. Asked of every word by FindMasters, in its
// loop.
inline void MarkDynasty(Scope& scope, std::size_t i) {
    ScopeWork& w = scope.w;
    const std::string_view text = scope.text;
    Run& run = w.runs[i];
    if (run.caseStyle != CaseStyle::Capitalized) return;
    if (run.normLength == 4 && text[run.begin] == 'C')
        run.besideDynasty = scope.Lower(run) == "chin" && BesideDynasty(scope, i);
    if (i > 0 && run.group != kNone && w.runs[i - 1].western && w.runs[i - 1].group == run.group)
        PeopleBeforeDynasty(scope, i);
    if (run.end + 2 >= text.size()) return;
    std::size_t k = run.end + (text[run.end] == ',' || text[run.end] == ':');
    k += text[k] == ' ';
    // (A tab or "|" may begin a table's next cell: "Sung\t960-1279", "| Sung | 960-1279 |".)
    if (k < text.size() && (text[k] == '(' || text[k] == '[' || IsAsciiDigit(static_cast<unsigned char>(text[k])) ||
                            text[k] == '\t' || text[k] == '|'))
        run.dynastyYears = DynastyYearsHere(scope, i);
}

// An honorific written short ("Dr", "Mr", "Mrs", "Ms", "Prof"), which
// English sets before any surname: weighed as nothing, as with its full
// stop, which parts it from the name ("Dr. Chou agreed", "Dr Jan Chin of
// Boston").
[[gnu::cold]] [[gnu::noinline]] bool HonorificAbbreviation(const Scope& scope, const Run& run) {
    if (run.normLength > 4) return false;
    const std::string_view lower = scope.Lower(run);
    return lower == "dr" || lower == "mr" || lower == "mrs" || lower == "ms" || lower == "prof";
}

// The phrases English has borrowed and writes as its own words.
struct Loan {
    std::string_view first, second;
};
constexpr Loan kLoans[] = {
    {"chi", "chuan"}, {"chi", "kung"}, {"kung", "fu"}, {"kung", "pao"}, {"shih", "tzu"}, {"tai", "chi"},
};

// Whether a word is one the loans are made of, or "tao" (see TaoAsNoun):
// asked of every word weighed, so by its length first, before any loan is
// compared.
constexpr bool InEnglishLoan(std::string_view lower) {
    switch (lower.size()) {
        case 2:
            return lower == "fu";
        case 3:
            return lower == "chi" || lower == "pao" || lower == "tai" || lower == "tzu" || lower == "tao";
        case 4:
            return lower == "kung" || lower == "shih";
        case 5:
            return lower == "chuan";
        default:
            return false;
    }
}
static_assert([] {
    for (const Loan& loan : kLoans)
        if (!InEnglishLoan(loan.first) || !InEnglishLoan(loan.second)) return false;
    return true;
}(), "every word of a loan passes InEnglishLoan");

// Whether runs `first` and `first + 1` are one of the loans: "kung fu",
// "tai chi", a "Shih Tzu".
bool EnglishLoan(const Scope& scope, std::size_t first) {
    const std::vector<Run>& runs = scope.w.runs;
    if (first + 1 >= runs.size()) return false;
    const Run& a = runs[first];
    const Run& b = runs[first + 1];
    if (!a.candidate || !b.candidate) return false;
    const std::string_view x = scope.Lower(a), y = scope.Lower(b);
    bool found = false;
    for (const Loan& loan : kLoans) found = found || (x == loan.first && y == loan.second);
    return found && a.sentence == b.sentence && !a.inUnit && !b.inUnit && a.caseStyle != CaseStyle::AllCaps &&
           b.caseStyle != CaseStyle::AllCaps && scope.Spaced(first + 1) == " ";
}

// How many words of the sentence are spelled only as Wade-Giles spells
// inside English loans, worked out once, when a loan is first met: a loan
// stays English only in a sentence with no other such word ("Chung-kuo
// kung fu shih" is a title).
std::uint32_t LoanMarked(const Scope& scope, Sentence& sentence) {
    if (sentence.loanMarked < 0) {
        int count = 0;
        std::uint32_t counted = sentence.firstRun;  // runs before it are counted
        for (std::uint32_t i = sentence.firstRun; i + 1 < sentence.endRun; ++i) {
            if (!EnglishLoan(scope, i)) continue;
            for (std::uint32_t k = std::max(i, counted); k <= i + 1; ++k) count += scope.w.runs[k].evidence;
            counted = i + 2;
        }
        sentence.loanMarked = count;
    }
    return static_cast<std::uint32_t>(sentence.loanMarked);
}

// Whether the loan that begins at run `first` stands beside a syllable in
// lower case that is no English word and in no loan: then it is a title's
// syllables ("Wen shih tzu liao"), not the dog or the art. A title's first
// word is capitalized: "Ta kung pao", a newspaper, not the dish.
bool LoanInTitle(const Scope& scope, std::size_t first) {
    const std::vector<Run>& runs = scope.w.runs;
    const auto syllable = [&](std::size_t k, std::size_t gapAt) {
        const Run& r = runs[k];
        const bool titleCase =
            r.caseStyle == CaseStyle::Lower || (k + 1 == first && r.caseStyle == CaseStyle::Capitalized);
        return r.sentence == runs[first].sentence && scope.Spaced(gapAt) == " " && r.candidate && titleCase &&
               !IsEnglish(r.english) && !(k > 0 && EnglishLoan(scope, k - 1)) && !EnglishLoan(scope, k);
    };
    return (first > 0 && syllable(first - 1, first)) || (first + 2 < runs.size() && syllable(first + 2, first + 2));
}

// Whether run `index` is the only word of its name group that could
// convert: "the Northern Sung" (a dynasty), not "Sung Lien" (a man).
bool AloneInGroup(const Scope& scope, std::size_t index) {
    const Run& run = scope.w.runs[index];
    if (run.group == kNone) return true;
    const Group& g = scope.w.groups[run.group];
    for (std::uint32_t k = g.firstRun; k < g.endRun; ++k)
        if (k != index && scope.w.runs[k].candidate) return false;
    return true;
}

// A function word in lower case is a syllable only inside a phrase
// romanized in lower case ("Chung-kuo to min-tsu"); between names, or
// beside no such syllable, it is English ("from Hsi-an to Lan-chou", "Li
// Hung-chang to Tseng Kuo-fan"). In capitals, where every word looks alike,
// only syllables written apart are such a phrase ("CHUNG KUO TO MIN TSU",
// not "FROM HSI-AN TO LAN-CHOU"). As a sentence's first word it may be a
// surname ("To Chung-chih", "TO HÊNG-KUNG"), but not before a whole name or
// an established spelling ("To Chang Chih-tung, ...", "To Peking").
// Kept out of line: few words reach it, and inlined it kept ApplyRules from
// being inlined into the loop over a sentence's words (1% more instructions
// on Wade-Giles text).
[[gnu::noinline]] bool Connective(const Scope& scope, std::size_t index) {
    const std::vector<Run>& runs = scope.w.runs;
    const Run& run = runs[index];
    if (run.syllableCount != 1 || run.isPronounI) return false;
    const auto syllable = [&](std::size_t k) {
        if (k >= runs.size() || runs[k].sentence != run.sentence || !runs[k].candidate) return false;
        const Run& r = runs[k];
        return r.caseStyle == CaseStyle::Lower || (run.caseStyle == CaseStyle::AllCaps &&
                                                   r.caseStyle == CaseStyle::AllCaps && r.syllableCount == 1 &&
                                                   !r.inUnit);
    };
    const auto wholeName = [&](std::size_t k) {
        return k < runs.size() && runs[k].sentence == run.sentence && (runs[k].unitEnd > k + 1 || runs[k].established);
    };
    const bool placed = run.caseStyle == CaseStyle::Lower ||
                        (run.caseStyle == CaseStyle::AllCaps && !run.sentenceStart) ||
                        (run.caseStyle != CaseStyle::Lower && run.sentenceStart && wholeName(index + 1));
    return placed && !(index > 0 && syllable(index - 1)) && !syllable(index + 1);
}

// Whether the name group of run `k` goes on past it on its line.
bool NameGoesOn(const Scope& scope, std::size_t k) {
    const ScopeWork& w = scope.w;
    const Run& run = w.runs[k];
    return run.group != kNone && w.groups[run.group].endRun > k + 1 && w.runs[k + 1].line == run.line;
}

// Whether `run` is an initial: a capital letter alone before a full stop
// that reads as no syllable there (see ReadRuns).
bool IsInitialRun(const Scope& scope, const Run& run) {
    return run.normLength == 1 && run.caseStyle == CaseStyle::Capitalized && !run.shaped &&
           run.end < scope.text.size() && scope.text[run.end] == '.';
}

// "i" in lower case that is a list's item, alone on its line or before its
// gloss ("i", "i (righteousness)", "i: righteousness"): English writes its
// pronoun "I", and a list's item is a name or a term, here the syllable.
// Not a numeral ("i.") nor a quoted letter ("'i'").
bool ListedI(const Scope& scope, const Run& run, std::size_t index) {
    if (!scope.options.lines || !run.lineStart || run.caseStyle != CaseStyle::Lower || run.normLength != 1 ||
        scope.Lower(run) != "i")
        return false;
    if (GlossAfter(scope, index)) return true;
    const std::string_view text = scope.text;
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    for (std::size_t k = run.begin; k > 0 && text[k - 1] != '\n';)
        if (!blank(text[--k])) return false;
    for (std::size_t k = run.end; k < text.size() && text[k] != '\n' && text[k] != '\r'; ++k)
        if (!blank(text[k])) return false;
    return true;
}

// Whether run `given`, an initial and a surname are a name in Western
// order, as written in English, Chinese or not: "Theodore Y. Ts'o", "Ming
// J. Tsai", "Mark W. Eichin". Not a name spelled as only Wade-Giles spells
// before a letter and a sentence that a function word begins: that is a
// surname, a given name of one letter and the next sentence ("led by
// Ch'en I. He was", "Ch'eng I. Chu Hsi wrote"), where the letter reads
// as a syllable (see IsInitialRun). Nor a syllable that a capitalized
// word of its name follows, which could convert too: that begins a
// Chinese name after a Western one ("Spence, Jonathan D. Ts'ao Yin and
// the K'ang-hsi Emperor").
[[gnu::always_inline]] inline bool WesternOrder(const Scope& scope, std::size_t given) {
    const std::vector<Run>& runs = scope.w.runs;
    const std::size_t surname = given + 2;
    return IsInitialRun(scope, runs[given + 1]) && scope.Spaced(given + 1) == " " && scope.Spaced(surname) == ". " &&
           runs[given].caseStyle == CaseStyle::Capitalized && runs[given].normLength > 1 &&
           runs[surname].caseStyle == CaseStyle::Capitalized &&
           !(runs[given].evidence && (runs[surname].english == EnglishClass::Function || NameGoesOn(scope, surname))) &&
           !(runs[surname].candidate && NameGoesOn(scope, surname) && runs[surname + 1].candidate &&
             Capital(runs[surname + 1]));
}

// Whether run `index` is one word said over and over, as laughter, a call
// or a dance is, where no name nor title is: three times or more ("Ho ho
// ho", "HO, HO, HO!", or hyphenated, "cha-cha-cha"), or twice as a
// sentence of nothing else, the second time in lower case ("Ho ho.", "Ta
// ta!"). A name says a syllable twice, each with its capital ("Lan Lan"),
// and a title among other words ("Hsing hsing chih huo"). Not a spelling
// only Wade-Giles has. Asked through SaidOverAround.
[[gnu::noinline]] bool SaidOver(const Scope& scope, const Run& run, std::size_t index) {
    if (run.marked || run.tones) return false;
    if (run.syllableCount >= 3) {
        // Hyphenated, an English word: English's own ("cha-cha-cha").
        if (run.solid || !OneSyllableAgain(scope, run)) return false;
        const EnglishClass english = scope.lex.English(scope.Spelling(scope.w.syllables[run.firstSyllable]));
        return english >= EnglishClass::Size10 && english <= EnglishClass::Size70;
    }
    const std::vector<Run>& runs = scope.w.runs;
    const auto same = [&](std::size_t a, std::size_t b) {
        // Words a space or a comma apart in one sentence.
        if (runs[a].sentence != runs[b].sentence || scope.Lower(runs[a]) != scope.Lower(runs[b])) return false;
        const Gap gap = GapBetween(scope.Spaced(b));
        return gap == kSpace || gap == kComma;
    };
    // Two each way tell three times: a long stretch of one word costs no
    // more a word.
    std::size_t first = index, last = index;
    while (first > 0 && index - first < 2 && same(first - 1, first)) --first;
    while (last + 1 < runs.size() && last - index < 2 && same(last, last + 1)) ++last;
    if (last - first >= 2) return true;
    if (last == first) return false;
    const Sentence& sentence = scope.w.sentences[run.sentence];
    return first == sentence.firstRun && last + 1 == sentence.endRun && runs[last].caseStyle == CaseStyle::Lower;
}

// Whether SaidOver holds of run `index`, asked of a word of three
// syllables or more, or of one beside its own spelling in a sentence of a
// few words (length and first letter first: most neighbours differ in
// one). In a longer sentence the words around weigh such a word already
// ("He laughed: ho ho ho.").
inline bool SaidOverAround(const Scope& scope, const Run& run, const Sentence& sentence, std::size_t index) {
    const std::vector<Run>& runs = scope.w.runs;
    const std::string& norm = scope.w.norm;
    const auto sameWord = [&](const Run& other) {
        return other.normLength == run.normLength && norm[other.norm] == norm[run.norm] &&
               scope.Lower(other) == scope.Lower(run);
    };
    return (run.syllableCount >= 3 ||
            (sentence.endRun - sentence.firstRun <= 8 &&
             ((index > 0 && sameWord(runs[index - 1])) || (index + 1 < runs.size() && sameWord(runs[index + 1]))))) &&
           SaidOver(scope, run, index);
}

// Whether run `index` is one of three or more weekdays abbreviated to two
// letters in a row, as a calendar heads its columns ("Mo Tu We Th Fr Sa
// Su", German "Mo Di Mi Do Fr Sa So"): "Tu", "Mo" and "Sa" there are no
// syllables. Asked apart, of words of two letters.
[[gnu::noinline]] bool InWeekdays(const Scope& scope, std::size_t index) {
    const std::vector<Run>& runs = scope.w.runs;
    const auto weekday = [&](std::size_t k) {
        if (runs[k].normLength != 2 || !Capital(runs[k])) return false;
        const std::string_view day = scope.Lower(runs[k]);
        constexpr std::string_view kDays = "di do fr mi mo sa so su th tu we";
        for (std::size_t i = 0; i < kDays.size(); i += 3)
            if (kDays[i] == day[0] && kDays[i + 1] == day[1]) return true;
        return false;
    };
    if (!weekday(index)) return false;
    // Words on one line, blanks apart.
    const auto together = [&](std::size_t a) {
        const std::string_view gap = scope.Spaced(a + 1);
        return runs[a].line == runs[a + 1].line && !gap.empty() && Blank(gap);
    };
    std::size_t first = index, last = index;
    while (first > 0 && index - first < 2 && together(first - 1) && weekday(first - 1)) --first;
    while (last + 1 < runs.size() && last - first < 2 && together(last) && weekday(last + 1)) ++last;
    return last - first >= 2;
}

// Whether the word before run `index`, a space apart, says a place
// follows: a determiner or a preposition of place ("the Tatu Hills", "in
// Tatu Park"); not "to" nor "from", which a person follows as often
// ("Thanks to Tatu Ylonen"). The English lists hold few nouns ("Park",
// "Hills", "Temple"), so a place's noun may look like a Western surname.
bool PlaceBefore(const Scope& scope, std::size_t index) {
    if (index == 0 || scope.Spaced(index) != " ") return false;
    const Run& before = scope.w.runs[index - 1];
    if (before.determiner) return true;
    if (before.caseStyle != CaseStyle::Lower) return false;
    static constexpr std::string_view kPrepositions[] = {
        "across", "around", "at", "beyond", "in", "into", "near", "outside", "through", "toward", "towards",
    };
    static constexpr SortedWords prepositions(kPrepositions);
    return prepositions.Has(scope.Lower(before));
}

// Whether run `index`, "Tao" capitalized in a sentence that spells no word
// as only Wade-Giles does, is the noun English has borrowed whole: after
// an article (and an adjective) or before "of" ("the Tao of Pooh", "the
// eternal Tao"; "Tao said nothing" is a man), alone in its name and
// before no syllable of a title ("Tao te ching"), where its paragraph
// spells none either ("Chuang Tzu taught the Tao" converts). Asked apart.
[[gnu::noinline]] bool TaoAsNoun(Scope& scope, std::size_t index) {
    const std::vector<Run>& runs = scope.w.runs;
    const Run& run = runs[index];
    if (run.caseStyle != CaseStyle::Capitalized || scope.Lower(run) != "tao" ||
        scope.w.sentences[run.sentence].marked != 0 || !AloneInGroup(scope, index) || SyllableAfter(scope, index) ||
        (!scope.options.lines && ParagraphOf(scope, run).marked != 0))
        return false;
    const auto word = [&](std::size_t k) {
        return k < runs.size() && runs[k].sentence == run.sentence && Blank(scope.Spaced(std::max(k, index)));
    };
    if (index > 0 && word(index - 1) && runs[index - 1].determiner) return true;
    if (index > 1 && word(index - 1) && word(index - 2) && runs[index - 2].determiner &&
        runs[index - 1].caseStyle == CaseStyle::Lower && !runs[index - 1].candidate)
        return true;
    return word(index + 1) && scope.Lower(runs[index + 1]) == "of";
}

// Whether run `i` is the surname or the given name of a name written as
// Wade-Giles writes one, side by side in their name group: a capitalized
// word of one syllable, no function word, and a given name of two
// syllables joined by a hyphen, the second small ("Ho Ping-ti", "See Ho
// Ping-ti, Studies"; see WadeGilesGivenName).
bool InWadeGilesName(const Scope& scope, std::size_t i) {
    const std::vector<Run>& runs = scope.w.runs;
    const auto surname = [&](const Run& r) {
        return r.candidate && !r.inUnit && r.syllableCount == 1 && r.caseStyle == CaseStyle::Capitalized &&
               r.english != EnglishClass::Function;
    };
    // One space apart, or a line's wrap (see Scope::Spaced).
    const auto pair = [&](std::size_t s) {
        const Run& given = runs[s + 1];
        return ((given.begin == runs[s].end + 1 && scope.text[runs[s].end] == ' ') || given.wrap == 1) &&
               given.group == runs[s].group && WadeGilesGivenName(scope, given) && given.candidate && !given.inUnit &&
               surname(runs[s]);
    };
    const Run& run = runs[i];
    if (run.group == kNone || run.caseStyle != CaseStyle::Capitalized || run.syllableCount > 2) return false;
    return run.syllableCount == 1 ? i + 1 < runs.size() && pair(i) : i > 0 && pair(i - 1);
}

// Rules before weighing: a sentence in Pinyin, a Western given name before
// a one-syllable name, the pronoun "I", a loan, a function word between
// names. A token a rule settles is closed.
void ApplyRules(Scope& scope, Run& run, bool unit, Token& t) {
    ScopeWork& w = scope.w;
    t.pinyin = ((run.group != kNone && w.groups[run.group].pinyin) || InPinyinScope(scope, run)) &&
               !WadeGilesOnly(scope, run) && !GroupHasWadeGiles(scope, run) && !PhraseHasWadeGiles(scope, t.first);
    const std::size_t index = t.first;
    const Run* before =
        index > 0 && run.group != kNone && w.runs[index - 1].group == run.group ? &w.runs[index - 1] : nullptr;
    // A word after a Western name in its group is the Western name's
    // ("Carl Jung", "Mark Eichin"); so is one that begins its group before
    // names that no syllable and no English word spells: a given name in
    // Western order ("Jen Selby", "Yu Watanabe", as authors' lists write
    // names), unless spelled as only Wade-Giles spells or a dynasty's name
    // ("the Yüan Academy", "Chou Buddhism": the English lists hold few
    // nouns). So is a place the word table knows written solid, spelled
    // as other languages spell too ("Tatu Ylonen"; not "Sanhsia").
    t.western = !unit && (run.syllableCount == 1 || run.solid) && before && before->western;
    if (!unit && run.syllableCount == 1 &&
        (run.allSyllables || (!run.wordValue.empty() && !WadeGilesOnly(scope, run) && !PlaceBefore(scope, index))) &&
        Capital(run) && !before && run.group != kNone && !run.evidence && w.groups[run.group].endRun > index + 1 &&
        !IsDynasty(scope.Lower(run))) {
        bool western = true;
        for (std::size_t k = index + 1; k < w.groups[run.group].endRun && western; ++k) {
            const EnglishClass english = w.runs[k].english;
            western = w.runs[k].western && (english == EnglishClass::None || english == EnglishClass::Name50 ||
                                            english == EnglishClass::Name95);
        }
        t.western = t.western || western;
    }
    if (!unit && Capital(run) &&
        ((index >= 2 && WesternOrder(scope, index - 2)) || (index + 2 < w.runs.size() && WesternOrder(scope, index))))
        t.western = true;
    // So are initials before a surname of one syllable that ends its group
    // (or its line, in a list of such names): the person's own spelling
    // ("H. H. Kung", "C. T. Hsia"). Not before a
    // syllable in lower case: an outline's letter before a title ("B. Sung
    // shih").
    if (!unit && Capital(run) && run.syllableCount == 1 && index > 0 && IsInitialRun(scope, w.runs[index - 1]) &&
        w.runs[index - 1].line == run.line && scope.Spaced(index) == ". " &&
        (run.group == kNone || w.groups[run.group].endRun == index + 1 || w.runs[index + 1].line != run.line) &&
        !SyllableAfter(scope, index))
        t.western = true;
    // So is a heading's surname before a Western given name: the person's
    // own spelling, as "Immanuel Hsü" writes it ("Hsü, Immanuel C. Y.").
    // A surname is one syllable: a word of two before the comma is a place
    // before its province, as gazetteers write them ("Ho-fei, Anhwei",
    // "Chi-nan, Shantung"), and so is one before an established spelling.
    // Initials after the comma are the Western given name too ("Hsia, C.
    // T."), but for a letter that is a syllable: "Chao, I." is Chao I.
    const auto westernGiven = [&](const Run& next) {
        if (IsInitialRun(scope, next)) {
            const char letter = static_cast<char>(FoldCase(static_cast<unsigned char>(scope.text[next.begin])));
            return scope.lex.Syllable(std::string_view(&letter, 1)).empty();
        }
        return next.western && !next.established;
    };
    if (!unit && Capital(run) && run.syllableCount == 1 && HeadingComma(scope, index) &&
        westernGiven(w.runs[index + 1]))
        t.western = true;
    // "I" right after a word of several syllables of its name is the
    // pronoun ("In Pei-ching I met"): a given name follows a surname, and
    // the names of two syllables before "I" are keys across words.
    // So is "I" before a word in lower case that is English, or cannot be
    // Chinese at all ("Later I think", "Later I was told"), unless a
    // surname stands before it ("Ch'iang I was a minister"): a surname
    // alone is followed by its given name, and "I ching" by Chinese.
    const auto beforeVerb = [&] {
        const Run* next = index + 1 < w.runs.size() ? &w.runs[index + 1] : nullptr;
        return next && !(before && before->candidate) && next->sentence == run.sentence &&
               next->caseStyle == CaseStyle::Lower && scope.Spaced(index + 1) == " " &&
               (!next->candidate || IsCommonEnglish(next->english));
    };
    const bool pronoun = !unit && run.isPronounI &&
                         ((before && !w.groups[run.group].pronounRule && before->syllableCount > 1) || beforeVerb());
    t.connective = !unit && run.english == EnglishClass::Function && Connective(scope, index) &&
                   !ListedI(scope, run, index);
    t.otherRomanization = run.group != kNone && (w.groups[run.group].otherRomanization ||
                                                 (w.groups[run.group].listedPerson && !unit && !t.western));
    Sentence& sentence = w.sentences[run.sentence];
    const auto loanAt = [&](std::size_t first) { return EnglishLoan(scope, first) && !LoanInTitle(scope, first); };
    const bool loan = !unit && InEnglishLoan(scope.Lower(run)) &&
                      (TaoAsNoun(scope, index) || (((index > 0 && loanAt(index - 1)) || loanAt(index)) &&
                                                   sentence.marked == LoanMarked(scope, sentence)));
    // A syllable alone in lower case, spelled as other languages spell too,
    // in a sentence of another language is a word of it: Italian "che",
    // "lo", "tu" (English's function words are weighed as such). Not in a
    // sentence with a word only Wade-Giles spells, nor beside a capitalized
    // one of a name or title ("das Tao te ching"), nor glossed in English
    // in brackets ("stressed jen (humaneness)"): the English list knows
    // few of the English words around such a term. A capitalized one is
    // a name's or a title's where another of its name follows, or a
    // syllable in lower case does ("Tao te ching"); else, spelled as
    // Pinyin spells too after such a syllable of that language, it is the
    // language's as well (a licence's "che Tu crei").
    const auto nameOrTitle = [&](std::size_t k) { return SyllableAfter(scope, k) || !AloneInGroup(scope, k); };
    const auto besideCapital = [&](std::size_t k) {
        const Run& other = w.runs[k];
        return other.sentence == run.sentence && other.candidate && Capital(other) &&
               Blank(scope.Spaced(std::max(k, index))) && nameOrTitle(k);
    };
    const auto otherSyllableBefore = [&] {
        if (index == 0) return false;
        const Run& other = w.runs[index - 1];
        return other.sentence == run.sentence && other.candidate && other.caseStyle == CaseStyle::Lower &&
               other.syllableCount == 1 && !other.marked && !other.tones && other.english != EnglishClass::Function &&
               Blank(scope.Spaced(index));
    };
    // In Vietnamese, told by letters neither romanization writes, ê is
    // the language's own letter, no sign of Wade-Giles ("nên", "tên").
    const bool vietnamese = sentence.vietnamese;
    const bool otherLanguage =
        !unit && run.syllableCount == 1 && (!run.marked || vietnamese) && !run.tones &&
        run.english != EnglishClass::Function &&
        (run.caseStyle == CaseStyle::Lower || (run.caseStyle == CaseStyle::Capitalized && otherSyllableBefore() &&
                                               !nameOrTitle(index) && PinyinReads(scope, run))) &&
        !(index > 0 && besideCapital(index - 1)) && !(index + 1 < w.runs.size() && besideCapital(index + 1)) &&
        !BracketGlossAfter(scope, index) && InOtherLanguage(scope, sentence) &&
        (vietnamese || !HasWadeGiles(scope, sentence));
    // So is a word that splits into syllables only by rule, with no other
    // word of the sentence spelled as only Wade-Giles spells: Italian
    // "Nessuna" (ne-ssu-na).
    const bool otherSolid =
        run.solid && sentence.marked <= (run.evidence ? 1u : 0u) && InOtherLanguage(scope, sentence);
    if (t.pinyin || t.western || pronoun || t.otherRomanization || loan || t.connective || otherLanguage || otherSolid)
        t.open = false;
    else if (!unit && !run.marked && SaidOverAround(scope, run, sentence, index))
        t.open = false;
}

// Whether `run` is one common English word said again, in no spelling
// only Wade-Giles has: "ha-ha", "so-so", not "hung-hung" nor "hsing-hsing".
[[gnu::noinline]] bool CommonWordAgain(const Scope& scope, const Run& run) {
    if (run.solid || run.marked || !OneSyllableAgain(scope, run)) return false;
    const std::string_view first = scope.Spelling(scope.w.syllables[run.firstSyllable]);
    const EnglishClass english = first == "i" ? EnglishClass::None : scope.lex.English(first);
    return IsCommonestEnglish(english);
}

// A run of digits with no letter: a year, a date, a count.
bool IsNumber(const Scope& scope, const Run& run) {
    return run.normLength == 0 && IsAsciiDigit(scope.text[run.begin]);
}

// Whether the scope, a paragraph, is a list of romanized items: three
// lines or more, each holding one item (a word, or a name group of up to
// four, and numbers); two thirds of them nothing but syllables, and a third
// holding one no common English word spells. There a capitalized word
// alone on its line is a list's item, as in lines mode: "Hung" among
// "Chang", "Chao" and "Teng" is a surname too; "No." above "So?" is no list.
bool RomanizedList(Scope& scope) {
    if (scope.romanizedList >= 0) return scope.romanizedList > 0;
    scope.romanizedList = 0;
    if (LinesApart(scope)) return false;
    const std::vector<Run>& runs = scope.w.runs;
    std::size_t lines = 0, syllables = 0, chinese = 0;
    for (std::size_t i = 0; i < runs.size();) {
        const std::uint32_t line = runs[i].line;
        std::size_t words = 0, candidates = 0, uncommon = 0;
        std::uint32_t group = kNone;
        bool oneItem = true;
        for (; i < runs.size() && runs[i].line == line; ++i) {
            const Run& run = runs[i];
            if (run.normLength == 0) continue;  // a number, a date
            oneItem = oneItem && (words == 0 || (run.group != kNone && run.group == group));
            group = run.group;
            ++words;
            candidates += run.candidate;
            uncommon += run.candidate && !IsCommonEnglish(run.english);
        }
        if (words == 0) continue;
        if (!oneItem || words > 4) return false;
        ++lines;
        syllables += candidates == words;
        chinese += candidates == words && uncommon > 0;
    }
    scope.romanizedList = lines >= 3 && 3 * syllables >= 2 * lines && 3 * chinese >= lines;
    return scope.romanizedList > 0;
}

// A word that cannot convert and begins no unit: English, whatever its
// neighbours are.
bool Plain(const Run& run, std::uint32_t index) { return !run.candidate && !run.established && run.unitEnd <= index; }

// Marks the words after a label's colon that end the sentence as a title
// does, where they are a romanized phrase: a catalogue's note names the
// original of a translation so ("Translation of: Hung lou meng."). Three
// words or more (two, one of them spelled as only Wade-Giles spells), the
// first capitalized and the others in lower case, a space apart, every one
// a syllable and none an English function word. The label's English says
// nothing of them. Kept out of line: few sentences hold a colon.
[[gnu::noinline]] void MarkRomanizedTitle(Scope& scope, const Sentence& sentence, std::size_t colon) {
    ScopeWork& w = scope.w;
    std::uint32_t first = sentence.firstRun + 1;
    while (first < sentence.endRun && w.runs[first].begin <= colon) ++first;
    if (first >= sentence.endRun || scope.Spaced(first) != ": ") return;
    bool evidence = false;
    for (std::uint32_t k = first; k < sentence.endRun; ++k) {
        const Run& run = w.runs[k];
        const CaseStyle style = k == first ? CaseStyle::Capitalized : CaseStyle::Lower;
        if (!run.candidate || run.inUnit || run.caseStyle != style || run.english == EnglishClass::Function ||
            (k > first && scope.Spaced(k) != " "))
            return;
        evidence = evidence || run.evidence;
    }
    const std::uint32_t words = sentence.endRun - first;
    if (words < 2 || (words == 2 && !evidence)) return;
    for (std::uint32_t k = first; k < sentence.endRun; ++k) w.runs[k].romanizedPhrase = true;
}

// Marks the words of brackets that hold a romanized phrase and nothing
// else: two words or more, all in lower case, every one a syllable, one
// spelled as only Wade-Giles spells ("the unity of knowledge and action
// (chih hsing ho i)"); and a romanized title after a label's colon (see
// MarkRomanizedTitle). The English around the brackets says nothing of
// them.
void MarkRomanizedPhrases(Scope& scope, const Sentence& sentence) {
    ScopeWork& w = scope.w;
    if (sentence.endRun <= sentence.firstRun + 1) return;
    // Most sentences hold no bracket nor colon: a search of their bytes says so at once.
    const std::size_t from = w.runs[sentence.firstRun].end, to = w.runs[sentence.endRun - 1].begin;
    if (from >= to) return;
    const Run& last = w.runs[sentence.endRun - 1];
    if (last.candidate && last.caseStyle == CaseStyle::Lower)
        if (const void* colon = std::memchr(scope.text.data() + from, ':', to - from))
            MarkRomanizedTitle(scope, sentence, static_cast<const char*>(colon) - scope.text.data());
    if (!std::memchr(scope.text.data() + from, '(', to - from)) return;
    for (std::uint32_t i = sentence.firstRun; i < sentence.endRun; ++i) {
        const std::uint32_t begin = w.runs[i].begin;
        if (i == sentence.firstRun || begin == 0 || scope.text[begin - 1] != '(') continue;
        std::uint32_t end = i;
        bool evidence = false, romanized = true;
        for (; end < sentence.endRun && romanized; ++end) {
            const Run& run = w.runs[end];
            romanized = run.candidate && run.caseStyle == CaseStyle::Lower && (end == i || Blank(scope.Spaced(end)));
            evidence = evidence || run.evidence;
            if (romanized && scope.text.substr(run.end).starts_with(')')) break;
        }
        if (!romanized || end == sentence.endRun || end == i || !evidence) continue;
        for (std::uint32_t k = i; k <= end; ++k) w.runs[k].romanizedPhrase = true;
        i = end;
    }
}

// The words of one sentence, with their evidence. With `gather`, words
// that cannot convert and follow one another are one token: English is the
// only label any of them can take, so the steps between them weigh nothing
// (each way into Chinese is closed), and the decision has the fewer words
// to go over. Without it every word is a token, as the tool that sets the
// weights reads them.
void BuildTokens(Scope& scope, const Sentence& sentence, std::vector<Token>& tokens, bool gather) {
    ScopeWork& w = scope.w;
    tokens.clear();
    MarkRomanizedPhrases(scope, sentence);
    // Whether the sentence holds a word of two or more small letters:
    // asked of its short words in capitals, and found once.
    int smallWords = -1;
    const auto holdsSmallWords = [&] {
        if (smallWords < 0) {
            smallWords = 0;
            for (std::uint32_t k = sentence.firstRun; k < sentence.endRun && !smallWords; ++k)
                smallWords = w.runs[k].caseStyle == CaseStyle::Lower && w.runs[k].normLength > 1;
        }
        return smallWords == 1;
    };
    for (std::uint32_t i = sentence.firstRun; i < sentence.endRun; ++i) {
        Run& run = w.runs[i];
        if (run.inUnit && run.unitEnd <= i) continue;  // inside a unit: its first run stands for it
        if (gather && !tokens.empty() && Plain(run, i) && tokens.back().plain) {
            tokens.back().last = i;
            continue;
        }
        const std::uint32_t previous = tokens.empty() ? kNone : tokens.back().last;
        // An established spelling is left as written whatever its
        // neighbours are: a change of label beside it costs nothing ("the
        // fall of the Ch'ing, Sun Yat-sen").
        const bool established = run.established || (previous != kNone && w.runs[tokens.back().first].established);
        // Built in place: a sentence may hold thousands.
        Token& t = tokens.emplace_back();
        t.first = i;
        t.last = run.unitEnd > i ? run.unitEnd - 1 : i;
        // After a gloss's term or before "dynasty" a change of label costs nothing.
        if (previous != kNone && !established && !tokens[tokens.size() - 2].freeAfter) {
            const Run& before = w.runs[previous];
            const Gap gap =
                GapBetween(previous + 1 == i ? scope.Spaced(i) : scope.text.substr(before.end, run.begin - before.end));
            // Nor does one across a comma beside a number, which is written
            // alike in either language: the year after a publisher ("yen
            // chiu so, 1969"), the dates after a heading ("LI, PO,
            // 701-762"). Across a space a number stays with its words:
            // "6 Jun 2003".
            if (gap != kComma || !(IsNumber(scope, before) || IsNumber(scope, run)))
                t.stepFeature = static_cast<std::uint8_t>(kStep + gap * 2 + (NameCapital(before) && NameCapital(run)));
        }
        i = t.last;
        t.plain = Plain(run, t.first);
        const bool unit = t.last > t.first;
        if (run.established || !run.candidate) continue;
        t.open = true;
        ApplyRules(scope, run, unit, t);
        const std::size_t index = t.first;
        // A calendar's weekdays are English (asked here, not among the
        // rules, where it cost the rest of them more than itself).
        if (run.normLength == 2 && t.open && !unit && InWeekdays(scope, index)) [[unlikely]] {
            t.open = false;
            continue;
        }
        // Tone numbers, where others stand beside them (see ReadRuns), are romanization.
        t.toned = run.tones && t.open;
        // A common English word in a Pinyin sentence is English all the same ("the Sun").
        if (t.pinyin && run.english >= EnglishClass::Function && run.english <= EnglishClass::Size35) t.pinyin = false;

        // The unit's English class: that of its least English word.
        EnglishClass english = !unit && ListedI(scope, run, index) ? EnglishClass::None : run.english;
        std::uint32_t syllables = 0;
        bool marked = false, notPinyin = false, evidence = false;
        for (std::uint32_t k = t.first; k <= t.last; ++k) {
            const Run& part = w.runs[k];
            if (k > t.first && (!IsEnglish(part.english) || part.english > english)) english = part.english;
            // A place written without hyphens that the word table knows
            // (Honan) has syllables, though the text does not show them.
            syllables += part.syllableCount == 1 && !part.allSyllables ? 2 : part.syllableCount;
            marked = marked || part.marked;
            evidence = evidence || part.evidence;
            notPinyin = notPinyin || !PinyinReads(scope, w.runs[k]);
        }
        // A capital that begins a sentence tells nothing: the word is
        // weighed as if in lower case ("Chin up!", "... then? No, ..."),
        // unless it is alone on its line (a list's item) or a capitalized
        // word of its name follows ("Ho Ping-ti was born").
        const Run* after = t.last + 1 < w.runs.size() ? &w.runs[t.last + 1] : nullptr;
        // Numbers after it (dates, a reign's years) leave it alone on its
        // line: "Sung (960-1279)", "T'ang 618-907"; so does a glossary's
        // gloss: "chou (department)", "hsien: county".
        bool wordAfter = false;
        // A common English word before a colon or a bracket is English
        // more often than a term: "To: John Smith", "Chin (anatomy)".
        const bool gloss = run.lineStart && !IsCommonEnglish(english) && GlossAfter(scope, t.last);
        for (std::uint32_t k = t.last + 1; run.lineStart && !gloss && !wordAfter && k < w.runs.size(); ++k) {
            if (w.runs[k].line != run.line) break;
            wordAfter = w.runs[k].normLength > 0 || unit;
        }
        // A day of the month is no reign's years: "Jun 11, 2019" is a date.
        const bool beforeNumber = BeforeNumber(scope, w.runs[t.last]);
        const bool alone = run.lineStart && !wordAfter && !beforeNumber;
        // A capitalized English word that could not convert is no word of
        // its name but a heading's capital ("Lo And Behold", "Chin Up").
        const bool nameFollows = after && after->group == run.group && run.group != kNone && after->candidate;
        const bool startsSentence =
            run.sentenceStart && run.caseStyle == CaseStyle::Capitalized && !alone && !nameFollows && !unit;
        // A common English word said again is English at a sentence's
        // start as inside one ("Ha-ha, he said", "So-so."), its capital
        // telling nothing; alone on its line in a list it may be a name.
        if (run.sentenceStart && run.syllableCount > 1 && run.caseStyle == CaseStyle::Capitalized && !nameFollows &&
            !unit && !scope.options.lines && CommonWordAgain(scope, run)) {
            t.open = false;
            continue;
        }
        // A word in capitals with an aspiration apostrophe or ü is no
        // abbreviation nor constant, which capitals otherwise mostly are:
        // it is weighed as a capitalized word ("HSÜEH", "TS'AO").
        const bool markedCaps = run.caseStyle == CaseStyle::AllCaps && (run.aspirated || run.umlaut);
        const int caseIndex = startsSentence ? 0 : markedCaps ? 1 : CaseIndex(run.caseStyle);
        t.Add(kBias);
        t.Add(kEnglishByCase + static_cast<int>(english) * 3 + caseIndex);
        t.Add(syllables == 1 ? kOneSyllable : syllables == 2 ? kTwoSyllables : kMoreSyllables);
        // A spelling only Wade-Giles has is evidence unless English writes
        // the word so itself ("Chin", "hung", "lung").
        if (evidence) t.Add(kMarked);
        if (notPinyin) t.Add(kNotPinyin);
        if (unit) {
            t.Add(kUnit);
        } else if (!run.wordValue.empty() && (run.syllableCount > 1 || !run.allSyllables)) {
            t.Add(kWordKey);
        }
        if (run.tones) t.Add(kTones);
        // A word alone on its line is weighed as one that begins a
        // sentence, whatever the lines around it hold: a list's item.
        if ((run.sentenceStart || alone) && Capital(run))
            t.Add(IsCommonEnglish(english) ? kSentenceStartCommon : kSentenceStartCapital);
        const Run* before = index > sentence.firstRun ? &w.runs[index - 1] : nullptr;
        const std::string_view gapBefore = index > 0 ? scope.Spaced(index) : std::string_view();
        const bool spaceBefore = before && !gapBefore.empty() && Blank(gapBefore);
        // A dynasty's name inside a sentence follows "the" as a name does,
        // and is weighed as that alone; after an honorific it is a
        // surname ("Dr. Chou", "Mr. Sung").
        const bool dynasty = !unit && run.syllableCount == 1 && run.caseStyle == CaseStyle::Capitalized &&
                             !run.sentenceStart && !alone && (IsDynasty(scope.Lower(run)) || run.besideDynasty) &&
                             AloneInGroup(scope, index) && !(index > 0 && IsHonorific(scope.Lower(w.runs[index - 1])));
        if (dynasty) t.Add(kDynastyName);
        // "the Sun", "the Chin family" against "the Ming", "the T'ang court";
        // "I" is no common noun ("the I Ching").
        if (spaceBefore && Capital(run) && before->determiner && !dynasty && !run.isPronounI)
            t.Add(english >= EnglishClass::Function && english <= EnglishClass::Size35 ? kAfterDeterminerEnglish
                                                                                       : kAfterDeterminer);
        // A Western name beside it: "Carl Jung", "Regards, Juan".
        if (before && ((run.group != kNone && before->group == run.group) || gapBefore == ", ") && before->western)
            t.Add(kAfterWestern);
        if (before && run.group != kNone && before->group == run.group && before->title && !before->determiner &&
            IsWeighedTitle(scope.Lower(*before)) && !HonorificAbbreviation(scope, *before))
            t.Add(kAfterTitle);
        if (beforeNumber) t.Add(kBeforeNumber);
        // A common English word of one syllable in lower case after one of
        // the commonest in lower case, or after one that cannot be Chinese,
        // goes on the English phrase, whatever Wade-Giles stands elsewhere
        // in the sentence: "painted a pen", "computed pi"; a term's
        // syllables joined are another matter: "the idea of wan-pan".
        if (spaceBefore && syllables == 1 && run.caseStyle == CaseStyle::Lower && IsCommonEnglish(english) &&
            before->caseStyle == CaseStyle::Lower && before->normLength > 0 &&
            (!before->candidate || IsCommonestEnglish(before->english)))
            t.Add(kCommonAfterEnglish);
        // A dynasty's name before "dynasty" or its years (see
        // MarkDynasty), and a place's before its noun where English
        // writes the word too (no other needs it), are weighed alike.
        const bool beforeDynasty = Capital(run) && (BeforeDynasty(scope, t.last) || (!unit && run.dynastyYears) ||
                                                    (IsEnglish(english) && !unit && BeforePlaceNoun(scope, t.last)));
        if (beforeDynasty) t.Add(kBeforeDynasty);
        if (!unit && InWadeGilesName(scope, index)) t.Add(kWadeGilesName);
        // So does a term glossed in brackets inside a sentence, in lower
        // case, one English uses rarely if at all ("jen (humaneness)"):
        // the brackets set it apart from the words after it.
        const bool glossed = !gloss && run.caseStyle == CaseStyle::Lower && !IsCommonEnglish(english) &&
                             english != EnglishClass::Size70 && BracketGlossAfter(scope, t.last);
        t.freeAfter = gloss || glossed || beforeDynasty;
        if (alone) {
            t.Add(Capital(run) ? kAloneCapital : kAloneLower);
            if ((scope.options.lines || RomanizedList(scope)) && Capital(run)) t.Add(kAloneInList);
        }
        // A heading with the surname first: "Sung, Lien", "Wang, Ta-nien".
        if (Capital(run)) {
            const auto heading = [&](std::size_t surname) {
                return HeadingComma(scope, surname) && w.runs[surname].candidate && w.runs[surname + 1].candidate;
            };
            if ((after && heading(t.last)) || (before && heading(index - 1))) t.Add(kHeading);
        }
        // Before "DYNASTY" a word in capitals is a dynasty's name, set in
        // capitals as the heading is ("THE SUNG DYNASTY"), no abbreviation.
        // So is a short word of several syllables written solid in
        // capitals among words in small letters ("the IMA hash"): a name
        // in capitals stands in a heading of capitals ("HONAN, HUPEI").
        const auto smallAround = [&] {
            return run.normLength <= 5 && scope.Lower(run).find('-') == std::string_view::npos && holdsSmallWords();
        };
        if (run.caseStyle == CaseStyle::AllCaps && (syllables == 1 || smallAround()) && AloneInGroup(scope, index) &&
            !beforeDynasty)
            t.Add(kCapsAbbreviation);
        if (run.solid) t.Add(kSolid);
        if (run.master) t.Add(kMaster);
        const std::uint32_t own = evidence ? 1 : 0;
        if (sentence.marked > own || (!scope.options.lines && ParagraphOf(scope, run).marked > own))
            t.Add(kMarkedNearby);
        if (sentence.words > 0 && 3 * sentence.english >= sentence.words && !gloss && !run.romanizedPhrase &&
            !(alone && Capital(run)))
            t.Add(kEnglishAround);
    }
}

void Score(std::vector<Token>& tokens) {
    for (Token& t : tokens) {
        t.score = 0;
        for (std::uint8_t k = 0; k < t.featureCount; ++k) t.score += kWeights[t.features[k]];
        t.step = t.stepFeature ? kWeights[t.stepFeature] : 0;
    }
}

// Marks "Tzu" after a capitalized name as a master's title: it joins the
// name when both convert ("Meng Tzu" -> "Mengzi"). So does an emperor's
// "Ti" after his dynasty and name ("Han Wu Ti" -> "Han Wudi", "Ch'in Shih
// Huang Ti" -> "Qin Shi Huangdi"); after two words it may be a person's
// name ("Fang Ti"). Nor after two words that are a reign, or a common
// word inside a title written apart: "K'ang Hsi Tzu Tien" (a dictionary),
// "Chung-kuo Li Shih Ti Li" (geography); "Huai Nan Tzu" is the master.
// Marks dynasties' names in the same pass (see MarkDynasty).
void FindMasters(Scope& scope) {
    ScopeWork& w = scope.w;
    if (!w.runs.empty() && w.runs[0].candidate && w.runs[0].syllableCount == 1) MarkDynasty(scope, 0);
    for (std::size_t i = 1; i < w.runs.size(); ++i) {
        Run& run = w.runs[i];
        const Run& name = w.runs[i - 1];
        if (!run.candidate || run.syllableCount != 1) continue;
        MarkDynasty(scope, i);
        if (run.normLength != 3 && run.normLength != 2) continue;
        const std::string_view lower = scope.Lower(run);
        const bool emperor = lower == "ti" && i >= 2 && run.group != kNone && name.group == run.group &&
                             w.runs[i - 2].group == run.group && w.runs[i - 2].candidate;
        // A capitalized Tzu; or a small one after a one-syllable name that
        // ends the title, as catalogues write the classics ("Chuang tzu",
        // "Han Fei tzu"). Inside a title it begins the next word ("San tzu
        // ching", "K'ang-hsi tzu tien"), unless the word table knows the
        // two as a name: a master's works and their commentaries ("Chuang
        // tzu chi shih", "Meng tzu cheng i"). After a word of two syllables
        // it may end the word ("Ku-tien tzu").
        const auto ends = [&] {
            if (emperor || name.syllableCount != 1) return false;
            if (i + 1 == w.runs.size() || !w.runs[i + 1].candidate || w.runs[i + 1].sentence != run.sentence ||
                scope.Spaced(i + 1) != " ")
                return true;
            // The name with the word of its group before it, or alone ("Han
            // Fei tzu", "Chuang tzu").
            std::string& key = w.joinedKey;
            const auto named = [&](bool whole) {
                key.clear();
                if (whole) (key += scope.Lower(w.runs[i - 2])) += ' ';
                (key += scope.Lower(name)) += "-tzu";
                const std::string_view value = scope.lex.WordKey(key);
                return !value.empty() && IsUpper(static_cast<unsigned char>(value[0]));
            };
            const bool inGroup = i >= 2 && name.group != kNone && w.runs[i - 2].group == name.group &&
                                 w.runs[i - 2].candidate && scope.Spaced(i - 1) == " ";
            return (inGroup && named(true)) || named(false);
        };
        if (!(lower == "tzu" || lower == "tze" || emperor) || !name.candidate || !Capital(name) ||
            name.sentence != run.sentence || scope.Spaced(i) != " " || name.baseEnd != name.end || run.inUnit ||
            !(Capital(run) || ends()))
            continue;
        if (run.group != kNone && i - 1 > w.groups[run.group].firstRun && scope.Spaced(i - 1) == " " &&
            w.runs[i - 2].candidate) {
            std::string& key = w.joinedKey;
            key.assign(scope.Lower(w.runs[i - 2]));
            key += '-';
            key += scope.Lower(name);
            // A common word only where the title goes on after it: "Chin
            // Wu Ti" is the emperor, though chin-wu is a word.
            const std::string_view value = scope.lex.WordKey(key);
            const bool more = i + 1 < w.groups[run.group].endRun;
            if (!value.empty() && (IsReign(value) || (more && !IsUpper(static_cast<unsigned char>(value[0])))))
                continue;
        }
        run.master = true;
    }
}

}  // namespace

const char* FeatureName(int feature) {
    static std::string names[kFeatureCount];
    if (feature < 0 || feature >= kFeatureCount) return "";
    std::string& name = names[feature];
    if (name.empty()) {
        if (feature == kBias) {
            name = "bias";
        } else if (feature < kOneSyllable) {
            const int k = feature - kEnglishByCase;
            name = std::string(kClassNames[k / 3]) + ", " + kCaseNames[k % 3];
        } else if (feature < kWordEnd) {
            name = kWordNames[feature - kOneSyllable];
        } else {
            name = kStepNames[feature - kStep];
        }
    }
    return name.c_str();
}

namespace {

// Whether run `k` converted: a key across words is decided on its first
// word, which speaks for the others ("Ho Lung", "Wang Kuo-wei").
bool Converted(const ScopeWork& w, std::size_t k) {
    while (k > 0 && w.runs[k].inUnit && w.runs[k].unitEnd <= k) --k;
    return w.runs[k].chinese;
}

// Whether a converted word is read by the word table: a key across words,
// a key of more than one syllable, or one with the marks a text drops.
bool ByWordTable(const Run& run, bool unit) {
    return unit || ((!run.wordValue.empty() || run.readDegraded) && run.syllableCount > 1);
}

// A word a rule converts after the weighing: by the word table where it
// holds the word, else syllable by syllable.
void ConvertByRule(Run& run, bool ambiguous) {
    run.chinese = true;
    run.decision = ByWordTable(run, false) ? Decision::WordTable : Decision::Syllables;
    run.ambiguous = ambiguous;
}

}  // namespace

// A surname met again on its own after its name converted: "Lo Jui-chih
// stayed a week. The next day Lo left" is the same man, and the second "Lo"
// is "Luo" too. Only a capitalized word of one syllable, alone in its name
// group but for words that cannot convert, not after a determiner ("the
// Sun") or a Western given name, and not the pronoun "I", and in lines
// mode only on the name's own line. Reported ambiguous where English
// has the word ("To", "Chin").
void RepeatSurnames(Scope& scope) {
    ScopeWork& w = scope.w;
    // Each surname once: a word of one syllable, so there are a few hundred
    // at most, however long the paragraph, but each name asks.
    WordMap<char> surnames;
    std::uint32_t line = 0;
    for (std::size_t i = 0; i < w.runs.size(); ++i) {
        Run& run = w.runs[i];
        if (LinesApart(scope) && run.line != line) {
            surnames.Clear();
            line = run.line;
        }
        if (run.group == kNone || run.syllableCount != 1 || !run.candidate || run.established) continue;
        const Group& g = w.groups[run.group];
        const std::string_view lower = scope.Lower(run);
        // Searched only where the answer matters: most words are neither.
        auto met = [&] { return surnames.Find(lower) != nullptr; };
        if (run.chinese && g.firstRun == i && g.endRun > i + 1 && Converted(w, i + 1)) {
            surnames.Add(lower, 1);
            continue;
        }
        if (run.chinese || run.decision != Decision::English || run.isPronounI ||
            run.caseStyle != CaseStyle::Capitalized || (i > 0 && w.runs[i - 1].determiner))
            continue;
        if (!met()) continue;
        // Alone in its group but for words that cannot convert ("When Fang
        // arrived", "Both Yen and").
        if (!AloneInGroup(scope, i)) continue;
        // After a Western given name or initials it is that name's: "Chang
        // Ai-ling (Eileen Chang)", "Kung Hsiang-hsi (H. H. Kung)". So is a
        // given name before an initial and a surname ("Juan M. Navarro").
        if (i > 0 && ((w.runs[i - 1].group == run.group && w.runs[i - 1].western) ||
                      (IsInitialRun(scope, w.runs[i - 1]) && scope.Spaced(i) == ". ")))
            continue;
        if (i + 2 < w.runs.size() && WesternOrder(scope, i)) continue;
        ConvertByRule(run, IsEnglish(run.english));
    }
}

// Leaves a surname as its established name is left: "Chiang Kai-shek ...
// Chiang then purged" keeps both, where the lone "Chiang" gave "Jiang".
// Only where the established spellings are left, for a capitalized word of
// one syllable alone in its name group but not on its line, and only where
// no converted name of the scope begins with that surname ("Chiang
// Ch'ing"), which would make the lone one anyone's. In lines mode only on
// the name's own line.
void KeepEstablishedSurnames(Scope& scope) {
    if (scope.options.convertConventional) return;
    ScopeWork& w = scope.w;
    // The surnames of the scope's established names and of its converted
    // ones, with their lines in lines mode: a few at most.
    struct Surname {
        std::string_view lower;
        std::uint32_t line;
    };
    std::vector<Surname> kept, converted;
    const auto lineOf = [&](const Run& run) { return LinesApart(scope) ? run.line : 0; };
    for (std::size_t i = 0; i < w.runs.size(); ++i) {
        const Run& run = w.runs[i];
        if (run.syllableCount != 1 || i + 1 == w.runs.size()) continue;
        // A name that converted begins with a surname the word after it
        // joins, in one key ("Chiang Ch'ing") or in its name group
        // ("Chiang Ching-yü").
        const bool leads = run.unitEnd > i + 1 || (run.group != kNone && w.groups[run.group].firstRun == i &&
                                                   w.groups[run.group].endRun > i + 1);
        if (!leads) continue;
        if (run.established)
            kept.push_back({scope.Lower(run), lineOf(run)});
        else if (run.chinese && run.caseStyle == CaseStyle::Capitalized && Converted(w, i + 1))
            converted.push_back({scope.Lower(run), lineOf(run)});
    }
    if (kept.empty()) return;
    const auto holds = [](const std::vector<Surname>& list, std::string_view lower, std::uint32_t line) {
        return std::any_of(list.begin(), list.end(), [&](const Surname& s) { return s.lower == lower && s.line == line; });
    };
    for (std::size_t i = 0; i < w.runs.size(); ++i) {
        Run& run = w.runs[i];
        if (!run.chinese || run.inUnit || run.syllableCount != 1 || run.caseStyle != CaseStyle::Capitalized ||
            !AloneInGroup(scope, i))
            continue;
        // Alone on its line it is a list's surname, no one's.
        if (run.lineStart && (i + 1 == w.runs.size() || w.runs[i + 1].line != run.line)) continue;
        const std::string_view lower = scope.Lower(run);
        if (!holds(kept, lower, lineOf(run)) || holds(converted, lower, lineOf(run))) continue;
        run.chinese = false;
        run.established = true;
    }
}

namespace {

// What stands next to a word past spaces and at most one opening bracket:
// whether it is a Han character, and whether a bracket came between.
struct Neighbour {
    bool han = false, bracket = false;
    bool word = false;     // the Han characters, read forward, are a word or a name: four at most
    std::size_t end = 0;  // read forward: the byte after them
};
Neighbour NextTo(std::string_view text, std::size_t at, bool forward) {
    Neighbour n;
    std::size_t i = at;
    while (forward ? i < text.size() : i > 0) {
        std::size_t start = i, length = 0;
        if (!forward) {
            start = i - 1;
            while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        }
        const char32_t c = DecodeAt(text, start, length);
        const bool space = c == ' ' || c == '\t' || c == 0x3000;
        const bool bracket = !n.bracket && (c == '(' || c == 0xFF08);
        if (!space && !bracket) {
            n.han = IsHan(c);
            if (n.han && forward) {
                std::size_t count = 1, k = start + length;
                for (; k < text.size() && count <= 4; k += length, ++count)
                    if (!IsHan(DecodeAt(text, k, length))) break;
                n.word = count <= 4;
                n.end = k;
            }
            return n;
        }
        n.bracket = n.bracket || bracket;
        i = forward ? start + length : start;
    }
    return n;
}

// Whether only spaces stand before byte `at` on its line.
bool AtLineHead(std::string_view text, std::size_t at) {
    while (at > 0 && (text[at - 1] == ' ' || text[at - 1] == '\t')) --at;
    return at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r';
}

// Whether the line ends at byte `at`, or goes on in Latin letters after a
// space: a glossary's gloss, not more Chinese.
bool GlossOrLineEnd(std::string_view text, std::size_t at) {
    std::size_t i = at;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i == text.size() || text[i] == '\n' || text[i] == '\r') return true;
    return i > at && IsAsciiLetter(static_cast<unsigned char>(text[i]));
}

// A word beside the Han characters it romanizes: a glossary's headword
// ("jen 仁 humaneness", "hung 紅 red", "Tai Chen 戴震 (1724-1777)"), or a
// word with its characters in brackets ("jen (仁)", "仁 (jen)"). The
// weights see an English word at the head of an English line. Without a
// bracket the word (or its name) must head its line and the characters be
// a word's worth, four at most, since text that mixes the languages writes
// "went to 北京", "使用 ping 命令" and "ping 命令用于测试网络"; and a
// letter alone is one only in lower case at its line's head before its
// characters and their gloss ("i 義 righteousness"): Chinese text names
// keys and labels so ("按下 i 键", "输入 o", "i 键插入").
void BesideHan(Scope& scope) {
    ScopeWork& w = scope.w;
    for (std::size_t i = 0; i < w.runs.size(); ++i) {
        Run& run = w.runs[i];
        // Left as Pinyin, or as a name of another romanization or a
        // Western one, it stays so beside its characters too ("Li Peng 李鹏").
        if (run.chinese || !run.candidate || run.established || run.inUnit || run.isPronounI ||
            run.caseStyle == CaseStyle::AllCaps || run.caseStyle == CaseStyle::Mixed || run.normLength == 0 ||
            run.decision == Decision::Pinyin || run.decision == Decision::NotWadeGiles)
            continue;
        const Group* group = run.group != kNone ? &w.groups[run.group] : nullptr;
        if (group && (group->pinyin || group->western || group->otherRomanization)) continue;
        const Neighbour after = NextTo(scope.text, run.end, true);
        const Neighbour before = after.han ? Neighbour{} : NextTo(scope.text, run.begin, false);
        if (!after.han && !before.han) continue;
        const bool bracket = after.han ? after.bracket : before.bracket;
        // The name the word belongs to goes with it: "Tai Chen 戴震".
        const std::size_t first = group ? group->firstRun : i, end = group ? group->endRun : i + 1;
        if (!bracket && !(after.word && AtLineHead(scope.text, w.runs[first].begin))) continue;
        if (run.normLength == 1 && (bracket || !after.han || run.caseStyle != CaseStyle::Lower ||
                                    !GlossOrLineEnd(scope.text, after.end)))
            continue;
        for (std::size_t k = first; k < end; ++k) {
            Run& part = w.runs[k];
            if (part.chinese || !part.candidate || part.established || part.inUnit || part.isPronounI) continue;
            ConvertByRule(part, IsCommonEnglish(part.english));
        }
    }
}

// "I" before a word of its name that converted is a name's syllable, not
// the pronoun, which no capitalized word of a name follows ("..., I
// Lin-ch'ing returned", "I Ching").
void NameI(Scope& scope) {
    ScopeWork& w = scope.w;
    for (std::size_t i = 0; i + 1 < w.runs.size(); ++i) {
        Run& run = w.runs[i];
        if (run.isPronounI && !run.chinese && run.group != kNone && w.groups[run.group].pronounRule &&
            w.runs[i + 1].group == run.group && Converted(w, i + 1))
            ConvertByRule(run, false);
    }
}

// Whether a word of sentence `sentence` in lower case, no "i", converted
// and is glossed in brackets after it.
bool GlossedTermConverted(const Scope& scope, std::uint32_t sentence) {
    const Sentence& s = scope.w.sentences[sentence];
    for (std::uint32_t k = s.firstRun; k < s.endRun; ++k) {
        const Run& run = scope.w.runs[k];
        if (run.chinese && run.caseStyle == CaseStyle::Lower && scope.Lower(run) != "i" && BracketGlossAfter(scope, k))
            return true;
    }
    return false;
}

// The syllable "i" in lower case where it ends or goes on with a romanized
// phrase: "Chou i", "San kuo yen i", "Chou i cheng i". English writes its
// pronoun "I"; a lower-case "i" after a word that converted, with nothing
// English after it, is no variable or numeral but the phrase's last
// syllable, which the weights, taking it for a letter, leave.
void SyllableI(Scope& scope) {
    ScopeWork& w = scope.w;
    // GlossedTermConverted, asked once for each sentence.
    std::uint32_t asked = kNone;
    bool glossedConverted = false;
    for (std::size_t i = 1; i < w.runs.size(); ++i) {
        Run& run = w.runs[i];
        if (run.chinese || !run.candidate || run.normLength != 1 || run.caseStyle != CaseStyle::Lower ||
            scope.Lower(run) != "i")
            continue;
        // Glossed in brackets beside another term glossed so that
        // converted, it is one of a list of terms: "jen (humaneness) and i
        // (righteousness)", not a variable ("i (the index)").
        if (BracketGlossAfter(scope, i)) {
            if (asked != run.sentence) {
                asked = run.sentence;
                glossedConverted = GlossedTermConverted(scope, run.sentence);
            }
            if (glossedConverted) {
                ConvertByRule(run, false);
                continue;
            }
        }
        // Joined by "and" or "or" to a term in lower case that converted,
        // it is one of the terms: "jen and i", "i or chung".
        const auto term = [&](std::size_t k) {
            return k < w.runs.size() && w.runs[k].sentence == run.sentence && w.runs[k].chinese &&
                   w.runs[k].caseStyle == CaseStyle::Lower;
        };
        const auto joins = [&](std::size_t k) {
            const std::string_view word = scope.Lower(w.runs[k]);
            return w.runs[k].sentence == run.sentence && (word == "and" || word == "or");
        };
        if ((i >= 2 && joins(i - 1) && term(i - 2) && scope.Spaced(i) == " " && scope.Spaced(i - 1) == " ") ||
            (i + 2 < w.runs.size() && joins(i + 1) && term(i + 2) && scope.Spaced(i + 1) == " " &&
             scope.Spaced(i + 2) == " ")) {
            ConvertByRule(run, false);
            continue;
        }
        if (!Converted(w, i - 1) || w.runs[i - 1].sentence != run.sentence || scope.Spaced(i) != " ") continue;
        const bool last = i + 1 == w.runs.size() || w.runs[i + 1].sentence != run.sentence ||
                          !Blank(scope.Spaced(i + 1)) || Converted(w, i + 1);
        if (last) ConvertByRule(run, false);
    }
}

// A capitalized word of one syllable before two words in lower case that
// converted is a title's first syllable, as catalogues and editors write a
// romanized title: "The Hung lou meng was written by ...", "I wen yin shu
// kuan". The weights leave it, taking it for the English
// word it spells ("hung", after "The") or for the pronoun. Not a function
// word ("To", "No": English's own before a phrase), nor a word a rule left
// (a Western given name, a Pinyin text's). An "I" that is a sentence with
// one such word and nothing else ("I li", "I chuan": a classic's title, a
// list's item) is one too: English's pronoun has a verb after it.
void TitleFirstSyllable(Scope& scope) {
    ScopeWork& w = scope.w;
    const auto inPhrase = [&](std::size_t k) {
        return k < w.runs.size() && w.runs[k].sentence == w.runs[k - 1].sentence && Blank(scope.Spaced(k)) &&
               w.runs[k].caseStyle == CaseStyle::Lower && Converted(w, k);
    };
    const auto sentenceEdge = [&](std::size_t k) {
        return k == 0 || k >= w.runs.size() || w.runs[k].sentence != w.runs[k - 1].sentence;
    };
    for (std::size_t i = 0; i + 1 < w.runs.size(); ++i) {
        Run& run = w.runs[i];
        if (!run.candidate || run.chinese || run.established || run.decision != Decision::English ||
            run.inUnit || run.syllableCount != 1 || !inPhrase(i + 1))
            continue;
        const bool title = inPhrase(i + 2) ? run.isPronounI || (run.caseStyle == CaseStyle::Capitalized &&
                                                                 run.english != EnglishClass::Function)
                                           : run.isPronounI && sentenceEdge(i) && sentenceEdge(i + 2);
        if (title) ConvertByRule(run, false);
    }
}

// An ordinal, "ti" before a number and the word it counts: "Ti 1 pan",
// "ti 12 chi", "Ti 3 tz'u yin shua" (an edition, a volume, a printing).
// Each word is weighed beside a number, which reads as a date or a
// measure in English; the three together are romanized Chinese, and both
// words convert or neither.
void Ordinals(Scope& scope) {
    ScopeWork& w = scope.w;
    for (std::size_t i = 0; i + 2 < w.runs.size(); ++i) {
        Run& ti = w.runs[i];
        const Run& number = w.runs[i + 1];
        Run& counted = w.runs[i + 2];
        if (!ti.candidate || ti.caseStyle == CaseStyle::AllCaps || scope.Lower(ti) != "ti" || !counted.candidate ||
            counted.caseStyle != CaseStyle::Lower || counted.sentence != ti.sentence || scope.Spaced(i + 1) != " " ||
            scope.Spaced(i + 2) != " ")
            continue;
        const std::string_view digits = scope.text.substr(number.begin, number.end - number.begin);
        if (digits.size() > 4 || !std::all_of(digits.begin(), digits.end(), [](char c) { return IsAsciiDigit(c); }))
            continue;
        for (Run* run : {&ti, &counted})
            if (!run->chinese) ConvertByRule(*run, false);
    }
}

// The most a function word of one syllable can weigh for Chinese where no
// word of its scope has a spelling only Wade-Giles has: the features such a
// word can have, the others' only when they count for Chinese. In lower
// case; or capitalized at a sentence's start with no word of its name
// after it and not before "dynasty", weighed as in lower case, or as
// capitalized when alone on its line. Below zero, and with no change of
// label rewarded, the best labelling leaves it English, which
// EnglishWherever relies on.
constexpr float FunctionWordAtMost(bool capitalized) {
    constexpr int function = kEnglishByCase + static_cast<int>(EnglishClass::Function) * 3;
    float most = kWeights[kBias] + kWeights[kOneSyllable];
    for (const int feature : {kNotPinyin, kAfterWestern, kBeforeNumber, kEnglishAround})
        most += std::max(0.0f, kWeights[feature]);
    if (!capitalized) return most + kWeights[function] + std::max(0.0f, kWeights[kAloneLower]);
    most += std::max(0.0f, kWeights[kSentenceStartCommon]) + std::max(0.0f, kWeights[kHeading]);
    return most + std::max(kWeights[function], kWeights[function + 1] + kWeights[kAloneCapital]);
}
static_assert(FunctionWordAtMost(false) < 0, "a function word in lower case may weigh for Chinese");
static_assert(FunctionWordAtMost(true) < 0, "a function word starting a sentence may weigh for Chinese");
constexpr bool NoStepRewarded() {
    for (int feature = kStep; feature < kFeatureCount; ++feature)
        if (kWeights[feature] > 0) return false;
    return true;
}
static_assert(NoStepRewarded(), "a change of label may weigh for Chinese");

}  // namespace

bool EnglishWherever(const Run& run, bool sentenceStart) {
    return run.candidate && run.english == EnglishClass::Function && run.syllableCount == 1 && run.allSyllables &&
           !run.marked && !run.tones && !run.solid && run.wordValue.empty() &&
           (run.caseStyle == CaseStyle::Lower || (run.caseStyle == CaseStyle::Capitalized && sentenceStart));
}

void Decide(Scope& scope) {
    ScopeWork& w = scope.w;
    FindMasters(scope);
    std::vector<Token>& tokens = w.tokens;
    // A word left before two words in lower case that converted, or an
    // "I" before one: perhaps a romanized title's first (TitleFirstSyllable).
    bool leftBeforePhrase = false;
    for (Sentence& sentence : w.sentences) {
        if (sentence.candidates == 0) continue;  // nothing could convert: nothing to decide
        BuildTokens(scope, sentence, tokens, true);
        if (tokens.empty()) continue;
        Score(tokens);
        const std::size_t n = tokens.size();
        // Viterbi over two labels, 1 Chinese and 0 English, and the best
        // score with each label at each word from both ends (max-marginals)
        // for how close the call was.
        constexpr float kNo = -1e30f;
        w.scores.assign(4 * n, 0);
        float* forwardC = w.scores.data();
        float* forwardE = forwardC + n;
        float* backwardC = forwardE + n;
        float* backwardE = backwardC + n;
        w.path.assign(2 * n, 0);
        constexpr float kSure = 1e4f;
        auto emit = [&](std::size_t i) { return !tokens[i].open ? kNo : tokens[i].toned ? kSure : tokens[i].score; };
        for (std::size_t i = 0; i < n; ++i) {
            const float prevC = i ? forwardC[i - 1] : 0, prevE = i ? forwardE[i - 1] : 0;
            const float step = i ? tokens[i].step : 0;
            const float stayC = prevC, fromE = prevE + step;
            forwardC[i] = emit(i) + std::max(stayC, fromE);
            w.path[2 * i + 1] = stayC >= fromE ? 1 : 0;
            const float stayE = prevE, fromC = prevC + step;
            forwardE[i] = std::max(stayE, fromC);
            w.path[2 * i] = fromC > stayE ? 1 : 0;
        }
        for (std::size_t i = n; i-- > 0;) {
            if (i + 1 == n) {
                backwardC[i] = backwardE[i] = 0;
                continue;
            }
            const float step = tokens[i + 1].step;
            const float nextC = emit(i + 1) + backwardC[i + 1], nextE = backwardE[i + 1];
            backwardC[i] = std::max(nextC, nextE + step);
            backwardE[i] = std::max(nextE, nextC + step);
        }
        int label = forwardC[n - 1] > forwardE[n - 1] ? 1 : 0;
        // Whether the tokens after this one are words in lower case that
        // converted: the next, and both the next and the one after it.
        bool lowerAfter = false, twoLowerAfter = false;

        for (std::size_t i = n; i-- > 0;) {
            Token& t = tokens[i];
            Run& run = w.runs[t.first];
            const bool chinese = label == 1 && t.open;
            leftBeforePhrase = leftBeforePhrase || (!chinese && ((twoLowerAfter && run.caseStyle != CaseStyle::Lower) ||
                                                                 (lowerAfter && run.isPronounI)));
            const bool lower = chinese && run.caseStyle == CaseStyle::Lower;
            twoLowerAfter = lower && lowerAfter;
            lowerAfter = lower;
            const float margin = (forwardC[i] + backwardC[i]) - (forwardE[i] + backwardE[i]);
            label = w.path[2 * i + label];
            if (!run.candidate || run.established) continue;
            const bool unit = t.last > t.first;
            if (!scope.options.englishGuard) {
                run.chinese = true;
            } else {
                run.chinese = chinese;
            }
            if (run.chinese) {
                run.decision = ByWordTable(run, unit) ? Decision::WordTable : Decision::Syllables;
            } else {
                // After a Western given name ("Carl Jung") a surname is
                // the Western name's, in a Pinyin text too.
                run.decision = t.otherRomanization          ? Decision::NotWadeGiles
                               : t.pinyin && !t.western ? Decision::Pinyin
                                                        : Decision::English;
            }
            run.ambiguous =
                scope.options.englishGuard &&
                (t.western || (!t.pinyin && IsEnglish(run.english) && std::fabs(margin) < kAmbiguousMargin));
        }
    }
    if (scope.options.englishGuard) {
        // Each rule goes over the scope's words only where it could apply.
        if (scope.han) BesideHan(scope);
        if (scope.syllableI) SyllableI(scope);
        if (leftBeforePhrase) TitleFirstSyllable(scope);
        if (scope.nameI) NameI(scope);
        if (scope.ordinal) Ordinals(scope);
        RepeatSurnames(scope);
        if (scope.establishedName) KeepEstablishedSurnames(scope);
    }
}

void DescribeEvidence(Scope& scope, std::vector<std::vector<WordEvidence>>& sentences) {
    FindMasters(scope);
    std::vector<Token> tokens;
    sentences.clear();
    for (Sentence& sentence : scope.w.sentences) {
        BuildTokens(scope, sentence, tokens, false);
        if (tokens.empty()) continue;
        std::vector<WordEvidence>& out = sentences.emplace_back();
        for (const Token& t : tokens) {
            WordEvidence& e = out.emplace_back();
            e.begin = scope.w.runs[t.first].begin;
            e.end = scope.w.runs[t.last].end;
            // A function word the rule leaves English is shown to the fit
            // all the same: the rule reaches nearly every such word of
            // English prose, and without them the fit no longer learns
            // that the weights must say English of one where the rule does
            // not reach ("so long to"), as the quick look relies on.
            e.open = t.open || t.connective;
            e.features.assign(t.features, t.features + t.featureCount);
            if (t.stepFeature) e.step.push_back(t.stepFeature);
        }
    }
}

}  // namespace kesti
