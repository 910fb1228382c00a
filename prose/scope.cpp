// Converting one scope, stage by stage: find and read the words
// (words.cpp), decide which are romanized Chinese (decide.cpp), then write
// the text with the converted words spelled in Pinyin (spell.cpp) and
// report them, here.
#include "prose/scope.h"

#include <algorithm>

#include "prose/chars.h"
#include "prose/decide.h"
#include "prose/spell.h"
#include "prose/words.h"
#include "text/encoding.h"
#include "text/text_rules.h"

namespace kesti {

ScopeWorkOwner::ScopeWorkOwner() : work(new ScopeWork) {}
ScopeWorkOwner::~ScopeWorkOwner() { delete work; }

namespace {

// The two readings of a word that a word-table key holds with aspiration
// apostrophes or ü the text may have dropped ("Tsai Yuan-pei", "Ts'ai
// Yüan-p'ei"), for the report: the key's, and the one as written, spelled
// from the words' syllables unless given (UTF-8). Empty where the two are
// one ("Lu Hsun" is Lu Xun either way): nothing to choose between.
std::string BothReadings(Scope& scope, std::size_t first, std::size_t last, std::string_view key,
                         std::string_view value, std::string_view written = {}) {
    const Run& run = scope.w.runs[first];
    // A key found for a capitalized word is shown capitalized: "Pingdi as
    // P'ing-ti" for "Ping-ti".
    const bool capital = IsUpper(static_cast<unsigned char>(scope.text[run.begin]));
    std::string out;
    auto append = [&](std::string_view cp1252) {
        for (std::size_t i = 0; i < cp1252.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(cp1252[i]);
            AppendUtf8(out, CodePointOf(static_cast<char>(i == 0 && capital ? ToUpper(c) : c)));
        }
    };
    append(value);
    const std::size_t valueEnd = out.size();
    out += " as ";
    append(key);
    out += "; ";
    const std::size_t writtenFrom = out.size();
    out += written;
    for (std::size_t k = first; k <= last && written.empty(); ++k) {
        if (k > first) out.append(scope.Gap(k));
        // A place written solid reads as its word-table value ("Nanzhang").
        const Run& part = scope.w.runs[k];
        SpellWord(scope, part, part.allSyllables ? std::string_view() : part.wordValue, out);
    }
    if (SameIgnoringCase(std::string_view(out).substr(0, valueEnd), std::string_view(out).substr(writtenFrom)))
        return std::string();
    out += " as written";
    return out;
}

// Reports runs first..last, as converted from `resultFrom` of `out`, or
// left as they stand (npos).
void Record(Scope& scope, const std::string& out, std::vector<ReportRecord>* report, std::size_t first,
            std::size_t last, Decision decision, bool ambiguous, std::size_t resultFrom) {
    if (!report) return;
    ScopeWork& w = scope.w;
    ReportRecord r;
    Advance(scope, w.runs[first].begin);
    r.line = scope.position->line;
    r.column = scope.position->column;
    r.original.assign(scope.text.substr(w.runs[first].begin, w.runs[last].end - w.runs[first].begin));
    r.result = resultFrom == std::string::npos ? r.original : out.substr(resultFrom);
    r.decision = decision;
    r.ambiguous = ambiguous;
    if (decision == Decision::WordTable || decision == Decision::Syllables) {
        const Run& run = w.runs[first];
        if (!run.degradedKey.empty()) {
            r.alternatives = BothReadings(scope, first, last, run.degradedKey, run.degradedValue);
            r.ambiguous = r.ambiguous || !r.alternatives.empty();
        } else {
            bool dropped = false;
            r.alternatives = Alternatives(scope, first, last, decision == Decision::WordTable, dropped);
            r.ambiguous = r.ambiguous || dropped;
            // A word the word table holds as written may also be another
            // key with its marks dropped: "Peitou" is Beidou, or Beitou
            // (Pei-t'ou).
            const Lexicon::Degraded* other =
                r.alternatives.empty() && first == last && !run.wordValue.empty() && !WritesMarks(scope, run)
                    ? scope.lex.DegradedKey(scope.Lower(run))
                    : nullptr;
            if (other && !SameIgnoringCase(other->value, run.wordValue)) {
                r.alternatives = BothReadings(scope, first, last, other->key, other->value, r.result);
                r.ambiguous = r.ambiguous || !r.alternatives.empty();
            }
        }
    }
    report->push_back(std::move(r));
}

// A conversion that is the same letters as `original` is undone: the word
// stays as written.
void KeepIfSameLetters(std::string& out, std::size_t from, std::string_view original) {
    if (SameIgnoringCase(std::string_view(out).substr(from), original)) {
        out.resize(from);
        out.append(original);
    }
}

// Writes one word converted. A word met before is written as it was then,
// unless a key across words gave it another value here, or its name group
// its case ("I" among capitals).
void WriteWord(Scope& scope, const Run& run, std::string& out) {
    const std::size_t from = out.size();
    // A word no key holds as written but one does with the marks a text
    // drops may be read as that key (Chien-lung, Ch'ien-lung).
    const std::string_view value = run.readDegraded ? run.degradedValue : run.wordValue;
    WordCache& cache = scope.w.words;
    WordCache::Entry* known = run.reading != kNone ? &cache.entries[run.reading] : nullptr;
    if (known &&
        (known->run.wordValue.data() != value.data() || known->run.caseStyle != run.caseStyle || run.spelledByPlace))
        known = nullptr;
    if (known && known->spelled != UINT32_MAX) {
        out.append(cache.bytes, known->spelled, known->spelledLength);
        return;
    }
    // A place written without hyphens (Honan) is not syllables: its value.
    SpellWord(scope, run, run.syllableCount > 1 || !run.allSyllables || run.readDegraded ? value : std::string_view(),
              out);
    KeepIfSameLetters(out, from, scope.text.substr(run.begin, run.end - run.begin));
    if (known) {
        known->spelled = static_cast<std::uint32_t>(cache.bytes.size());
        known->spelledLength = static_cast<std::uint32_t>(out.size() - from);
        cache.bytes.append(out, from, out.size() - from);
    }
}

// Writes runs first..last converted, the gaps between them as they stand.
void WriteConverted(Scope& scope, std::size_t first, std::size_t last, std::string& out) {
    ScopeWork& w = scope.w;
    const Run& run = w.runs[first];
    if (last == first) {
        WriteWord(scope, run, out);
        return;
    }
    std::string_view value = run.wordValue;
    const std::size_t from = out.size();
    if (run.givenApart) {
        // "Mao Tse Tung": the surname, then the given name once for its
        // two words.
        const std::size_t space = value.find(' ');
        SpellWord(scope, run, value.substr(0, space), out);
        out.append(scope.Gap(first + 1));
        SpellWord(scope, w.runs[first + 1], value.substr(space + 1), out);
        const Run& end = w.runs[last];
        out.append(scope.text.substr(end.baseEnd, end.end - end.baseEnd));
    } else if (static_cast<std::size_t>(std::count(value.begin(), value.end(), ' ')) != last - first) {
        // "Port Arthur" is "Lüshun": the whole value for the whole name.
        SpellWord(scope, run, value, out);
        const Run& end = w.runs[last];
        out.append(scope.text.substr(end.baseEnd, end.end - end.baseEnd));
    } else {
        for (std::size_t k = first; k <= last; ++k) {
            const std::size_t space = value.find(' ');
            if (k > first) out.append(scope.Gap(k));
            SpellWord(scope, w.runs[k], value.substr(0, space), out);
            value = space == std::string_view::npos ? std::string_view() : value.substr(space + 1);
        }
    }
    KeepIfSameLetters(out, from, scope.text.substr(run.begin, w.runs[last].end - run.begin));
}

// Whether a word that is no candidate is half Wade-Giles (a syllable of it
// is Chinese and no English word): reported, so that a reviewer sees it was
// left.
bool HalfWadeGiles(Scope& scope, const Run& run) {
    if (!run.shaped || run.glued || run.syllableCount <= 1) return false;
    for (std::uint32_t k = 0; k < run.syllableCount; ++k) {
        const std::string_view spelling = scope.Spelling(scope.w.syllables[run.firstSyllable + k]);
        if (!scope.lex.Syllable(spelling).empty() && !IsEnglish(scope.lex.English(spelling))) return true;
    }
    return false;
}

void Write(Scope& scope, std::string& out, std::vector<ReportRecord>* report) {
    ScopeWork& w = scope.w;
    const std::string_view text = scope.text;
    std::uint32_t copied = 0;
    auto record = [&](std::size_t first, std::size_t last, Decision decision, bool ambiguous, std::size_t resultFrom) {
        Record(scope, out, report, first, last, decision, ambiguous, resultFrom);
    };
    for (std::size_t i = 0; i < w.runs.size(); ++i) {
        const Run& run = w.runs[i];
        const std::size_t last = run.unitEnd > i ? run.unitEnd - 1 : i;
        if (run.established) {
            if (!scope.options.convertConventional) {
                record(i, last, Decision::Established, false, std::string::npos);
                // The Pinyin it stands for, for the reviewer; a surname
                // left with its established name by its syllable.
                if (report) {
                    std::string& pinyin = report->back().alternatives;
                    if (run.wordValue.empty()) SpellWord(scope, run, {}, pinyin);
                    for (char c : run.wordValue) AppendUtf8(pinyin, CodePointOf(c));
                }
                i = last;
                continue;
            }
            out.append(text.substr(copied, run.begin - copied));
            const std::size_t from = out.size();
            WriteConverted(scope, i, last, out);
            copied = w.runs[last].end;
            record(i, last, Decision::Established, false, from);
            i = last;
            continue;
        }
        if (!run.candidate) {
            if (report && HalfWadeGiles(scope, run)) record(i, i, Decision::NotWadeGiles, false, std::string::npos);
            continue;
        }
        if (!run.chinese) {
            if (run.decision == Decision::Pinyin || run.caseStyle != CaseStyle::Lower || run.syllableCount > 1 ||
                run.ambiguous || last > i)
                record(i, last, run.decision, run.ambiguous, std::string::npos);
            i = last;
            continue;
        }
        out.append(text.substr(copied, run.begin - copied));
        const std::size_t from = out.size();
        WriteConverted(scope, i, last, out);
        copied = w.runs[last].end;
        // A master's title joins the name before it: "Meng Tzu" -> "Mengzi".
        std::size_t end = last;
        if (last + 1 < w.runs.size() && w.runs[last + 1].master && w.runs[last + 1].chinese) {
            const Run& master = w.runs[last + 1];
            SpellWord(scope, master, {}, out, master.caseStyle != CaseStyle::AllCaps);
            copied = master.end;
            end = last + 1;
        }
        record(i, end, run.decision, run.ambiguous, from);
        i = end;
    }
    out.append(text.substr(copied));
}

// Whether a word may join the word before it in its name group: one that
// begins with no small letter, after blanks or a heading's comma (`gap`),
// in the same sentence.
bool JoinsBefore(std::string_view gap, std::string_view word, bool sameSentence) {
    if (!sameSentence || (word[0] >= 'a' && word[0] <= 'z')) return false;
    return gap.starts_with(',') || gap.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Whether a word may be "dynasty", told from its bytes, since the scope's
// words are not read yet: one of that length that begins with a "d", or any
// that begins outside ASCII (a full-width "ｄ").
bool MayBeDynasty(std::string_view word) {
    if (static_cast<unsigned char>(word[0]) >= 0x80) return true;
    return (word.size() == 7 || word.size() == 9) && (word[0] == 'd' || word[0] == 'D');
}

// What a word met before, read as `known`, leaves to the word after it
// before its scope can be written as it stands: whether that word joins its
// name group (kAsksJoin) or is "dynasty" (kAsksDynasty); or kConverts when
// the word itself may convert whatever follows.
constexpr unsigned kAsksJoin = 1, kAsksDynasty = 2, kConverts = 4;
unsigned AsksOfNext(const Run& known, bool sentenceStart) {
    unsigned asks = 0;
    if (known.candidate) {
        if (!EnglishWherever(known, sentenceStart)) return kConverts;
        if (known.caseStyle != CaseStyle::Lower) asks |= kAsksJoin | kAsksDynasty;
    }
    // A capitalized word may be an established spelling or one's own name
    // alone, or begin a key across the words of its name group ("Port
    // Arthur", "Mao Tse-tung").
    if (known.keyStarts & (kStartsAdded | kStartsConventional)) return kConverts;
    if (known.keyStarts) asks |= kAsksJoin;
    return asks;
}

// Whether the word after a word that `asks` it (AsksOfNext) lets the scope
// stand: the word at `next` after `gap`, or none.
bool NextAnswers(unsigned asks, std::string_view gap, std::string_view next, bool sameSentence) {
    if (next.empty()) return true;
    return !((asks & kAsksJoin) && JoinsBefore(gap, next, sameSentence)) &&
           !((asks & kAsksDynasty) && MayBeDynasty(next));
}

// Whether no word of the scope could convert, whatever the decision makes
// of the words around it, so that the scope is written as it stands
// without weighing them: most paragraphs of English hold no word that
// could convert but its function words ("to", "a", "no"). Asked of words
// the stream has met before, with no report (which lists the function
// words' readings), in the default mode (which converts a line's word
// alone in lines mode), and with English guarded.
bool NothingConverts(Scope& scope) {
    if (scope.position || scope.options.lines || !scope.options.englishGuard || scope.han) return false;
    const std::vector<Run>& runs = scope.w.runs;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run& run = runs[i];
        if (!run.shaped) continue;
        const Run* known = KnownReading(scope, run);
        if (!known) {
            // Part of an address or a path ("www", "src") is no word.
            if (IsGlued(scope, run)) continue;
            return false;
        }
        const unsigned asks = AsksOfNext(*known, run.sentenceStart);
        if (asks & kConverts) return false;
        if (asks && i + 1 < runs.size()) {
            const Run& next = runs[i + 1];
            if (!NextAnswers(asks, scope.Spaced(i + 1), scope.text.substr(next.begin, next.end - next.begin),
                             next.sentence == run.sentence))
                return false;
        }
    }
    return true;
}

// The bytes that may join two parts of a word: a hyphen, an apostrophe
// after a letter, and an entity that escapes one.
constexpr auto kMayJoin = [] {
    std::array<bool, 256> table{};
    table['-'] = table['\''] = table['`'] = table['&'] = true;
    return table;
}();

// The same question asked of the scope's bytes before its runs are found,
// and answered yes only where the answer is certain: every word plain ASCII
// met before (or part of an address), and none of them one that could
// convert where it stands.
// Most paragraphs of English prose are such, and their words are looked
// over once, with no run built. Anything else (a word not met before, a
// letter outside ASCII, an apostrophe or a dash that may join words, a
// MARC subfield's code) answers no, and the scope's runs are found and
// asked as above.
bool KnownEnglishOnly(Scope& scope, bool startsInsideRun) {
    if (scope.position || scope.options.lines || !scope.options.englishGuard || startsInsideRun) return false;
    WordCache* cache = KnownWords(scope);
    if (!cache) return false;
    const std::string_view text = scope.text;
    const std::size_t n = text.size();
    SentenceBreaks breaks;
    std::size_t before = 0, beforeEnd = 0;  // the word before, when there is one
    unsigned asks = 0;                      // what it asks of this one (AsksOfNext)
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (b == ' ' && breaks.Plain()) {
            ++i;
            continue;
        }
        if (!kAsciiWordByte[b]) {
            std::size_t length = 1;
            const char32_t c = b < 0x80 ? b : DecodeAt(text, i, length);
            if (IsWordChar(c) || IsHan(c)) return false;
            // A word right after a "$", "|" or "‡" (a MARC subfield's
            // code, a variable): asked here, not at the start of every word.
            if ((c == '$' || c == '|' || c == 0x2021) && i + length < n &&
                kAsciiWordByte[static_cast<unsigned char>(text[i + length])])
                return false;
            if (breaks.Gap(text, i, c, before, beforeEnd)) breaks.open = false;
            i += length;
            continue;
        }
        // The run as FindRuns finds it: letters and digits, joined by an
        // apostrophe after a letter or by a hyphen when a letter follows.
        const std::size_t begin = i;
        for (;;) {
            i = AsciiWordEnd(text, i);
            if (i == n) break;
            const unsigned char after = static_cast<unsigned char>(text[i]);
            if (after >= 0x80) {
                std::size_t length = 0;
                const char32_t c = DecodeAt(text, i, length);
                if (IsWordChar(c) || IsApostrophe(c) || IsHyphen(c) || c == 0x2013) return false;
                break;
            }
            // Most words end at a space or a stop: one test tells them.
            if (!kMayJoin[after]) break;
            if (after == '&') {
                // An escaped apostrophe or letter (see WordEntityAt).
                std::size_t length = 0;
                if (WordEntityAt(text, i, length)) return false;
                break;
            }
            if ((after == '-' || !IsAsciiDigit(text[i - 1])) && i + 1 < n) {
                const unsigned char next = static_cast<unsigned char>(text[i + 1]);
                if (next >= 0x80) return false;
                if (kAsciiWordByte[next] && !IsAsciiDigit(next)) {
                    i += 2;
                    continue;
                }
                // A word hyphenated at its line's end: FindRuns reads it whole.
                if (after == '-' && (next == '\n' || next == '\r')) return false;
            }
            break;
        }
        if (asks && !NextAnswers(asks, text.substr(beforeEnd, begin - beforeEnd), text.substr(begin, i - begin),
                                 breaks.open))
            return false;
        asks = 0;
        const bool sentenceStart = breaks.Word();
        before = begin;
        beforeEnd = i;
        const std::size_t length = i - begin;
        if (length > kMaxWordBytes) continue;  // no word
        const std::string_view word = text.substr(begin, length);
        const WordCache::Slot* known =
            cache->Meet(word, length <= 16 && begin + 16 <= n ? HeadAt(word.data(), length) : HeadOf(word));
        if (!known) {
            // Part of an address or a path ("www", "src") is no word.
            Run part;
            part.begin = static_cast<std::uint32_t>(begin);
            part.end = static_cast<std::uint32_t>(i);
            if (!IsGlued(scope, part)) return false;
            continue;
        }
        if (known->plain) continue;  // most words, told without reading their entry
        asks = AsksOfNext(cache->entries[known->entry - 1].run, sentenceStart);
        if (asks & kConverts) return false;
    }
    return true;
}

}  // namespace

void ConvertScope(const Lexicon& lexicon, const TextOptions& options, std::string_view text, bool startsInsideRun,
                  TextPosition& position, ScopeWork& work, std::string& out, std::vector<ReportRecord>* report) {
    Scope scope{lexicon, options, text, work, {}, false, false, report ? &position : nullptr, 0};
    if (KnownEnglishOnly(scope, startsInsideRun)) {
        out.append(text);
        return;
    }
    FindRuns(scope, startsInsideRun);
    if (NothingConverts(scope)) {
        out.append(text);
        return;
    }
    ReadRuns(scope);
    FormGroups(scope);
    MatchKeysAcrossWords(scope);
    Decide(scope);
    Write(scope, out, report);
    if (scope.position) Advance(scope, text.size());
}

bool StandsAsWritten(const Lexicon& lexicon, const TextOptions& options, std::string_view text, ScopeWork& work) {
    Scope scope{lexicon, options, text, work, {}, false, false, nullptr, 0};
    return KnownEnglishOnly(scope, false);
}

void DescribeScope(const Lexicon& lexicon, const TextOptions& options, std::string_view text, ScopeWork& work,
                   std::vector<std::vector<WordEvidence>>& sentences) {
    Scope scope{lexicon, options, text, work, {}, false, false, nullptr, 0};
    FindRuns(scope, false);
    ReadRuns(scope);
    FormGroups(scope);
    MatchKeysAcrossWords(scope);
    DescribeEvidence(scope, sentences);
}

}  // namespace kesti
