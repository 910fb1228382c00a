// Spelling converted words in Pinyin.
#include "prose/spell.h"

#include <algorithm>
#include <functional>

#include <utf8proc.h>

#include "prose/chars.h"
#include "text/encoding.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

// Pinyin vowels with their tone marks, tones 1 to 4.
char32_t MarkedVowel(char vowel, int tone) {
    static constexpr char32_t kA[] = {0x101, 0xE1, 0x1CE, 0xE0}, kE[] = {0x113, 0xE9, 0x11B, 0xE8},
                              kI[] = {0x12B, 0xED, 0x1D0, 0xEC}, kO[] = {0x14D, 0xF3, 0x1D2, 0xF2},
                              kU[] = {0x16B, 0xFA, 0x1D4, 0xF9}, kV[] = {0x1D6, 0x1D8, 0x1DA, 0x1DC};
    switch (vowel) {
        case 'a':
            return kA[tone - 1];
        case 'e':
            return kE[tone - 1];
        case 'i':
            return kI[tone - 1];
        case 'o':
            return kO[tone - 1];
        case 'u':
            return kU[tone - 1];
        case '\xFC':
            return kV[tone - 1];
        default:
            return 0;
    }
}

// Where the tone mark goes: on a or e; on the o of ou; else on the last vowel.
std::size_t MarkPosition(std::string_view syllable) {
    if (std::size_t a = syllable.find('a'); a != std::string_view::npos) return a;
    if (std::size_t e = syllable.find('e'); e != std::string_view::npos) return e;
    if (std::size_t ou = syllable.find("ou"); ou != std::string_view::npos) return ou;
    return syllable.find_last_of("iou\xFC");
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

// A value of the word table in lower case (names are stored capitalized).
// Parts `lower`, a value in lower case, where the run's syllables as read
// part, if it is they joined (an apostrophe between two aside): "Ma-na-ssu"
// is "ma", "na", "si" of "manasi", where the longest syllables first would
// give "man", "a", "si".
bool PartedAsRead(const Scope& scope, const Run& run, std::string_view lower, std::vector<std::string_view>& parts) {
    parts.clear();
    std::size_t at = 0;
    for (std::uint32_t k = 0; k < run.syllableCount; ++k) {
        if (k > 0 && at < lower.size() && lower[at] == '\'') ++at;
        const std::string_view pinyin = scope.w.syllables[run.firstSyllable + k].pinyin;
        if (pinyin.empty() || lower.substr(at, pinyin.size()) != pinyin) {
            parts.clear();
            return false;
        }
        parts.push_back(lower.substr(at, pinyin.size()));
        at += pinyin.size();
    }
    if (at == lower.size()) return true;
    parts.clear();
    return false;
}

std::string_view LowerValue(Scope& scope, std::string_view value) {
    std::string& lower = scope.w.value;
    lower.assign(value);
    for (char& c : lower) {
        const auto b = static_cast<unsigned char>(c);
        c = static_cast<char>(b == 0xDC || b == 0xCA ? b + 0x20 : FoldCase(b));
    }
    return lower;
}

void AppendSpelling(std::string& out, std::string_view spelling) {
    for (char ch : spelling) AppendUtf8(out, CodePointOf(ch));
}

}  // namespace

char32_t CodePointOf(char byte) {
    const auto b = static_cast<unsigned char>(byte);
    if (b == 0x91 || b == 0x92) return '\'';
    return b;  // ASCII, and ü (0xFC), ê (0xEA) as Latin-1
}

namespace {

// Two dynasties joined by a hyphen, each with its capital ("Ming-Ch'ing
// dynasties", "SUNG-YÜAN DYNASTIES"): two names, which Pinyin joins so too
// ("Ming-Qing"), not one word. In capitals only before "dynasties", where a
// name's given name could be written so too.
bool DynastyPair(const Scope& scope, const Run& run) {
    if (run.syllableCount != 2 || run.caseStyle == CaseStyle::Lower) return false;
    const Syllable& second = scope.w.syllables[run.firstSyllable + 1];
    if (!second.separator || !IsDynasty(scope.Spelling(scope.w.syllables[run.firstSyllable])) ||
        !IsDynasty(scope.Spelling(second)))
        return false;
    const std::string_view word = scope.text.substr(run.begin, run.baseEnd - run.begin);
    if (run.caseStyle == CaseStyle::AllCaps) {
        std::string_view after = scope.text.substr(run.end);
        if (!after.starts_with(' ')) return false;
        after.remove_prefix(1);
        return after.starts_with("DYNASTIES") || after.starts_with("DYNASTY");
    }
    std::size_t at = word.find('-'), length = 1;
    if (at == std::string_view::npos) at = word.find("\u2013"), length = 3;
    return at != std::string_view::npos && at + length < word.size() && IsAsciiUpper(word[at + length]);
}

// Names of their own joined by hyphens, each with its capital ("Ch'eng-Chu
// school", "Shen-Kan-Ning", "Wei-Chin"): Pinyin keeps them apart so
// ("Cheng-Zhu"). Not a name the table holds whole, which a text may write
// so ("Kuang-Tung", Guangdong), nor a given name beside its surname ("Chou
// Tse-Tung", "Chung-Lin Tang", "Lee, Chun-Yi"), nor a master ("Lao-Tzu",
// Laozi): each is one word.
bool NamesJoined(const Scope& scope, const Run& run, std::string_view value) {
    if (run.syllableCount < 2 || run.caseStyle != CaseStyle::Capitalized || !run.capitalAfterHyphen) return false;
    if (!value.empty() && IsAsciiUpper(value[0])) return false;
    const std::string_view word = scope.text.substr(run.begin, run.baseEnd - run.begin);
    std::uint32_t capitals = 0;
    for (std::size_t at = 0; at < word.size(); ++at) {
        const std::size_t length = word[at] == '-' ? 1 : word.substr(at).starts_with("\u2013") ? 3 : 0;
        if (length == 0) continue;
        if (at + length >= word.size() || !IsAsciiUpper(word[at + length])) return false;
        ++capitals;
        at += length - 1;
    }
    if (capitals + 1 != run.syllableCount) return false;
    const std::string_view last = scope.Spelling(scope.w.syllables[run.firstSyllable + run.syllableCount - 1]);
    if (last == "tzu" || last == "tze" || last == "zi") return false;
    // One syllable said again is one name, as a pet name or a child's
    // ("Hsing-Hsing", Xingxing), not two names joined.
    if (OneSyllableAgain(scope, run)) return false;
    // Its place among the scope's runs, which its neighbours tell.
    const std::vector<Run>& runs = scope.w.runs;
    if (runs.empty() || std::less<const Run*>()(&run, runs.data()) ||
        !std::less<const Run*>()(&run, runs.data() + runs.size()))
        return false;
    const std::size_t i = static_cast<std::size_t>(&run - runs.data());
    auto besideInGroup = [&](std::size_t k) { return runs[k].group == run.group && runs[k].candidate; };
    if (run.group != kNone && ((i > 0 && besideInGroup(i - 1)) || (i + 1 < runs.size() && besideInGroup(i + 1))))
        return false;
    return i == 0 || !scope.Gap(i).starts_with(',');
}

}  // namespace

bool SpellingDependsOnPlace(const Scope& scope, const Run& run) {
    if (run.syllableCount < 2) return false;
    if (run.caseStyle == CaseStyle::AllCaps)
        return run.syllableCount == 2 && IsDynasty(scope.Spelling(scope.w.syllables[run.firstSyllable])) &&
               IsDynasty(scope.Spelling(scope.w.syllables[run.firstSyllable + 1]));
    return run.caseStyle == CaseStyle::Capitalized && run.capitalAfterHyphen;
}

void SpellWord(Scope& scope, const Run& run, std::string_view value, std::string& out, bool lower) {
    const TextOptions& options = scope.options;
    const bool keep = options.hyphens == HyphenStyle::Keep;
    std::vector<std::string_view>& parts = scope.w.parts;
    parts.clear();
    bool split = true;
    const bool pair = !lower && (DynastyPair(scope, run) || NamesJoined(scope, run, value));
    if (value.empty() || pair) {
        for (std::uint32_t k = 0; k < run.syllableCount; ++k)
            parts.push_back(scope.w.syllables[run.firstSyllable + k].pinyin);
    } else if ((run.tones || keep) && SplitPinyin(scope.lex, LowerValue(scope, value), run.syllableCount, parts)) {
    } else {
        parts.assign(1, LowerValue(scope, value));
        split = run.syllableCount == 1;
    }
    // A word hyphenated at its line's end keeps the line's end after a
    // hyphen where its syllables part there ("Wên-\nlung" -> "Wen-\nlong");
    // a value that splits into no such syllables is written whole on the
    // next line.
    std::string_view lineEnd;
    if (run.hyphenWrapped) [[unlikely]] {
        const std::string_view word = scope.text.substr(run.begin, run.end - run.begin);
        const std::size_t from = word.find_first_of("\r\n");
        std::size_t to = from;
        while (to < word.size() && (word[to] == '\r' || word[to] == '\n' || word[to] == ' ' || word[to] == '\t')) ++to;
        lineEnd = word.substr(from, to - from);
        if (!split && !PartedAsRead(scope, run, LowerValue(scope, value), parts) &&
            !SplitPinyin(scope.lex, LowerValue(scope, value), run.syllableCount, parts)) {
            out.append(lineEnd);
            parts.assign(1, LowerValue(scope, value));
            lineEnd = {};
        } else {
            split = true;
        }
    }
    // Written straight out, raised as the word's case says: every letter,
    // or the first only.
    const CaseStyle style = lower ? CaseStyle::Lower : run.caseStyle;
    bool raise = style != CaseStyle::Lower;
    const bool raiseAll = style == CaseStyle::AllCaps;
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
        AppendUtf8(out, c);
    };
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const Syllable& s = scope.w.syllables[run.firstSyllable + (split ? k : 0)];
        const std::string_view part = parts[k];
        if (k > 0 && split) {
            if (s.wrapped && !lineEnd.empty()) [[unlikely]] {
                AppendUtf8(out, s.separator);
                out.append(lineEnd);
                raise = raise || pair;
            } else if ((keep || pair) && s.separator) {
                AppendUtf8(out, s.separator);
                raise = raise || pair;
            } else if (!part.empty() && (part[0] == 'a' || part[0] == 'o' || part[0] == 'e')) {
                out += '\'';
            }
        }
        const int tone = split ? s.tone : 0;
        std::size_t mark = std::string_view::npos;
        bool number = tone != 0 && options.tones == ToneStyle::Numbers;
        if (tone >= 1 && tone <= 4 && options.tones == ToneStyle::Marks) {
            mark = MarkPosition(part);
            const char32_t marked = mark == std::string_view::npos ? 0 : MarkedVowel(part[mark], tone);
            // Windows-1252 holds only the rising and falling marks (á, à).
            if (!marked || (options.encoding == Encoding::Cp1252 && marked > 0xFF)) {
                mark = std::string_view::npos;
                number = true;
            }
        }
        for (std::size_t i = 0; i < part.size(); ++i) {
            // Once the capital is written, ASCII up to a tone mark or a
            // space goes out as it stands, at once.
            if (!raise && i != mark) {
                std::size_t end = i;
                while (end < part.size() && end != mark && static_cast<unsigned char>(part[end]) < 0x80 &&
                       part[end] != ' ')
                    ++end;
                if (end > i) {
                    out.append(part, i, end - i);
                    i = end - 1;
                    continue;
                }
            }
            const char32_t c = i == mark ? MarkedVowel(part[i], tone) : CodePointOf(part[i]);
            if (c == '\'') {
                out += '\'';
            } else if (c == ' ') {
                // A value of several words for one ("Hwangho" is "Huang He"):
                // each word takes the case the first one does.
                out += ' ';
                raise = style != CaseStyle::Lower;
            } else {
                letter(c);
            }
        }
        if (number) AppendUtf8(out, options.tones == ToneStyle::Numbers ? s.toneChar : char32_t('0' + tone));
    }
    out.append(scope.text.substr(run.baseEnd, run.end - run.baseEnd));
}

std::string Alternatives(const Scope& scope, std::size_t first, std::size_t last, bool known, bool& dropped) {
    const Lexicon& lex = scope.lex;
    std::string out;
    for (std::size_t r = first; r <= last; ++r) {
        const Run& run = scope.w.runs[r];
        for (std::uint32_t k = 0; k < run.syllableCount; ++k) {
            const std::string_view spelling = scope.Spelling(scope.w.syllables[run.firstSyllable + k]);
            const std::string_view reading = lex.Syllable(spelling);
            std::string readings;
            if (auto it = lex.alternatives.find(spelling); it != lex.alternatives.end()) readings = it->second;
            // A reading the dropped mark would give makes the word
            // ambiguous, though the other readings' table lists it already
            // ("yu": you, or yu as yü).
            auto add = [&](std::string_view other) {
                if (other.empty() || other == reading) return;
                dropped = true;
                if (readings.empty()) readings.assign(reading);
                const std::string_view listed = readings;
                for (std::size_t at = 0; at <= listed.size();) {
                    const std::size_t slash = std::min(listed.find('/', at), listed.size());
                    if (listed.substr(at, slash - at) == other) return;
                    at = slash + 1;
                }
                readings += '/';
                readings += other;
            };
            // An aspiration apostrophe the text may have dropped: ts -> ts'.
            if (!known && !WritesApostrophes(scope, run) && spelling.find('\'') == std::string_view::npos) {
                for (std::string_view initial : {"ch", "ts", "tz", "k", "p", "t"}) {
                    if (spelling.size() > initial.size() && spelling.substr(0, initial.size()) == initial &&
                        spelling[initial.size()] != 'h' && spelling[initial.size()] != 's' &&
                        spelling[initial.size()] != 'z') {
                        std::string aspirated(spelling.substr(0, initial.size()));
                        aspirated += '\'';
                        aspirated += spelling.substr(initial.size());
                        add(lex.Syllable(aspirated));
                        break;
                    }
                }
            }
            // A ü written as u: yu -> yü.
            if (!known && !WritesUmlauts(scope, run) && spelling.find('u') != std::string_view::npos) {
                std::string umlaut(spelling);
                umlaut[umlaut.find('u')] = '\xFC';
                add(lex.Syllable(umlaut));
            }
            if (readings.empty()) continue;
            std::string entry;
            AppendSpelling(entry, spelling);
            entry += ": ";
            AppendSpelling(entry, readings);
            if (out.find(entry) != std::string::npos) continue;
            if (!out.empty()) out += "; ";
            out += entry;
        }
    }
    return out;
}

}  // namespace kesti
