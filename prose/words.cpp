// Finding and reading the words of a scope.
#include "prose/words.h"

#include <algorithm>
#include <cstring>

#include <utf8proc.h>

#include "prose/chars.h"
#include "text/text_rules.h"

namespace kesti {

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

namespace {

bool InList(std::string_view word, std::initializer_list<std::string_view> list) {
    return std::find(list.begin(), list.end(), word) != list.end();
}

// A sorted list, searched by halves: asked of many words.
template <std::size_t N>
bool InSorted(std::string_view word, const std::string_view (&list)[N]) {
    return std::binary_search(std::begin(list), std::end(list), word);
}

// Words after which a full stop ends no sentence.
bool IsAbbreviation(std::string_view lower) {
    return InList(lower, {"mr",  "mrs", "ms",   "dr",   "st",   "gen",  "col",  "lt",   "capt", "prof", "rev",
                          "jr",  "sr",  "mt",   "ft",   "vs",   "etc",  "cf",   "al",   "ed",   "eds",  "vol",
                          "vols", "no", "nos",  "pp",   "p",    "ch",   "chap", "jan",  "feb",  "mar",  "apr",
                          "jun", "jul", "aug",  "sep",  "sept", "oct",  "nov",  "dec",  "ca",   "e.g",  "i.e",
                          "fig", "op",  "cit",  "ibid", "trans", "comp", "repr", "esp", "approx"});
}

// Pinyin vowels with a tone mark, as the base vowel (ü as 0xFC), or 0.
char PinyinToneVowel(char32_t c, bool& upper) {
    static constexpr struct {
        char32_t lower, upperCase;
        char base;
    } kMarked[] = {
        {0x101, 0x100, 'a'}, {0xE1, 0xC1, 'a'}, {0x1CE, 0x1CD, 'a'}, {0xE0, 0xC0, 'a'},
        {0x113, 0x112, 'e'}, {0xE9, 0xC9, 'e'}, {0x11B, 0x11A, 'e'}, {0xE8, 0xC8, 'e'},
        {0x12B, 0x12A, 'i'}, {0xED, 0xCD, 'i'}, {0x1D0, 0x1CF, 'i'}, {0xEC, 0xCC, 'i'},
        {0x14D, 0x14C, 'o'}, {0xF3, 0xD3, 'o'}, {0x1D2, 0x1D1, 'o'}, {0xF2, 0xD2, 'o'},
        {0x16B, 0x16A, 'u'}, {0xFA, 0xDA, 'u'}, {0x1D4, 0x1D3, 'u'}, {0xF9, 0xD9, 'u'},
        {0x1D6, 0x1D5, '\xFC'}, {0x1D8, 0x1D7, '\xFC'}, {0x1DA, 0x1D9, '\xFC'}, {0x1DC, 0x1DB, '\xFC'}};
    for (const auto& m : kMarked) {
        if (c == m.lower || c == m.upperCase) {
            upper = c == m.upperCase;
            return m.base;
        }
    }
    return 0;
}

bool IsAsciiUpper(char32_t c) { return c >= 'A' && c <= 'Z'; }
bool IsAsciiLower(char32_t c) { return c >= 'a' && c <= 'z'; }

// Part of an address, a path or an identifier: "www.chang.com", "a/b", "x_y".
bool Glued(const Scope& scope, const Run& run) {
    const std::string_view text = scope.text;
    if (run.begin > 0) {
        switch (text[run.begin - 1]) {
            case '/': case '@': case '_': case '\\': case '.': case ':': case '=': case '#': case '&':
            case '%': case '+': case '~':
                return true;
            default:
                break;
        }
    }
    if (run.end < text.size()) {
        const char after = text[run.end];
        if (after == '@' || after == '/' || after == '_' || after == '\\') return true;
        if (after == '.' && run.end + 1 < text.size()) {
            std::size_t length = 0;
            if (IsWordChar(DecodeAt(text, run.end + 1, length))) return true;
        }
    }
    return false;
}

void AddSyllable(Scope& scope, Run& run, std::size_t start, char32_t separator, int tone, char32_t toneChar) {
    Syllable s;
    s.norm = static_cast<std::uint32_t>(start);
    s.normLength = static_cast<std::uint32_t>(scope.w.norm.size() - start);
    s.separator = separator;
    s.tone = tone;
    s.toneChar = toneChar;
    scope.w.syllables.push_back(s);
    ++run.syllableCount;
}

// Reads one run into its syllables, normalized: lower case, every
// apostrophe written ', ü as 0xFC, ê as 0xEA, ŭ as u.
void ReadRun(Scope& scope, Run& run) {
    ScopeWork& w = scope.w;
    const std::string_view text = scope.text;
    // A possessive ending stays as written: "Tse-tung's".
    if (run.end - run.begin >= 3 && (text[run.end - 1] == 's' || text[run.end - 1] == 'S')) {
        const std::uint32_t last = run.end - 1;
        for (std::uint32_t at = last - 1; at > run.begin && last - at <= 3; --at) {
            if ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) continue;
            std::size_t length = 0;
            if (IsApostrophe(DecodeAt(text, at, length)) && at + length == last) run.baseEnd = at;
            break;
        }
    }
    const std::string_view base = text.substr(run.begin, run.baseEnd - run.begin);
    run.norm = static_cast<std::uint32_t>(w.norm.size());
    run.firstSyllable = static_cast<std::uint32_t>(w.syllables.size());
    run.syllableCount = 0;
    run.pinyinShaped = true;
    // Most words of a text are lower-case ASCII letters: read at once.
    const bool plain = std::all_of(base.begin(), base.end(), [](char ch) { return ch >= 'a' && ch <= 'z'; });
    if (plain) {
        w.norm.append(base);
        AddSyllable(scope, run, run.norm, 0, 0, 0);
        run.normLength = static_cast<std::uint32_t>(base.size());
        run.caseStyle = CaseStyle::Lower;
        return;
    }
    std::size_t syllableStart = w.norm.size();
    char32_t separator = 0, toneChar = 0;
    int tone = 0;
    bool letterSeen = false, mixed = false, previousLower = false;
    std::uint32_t letters = 0, uppers = 0;
    bool firstUpper = false;
    auto take = [&](char32_t c) {
        bool upper = false;
        char letter = 0;
        if (c < 0x80 && (IsAsciiUpper(c) || IsAsciiLower(c))) {
            upper = IsAsciiUpper(c);
            letter = static_cast<char>(upper ? c + 0x20 : c);
        } else if (c == 0xFC || c == 0xDC) {
            upper = c == 0xDC, letter = '\xFC';
        } else if (c == 0xEA || c == 0xCA) {
            upper = c == 0xCA, letter = '\xEA';
        } else if (c == 0x16D || c == 0x16C) {
            upper = c == 0x16C, letter = 'u';
            run.pinyinShaped = false;
        } else if (const char bare = c >= 0xC0 ? PinyinToneVowel(c, upper) : 0) {
            letter = bare;
            run.pinyinMarks = true;
            run.shaped = false;
        }
        if (letter) {
            if (tone) run.shaped = run.pinyinShaped = false;  // a tone ends its syllable
            if (letters == 0) firstUpper = upper;
            // A capital after a small letter in one syllable: "NaN", "iPod".
            mixed = mixed || (upper && previousLower);
            previousLower = !upper;
            ++letters;
            uppers += upper;
            letterSeen = true;
            w.norm += letter;
        } else if (IsApostrophe(c)) {
            if (tone) run.shaped = run.pinyinShaped = false;
            w.norm += '\'';
        } else if (IsHyphen(c) || c == 0x2013) {
            if (!letterSeen) run.shaped = run.pinyinShaped = false;
            AddSyllable(scope, run, syllableStart, separator, tone, toneChar);
            w.norm += '-';
            syllableStart = w.norm.size();
            separator = c;
            tone = 0;
            toneChar = 0;
            letterSeen = false;
            previousLower = false;
        } else if (const int t = ToneOf(c); t && letterSeen && !tone) {
            tone = t;
            toneChar = c;
            run.tones = true;
            run.pinyinShaped = false;
        } else {
            run.shaped = run.pinyinShaped = false;
            previousLower = false;
        }
    };
    // Only combining marks (U+0300-U+036F, lead bytes 0xCC and 0xCD) need
    // composing (u followed by U+0308 is ü); other text is read as it stands.
    bool ascii = true, combining = false;
    for (char ch : base) {
        ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
        combining = combining || ch == '\xCC' || ch == '\xCD';
    }
    if (ascii) {
        for (char ch : base) take(static_cast<unsigned char>(ch));
    } else if (!combining) {
        for (std::size_t k = 0, length = 0; k < base.size(); k += length) take(DecodeAt(base, k, length));
    } else {
        w.composed.resize(base.size() * 4 + 8);
        auto* composed = reinterpret_cast<utf8proc_int32_t*>(w.composed.data());
        const auto options = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE);
        utf8proc_ssize_t n = utf8proc_decompose(reinterpret_cast<const utf8proc_uint8_t*>(base.data()),
                                                static_cast<utf8proc_ssize_t>(base.size()), composed,
                                                static_cast<utf8proc_ssize_t>(w.composed.size()), options);
        if (n > 0) n = utf8proc_normalize_utf32(composed, n, options);
        for (utf8proc_ssize_t k = 0; k < n; ++k) take(static_cast<char32_t>(composed[k]));
    }
    if (!letterSeen) run.shaped = run.pinyinShaped = false;
    AddSyllable(scope, run, syllableStart, separator, tone, toneChar);
    run.normLength = static_cast<std::uint32_t>(w.norm.size() - run.norm);
    run.caseStyle = mixed                                 ? CaseStyle::Mixed
                    : !firstUpper                         ? CaseStyle::Lower
                    : (letters >= 2 && uppers == letters) ? CaseStyle::AllCaps
                                                          : CaseStyle::Capitalized;
    run.isPronounI = letters == 1 && uppers == 1 && run.syllableCount == 1 && scope.Lower(run) == "i";
}

// Splits a capitalized word written without hyphens into Wade-Giles
// syllables, as English texts write places (Hsinchuang, Sanhsia): the split
// with the fewest syllables, and among those the one whose syllables after
// the first begin with no vowel (a text writes a vowel there after a
// hyphen), then the one that takes the longest syllables first. Replaces
// the run's one syllable by them and says whether it could.
bool SplitSolid(Scope& scope, Run& run) {
    const std::string_view lower = scope.Lower(run);
    constexpr std::size_t kMost = 8;
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
    const std::string word(lower);
    // best[i]: the fewest syllables, then the fewest vowel starts, for word[i..].
    struct Best {
        std::uint8_t count = 255, vowels = 255, next = 0;
    };
    Best best[41];
    best[word.size()] = {0, 0, 0};
    auto vowel = [](char c) { return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == '\xEA'; };
    for (std::size_t i = word.size(); i-- > 0;) {
        for (unsigned lengths = scope.lex.WadeGilesPrefixes(std::string_view(word).substr(i)); lengths;
             lengths &= lengths - 1) {
            const auto length = static_cast<std::size_t>(__builtin_ctz(lengths));
            const Best& rest = best[i + length];
            if (rest.count == 255 || std::size_t{rest.count} + 1 > kMost) continue;
            const auto count = static_cast<std::uint8_t>(rest.count + 1);
            const auto vowels = static_cast<std::uint8_t>(rest.vowels + (i > 0 && vowel(word[i])));
            Best& here = best[i];
            if (count < here.count || (count == here.count && vowels < here.vowels) ||
                (count == here.count && vowels == here.vowels && length > std::size_t{here.next})) {
                here = {count, vowels, static_cast<std::uint8_t>(length)};
            }
        }
    }
    if (best[0].count == 255 || best[0].count < 2) return false;
    ScopeWork& w = scope.w;
    w.syllables.resize(run.firstSyllable);
    run.syllableCount = 0;
    for (std::size_t i = 0; i < word.size(); i += best[i].next) {
        Syllable s;
        s.norm = static_cast<std::uint32_t>(run.norm + i);
        s.normLength = best[i].next;
        s.pinyin = scope.lex.Syllable(scope.Spelling(s), s.marked);
        w.syllables.push_back(s);
        ++run.syllableCount;
    }
    return true;
}

// Reads a run's letters: its syllables, case and tones, its English
// class, its table values, and whether it could be romanized Chinese. What
// depends on where it stands comes after, in ReadRuns; only an address's
// part (glued) and an initial ("I.") are read differently here.
void ReadWord(Scope& scope, Run& run) {
    ScopeWork& w = scope.w;
    const Lexicon& lex = scope.lex;
    ReadRun(scope, run);
    const std::string_view word = scope.Lower(run);
    const bool capital = run.caseStyle == CaseStyle::Capitalized || run.caseStyle == CaseStyle::AllCaps;
    if (run.caseStyle == CaseStyle::Mixed) run.shaped = run.pinyinShaped = false;
    // A capital letter and a full stop is an initial: "Sir I. Newton".
    if (run.normLength == 1 && run.caseStyle == CaseStyle::Capitalized && run.end < scope.text.size() &&
        scope.text[run.end] == '.')
        run.shaped = run.pinyinShaped = false;
    if (run.shaped && !run.glued) {
        run.allSyllables = true;
        for (std::uint32_t k = 0; k < run.syllableCount && run.allSyllables; ++k) {
            Syllable& s = w.syllables[run.firstSyllable + k];
            s.pinyin = lex.Syllable(scope.Spelling(s), s.marked);
            run.allSyllables = !s.pinyin.empty();
        }
        // Hyphenated words, and capitalized ones the syllables do not
        // make (a place written without hyphens), may be word-table keys.
        if ((run.syllableCount > 1 && run.allSyllables) || (run.syllableCount == 1 && !run.allSyllables && capital))
            run.wordValue = lex.WordKey(word);
        run.candidate = run.allSyllables || !run.wordValue.empty();
    }
    // English matters where a word could convert, and for capitalized
    // words beside a name; plain lower-case English is never looked up.
    if (run.candidate || capital || run.pinyinMarks) run.english = lex.English(word);
    // A letter alone is a letter ("e", "ê") unless the lists say more.
    if (run.normLength == 1 && run.english == EnglishClass::None) run.english = EnglishClass::Function;
    // A place written without hyphens that no table knows: split into
    // syllables when it carries a spelling only Wade-Giles has and is
    // no English word ("Hsinchuang", "Sanhsia"; not "Sato").
    if (run.shaped && !run.glued && !run.candidate && capital && run.syllableCount == 1 && !run.tones &&
        run.english == EnglishClass::None && SplitSolid(scope, run)) {
        bool marked = false;
        for (std::uint32_t k = 0; k < run.syllableCount; ++k)
            marked = marked || w.syllables[run.firstSyllable + k].marked;
        if (marked) {
            run.solid = run.candidate = run.allSyllables = true;
        } else {
            // Put the one syllable back.
            w.syllables.resize(run.firstSyllable);
            run.syllableCount = 0;
            AddSyllable(scope, run, run.norm, 0, 0, 0);
            w.syllables.back().normLength = run.normLength;
        }
    }
    // A hyphenated word of English parts ("so-so", "yo-yo") is English.
    if (run.candidate && run.english == EnglishClass::None && run.syllableCount > 1 && run.wordValue.empty() &&
        !run.solid) {
        EnglishClass rarest = EnglishClass::Function;
        for (std::uint32_t k = 0; k < run.syllableCount && rarest != EnglishClass::None; ++k) {
            const EnglishClass part = lex.English(scope.Spelling(w.syllables[run.firstSyllable + k]));
            rarest = IsEnglishWord(part) ? std::max(rarest, part) : EnglishClass::None;
        }
        run.english = rarest;
    }
    for (std::uint32_t k = 0; k < run.syllableCount && run.candidate && !run.marked; ++k)
        run.marked = w.syllables[run.firstSyllable + k].marked;
    run.evidence = run.marked && !IsCommonEnglish(run.english);
    run.title = IsTitle(word);
    run.determiner = IsDeterminer(word);
    // Keys across words begin at a capitalized word of a name group.
    if (capital && run.shaped) run.keyStarts = static_cast<unsigned char>(lex.KeyStarts(word));
}

std::uint64_t HashOf(std::string_view bytes) {
    // Eight bytes at a time, each step a multiply and a shift: words are short.
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t chunk;
        std::memcpy(&chunk, bytes.data() + i, 8);
        h = (h ^ chunk) * 0xFF51AFD7ED558CCDULL;
        h ^= h >> 32;
    }
    std::uint64_t rest = 0;
    std::memcpy(&rest, bytes.data() + i, bytes.size() - i);
    h = (h ^ rest) * 0xC4CEB9FE1A85EC53ULL;
    return h ^ (h >> 29);
}

// The reading of a word met before in this stream, or false.
bool Recall(Scope& scope, Run& run, std::string_view bytes, std::uint64_t hash) {
    const WordCache& cache = scope.w.words;
    const WordCache::Entry* e = cache.Find(bytes, hash);
    if (!e) return false;
    run.reading = static_cast<std::uint32_t>(e - cache.entries.data());
    ScopeWork& w = scope.w;
    const Run& known = e->run;
    run.norm = static_cast<std::uint32_t>(w.norm.size());
    run.normLength = known.normLength;
    w.norm.append(cache.bytes, e->norm, known.normLength);
    run.firstSyllable = static_cast<std::uint32_t>(w.syllables.size());
    run.syllableCount = known.syllableCount;
    for (std::uint32_t k = 0; k < known.syllableCount; ++k) {
        Syllable s = cache.syllables[e->firstSyllable + k];
        s.norm += run.norm;
        w.syllables.push_back(s);
    }
    run.baseEnd = run.begin + known.baseEnd;
    run.wordValue = known.wordValue;
    run.caseStyle = known.caseStyle;
    run.english = known.english;
    run.shaped = known.shaped;
    run.pinyinShaped = known.pinyinShaped;
    run.pinyinMarks = known.pinyinMarks;
    run.allSyllables = known.allSyllables;
    run.solid = known.solid;
    run.tones = known.tones;
    run.candidate = known.candidate;
    run.marked = known.marked;
    run.evidence = known.evidence;
    run.wadeGilesOnly = known.wadeGilesOnly;
    run.pinyinReading = known.pinyinReading;
    run.isPronounI = known.isPronounI;
    run.keyStarts = known.keyStarts;
    run.title = known.title;
    run.determiner = known.determiner;
    return true;
}

// Keeps a word's reading; what the decision will ask of a word that could
// convert is asked now, once.
void Remember(Scope& scope, Run& run, std::string_view bytes, std::uint64_t hash) {
    WordCache& cache = scope.w.words;
    // Full: the rest of the scope goes without; the next scope starts it
    // again (entries stay where they are while a scope uses them).
    if (cache.entries.size() >= WordCache::kMost) return;
    const bool capital = run.caseStyle == CaseStyle::Capitalized || run.caseStyle == CaseStyle::AllCaps;
    const bool pinyinOnlyAsked = run.pinyinShaped &&
                                 (run.english == EnglishClass::None || run.english == EnglishClass::Chinese) &&
                                 (run.pinyinMarks || capital) && run.normLength >= 2;
    if (run.candidate) WadeGilesOnly(scope, run);
    if (run.candidate || pinyinOnlyAsked) PinyinReads(scope, run);
    WordCache::Entry& e = cache.entries.emplace_back();
    e.key = static_cast<std::uint32_t>(cache.bytes.size());
    e.keyLength = static_cast<std::uint32_t>(bytes.size());
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
    const std::size_t mask = cache.slots.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        if (!cache.slots[i]) {
            cache.slots[i] = static_cast<std::uint32_t>(cache.entries.size());
            break;
        }
    }
}

}  // namespace

bool IsTitle(std::string_view lower) {
    if (lower.size() < 2 || lower.size() > 12) return false;
    // Qualifiers of dynasties and states count too: "Western Chou", "Southern Sung".
    static constexpr std::string_view kTitles[] = {
        "abbot", "admiral", "aunt", "baron", "bishop", "brother", "captain", "chairman", "city", "colonel",
        "commissioner", "comrade", "consort", "count", "county", "dr", "duke", "dynasty", "early", "eastern",
        "emperor", "empress", "father", "first", "former", "general", "governor", "great", "inner", "judge",
        "king", "lady", "lake", "late", "later", "lieutenant", "little", "lord", "lower", "madam", "madame",
        "magistrate", "marquis", "marshal", "master", "minister", "miss", "monk", "mount", "mr", "mrs", "ms",
        "new", "northern", "old", "outer", "prefect", "premier", "president", "prince", "princess", "prof",
        "professor", "province", "queen", "river", "saint", "second", "secretary", "sir", "sister", "southern",
        "st", "the", "third", "uncle", "upper", "viceroy", "western", "young",
    };
    return InSorted(lower, kTitles);
}

bool IsDeterminer(std::string_view lower) {
    if (lower.empty() || lower.size() > 5) return false;
    static constexpr std::string_view kDeterminers[] = {
        "a", "an", "each", "every", "her", "his", "its", "my", "our", "that", "the", "their", "these", "this",
        "those", "your",
    };
    return InSorted(lower, kDeterminers);
}

bool IsWestern(const Run& run) {
    return (run.caseStyle == CaseStyle::Capitalized || run.caseStyle == CaseStyle::AllCaps) && !run.candidate &&
           !run.pinyinOnly && !run.glued && run.english != EnglishClass::Function &&
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

void FindRuns(Scope& scope, bool startsInsideRun) {
    ScopeWork& w = scope.w;
    const std::string_view text = scope.text;
    const bool lines = scope.options.lines;
    w.runs.clear();
    w.sentences.assign(1, Sentence{});
    bool skipRun = startsInsideRun;
    bool sentenceOpen = false;  // a sentence has begun and not ended
    bool pendingStop = false;   // a sentence-ending mark waits for a space
    bool lineOpen = false;      // a word stands on the current line
    std::uint32_t breaks = 0;   // line breaks since the last run, blank lines end sentences
    std::uint32_t line = 0;
    auto endSentence = [&] {
        if (!sentenceOpen) return;
        const auto at = static_cast<std::uint32_t>(w.runs.size());
        w.sentences.back().endRun = at;
        w.sentences.push_back({at, at});
        sentenceOpen = false;
    };
    std::size_t i = 0;
    std::size_t length = 0;
    while (i < text.size()) {
        // Most of what stands between words is a plain space.
        if (text[i] == ' ' && !pendingStop && breaks < 2) {
            ++i;
            continue;
        }
        char32_t c = DecodeAt(text, i, length);
        if (!IsWordChar(c)) {
            if (c == '.' || c == '!' || c == '?' || c == 0x2026) {
                bool stop = true;
                if (c == '.' && !w.runs.empty() && w.runs.back().end == i) {
                    const Run& last = w.runs.back();
                    char lower[8];
                    const std::size_t size = last.end - last.begin;
                    if (size < sizeof lower) {
                        for (std::size_t k = 0; k < size; ++k)
                            lower[k] = static_cast<char>(FoldCase(static_cast<unsigned char>(text[last.begin + k])));
                        if (size == 1 || IsAbbreviation(std::string_view(lower, size))) stop = false;
                    }
                }
                pendingStop = pendingStop || stop;
            } else if (IsSpace(c)) {
                if (c == '\n' || c == '\r') {
                    // CR LF is one break.
                    if (!(c == '\n' && i > 0 && text[i - 1] == '\r')) ++breaks, ++line;
                    lineOpen = false;
                    // In lines mode every line is an item of its own.
                    if (lines) endSentence();
                }
                if (pendingStop || breaks >= 2) {
                    endSentence();
                    pendingStop = false;
                }
            } else if (c != '"' && c != 0x201D && c != ')' && c != '\'' && c != 0x2019) {
                pendingStop = false;  // closing quotes and brackets may follow the mark
            }
            i += length;
            continue;
        }
        // A run: word characters, with apostrophes and hyphens inside it.
        Run& run = w.runs.emplace_back();
        run.begin = static_cast<std::uint32_t>(i);
        run.line = line;
        run.lineStart = !lineOpen;
        lineOpen = true;
        const bool capital = c < 0x80 ? IsAsciiUpper(c) : false;
        char32_t previous = 0;
        while (i < text.size()) {
            const auto b = static_cast<unsigned char>(text[i]);
            if (b < 0x80 && IsWordChar(b)) {
                previous = b;
                ++i;
                continue;
            }
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
                    const bool letter = IsWordChar(next) && !(next >= '0' && next <= '9') && !ToneOf(next);
                    if (letter && (c != 0x2013 || IsAsciiLower(next))) {
                        previous = next;
                        i += length + nextLength;
                        continue;
                    }
                }
            }
            break;
        }
        run.end = static_cast<std::uint32_t>(i);
        run.baseEnd = run.end;
        run.sentence = static_cast<std::uint32_t>(w.sentences.size() - 1);
        run.sentenceStart = !sentenceOpen;
        sentenceOpen = true;
        pendingStop = false;
        breaks = 0;
        if (skipRun || run.end - run.begin > kMaxWordBytes) {
            run.norm = static_cast<std::uint32_t>(w.norm.size());
            run.normLength = 0;
            skipRun = false;
        } else {
            run.shaped = true;  // until reading it says otherwise
        }
    }
    w.sentences.back().endRun = static_cast<std::uint32_t>(w.runs.size());
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

const WordCache::Entry* WordCache::Find(std::string_view key, std::uint64_t hash) const {
    if (slots.empty()) return nullptr;
    const std::size_t mask = slots.size() - 1;
    for (std::size_t i = hash & mask; slots[i]; i = (i + 1) & mask) {
        const Entry& e = entries[slots[i] - 1];
        if (e.keyLength == key.size() && std::memcmp(bytes.data() + e.key, key.data(), key.size()) == 0) return &e;
    }
    return nullptr;
}

void WordCache::Clear(const Lexicon* reader, unsigned spelled) {
    lexicon = reader;
    spelling = spelled;
    bytes.clear();
    syllables.clear();
    entries.clear();
    // Twice the slots of the most words: probes stay short.
    slots.assign(2 * std::size_t{kMost}, 0);
}

namespace {

// The options a word's spelling depends on, as one number (never 0).
unsigned SpellingOptions(const TextOptions& options) {
    return static_cast<unsigned>(options.hyphens) | static_cast<unsigned>(options.tones) << 2 |
           static_cast<unsigned>(options.encoding) << 4 | 1u << 6;
}

}  // namespace

void ReadRuns(Scope& scope) {
    ScopeWork& w = scope.w;
    WordCache& cache = w.words;
    const unsigned spelling = SpellingOptions(scope.options);
    if (cache.lexicon != &scope.lex || cache.spelling != spelling || cache.entries.size() >= WordCache::kMost)
        cache.Clear(&scope.lex, spelling);
    w.norm.clear();
    w.norm.reserve(scope.text.size());
    w.syllables.clear();
    w.syllables.reserve(w.runs.size() * 2);
    for (Run& run : w.runs) {
        if (!run.shaped) {
            // No word (a run cut for length): nothing of it is normalized.
            run.norm = static_cast<std::uint32_t>(w.norm.size());
            run.normLength = 0;
            continue;
        }
        run.glued = Glued(scope, run);
        // A word before a full stop may be an initial ("I."), which depends
        // on that stop: read where it stands, as a glued word is.
        const std::string_view bytes = scope.text.substr(run.begin, run.end - run.begin);
        const bool beforeStop = run.end < scope.text.size() && scope.text[run.end] == '.';
        const bool cacheable = !run.glued && !beforeStop && bytes.size() <= WordCache::kLongest;
        const std::uint64_t hash = cacheable ? HashOf(bytes) : 0;
        if (!cacheable || !Recall(scope, run, bytes, hash)) {
            ReadWord(scope, run);
            if (cacheable) Remember(scope, run, bytes, hash);
        }
        const bool capital = run.caseStyle == CaseStyle::Capitalized || run.caseStyle == CaseStyle::AllCaps;
        // Evidence: a spelling only Pinyin has.
        if (!run.candidate && run.pinyinShaped && !run.glued &&
            (run.english == EnglishClass::None || run.english == EnglishClass::Chinese) &&
            (run.pinyinMarks || (capital && (!run.sentenceStart || run.english == EnglishClass::Chinese))) &&
            run.normLength >= 2 && PinyinReads(scope, run)) {
            run.pinyinOnly = true;
        }
        Sentence& sentence = w.sentences[run.sentence];
        if (run.pinyinOnly) ++sentence.pinyin, ++scope.paragraph.pinyin;
        if (run.candidate && run.tones && run.caseStyle != CaseStyle::AllCaps) {
            ++sentence.toned, ++scope.paragraph.toned;
            if (run.normLength > 1) ++sentence.tonedLonger, ++scope.paragraph.tonedLonger;
        }
        if (run.evidence) ++sentence.marked, ++scope.paragraph.marked;
    }
    for (Run& run : w.runs) {
        // Tone numbers mark romanized text where they come in numbers: a
        // hyphenated word, or several toned words together ("Mao2
        // Tse2-tung1"). A lone syllable with a digit is a name or a code
        // ("SHA1", "sha1").
        if (run.candidate && run.tones) {
            const Sentence& sentence = w.sentences[run.sentence];
            const bool lines = scope.options.lines;
            const bool supported = run.caseStyle != CaseStyle::AllCaps &&
                                   (run.syllableCount > 1 || sentence.toned > 1 || (!lines && scope.paragraph.toned > 1));
            // A letter with a digit ("A1", "o2") is a name or a code unless a
            // longer syllable with a tone stands beside it ("Ch'ü2 O5").
            const bool letter = run.normLength == 1 &&
                                (sentence.tonedLonger == 0 && (lines || scope.paragraph.tonedLonger == 0));
            if (!supported || letter) run.candidate = false;
        }
        // Words that could not be romanized Chinese: the sentence's English.
        Sentence& sentence = w.sentences[run.sentence];
        ++sentence.words;
        sentence.candidates += run.candidate;
        if (!run.candidate && run.normLength > 0 && !run.pinyinOnly) ++sentence.english;
    }
    // The scope's own way of writing Wade-Giles: aspiration apostrophes
    // and ü, or neither (a text that dropped them). An apostrophe counts
    // after an initial Wade-Giles aspirates ("Ch'ing-dynasty" too), not in
    // English ("don't").
    for (const Run& run : w.runs) {
        if (!run.shaped) continue;
        for (std::uint32_t k = 0; k < run.syllableCount; ++k) {
            const std::string_view s = scope.Spelling(w.syllables[run.firstSyllable + k]);
            const std::size_t at = s.find('\'');
            if (at != std::string_view::npos && at > 0 && at <= 2 &&
                (s.substr(0, at) == "ch" || s.substr(0, at) == "ts" || s.substr(0, at) == "tz" ||
                 (at == 1 && (s[0] == 'k' || s[0] == 'p' || s[0] == 't'))))
                scope.apostrophes = true;
            if (s.find('\xFC') != std::string_view::npos) scope.umlauts = true;
        }
    }
}

void FormGroups(Scope& scope) {
    ScopeWork& w = scope.w;
    w.groups.clear();
    for (std::size_t i = 0; i < w.runs.size(); ++i) {
        Run& run = w.runs[i];
        if (run.glued || run.caseStyle == CaseStyle::Lower || run.caseStyle == CaseStyle::Mixed ||
            (!run.shaped && !run.pinyinShaped && run.normLength == 0))
            continue;
        bool joins = false;
        if (i > 0) {
            const Run& previous = w.runs[i - 1];
            const std::string_view gap = scope.Gap(i);
            const bool blank = !gap.empty() && gap.find_first_not_of(" \t\r\n") == std::string_view::npos &&
                               std::count(gap.begin(), gap.end(), '\n') <= 1;
            joins = blank && previous.group != kNone && previous.sentence == run.sentence &&
                    previous.baseEnd == previous.end;
        }
        if (!joins) {
            w.groups.push_back({});
            w.groups.back().firstRun = static_cast<std::uint32_t>(i);
        }
        w.groups.back().endRun = static_cast<std::uint32_t>(i + 1);
        run.group = static_cast<std::uint32_t>(w.groups.size() - 1);
    }
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
        run.western = IsWestern(run);
        if (run.western) g.western = true;
        // "I Ching": the pronoun is never followed by a capitalized word in
        // English prose, so the two are a Chinese title or name.
        if (run.isPronounI && i + 1 < w.runs.size() && w.runs[i + 1].group == run.group && w.runs[i + 1].candidate)
            g.pronounRule = true;
    }
}

namespace {

// Finds keys of `table` that cover whole words of a name group: from each
// word, the longest key over the following words of its group, if it has
// at least `fewest` words. Marks the words it covers as one unit.
void MatchAcrossWords(Scope& scope, const ConversionTable& table, std::size_t most, std::size_t fewest,
                      bool established, unsigned starts) {
    ScopeWork& w = scope.w;
    auto exact = [&](std::string_view key, MatchResult& match) {
        return LookupAtCursor(table, key.data(), key.size(), match) && match.consumed == key.size();
    };
    for (std::size_t i = 0; i < w.runs.size(); ++i) {
        Run& first = w.runs[i];
        if (first.group == kNone || first.inUnit || !first.shaped || !(first.keyStarts & starts)) continue;
        // The words of the group that a key could cover, joined as keys
        // write them, with where each word ends. Only the last may have a
        // possessive ending.
        std::size_t last = i;
        while (last + 1 < w.runs.size() && last + 1 - i < std::min<std::size_t>(most, 16) &&
               w.runs[last + 1].group == first.group && w.runs[last + 1].shaped && !w.runs[last + 1].inUnit &&
               w.runs[last].baseEnd == w.runs[last].end)
            ++last;
        if (last + 1 - i < fewest) continue;
        w.key.clear();
        std::size_t ends[16];
        for (std::size_t k = i; k <= last; ++k) {
            if (k > i) w.key += ' ';
            w.key += scope.Lower(w.runs[k]);
            ends[k - i] = w.key.size();
        }
        // The longest key first: one lookup finds it when it ends where a
        // word does; otherwise each shorter run of words is tried alone.
        MatchResult match;
        std::size_t words = 0;
        if (LookupAtCursor(table, w.key.data(), w.key.size(), match)) {
            for (std::size_t k = 0; k <= last - i; ++k)
                if (ends[k] == match.consumed) words = k + 1;
            for (std::size_t k = last - i + 1; k-- > 0 && !words;)
                if (exact(std::string_view(w.key).substr(0, ends[k]), match)) words = k + 1;
        }
        std::string_view degraded;
        // A text that writes no aspiration apostrophe and no ü may have
        // dropped them: "Tsai Yuan-pei" is the word table's "Ts'ai Yüan-p'ei".
        // Only words that are Wade-Giles syllables as written could be a
        // name that dropped its marks.
        std::size_t syllabic = 0;
        while (i + syllabic <= last && w.runs[i + syllabic].allSyllables) ++syllabic;
        // The dropped marks are the word table's keys': one's own table and
        // the established spellings are matched as written.
        if (words < fewest && &table == &scope.lex.wordTable && !scope.apostrophes && !scope.umlauts &&
            syllabic >= fewest) {
            words = 0;
            for (std::size_t k = syllabic; k-- > fewest - 1 && !words;) {
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
        first.wordValue = match.value;
        first.degradedKey = degraded;
        if (!degraded.empty()) first.degradedValue = first.wordValue;
        first.established = established;
        for (std::size_t k = i; k < i + words; ++k) w.runs[k].inUnit = true;
        i += words - 1;
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
    const unsigned units = kStartsUnit | (scope.apostrophes || scope.umlauts ? 0u : unsigned{kStartsDegradedUnit});
    if (lex.maxKeyWords >= 2) MatchAcrossWords(scope, lex.wordTable, lex.maxKeyWords, 2, false, units);
    // A hyphenated word no key holds, in a text that writes no apostrophe
    // and no ü: the key it is with them dropped ("Chang-an", Ch'ang-an).
    if (scope.apostrophes || scope.umlauts) return;
    for (Run& run : scope.w.runs) {
        if (!run.candidate || run.inUnit || run.syllableCount < 2 || !run.wordValue.empty() || run.solid) continue;
        if (const Lexicon::Degraded* found = scope.lex.DegradedKey(scope.Lower(run))) {
            run.degradedValue = found->value;
            run.degradedKey = found->key;
        }
    }
}

}  // namespace kesti
