// Finding the words of a scope, their sentences, name groups and keys across words.
#include "prose/words.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include <utf8proc.h>

#include "prose/chars.h"
#include "text/bits.h"
#include "text/text_rules.h"

namespace kesti {

namespace {

bool IsAbbreviation(std::string_view lower) {
    static constexpr std::string_view kAbbreviations[] = {
        "al",   "approx", "apr", "aug", "ca",   "capt", "cf",  "ch",    "chap", "cit",  "col",  "comp", "dec", "dr",
        "e.g",  "ed",     "eds", "esp", "etc",  "feb",  "fig", "ft",    "gen",  "i.e",  "ibid", "jan",  "jr",  "jul",
        "jun",  "lt",     "mar", "mr",  "mrs",  "ms",   "mt",  "no",    "nos",  "nov",  "oct",  "op",   "p",   "pp",
        "prof", "repr",   "rev", "sep", "sept", "sr",   "st",  "trans", "vol",  "vols", "vs",
    };
    static constexpr SortedWords abbreviations(kAbbreviations);
    return abbreviations.Has(lower);
}

}  // namespace

bool IsNonAsciiWordChar(char32_t c) {
    if (ToneOf(c)) return true;
    if (c >= 0x300 && c <= 0x36F) return true;  // combining marks
    if (c == 0xD7 || c == 0xF7) return false;   // × ÷
    if ((c >= 0xC0 && c <= 0x24F) || (c >= 0x1E00 && c <= 0x1EFF)) {
        const utf8proc_category_t category = utf8proc_category(static_cast<utf8proc_int32_t>(c));
        return category >= UTF8PROC_CATEGORY_LU && category <= UTF8PROC_CATEGORY_LO;
    }
    return false;
}

char32_t WordEntityAt(std::string_view text, std::size_t i, std::size_t& length) {
    // The longest spelled here: "&#x2019;" and "&rsquo;" have eight bytes and seven.
    const std::string_view entity = text.substr(i, 10);
    const std::size_t end = entity.find(';');
    if (entity.size() < 4 || entity[0] != '&' || end == std::string_view::npos) return 0;
    const std::string_view body = entity.substr(1, end - 1);
    char32_t c = 0;
    if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x' || body[1] == 'X';
        const std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty() || digits.size() > 6) return 0;
        for (const char d : digits) {
            const int value = IsAsciiDigit(d)               ? d - '0'
                              : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                              : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                            : -1;
            if (value < 0) return 0;
            c = c * (hex ? 16 : 10) + static_cast<char32_t>(value);
        }
    } else {
        static constexpr struct {
            std::string_view name;
            char32_t c;
        } kNamed[] = {{"apos", '\''}, {"rsquo", 0x2019}, {"lsquo", 0x2018}, {"uuml", 0xFC},
                      {"Uuml", 0xDC}, {"ecirc", 0xEA},   {"Ecirc", 0xCA},   {"acute", 0xB4}};
        for (const auto& named : kNamed)
            if (body == named.name) c = named.c;
    }
    if (!(IsApostrophe(c) || (c >= 0xC0 && IsWordChar(c)))) return 0;
    length = end + 1;
    return c;
}

bool IsWestern(const Run& run) {
    return Capital(run) && !run.candidate && !run.pinyinOnly && !run.glued && run.english != EnglishClass::Function &&
           run.english != EnglishClass::Chinese && run.normLength > 0 && !run.title;
}

bool WadeGilesOnly(Scope& scope, Run& run) {
    if (!run.wadeGilesOnly)
        run.wadeGilesOnly = run.candidate && !IsEnglish(run.english) && !PinyinReads(scope, run) ? 2 : 1;
    return run.wadeGilesOnly == 2;
}

bool PinyinReads(Scope& scope, Run& run) {
    if (!run.pinyinReading) run.pinyinReading = scope.lex.IsPinyin(scope.Lower(run)) ? 2 : 1;
    return run.pinyinReading == 2;
}

namespace {

// The length of the MARC subfield delimiter at `at` in a record written as
// text: "$" as MARC editors write it, "|" and "‡" as catalogues display it;
// 0 where there is none.
std::size_t DelimiterLength(std::string_view text, std::size_t at) {
    if (text[at] == '$' || text[at] == '|') return 1;
    return text.substr(at, 3) == "\xE2\x80\xA1" ? 3 : 0;
}

// Whether a subfield delimiter ends just before `at`.
bool AfterSubfieldDelimiter(std::string_view text, std::size_t at) {
    return (at >= 1 && DelimiterLength(text, at - 1) == 1) || (at >= 3 && DelimiterLength(text, at - 3) == 3);
}

// Whether a subfield's code, a lower-case letter or a digit, follows a
// delimiter at `at`.
bool SubfieldAt(std::string_view text, std::size_t at) {
    const std::size_t length = DelimiterLength(text, at);
    const std::size_t code = at + length;
    return length && code < text.size() && (IsAsciiLower(text[code]) || IsAsciiDigit(text[code]));
}

// Whether a MARC field's tag, three digits and a space or a tab, begins at
// `at`, before `end`.
bool TagAt(std::string_view text, std::size_t at, std::size_t end) {
    return at + 4 <= end && IsAsciiDigit(text[at]) && IsAsciiDigit(text[at + 1]) && IsAsciiDigit(text[at + 2]) &&
           (text[at + 3] == ' ' || text[at + 3] == '\t');
}

// Whether the line at `line` is a field of a MARC record written as text,
// and where its words begin (`words`): after the tag and indicators,
// "=245  10" as MARC editors write it, "245 10 " or "100 1_ " as catalogues
// display it on a line that holds a subfield ("$a", "|a", "‡a"); or a
// line of subfields alone, copied from one ("$a Ho, Ping-ti, $d 1917").
[[gnu::cold]] bool MarcField(std::string_view text, std::size_t line, std::size_t& words) {
    const std::size_t end = std::min(text.find('\n', line), text.size());
    const auto subfieldAfter = [&](std::size_t from) {
        for (std::size_t k = from; k < end; ++k)
            if (SubfieldAt(text, k)) return true;
        return false;
    };
    std::size_t i = line;
    while (i < end && text[i] == ' ') ++i;
    // Subfields alone: a code apart from its words, and another subfield.
    if (i + 2 < end && SubfieldAt(text, i)) {
        const std::size_t code = i + DelimiterLength(text, i);
        words = i;
        return code + 1 < end && text[code + 1] == ' ' && subfieldAfter(code + 1);
    }
    i = line;
    const bool editor = i < end && text[i] == '=';
    if (editor) ++i;
    if (!TagAt(text, i, end)) return false;
    i += 3;
    // Two indicators at most, each a digit or a blank written "_", "#" or
    // "\\", among spaces.
    std::size_t indicators = 0;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c == ' ' || c == '\t') continue;
        if (!(IsAsciiDigit(c) || c == '_' || c == '#' || c == '\\') || ++indicators > 2) break;
    }
    if (i == end || IsAsciiDigit(text[i]) || !(editor || subfieldAfter(i))) return false;
    words = i;
    return true;
}

// Whether a line of `text` (not empty) passes `test`, given where it begins.
template <class Test>
bool AnyLine(std::string_view text, Test test) {
    for (std::size_t at = 0;;) {
        if (test(at)) return true;
        const std::size_t newline = text.find('\n', at);
        if (newline == std::string_view::npos || newline + 1 == text.size()) return false;
        at = newline + 1;
    }
}

// Whether the line at `line` is a field of a MARC record written as text
// that holds codes and numbers, not words: a control field or another of
// tag 0XX ("=008  780101s1957\\\\ch" as MARC editors write it, "008
// 780101s1957    ch ... chi" or "041 0_ |a chi" as catalogues display
// it), there only in a scope that holds a field with subfields (`fields`:
// unknown below 0, asked once a scope), or in a batch (`items`) an item,
// which lends the others nothing.
[[gnu::cold]] bool CodeField(std::string_view text, std::size_t line, bool items, int& fields) {
    const bool editor = text[line] == '=';
    const std::size_t i = line + editor;
    if (!TagAt(text, i, text.size()) || text[i] != '0') return false;
    if (editor) return true;
    std::size_t words = 0;
    if (items) return MarcField(text, line, words);
    if (fields < 0)
        fields = AnyLine(text, [&](std::size_t at) { return IsAsciiDigit(text[at]) && MarcField(text, at, words); });
    return fields == 1;
}

// Whether a letter of a markup tag's name or of an attribute's name may
// stand at `c`.
inline bool TagNameByte(char c) {
    return IsAsciiLetter(c) || IsAsciiDigit(c) || c == ':' || c == '_' || c == '.' || c == '-';
}

// Whether the line at `line` begins with the tag of a field of a record in
// the tagged formats of reference managers and bibliographic databases
// ("TI  - Kuo shih ta kang", "AU  - Ch'ien, Mu", "FAU - Ho, Ping-ti",
// "PMID- 123"): capitals and digits, filled with spaces to four, a hyphen
// and a space; and where the line's words begin (`words`).
bool RecordTagAt(std::string_view text, std::size_t line, std::size_t& words) {
    if (line + 5 > text.size() || !IsAsciiUpper(text[line])) return false;
    std::size_t k = line + 1;
    while (k < line + 4 && (IsAsciiUpper(text[k]) || IsAsciiDigit(text[k]))) ++k;
    if (k == line + 1) return false;
    while (k < line + 4 && text[k] == ' ') ++k;
    if (k != line + 4 || text[k] != '-') return false;
    words = k + 1;
    return words == text.size() || text[words] == ' ' || text[words] == '\r' || text[words] == '\n';
}

// Whether a line beginning with such a tag is a record's field: its scope
// (in a batch, its own line) holds a record's first or last field, "TY  - "
// or "ER  - " as reference managers write them, "PMID- " as a medical
// database does. `records`: unknown below 0, asked once a scope.
[[gnu::cold]] bool RecordField(std::string_view text, std::size_t line, bool items, int& records) {
    const auto opensOrCloses = [&](std::size_t at) {
        const std::string_view head = text.substr(at, 5);
        return head == "TY  -" || head == "ER  -" || head == "PMID-";
    };
    if (items) return opensOrCloses(line);
    if (records < 0) records = AnyLine(text, opensOrCloses);
    return records == 1;
}

// In a MARC record written as XML, where the element whose tag ends at
// `tagEnd` ends when it holds codes and numbers, not words: a control field
// ("<controlfield tag=\"008\">780101s1957 ... chi d</controlfield>") or a
// data field of tag 0XX ("<datafield tag=\"041\" ...>", the language's
// "chi" among its subfields), with a namespace's prefix or without one
// ("<marc:datafield"); 0 for any other. Its end is looked for no further
// than such a field reaches (in a batch, no further than its item's line),
// so that tags never closed cost no more than their length.
[[gnu::cold]] std::size_t CodeElementEnd(std::string_view text, std::size_t at, std::size_t tagEnd, bool items) {
    const std::string_view tag = text.substr(at, tagEnd - at);
    std::string_view name = tag.substr(1, tag.find_first_of(" \t/>", 1) - 1);
    name.remove_prefix(name.find(':') + 1);  // past a prefix, if any (npos + 1 is 0)
    if (name == "datafield") {
        const std::size_t attribute = tag.find("tag=");
        if (attribute == std::string_view::npos || attribute + 6 > tag.size() ||
            (tag[attribute - 1] != ' ' && tag[attribute - 1] != '\t') ||
            (tag[attribute + 4] != '"' && tag[attribute + 4] != '\'') || tag[attribute + 5] != '0')
            return 0;
    } else if (name != "controlfield") {
        return 0;
    }
    std::string_view rest = text.substr(tagEnd, 4096);
    if (items) rest = rest.substr(0, rest.find('\n'));
    // Its closing tag, "</datafield>" or "</marc:datafield>", before the
    // next element of its name opens.
    for (std::size_t found = rest.find(name); found != std::string_view::npos; found = rest.find(name, found + 1)) {
        // Back over a prefix, to the tag's "<" or "</".
        std::size_t open = found;
        if (open > 0 && rest[open - 1] == ':')
            while (open > 0 && TagNameByte(rest[open - 1]) && found - open < 64) --open;
        if (open >= 1 && rest[open - 1] == '<') return 0;
        const std::size_t close = found + name.size();
        if (open >= 2 && rest[open - 1] == '/' && rest[open - 2] == '<' && close < rest.size() && rest[close] == '>')
            return tagEnd + close + 1;
    }
    return 0;
}

}  // namespace

std::size_t MarkupTagEnd(std::string_view text, std::size_t at) {
    // Within a line and within 512 bytes: a tag is short.
    const std::size_t end = std::min(text.size(), at + 512);
    std::size_t i = at + 1;
    const bool declaration = i < end && text[i] == '?';
    if (i < end && (text[i] == '/' || declaration)) ++i;
    if (i >= end || !IsAsciiLetter(text[i])) return 0;
    while (i < end && TagNameByte(text[i])) ++i;
    // Attributes, each a name, "=" and a value, quoted or not.
    while (i < end && (text[i] == ' ' || text[i] == '\t')) {
        while (i < end && (text[i] == ' ' || text[i] == '\t')) ++i;
        if (i >= end || !IsAsciiLetter(text[i])) break;
        while (i < end && TagNameByte(text[i])) ++i;
        if (i >= end || text[i] != '=') return 0;
        ++i;
        if (i < end && (text[i] == '"' || text[i] == '\'')) {
            const char quote = text[i];
            ++i;
            while (i < end && text[i] != quote && text[i] != '\n' && text[i] != '<') ++i;
            if (i >= end || text[i] != quote) return 0;
            ++i;
        } else {
            const std::size_t value = i;
            while (i < end && !IsSpace(static_cast<unsigned char>(text[i])) && text[i] != '>' && text[i] != '<' &&
                   text[i] != '"' && text[i] != '\'' && text[i] != '=')
                ++i;
            if (i == value) return 0;
        }
    }
    if (i < end && (text[i] == '/' || (declaration && text[i] == '?'))) ++i;
    return i < end && text[i] == '>' ? i + 1 : 0;
}

bool SentenceBreaks::Stops(std::string_view text, std::size_t i, std::size_t wordBegin, std::size_t wordEnd) {
    if (text[i] != '.' || wordEnd != i || wordEnd == wordBegin) return true;
    // Not after an initial or an abbreviation ("J. K.", "ca. 1900").
    const std::size_t size = wordEnd - wordBegin;
    if (size >= 8) return true;
    char lower[8];
    for (std::size_t k = 0; k < size; ++k)
        lower[k] = static_cast<char>(FoldCase(static_cast<unsigned char>(text[wordBegin + k])));
    return !(size == 1 || IsAbbreviation(std::string_view(lower, size)));
}

namespace {

// Whether a word that begins at byte `wordBegin` is not the first on its line.
bool AfterAWordOnItsLine(std::string_view text, std::size_t wordBegin) {
    std::size_t k = wordBegin;
    while (k > 0 && (text[k - 1] == ' ' || text[k - 1] == '\t')) --k;
    return k > 0 && text[k - 1] != '\n' && text[k - 1] != '\r';
}

}  // namespace

bool SentenceBreaks::ParallelTitle(std::string_view text, std::size_t i, std::size_t wordBegin, std::size_t wordEnd) {
    if (wordEnd == wordBegin || wordEnd + 1 != i || text[wordEnd] != ' ' || i + 2 >= text.size() ||
        text[i + 1] != ' ' || !IsAsciiUpper(text[i + 2]))
        return false;
    return AfterAWordOnItsLine(text, wordBegin);
}

bool SentenceBreaks::Subdivision(std::string_view text, std::size_t i, std::size_t wordBegin, std::size_t wordEnd) {
    std::size_t dash = i, end = i + 1;  // the dash's bytes
    if (text[i] == '-') {
        if (i < 2 || text[i - 1] != '-' || text[i - 2] == '-') return false;
        dash = i - 1;
    } else {
        end = i + 3;  // U+2014 in UTF-8
    }
    // After a word that ends in a letter and is not the first on its line:
    // not a numbered section's title ("Section 4 -- Sui Generis Database
    // Rights"), nor a parameter described ("lang -- Language used").
    if (wordEnd == wordBegin || end >= text.size() || IsAsciiDigit(text[wordEnd - 1]) ||
        !AfterAWordOnItsLine(text, wordBegin))
        return false;
    if (wordEnd == dash) return IsAsciiUpper(text[end]);
    return wordEnd + 1 == dash && text[wordEnd] == ' ' && text[end] == ' ' && end + 1 < text.size() &&
           IsAsciiUpper(text[end + 1]);
}

// A prefix in lower case, or capitalized ("Pre-Ch'in thought").
bool PrefixBefore(std::string_view text, std::size_t begin, std::size_t hyphen, std::size_t after) {
    static constexpr std::string_view kPrefixes[] = {"anti", "early", "ex",  "late",  "mid",    "neo",  "non",
                                                     "post", "pre",   "pro", "proto", "pseudo", "quasi"};
    static constexpr SortedWords prefixes(kPrefixes);
    if (after >= text.size() || !IsAsciiUpper(static_cast<unsigned char>(text[after])) || hyphen - begin > 6)
        return false;
    char lower[6];
    for (std::size_t k = begin; k < hyphen; ++k) {
        const auto b = static_cast<unsigned char>(text[k]);
        if (!IsAsciiLower(b) && !(k == begin && IsAsciiUpper(b))) return false;
        lower[k - begin] = static_cast<char>(b | 0x20);
    }
    return prefixes.Has(std::string_view(lower, hyphen - begin));
}

namespace {

// An English word that ends a capitalized compound after its hyphen
// ("Ch'ing-era", "T'ang-style", "Ch'ien-lung-era"): a word of its own.
// Letters only: one with a capital or a mark is none of the list.
constexpr std::string_view kSuffixes[] = {
    "age",  "based", "born",     "controlled", "dynasties", "dynasty", "era",   "eras", "inspired", "led",
    "like", "made",  "occupied", "period",     "periods",   "ruled",   "style", "type", "ware",
};
// Their last letters: most parts after a hyphen are syllables, which end
// in -ng, -ih, -i, -o or -u, and are passed over by it.
constexpr std::uint32_t kSuffixLastLetters = [] {
    std::uint32_t letters = 0;
    for (const std::string_view word : kSuffixes) letters |= 1u << (word.back() - 'a');
    return letters;
}();

inline bool MayEndInSuffix(unsigned char last) {
    return last >= 'a' && last <= 'z' && (kSuffixLastLetters >> (last - 'a') & 1);
}

// Where a capitalized run of bytes begin..end ends if its last part, after
// a hyphen, is such a word: before that hyphen.
std::size_t EndBeforeSuffix(std::string_view text, std::size_t begin, std::size_t end) {
    static constexpr SortedWords suffixes(kSuffixes);
    // Past a possessive: "Ch'ing-era's".
    std::size_t word = end;
    if (word - begin > 2 && text[word - 1] == 's') {
        if (text[word - 2] == '\'')
            word -= 2;
        else if (word - begin > 4 && text.substr(word - 4, 3) == "\xE2\x80\x99")
            word -= 4;
    }
    std::size_t part = word;
    while (part > begin && word - part <= 10 && IsAsciiLower(static_cast<unsigned char>(text[part - 1]))) --part;
    if (!suffixes.Has(text.substr(part, word - part))) return end;
    if (part > begin + 1 && text[part - 1] == '-') return part - 1;
    // U+2010 and U+2011, the other hyphens that join syllables.
    if (part > begin + 3 && text[part - 3] == '\xE2' && text[part - 2] == '\x80' &&
        (text[part - 1] == '\x90' || text[part - 1] == '\x91'))
        return part - 3;
    return end;
}

// Whether bytes begin..end of `text`, one to three digits, are a list's
// number: a space or a tab after them, or a full stop or a closing bracket
// and then one.
bool ListNumber(std::string_view text, std::size_t begin, std::size_t end) {
    for (std::size_t k = begin; k < end; ++k)
        if (!IsAsciiDigit(text[k])) return false;
    if (end < text.size() && (text[end] == '.' || text[end] == ')')) ++end;
    return end < text.size() && (text[end] == ' ' || text[end] == '\t');
}

// Whether the entity at byte `i` (see WordEntityAt) goes on the word that
// ends before it: an escaped letter ("Hs&uuml;eh"), or an escaped apostrophe
// after a letter and before one ("Ch&#39;ing"). Moves `i` past what it
// joins, and `previous` to its last character.
[[gnu::cold]] [[gnu::noinline]] bool EntityJoins(std::string_view text, std::size_t& i, char32_t& previous) {
    std::size_t length = 0;
    const char32_t c = WordEntityAt(text, i, length);
    if (IsWordChar(c)) {
        previous = c;
        i += length;
        return true;
    }
    if (!IsApostrophe(c) || !IsWordChar(previous) || IsAsciiDigit(previous) || i + length >= text.size()) return false;
    std::size_t nextLength = 0;
    const char32_t next = DecodeAt(text, i + length, nextLength);
    if (!GoesOnWord(next)) return false;
    previous = next;
    i += length + nextLength;
    return true;
}

}  // namespace

std::size_t HyphenWrapEnd(std::string_view text, std::size_t i) {
    if (i < text.size() && text[i] == '\r') ++i;
    if (i >= text.size() || text[i] != '\n') return 0;
    ++i;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size()) return 0;
    std::size_t length = 0;
    const char32_t next = DecodeAt(text, i, length);
    return GoesOnWord(next) ? i : 0;
}

namespace {

// Whether the word hyphenated at byte `hyphen` (from `begin`) makes a
// common English word with the piece at byte `piece` on the next line, as
// a typesetter breaks one ("cho-" above "sen"): two words then, as
// IsGlued reads them.
bool EnglishAcrossWrap(const Scope& scope, std::size_t begin, std::size_t hyphen, std::size_t piece) {
    const std::string_view text = scope.text;
    std::size_t end = piece;
    while (end < text.size() && end - piece < 16 && IsAsciiLower(static_cast<unsigned char>(text[end]))) ++end;
    return end > piece && end - piece < 16 &&
           PiecesMakeCommonWord(scope, begin, hyphen, text.substr(piece, end - piece));
}

}  // namespace

bool PiecesMakeCommonWord(const Scope& scope, std::size_t begin, std::size_t at, std::string_view piece) {
    char joined[24];
    if (at - begin + piece.size() > sizeof joined) return false;
    std::size_t length = 0;
    for (std::size_t k = begin; k < at; ++k) {
        const auto c = static_cast<unsigned char>(scope.text[k]);
        if (!IsAsciiLetter(c)) return false;
        joined[length++] = static_cast<char>(FoldCase(c));
    }
    std::memcpy(joined + length, piece.data(), piece.size());
    const EnglishClass english = scope.lex.English(std::string_view(joined, length + piece.size()));
    return english >= EnglishClass::Function && english <= EnglishClass::Size50;
}

[[gnu::noinline]] unsigned char WrapOf(std::string_view gap) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t i = 0;
    while (i < gap.size() && blank(gap[i])) ++i;
    // At most one mark, then blanks, then the break.
    std::size_t mark = gap.size();
    if (i < gap.size() && gap[i] != '\r' && gap[i] != '\n') {
        mark = i++;
        while (i < gap.size() && blank(gap[i])) ++i;
    }
    if (i == gap.size()) return 0;  // no break
    i += gap[i] == '\r' && i + 1 < gap.size() && gap[i + 1] == '\n' ? 2 : 1;
    while (i < gap.size() && blank(gap[i])) ++i;
    if (i != gap.size()) return 0;  // a second break, or a mark after the break
    if (mark == gap.size()) return 1;
    constexpr std::string_view kMarks = ",.;:";
    const std::size_t which = kMarks.find(gap[mark]);
    return which == std::string_view::npos ? 0 : static_cast<unsigned char>(which + 2);
}

void FindRuns(Scope& scope, bool startsInsideRun) {
    ScopeWork& w = scope.w;
    const std::string_view text = scope.text;
    const bool apart = LinesApart(scope), items = scope.options.items;
    w.runs.clear();
    w.sentences.assign(1, Sentence{});
    if (items) w.items.assign(1, Sentence{});
    bool skipRun = startsInsideRun;
    SentenceBreaks breaks;
    bool lineOpen = false;  // a word stands on the current line
    bool numbered = false;  // the line's first word is a list's number, and no word stands after it yet
    bool marc = false;      // the current line is a field of a MARC record
    int marcFields = -1;    // whether the scope holds one with subfields (see CodeField)
    int records = -1;       // whether it holds a tagged record's first or last field (see RecordField)
    std::size_t codesEnd = 0;  // the end of an XML element of codes (see CodeElementEnd)
    std::size_t lineAt = 0;
    std::size_t runLineAt = 0;  // where the line of the last run begins
    std::uint32_t line = 0;
    auto endSentence = [&] {
        if (!breaks.open) return;
        const auto at = static_cast<std::uint32_t>(w.runs.size());
        w.sentences.back().endRun = at;
        w.sentences.push_back({at, at});
        breaks.open = false;
    };
    std::size_t i = 0;
    std::size_t length = 0;
    while (i < text.size()) {
        // Most of what stands between words is a plain space.
        if (text[i] == ' ' && breaks.Plain()) {
            ++i;
            continue;
        }
        char32_t c = DecodeAt(text, i, length);
        if (!IsWordChar(c)) {
            // A markup tag holds no words of the text ("<i>Shih chi</i>",
            // '<subfield code="a">'): passed over as a space is. In a MARC
            // record written as XML, so are the codes of its control fields
            // and fields of tag 0XX.
            if (c == '<') [[unlikely]] {
                if (const std::size_t tagEnd = MarkupTagEnd(text, i)) {
                    const std::size_t codes = CodeElementEnd(text, i, tagEnd, items);
                    if (codes) codesEnd = codes;
                    const Run* last = w.runs.empty() ? nullptr : &w.runs.back();
                    if (breaks.Gap(text, i, ' ', last ? last->begin : 0, last ? last->end : 0)) endSentence();
                    breaks.breaks = 0;  // a line that holds a tag is no blank line
                    i = tagEnd;
                    continue;
                }
            }
            scope.han = scope.han || IsHan(c);
            if (c == '\n' || c == '\r') lineAt = i + length;  // past both bytes of CR LF
            if ((c == '\n' || c == '\r') && !(c == '\n' && i > 0 && text[i - 1] == '\r')) {
                ++line;
                lineOpen = numbered = marc = false;
                // In lines mode every line is an item of its own. A
                // batch's next item begins as a scope does.
                if (apart) endSentence();
                if (items) {
                    breaks = SentenceBreaks{};
                    const auto at = static_cast<std::uint32_t>(w.runs.size());
                    w.items.back().endRun = at;
                    w.items.push_back({at, at});
                    i += length;
                    continue;
                }
            }
            const Run* last = w.runs.empty() ? nullptr : &w.runs.back();
            if (breaks.Gap(text, i, c, last ? last->begin : 0, last ? last->end : 0)) endSentence();
            i += length;
            continue;
        }
        // A field of a MARC record written as text ("=245  10$aHung lou
        // meng /$cTs'ao Hsüeh-ch'in.", "100 1_ |a Ho, Ping-ti"): its tag
        // and indicators are no words, nor is a subfield's code, and the
        // line's words begin after them.
        if (!lineOpen && !marc) {
            if ((text[lineAt] == '=' || IsAsciiDigit(text[lineAt])) && CodeField(text, lineAt, items, marcFields)) {
                i = std::min(text.find_first_of("\r\n", i), text.size());
                continue;
            }
            std::size_t words = 0;
            if ((text[lineAt] == '=' || IsAsciiDigit(text[lineAt]) ||
                 !kAsciiWordByte[static_cast<unsigned char>(text[lineAt])]) &&
                MarcField(text, lineAt, words)) {
                marc = true;
                if (i < words) {
                    i = words;
                    continue;
                }
            }
            // A tagged record's field: its tag is no word ("TI  - Kuo shih
            // ta kang").
            if (lineAt + 4 < text.size() && text[lineAt + 4] == '-' && RecordTagAt(text, lineAt, words) && i < words &&
                RecordField(text, lineAt, items, records)) {
                i = words;
                continue;
            }
        }
        if (marc && (IsAsciiLower(c) || IsAsciiDigit(c)) && AfterSubfieldDelimiter(text, i)) {
            ++i;
            continue;
        }
        if (i < codesEnd) [[unlikely]] {
            i += length;
            continue;
        }
        // A run: word characters, with apostrophes and hyphens inside it.
        // Copied from a blank run: constructing one in place clears it
        // with a string instruction slow to start for so few bytes.
        static constexpr Run kBlank{};
        Run& run = w.runs.emplace_back(kBlank);
        run.begin = static_cast<std::uint32_t>(i);
        run.line = line;
        // The line's first word, or the first after a list's number there.
        bool first = false;
        if (!lineOpen) [[unlikely]] {
            run.itemStart = true;
            run.lineStart = first = !numbered;
            numbered = false;
            lineOpen = true;
            // Where lines do not stand apart, a paragraph's line wrapped
            // before the word reads as a space there (Scope::Spaced).
            if (!apart && w.runs.size() > 1 && w.runs[w.runs.size() - 2].end >= runLineAt + kWrappedLine) {
                const std::uint32_t after = w.runs[w.runs.size() - 2].end;
                run.wrap = WrapOf(text.substr(after, i - after));
            }
            runLineAt = lineAt;
        }
        const bool capital = c < 0x80 ? IsAsciiUpper(c) : false;
        char32_t previous = 0;
        bool hyphenWrapped = false;
        while (i < text.size()) {
            // ASCII letters and digits, most of a word, by a table.
            const std::size_t from = i;
            i = AsciiWordEnd(text, i);
            if (i > from) previous = static_cast<unsigned char>(text[i - 1]);
            if (i == text.size()) break;
            c = DecodeAt(text, i, length);
            if (IsWordChar(c)) {
                previous = c;
                i += length;
                continue;
            }
            // An en dash between a capitalized syllable and a lower-case one,
            // with no space, is a name's hyphen set by a typesetter:
            // "Ch'ien–lung". Between two capitals it stays a dash between
            // words: "Peking–Hankow".
            const bool joins = IsHyphen(c) || (c == 0x2013 && capital && IsWordChar(previous));
            if ((IsApostrophe(c) && IsWordChar(previous) && !(previous >= '0' && previous <= '9')) || joins) {
                if (i + length < text.size()) {
                    std::size_t nextLength = 0;
                    const char32_t next = DecodeAt(text, i + length, nextLength);
                    const bool letter = GoesOnWord(next);
                    if (letter && (c != 0x2013 || IsAsciiLower(next))) {
                        if (next < 0x80 && IsAsciiUpper(next) && IsHyphen(c) &&
                            PrefixBefore(text, run.begin, i, i + length))
                            break;
                        previous = next;
                        i += length + nextLength;
                        continue;
                    }
                }
            }
            // A word hyphenated at its line's end goes on on the next line,
            // as one word ("Wên-\nlung", "Shan-\npei"): once a word, and
            // where lines do not stand apart.
            if (IsHyphen(c) && !apart && !hyphenWrapped && IsWordChar(previous)) [[unlikely]] {
                if (const std::size_t letter = HyphenWrapEnd(text, i + length);
                    letter && !PrefixBefore(text, run.begin, i, letter) &&
                    !EnglishAcrossWrap(scope, run.begin, i, letter)) {
                    hyphenWrapped = run.hyphenWrapped = true;
                    ++line;
                    lineAt = runLineAt = text.find('\n', i) + 1;
                    numbered = marc = false;
                    i = letter;
                    continue;
                }
            }
            // An escaped letter, or an escaped apostrophe before a letter.
            if (c == '&' && EntityJoins(text, i, previous)) [[unlikely]] {
                scope.entities = true;
                continue;
            }
            break;
        }
        // Asked once the run has ended, not at every hyphen (most join
        // syllables), and of its last letter first.
        if (capital && MayEndInSuffix(static_cast<unsigned char>(text[i - 1]))) i = EndBeforeSuffix(text, run.begin, i);
        run.end = static_cast<std::uint32_t>(i);
        run.baseEnd = run.end;
        // A list's number first on its line, before a space ("1. Ho,
        // Ping-ti", "(3) Sung, Lien", "12 Wang, Ta-nien"): the word after
        // it begins the line's item, as after a bullet.
        if (first && run.end - run.begin <= 3 && IsAsciiDigit(text[run.begin]) && ListNumber(text, run.begin, run.end))
            [[unlikely]] {
            numbered = true;
            lineOpen = false;  // the next word begins the item
        }
        run.sentence = static_cast<std::uint32_t>(w.sentences.size() - 1);
        run.sentenceStart = breaks.Word();
        if (skipRun || run.end - run.begin > kMaxWordBytes) {
            run.norm = static_cast<std::uint32_t>(w.norm.size());
            run.normLength = 0;
            skipRun = false;
        } else {
            run.shaped = true;  // until reading it says otherwise
        }
    }
    w.sentences.back().endRun = static_cast<std::uint32_t>(w.runs.size());
    if (items) w.items.back().endRun = static_cast<std::uint32_t>(w.runs.size());
}

void Advance(Scope& scope, std::size_t offset) {
    TextPosition& p = *scope.position;
    for (std::size_t length = 0; scope.positionOffset < offset; scope.positionOffset += length) {
        const char32_t c = DecodeAt(scope.text, scope.positionOffset, length);
        if (c == '\n') {
            if (!p.afterCarriageReturn) ++p.line, p.column = 1;
            p.afterCarriageReturn = false;
        } else if (c == '\r') {
            ++p.line, p.column = 1;
            p.afterCarriageReturn = true;
        } else {
            // Columns are counted from the first character after a byte
            // order mark.
            if (!(c == 0xFEFF && p.line == 1 && p.column == 1)) ++p.column;
            p.afterCarriageReturn = false;
        }
    }
}

namespace {

// A common English word capitalized at a sentence's start ("See", "Compare").
bool StartWord(const Run& run) {
    return run.sentenceStart && run.caseStyle == CaseStyle::Capitalized && run.english >= EnglishClass::Size10 &&
           run.english <= EnglishClass::Size50;
}

// Whether the given name at run `i`, the last of its group, follows a
// surname no Wade-Giles or Pinyin syllable spells: a name of another
// romanization, Taiwan's or Hong Kong's ("Lee Teng-hui", "Leung Chun-ying",
// "Chow Tse-tsung"), which converting the given name alone would leave half
// done. Only a name that is the whole group but for titles before it (or
// a common English word beginning the sentence: "Ask Lee Teng-hui"), on
// one line; not before a given name with Wade-Giles's marks ("Empress
// Dowager Tz'u-hsi"), nor after a title or one of the commonest English
// words ("Mount T'ai-shan", "Dear Hsiao-ping"), nor after a compound
// surname written solid ("Ouyang", "Chuko").
bool OtherSurname(Scope& scope, std::size_t i) {
    const std::vector<Run>& runs = scope.w.runs;
    const Run& given = runs[i];
    const Run& surname = runs[i - 1];
    if (!Capital(given) || given.aspirated || given.umlaut || surname.line != given.line) return false;
    const bool commonest = IsCommonestEnglish(surname.english);
    if (surname.candidate || !Capital(surname) || !surname.shaped || surname.syllableCount > 1 || surname.title ||
        commonest || surname.pinyinOnly)
        return false;
    const std::size_t first = scope.w.groups[given.group].firstRun;
    for (std::size_t k = first; k + 1 < i; ++k)
        if (!runs[k].title && !(k == first && StartWord(runs[k]))) return false;
    std::uint8_t lengths[kMostSolidSyllables];
    return SolidSyllables(scope.lex, scope.Lower(surname), lengths) < 2;
}

// Whether `lower` is spelled as one syllable of the romanizations Hong
// Kong's and overseas names are written in, and Wade-Giles is not: an
// initial (ch, ts, kw, f, h, k, l, ...), a vowel or two, and n, ng, m, k
// or p at most ("fung", "chow", "leung", "kwok", "lee"). English words of
// that shape mostly end otherwise ("hall", "park", "gate"); "oo" before k,
// p or m is English's ("book", "loop", "room").
bool OtherRomanizationSyllable(std::string_view lower) {
    // Whether `part` is one of the letters or the space-separated pairs of `set`.
    const auto oneOf = [](std::string_view set, std::string_view part) {
        return !part.empty() && set.find(part) != std::string_view::npos;
    };
    // The initial: "tsz", a pair of letters or one, or none.
    std::size_t i = lower.starts_with("tsz")                                           ? 3
                    : lower.size() > 2 && oneOf("ch ts sz sh kw", lower.substr(0, 2))  ? 2
                    : lower.size() > 1 && oneOf("bdfghjklmnpstwy", lower.substr(0, 1)) ? 1
                                                                                       : 0;
    // A vowel, a pair of them, "ow" or "oy".
    const std::size_t vowel = i;
    if (!oneOf("aeiou", lower.substr(i, 1))) return false;
    i += lower.size() >= i + 2 && oneOf("aa ai au ao ei eu iu oi oo ou ue ui ee ie ow oy", lower.substr(i, 2)) ? 2 : 1;
    // The final: ng, n, m, k or p, though "oo" before k, p or m is English's.
    const std::string_view final = lower.substr(i);
    if (final.empty() || final == "ng" || final == "n") return true;
    return final.size() == 1 && oneOf("mkp", final) && lower.substr(vowel, 2) != "oo";
}

// Whether `given`, a given name of two syllables in Wade-Giles (or one
// written solid), and `surname` beside it, a surname of another
// romanization, are a name as its bearer signs it in English: the whole is
// the bearer's spelling, not half of it Pinyin. A place the word table
// knows is no given name ("Ta-lien Bay").
bool GivenAndOtherSurname(Scope& scope, const Run& given, const Run& surname) {
    if (given.caseStyle != CaseStyle::Capitalized || !(given.syllableCount == 2 || given.solid) || !given.candidate ||
        given.title || (!given.wordValue.empty() && IsAsciiUpper(static_cast<unsigned char>(given.wordValue[0]))))
        return false;
    if (surname.caseStyle != CaseStyle::Capitalized || surname.candidate || !surname.shaped || surname.pinyinOnly ||
        surname.syllableCount > 1 || surname.title || surname.line != given.line)
        return false;
    const bool commonest = IsCommonestEnglish(surname.english);
    return !commonest && surname.normLength <= 6 && OtherRomanizationSyllable(scope.Lower(surname));
}

// The same in Western order, run `i` the given name: "Yu-lan Fung",
// "Tse-tsung Chow", "Jungku Lee".
bool GivenBeforeOtherSurname(Scope& scope, std::size_t i) {
    return scope.Spaced(i + 1) == " " && GivenAndOtherSurname(scope, scope.w.runs[i], scope.w.runs[i + 1]);
}

// The same in a heading with the surname first and a comma, as
// bibliographies write the bearer's own spelling: "Fung, Yu-lan", "Chow,
// Tse-tsung" (run `i` the given name, alone in its group).
bool OtherSurnameBeforeComma(Scope& scope, std::size_t i) {
    const std::vector<Run>& runs = scope.w.runs;
    return i > 0 && scope.Spaced(i) == ", " && runs[i - 1].group != kNone &&
           scope.w.groups[runs[i - 1].group].firstRun == i - 1 && GivenAndOtherSurname(scope, runs[i], runs[i - 1]);
}

// A given name with a capital after its hyphen ("Yo-Yo Ma", "Chung-Lin
// Tang", "Ka-Ping Yee", "Lee, Chun-Yi"), as Taiwan's and Hong Kong's
// spellings write one, with no apostrophe and no ü; Wade-Giles writes the
// second syllable small. Beside its surname (OtherSurnameBeside) the name
// is of that romanization: the surname is one syllable or a word no
// English list holds after it ("Nienhuys"), or a short word that is none
// of the commonest English ones ("Yee", "Lee") on either side. A title is
// none ("Vice-Premier Teng").
bool TaiwanGivenName(const Run& given) {
    return given.syllableCount == 2 && given.caseStyle == CaseStyle::Capitalized && given.capitalAfterHyphen &&
           !given.aspirated && !given.umlaut && !given.title;
}

// Whether the angle bracket at byte `i` opens an e-mail address (see
// EmailAfter), asked apart: most words are followed by none.
[[gnu::noinline]] bool AddressIn(std::string_view text, std::size_t i) {
    for (std::size_t k = i + 1; k < text.size() && k < i + 128; ++k) {
        if (text[k] == '@') return true;
        if (text[k] == '>' || text[k] == ')' || text[k] == ' ' || text[k] == '\n' || text[k] == '\r') return false;
    }
    return false;
}

// Whether an e-mail address in angle brackets (or, as old change logs
// write it, in round ones) follows byte `at`: a name before one is signed
// as its bearer writes it ("Wang Chao <wang.chao@example.com>", "Kung Hsu
// (kung@example.com)"), in changelogs, copyright files and authors' lists.
inline bool EmailAfter(std::string_view text, std::size_t at) {
    std::size_t i = at;
    while (i < text.size() && i < at + 2 && (text[i] == ' ' || text[i] == '\t')) ++i;
    return i < text.size() && (text[i] == '<' || text[i] == '(') && AddressIn(text, i);
}

// Whether a name that fills round brackets, from byte `begin` to byte
// `end`, credits a change in release notes, a pull request's or an issue's
// number after it ("(Feng Yu) [#43176](https://...)", "(Sung Ye In) #53846",
// "(Wang Chao) (#12)"): the author's own spelling. Asked apart, of groups
// in brackets.
[[gnu::noinline]] bool CreditsChange(std::string_view text, std::size_t begin, std::size_t end) {
    if (begin == 0 || text[begin - 1] != '(' || end >= text.size() || text[end] != ')') return false;
    std::size_t i = end + 1;
    while (i < text.size() && i < end + 3 && text[i] == ' ') ++i;
    if (i < text.size() && (text[i] == '[' || text[i] == '(')) ++i;
    return i + 1 < text.size() && text[i] == '#' && IsAsciiDigit(static_cast<unsigned char>(text[i + 1]));
}

// Whether group `g` fills its line before a count of commits and a colon,
// as git's shortlog heads an author's commits in release notes ("Sun Chao
// (2):"): the author's own spelling. Asked apart, of groups that begin
// their line.
[[gnu::noinline]] bool ShortlogHeading(const Scope& scope, const Group& g) {
    const std::size_t end = scope.w.runs[g.endRun - 1].end;
    const std::string_view text = scope.text;
    if (end + 4 > text.size() || text[end] != ' ' || text[end + 1] != '(') return false;
    std::size_t i = end + 2;
    while (i < text.size() && i < end + 8 && IsAsciiDigit(static_cast<unsigned char>(text[i]))) ++i;
    if (i == end + 2 || text.substr(i, 2) != "):") return false;
    i += 2;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r')) ++i;
    return i == text.size() || text[i] == '\n';
}

// Whether `lower` names a body that goes by its own English name: a
// university, a hospital, a church, a company.
bool IsInstitutionNoun(std::string_view lower) {
    static constexpr std::array<std::string_view, 14> kNouns = {
        "association", "bank",      "church",  "college", "company", "corporation", "foundation",
        "hospital",    "institute", "library", "mission", "museum",  "society",     "university"};
    return std::find(kNouns.begin(), kNouns.end(), lower) != kNouns.end();
}

// Whether group `g` names a body by the spelling it goes by: two words or
// more written apart, capitalized, with no aspiration apostrophe, ü or
// hyphen, before its noun ("National Yang Ming Chiao Tung University",
// "Tsung Tsin Association", "Fu Jen Catholic University"). A text that
// romanizes such a name itself writes its marks or hyphens ("Ch'ing-hua
// University", "Chung-yang University"); one written apart without them
// is the body's own English name, whatever the text around it writes.
// Asked apart, of groups of three words or more.
[[gnu::noinline]] bool InstitutionName(const Scope& scope, const Group& g) {
    const std::vector<Run>& runs = scope.w.runs;
    std::uint32_t names = 0, candidates = 0;
    for (std::uint32_t i = g.firstRun; i < g.endRun; ++i) {
        const Run& run = runs[i];
        if (run.normLength >= 4 && IsInstitutionNoun(scope.Lower(run))) return names >= 2 && candidates > 0;
        if (run.aspirated || run.umlaut || run.giles || run.tones || run.syllableCount > 1 || run.established)
            return false;
        if (IsEnglish(run.english) && !run.candidate) continue;  // "National", "Catholic"
        if (IsEnglishWord(run.english) && IsCommonEnglish(run.english)) {
            names = candidates = 0;  // a common word of the sentence's own ("NO", "Long") ends a name
            continue;
        }
        names += run.candidate || run.shaped;
        candidates += run.candidate;
    }
    return false;
}

// Whether the nine bytes of `text` from `at` are the word "Copyright"
// (or "copyright", "COPYRIGHT"), no letter before it.
bool CopyrightWordAt(std::string_view text, std::size_t at) {
    if (at + 9 > text.size() || (text[at] != 'C' && text[at] != 'c')) return false;
    const std::string_view rest = text.substr(at + 1, 8);
    return (rest == "opyright" || rest == "OPYRIGHT") &&
           (at == 0 || !IsAsciiLetter(static_cast<unsigned char>(text[at - 1])));
}

// Whether `line`, the text before a name, ends with a copyright notice's
// mark once "by", the years ("2001, 2002-2006") and the blanks after the
// mark are taken off its end ("Copyright (C) 2011-2016 ", "Copyright: 2012
// ", "(c) 2014 by "). "(c)" is a notice's only before years: without them
// it is a list's third item ("(a) Sun Yat-sen ... (c) Chiang Kai-shek").
bool EndsWithCopyrightMark(std::string_view line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    if (line.ends_with(" by")) line.remove_suffix(3);
    bool years = false;
    for (;;) {
        if (line.ends_with("\u2013")) {
            line.remove_suffix(3);
        } else if (!line.empty() && (IsAsciiDigit(static_cast<unsigned char>(line.back())) || line.back() == ',' ||
                                     line.back() == '-' || line.back() == ' ' || line.back() == '\t')) {
            years = years || IsAsciiDigit(static_cast<unsigned char>(line.back()));
            line.remove_suffix(1);
        } else {
            break;
        }
    }
    if (line.ends_with(':')) line.remove_suffix(1);
    if (line.ends_with("\u00A9") || (years && (line.ends_with("(C)") || line.ends_with("(c)")))) return true;
    return line.size() >= 9 && CopyrightWordAt(line, line.size() - 9);
}

// Whether `body`, a line without its blanks and comment leader, begins
// with a copyright notice's mark ("Copyright:", "(C) 2011", "©").
bool StartsWithCopyrightMark(std::string_view body) {
    if (body.starts_with("\u00A9")) return true;
    if (body.starts_with("(C)") || body.starts_with("(c)")) {
        body.remove_prefix(std::min(body.size(), body.find_first_not_of(" \t", 3)));
        return !body.empty() && IsAsciiDigit(static_cast<unsigned char>(body[0]));
    }
    return CopyrightWordAt(body, 0) && (body.size() == 9 || !IsAsciiLetter(static_cast<unsigned char>(body[9])));
}

// Whether run `first`, a name group's first word, begins the holder of a
// copyright notice: after its mark, years or "by" ("Copyright (C)
// 2011-2016 Chun-wei Fan", "(c) 2014 by Wang Chao"), or after years alone
// on a line under the notice's first, as copyright files list their
// holders ("Copyright: 2012 Igalia" above "2014 Chun-wei Fan"). A holder
// is named as its bearer signs. Where lines stand apart, only the name's
// own line is asked. Asked apart, of groups after a digit or a word.
[[gnu::noinline]] bool CopyrightHolder(Scope& scope, std::size_t first) {
    const std::string_view text = scope.text;
    const std::size_t begin = scope.w.runs[first].begin;
    if (EndsWithCopyrightMark(text.substr(0, begin))) return true;
    if (LinesApart(scope)) return false;
    // A line under the notice's first holds nothing before its holder but
    // blanks, a comment's leader ("#", "*", "//", ";") and years.
    std::size_t lineStart = begin;
    bool digit = false;
    for (; lineStart > 0 && text[lineStart - 1] != '\n'; --lineStart) {
        const char c = text[lineStart - 1];
        if (IsAsciiDigit(static_cast<unsigned char>(c))) {
            digit = true;
        } else if (c != ' ' && c != '\t' && c != ',' && c != '-' && c != '#' && c != '*' && c != '/' && c != ';') {
            return false;
        }
    }
    if (!digit) return false;
    // The lines above, up to the notice's mark: each of them holders after
    // years. The answer for the last line asked is kept, so that a long
    // list is looked over once.
    bool holder = false;
    for (std::size_t start = lineStart; start > 0;) {
        if (start == scope.holdersLine) {
            holder = scope.holders;
            break;
        }
        const std::size_t end = start - 1;  // the line break that ends the line above
        const std::size_t above = end == 0 ? std::string_view::npos : text.rfind('\n', end - 1);
        start = above == std::string_view::npos ? 0 : above + 1;
        std::string_view body = text.substr(start, end - start);
        body.remove_prefix(std::min(body.size(), body.find_first_not_of(" \t#*/;")));
        if (StartsWithCopyrightMark(body)) {
            holder = true;
            break;
        }
        if (body.empty() || !IsAsciiDigit(static_cast<unsigned char>(body[0]))) break;
    }
    scope.holdersLine = lineStart;
    scope.holders = holder;
    return holder;
}

// Whether what stands before byte `at` on its line, blanks aside, may end
// a copyright notice's mark, years or "by": a digit, a bracket, a colon,
// "\u00A9", "by" or "Copyright".
inline bool MayFollowCopyright(std::string_view text, std::size_t at) {
    if (at == 0 || at == text.size()) return false;
    char c = text[--at];
    while (c == ' ' || c == '\t') {
        if (at == 0) return false;
        c = text[--at];
    }
    ++at;
    if (c == 'y') return at >= 2 && text[at - 2] == 'b' && (at == 2 || text[at - 3] == ' ' || text[at - 3] == '\n');
    if (c == 't' || c == 'T') return text.substr(0, at).ends_with("right") || text.substr(0, at).ends_with("RIGHT");
    return IsAsciiDigit(static_cast<unsigned char>(c)) || c == ')' || c == ':' || c == '\xA9';
}

bool OtherSurnameBeside(const Run& given, const Run& surname, bool after) {
    if (surname.caseStyle != CaseStyle::Capitalized || surname.line != given.line) return false;
    if (after && surname.candidate && surname.syllableCount == 1) return true;
    if (after && !surname.candidate && surname.shaped && !IsEnglishWord(surname.english)) return true;
    const bool commonest = IsCommonestEnglish(surname.english);
    return !surname.candidate && surname.shaped && !commonest && surname.normLength <= 5;
}

// Marks the names a paragraph lists as people, as changelogs and
// acknowledgements list their contributors: five names or more, each alone
// between a list's commas (or "and"), in brackets or on its line, two in
// three of them with a Western name ("Alice Smith, Ching Hsu, David
// Mitchell", "(Feng Yu)"). The others there are their bearers' own
// spellings, unless a word of the paragraph that could convert has an
// aspiration apostrophe or ü: a text in Wade-Giles lists its names so
// too. Asked of groups `firstGroup` to `endGroup` (one past): a
// paragraph's or, in a batch, one item's, read as it would be alone, so
// that nothing before its line opens a list for it.
void ListedPeopleIn(Scope& scope, std::size_t firstGroup, std::size_t endGroup) {
    ScopeWork& w = scope.w;
    const bool item = scope.options.items;
    const std::string_view text = scope.text;
    const auto isAnd = [&](std::size_t k) {
        return w.runs[k].caseStyle == CaseStyle::Lower && scope.Lower(w.runs[k]) == "and";
    };
    const auto listed = [&](const Group& g) {
        const std::size_t first = g.firstRun, last = g.endRun - 1;
        // A name has a capitalized word that is no English one ("Alice",
        // "Feng"; not "To", "Bug Fixes", "E").
        bool name = false;
        for (std::size_t k = first; k <= last && !name; ++k) {
            const Run& run = w.runs[k];
            const bool common = run.english >= EnglishClass::Function && run.english <= EnglishClass::Size50;
            name = run.caseStyle == CaseStyle::Capitalized && run.normLength > 1 && !common;
        }
        // A heading's surname and given name, an index's line ("Ho, Ping-ti,
        // 1917-"), is no item of such a list.
        if (!name || HeadingComma(scope, first) || (first > 0 && HeadingComma(scope, first - 1))) return false;
        std::string_view before = scope.Gap(first), after = text.substr(w.runs[last].end);
        if (last + 1 < w.runs.size()) after = scope.Gap(last + 1);
        if (item) before.remove_prefix(before.find_last_of('\n') + 1);
        while (!before.empty() && (before.back() == ' ' || before.back() == '\t')) before.remove_suffix(1);
        while (!after.empty() && (after.front() == ' ' || after.front() == '\t')) after.remove_prefix(1);
        // A line of its own, as a list of names one to a line has it, or
        // an item of a list with a bullet ("- Hajin Jang").
        if (w.runs[first].lineStart && (after.empty() || after.front() == '\n' || after.front() == '\r')) {
            std::string_view line = before.substr(before.find_last_of('\n') + 1);
            line.remove_prefix(std::min(line.size(), line.find_first_not_of(" \t")));
            if (line.empty() || line == "-" || line == "*") return true;
        }
        const bool andBefore = first > 0 && (!item || w.runs[first - 1].line == w.runs[first].line) && isAnd(first - 1);
        const bool andAfter =
            last + 1 < w.runs.size() && (!item || w.runs[last + 1].line == w.runs[last].line) && isAnd(last + 1);
        const char opens = before.empty() ? (andBefore ? 'a' : '\0') : before.back();
        const char closes = after.empty() ? (andAfter ? 'a' : '\0') : after.front();
        if (opens == '(') return closes == ')';
        // The list's first name may begin its sentence.
        if (opens == '\0' && w.runs[first].sentenceStart) return closes == ',';
        return (opens == ',' || opens == ':' || opens == 'a') &&
               (closes == ',' || closes == 'a' || closes == '.' || closes == ';');
    };
    // What is quickest to ask first: four Western names at least, and no
    // mark where the scope's note of marks (which counts every word, a
    // Turkish name's ü too) says there may be one.
    std::size_t western = 0;
    for (std::size_t g = firstGroup; g < endGroup; ++g) western += w.groups[g].western;
    if (western < 4) return;
    if (scope.apostrophes || scope.umlauts) {
        std::size_t firstRun = w.groups[firstGroup].firstRun, endRun = w.groups[endGroup - 1].endRun;
        if (item) {
            // the item's words outside its names too
            const std::uint32_t line = w.runs[firstRun].line;
            while (firstRun > 0 && w.runs[firstRun - 1].line == line) --firstRun;
            while (endRun < w.runs.size() && w.runs[endRun].line == line) ++endRun;
        } else {
            firstRun = 0, endRun = w.runs.size();
        }
        for (std::size_t k = firstRun; k < endRun; ++k) {
            const Run& run = w.runs[k];
            if (run.candidate && (run.aspirated || run.umlaut || run.giles)) return;
        }
    }
    std::size_t names = 0;
    western = 0;
    for (std::size_t k = firstGroup; k < endGroup; ++k) {
        Group& g = w.groups[k];
        g.listedPerson = listed(g);
        names += g.listedPerson;
        western += g.listedPerson && g.western;
    }
    if (names >= 5 && 3 * western >= 2 * names) return;
    for (std::size_t k = firstGroup; k < endGroup; ++k) w.groups[k].listedPerson = false;
}

// ListedPeopleIn over the paragraph, or over each item of a batch: items
// apart lend nothing to one another, and lines mode lists no people.
void ListedPeople(Scope& scope) {
    ScopeWork& w = scope.w;
    if (scope.options.lines || w.groups.size() < 5) return;
    if (!scope.options.items) return ListedPeopleIn(scope, 0, w.groups.size());
    // In a batch, each item (a line) on its own.
    for (std::size_t first = 0; first < w.groups.size();) {
        const std::uint32_t line = w.runs[w.groups[first].firstRun].line;
        std::size_t end = first + 1;
        while (end < w.groups.size() && w.runs[w.groups[end].firstRun].line == line) ++end;
        if (end - first >= 5) ListedPeopleIn(scope, first, end);
        first = end;
    }
}

}  // namespace

void FormGroups(Scope& scope) {
    ScopeWork& w = scope.w;
    w.groups.clear();
    // A word with a capital after a small letter that begins with a capital
    // is a Western name of its group ("WaLyong Cho", "JingPiao Chen",
    // "McDonald"); one that begins in lower case ("iPod") is no name.
    const auto mixedName = [&](const Run& run) {
        return run.caseStyle == CaseStyle::Mixed && IsAsciiUpper(static_cast<unsigned char>(scope.text[run.begin]));
    };
    std::size_t lineFirst = 0;  // the current group's first run on the line of its last
    for (std::size_t i = 0; i < w.runs.size(); ++i) {
        Run& run = w.runs[i];
        if (run.glued || run.caseStyle == CaseStyle::Lower || (run.caseStyle == CaseStyle::Mixed && !mixedName(run)) ||
            (!run.shaped && !run.pinyinShaped && run.normLength == 0))
            continue;
        bool joins = false;
        if (i > 0) {
            const Run& previous = w.runs[i - 1];
            const std::string_view gap = scope.Spaced(i);
            const bool blank = !gap.empty() && gap.find_first_not_of(" \t\r\n") == std::string_view::npos &&
                               std::count(gap.begin(), gap.end(), '\n') <= 1;
            joins = blank && previous.group != kNone && previous.sentence == run.sentence &&
                    previous.baseEnd == previous.end;
            // A name wrapped onto the next line goes on, but a line that
            // holds nothing but its name is an item of a list: the next
            // line's name is another ("Chiang Kai-shek" above "K'ung
            // Hsiang-hsi"). So is a line that a wrapped group fills from
            // its start ("and Sanhsia" above "NaN" above "Ho Hua-yung").
            if (joins && run.line != previous.line) joins = !w.runs[lineFirst].lineStart;
        }
        if (!joins) {
            w.groups.push_back({});
            w.groups.back().firstRun = static_cast<std::uint32_t>(i);
        }
        if (!joins || run.line != w.runs[i - 1].line) lineFirst = i;
        w.groups.back().endRun = static_cast<std::uint32_t>(i + 1);
        run.group = static_cast<std::uint32_t>(w.groups.size() - 1);
    }
    bool startWords = false;  // a Western name is a common English word that begins a sentence
    for (std::size_t i = 0; i < w.runs.size(); ++i) {
        Run& run = w.runs[i];
        if (run.group == kNone) continue;
        // A one-letter word in a name in capitals is in capitals too: "I
        // SHIH-YÜAN" is "YI SHIYUAN".
        if (run.normLength == 1 && run.caseStyle == CaseStyle::Capitalized &&
            ((i > 0 && w.runs[i - 1].group == run.group && w.runs[i - 1].caseStyle == CaseStyle::AllCaps) ||
             (i + 1 < w.runs.size() && w.runs[i + 1].group == run.group &&
              w.runs[i + 1].caseStyle == CaseStyle::AllCaps)))
            run.caseStyle = CaseStyle::AllCaps;
        Group& g = w.groups[run.group];
        g.pinyin = g.pinyin || run.pinyinOnly;
        // So is one with an aspiration apostrophe that no Wade-Giles
        // syllable spells: Legge's "Ch'un Ts'ew".
        g.otherRomanization =
            g.otherRomanization || (run.shaped && !run.glued && (run.syllableCount > 1 || run.aspirated) &&
                                    !run.candidate && !run.pinyinOnly && !IsEnglish(run.english));
        run.western = IsWestern(run) || (mixedName(run) && run.normLength > 0);
        if (run.western) g.western = true;
        startWords = startWords || (run.western && StartWord(run));
        // "I Ching": the pronoun is never followed by a capitalized word in
        // English prose, so the two are a Chinese title or name.
        if (run.isPronounI && i + 1 < w.runs.size() && w.runs[i + 1].group == run.group && w.runs[i + 1].candidate)
            g.pronounRule = scope.nameI = true;
    }
    // A name whose surname is of another romanization ("Lee Teng-hui"),
    // asked once for each group, of its last word.
    for (Group& g : w.groups) {
        const std::size_t last = g.endRun - 1;
        if (last > g.firstRun && w.runs[last].syllableCount > 1 && w.runs[last].candidate && OtherSurname(scope, last))
            g.otherRomanization = true;
        if (EmailAfter(scope.text, w.runs[last].end) || (w.runs[g.firstRun].lineStart && ShortlogHeading(scope, g)))
            g.otherRomanization = true;
        if (w.runs[last].end < scope.text.size() && scope.text[w.runs[last].end] == ')' &&
            CreditsChange(scope.text, w.runs[g.firstRun].begin, w.runs[last].end))
            g.otherRomanization = true;
        if (!g.otherRomanization && MayFollowCopyright(scope.text, w.runs[g.firstRun].begin) &&
            CopyrightHolder(scope, g.firstRun))
            g.otherRomanization = true;
        if (!g.otherRomanization && g.endRun - g.firstRun >= 3 && InstitutionName(scope, g)) g.otherRomanization = true;
        // So is a surname before its given name's comma ("Kang, JeongHee <k@example.org>").
        if (last + 1 < w.runs.size() && w.runs[last + 1].group != kNone && scope.Spaced(last + 1) == ", " &&
            EmailAfter(scope.text, w.runs[w.groups[w.runs[last + 1].group].endRun - 1].end))
            g.otherRomanization = true;
        // The given name last but one, after English words at most ("Add
        // Chung-Ju Wu", "By Yü-lan Fung"), or alone in its group beside a
        // comma ("Lee, Chun-Yi", "Yen-Chin, Lee"). A group that goes on to
        // the next line is asked at the end of each of its lines too: the
        // next line's first word may be a field's label ("2012 Chung-Lin
        // Wen" above "License: MIT").
        if (last > g.firstRun) {
            const bool oneLine = w.runs[g.firstRun].line == w.runs[last].line;
            for (std::size_t end = oneLine ? last : g.firstRun + 1; end <= last && !g.otherRomanization; ++end) {
                if (end < last && w.runs[end + 1].line == w.runs[end].line) continue;
                const Run& given = w.runs[end - 1];
                if ((TaiwanGivenName(given) && OtherSurnameBeside(given, w.runs[end], true)) ||
                    GivenBeforeOtherSurname(scope, end - 1)) {
                    bool alone = true;
                    for (std::size_t k = g.firstRun; k + 1 < end && alone; ++k) alone = !w.runs[k].candidate;
                    g.otherRomanization = alone;
                }
            }
        } else if (TaiwanGivenName(w.runs[last])) {
            const Run& given = w.runs[last];
            const bool before =
                last > 0 && scope.Spaced(last).starts_with(',') && OtherSurnameBeside(given, w.runs[last - 1], false);
            const bool after = last + 1 < w.runs.size() && scope.Spaced(last + 1).starts_with(',') &&
                               OtherSurnameBeside(given, w.runs[last + 1], false);
            g.otherRomanization = g.otherRomanization || before || after;
        } else if (OtherSurnameBeforeComma(scope, last)) {
            g.otherRomanization = true;
        }
    }
    ListedPeople(scope);
    // A common English word capitalized because it begins a sentence is no
    // given name before a name spelled as only Wade-Giles spells ("See
    // Ch'ien Mu", "Compare Ku Chieh-kang"; "Theodore Ts'o" is one), or
    // written as Wade-Giles writes a name: a surname of one syllable and a
    // given name of two joined by a hyphen, the second small ("See Ho
    // Ping-ti, Studies"; Taiwan's and Hong Kong's spellings capitalize it
    // or write the syllables apart).
    // ê alone says little: Vietnamese names have it too ("Trung Lê").
    if (!startWords) return;
    const auto givenName = [&](std::uint32_t k, const Group& g) {
        return k > g.firstRun && w.runs[k].candidate && WadeGilesGivenName(scope, w.runs[k]) &&
               w.runs[k - 1].candidate && w.runs[k - 1].syllableCount == 1;
    };
    for (Run& run : w.runs) {
        if (run.group == kNone || !run.western || !StartWord(run)) continue;
        Group& g = w.groups[run.group];
        bool evidence = false;
        for (std::uint32_t k = g.firstRun; k < g.endRun && !evidence; ++k)
            evidence = (w.runs[k].evidence && scope.Lower(w.runs[k]).find('\xEA') == std::string_view::npos) ||
                       givenName(k, g);
        if (!evidence) continue;
        run.western = false;
        g.western = false;
        for (std::uint32_t k = g.firstRun; k < g.endRun; ++k) g.western = g.western || w.runs[k].western;
    }
}

bool SyllableAfter(const Scope& scope, std::size_t k) {
    if (k + 1 >= scope.w.runs.size()) return false;
    const Run& next = scope.w.runs[k + 1];
    return next.candidate && next.caseStyle == CaseStyle::Lower && scope.Spaced(k + 1) == " ";
}

bool BeforePlaceNoun(const Scope& scope, std::size_t index) {
    const std::vector<Run>& runs = scope.w.runs;
    if (index + 1 >= runs.size()) return false;
    const Run& after = runs[index + 1];
    if (after.normLength < 4 || after.normLength > 10 || after.begin != runs[index].end + 1 ||
        scope.text[runs[index].end] != ' ')
        return false;
    const std::string_view next = scope.Lower(after);
    switch (next[0]) {
        case 'b':
            return next == "basin";
        case 'c':
            return next == "county" || next == "canal" || next == "commandery";
        case 'g':
            return next == "gorge" || next == "gorges";
        case 'i':
            return next == "island" || next == "islands";
        case 'k':
            return next == "kiln" || next == "kilns";
        case 'l':
            return next == "lake";
        case 'm':
            return next == "mountain" || next == "mountains" || next == "monastery";
        case 'p':
            return next == "province" || next == "prefecture" || next == "plateau" || next == "pagoda";
        case 'r':
            return next == "river" || next == "rivers";
        case 't':
            return next == "temple";
        case 'w':
            return next == "ware";
        default:
            return false;
    }
}

bool HeadingComma(const Scope& scope, std::size_t i) {
    const std::vector<Run>& runs = scope.w.runs;
    if (i + 1 >= runs.size() || !runs[i].itemStart) return false;
    const Run& surname = runs[i];
    const Run& given = runs[i + 1];
    const std::string_view gap = scope.Spaced(i + 1);
    return (gap == ", " || gap == ",") && given.line == surname.line && given.group != kNone &&
           surname.group != kNone && surname.baseEnd == surname.end;
}

// The reigns of the Ming and Qing, whose titles texts write apart as often
// as joined ("the K'ang Hsi emperor").
bool IsReign(std::string_view value) {
    static constexpr std::string_view kReigns[] = {
        "chenghua", "chongde",  "chongzhen", "daoguang",  "guangxu",  "hongguang", "hongwu", "hongxi",   "hongzhi",
        "jiajing",  "jiaqing",  "jianwen",   "jingtai",   "kangxi",   "longqing",  "longwu", "qianlong", "shunzhi",
        "taichang", "tiancong", "tianming",  "tianqi",    "tianshun", "tongzhi",   "wanli",  "xianfeng", "xuande",
        "xuantong", "yongle",   "yongli",    "yongzheng", "zhengde",  "zhengtong",
    };
    char lower[16];
    if (value.size() > sizeof lower) return false;
    for (std::size_t k = 0; k < value.size(); ++k)
        lower[k] = static_cast<char>(FoldCase(static_cast<unsigned char>(value[k])));
    return std::find(std::begin(kReigns), std::end(kReigns), std::string_view(lower, value.size())) !=
           std::end(kReigns);
}

namespace {

// Whether the `count` runs from i (of the window up to `last`) are
// capitalized words of one syllable each, one space apart, as older English
// texts write a name's syllables ("Mao Tse Tung", "K'ang Hsi").
bool CapitalsApart(const Scope& scope, std::size_t i, std::size_t last, std::size_t count) {
    if (last + 1 < i + count) return false;
    for (std::size_t k = i; k < i + count; ++k) {
        const Run& run = scope.w.runs[k];
        if (run.caseStyle != CaseStyle::Capitalized || run.syllableCount != 1 || run.tones || run.solid ||
            (k > i && scope.Spaced(k) != " "))
            return false;
    }
    return true;
}

// Whether the two words from run i stand where a reign's title does, not
// a surname and a given name ("T'ien Ch'i was a minister"): after "the" or
// "Emperor", before "emperor", "reign", "period" or "era", or before its
// years in brackets ("K'ang Hsi (1662-1722)").
bool ReignPlace(const Scope& scope, std::size_t i) {
    const std::vector<Run>& runs = scope.w.runs;
    if (i > 0 && scope.Spaced(i) == " " && (runs[i - 1].determiner || scope.Lower(runs[i - 1]) == "emperor"))
        return true;
    if (i + 2 >= runs.size()) return false;
    const std::string_view gap = scope.Spaced(i + 2);
    if (gap == " (" && IsAsciiDigit(scope.text[runs[i + 2].begin])) return true;
    if (gap != " ") return false;
    const std::string_view next = scope.Lower(runs[i + 2]);
    return next == "emperor" || next == "reign" || next == "period" || next == "era";
}

// Whether the syllables of runs i and i + 1, as written, spell a reign's
// title: what a real word as written with its marks dropped must read.
bool ReadsAsReign(const Scope& scope, std::size_t i) {
    char joined[16];
    std::size_t length = 0;
    for (std::size_t k = i; k < i + 2; ++k) {
        const std::string_view pinyin = scope.w.syllables[scope.w.runs[k].firstSyllable].pinyin;
        if (pinyin.empty() || length + pinyin.size() > sizeof joined) return false;
        std::memcpy(joined + length, pinyin.data(), pinyin.size());
        length += pinyin.size();
    }
    return IsReign(std::string_view(joined, length));
}

// Finds keys of `table` that cover whole words of a name group: from each
// word, the longest key over the following words of its group, if it has
// at least `fewest` words. Marks the words it covers as one unit.
void MatchAcrossWords(Scope& scope, const ConversionTable& table, std::size_t most, std::size_t fewest,
                      bool established, unsigned starts) {
    ScopeWork& w = scope.w;
    const bool wordTable = &table == &scope.lex.wordTable;
    // The record whose key is exactly `key`: the word table's are hashed
    // whole, the others searched.
    auto exact = [&](std::string_view key, MatchResult& match) {
        if (!wordTable) return LookupAtCursor(table, key.data(), key.size(), match) && match.consumed == key.size();
        const TableRecord* record = scope.lex.WholeKey(key);
        if (!record) return false;
        match.value = record->value;
        match.valueLength = std::strlen(record->value);
        match.consumed = key.size();
        match.caseMode = CaseMode::AsIs;
        return true;
    };
    for (std::size_t i = 0; i < w.runs.size(); ++i) {
        Run& first = w.runs[i];
        if (first.group == kNone || first.inUnit || !first.shaped || !(first.keyStarts & starts)) continue;
        // The words of the group that a key could cover, joined as keys
        // write them, with where each word ends. Only the last may have a
        // possessive ending.
        // A heading with the surname first reads as the name written in
        // order ("Chiang, Kai-shek", "Mao, Tse-tung"); its comma stays.
        // One word more than the longest key: a given name written apart
        // (see CapitalsApart).
        std::size_t last = i;
        while (last + 1 < w.runs.size() && last + 1 - i < std::min<std::size_t>(most + 1, 16) &&
               (w.runs[last + 1].group == w.runs[last].group || (last == i && HeadingComma(scope, i))) &&
               w.runs[last + 1].shaped && !w.runs[last + 1].inUnit && w.runs[last].baseEnd == w.runs[last].end)
            ++last;
        if (last + 1 - i < fewest) continue;
        w.key.clear();
        std::size_t ends[16];
        bool solidName[16] = {};  // split into syllables here, for the key
        // A given name written without its hyphens ("Teng Hsiaoping",
        // "Tseng Kuofan") is the key that has them ("Teng Hsiao-p'ing"),
        // and so is a compound surname ("Chuko Liang", "Ouyang Hsiu").
        // The established spellings and one's own names are matched as
        // written.
        for (std::size_t k = i; k <= last; ++k) {
            if (k > i) w.key += ' ';
            const Run& part = w.runs[k];
            std::uint8_t lengths[kMostSolidSyllables];
            std::size_t count = 0;
            if (wordTable && part.solid) {
                for (std::uint32_t s = 0; s < part.syllableCount && count < kMostSolidSyllables; ++s)
                    lengths[count++] = static_cast<std::uint8_t>(w.syllables[part.firstSyllable + s].normLength);
            } else if (wordTable && (k == i || !part.candidate) && !part.tones &&
                       part.caseStyle == CaseStyle::Capitalized && part.english == EnglishClass::None &&
                       part.syllableCount == 1 && part.normLength >= 4) {
                count = SolidSyllables(scope.lex, scope.Lower(part), lengths);
                if (count != 2) count = 0;
                solidName[k - i] = count != 0;
            }
            if (count) {
                std::size_t at = 0;
                for (std::size_t s = 0; s < count; at += lengths[s++]) {
                    if (s > 0) w.key += '-';
                    w.key += scope.Lower(part).substr(at, lengths[s]);
                }
            } else {
                w.key += scope.Lower(part);
            }
            ends[k - i] = w.key.size();
        }
        // The longest key that ends where a word does. In a searched table
        // one lookup finds the longest key of all, which is the one wanted
        // when it ends where a word does; otherwise each shorter run of
        // words is tried alone. The word table's are hashed: each run of
        // words is asked alone, the longest first.
        MatchResult match;
        std::size_t words = 0;
        if (wordTable || LookupAtCursor(table, w.key.data(), w.key.size(), match)) {
            if (!wordTable)
                for (std::size_t k = 0; k <= last - i; ++k)
                    if (ends[k] == match.consumed) words = k + 1;
            for (std::size_t k = last - i + 1; k-- > 0 && !words;)
                if (exact(std::string_view(w.key).substr(0, ends[k]), match)) words = k + 1;
        }
        std::string_view degraded;
        // A given name of two syllables written apart, each capitalized,
        // as older English texts write it ("Mao Tse Tung", "Chiang Kai
        // Shek"), is the key that joins them with a hyphen when its value
        // is a surname and a given name; so is a reign's title written
        // apart ("K'ang Hsi", "Yung Lo"), and an empress dowager's title
        // ("the Empress Dowager Tz'u Hsi", Cixi). In a text that writes no
        // marks, the key that has them too ("Teng Hsiao Ping", Teng
        // Hsiao-p'ing). Only at the end of the name: "Ch'in Shih Huang Ti"
        // is a title and a name.
        bool givenApart = false;
        const auto spaces = [](std::string_view value) { return std::count(value.begin(), value.end(), ' '); };
        const bool dowager = i > 0 && scope.Spaced(i) == " " && scope.Lower(w.runs[i - 1]) == "dowager";
        for (std::size_t count = 3; count >= 2 && words < count && !givenApart; --count) {
            if (i + count != w.groups[first.group].endRun || !CapitalsApart(scope, i, last, count) ||
                (count == 2 && !dowager && !ReignPlace(scope, i)))
                continue;
            const auto accept = [&](std::string_view value) {
                return count == 3 ? spaces(value) == 1 : IsReign(value) || (dowager && spaces(value) == 0);
            };
            std::string& joined = w.joinedKey;
            joined.assign(w.key, 0, ends[count - 1]);
            joined[ends[count - 2]] = '-';
            MatchResult whole;  // a failed lookup leaves its own result: the match found above stands
            const bool dropped = wordTable && !WritesMarks(scope, first);
            // The word-table key the joined words spell with their marks
            // dropped, looked up once.
            const Lexicon::Degraded* marked = nullptr;
            bool asked = false;
            const auto markedKey = [&] {
                if (!asked) marked = scope.lex.DegradedKey(joined), asked = true;
                return marked;
            };
            // Not a name that is a real word as written ("Chia Ching", the reign Jiajing).
            const auto degradedName = [&]() -> const Lexicon::Degraded* {
                const Lexicon::Degraded* found = dropped ? markedKey() : nullptr;
                return found && !found->writtenRight && accept(found->value) ? found : nullptr;
            };
            // A dowager's title is a name, more likely one that dropped its
            // marks than a common word ("Tzu Hsi", Tz'u-hsi, not tzu-hsi).
            const Lexicon::Degraded* found = dowager ? degradedName() : nullptr;
            if (!found && exact(joined, whole) && accept(whole.value)) {
                match = whole;
            } else if (found || (found = degradedName())) {
                match.value = found->value;
                degraded = found->key;
            } else if (const Lexicon::Degraded* other =
                           count == 2 && wordTable && (dowager || ReadsAsReign(scope, i)) ? markedKey() : nullptr;
                       other && other->writtenRight && accept(other->writtenRight)) {
                match.value = other->writtenRight;  // a real word as written: "the Chia Ching emperor"
            } else {
                continue;
            }
            words = count;
            givenApart = count == 3;
        }
        // A text that writes no aspiration apostrophe and no ü may have
        // dropped them: "Tsai Yuan-pei" is the word table's "Ts'ai Yüan-p'ei".
        // Only words that are Wade-Giles syllables as written could be a
        // name that dropped its marks.
        std::size_t syllabic = 0;
        while (i + syllabic <= last && (w.runs[i + syllabic].allSyllables || solidName[syllabic])) ++syllabic;
        // The dropped marks are the word table's keys': one's own table and
        // the established spellings are matched as written.
        if (words < fewest && !givenApart && wordTable && !WritesMarks(scope, first) && syllabic >= fewest) {
            words = 0;
            // Only a whole name, titles before it aside: a part of a longer
            // one ("Shui Hu Chuan", a title) is too often another name
            // with its marks dropped ("Hu Ch'üan").
            bool titled = true;
            for (std::uint32_t k = w.groups[first.group].firstRun; k < i; ++k) titled = titled && w.runs[k].title;
            for (std::size_t k = syllabic; k-- > fewest - 1 && !words && titled;) {
                if (i + k + 1 != w.groups[w.runs[i + k].group].endRun) continue;
                const Lexicon::Degraded* found = scope.lex.DegradedKey(std::string_view(w.key).substr(0, ends[k]));
                if (found) {
                    words = k + 1;
                    match.value = found->value;
                    degraded = found->key;
                }
            }
        }
        if (words < fewest) continue;
        first.unitEnd = static_cast<std::uint32_t>(i + words);
        first.givenApart = givenApart;
        first.wordValue = match.value;
        first.degradedKey = degraded;
        if (!degraded.empty()) first.degradedValue = first.wordValue;
        first.established = established;
        scope.establishedName = scope.establishedName || established;
        // A compound surname written solid is no word alone, but begins the name.
        if (solidName[0] && !first.candidate) {
            first.candidate = true;
            ++w.sentences[first.sentence].candidates;
        }
        bool cleared = false;
        for (std::size_t k = i; k < i + words; ++k) {
            Run& part = w.runs[k];
            part.inUnit = true;
            // An established spelling is English usage, no sign of a text
            // in Pinyin ("Hong Kong : Lung men shu tien"); nor is a given
            // name that reads as Pinyin too, once a key holds it split
            // ("Chou Enlai", "Tseng Kuofan").
            if ((established || solidName[k - i]) && part.pinyinOnly) {
                part.pinyinOnly = false;
                cleared = true;
                --w.sentences[part.sentence].pinyin, --ParagraphOf(scope, part).pinyin;
            }
        }
        if (cleared) {
            Group& g = w.groups[first.group];
            g.pinyin = false;
            for (std::uint32_t k = g.firstRun; k < g.endRun; ++k) g.pinyin = g.pinyin || w.runs[k].pinyinOnly;
        }
        i += words - 1;
    }
}

// The word-table key a run's letters are with their marks dropped
// (Lexicon::DegradedKey), asked once for each word the stream's cache holds:
// a list of names asks it of most of its words, one line at a time.
const Lexicon::Degraded* DegradedOf(Scope& scope, const Run& run) {
    WordCache::Entry* known =
        run.reading != kNone && !run.spelledByPlace ? &scope.w.words.entries[run.reading] : nullptr;
    if (known && known->degradedAsked) return known->degraded;
    const Lexicon::Degraded* found = scope.lex.DegradedKey(scope.Lower(run));
    if (known) {
        known->degraded = found;
        known->degradedAsked = true;
    }
    return found;
}

// A name of one syllable that a text without apostrophes or ü writes for
// its spelling with the mark far more often than for its own.
struct MarkedName {
    std::string_view written, key, value;
};
// Surnames among the hundred commonest in China (the 2020 census ranking)
// whose reading as written is none of them: Ch'en (陳) against Chen (甄),
// Ts'ai (蔡) against Tsai (宰); Yü (于, 余) against Yu (尤, 游), which are
// far rarer. Where both readings are common (Chang,
// Cheng, Chin, Kung; Chien, Ch'ien 錢 and Chien 簡) the name is read as
// written, and so are Tao and Chiu, which begin titles as often as they
// are the surnames T'ao and Ch'iu (the Tao Te Ching, Dao; the Chiu Wu-tai
// Shih, Jiu).
constexpr MarkedName kMarkedSurnames[] = {
    {"chen", "Ch'en", "Chen"}, {"pan", "P'an", "Pan"},    {"peng", "P'eng", "Peng"}, {"tan", "T'an", "Tan"},
    {"tang", "T'ang", "Tang"}, {"tien", "T'ien", "Tian"}, {"tsai", "Ts'ai", "Cai"},  {"tsao", "Ts'ao", "Cao"},
    {"tsui", "Ts'ui", "Cui"},  {"yu", "Y\xFC", "Yu"},
};
// Dynasties: the T'ang, the Ch'ing, the Ch'en and the Ch'i; no dynasty is
// named Tang, Ching, Chen or Chi as written.
constexpr MarkedName kMarkedDynasties[] = {
    {"chen", "Ch'en", "Chen"}, {"chi", "Ch'i", "Qi"}, {"ching", "Ch'ing", "Qing"}, {"tang", "T'ang", "Tang"}};

template <std::size_t N>
const MarkedName* FindMarked(const MarkedName (&list)[N], std::string_view lower) {
    // Every name listed is of two to five letters and begins c, p, t or y.
    if (lower.size() < 2 || lower.size() > 5 ||
        (lower[0] != 'c' && lower[0] != 'p' && lower[0] != 't' && lower[0] != 'y'))
        return nullptr;
    for (const MarkedName& a : list)
        if (a.written == lower) return &a;
    return nullptr;
}

void ReadMarked(Run& run, const MarkedName& a) {
    run.degradedKey = a.key;
    run.degradedValue = a.value;
    run.readDegraded = true;
}

// A dynasty's name before "dynasty" that only an aspirated name can be
// ("the Tang dynasty") is read as that name. In a text that writes no
// apostrophe, so is a surname of one syllable before its given name ("Chen
// Li-fu", "Tsai, Ming-liang") where that is far the likelier, and one of
// these names alone ("Chen left", "the fall of the Ching").
void ReadMarkedNames(Scope& scope) {
    std::vector<Run>& runs = scope.w.runs;
    const auto open = [&](const Run& run) {
        return run.candidate && !run.inUnit && run.syllableCount == 1 && run.wordValue.empty() && Capital(run) &&
               run.degradedKey.empty() && !run.tones;
    };
    // Alone in its name group but for words that cannot convert ("Both Tan").
    const auto alone = [&](std::size_t i) {
        if (runs[i].group == kNone) return true;
        const Group& g = scope.w.groups[runs[i].group];
        for (std::size_t k = g.firstRun; k < g.endRun; ++k)
            if (k != i && runs[k].candidate) return false;
        return true;
    };
    // The names that begin with one of these words, as read: the word met
    // alone in the scope is the same surname ("Ching Hsi-chih ... Ching
    // replied" stays 景, not the Ch'ing). Where lines stand apart, a name
    // lends nothing to another line.
    struct Name {
        std::string_view lower;
        std::uint32_t line;
        const MarkedName* read;
    };
    std::vector<Name> names;
    std::vector<std::uint32_t> lone;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        Run& run = runs[i];
        if (!open(run)) continue;
        const std::string_view lower = scope.Lower(run);
        const MarkedName* dynasty = FindMarked(kMarkedDynasties, lower);
        const MarkedName* surname = FindMarked(kMarkedSurnames, lower);
        if (!dynasty && !surname) continue;
        if (BeforeDynasty(scope, i)) {
            if (dynasty) ReadMarked(run, *dynasty);
            continue;
        }
        if (WritesMarks(scope, run)) continue;
        const Run* next = i + 1 < runs.size() ? &runs[i + 1] : nullptr;
        // The first word of its name that could convert, past an English
        // word: "A Ching Chih was born".
        const bool firstOfName = next && run.group != kNone && next->group == run.group &&
                                 (i == 0 || runs[i - 1].group != run.group || !runs[i - 1].candidate ||
                                  IsCommonEnglish(runs[i - 1].english));
        // Before syllables in lower case it is in a title; not before one
        // English function word ("invited Chen to be").
        const auto lowerSyllable = [&](std::size_t k) {
            return k < runs.size() && runs[k].candidate && runs[k].caseStyle == CaseStyle::Lower &&
                   runs[k].line == run.line;
        };
        const bool title = lowerSyllable(i + 1) && (next->english != EnglishClass::Function || lowerSyllable(i + 2));
        // Last in its name after a hyphenated given name, it is the
        // surname of a name in Western order: "Yu-chang Chen", "Wei-ming
        // Tang".
        const Run* given = i > 0 ? &runs[i - 1] : nullptr;
        const bool westernSurname = surname && given && run.group != kNone && given->group == run.group &&
                                    scope.w.groups[run.group].endRun == i + 1 && Blank(scope.Spaced(i)) &&
                                    given->candidate && Capital(*given) && given->syllableCount > 1 &&
                                    scope.Lower(*given).find('-') != std::string_view::npos;
        if (((firstOfName || HeadingComma(scope, i)) && next->candidate && Capital(*next)) || westernSurname) {
            if (surname) ReadMarked(run, *surname);
            names.push_back({lower, run.line, surname});
        } else if (alone(i) && !(i > 0 && HeadingComma(scope, i - 1))) {
            // (After a heading's surname and its comma it is the given
            // name, read as written: "Tai, Chen", 戴震.)
            // Alone on its line it is a list's item, a chart's syllable or
            // a surname, and a title's first word is as often a common word
            // ("Ching chi yen chiu so", 經濟; "Tang an kuan li", 檔案): read
            // as written.
            const bool item = run.lineStart && (!next || next->line != run.line);
            if (!item && !title) lone.push_back(static_cast<std::uint32_t>(i));
        } else if (title && i > 0 && runs[i - 1].group == run.group && runs[i - 1].candidate && Capital(runs[i - 1]) &&
                   !IsCommonEnglish(runs[i - 1].english) && lower != "chi") {
            // Capitalized after a title's first word, it is the title's
            // proper name, the dynasty or the surname: "Chiu Tang shu" (舊唐書),
            // "Ta Ching hui tien" (大清會典). "Chi" is as often 紀 or 記.
            ReadMarked(run, dynasty ? *dynasty : *surname);
        }
    }
    const bool apart = LinesApart(scope);
    for (const std::uint32_t i : lone) {
        Run& run = runs[i];
        const std::string_view lower = scope.Lower(run);
        const auto name = std::find_if(names.begin(), names.end(), [&](const Name& n) {
            return n.lower == lower && (!apart || n.line == run.line);
        });
        // After "the" it names the dynasty, not a person ("the fall of the
        // Ching").
        const MarkedName* dynasty = FindMarked(kMarkedDynasties, lower);
        const bool afterThe = i > 0 && runs[i - 1].determiner && scope.Spaced(i) == " ";
        const MarkedName* a = afterThe && dynasty   ? dynasty
                             : name != names.end() ? name->read
                                                   : FindMarked(kMarkedSurnames, lower);
        if (!a && name == names.end()) a = dynasty;
        // "Chi" alone is as often the surnames Chi (紀, 姬) as the Ch'i.
        if (a && a->written != "chi") ReadMarked(run, *a);
    }
}

}  // namespace

void MatchKeysAcrossWords(Scope& scope) {
    // One's own names first, a word or more; then established spellings
    // ("Chiang Kai-shek"); then the word table's names across words ("Mao
    // Tse-tung").
    const Lexicon& lex = scope.lex;
    if (lex.maxAddedWords) MatchAcrossWords(scope, lex.addedTable, lex.maxAddedWords, 1, false, kStartsAdded);
    MatchAcrossWords(scope, lex.conventionalTable, lex.maxConventionalWords, 1, true, kStartsConventional);
    // In lines mode each line says for itself whether it writes the marks.
    const bool marksEverywhere = (scope.apostrophes || scope.umlauts) && !LinesApart(scope);
    const unsigned units = kStartsUnit | (marksEverywhere ? 0u : unsigned{kStartsDegradedUnit});
    if (lex.maxKeyWords >= 2) MatchAcrossWords(scope, lex.wordTable, lex.maxKeyWords, 2, false, units);
    ReadMarkedNames(scope);
    // A hyphenated word no key holds, in a text that writes no apostrophe
    // and no ü: the key it is with them dropped ("Chang-an", Ch'ang-an).
    if (marksEverywhere) return;
    std::vector<Run>& runs = scope.w.runs;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        Run& run = runs[i];
        if (!run.candidate || run.inUnit || run.syllableCount < 2 || WritesMarks(scope, run)) continue;
        // A capitalized word the table holds as a common word may be a name
        // that dropped its marks: "the Empress Dowager Tzu-hsi" is Tz'u-hsi
        // (Cixi), not the word tzu-hsi (zixi). Only in an English sentence:
        // an item of a list, a place or a heading, that writes no mark is
        // as often one that needs none ("Chung-yang", 中陽). Nor where a
        // capitalized word follows, whose name it begins ("Chung-yang
        // University", 中央), nor a syllable in lower case, whose title it
        // begins ("Ku-tien tzu").
        const auto mayBeName = [&] {
            if (run.caseStyle != CaseStyle::Capitalized || scope.w.sentences[run.sentence].english == 0 ||
                IsUpper(static_cast<unsigned char>(run.wordValue[0])))
                return false;
            if (i + 1 == runs.size() || runs[i + 1].line != run.line || scope.Spaced(i + 1) != " ") return true;
            const Run& next = runs[i + 1];
            return !Capital(next) && !(next.candidate && next.caseStyle == CaseStyle::Lower);
        };
        const bool common = !run.wordValue.empty();
        if (common && !mayBeName()) continue;
        if (const Lexicon::Degraded* found = DegradedOf(scope, run)) {
            if (common && !IsUpper(static_cast<unsigned char>(found->value[0]))) continue;
            run.degradedValue = found->value;
            run.degradedKey = found->key;
            // A name the table knows is likelier than the syllables strung
            // as written ("Chien-lung, Emperor of China"), but a given name
            // after its surname may be any ("Ho Ping-ti", "Ho, Ping-ti"),
            // and a word in lower case is as often written right with no
            // mark to drop ("tan-tu", "chieh-chieh"), as is a real word the
            // other readings list ("Chia-ching", "Tso-chuan"): those are read
            // as written, with the key as the other reading.
            // So may one before its surname in Western order, the group's
            // last word ("Ping-ti Ho"), unless that is a ruler's title
            // ("Chien-lung Ti", Qianlong Di).
            const auto westernSurname = [&] {
                if (run.group == kNone || i + 1 >= runs.size() || scope.w.groups[run.group].endRun != i + 2)
                    return false;
                const Run& surname = runs[i + 1];
                if (!surname.candidate || surname.syllableCount != 1 || surname.caseStyle != CaseStyle::Capitalized ||
                    scope.Spaced(i + 1) != " ")
                    return false;
                static constexpr std::string_view kTitles[] = {"hou", "kung", "ti", "tsu", "tsung", "wang"};
                static constexpr SortedWords titles(kTitles);
                return !titles.Has(scope.Lower(surname));
            };
            // So is one after its surname and a comma inside a sentence, as
            // a citation writes it ("by Ho, Ping-ti (1959)"): a word of one
            // syllable, capitalized, no dynasty's and after no determiner.
            const auto citedSurname = [&] {
                const Run& surname = runs[i - 1];
                return surname.candidate && surname.syllableCount == 1 && surname.caseStyle == CaseStyle::Capitalized &&
                       surname.line == run.line && scope.Spaced(i) == ", " && !(i >= 2 && runs[i - 2].determiner) &&
                       !IsDynasty(scope.Lower(surname));
            };
            const bool givenName =
                i > 0 && ((run.group != kNone && runs[i - 1].group == run.group && runs[i - 1].candidate) ||
                          HeadingComma(scope, i - 1) || citedSurname());
            // A ruler's name, his title its last syllable (ti, tsung, tsu:
            // none of them aspirated), is read as written where only that
            // syllable would take the common word's mark ("Wen-ti", an
            // emperor, not "wen-t'i", a question; but "Ping-ti" is P'ing-ti),
            // unless a syllable in lower case goes on, as a title's ("Wen-ti
            // yu chu-i").
            const auto rulerAsWritten = [&] {
                if (IsUpper(static_cast<unsigned char>(found->value[0])) || run.caseStyle != CaseStyle::Capitalized)
                    return false;
                const std::string_view lower = scope.Lower(run);
                if (!lower.ends_with("-ti") && !lower.ends_with("-tsung") && !lower.ends_with("-tsu")) return false;
                const std::string_view key = found->key;
                const std::size_t hyphen = key.rfind('-');
                if (hyphen == std::string_view::npos || key.substr(0, hyphen).find('\'') != std::string_view::npos ||
                    key.find('\'', hyphen) == std::string_view::npos)
                    return false;
                return !SyllableAfter(scope, i);
            };
            run.readDegraded =
                Capital(run) && !givenName && !found->writtenRight && !westernSurname() && !rulerAsWritten();
        }
    }
}

}  // namespace kesti
