#include "api/pass.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "text/bits.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

// What the indexed pass gathers before it copies to the output: it writes
// a short value, and the bytes between runs of letters, sixteen bytes at a
// time whatever their length, which the caller's output may have no room
// for past its end.
constexpr std::size_t kStaging = 8192;
constexpr std::size_t kStagingSlack = 64;

// What the lookups in a run of up to seven letters came to: they depend on
// nothing but the run's letters and the byte after it, unless one of them
// went on past that byte. Words recur in real text: one probe then settles
// a run met before, all its letters included, where an ordinary word would
// take a lookup at each of its letters.
struct RunMemo {
    std::uint64_t run;          // the run's folded letters, zero past them; 0 for an empty slot
    std::uint32_t value;        // as IndexStep::value, of the key matched in the run; 0 for none
    std::uint16_t valueLength;  // at most sixteen
    unsigned char next;         // the byte after the run
    unsigned char offset;       // where in the run the key begins
};
// A RunMemo whose key goes on past the byte after the run: the lookup at
// the run's first letter read the next step as well, and what it came to is
// in the StepMemo.
constexpr unsigned char kGoesOn = 0xFF;

// What the lookups in a run came to where the one at its first letter read
// the run, the next step (the byte after the run with the letters that join
// it) and the byte after that, and no more: an aspirated syllable (ch'ang)
// or one with ü (hsüeh), or those before a hyphen, which they do not match.
struct StepMemo {
    std::uint64_t run;
    std::uint64_t second;       // the next step, as IndexStep::step
    std::uint32_t value;        // as IndexStep::value
    unsigned char valueLength;  // at most sixteen
    unsigned char after;        // the byte after the next step
    unsigned char consumed;     // the input bytes the key covers; 0 when no key matches there
    unsigned char offset;       // then: as RunMemo::offset, with value and valueLength as in a RunMemo
};

constexpr std::size_t kMemoSlots = 4096;
// A few kilobytes of text repeat most of their words: asking the memo first
// pays from about here on (a 10 KB input then converts a third faster),
// while at 1 KB, where most words are new, it costs a tenth more.
constexpr std::size_t kMemoFirstFrom = 4 * 1024;

std::size_t MemoSlot(std::uint64_t run, unsigned char next, std::size_t slots) {
    return static_cast<std::size_t>(((run ^ next) * 0x9E3779B97F4A7C15u) >> 40) & (slots - 1);
}

std::size_t MemoSlot(std::uint64_t run, std::uint64_t second, unsigned char after, std::size_t slots) {
    return static_cast<std::size_t>(((run * 0xBF58476D1CE4E5B9u + second) ^ after) * 0x9E3779B97F4A7C15u >> 40) &
           (slots - 1);
}

// `f`, a value's first byte, as it is written after the input byte
// `input`: a capital letter there makes a small letter capital. Without a
// branch, since capitals and small letters come in any order in text.
inline char RaiseAfterCapital(unsigned char input, unsigned char f) {
    const unsigned raise = static_cast<unsigned>(IsUpper(input)) & static_cast<unsigned>(f - unsigned{'a'} < 26u);
    return static_cast<char>(f - (raise << 5));
}

// The `length` staged bytes at `s` in capitals, for a key the input wrote in
// capitals.
inline void RaiseAll(char* s, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) s[i] = static_cast<char>(ToUpper(static_cast<unsigned char>(s[i])));
}

// Stages at `st` what the memo says of the run of `runLength` letters at
// `p`, and returns where staging goes on: the letters before `offset` as
// they are, then the value (of sixteen bytes at most, in `text`) of the key
// matched from there to the run's end, or with no value the rest of the run
// as it is. Nothing here branches on which, nor on the case but for a run
// that ends in a capital. Sixteen bytes can be read at p and written at st.
inline char* StageKnownRun(const RunMemo& known, const char* p, std::size_t runLength, const char* text, char* st) {
    std::memcpy(st, p, 8);
    st += known.offset;
    // Where the rest comes from and its length, chosen by masks: whether
    // a run is a syllable or an English word is as likely as not, and a
    // branch on it would often be mispredicted.
    const std::uintptr_t matched = std::uintptr_t{0} - (known.value != 0);
    const auto from =
        reinterpret_cast<const char*>(((reinterpret_cast<std::uintptr_t>(text) + known.value - 1) & matched) |
                                      (reinterpret_cast<std::uintptr_t>(p + known.offset) & ~matched));
    const std::size_t length = (known.valueLength & matched) | ((runLength - known.offset) & ~matched);
    std::memcpy(st, from, 16);
    // A run copied as it is begins with its own letter, which RaiseAfterCapital
    // then leaves alone.
    st[0] = RaiseAfterCapital(static_cast<unsigned char>(p[known.offset]), static_cast<unsigned char>(from[0]));
    if (IsUpper(static_cast<unsigned char>(p[runLength - 1])) && known.value) RaiseAll(st, length);
    return st + length;
}

// The pass with the lookup index, over all but the input's last sixteen
// bytes: it leaves `pos` and `written` where the byte-at-a-time loop below
// is to go on (near the end of the input, or where the output is nearly
// full). It converts exactly as that loop does, a run of letters at a time:
// the bytes between runs are copied sixteen at a time; a run met before is
// settled by the memo; otherwise its first letter is looked up at once
// through the index's first step, and, when nothing matches there, the
// letters inside it one by one where a key could end with the run.
//
// Output is staged first: a short value, and the bytes between runs, are
// written sixteen bytes at a time whatever their length, which the
// caller's output may have no room for past its end.
struct IndexedPass {
    IndexedPass(const ConversionTable& table, const char* input, std::size_t size, std::size_t stop, char* output,
                std::size_t capacity, std::size_t cursor, std::size_t written);
    ~IndexedPass();
    IndexedPass(const IndexedPass&) = delete;
    IndexedPass& operator=(const IndexedPass&) = delete;

    void Run();

    const ConversionTable& table;
    const char* const input;
    const std::size_t size;
    std::size_t end = 0;  // the pass stops before here
    char* const output;
    const std::size_t capacity;
    std::size_t written;
    std::size_t pos;  // the next input byte
    // The most output one turn of the loop commits before it looks at the
    // room left again: up to sixteen bytes between runs, then a value after
    // up to seven letters.
    const std::size_t piece;
    char stage[kStaging + kStagingSlack];
    char* st = stage;
    char* stLimit = stage;  // another piece may be staged while st <= stLimit
    // A slot for every 16 input bytes, up to kMemoSlots, so that a short
    // input does not pay for clearing a large memo. Without memory for it,
    // runs are looked up letter by letter.
    std::size_t memoSlots = 64;
    RunMemo* memo = nullptr;
    StepMemo* stepMemo = nullptr;
    // The memo is asked before the index where runs mostly settle lookups
    // alone, once the input is long enough for words to recur: in a short
    // one most runs are met for the first time, and asking first would only
    // add a probe to each.
    bool memoFirst = false;
    // Bit i: input[pos + i] is a letter, for the first `window` bits. A run
    // the memo settles leaves the bits after it for the next turn, which
    // then reads the input again only when fewer than eight are left (most
    // words are shorter); any other way past a run forgets them.
    unsigned letters = 0;
    std::size_t window = 0;

private:
    // The run of letters at pos, its length, and the letter bits after it.
    struct LetterRun {
        std::size_t start, length, end;
        unsigned char next;  // the byte after it
        unsigned lettersAfter;
        std::size_t windowAfter;
        std::uint64_t folded = 0;  // its letters folded, for the memo (runs of up to seven)
        RunMemo* slot = nullptr;   // its memo slot
    };

    bool Flush();
    void Emit(const char* value, std::size_t valueLength, const char* p, std::size_t consumed);
    bool Matched(std::size_t at, std::size_t run, RunMatch& match);
    bool CopyNonLetters();
    LetterRun MeasureRun();
    bool Recall(LetterRun& run);
    bool SettledByMemo(LetterRun& run);
    void Settle(const RunMemo& known, const LetterRun& run);
    bool Inside(LetterRun& run, const RunMatch& atStart);
};

IndexedPass::IndexedPass(const ConversionTable& table, const char* input, std::size_t size, std::size_t stop,
                         char* output, std::size_t capacity, std::size_t cursor, std::size_t written)
    : table(table),
      input(input),
      size(size),
      output(output),
      capacity(capacity),
      written(written),
      pos(cursor),
      piece(table.maxValueLength + 24) {
    if (piece > kStaging / 2 || size < 16 || cursor >= stop) return;
    end = std::min(stop, size - 16);
    while (memoSlots < kMemoSlots && memoSlots * 16 < end - pos) memoSlots *= 2;
    memo = static_cast<RunMemo*>(std::calloc(memoSlots, sizeof(RunMemo)));
    stepMemo = static_cast<StepMemo*>(std::calloc(memoSlots, sizeof(StepMemo)));
    memoFirst = memo && stepMemo && RunsSettleAlone(table) && pos + kMemoFirstFrom <= end;
}

IndexedPass::~IndexedPass() {
    std::free(memo);
    std::free(stepMemo);
}

// Copies what is staged to the output; false when the output has no room
// left for another piece.
inline bool IndexedPass::Flush() {
    const auto staged = static_cast<std::size_t>(st - stage);
    std::memcpy(output + written, stage, staged);
    written += staged;
    st = stage;
    const std::size_t room = std::min(kStaging, capacity - written);
    if (room < piece) return false;
    stLimit = stage + (room - piece);
    return true;
}

// Stages `value` in the case of the `consumed` input bytes at `p`.
inline void IndexedPass::Emit(const char* value, std::size_t valueLength, const char* p, std::size_t consumed) {
    // The table's text is padded, so sixteen bytes of any value can be read.
    if (valueLength <= 16) {
        std::memcpy(st, value, 16);
    } else {
        std::memcpy(st, value, valueLength);
    }
    if (IsUpper(static_cast<unsigned char>(p[consumed - 1]))) {
        RaiseAll(st, valueLength);
    } else {
        st[0] = RaiseAfterCapital(static_cast<unsigned char>(p[0]), static_cast<unsigned char>(value[0]));
    }
    st += valueLength;
}

// The longest acceptable key at `at`, where a run of `run` letters begins:
// stages its value and moves past it, or returns false.
inline bool IndexedPass::Matched(std::size_t at, std::size_t run, RunMatch& match) {
    if (!MatchRun(table, input + at, size - at, run, match)) return false;
    Emit(table.text + match.value - 1, match.valueLength, input + at, match.consumed);
    pos = at + match.consumed;
    return true;
}

// Copies the bytes that are no letters at pos, up to the next letter;
// false when the letter bits known end there or the pass does.
inline bool IndexedPass::CopyNonLetters() {
    std::memcpy(st, input + pos, 16);
    const std::size_t n =
        std::min<std::size_t>(static_cast<std::size_t>(std::countr_zero(letters | 1u << window)), end - pos);
    st += n;
    pos += n;
    letters >>= n;
    window -= n;
    return window != 0 && pos < end;
}

// The run of letters at pos: from sixteen bits read afresh where it reaches
// past those known, and further where it fills them.
inline IndexedPass::LetterRun IndexedPass::MeasureRun() {
    std::size_t length = static_cast<std::size_t>(std::countr_one(letters));
    if (length >= window && window < 16) {
        letters = LetterMask(input + pos);
        window = 16;
        length = static_cast<std::size_t>(std::countr_one(letters));
    }
    LetterRun run;
    // (No bits are known after a run that fills them: no shift then.)
    run.lettersAfter = letters >> (length < 16 ? length : 0);
    run.windowAfter = length < window ? window - length : 0;
    window = 0;
    if (length >= 16) {
        length = 0;
        for (;;) {
            if (pos + length + 16 > size) {
                while (pos + length < size && IsLetter(static_cast<unsigned char>(input[pos + length]))) ++length;
                break;
            }
            const auto more = static_cast<std::size_t>(std::countr_one(LetterMask(input + pos + length)));
            length += more;
            if (more < 16) break;
        }
    }
    run.start = pos;
    run.length = length;
    run.end = pos + length;
    run.next = run.end < size ? static_cast<unsigned char>(input[run.end]) : 0;
    return run;
}

// Whether the memo knows the run (of up to seven letters); sets its slot.
inline bool IndexedPass::Recall(LetterRun& run) {
    if (!memo || run.length >= 8) return false;
    run.folded = (LoadWord(input + run.start) | 0x20 * kEveryByte) & ((std::uint64_t{1} << (8 * run.length)) - 1);
    run.slot = memo + MemoSlot(run.folded, run.next, memoSlots);
    return run.slot->run == run.folded && run.slot->next == run.next;
}

// Stages what the memo knows of the run and moves past it.
inline void IndexedPass::Settle(const RunMemo& known, const LetterRun& run) {
    st = StageKnownRun(known, input + pos, run.length, table.text, st);
    pos += run.length;
}

// The memo asked first: true when it settled the run.
inline bool IndexedPass::SettledByMemo(LetterRun& run) {
    if (!Recall(run)) return false;
    if (run.slot->offset != kGoesOn) {
        Settle(*run.slot, run);
        letters = run.lettersAfter;
        window = run.windowAfter;
        return true;
    }
    const Step step = ReadStep(input + run.end);
    const auto after = static_cast<unsigned char>(input[run.end + step.length]);
    const StepMemo& known = stepMemo[MemoSlot(run.folded, step.step, after, memoSlots)];
    if (step.goesOn || known.run != run.folded || known.second != step.step || known.after != after) return false;
    if (known.consumed != 0) {
        Emit(table.text + known.value - 1, known.valueLength, input + pos, known.consumed);
        pos += known.consumed;
    } else {
        Settle({run.folded, known.value, known.valueLength, run.next, known.offset}, run);
    }
    return true;
}

// No key at the run's start: the letters inside it, one by one. Where the
// lookup at its start read the next step too, what they come to goes into
// the StepMemo, for runs with that step after them. False when the pass
// must stop inside the run.
bool IndexedPass::Inside(LetterRun& run, const RunMatch& atStart) {
    StepMemo* stepSlot = nullptr;
    RunMemo* goesOn = nullptr;
    if (atStart.walked) {
        if (memoFirst && atStart.secondRead && run.slot) {
            stepSlot = stepMemo + MemoSlot(run.folded, atStart.second, atStart.secondAfter, memoSlots);
            goesOn = run.slot;
        }
        run.slot = nullptr;
    }
    // Stores what the letters inside the run came to, unless a lookup
    // there went on past the run.
    bool walked = false;
    auto remember = [&](std::uint32_t value, std::uint32_t valueLength, std::size_t offset) {
        if (walked || valueLength > 16) return;
        const auto o = static_cast<unsigned char>(offset);
        if (run.slot) *run.slot = {run.folded, value, static_cast<std::uint16_t>(valueLength), run.next, o};
        if (stepSlot) {
            *goesOn = {run.folded, 0, 0, run.next, kGoesOn};
            *stepSlot = {
                run.folded, atStart.second, value, static_cast<unsigned char>(valueLength), atStart.secondAfter, 0, o};
        }
    };
    *st++ = input[pos++];
    while (pos < run.end) {
        if (pos >= end || (st > stLimit && !Flush())) return false;
        const std::size_t at = pos;
        RunMatch match;
        if (KeyMayMatchAt(table, input + at, size - at, run.end - at)) {
            const bool found = Matched(at, run.end - at, match);
            walked = walked || match.walked;
            if (found) {
                remember(match.value, match.valueLength, at - run.start);
                return true;
            }
        }
        *st++ = input[pos++];
    }
    remember(0, 0, 0);
    return true;
}

void IndexedPass::Run() {
    if (end == 0 || !Flush()) return;
    while (pos < end) {
        if (st > stLimit && !Flush()) break;
        if (window < 8) {
            letters = LetterMask(input + pos);
            window = 16;
        }
        if (!(letters & 1) && !CopyNonLetters()) continue;
        LetterRun run = MeasureRun();
        // The memo, asked first or only for runs whose first letter begins
        // no key.
        if (memoFirst && SettledByMemo(run)) continue;
        RunMatch match;
        if (Matched(run.start, run.length, match)) {
            if (run.slot && match.valueLength <= 16) {
                if (!match.walked) {
                    *run.slot = {run.folded, match.value, static_cast<std::uint16_t>(match.valueLength), run.next, 0};
                } else if (memoFirst && match.secondRead && pos - run.start <= 255) {
                    *run.slot = {run.folded, 0, 0, run.next, kGoesOn};
                    stepMemo[MemoSlot(run.folded, match.second, match.secondAfter, memoSlots)] = {
                        run.folded,
                        match.second,
                        match.value,
                        static_cast<unsigned char>(match.valueLength),
                        match.secondAfter,
                        static_cast<unsigned char>(pos - run.start),
                        0};
                }
            }
            continue;
        }
        if (!match.walked && !memoFirst && Recall(run)) {
            Settle(*run.slot, run);
            letters = run.lettersAfter;
            window = run.windowAfter;
            continue;
        }
        if (!Inside(run, match)) break;
    }
    const auto staged = static_cast<std::size_t>(st - stage);
    std::memcpy(output + written, stage, staged);
    written += staged;
}

}  // namespace

std::size_t EmitValue(const char* value, std::size_t length, CaseMode mode, char* output) {
    if (length == 0) return 0;
    switch (mode) {
        case CaseMode::AsIs:
            std::memcpy(output, value, length);
            break;
        case CaseMode::Capitalized:
            output[0] = static_cast<char>(ToUpper(static_cast<unsigned char>(value[0])));
            std::memcpy(output + 1, value + 1, length - 1);
            break;
        case CaseMode::AllCaps:
            for (std::size_t i = 0; i < length; ++i)
                output[i] = static_cast<char>(ToUpper(static_cast<unsigned char>(value[i])));
            break;
    }
    return length;
}

PassProgress RunConversionPass(const ConversionTable& table, const char* input, std::size_t size, bool final,
                               char* output, std::size_t capacity) {
    std::size_t stop = size;
    if (!final) stop = size > table.maxKeyLength ? size - table.maxKeyLength : 0;
    std::size_t cursor = 0, written = 0;
    if (IndexedByRuns(table)) {
        IndexedPass pass(table, input, size, stop, output, capacity, cursor, written);
        pass.Run();
        cursor = pass.pos;
        written = pass.written;
    }
    LookupScan scan;
    while (cursor < stop) {
        MatchResult match;
        const bool matched = IsLetter(static_cast<unsigned char>(input[cursor])) &&
                             KeyMayBeginAt(table, input + cursor, size - cursor) &&
                             LookupInScan(table, input, size, cursor, scan, match);
        if (matched) {
            const std::size_t length = match.valueLength;
            if (capacity - written < length) break;
            written += EmitValue(match.value, length, match.caseMode, output + written);
            cursor += match.consumed;
        } else {
            if (written == capacity) break;
            output[written++] = input[cursor++];
        }
    }
    return {cursor, written};
}

}  // namespace kesti
