// Reading a word: its syllables, marks and tones, its English class, its
// values in the tables, and the cache of words already read.
#include "prose/words.h"

#include <algorithm>
#include <cstring>

#include <utf8proc.h>

#include "prose/chars.h"
#include "prose/spell.h"
#include "text/text_rules.h"

namespace kesti {

namespace {

// Pinyin vowels with a tone mark, as the base vowel (ü as 0xFC), or 0.
char PinyinToneVowel(char32_t c, bool& upper) {
    static constexpr struct {
        char32_t lower, upperCase;
        char base;
    } kMarked[] = {{0x101, 0x100, 'a'},    {0xE1, 0xC1, 'a'},      {0x1CE, 0x1CD, 'a'},    {0xE0, 0xC0, 'a'},
                   {0x113, 0x112, 'e'},    {0xE9, 0xC9, 'e'},      {0x11B, 0x11A, 'e'},    {0xE8, 0xC8, 'e'},
                   {0x12B, 0x12A, 'i'},    {0xED, 0xCD, 'i'},      {0x1D0, 0x1CF, 'i'},    {0xEC, 0xCC, 'i'},
                   {0x14D, 0x14C, 'o'},    {0xF3, 0xD3, 'o'},      {0x1D2, 0x1D1, 'o'},    {0xF2, 0xD2, 'o'},
                   {0x16B, 0x16A, 'u'},    {0xFA, 0xDA, 'u'},      {0x1D4, 0x1D3, 'u'},    {0xF9, 0xD9, 'u'},
                   {0x1D6, 0x1D5, '\xFC'}, {0x1D8, 0x1D7, '\xFC'}, {0x1DA, 0x1D9, '\xFC'}, {0x1DC, 0x1DB, '\xFC'}};
    for (const auto& m : kMarked) {
        if (c == m.lower || c == m.upperCase) {
            upper = c == m.upperCase;
            return m.base;
        }
    }
    return 0;
}

bool JoinsUnderscore(char c) { return IsAsciiLetter(static_cast<unsigned char>(c)) || IsAsciiDigit(c) || c == '_'; }

// Whether the underscore at `from` opens emphasis that the next underscore
// on its line, within a short span, closes: no letter, digit or underscore
// outside either.
bool EmphasisFrom(std::string_view text, std::size_t from) {
    if (from > 0 && JoinsUnderscore(text[from - 1])) return false;
    for (std::size_t k = from + 1; k < text.size() && k < from + 256; ++k) {
        if (text[k] == '_')
            return k > from + 1 && !IsSpace(static_cast<unsigned char>(text[k - 1])) &&
                   (k + 1 == text.size() || !JoinsUnderscore(text[k + 1]));
        if (text[k] == '\n' || text[k] == '\r') return false;
    }
    return false;
}

// Whether the word at bytes begin..end stands in such emphasis, with an
// underscore right before or right after it.
bool InEmphasis(std::string_view text, std::size_t begin, std::size_t end) {
    if (begin > 0 && text[begin - 1] == '_') return EmphasisFrom(text, begin - 1);
    // The closing one: the underscore before it on its line opens.
    if (end >= text.size() || text[end] != '_') return false;
    for (std::size_t k = begin; k-- > 0 && begin - k < 256;) {
        if (text[k] == '_') return EmphasisFrom(text, k);
        if (text[k] == '\n' || text[k] == '\r') return false;
    }
    return false;
}

// Whether a hyphen at byte `at` ends its line and the next line goes on
// with a piece of a word no syllable spells: a word the line's end broke
// ("Ko‐" above "rean"), of which the run before (from `begin`) is no word.
// A syllable there is a name's own hyphen ("Mao Tse-" above "tung"),
// unless the two pieces make a common English word ("cho‐" above "sen");
// so is a capital or a letter past ASCII. Where each line is an item, its
// end is the item's: no word goes on to the next.
bool BrokenAtLineEnd(const Scope& scope, std::size_t begin, std::size_t at) {
    if (LinesApart(scope)) return false;
    const std::string_view text = scope.text;
    std::size_t i = at;
    if (text[i] == '-')
        i += 1;
    else if (text.substr(i, 3) == "\xE2\x80\x90" || text.substr(i, 2) == "\xC2\xAD")  // U+2010, a soft hyphen
        i += text[i] == '\xE2' ? 3 : 2;
    else
        return false;
    i = HyphenWrapEnd(text, i);
    if (i == 0) return false;
    char piece[8];
    std::size_t n = 0;
    for (; i < text.size() && (IsAsciiLower(static_cast<unsigned char>(text[i])) || text[i] == '\''); ++i) {
        if (n == sizeof piece) return true;  // longer than any syllable
        piece[n++] = text[i];
    }
    if (n == 0 || (i < text.size() && (IsAsciiUpper(static_cast<unsigned char>(text[i])) ||
                                       static_cast<unsigned char>(text[i]) >= 0x80)))
        return false;
    if (scope.lex.Syllable(std::string_view(piece, n)).empty()) return true;
    return PiecesMakeCommonWord(scope, begin, at, std::string_view(piece, n));
}

// Whether the colon at byte `colon` opens a value in braces, or a list in
// square brackets that ends its line: the word before it is a key in code
// or data ("lo: [", "family: {"), where a catalogue's imprint brackets a
// publisher it supplies ("Shang-hai: [s.n.], 1934").
bool OpensBlockAfterColon(std::string_view text, std::size_t colon) {
    std::size_t i = colon + 1;
    while (i < text.size() && text[i] == ' ') ++i;
    if (i >= text.size() || (text[i] != '{' && text[i] != '[')) return false;
    if (text[i] == '{') return true;
    for (++i; i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r'); ++i) {
    }
    return i == text.size() || text[i] == '\n';
}

}  // namespace

// Every byte before the run that the switch below answers, and every byte
// after it that the checks after it answer, is in kGluesBefore or
// kGluesAfter (prose/words.h), which let IsGlued pass over the rest.
bool GluedAround(const Scope& scope, const Run& run) {
    const std::string_view text = scope.text;
    // An underscore joins an identifier's parts ("my_chou", "_sha1");
    // underscores around words, with no letter or digit beyond them, mark
    // emphasis as Markdown writes it ("_chin-shih_", "_Shih chi_").
    if (run.begin > 0) {
        switch (text[run.begin - 1]) {
            case '_':
                if (!InEmphasis(text, run.begin, run.end)) return true;
                break;
            case '/':
            case '@':
            case '\\':
            case '.':
            case '=':
            case '#':
            case '&':
            case '%':
            case '+':
            case '~':
            case '$':  // a variable: "$i1", "$HOME"
                return true;
            case ':': {
                // A catalogue's imprint written close ("Pei-ching:Chung-hua
                // shu chü"): a capitalized word after a word's colon. An
                // address, a path or code ("http://", "std::", "a:b") is
                // glued.
                const unsigned char before = run.begin >= 2 ? static_cast<unsigned char>(text[run.begin - 2]) : ' ';
                if ((IsAsciiLetter(before) || before >= 0x80) &&
                    IsAsciiUpper(static_cast<unsigned char>(text[run.begin])))
                    break;
                return true;
            }
            case '-': {
                // An option ("--no-po", "-v"), but not a heading's
                // subdivision, a record's area or a typed dash after a word
                // ("China--History--Ch'ing dynasty", "Shih chi.--Pei-ching",
                // "1644--the Ch'ing").
                // Nor a name after an English prefix ("pre-Ch'in").
                std::size_t prefix = run.begin - 1;
                while (prefix > 0 && IsAsciiLetter(static_cast<unsigned char>(text[prefix - 1]))) --prefix;
                if (prefix < run.begin - 1 &&
                    (prefix == 0 || !IsWordChar(static_cast<unsigned char>(text[prefix - 1]))) &&
                    PrefixBefore(text, prefix, run.begin - 1, run.begin))
                    break;
                std::size_t dashes = run.begin - 1;
                while (dashes > 0 && text[dashes - 1] == '-') --dashes;
                const unsigned char before = dashes > 0 ? static_cast<unsigned char>(text[dashes - 1]) : ' ';
                const bool afterWord = IsAsciiLetter(before) || IsAsciiDigit(before) || before >= 0x80 ||
                                       before == '.' || before == ')' || before == ']';
                if (dashes == run.begin - 1 || !afterWord) return true;
                break;
            }
            case ',': {
                // A value of a list in an option or an assignment:
                // "--hashes=md5,sha1,sha3" (a CSV's cells, "chou,department",
                // are words).
                for (std::size_t i = run.begin - 1; i > 0 && run.begin - i < 256; --i) {
                    const char c = text[i - 1];
                    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') break;
                    if (c == '=' || (c == '-' && (i == 1 || text[i - 2] == ' ' || text[i - 2] == '\t' ||
                                                  text[i - 2] == '\n' || text[i - 2] == '-')))
                        return true;
                }
                break;
            }
            case '<':  // a tag or a placeholder: "<lang1> <lang2>", "<hsi>"
                if (run.end < text.size() && text[run.end] == '>') return true;
                break;
            case '(':  // an argument or an index right after a name: "max(i1, i2)", "a[te]"
            case '[':
                if (run.begin >= 2) {
                    const unsigned char name = static_cast<unsigned char>(text[run.begin - 2]);
                    if (IsAsciiLetter(name) || (name >= '0' && name <= '9') || name == '_') return true;
                }
                break;
            default:
                break;
        }
    }
    if (run.end < text.size()) {
        const char after = text[run.end];
        if (after == '@' || after == '/' || after == '\\') return true;
        if ((after == '-' || after == '\xE2' || after == '\xC2') && BrokenAtLineEnd(scope, run.begin, run.end))
            return true;
        if (after == '_' && !InEmphasis(text, run.begin, run.end)) return true;
        if (after == ':' && OpensBlockAfterColon(text, run.end)) return true;
        // The same past the tags that highlight code ("<span
        // class=\"hljs-attr\">lo</span>: [").
        if (after == '<') {
            std::size_t past = run.end;
            while (const std::size_t end = past < text.size() && text[past] == '<' ? MarkupTagEnd(text, past) : 0)
                past = end;
            if (past > run.end && past < text.size() && text[past] == ':' && OpensBlockAfterColon(text, past))
                return true;
        }
        if (after == '.' && run.end + 1 < text.size()) {
            std::size_t length = 0;
            if (IsWordChar(DecodeAt(text, run.end + 1, length))) return true;
        }
    }
    return false;
}

namespace {

// A syllable of the run: bytes start..end of the scope's normalized text.
void AddSyllable(Scope& scope, Run& run, std::size_t start, std::size_t end, char32_t separator, int tone,
                 char32_t toneChar, bool wrapped = false) {
    Syllable s;
    s.wrapped = wrapped;
    s.norm = static_cast<std::uint32_t>(start);
    s.normLength = static_cast<std::uint32_t>(end - start);
    s.separator = separator;
    s.tone = tone;
    s.toneChar = toneChar;
    scope.w.syllables.push_back(s);
    ++run.syllableCount;
}

// Whether `c` is a letter Vietnamese writes and neither Wade-Giles nor
// Pinyin does: ă, đ, ơ, ư, and the vowels with a dot below, a hook above
// or two marks (ạ, ả, ấ, ề, ...).
bool VietnameseLetter(char32_t c) {
    return c == 0x102 || c == 0x103 || c == 0x110 || c == 0x111 || c == 0x1A0 || c == 0x1A1 || c == 0x1AF ||
           c == 0x1B0 || (c >= 0x1EA0 && c <= 0x1EF9);
}

// Reads one run into its syllables, normalized: lower case, every
// apostrophe written ', ü as 0xFC, ê as 0xEA, ŭ as u.
void ReadRun(Scope& scope, Run& run) {
    ScopeWork& w = scope.w;
    const std::string_view text = scope.text;
    // A possessive ending stays as written: "Tse-tung's", "Tse-tung&#39;s".
    if (run.end - run.begin >= 3 && (text[run.end - 1] == 's' || text[run.end - 1] == 'S')) {
        const std::uint32_t last = run.end - 1;
        for (std::uint32_t at = last - 1; at > run.begin && last - at <= 3; --at) {
            if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) continue;
            std::size_t length = 0;
            if (IsApostrophe(DecodeAt(text, at, length)) && at + length == last) run.baseEnd = at;
            break;
        }
        if (text[last - 1] == ';') [[unlikely]] {
            const std::size_t amp = text.rfind('&', last - 1);
            std::size_t length = 0;
            if (amp != std::string_view::npos && amp > run.begin && IsApostrophe(WordEntityAt(text, amp, length)) &&
                amp + length == last)
                run.baseEnd = static_cast<std::uint32_t>(amp);
        }
    }
    const std::string_view base = text.substr(run.begin, run.baseEnd - run.begin);
    run.norm = static_cast<std::uint32_t>(w.norm.size());
    run.firstSyllable = static_cast<std::uint32_t>(w.syllables.size());
    run.syllableCount = 0;
    run.pinyinShaped = true;
    // Most words of a text are lower-case ASCII letters: read at once. Only
    // combining marks (U+0300-U+036F, lead bytes 0xCC and 0xCD) need
    // composing (u followed by U+0308 is ü); other text is read as it stands.
    unsigned notLower = 0, high = 0, marks = 0;  // without branches: the compiler may vectorize
    for (const char ch : base) {
        const auto b = static_cast<unsigned char>(ch);
        notLower |= static_cast<unsigned>(b - 'a') > 25u;
        high |= b;
        marks |= (b == 0xCC) | (b == 0xCD);
    }
    const bool entities = scope.entities && base.find('&') != std::string_view::npos;
    const bool plain = !notLower, ascii = high < 0x80 && !entities, combining = marks != 0;
    if (plain) {
        w.norm.append(base);
        AddSyllable(scope, run, run.norm, w.norm.size(), 0, 0, 0);
        run.normLength = static_cast<std::uint32_t>(base.size());
        run.caseStyle = CaseStyle::Lower;
        return;
    }
    // Normalized into a buffer of the function's own, which its other
    // variables cannot share memory with, and appended at the end: a word
    // has at most four code points for each of its bytes once composed.
    char normalized[4 * kMaxWordBytes + 8];
    std::size_t n = 0;
    std::size_t syllableStart = run.norm;
    char32_t separator = 0, toneChar = 0;
    int tone = 0;
    bool letterSeen = false, mixed = false, previousLower = false;
    bool wrapped = false;  // the syllable's hyphen ends a line (see FindRuns)
    std::uint32_t letters = 0, uppers = 0;
    bool firstUpper = false;
    // Inlined into each loop below: called once a character, it cost more
    // as a call than its work.
    auto take = [&](char32_t c) __attribute__((always_inline)) {
        bool upper = false;
        char letter = 0;
        if (c < 0x80 && (IsAsciiUpper(c) || IsAsciiLower(c))) {
            upper = IsAsciiUpper(c);
            letter = static_cast<char>(upper ? c + 0x20 : c);
        } else if (c == 0xFC || c == 0xDC) {
            upper = c == 0xDC, letter = '\xFC';
        } else if (c == 0xEA || c == 0xCA) {
            upper = c == 0xCA, letter = '\xEA';
            run.giles = true;
        } else if (c == 0x16D || c == 0x16C) {
            upper = c == 0x16C, letter = 'u';
            run.pinyinShaped = false;
            run.giles = true;
        } else if (const char bare = c >= 0xC0 ? PinyinToneVowel(c, upper) : 0) {
            letter = bare;
            run.pinyinMarks = true;
            run.shaped = false;
        }
        if (letter) {
            if (tone) run.shaped = run.pinyinShaped = false;  // a tone ends its syllable
            if (letters == 0) firstUpper = upper;
            if (upper && !letterSeen && separator) run.capitalAfterHyphen = true;
            // A capital after a small letter in one syllable: "NaN", "iPod".
            mixed = mixed || (upper && previousLower);
            previousLower = !upper;
            ++letters;
            uppers += upper;
            letterSeen = true;
            normalized[n++] = letter;
        } else if (IsApostrophe(c)) {
            if (tone) run.shaped = run.pinyinShaped = false;
            normalized[n++] = '\'';
        } else if (IsHyphen(c) || c == 0x2013) {
            if (!letterSeen) run.shaped = run.pinyinShaped = false;
            AddSyllable(scope, run, syllableStart, run.norm + n, separator, tone, toneChar, wrapped);
            normalized[n++] = '-';
            syllableStart = run.norm + n;
            separator = c;
            tone = 0;
            toneChar = 0;
            letterSeen = false;
            previousLower = false;
            wrapped = false;
        } else if ((c == '\n' || c == '\r' || c == ' ' || c == '\t') && separator && !letterSeen) [[unlikely]] {
            wrapped = true;  // the line's end after a hyphen, and the next line's indent
        } else if (const int t = ToneOf(c); t && letterSeen && !tone) {
            tone = t;
            toneChar = c;
            run.tones = true;
            run.pinyinShaped = false;
        } else {
            run.shaped = run.pinyinShaped = false;
            run.vietnamese = run.vietnamese || VietnameseLetter(c);
            previousLower = false;
        }
    };
    if (ascii) {
        for (char ch : base) take(static_cast<unsigned char>(ch));
    } else if (!combining) {
        for (std::size_t k = 0, length = 0; k < base.size(); k += length) {
            char32_t c = DecodeAt(base, k, length);
            // An escaped apostrophe or letter: "Ch&#39;ing", "Hs&uuml;eh".
            if (c == '&') [[unlikely]] {
                std::size_t entity = 0;
                if (const char32_t escaped = WordEntityAt(base, k, entity)) c = escaped, length = entity;
            }
            take(c);
        }
    } else {
        w.composed.resize(base.size() * 4 + 8);
        auto* composed = reinterpret_cast<utf8proc_int32_t*>(w.composed.data());
        const auto options = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE);
        utf8proc_ssize_t count = utf8proc_decompose(reinterpret_cast<const utf8proc_uint8_t*>(base.data()),
                                                    static_cast<utf8proc_ssize_t>(base.size()), composed,
                                                    static_cast<utf8proc_ssize_t>(w.composed.size()), options);
        if (count > 0) count = utf8proc_normalize_utf32(composed, count, options);
        for (utf8proc_ssize_t k = 0; k < count; ++k) take(static_cast<char32_t>(composed[k]));
    }
    if (!letterSeen) run.shaped = run.pinyinShaped = false;
    AddSyllable(scope, run, syllableStart, run.norm + n, separator, tone, toneChar, wrapped);
    w.norm.append(normalized, n);
    run.normLength = static_cast<std::uint32_t>(n);
    // So is a small letter after two capitals in one syllable: "TSan",
    // "ASan". Not ü or ê, which texts in capitals may leave small ("HSü").
    // Looked for only in a word of some capitals and some small letters.
    if (!mixed && uppers >= 2 && uppers < letters) {
        for (std::size_t k = 0, capitals = 0; k < base.size() && !mixed; ++k) {
            const auto b = static_cast<unsigned char>(base[k]);
            mixed = IsAsciiLower(b) && capitals >= 2;
            capitals = IsAsciiUpper(b) ? capitals + 1 : b == '\'' ? capitals : 0;
        }
    }
    run.caseStyle = mixed                                 ? CaseStyle::Mixed
                    : !firstUpper                         ? CaseStyle::Lower
                    : (letters >= 2 && uppers == letters) ? CaseStyle::AllCaps
                                                          : CaseStyle::Capitalized;
    run.isPronounI = letters == 1 && uppers == 1 && run.syllableCount == 1 && scope.Lower(run) == "i";
}

// Whether a word holds a spelling no other language writes: "hs", "tz", or
// "ih" at its end ("shih", "chih").
bool WritesHsTzOrIh(std::string_view lower) {
    return lower.find("hs") != std::string_view::npos || lower.find("tz") != std::string_view::npos ||
           (lower.size() > 2 && lower.substr(lower.size() - 2) == "ih");
}

// Splits a capitalized word written without hyphens into Wade-Giles
// syllables (see SolidSyllables) when it holds a spelling a marked syllable
// has, as English texts write places (Hsinchuang, Sanhsia). Replaces the
// run's one syllable by them and says whether it could.
bool SplitSolid(Scope& scope, Run& run) {
    const std::string_view lower = scope.Lower(run);
    if (lower.size() < 4 || lower.size() > 40 || lower.find('-') != std::string_view::npos) return false;
    // A marked syllable holds one of these; most capitalized words hold none.
    bool hint = false;
    for (std::size_t i = 0; i + 1 < lower.size() && !hint; ++i) {
        const char a = lower[i], b = lower[i + 1];
        hint = (a == 'h' && b == 's') || (a == 't' && (b == 's' || b == 'z')) || a == '\'' || (a == 'i' && b == 'h') ||
               (a == 'u' && b == 'n') || (a == 'i' && b == 'e') || (a == 'u' && b == 'e') || (a == 'c' && b == 'h') ||
               a == '\xFC' || a == '\xEA' || (a == 's' && (b == 's' || b == 'z'));
    }
    if (!hint && lower.back() != '\xFC' && lower.back() != '\xEA') return false;
    std::uint8_t lengths[kMostSolidSyllables];
    const std::size_t count = SolidSyllables(scope.lex, lower, lengths);
    if (count < 2) return false;
    // An "e" alone as a syllable after the first is Wade-Giles's ê with
    // its mark dropped, which no place's name written solid has: the word
    // is another language's ("Jihe", Pinyin's ji-he, no jih-e; "Yenan" is
    // yen-an, "Hsiaoi" hsiao-i).
    for (std::size_t k = 1, at = lengths[0]; k < count; at += lengths[k++])
        if (lengths[k] == 1 && lower[at] == 'e') return false;
    // Nor does one spell ko as "ke", as some typed texts do: a word
    // written solid with it is another language's ("Lüke", lü-ke) or
    // Pinyin's ("Keshan"). Nor is one that Pinyin writes as it stands,
    // its syllables apart, where Wade-Giles needs one that begins with a,
    // e or o after the first: "Lianyungang" is lian-yun-gang, no
    // li-an-yung-ang ("Huaian", huai-an either way, stays Wade-Giles's).
    bool vowelInside = false;
    for (std::size_t k = 0, at = 0; k < count; at += lengths[k++]) {
        const std::string_view piece = lower.substr(at, lengths[k]);
        if (piece == "ke" || piece == "k'e") return false;
        vowelInside = vowelInside || (k > 0 && (piece[0] == 'a' || piece[0] == 'e' || piece[0] == 'o'));
    }
    if (vowelInside && scope.lex.IsPinyin(lower, true)) return false;
    ScopeWork& w = scope.w;
    w.syllables.resize(run.firstSyllable);
    run.syllableCount = 0;
    std::size_t at = 0;
    for (std::size_t k = 0; k < count; at += lengths[k++]) {
        Syllable s;
        s.norm = static_cast<std::uint32_t>(run.norm + at);
        s.normLength = lengths[k];
        s.pinyin = scope.lex.Syllable(scope.Spelling(s), s.marked);
        w.syllables.push_back(s);
        ++run.syllableCount;
    }
    return true;
}

// Whether run `index`, a capital letter alone before a full stop, is an
// initial ("Sir I. Newton", "Ming J. Tsai"). Not right after a surname of
// one syllable, where the sentence ends with it: that is a given name of
// one letter ("the brothers Ch'eng Hao and Ch'eng I.", "led by Ch'en I.
// He was"). A sentence ends there where the text or its line does, or
// a word in lower case, a function word or a name of two words follows
// ("Ch'eng I. Chu Hsi wrote"); initials in a row ("Wang I. M. Pei") and a
// surname after ("Tsung I. Lee") keep it an initial. After a heading's
// surname and its comma, a letter that is a syllable is the given name
// wherever the sentence ends ("Chao, I. Nien erh shih cha chi.").
bool IsInitial(const Scope& scope, std::size_t index) {
    const std::vector<Run>& runs = scope.w.runs;
    const std::string_view text = scope.text;
    if (index == 0) return true;
    const Run& before = runs[index - 1];
    // A heading's surname and a letter that is a syllable: "Chao, I.".
    const char letter = static_cast<char>(FoldCase(static_cast<unsigned char>(text[runs[index].begin])));
    const bool heading =
        scope.Spaced(index) == ", " && before.lineStart && !scope.lex.Syllable(std::string_view(&letter, 1)).empty();
    if (before.line != runs[index].line || (scope.Spaced(index) != " " && !heading) || !before.candidate ||
        before.syllableCount != 1 || !Capital(before))
        return true;
    std::size_t k = runs[index].end + 1;
    while (k < text.size() && (text[k] == ' ' || text[k] == '\t')) ++k;
    if (k == text.size() || text[k] == '\n' || text[k] == '\r') return false;
    // Before the heading's title, anything but another initial.
    if (heading) return k + 1 < text.size() && IsAsciiUpper(static_cast<unsigned char>(text[k])) && text[k + 1] == '.';
    if (k + 1 == text.size() || !IsAsciiLetter(static_cast<unsigned char>(text[k + 1])))
        return !IsAsciiLower(static_cast<unsigned char>(text[k])) && k + 1 < text.size() && text[k + 1] == '.';
    // The next word, as far as a syllable goes: letters and apostrophes.
    const auto inWord = [&](std::size_t at) {
        return IsAsciiLetter(static_cast<unsigned char>(text[at])) || (text[at] == '\'' && at > k);
    };
    std::size_t end = k;
    while (end < text.size() && end - k < 8 && inWord(end)) ++end;
    if (IsAsciiLower(static_cast<unsigned char>(text[k]))) return false;
    if (end + 1 < text.size() && text[end] == ' ' && IsAsciiUpper(static_cast<unsigned char>(text[end + 1])) &&
        (end + 2 == text.size() || text[end + 2] != '.'))
        return false;
    char lower[8];
    for (std::size_t c = k; c < end; ++c)
        lower[c - k] = static_cast<char>(FoldCase(static_cast<unsigned char>(text[c])));
    const std::string_view next(lower, end - k);
    if (scope.lex.English(next) == EnglishClass::Function) return false;
    // A title romanized in syllables, its first capitalized: "Chao I. Nien
    // erh shih cha chi.", "Chao I. Nien-erh shih", where a surname would
    // stand ("Tsung I. Lee wrote").
    std::size_t after = end + 1;
    while (after < text.size() && after - end <= 7 &&
           (IsAsciiLower(static_cast<unsigned char>(text[after])) || (text[after] == '\'' && after > end + 1)))
        ++after;
    const bool syllableAfter = end < text.size() && (text[end] == ' ' || text[end] == '-') && after > end + 1 &&
                               after - end <= 7 && (after == text.size() || !inWord(after)) &&
                               !scope.lex.Syllable(text.substr(end + 1, after - end - 1)).empty();
    return !(syllableAfter && !scope.lex.Syllable(next).empty());
}

// Reads a run's letters: its syllables, case and tones, its English
// class, its table values, and whether it could be romanized Chinese. What
// depends on where it stands comes after, in ReadRuns; only an address's
// part (glued) and an initial ("I.") are read differently here.
void ReadWord(Scope& scope, std::size_t index) {
    ScopeWork& w = scope.w;
    Run& run = w.runs[index];
    const Lexicon& lex = scope.lex;
    ReadRun(scope, run);
    const std::string_view word = scope.Lower(run);
    const bool capital = Capital(run);
    if (run.caseStyle == CaseStyle::Mixed) run.shaped = run.pinyinShaped = false;
    // A capital letter and a full stop is an initial ("Sir I. Newton"),
    // unless a given name of one letter (IsInitial).
    if (run.normLength == 1 && run.caseStyle == CaseStyle::Capitalized && run.end < scope.text.size() &&
        scope.text[run.end] == '.' && IsInitial(scope, index))
        run.shaped = run.pinyinShaped = false;
    if (run.shaped && !run.glued) {
        run.allSyllables = true;
        bool pinyin = true;
        for (std::uint32_t k = 0; k < run.syllableCount && run.allSyllables; ++k) {
            Syllable& s = w.syllables[run.firstSyllable + k];
            bool pinyinToo = false;
            s.pinyin = lex.Syllable(scope.Spelling(s), s.marked, pinyinToo);
            run.allSyllables = !s.pinyin.empty();
            pinyin = pinyin && pinyinToo;
        }
        // An older spelling ("teh", "tze") is read in a name or a hyphenated
        // word; a lower-case word alone is as often a slip ("access to teh").
        if (run.allSyllables && run.syllableCount == 1 && run.caseStyle == CaseStyle::Lower &&
            lex.OlderSpelling(scope.Spelling(w.syllables[run.firstSyllable])))
            run.allSyllables = false;
        // The word is its syllables joined by hyphens: Pinyin reads it
        // where it reads each of them (see PinyinReads).
        if (run.allSyllables) run.pinyinReading = pinyin ? 2 : 1;
        // Hyphenated words, and capitalized ones the syllables do not
        // make (a place written without hyphens), may be word-table keys.
        if ((run.syllableCount > 1 && run.allSyllables) || (run.syllableCount == 1 && !run.allSyllables && capital))
            run.wordValue = lex.WordKey(word);
        run.candidate = run.allSyllables || !run.wordValue.empty();
    }
    // English matters where a word could convert, and for capitalized
    // words beside a name; plain lower-case English is never looked up.
    if (run.candidate || capital || run.pinyinMarks) run.english = lex.English(word);
    // A Chinese place English writes solid is the one whose key with its
    // marks reads as those very letters: "Nanchang" is Nan-ch'ang (南昌),
    // not the word table's Nan-chang (南漳); "Tangshan" is T'ang-shan.
    if (run.english == EnglishClass::Chinese && capital && !run.wordValue.empty() && run.syllableCount == 1 &&
        !run.allSyllables) {
        const Lexicon::Degraded* marked = lex.DegradedKey(word);
        if (marked && SameIgnoringCase(marked->value, word) && !SameIgnoringCase(run.wordValue, word)) {
            run.degradedKey = marked->key;
            run.degradedValue = marked->value;
            run.readDegraded = true;
        }
    }
    // A letter alone is a letter ("e", "i") unless the lists say more; but
    // no alphabet's letter is named "ê": alone it is Wade-Giles's syllable.
    if (run.normLength == 1 && run.english == EnglishClass::None && word != "\xEA")
        run.english = EnglishClass::Function;
    // A place written without hyphens that no table knows: split into
    // syllables when it carries a spelling only Wade-Giles has and is
    // no English word ("Hsinchuang", "Sanhsia"; not "Sato"). Nor is one of
    // the rarest names the English lists carry, where it holds a spelling
    // no other language writes: the lists have Chinese places written so
    // ("Pahsien", "Fushih", "Tzupo"), not "Julien" nor "Walachia".
    if (run.shaped && !run.glued && !run.candidate && capital && run.syllableCount == 1 && !run.tones &&
        (run.english == EnglishClass::None || (run.english == EnglishClass::Name95 && WritesHsTzOrIh(word))) &&
        SplitSolid(scope, run)) {
        bool marked = false;
        for (std::uint32_t k = 0; k < run.syllableCount; ++k)
            marked = marked || w.syllables[run.firstSyllable + k].marked;
        if (marked) {
            run.solid = run.candidate = run.allSyllables = true;
        } else {
            // Put the one syllable back.
            w.syllables.resize(run.firstSyllable);
            run.syllableCount = 0;
            AddSyllable(scope, run, run.norm, run.norm + run.normLength, 0, 0, 0);
        }
    }
    // A hyphenated word of English parts ("so-so", "yo-yo") is English;
    // the pronoun is no part of one in lower case ("ya-i" is Wade-Giles).
    // So is one English word said again in lower case, though the word
    // table holds it too ("ha-ha", "chin-chin"): names are capitalized.
    // Weighed as syllables, not as the key, which reads the same; where
    // the word is a common one but no function word ("ha-ha", "ho-ho"),
    // not weighed at all: an English sound said again, whatever the names
    // around it. A function word said again is as often Chinese ("p'ing-
    // p'ing an-an"), and so is a syllable spelled as only Wade-Giles
    // spells ("hung-hung"): those are weighed ("so-so" stays).
    const bool sameAgain = run.candidate && run.english == EnglishClass::None && run.caseStyle == CaseStyle::Lower &&
                           OneSyllableAgain(scope, run);
    if (run.candidate && run.english == EnglishClass::None && run.syllableCount > 1 && !run.solid &&
        (run.wordValue.empty() || sameAgain)) {
        EnglishClass rarest = EnglishClass::Function;
        for (std::uint32_t k = 0; k < run.syllableCount && rarest != EnglishClass::None; ++k) {
            const std::string_view spelling = scope.Spelling(w.syllables[run.firstSyllable + k]);
            const EnglishClass part = spelling == "i" ? EnglishClass::None : lex.English(spelling);
            rarest = IsEnglishWord(part) ? std::max(rarest, part) : EnglishClass::None;
        }
        run.english = rarest;
        if (sameAgain && rarest != EnglishClass::None) {
            run.wordValue = {};
            run.candidate = (rarest != EnglishClass::Size10 && rarest != EnglishClass::Size20) ||
                            w.syllables[run.firstSyllable].marked;
        }
    }
    // Two capital letters joined by a hyphen are a range of letters, as an
    // index heads its parts ("A-I", "J-R"), no syllables.
    const std::string_view bytes = scope.text.substr(run.begin, run.end - run.begin);
    if (run.candidate && bytes.size() == 3 && bytes[1] == '-' && IsAsciiUpper(static_cast<unsigned char>(bytes[0])) &&
        IsAsciiUpper(static_cast<unsigned char>(bytes[2])))
        run.candidate = false;
    // The pronoun said again, a capital letter each time, is English
    // stammering ("I-I don't know"), no syllable.
    if (run.candidate && run.caseStyle == CaseStyle::AllCaps && scope.Spelling(w.syllables[run.firstSyllable]) == "i" &&
        OneSyllableAgain(scope, run)) {
        run.candidate = false;
        run.english = EnglishClass::Function;
    }
    for (std::uint32_t k = 0; k < run.syllableCount && run.candidate && !run.marked; ++k)
        run.marked = w.syllables[run.firstSyllable + k].marked;
    run.evidence = run.marked && !IsCommonEnglish(run.english);
    run.title = IsTitle(word);
    // A title of words joined by a hyphen, a title last ("Governor-General",
    // "Vice-Premier"), is English: no given name of another romanization,
    // nor a Western given name before a surname. Other compounds may be
    // names ("Young-Ho Cha").
    if (capital && !run.candidate && run.english == EnglishClass::None) {
        const std::size_t hyphen = word.rfind('-');
        if (hyphen != std::string_view::npos && hyphen > 0 && IsTitle(word.substr(hyphen + 1))) {
            run.title = true;
            run.english = EnglishClass::Size95;
        }
    }
    run.determiner = IsDeterminer(word);
    // How the word writes Wade-Giles: an apostrophe counts after an initial
    // Wade-Giles aspirates ("Ch'ing-dynasty" too), not in English ("don't").
    // A syllable is a few bytes: read in one loop, not searched twice.
    for (std::uint32_t k = 0; k < run.syllableCount; ++k) {
        const std::string_view s = scope.Spelling(w.syllables[run.firstSyllable + k]);
        std::size_t at = 3;
        for (std::size_t b = 0; b < s.size(); ++b) {
            if (s[b] == '\'' && at == 3 && b < 3) at = b;
            run.umlaut = run.umlaut || s[b] == '\xFC';
        }
        if (at > 0 && at <= 2 &&
            (s.substr(0, at) == "ch" || s.substr(0, at) == "ts" || s.substr(0, at) == "tz" ||
             (at == 1 && (s[0] == 'k' || s[0] == 'p' || s[0] == 't'))))
            run.aspirated = true;
    }
    // Keys across words begin at a capitalized word of a name group.
    if (capital && run.shaped) run.keyStarts = static_cast<unsigned char>(lex.KeyStarts(word));
    run.spelledByPlace = run.candidate && SpellingDependsOnPlace(scope, run);
}

// The word of entry `entry` as written.
std::string_view WordOf(const WordCache& cache, std::size_t entry) {
    return std::string_view(cache.bytes).substr(cache.keys[entry].at, cache.keys[entry].length);
}

// Puts entry `entry`, whose word has head `head` and hash `hash`, in its slot.
void Place(WordCache& cache, WordHead head, std::uint64_t hash, std::size_t entry, bool plain, bool met) {
    const std::size_t mask = cache.slots.size() - 1;
    std::size_t i = hash & mask;
    while (cache.slots[i].entry) i = (i + 1) & mask;
    cache.slots[i] = {head, static_cast<std::uint32_t>(entry + 1), cache.keys[entry].length, plain, met};
}

// The same, its head and hash worked out from its bytes.
void Place(WordCache& cache, std::size_t entry, bool plain, bool met) {
    const std::string_view word = WordOf(cache, entry);
    const WordHead head = HeadOf(word);
    Place(cache, head, HashOf(word, head), entry, plain, met);
}

// Every entry placed again in `size` slots (a power of two), each as it
// was (plain, met).
void PlaceAll(WordCache& cache, std::size_t size) {
    std::vector<WordCache::Slot> old(size);
    old.swap(cache.slots);
    for (const WordCache::Slot& slot : old)
        if (slot.entry) Place(cache, slot.entry - 1, slot.plain, slot.met);
}

// The full cache made to keep, of its words, those met again since it last
// filled (up to half of it), each with its bytes and syllables moved down.
void KeepCommonWords(WordCache& cache) {
    // Whether each entry was met again, and whether it is plain, from its slot.
    std::vector<unsigned char> met(cache.entries.size()), plain(cache.entries.size());
    for (const WordCache::Slot& slot : cache.slots) {
        if (!slot.entry) continue;
        met[slot.entry - 1] = slot.met;
        plain[slot.entry - 1] = slot.plain;
    }
    std::string bytes;
    std::vector<Syllable> syllables;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < cache.entries.size() && kept < WordCache::kMost / 2; ++i) {
        if (!met[i]) continue;
        const WordCache::Entry e = cache.entries[i];  // copies: they may move onto themselves
        const WordCache::Key key = cache.keys[i];
        plain[kept] = plain[i];
        WordCache::Key& movedKey = cache.keys[kept];
        WordCache::Entry& k = cache.entries[kept++];
        k = e;
        movedKey.at = static_cast<std::uint32_t>(bytes.size());
        movedKey.length = key.length;
        bytes.append(cache.bytes, key.at, key.length);
        k.norm = static_cast<std::uint32_t>(bytes.size());
        bytes.append(cache.bytes, e.norm, e.run.normLength);
        if (e.spelled != UINT32_MAX) {
            k.spelled = static_cast<std::uint32_t>(bytes.size());
            bytes.append(cache.bytes, e.spelled, e.spelledLength);
        }
        k.firstSyllable = static_cast<std::uint32_t>(syllables.size());
        syllables.insert(syllables.end(), cache.syllables.begin() + e.firstSyllable,
                         cache.syllables.begin() + e.firstSyllable + e.run.syllableCount);
    }
    cache.entries.resize(kept);
    cache.keys.resize(kept);
    cache.bytes.swap(bytes);
    cache.syllables.swap(syllables);
    std::size_t size = WordCache::kFirstSlots;
    while (size < 2 * kept) size *= 2;
    cache.slots.assign(size, {});
    for (std::size_t k = 0; k < kept; ++k) Place(cache, k, plain[k], false);
}

// A capital letter alone: an initial where a full stop follows it.
bool MayBeInitial(const Run& run) { return run.normLength == 1 && run.caseStyle == CaseStyle::Capitalized; }

// The reading of a word met before in this stream, or false; before a full
// stop, not that of a letter that may be an initial there.
bool Recall(Scope& scope, Run& run, std::string_view bytes, WordHead head, std::uint64_t hash, bool beforeStop) {
    WordCache& cache = scope.w.words;
    WordCache::Slot* slot = cache.Find(bytes, head, hash);
    if (!slot) return false;
    const std::uint32_t index = slot->entry - 1;
    WordCache::Entry* e = &cache.entries[index];
    if (beforeStop && MayBeInitial(e->run)) return false;
    slot->met = true;
    ScopeWork& w = scope.w;
    const Run& known = e->run;
    // What its letters say comes from the cache whole, where it stands from
    // the run as found: a field added to Run for a word's reading needs no
    // line here. The cached run's other fields are still as found, since it
    // was kept before its place was weighed.
    const Run placed = run;
    run = known;
    run.begin = placed.begin;
    run.end = placed.end;
    run.baseEnd = placed.begin + known.baseEnd;
    run.line = placed.line;
    run.lineStart = placed.lineStart;
    run.itemStart = placed.itemStart;
    run.wrap = placed.wrap;
    run.sentence = placed.sentence;
    run.sentenceStart = placed.sentenceStart;
    run.reading = index;
    run.norm = static_cast<std::uint32_t>(w.norm.size());
    w.norm.append(cache.bytes, e->norm, known.normLength);
    run.firstSyllable = static_cast<std::uint32_t>(w.syllables.size());
    for (std::uint32_t k = 0; k < known.syllableCount; ++k) {
        Syllable s = cache.syllables[e->firstSyllable + k];
        s.norm += run.norm;
        w.syllables.push_back(s);
    }
    return true;
}

// Keeps a word's reading; what the decision will ask of a word that could
// convert is asked now, once.
void Remember(Scope& scope, Run& run, std::string_view bytes, WordHead head, std::uint64_t hash) {
    WordCache& cache = scope.w.words;
    // Full: the rest of the scope goes without; the next scope starts it
    // again (entries stay where they are while a scope uses them).
    if (cache.entries.size() >= WordCache::kMost) return;
    const bool capital = Capital(run);
    const bool pinyinOnlyAsked = run.pinyinShaped &&
                                 (run.english == EnglishClass::None || run.english == EnglishClass::Chinese) &&
                                 (run.pinyinMarks || capital) && run.normLength >= 2;
    if (run.candidate) WadeGilesOnly(scope, run);
    if (run.candidate || pinyinOnlyAsked) PinyinReads(scope, run);
    WordCache::Entry& e = cache.entries.emplace_back();
    WordCache::Key& key = cache.keys.emplace_back();
    key.at = static_cast<std::uint32_t>(cache.bytes.size());
    key.length = static_cast<std::uint32_t>(bytes.size());
    cache.bytes.append(bytes);
    e.norm = static_cast<std::uint32_t>(cache.bytes.size());
    cache.bytes.append(scope.Lower(run));
    e.firstSyllable = static_cast<std::uint32_t>(cache.syllables.size());
    for (std::uint32_t k = 0; k < run.syllableCount; ++k) {
        Syllable s = scope.w.syllables[run.firstSyllable + k];
        s.norm -= run.norm;
        cache.syllables.push_back(s);
    }
    e.run = run;
    e.run.baseEnd = run.baseEnd - run.begin;
    run.reading = static_cast<std::uint32_t>(cache.entries.size() - 1);
    if (2 * cache.entries.size() > cache.slots.size()) PlaceAll(cache, 2 * cache.slots.size());
    Place(cache, head, hash, cache.entries.size() - 1, !run.candidate && !run.keyStarts, false);
}

}  // namespace

std::size_t SolidSyllables(const Lexicon& lex, std::string_view word, std::uint8_t (&lengths)[kMostSolidSyllables]) {
    if (word.size() < 2 || word.size() > 40) return 0;
    // best[i]: the fewest syllables, then the fewest vowel starts, for word[i..].
    struct Best {
        std::uint8_t count = 255, vowels = 255, next = 0;
    };
    Best best[41];
    best[word.size()] = {0, 0, 0};
    auto vowel = [](char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == '\xEA'; };
    for (std::size_t i = word.size(); i-- > 0;) {
        for (unsigned options = lex.WadeGilesPrefixes(word.substr(i)); options; options &= options - 1) {
            const auto length = static_cast<std::size_t>(__builtin_ctz(options));
            // No break between two of the same vowel: "Jungwoo" is no
            // jung-wo-o (a text would write a hyphen there).
            if (i + length < word.size() && vowel(word[i + length]) && word[i + length] == word[i + length - 1])
                continue;
            const Best& rest = best[i + length];
            if (rest.count == 255 || std::size_t{rest.count} + 1 > kMostSolidSyllables) continue;
            const auto count = static_cast<std::uint8_t>(rest.count + 1);
            const auto vowels = static_cast<std::uint8_t>(rest.vowels + (i > 0 && vowel(word[i])));
            Best& here = best[i];
            if (count < here.count || (count == here.count && vowels < here.vowels) ||
                (count == here.count && vowels == here.vowels && length > std::size_t{here.next})) {
                here = {count, vowels, static_cast<std::uint8_t>(length)};
            }
        }
    }
    if (best[0].count == 255) return 0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < word.size(); i += best[i].next) lengths[count++] = best[i].next;
    return count;
}

namespace {

// The titles the decision's weights were fitted with, which weigh as a
// sign of the name after them ("Emperor", "Mount"). Qualifiers of
// dynasties and states count too: "Western Chou", "Southern Sung".
constexpr std::string_view kWeighedTitles[] = {
    "abbot",    "admiral",      "aunt",    "baron",   "bishop",    "brother",    "captain",  "chairman", "city",
    "colonel",  "commissioner", "comrade", "consort", "count",     "county",     "dr",       "duke",     "dynasty",
    "early",    "eastern",      "emperor", "empress", "father",    "first",      "former",   "general",  "governor",
    "great",    "inner",        "judge",   "king",    "lady",      "lake",       "late",     "later",    "lieutenant",
    "little",   "lord",         "lower",   "madam",   "madame",    "magistrate", "marquis",  "marshal",  "master",
    "minister", "miss",         "monk",    "mount",   "mr",        "mrs",        "ms",       "new",      "northern",
    "old",      "outer",        "prefect", "premier", "president", "prince",     "princess", "prof",     "professor",
    "province", "queen",        "river",   "saint",   "second",    "secretary",  "sir",      "sister",   "southern",
    "st",       "the",          "third",   "uncle",   "upper",     "viceroy",    "western",  "young",
};
constexpr SortedWords kWeighed(kWeighedTitles);

// Titles histories set before Chinese names too, and English before any:
// no Western given name, but no sign of a Chinese name either ("Mayor
// Ken Chin").
constexpr std::string_view kOtherTitles[] = {
    "abbess",        "acting",     "ambassador", "censor",  "chancellor", "chief",    "commander", "concubine",
    "consul",        "councillor", "crown",      "deputy",  "dowager",    "emissary", "envoy",     "eunuch",
    "generalissimo", "grand",      "imperial",   "mayor",   "nun",        "painter",  "pilgrim",   "poet",
    "priest",        "regent",     "sage",       "scholar", "tutor",      "vice",     "warlord",
};
// Both, merged into one sorted list: asked of every capitalized word.
constexpr auto kAllTitles = [] {
    std::array<std::string_view, std::size(kWeighedTitles) + std::size(kOtherTitles)> all{};
    std::merge(std::begin(kWeighedTitles), std::end(kWeighedTitles), std::begin(kOtherTitles), std::end(kOtherTitles),
               all.begin());
    return all;
}();
static_assert(std::is_sorted(kAllTitles.begin(), kAllTitles.end()) &&
                  std::adjacent_find(kAllTitles.begin(), kAllTitles.end()) == kAllTitles.end(),
              "each list of titles sorted, and no title in both");
constexpr SortedWords kTitles(kAllTitles);

}  // namespace

bool IsWeighedTitle(std::string_view lower) { return kWeighed.Has(lower); }

bool IsTitle(std::string_view lower) {
    if (lower.size() < 2) return false;
    // Callings that English forms with these endings, which no given name
    // has: "Novelist Pa Chin", "Historian Ch'ien Mu", "Taoist", "Physician".
    const char end = lower.back();
    if (lower.size() >= 6 && (end == 't' || end == 'n' || end == 'r') &&
        (lower.ends_with("ist") || lower.ends_with("ician") || lower.ends_with("grapher") ||
         lower.ends_with("storian")))
        return true;
    return kTitles.Has(lower);
}

bool IsDynasty(std::string_view lower) {
    // The dynasties that ruled China whole, or its north, but for Chin:
    // the states, the short dynasties and Chin bear names that English
    // texts write as surnames too ("the Chin family").
    static constexpr std::string_view kDynasties[] = {
        "ch'in", "ch'ing", "chou", "han", "hsia", "liao", "ming", "shang", "sui", "sung", "t'ang", "y\xFC" "an",
    };
    static constexpr SortedWords dynasties(kDynasties);
    return dynasties.Has(lower);
}

bool IsHonorific(std::string_view lower) {
    static constexpr std::string_view kHonorifics[] = {
        "dr", "lady", "lord", "madam", "madame", "miss", "mr", "mrs", "ms", "prof", "professor", "sir",
    };
    static constexpr SortedWords honorifics(kHonorifics);
    return honorifics.Has(lower);
}

bool IsDeterminer(std::string_view lower) {
    if (lower.empty() || lower.size() > 5) return false;
    static constexpr std::string_view kDeterminers[] = {
        "a",   "an",   "each", "every", "her",   "his",  "its",   "my",
        "our", "that", "the",  "their", "these", "this", "those", "your",
    };
    static constexpr SortedWords determiners(kDeterminers);
    return determiners.Has(lower);
}

void WordCache::Clear(const Lexicon* reader, unsigned spelled) {
    lexicon = reader;
    spelling = spelled;
    bytes.clear();
    syllables.clear();
    entries.clear();
    keys.clear();
    slots.assign(kFirstSlots, {});
}

namespace {

// Counts a word with tone numbers toward the sentence's (or paragraph's)
// support for them: the same word again is no support, since a code is
// repeated as often as a syllable is ("sun4 ... sun4", "sha3 ... sha3").
void NoteToned(const Scope& scope, Sentence& sentence, const Run& run) {
    const auto index = static_cast<std::uint32_t>(&run - scope.w.runs.data());
    if (sentence.firstToned == kNone) {
        sentence.firstToned = index;
        return;
    }
    const Run& first = scope.w.runs[sentence.firstToned];
    if (!SameIgnoringCase(scope.text.substr(first.begin, first.end - first.begin),
                          scope.text.substr(run.begin, run.end - run.begin)))
        sentence.tonedVaried = true;
}

// Whether a word of one letter stands within two words of `run` in its
// sentence (the words after it are not read yet: their bytes tell).
bool LetterNear(const Scope& scope, const Run& run) {
    const auto index = static_cast<std::size_t>(&run - scope.w.runs.data());
    const std::size_t from = index >= 2 ? index - 2 : 0, to = std::min(index + 3, scope.w.runs.size());
    for (std::size_t k = from; k < to; ++k) {
        const Run& other = scope.w.runs[k];
        if (k == index || other.sentence != run.sentence || other.end == other.begin) continue;
        std::size_t length = 0;
        DecodeAt(scope.text, other.begin, length);
        if (other.begin + length == other.end) return true;
    }
    return false;
}

// Whether `lower`, written solid, splits into Wade-Giles syllables that
// spell it unchanged in Pinyin ("yalu", "shanghai"): a spelling both
// systems share, no sign of either.
bool ReadsAlikeInWadeGiles(const Lexicon& lex, std::string_view lower) {
    std::uint8_t lengths[kMostSolidSyllables];
    const std::size_t count = SolidSyllables(lex, lower, lengths);
    if (count == 0) return false;
    std::size_t at = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::string_view piece = lower.substr(at, lengths[k]);
        if (lex.Syllable(piece) != piece) return false;
        at += lengths[k];
    }
    return true;
}

// The options a word's spelling depends on, as one number (never 0).
unsigned SpellingOptions(const TextOptions& options) {
    return static_cast<unsigned>(options.hyphens) | static_cast<unsigned>(options.tones) << 2 |
           static_cast<unsigned>(options.encoding) << 4 | 1u << 6;
}

// Whether a sentence holds letters and a digit that no syllable reads
// ("j1", "bj2"): a code's name, as those beside it are ("i1, i2, j1, j2").
bool HoldsCode(const Scope& scope, Sentence& sentence) {
    if (sentence.code < 0) {
        sentence.code = 0;
        for (std::uint32_t i = sentence.firstRun; i < sentence.endRun && !sentence.code; ++i) {
            const Run& run = scope.w.runs[i];
            sentence.code = run.tones && run.shaped && !run.glued && !run.allSyllables && run.wordValue.empty();
        }
    }
    return sentence.code > 0;
}

// Whether every syllable of a word is one letter: "i2", "i2-i1".
bool OfLettersAlone(const Scope& scope, const Run& run) {
    for (std::uint32_t k = 0; k < run.syllableCount; ++k)
        if (scope.Spelling(scope.w.syllables[run.firstSyllable + k]).size() != 1) return false;
    return true;
}

}  // namespace

const Run* KnownReading(Scope& scope, const Run& run) {
    WordCache* cache = KnownWords(scope);
    return cache ? cache->Recall(scope.text.substr(run.begin, run.end - run.begin)) : nullptr;
}

WordCache* KnownWords(Scope& scope) {
    WordCache& cache = scope.w.words;
    return cache.lexicon == &scope.lex && cache.spelling == SpellingOptions(scope.options) ? &cache : nullptr;
}

namespace {

// Whether reading run `run` as Wade-Giles changes a letter of it: "ken"
// (gen), "chang" (zhang), not "ma" nor "hao".
bool ChangesLetters(const Scope& scope, const Run& run) {
    for (std::uint32_t k = 0; k < run.syllableCount; ++k) {
        const Syllable& s = scope.w.syllables[run.firstSyllable + k];
        if (s.pinyin != scope.Spelling(s)) return true;
    }
    return false;
}

// Whether toned run `index` is a word of a name of toned capitalized words
// ("Chan2 Ying1"), beside another such word with a blank between.
bool InTonedName(const Scope& scope, std::size_t index) {
    const std::vector<Run>& runs = scope.w.runs;
    const auto toned = [&](std::size_t k) {
        return runs[k].tones && runs[k].candidate && runs[k].caseStyle == CaseStyle::Capitalized &&
               runs[k].sentence == runs[index].sentence;
    };
    const auto blank = [&](std::size_t k) { return !scope.Spaced(k).empty() && Blank(scope.Spaced(k)); };
    if (runs[index].caseStyle != CaseStyle::Capitalized) return false;
    return (index > 0 && toned(index - 1) && blank(index)) ||
           (index + 1 < runs.size() && toned(index + 1) && blank(index + 1));
}

// Whether the word at byte `at` is inside square brackets written right
// after Chinese characters, as dictionaries give a word's reading
// ("啃書|啃书[ken3 shu1]"): Pinyin with tone numbers.
bool InReadingBrackets(std::string_view text, std::size_t at) {
    std::size_t i = at;
    for (std::size_t steps = 0; i > 0 && steps < 128; --i, ++steps) {
        const char c = text[i - 1];
        if (c == '[') break;
        if (!IsAsciiLetter(static_cast<unsigned char>(c)) && !IsAsciiDigit(static_cast<unsigned char>(c)) && c != ' ' &&
            c != '\'' && c != '-' && c != ':' && c != ',' && c != '\xB7' && c != '\xC2')
            return false;
    }
    if (i < 2 || text[i - 1] != '[') return false;
    std::size_t start = i - 2;  // the character before the bracket
    while (start > 0 && i - 1 - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
    std::size_t length = 0;
    const char32_t c = DecodeAt(text, start, length);
    return start + length == i - 1 && IsHan(c);
}

// Tone numbers are Pinyin's notation as often as Wade-Giles's: dictionaries
// write "ken3 shu1" and "yi1 chang4 san1 tan4". Where a sentence's toned
// words would change a letter read as Wade-Giles and nothing there is
// Wade-Giles's (a word spelled as only it spells, in the sentence or,
// outside lines mode, in its paragraph; a toned word joined by a hyphen,
// "Tse2-tung1"; toned capitalized words of one name, "Chan2 Ying1"), they
// are Pinyin's and stay as written; so are those of a sentence whose toned
// words are all readings in a dictionary's brackets. Asked after the toned
// words that count are known.
void NotePinyinTones(Scope& scope) {
    ScopeWork& w = scope.w;
    for (std::size_t i = 0; i < w.toned.size();) {
        const Run& first = w.runs[w.toned[i]];
        bool changes = false, sign = false, dictionary = true, any = false;
        std::size_t j = i;
        for (; j < w.toned.size() && w.runs[w.toned[j]].sentence == first.sentence; ++j) {
            const Run& run = w.runs[w.toned[j]];
            if (!run.candidate) continue;
            any = true;
            dictionary = dictionary && scope.han && InReadingBrackets(scope.text, run.begin);
            for (std::uint32_t k = 1; k < run.syllableCount && !sign; ++k)
                sign = w.syllables[run.firstSyllable + k].separator != 0;
            sign = sign || run.marked || InTonedName(scope, w.toned[j]);
            changes = changes || ChangesLetters(scope, run);
        }
        Sentence& sentence = w.sentences[first.sentence];
        const bool unmarked = sentence.marked == 0 && (scope.options.lines || ParagraphOf(scope, first).marked == 0);
        sentence.pinyinTones = any && (dictionary || (changes && !sign && unmarked));
        // and a sentence that writes them is in Pinyin, its other words too
        // ("Mount Tai 泰山[Tai4 Shan1]")
        if (sentence.pinyinTones) ++sentence.pinyin;
        i = j;
    }
}

}  // namespace

void ReadRuns(Scope& scope) {
    ScopeWork& w = scope.w;
    WordCache& cache = w.words;
    const unsigned spelling = SpellingOptions(scope.options);
    if (cache.lexicon != &scope.lex || cache.spelling != spelling) {
        cache.Clear(&scope.lex, spelling);
    } else if (cache.entries.size() >= WordCache::kMost) {
        KeepCommonWords(cache);
    }
    w.norm.clear();
    w.norm.reserve(scope.text.size());
    w.syllables.clear();
    w.syllables.reserve(w.runs.size() * 2);
    w.toned.clear();
    for (Run& run : w.runs) {
        Sentence& sentence = w.sentences[run.sentence];
        ++sentence.words;
        if (!run.shaped) {
            // No word (a run cut for length): nothing of it is normalized.
            run.norm = static_cast<std::uint32_t>(w.norm.size());
            run.normLength = 0;
            continue;
        }
        run.glued = IsGlued(scope, run);
        // A capital alone before a full stop is an initial ("I."), which
        // depends on that stop: read where it stands, as a glued word is.
        // Any other word before a stop reads as it does elsewhere.
        const std::string_view bytes = scope.text.substr(run.begin, run.end - run.begin);
        const bool beforeStop = run.end < scope.text.size() && scope.text[run.end] == '.';
        const bool cacheable = !run.glued && bytes.size() <= WordCache::kLongest;
        const WordHead head = cacheable ? HeadOf(bytes) : WordHead{};
        const std::uint64_t hash = cacheable ? HashOf(bytes, head) : 0;
        if (!cacheable || !Recall(scope, run, bytes, head, hash, beforeStop)) {
            ReadWord(scope, static_cast<std::size_t>(&run - w.runs.data()));
            if (cacheable && !(beforeStop && MayBeInitial(run))) Remember(scope, run, bytes, head, hash);
        }
        // "ê" among other letters alone is a letter too: "the letters ê,
        // è and é", "a o ê i".
        if (run.normLength == 1 && run.english == EnglishClass::None && LetterNear(scope, run))
            run.english = EnglishClass::Function;
        const bool capital = Capital(run);
        // Evidence: a spelling only Pinyin has.
        if (!run.candidate && run.pinyinShaped && !run.glued &&
            (run.english == EnglishClass::None || run.english == EnglishClass::Chinese) &&
            (run.pinyinMarks || (capital && (!run.sentenceStart || run.english == EnglishClass::Chinese))) &&
            run.normLength >= 2 && PinyinReads(scope, run) && !ReadsAlikeInWadeGiles(scope.lex, scope.Lower(run))) {
            run.pinyinOnly = true;
        }
        Sentence& paragraph = ParagraphOf(scope, run);
        if (run.pinyinOnly) ++sentence.pinyin, ++paragraph.pinyin;
        if (run.candidate && run.tones) {
            w.toned.push_back(static_cast<std::uint32_t>(&run - w.runs.data()));
            if (run.caseStyle != CaseStyle::AllCaps) {
                NoteToned(scope, sentence, run);
                // A letter with a digit tells its own sentence only: in a
                // paragraph of code it is as often a byte's hex ("b3 49 a1
                // ff"), no tone beside 'sha1' a line away.
                if (!OfLettersAlone(scope, run)) {
                    NoteToned(scope, paragraph, run);
                    ++sentence.tonedLonger, ++paragraph.tonedLonger;
                }
            }
        }
        if (run.evidence) ++sentence.marked, ++paragraph.marked;
        if (run.candidate && run.normLength <= 2) {
            const std::string_view lower = scope.Lower(run);
            scope.syllableI = scope.syllableI || (lower == "i" && run.caseStyle == CaseStyle::Lower);
            scope.ordinal = scope.ordinal || lower == "ti";
        }
        // Words that could not be romanized Chinese: the sentence's English.
        sentence.candidates += run.candidate;
        if (run.vietnamese) [[unlikely]]
            sentence.vietnamese = true;
        if (!run.candidate && run.normLength > 0 && !run.pinyinOnly) ++sentence.english;
        // The scope's own way of writing Wade-Giles: aspiration apostrophes
        // and ü, or neither (a text that dropped them). A text that writes
        // ê or ŭ keeps every mark: it drops no apostrophe ("Jên-tsung").
        scope.apostrophes = scope.apostrophes || run.aspirated || run.giles;
        scope.umlauts = scope.umlauts || run.umlaut || run.giles;
    }
    // Where lines stand apart a line is one item, though its full stops
    // part it into sentences ("Mi, Pin-ta. T'ai i chin hua tsung chih."):
    // they share whether it writes the marks.
    if (LinesApart(scope)) {
        std::size_t begin = 0;
        bool apostrophes = false, umlauts = false;
        for (std::size_t k = 0; k < w.runs.size(); ++k) {
            apostrophes = apostrophes || w.runs[k].aspirated || w.runs[k].giles;
            umlauts = umlauts || w.runs[k].umlaut || w.runs[k].giles;
            if (k + 1 < w.runs.size() && w.runs[k + 1].line == w.runs[begin].line) continue;
            for (std::uint32_t s = w.runs[begin].sentence; s <= w.runs[k].sentence; ++s) {
                w.sentences[s].apostrophes = apostrophes;
                w.sentences[s].umlauts = umlauts;
            }
            begin = k + 1;
            apostrophes = umlauts = false;
        }
    }
    // Tone numbers mark romanized text where they come in numbers: a
    // hyphenated word, or several toned words together ("Mao2 Tse2-tung1"),
    // which only the whole scope tells. A lone syllable with a digit is a
    // name or a code ("SHA1", "sha1"), and counts as English.
    const bool lines = scope.options.lines;
    for (const std::uint32_t index : w.toned) {
        Run& run = w.runs[index];
        Sentence& sentence = w.sentences[run.sentence];
        const Sentence& paragraph = ParagraphOf(scope, run);
        const bool varied = sentence.tonedVaried || (!lines && paragraph.tonedVaried);
        // Letters joined by hyphens ("i2-i1") are a difference of two codes.
        const bool letters = OfLettersAlone(scope, run);
        const bool supported = run.caseStyle != CaseStyle::AllCaps && ((run.syllableCount > 1 && !letters) || varied);
        // A letter with a digit ("A1", "o2") is a name or a code unless a
        // longer syllable with a tone stands beside it ("Ch'ü2 O5").
        const bool letter = letters && (sentence.tonedLonger == 0 && (lines || paragraph.tonedLonger == 0));
        // So is a common English word with a digit ("sun4", "sun3": a
        // machine's name) unless a toned word stands right beside it.
        const auto tonedBeside = [&](std::size_t k) {
            return k < w.runs.size() && w.runs[k].tones && w.runs[k].sentence == run.sentence &&
                   Blank(scope.Spaced(std::max(k, std::size_t{index})));
        };
        const bool commonWord = run.syllableCount == 1 && IsCommonestEnglish(run.english) &&
                                !(index > 0 && tonedBeside(index - 1)) && !tonedBeside(index + 1);
        if (supported && !letter && !commonWord && !HoldsCode(scope, sentence)) continue;
        run.candidate = false;
        --sentence.candidates;
        if (run.normLength > 0 && !run.pinyinOnly) ++sentence.english;
    }
    if (!w.toned.empty()) NotePinyinTones(scope);
}

}  // namespace kesti
