// The decisions of the running-text engine, one scope at a time:
//   1. find the runs of word characters and the sentences they stand in;
//   2. read each run as a romanized word: its syllables, case, tones, and
//      whether it is Wade-Giles, English, Pinyin or none of these;
//   3. gather capitalized neighbours into name groups ("Mao Tse-tung",
//      "Carl Jung") and match word-table keys across them;
//   4. decide each word from itself, its group and its sentence;
//   5. write the text with the converted words and report them.
#include "prose/scope.h"

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

enum class CaseStyle : unsigned char { Lower, Capitalized, AllCaps };

struct Syllable {
    std::uint32_t norm = 0, normLength = 0;  // its spelling inside ScopeWork::norm
    char32_t separator = 0;                  // the hyphen before it, 0 for the first
    char32_t toneChar = 0;                   // the tone as written, 0 for none
    int tone = 0;
    std::string_view pinyin;                 // its reading, empty when it is no syllable
};

constexpr std::uint32_t kNone = UINT32_MAX;

struct Run {
    std::uint32_t begin = 0, end = 0;  // bytes of the scope
    std::uint32_t baseEnd = 0;         // before a possessive 's
    std::uint32_t norm = 0, normLength = 0;  // the whole word normalized, syllables joined by -
    std::uint32_t firstSyllable = 0, syllableCount = 0;
    std::uint32_t sentence = 0;
    std::uint32_t group = kNone;
    std::uint32_t unitEnd = 0;  // for the first run of a key across words: one past its last run
    std::string_view wordValue; // the word table's value for this run alone
    CaseStyle caseStyle = CaseStyle::Lower;
    EnglishKind english = EnglishKind::None;
    bool shaped = false;        // letters, apostrophes, hyphens and tones as a romanized word has them
    bool pinyinShaped = false;  // letters (tone marks allowed), apostrophes and hyphens
    bool pinyinMarks = false;   // a vowel with a Pinyin tone mark
    bool glued = false;         // part of an address, a path or an identifier
    bool allSyllables = false;
    bool tones = false;
    bool candidate = false;     // could convert: its syllables, or a word-table key
    bool isEnglish = false;
    // Evidence: spelled so only in Wade-Giles. Worked out only when a
    // decision needs it (0 not yet, 1 no, 2 yes): most never do.
    unsigned char wadeGilesOnly = 0;
    bool pinyinOnly = false;    // evidence: spelled so only in Pinyin
    bool strong = false;        // a Chinese word beyond doubt
    bool sentenceStart = false;
    bool isPronounI = false;
    bool inUnit = false;        // covered by a key across words
    bool established = false;   // the unit it begins is an established spelling
};

struct Sentence {
    std::uint32_t firstRun = 0, endRun = 0;
    std::uint32_t pinyin = 0;  // words spelled so only in Pinyin
    std::uint32_t toned = 0;   // romanized words with tone numbers
    int wadeGiles = -1;        // holds a word spelled so only in Wade-Giles: -1 not known yet, 0 no, 1 yes
};

struct Group {
    std::uint32_t firstRun = 0, endRun = 0;
    std::uint32_t strong = 0;
    std::uint32_t members = 0;     // capitalized words in it
    std::uint32_t candidates = 0;  // of them, words that could convert
    std::uint32_t named = 0;       // of them, names or words too rare to be meant in English
    bool pinyin = false, western = false, pronounRule = false;
};

}  // namespace

struct ScopeWork {
    std::vector<Run> runs;
    std::vector<Syllable> syllables;
    std::vector<Sentence> sentences;
    std::vector<Group> groups;
    std::string norm;
    std::string key;
    std::string value;
    std::vector<utf8proc_int32_t> composed;
    std::vector<std::string_view> parts;
};

ScopeWorkOwner::ScopeWorkOwner() : work(new ScopeWork) {}
ScopeWorkOwner::~ScopeWorkOwner() { delete work; }

namespace {

// Words after which a full stop ends no sentence.
bool IsAbbreviation(std::string_view lower) {
    static constexpr std::string_view kList[] = {
        "mr", "mrs", "ms", "dr", "st", "gen", "col", "lt", "capt", "prof", "rev", "jr", "sr", "mt",
        "ft", "vs", "etc", "cf", "al", "ed", "eds", "vol", "vols", "no", "nos", "pp", "p", "ch", "chap",
        "jan", "feb", "mar", "apr", "jun", "jul", "aug", "sep", "sept", "oct", "nov", "dec", "ca", "e.g",
        "i.e", "fig", "op", "cit", "ibid", "trans", "comp", "repr", "esp", "approx"};
    return std::find(std::begin(kList), std::end(kList), lower) != std::end(kList);
}

// Capitalized words that stand before a Chinese name as well as a Western one.
bool IsTitle(std::string_view lower) {
    static constexpr std::string_view kList[] = {
        "mr", "mrs", "ms", "miss", "dr", "sir", "madame", "madam", "general", "president", "emperor",
        "empress", "chairman", "premier", "marshal", "prince", "princess", "king", "queen", "lord", "lady",
        "professor", "prof", "master", "saint", "st", "duke", "governor", "minister", "admiral", "colonel",
        "captain", "lieutenant", "bishop", "father", "brother", "sister", "uncle", "aunt", "mount", "lake",
        "river", "dynasty", "province", "city", "county", "comrade", "consort", "abbot", "monk", "marquis",
        "count", "baron", "judge", "magistrate", "prefect", "viceroy", "commissioner", "secretary", "the",
        // Qualifiers of dynasties and states: "Western Chou", "Southern Sung".
        "northern", "southern", "eastern", "western", "later", "former", "early", "late", "great", "old",
        "young", "little", "upper", "lower", "inner", "outer", "new", "first", "second", "third"};
    return std::find(std::begin(kList), std::end(kList), lower) != std::end(kList);
}

// Words after which a capitalized word is a common noun, not a name: "the Sun".
bool IsDeterminer(std::string_view lower) {
    static constexpr std::string_view kList[] = {"the", "a", "an", "this", "that", "these", "those", "his",
                                                 "her", "its", "their", "our", "my", "your", "every", "each"};
    return std::find(std::begin(kList), std::end(kList), lower) != std::end(kList);
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

class ScopeConverter {
public:
    ScopeConverter(const Lexicon& lexicon, const TextOptions& options, std::string_view text, ScopeWork& work,
                   TextPosition* position)
        : lex_(lexicon), options_(options), text_(text), w_(work), position_(position) {}

    void FindRuns(bool startsInsideRun);
    void Advance(std::size_t offset);
    void Finish() { if (position_) Advance(text_.size()); }
    void ReadRuns();
    void FormGroups();
    // Established spellings first ("Chiang Kai-shek"), then the word
    // table's names across words ("Mao Tse-tung").
    void MatchKeysAcrossWords() {
        MatchAcrossWords(lex_.conventionalTable, lex_.maxConventionalWords, 1, true);
        if (lex_.maxKeyWords >= 2) MatchAcrossWords(lex_.wordTable, lex_.maxKeyWords, 2, false);
    }
    void MatchAcrossWords(const ConversionTable& table, std::size_t most, std::size_t fewest, bool established);
    void Write(std::string& out, std::vector<ReportRecord>* report);

private:
    bool Glued(const Run& run) const;
    void ReadRun(Run& run);
    void AddSyllable(Run& run, std::size_t start, char32_t separator, int tone, char32_t toneChar);
    bool GroupStrongBesides(const Run& run) const;
    bool GroupHasWadeGiles(const Run& run);
    bool IsWestern(const Run& run) const;
    bool AfterDynastyQualifier(std::size_t index) const;
    bool WesternSignal(std::size_t index) const;
    Decision Decide(std::size_t index, bool& ambiguous);
    Decision DecideUnit(std::size_t first, std::size_t last);
    bool PinyinScope(const Run& run);
    bool WadeGilesEvidence(const Run& run);
    bool WadeGilesOnly(Run& run);
    bool HasWadeGiles(Sentence& sentence);
    bool ParagraphHasWadeGiles();
    void BuildWord(const Run& run, std::string_view value, std::string& out);
    std::string_view LowerValue(std::string_view value);
    std::string Alternatives(std::size_t first, std::size_t last) const;
    std::string_view Gap(std::size_t index) const;  // the text before run `index`
    std::string_view Lower(const Run& run) const {
        return std::string_view(w_.norm).substr(run.norm, run.normLength);
    }

    const Lexicon& lex_;
    const TextOptions& options_;
    std::string_view text_;
    ScopeWork& w_;
    Sentence paragraph_;
    TextPosition* position_;       // where the scope starts; null when no report is made
    std::size_t positionOffset_ = 0;
};

void ScopeConverter::FindRuns(bool startsInsideRun) {
    w_.runs.clear();
    w_.sentences.assign(1, Sentence{});
    bool skipRun = startsInsideRun;
    bool sentenceOpen = false;  // a sentence has begun and not ended
    bool pendingStop = false;   // a sentence-ending mark waits for a space
    std::uint32_t breaks = 0;   // line breaks since the last run, blank lines end sentences
    std::size_t i = 0;
    std::size_t length = 0;
    while (i < text_.size()) {
        char32_t c = DecodeAt(text_, i, length);
        if (!IsWordChar(c)) {
            if (c == '.' || c == '!' || c == '?' || c == 0x2026) {
                bool stop = true;
                if (c == '.' && !w_.runs.empty() && w_.runs.back().end == i) {
                    const Run& last = w_.runs.back();
                    char lower[8];
                    const std::size_t size = last.end - last.begin;
                    if (size < sizeof lower) {
                        for (std::size_t k = 0; k < size; ++k)
                            lower[k] = static_cast<char>(FoldCase(static_cast<unsigned char>(text_[last.begin + k])));
                        if (size == 1 || IsAbbreviation(std::string_view(lower, size))) stop = false;
                    }
                }
                pendingStop = pendingStop || stop;
            } else if (IsSpace(c)) {
                if (c == '\n' || (c == '\r')) ++breaks;
                if (pendingStop || breaks >= 2) {
                    if (sentenceOpen) {
                        const auto at = static_cast<std::uint32_t>(w_.runs.size());
                        w_.sentences.back().endRun = at;
                        w_.sentences.push_back({at, at});
                        sentenceOpen = false;
                    }
                    pendingStop = false;
                }
            } else if (c != '"' && c != 0x201D && c != ')' && c != '\'' && c != 0x2019) {
                pendingStop = false;  // closing quotes and brackets may follow the mark
            }
            i += length;
            continue;
        }
        // A run: word characters, with apostrophes and hyphens inside it.
        // Made in place: a text has as many runs as words.
        Run& run = w_.runs.emplace_back();
        run.begin = static_cast<std::uint32_t>(i);
        char32_t previous = 0;
        while (i < text_.size()) {
            const auto b = static_cast<unsigned char>(text_[i]);
            if (b < 0x80 && IsWordChar(b)) {
                previous = b;
                ++i;
                continue;
            }
            c = DecodeAt(text_, i, length);
            if (IsWordChar(c)) {
                previous = c;
                i += length;
                continue;
            }
            if ((IsApostrophe(c) && IsWordChar(previous) && !(previous >= '0' && previous <= '9')) || IsHyphen(c)) {
                if (i + length < text_.size()) {
                    std::size_t nextLength = 0;
                    const char32_t next = DecodeAt(text_, i + length, nextLength);
                    if (IsWordChar(next) && !(next >= '0' && next <= '9') && !ToneOf(next)) {
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
        run.sentence = static_cast<std::uint32_t>(w_.sentences.size() - 1);
        run.sentenceStart = !sentenceOpen;
        sentenceOpen = true;
        pendingStop = false;
        breaks = 0;
        if (skipRun || run.end - run.begin > kMaxWordBytes) {
            run.norm = static_cast<std::uint32_t>(w_.norm.size());
            run.normLength = 0;
            skipRun = false;
        }
        else {
            run.shaped = true;  // until reading it says otherwise
        }
    }
    w_.sentences.back().endRun = static_cast<std::uint32_t>(w_.runs.size());
}

// Moves the report's position forward to byte `offset` of the scope.
// Positions are counted only when a report is made, and each byte once.
void ScopeConverter::Advance(std::size_t offset) {
    TextPosition& p = *position_;
    for (std::size_t length = 0; positionOffset_ < offset; positionOffset_ += length) {
        const char32_t c = DecodeAt(text_, positionOffset_, length);
        if (c == '\n') {
            if (!p.afterCarriageReturn) ++p.line, p.column = 1;
            p.afterCarriageReturn = false;
        } else if (c == '\r') {
            ++p.line, p.column = 1;
            p.afterCarriageReturn = true;
        } else {
            ++p.column;
            p.afterCarriageReturn = false;
        }
    }
}

std::string_view ScopeConverter::Gap(std::size_t index) const {
    const std::uint32_t from = index == 0 ? 0 : w_.runs[index - 1].end;
    return text_.substr(from, w_.runs[index].begin - from);
}

bool ScopeConverter::Glued(const Run& run) const {
    if (run.begin > 0) {
        switch (text_[run.begin - 1]) {
            case '/': case '@': case '_': case '\\': case '.': case ':': case '=': case '#': case '&':
            case '%': case '+': case '~':
                return true;
            default:
                break;
        }
    }
    if (run.end < text_.size()) {
        const char after = text_[run.end];
        if (after == '@' || after == '/' || after == '_' || after == '\\') return true;
        if (after == '.' && run.end + 1 < text_.size()) {
            std::size_t length = 0;
            if (IsWordChar(DecodeAt(text_, run.end + 1, length))) return true;
        }
    }
    return false;
}

void ScopeConverter::AddSyllable(Run& run, std::size_t start, char32_t separator, int tone, char32_t toneChar) {
    Syllable s;
    s.norm = static_cast<std::uint32_t>(start);
    s.normLength = static_cast<std::uint32_t>(w_.norm.size() - start);
    s.separator = separator;
    s.tone = tone;
    s.toneChar = toneChar;
    w_.syllables.push_back(s);
    ++run.syllableCount;
}

void ScopeConverter::ReadRun(Run& run) {
    run.glued = Glued(run);
    // A possessive ending stays as written: "Tse-tung's".
    if (run.end - run.begin >= 3 && (text_[run.end - 1] == 's' || text_[run.end - 1] == 'S')) {
        const std::uint32_t last = run.end - 1;
        for (std::uint32_t at = last - 1; at > run.begin && last - at <= 3; --at) {
            if ((static_cast<unsigned char>(text_[at]) & 0xC0) == 0x80) continue;
            std::size_t length = 0;
            if (IsApostrophe(DecodeAt(text_, at, length)) && at + length == last) run.baseEnd = at;
            break;
        }
    }
    const std::string_view base = text_.substr(run.begin, run.baseEnd - run.begin);
    run.norm = static_cast<std::uint32_t>(w_.norm.size());
    run.firstSyllable = static_cast<std::uint32_t>(w_.syllables.size());
    run.syllableCount = 0;
    run.pinyinShaped = true;
    // Most words of a text are ASCII letters, apostrophes and hyphens (the
    // run holds these only between letters): read them byte by byte.
    bool plain = true, simple = true;
    for (char ch : base) {
        plain = plain && ch >= 'a' && ch <= 'z';
        simple = simple && (IsAsciiLetter(static_cast<unsigned char>(ch)) || ch == '\'' || ch == '-');
    }
    if (plain) {
        w_.norm.append(base);
        AddSyllable(run, run.norm, 0, 0, 0);
        run.normLength = static_cast<std::uint32_t>(base.size());
        run.caseStyle = CaseStyle::Lower;
        return;
    }
    if (simple) {
        std::size_t start = w_.norm.size();
        char32_t hyphen = 0;
        std::uint32_t letters = 0, uppers = 0;
        for (char ch : base) {
            if (ch == '-') {
                AddSyllable(run, start, hyphen, 0, 0);
                w_.norm += '-';
                start = w_.norm.size();
                hyphen = '-';
            } else if (ch == '\'') {
                w_.norm += '\'';
            } else {
                const bool upper = ch <= 'Z';
                if (letters++ == 0) run.caseStyle = upper ? CaseStyle::Capitalized : CaseStyle::Lower;
                uppers += upper;
                w_.norm += static_cast<char>(upper ? ch + 0x20 : ch);
            }
        }
        AddSyllable(run, start, hyphen, 0, 0);
        run.normLength = static_cast<std::uint32_t>(w_.norm.size() - run.norm);
        if (letters >= 2 && uppers == letters) run.caseStyle = CaseStyle::AllCaps;
        run.isPronounI = letters == 1 && uppers == 1 && run.syllableCount == 1 && Lower(run) == "i";
        return;
    }
    std::size_t syllableStart = w_.norm.size();
    char32_t separator = 0, toneChar = 0;
    int tone = 0;
    bool letterSeen = false;
    std::uint32_t letters = 0, uppers = 0;
    bool firstUpper = false;
    auto take = [&](char32_t c) {
        bool upper = false;
        char letter = 0;
        if (IsAsciiLetter(c)) {
            upper = c <= 'Z';
            letter = static_cast<char>(upper ? c + 0x20 : c);
        } else if (c == 0xFC || c == 0xDC) {
            upper = c == 0xDC, letter = '\xFC';
        } else if (c == 0xEA || c == 0xCA) {
            upper = c == 0xCA, letter = '\xEA';
        } else if (c == 0x16D || c == 0x16C) {
            upper = c == 0x16C, letter = 'u';
            run.pinyinShaped = false;
        } else if (const char plain = c >= 0xC0 ? PinyinToneVowel(c, upper) : 0) {
            letter = plain;
            run.pinyinMarks = true;
            run.shaped = false;
        }
        if (letter) {
            if (tone) run.shaped = run.pinyinShaped = false;  // a tone ends its syllable
            if (letters == 0) firstUpper = upper;
            ++letters;
            uppers += upper;
            letterSeen = true;
            w_.norm += letter;
        } else if (IsApostrophe(c)) {
            if (tone) run.shaped = run.pinyinShaped = false;
            w_.norm += '\'';
        } else if (IsHyphen(c)) {
            if (!letterSeen) run.shaped = run.pinyinShaped = false;
            AddSyllable(run, syllableStart, separator, tone, toneChar);
            w_.norm += '-';
            syllableStart = w_.norm.size();
            separator = c;
            tone = 0;
            toneChar = 0;
            letterSeen = false;
        } else if (const int t = ToneOf(c); t && letterSeen && !tone) {
            tone = t;
            toneChar = c;
            run.tones = true;
            run.pinyinShaped = false;
        } else {
            run.shaped = run.pinyinShaped = false;
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
        w_.composed.resize(base.size() * 4 + 8);
        const auto options = static_cast<utf8proc_option_t>(UTF8PROC_STABLE | UTF8PROC_COMPOSE);
        utf8proc_ssize_t n = utf8proc_decompose(reinterpret_cast<const utf8proc_uint8_t*>(base.data()),
                                                static_cast<utf8proc_ssize_t>(base.size()), w_.composed.data(),
                                                static_cast<utf8proc_ssize_t>(w_.composed.size()), options);
        if (n > 0) n = utf8proc_normalize_utf32(w_.composed.data(), n, options);
        for (utf8proc_ssize_t k = 0; k < n; ++k) take(static_cast<char32_t>(w_.composed[static_cast<std::size_t>(k)]));
    }
    if (!letterSeen) run.shaped = run.pinyinShaped = false;
    AddSyllable(run, syllableStart, separator, tone, toneChar);
    run.normLength = static_cast<std::uint32_t>(w_.norm.size() - run.norm);
    run.caseStyle = !firstUpper                           ? CaseStyle::Lower
                    : (letters >= 2 && uppers == letters) ? CaseStyle::AllCaps
                                                          : CaseStyle::Capitalized;
    run.isPronounI = letters == 1 && uppers == 1 && run.syllableCount == 1 && Lower(run) == "i";
}

void ScopeConverter::ReadRuns() {
    w_.norm.clear();
    w_.norm.reserve(text_.size());
    w_.syllables.clear();
    w_.syllables.reserve(w_.runs.size() * 2);
    for (Run& run : w_.runs) {
        if (!run.shaped) continue;
        ReadRun(run);
        const std::string_view word = Lower(run);
        const bool capital = run.caseStyle != CaseStyle::Lower;
        if (run.shaped && !run.glued) {
            run.allSyllables = true;
            for (std::uint32_t k = 0; k < run.syllableCount && run.allSyllables; ++k) {
                Syllable& s = w_.syllables[run.firstSyllable + k];
                s.pinyin = lex_.Syllable(std::string_view(w_.norm).substr(s.norm, s.normLength));
                run.allSyllables = !s.pinyin.empty();
            }
            // Hyphenated words, and capitalized ones the syllables do not
            // make (a place written without hyphens), may be word-table keys.
            if ((run.syllableCount > 1 && run.allSyllables) || (run.syllableCount == 1 && !run.allSyllables && capital))
                run.wordValue = lex_.WordKey(word);
            run.candidate = run.allSyllables || !run.wordValue.empty();
        }
        // English matters where a word could convert, and for capitalized
        // words beside a name; plain lower-case English is never looked up.
        if (run.candidate || capital || run.pinyinMarks) run.english = lex_.English(word);
        run.isEnglish = run.english != EnglishKind::None;
        if (run.candidate && !run.isEnglish && run.syllableCount > 1 && run.wordValue.empty()) {
            bool englishParts = true;
            for (std::uint32_t k = 0; k < run.syllableCount && englishParts; ++k) {
                const Syllable& s = w_.syllables[run.firstSyllable + k];
                const EnglishKind kind = lex_.English(std::string_view(w_.norm).substr(s.norm, s.normLength));
                englishParts = kind == EnglishKind::Function || kind == EnglishKind::Word;
            }
            run.isEnglish = englishParts;
        }
        // Evidence: a spelling that only one of the two systems has.
        if (run.candidate) {
            // Whether only Wade-Giles spells it so is asked when needed.
        } else if (run.pinyinShaped && !run.glued &&
                   (run.english == EnglishKind::None || run.english == EnglishKind::Chinese) &&
                   (run.pinyinMarks || (capital && (!run.sentenceStart || run.english == EnglishKind::Chinese))) &&
                   run.normLength >= 2 && lex_.IsPinyin(word)) {
            run.pinyinOnly = true;
        }
        run.strong = run.candidate && !run.isEnglish;
        if (run.pinyinOnly) ++w_.sentences[run.sentence].pinyin, ++paragraph_.pinyin;
        if (run.candidate && run.tones && run.caseStyle != CaseStyle::AllCaps)
            ++w_.sentences[run.sentence].toned, ++paragraph_.toned;
    }
    // Tone numbers mark romanized text where they come in numbers: a
    // hyphenated word, or several toned words together ("Mao2 Tse2-tung1").
    // A lone syllable with a digit is a name or a code ("SHA1", "sha1"),
    // and is left as written.
    for (Run& run : w_.runs) {
        if (!run.candidate || !run.tones) continue;
        const bool supported = run.caseStyle != CaseStyle::AllCaps &&
                               (run.syllableCount > 1 || w_.sentences[run.sentence].toned > 1 || paragraph_.toned > 1);
        if (supported) {
            run.strong = true;
        } else {
            run.candidate = run.strong = false;
        }
    }
}

void ScopeConverter::FormGroups() {
    w_.groups.clear();
    for (std::size_t i = 0; i < w_.runs.size(); ++i) {
        Run& run = w_.runs[i];
        if (run.glued || run.caseStyle == CaseStyle::Lower || (!run.shaped && !run.pinyinShaped && run.normLength == 0))
            continue;
        bool joins = false;
        if (i > 0) {
            const Run& previous = w_.runs[i - 1];
            const std::string_view gap = Gap(i);
            const bool blank = !gap.empty() && gap.find_first_not_of(" \t\r\n") == std::string_view::npos &&
                               std::count(gap.begin(), gap.end(), '\n') <= 1;
            joins = blank && previous.group != kNone && previous.sentence == run.sentence &&
                    previous.baseEnd == previous.end;
        }
        if (!joins) {
            w_.groups.push_back({});
            w_.groups.back().firstRun = static_cast<std::uint32_t>(i);
        }
        w_.groups.back().endRun = static_cast<std::uint32_t>(i + 1);
        run.group = static_cast<std::uint32_t>(w_.groups.size() - 1);
    }
    for (std::size_t i = 0; i < w_.runs.size(); ++i) {
        const Run& run = w_.runs[i];
        if (run.group == kNone) continue;
        Group& g = w_.groups[run.group];
        g.strong += run.strong;
        ++g.members;
        g.candidates += run.candidate;
        g.named += run.candidate && (run.english == EnglishKind::Rare || run.english == EnglishKind::Name ||
                                     run.english == EnglishKind::Chinese);
        g.pinyin = g.pinyin || run.pinyinOnly;
        // A capitalized word that is neither Chinese nor an English function
        // word is a Western name: "Carl Jung", "Peter Pan".
        if (IsWestern(run)) g.western = true;
        // "I Ching": the pronoun is never followed by a capitalized word in
        // English prose, so the two are a Chinese title or name.
        if (run.isPronounI && i + 1 < w_.runs.size() && w_.runs[i + 1].group == run.group &&
            w_.runs[i + 1].candidate)
            g.pronounRule = true;
    }
}

// Finds keys of `table` that cover whole words of a name group: from each
// word, the longest key over the following words of its group, if it has
// at least `fewest` words. Marks the words it covers as one unit.
void ScopeConverter::MatchAcrossWords(const ConversionTable& table, std::size_t most, std::size_t fewest,
                                      bool established) {
    auto exact = [&](std::string_view key, MatchResult& match) {
        return LookupAtCursor(table, key.data(), key.size(), match) && match.consumed == key.size();
    };
    for (std::size_t i = 0; i < w_.runs.size(); ++i) {
        Run& first = w_.runs[i];
        if (first.group == kNone || first.inUnit || !first.shaped) continue;
        // The words of the group that a key could cover, joined as keys
        // write them, with where each word ends. Only the last may have a
        // possessive ending.
        std::size_t last = i;
        while (last + 1 < w_.runs.size() && last + 1 - i < std::min<std::size_t>(most, 16) &&
               w_.runs[last + 1].group == first.group && w_.runs[last + 1].shaped && !w_.runs[last + 1].inUnit &&
               w_.runs[last].baseEnd == w_.runs[last].end)
            ++last;
        if (last + 1 - i < fewest) continue;
        w_.key.clear();
        std::size_t ends[16];
        for (std::size_t k = i; k <= last; ++k) {
            if (k > i) w_.key += ' ';
            w_.key += Lower(w_.runs[k]);
            ends[k - i] = w_.key.size();
        }
        // The longest key first: one lookup finds it when it ends where a
        // word does; otherwise each shorter run of words is tried alone.
        MatchResult match;
        std::size_t words = 0;
        if (LookupAtCursor(table, w_.key.data(), w_.key.size(), match)) {
            for (std::size_t k = 0; k <= last - i; ++k)
                if (ends[k] == match.consumed) words = k + 1;
            for (std::size_t k = last - i + 1; k-- > 0 && !words;)
                if (exact(std::string_view(w_.key).substr(0, ends[k]), match)) words = k + 1;
        }
        if (words < fewest) continue;
        first.unitEnd = static_cast<std::uint32_t>(i + words);
        first.wordValue = match.value;
        first.established = established;
        for (std::size_t k = i; k < i + words; ++k) w_.runs[k].inUnit = true;
        i += words - 1;
    }
}

bool ScopeConverter::WadeGilesOnly(Run& run) {
    if (!run.wadeGilesOnly)
        run.wadeGilesOnly = run.candidate && !run.isEnglish && !lex_.IsPinyin(Lower(run)) ? 2 : 1;
    return run.wadeGilesOnly == 2;
}

// Whether a sentence holds a word spelled so only in Wade-Giles; the search
// stops at the first.
bool ScopeConverter::HasWadeGiles(Sentence& sentence) {
    if (sentence.wadeGiles < 0) {
        sentence.wadeGiles = 0;
        for (std::uint32_t i = sentence.firstRun; i < sentence.endRun && !sentence.wadeGiles; ++i)
            sentence.wadeGiles = WadeGilesOnly(w_.runs[i]);
    }
    return sentence.wadeGiles > 0;
}

bool ScopeConverter::ParagraphHasWadeGiles() {
    if (paragraph_.wadeGiles < 0) {
        paragraph_.wadeGiles = 0;
        for (std::size_t i = 0; i < w_.sentences.size() && !paragraph_.wadeGiles; ++i)
            paragraph_.wadeGiles = HasWadeGiles(w_.sentences[i]);
    }
    return paragraph_.wadeGiles > 0;
}

// Whether the sentence, or the paragraph where the sentence says nothing,
// is written in Pinyin: spellings only Pinyin has, none only Wade-Giles has.
bool ScopeConverter::PinyinScope(const Run& run) {
    Sentence& s = w_.sentences[run.sentence];
    if (s.pinyin == 0 && paragraph_.pinyin == 0) return false;
    if (s.pinyin > 0) return !HasWadeGiles(s);
    if (HasWadeGiles(s)) return false;
    return !ParagraphHasWadeGiles();
}

bool ScopeConverter::WadeGilesEvidence(const Run& run) {
    Sentence& s = w_.sentences[run.sentence];
    if (HasWadeGiles(s)) return true;
    if (s.pinyin > 0) return false;
    return ParagraphHasWadeGiles();
}

// Whether a dynasty's qualifier stands right before the word: "Southern
// Sung", "Later Han" name dynasties, not English words.
bool ScopeConverter::AfterDynastyQualifier(std::size_t index) const {
    if (index == 0 || w_.runs[index - 1].group != w_.runs[index].group) return false;
    static constexpr std::string_view kQualifiers[] = {"northern", "southern", "eastern", "western", "later", "former"};
    const std::string_view previous = Lower(w_.runs[index - 1]);
    return std::find(std::begin(kQualifiers), std::end(kQualifiers), previous) != std::end(kQualifiers);
}

// A capitalized word that is neither Chinese nor an English function word
// nor a title: a Western name ("Carl", "Theodore", "Rękorajski").
bool ScopeConverter::IsWestern(const Run& run) const {
    return run.caseStyle != CaseStyle::Lower && !run.candidate && !run.pinyinOnly && !run.glued &&
           run.english != EnglishKind::Function && run.english != EnglishKind::Chinese && !IsTitle(Lower(run));
}

// Whether another word of the run's name is spelled so only in Wade-Giles:
// "Mao" in "Mao Tse-tung" is Wade-Giles even in a sentence about Zhou Enlai.
bool ScopeConverter::GroupHasWadeGiles(const Run& run) {
    if (run.group == kNone) return false;
    const Group& g = w_.groups[run.group];
    for (std::uint32_t i = g.firstRun; i < g.endRun; ++i)
        if (&w_.runs[i] != &run && WadeGilesOnly(w_.runs[i])) return true;
    return g.pronounRule;
}

bool ScopeConverter::GroupStrongBesides(const Run& run) const {
    if (run.group == kNone) return false;
    const Group& g = w_.groups[run.group];
    // Syllables capitalized together and nothing else, one of them a name:
    // a Chinese name or title even when each is also English ("Tao Te
    // Ching"), not a heading in capitals ("IN NO EVENT SHALL Arnaud LE").
    return g.pronounRule || g.strong > (run.strong ? 1u : 0u) ||
           (g.candidates >= 2 && g.named >= 1 && g.candidates == g.members);
}

// Signs that a capitalized English word standing alone is English here:
// a Western name beside it ("Carl Jung"), an article before it ("the Sun"),
// a date or an abbreviation after it ("Jan. 20", "Jan 20"), a place and
// its state ("Lawrence, Kan.").
bool ScopeConverter::WesternSignal(std::size_t index) const {
    const Run& run = w_.runs[index];
    if (run.group != kNone && w_.groups[run.group].western) return true;
    if (index > 0) {
        const Run& previous = w_.runs[index - 1];
        const std::string_view gap = Gap(index);
        const bool spaceOnly = gap.find_first_not_of(" \t") == std::string_view::npos;
        if (spaceOnly && previous.caseStyle == CaseStyle::Lower && previous.shaped && IsDeterminer(Lower(previous)) &&
            (run.group == kNone || w_.groups[run.group].candidates <= 1))
            return true;
        if ((gap == ", " || gap == ",") && previous.sentence == run.sentence && IsWestern(previous)) return true;
    }
    std::string_view after = text_.substr(run.end);
    if (!after.empty() && after[0] == '.') after.remove_prefix(1);
    if (!after.empty() && after[0] == ' ') {
        after.remove_prefix(1);
        if (!after.empty() && after[0] >= '0' && after[0] <= '9') return true;
        if (text_[run.end] == '.' && !after.empty() && after[0] >= 'a' && after[0] <= 'z') return true;
    }
    return false;
}

Decision ScopeConverter::Decide(std::size_t index, bool& ambiguous) {
    Run& run = w_.runs[index];
    const Decision converted = run.wordValue.empty() || run.syllableCount == 1 ? Decision::Syllables
                                                                               : Decision::WordTable;
    ambiguous = false;
    if (!options_.englishGuard) return converted;
    if (run.tones) return converted;  // supported by other toned words (see ReadRuns)
    // One syllable in capitals with no other beside it, spelled as Pinyin or
    // English could spell it, is an abbreviation: "KU Leuven", "NO".
    if (run.caseStyle == CaseStyle::AllCaps && run.syllableCount == 1 &&
        (run.group == kNone || w_.groups[run.group].candidates <= 1) && !WadeGilesOnly(run)) {
        ambiguous = true;
        return Decision::English;
    }
    // A Western given name before a one-syllable surname makes the name
    // Western, however it is spelled: "Theodore Ts'o", "Howard Chu".
    if (run.syllableCount == 1 && index > 0 && w_.runs[index - 1].group == run.group && run.group != kNone &&
        IsWestern(w_.runs[index - 1])) {
        ambiguous = true;
        return Decision::English;
    }
    const bool groupStrong = GroupStrongBesides(run);
    // Chinese, unless the sentence (or the name around it) is in Pinyin and
    // the word itself is spelled as Pinyin can be.
    const bool pinyin = ((run.group != kNone && w_.groups[run.group].pinyin) || PinyinScope(run)) &&
                        !WadeGilesOnly(run) && !GroupHasWadeGiles(run);
    const Decision chinese = pinyin ? Decision::Pinyin : converted;
    if (!run.isEnglish) return chinese;

    // An English word that is also Wade-Giles.
    if (run.caseStyle == CaseStyle::Lower) return Decision::English;
    if (groupStrong) {
        if (run.sentenceStart && run.english == EnglishKind::Function && !run.isPronounI) {
            ambiguous = true;
            return Decision::English;
        }
        return chinese;
    }
    ambiguous = true;
    if (run.syllableCount > 1) {
        // Capitalized and hyphenated: English writes few such words, and
        // most of them at the start of a sentence ("So-so").
        return !run.sentenceStart || WadeGilesEvidence(run) ? chinese : Decision::English;
    }
    if (run.caseStyle == CaseStyle::AllCaps || run.english == EnglishKind::Function) return Decision::English;
    if (AfterDynastyQualifier(index)) return chinese;  // "the Southern Sung"
    if (WesternSignal(index)) return Decision::English;
    // A name, or a word too rare to be meant in English when capitalized.
    if (run.english != EnglishKind::Word) return chinese;
    if (WadeGilesEvidence(run)) return chinese;
    return pinyin ? Decision::Pinyin : Decision::English;
}

// A key matched across words: a name, converted unless the sentence is
// Pinyin or every word of it is plain English.
Decision ScopeConverter::DecideUnit(std::size_t first, std::size_t last) {
    bool strong = false, english = true, lower = true;
    for (std::size_t k = first; k <= last; ++k) {
        const Run& run = w_.runs[k];
        strong = strong || (!run.isEnglish && !run.pinyinOnly) || (run.tones && run.candidate);
        english = english && run.isEnglish;
        lower = lower && run.caseStyle == CaseStyle::Lower;
    }
    if (!options_.englishGuard) return Decision::WordTable;
    bool wadeGiles = false;
    for (std::size_t k = first; k <= last && !wadeGiles; ++k) wadeGiles = WadeGilesOnly(w_.runs[k]);
    if (!wadeGiles && !GroupHasWadeGiles(w_.runs[first]) &&
        (w_.groups[w_.runs[first].group].pinyin || PinyinScope(w_.runs[first])))
        return Decision::Pinyin;
    if (english && lower) return Decision::English;
    if (english && !strong && !w_.groups[w_.runs[first].group].pronounRule && !WadeGilesEvidence(w_.runs[first]))
        return Decision::English;
    return Decision::WordTable;
}

// Pinyin vowels with their tone marks, tones 1 to 4.
char32_t MarkedVowel(char vowel, int tone) {
    static constexpr char32_t kA[] = {0x101, 0xE1, 0x1CE, 0xE0}, kE[] = {0x113, 0xE9, 0x11B, 0xE8},
                              kI[] = {0x12B, 0xED, 0x1D0, 0xEC}, kO[] = {0x14D, 0xF3, 0x1D2, 0xF2},
                              kU[] = {0x16B, 0xFA, 0x1D4, 0xF9}, kV[] = {0x1D6, 0x1D8, 0x1DA, 0x1DC};
    switch (vowel) {
        case 'a': return kA[tone - 1];
        case 'e': return kE[tone - 1];
        case 'i': return kI[tone - 1];
        case 'o': return kO[tone - 1];
        case 'u': return kU[tone - 1];
        case '\xFC': return kV[tone - 1];
        default: return 0;
    }
}

// Where the tone mark goes: on a or e; on the o of ou; else on the last vowel.
std::size_t MarkPosition(std::string_view syllable) {
    if (std::size_t a = syllable.find('a'); a != std::string_view::npos) return a;
    if (std::size_t e = syllable.find('e'); e != std::string_view::npos) return e;
    if (std::size_t ou = syllable.find("ou"); ou != std::string_view::npos) return ou;
    const std::size_t last = syllable.find_last_of("iou\xFC");
    return last;
}

// Splits a Pinyin word into exactly `count` syllables, apostrophes as forced
// boundaries; false when it cannot.
bool SplitPinyin(const Lexicon& lex, std::string_view word, std::size_t count, std::vector<std::string_view>& parts) {
    parts.clear();
    constexpr std::size_t kLongest = 6, kMost = 16;
    if (count == 0 || count > kMost || word.size() > 96) return false;
    // can[i][n]: word[i..] splits into n syllables.
    bool can[97][kMost + 1] = {};
    can[word.size()][0] = true;
    for (std::size_t i = word.size(); i-- > 0;) {
        if (word[i] == '\'') continue;
        for (unsigned lengths = lex.PinyinPrefixes(word.substr(i)); lengths; lengths &= lengths - 1) {
            std::size_t next = i + static_cast<std::size_t>(__builtin_ctz(lengths));
            if (next < word.size() && word[next] == '\'') ++next;
            for (std::size_t n = 0; n < kMost; ++n) can[i][n + 1] = can[i][n + 1] || can[next][n];
        }
    }
    if (!can[0][count]) return false;
    std::size_t i = 0;
    for (std::size_t n = count; n > 0; --n) {
        const unsigned lengths = lex.PinyinPrefixes(word.substr(i));
        for (std::size_t len = kLongest; len >= 1; --len) {
            if (!(lengths >> len & 1)) continue;
            std::size_t next = i + len;
            if (next < word.size() && word[next] == '\'') ++next;
            if (can[next][n - 1]) {
                parts.push_back(word.substr(i, len));
                i = next;
                break;
            }
        }
    }
    return true;
}

char32_t CodePointOf(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    if (b == 0x91 || b == 0x92) return '\'';
    return b;  // ASCII, and ü (0xFC), ê (0xEA) as Latin-1
}

// A value of the word table in lower case (names are stored capitalized).
std::string_view ScopeConverter::LowerValue(std::string_view value) {
    w_.value.assign(value);
    for (char& c : w_.value) {
        const auto b = static_cast<unsigned char>(c);
        c = static_cast<char>(b == 0xDC || b == 0xCA ? b + 0x20 : FoldCase(b));
    }
    return w_.value;
}

void ScopeConverter::BuildWord(const Run& run, std::string_view value, std::string& out) {
    const bool keep = options_.hyphens == HyphenStyle::Keep;
    std::vector<std::string_view>& parts = w_.parts;
    parts.clear();
    bool split = true;
    if (value.empty()) {
        for (std::uint32_t k = 0; k < run.syllableCount; ++k) parts.push_back(w_.syllables[run.firstSyllable + k].pinyin);
    } else if ((run.tones || keep) && SplitPinyin(lex_, LowerValue(value), run.syllableCount, parts)) {
    } else {
        parts.assign(1, LowerValue(value));
        split = run.syllableCount == 1;
    }
    // Written straight out, raised as the word's case says: every letter,
    // or the first only.
    bool raise = run.caseStyle != CaseStyle::Lower;
    const bool raiseAll = run.caseStyle == CaseStyle::AllCaps;
    auto letter = [&](char32_t c) {
        if (raise) {
            // Only letters have capitals: a table's value may begin with a
            // hyphen, a digit or a control byte, which stay as they are.
            if (c >= 'a' && c <= 'z') {
                c -= 0x20;
            } else if (c >= 0x80) {
                c = static_cast<char32_t>(utf8proc_toupper(static_cast<utf8proc_int32_t>(c)));
            }
            raise = raiseAll;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            AppendUtf8(out, c);
        }
    };
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const Syllable& s = w_.syllables[run.firstSyllable + (split ? k : 0)];
        const std::string_view part = parts[k];
        if (k > 0 && split) {
            if (keep) {
                AppendUtf8(out, s.separator);
            } else if (!part.empty() && (part[0] == 'a' || part[0] == 'o' || part[0] == 'e')) {
                out += '\'';
            }
        }
        const int tone = split ? s.tone : 0;
        std::size_t mark = std::string_view::npos;
        bool number = tone != 0 && options_.tones == ToneStyle::Numbers;
        if (tone >= 1 && tone <= 4 && options_.tones == ToneStyle::Marks) {
            mark = MarkPosition(part);
            const char32_t marked = mark == std::string_view::npos ? 0 : MarkedVowel(part[mark], tone);
            // Windows-1252 holds only the rising and falling marks (á, à).
            if (!marked || (options_.encoding == TextEncoding::Cp1252 && marked > 0xFF)) {
                mark = std::string_view::npos;
                number = true;
            }
        }
        for (std::size_t i = 0; i < part.size(); ++i) {
            const char32_t c = i == mark ? MarkedVowel(part[i], tone) : CodePointOf(part[i]);
            if (c == '\'') {
                out += '\'';
            } else if (c == ' ') {
                // A value of several words for one ("Hwangho" is "Huang He"):
                // each word takes the case the first one does.
                out += ' ';
                raise = run.caseStyle != CaseStyle::Lower;
            } else {
                letter(c);
            }
        }
        if (number) AppendUtf8(out, options_.tones == ToneStyle::Numbers ? s.toneChar : char32_t('0' + tone));
    }
    out.append(text_.substr(run.baseEnd, run.end - run.baseEnd));
}

std::string ScopeConverter::Alternatives(std::size_t first, std::size_t last) const {
    std::string out;
    for (std::size_t r = first; r <= last; ++r) {
        const Run& run = w_.runs[r];
        for (std::uint32_t k = 0; k < run.syllableCount; ++k) {
            const Syllable& s = w_.syllables[run.firstSyllable + k];
            const std::string_view spelling = std::string_view(w_.norm).substr(s.norm, s.normLength);
            auto it = lex_.alternatives.find(spelling);
            if (it == lex_.alternatives.end()) continue;
            std::string entry;
            for (char ch : spelling) AppendUtf8(entry, CodePointOf(ch));
            entry += ": ";
            for (char ch : it->second) AppendUtf8(entry, CodePointOf(ch));
            if (out.find(entry) != std::string::npos) continue;
            if (!out.empty()) out += "; ";
            out += entry;
        }
    }
    return out;
}

void ScopeConverter::Write(std::string& out, std::vector<ReportRecord>* report) {
    std::uint32_t copied = 0;
    auto record = [&](std::size_t first, std::size_t last, Decision decision, bool ambiguous, std::size_t resultFrom) {
        if (!report) return;
        ReportRecord r;
        Advance(w_.runs[first].begin);
        r.line = position_->line;
        r.column = position_->column;
        r.original.assign(text_.substr(w_.runs[first].begin, w_.runs[last].end - w_.runs[first].begin));
        r.result = resultFrom == std::string::npos ? r.original : out.substr(resultFrom);
        r.decision = decision;
        r.ambiguous = ambiguous;
        if (decision == Decision::WordTable || decision == Decision::Syllables) r.alternatives = Alternatives(first, last);
        report->push_back(std::move(r));
    };
    for (std::size_t i = 0; i < w_.runs.size(); ++i) {
        const Run& run = w_.runs[i];
        if (run.unitEnd > i) {
            const std::size_t last = run.unitEnd - 1;
            const Decision decision = run.established ? Decision::Established : DecideUnit(i, last);
            const bool convert = decision == Decision::WordTable ||
                                 (decision == Decision::Established && options_.convertConventional);
            if (!convert) {
                record(i, last, decision, false, std::string::npos);
                if (decision == Decision::Established && report) {
                    // The Pinyin it stands for, for the reviewer.
                    for (char c : run.wordValue) AppendUtf8(report->back().alternatives, CodePointOf(c));
                }
                i = last;
                continue;
            }
            out.append(text_.substr(copied, run.begin - copied));
            const std::size_t from = out.size();
            std::string_view value = run.wordValue;
            const bool perWord = static_cast<std::size_t>(std::count(value.begin(), value.end(), ' ')) == last - i;
            if (!perWord) {
                // "Port Arthur" is "Lüshun": the whole value for the whole name.
                BuildWord(run, value, out);
                const Run& end = w_.runs[last];
                if (last > i) out.append(text_.substr(end.baseEnd, end.end - end.baseEnd));
            } else {
                for (std::size_t k = i; k <= last; ++k) {
                    const std::size_t space = value.find(' ');
                    if (k > i) out.append(text_.substr(w_.runs[k - 1].end, w_.runs[k].begin - w_.runs[k - 1].end));
                    BuildWord(w_.runs[k], value.substr(0, space), out);
                    value = space == std::string_view::npos ? std::string_view() : value.substr(space + 1);
                }
            }
            copied = w_.runs[last].end;
            record(i, last, decision, false, from);
            i = last;
            continue;
        }
        if (!run.candidate) {
            // Half Wade-Giles: reported so that a reviewer sees it was left.
            if (run.shaped && !run.glued && run.syllableCount > 1) {
                bool chinese = false;
                for (std::uint32_t k = 0; k < run.syllableCount; ++k) {
                    const Syllable& s = w_.syllables[run.firstSyllable + k];
                    const std::string_view spelling = std::string_view(w_.norm).substr(s.norm, s.normLength);
                    chinese = chinese || (!lex_.Syllable(spelling).empty() && lex_.English(spelling) == EnglishKind::None);
                }
                if (chinese) record(i, i, Decision::NotWadeGiles, false, std::string::npos);
            }
            continue;
        }
        bool ambiguous = false;
        const Decision decision = Decide(i, ambiguous);
        if (decision != Decision::WordTable && decision != Decision::Syllables) {
            if (decision == Decision::Pinyin || run.caseStyle != CaseStyle::Lower || run.syllableCount > 1 || ambiguous)
                record(i, i, decision, ambiguous, std::string::npos);
            continue;
        }
        out.append(text_.substr(copied, run.begin - copied));
        const std::size_t from = out.size();
        // A place written without hyphens (Honan) is not syllables: its value.
        BuildWord(run, run.syllableCount > 1 || !run.allSyllables ? run.wordValue : std::string_view(), out);
        copied = run.end;
        record(i, i, decision, ambiguous, from);
    }
    out.append(text_.substr(copied));
}

}  // namespace

void ConvertScope(const Lexicon& lexicon, const TextOptions& options, std::string_view text, bool startsInsideRun,
                  TextPosition& position, ScopeWork& work, std::string& out, std::vector<ReportRecord>* report) {
    ScopeConverter converter(lexicon, options, text, work, report ? &position : nullptr);
    converter.FindRuns(startsInsideRun);
    converter.ReadRuns();
    converter.FormGroups();
    converter.MatchKeysAcrossWords();
    converter.Write(out, report);
    converter.Finish();
}

}  // namespace kesti
