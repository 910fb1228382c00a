#include "api/pass.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "table/bits.h"
#include "table/index.h"
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
    std::uint64_t run;         // the run's folded letters, zero past them; 0 for an empty slot
    std::uint32_t value;       // as IndexStep::value, of the key matched in the run; 0 for none
    std::uint16_t valueLength; // at most sixteen
    unsigned char next;        // the byte after the run
    unsigned char offset;      // where in the run the key begins
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
inline char RaisedAfter(unsigned char input, unsigned char f) {
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
    const auto from = reinterpret_cast<const char*>(
        ((reinterpret_cast<std::uintptr_t>(text) + known.value - 1) & matched) |
        (reinterpret_cast<std::uintptr_t>(p + known.offset) & ~matched));
    const std::size_t length = (known.valueLength & matched) | ((runLength - known.offset) & ~matched);
    std::memcpy(st, from, 16);
    // A run copied as it is begins with its own letter, which RaisedAfter
    // then leaves alone.
    st[0] = RaisedAfter(static_cast<unsigned char>(p[known.offset]), static_cast<unsigned char>(from[0]));
    if (IsUpper(static_cast<unsigned char>(p[runLength - 1])) && known.value) RaiseAll(st, length);
    return st + length;
}

// The pass with the lookup index, over all but the input's last sixteen
// bytes: it leaves `cursor` and `written` where the byte-at-a-time loop
// below is to go on (near the end of the input, or where the output is
// nearly full). It converts exactly as that loop does, a run of letters at
// a time: the bytes between runs are copied sixteen at a time; a run met
// before is settled by the memo; otherwise its first letter is looked up
// at once through the index's first step, and, when nothing matches there,
// the letters inside it one by one where a key could end with the run.
void IndexedPass(const ConversionTable& table, const char* input, std::size_t size, std::size_t stop,
                 char* output, std::size_t capacity, std::size_t& cursor, std::size_t& written) {
    const LookupIndex& index = *table.index;
    // The most output one turn of the loop below commits before it looks
    // at the room left again: up to sixteen bytes between runs, then a value
    // after up to seven letters.
    const std::size_t piece = table.maxValueLength + 24;
    if (piece > kStaging / 2 || size < 16 || cursor >= stop) return;
    const std::size_t end = std::min(stop, size - 16);
    char stage[kStaging + kStagingSlack];
    char* st = stage;
    char* stLimit = stage;  // another piece may be staged while st <= stLimit
    std::size_t pos = cursor;
    // A slot for every 16 input bytes, up to kMemoSlots, so that a short
    // input does not pay for clearing a large memo. Without memory for it,
    // runs are looked up letter by letter.
    std::size_t memoSlots = 64;
    while (memoSlots < kMemoSlots && memoSlots * 16 < end - pos) memoSlots *= 2;
    auto* memo = static_cast<RunMemo*>(std::calloc(memoSlots, sizeof(RunMemo)));
    auto* stepMemo = static_cast<StepMemo*>(std::calloc(memoSlots, sizeof(StepMemo)));
    // The memo is asked before the index where runs mostly settle lookups
    // alone, once the input is long enough for words to recur: in a short
    // one most runs are met for the first time, and asking first would only
    // add a probe to each.
    const bool memoFirst = memo && stepMemo && index.runsAlone && pos + kMemoFirstFrom <= end;

    // Copies what is staged to the output; false when the output has no
    // room left for another piece.
    auto flush = [&]() -> bool {
        const auto staged = static_cast<std::size_t>(st - stage);
        std::memcpy(output + written, stage, staged);
        written += staged;
        st = stage;
        const std::size_t room = std::min(kStaging, capacity - written);
        if (room < piece) return false;
        stLimit = stage + (room - piece);
        return true;
    };

    // Stages `value` in the case of the `consumed` input bytes at `p`.
    auto emit = [&](const char* value, std::size_t valueLength, const char* p, std::size_t consumed) {
        // The table's text is padded, so sixteen bytes of any value can be read.
        if (valueLength <= 16) {
            std::memcpy(st, value, 16);
        } else {
            std::memcpy(st, value, valueLength);
        }
        if (IsUpper(static_cast<unsigned char>(p[consumed - 1]))) {
            RaiseAll(st, valueLength);
        } else {
            st[0] = RaisedAfter(static_cast<unsigned char>(p[0]), static_cast<unsigned char>(value[0]));
        }
        st += valueLength;
    };

    auto apply = [&](const RunMemo& known, std::size_t runLength) {
        st = StageKnownRun(known, input + pos, runLength, table.text, st);
        pos += runLength;
    };

    // The longest acceptable key at `at`, where a run of `run` letters
    // begins with sixteen bytes readable from it: stages its value and
    // moves past it, or returns false. Where the run alone settles it, the
    // next cursor follows from the run's length without waiting for the
    // table. `walked` is set when the lookup read past the byte after the
    // run; `foundValue` and `foundLength` receive the value's otherwise.
    bool walked = false;
    std::uint32_t foundValue = 0, foundLength = 0;
    // Where the lookup at a run's first letter went on to read exactly the
    // next step and the byte after it: that step, and where it ends.
    bool secondRead = false;
    std::uint64_t second = 0;
    std::size_t secondEnd = 0;
    unsigned char secondAfter = 0;
    auto matchAt = [&](std::size_t at, std::size_t run) -> bool {
        const char* p = input + at;
        // Letters only: setting bit 5 folds them.
        std::uint64_t step = LoadWord(p) | 0x20 * kEveryByte;
        const std::size_t length = run < 8 ? run : 8;
        if (run < 8) step &= (std::uint64_t{1} << (8 * run)) - 1;
        const IndexStep* first = FindStep(index, step, run > 8 ? 1 : 0);
        if (!first) return false;  // no key begins with the run
        const char* value;
        std::size_t valueLength, consumed = length;
        // After a run of up to eight letters comes a byte that is no letter
        // (a longer run always goes on, with a letter).
        if (run <= 8 && !(first->next >> (static_cast<unsigned char>(p[length]) & 31) & 1)) {
            // The run alone: no longer key goes on past it here.
            if (!first->value) return false;
            value = table.text + first->value - 1;
            valueLength = ValueLength(table, *first);
            foundValue = first->value;
            foundLength = static_cast<std::uint32_t>(valueLength);
        } else {
            walked = true;
            secondRead = false;
            StepMatch best;
            if (first->value) best = {first->value, ValueLength(table, *first), length};
            // The next step, read from the input as WalkSteps reads it.
            const Step next = ReadStep(p + length);
            const std::size_t secondLength = run < 8 && !first->tail && !next.goesOn ? next.length : 0;
            second = next.step;
            if (secondLength == 0) {
                WalkSteps(table, p, size - at, length, first, true, best);
            } else {
                // The next step at once; further only where a key goes on.
                const IndexStep* two = FindStep(index, second, StepsAfter(index, first));
                const std::size_t twoEnd = length + secondLength;
                secondAfter = static_cast<unsigned char>(p[twoEnd]);
                if (two && two->value && AcceptedBefore(secondAfter, false))
                    best = {two->value, ValueLength(table, *two), twoEnd};
                if (two && secondAfter != 0 && (two->next & NextBit(secondAfter))) {
                    WalkSteps(table, p, size - at, twoEnd, two, false, best);
                } else {
                    secondRead = true;
                    secondEnd = twoEnd;
                }
            }
            if (!best.value) return false;
            foundValue = best.value;
            foundLength = best.valueLength;
            value = table.text + best.value - 1;
            valueLength = best.valueLength;
            consumed = best.length;
        }
        emit(value, valueLength, p, consumed);
        pos = at + consumed;
        return true;
    };

    // Bit i: input[pos + i] is a letter, for the first `window` bits. A run
    // the memo settles leaves the bits after it for the next turn, which
    // then reads the input again only when fewer than eight are left (most
    // words are shorter); any other way past a run forgets them.
    unsigned letters = 0;
    std::size_t window = 0;
    if (flush()) {
        while (pos < end) {
            if (st > stLimit && !flush()) break;
            if (window < 8) {
                letters = LetterMask(input + pos);
                window = 16;
            }
            if (!(letters & 1)) {
                // Bytes that are no letters, up to the next letter.
                std::memcpy(st, input + pos, 16);
                const std::size_t n = std::min<std::size_t>(
                    static_cast<std::size_t>(std::countr_zero(letters | 1u << window)), end - pos);
                st += n;
                pos += n;
                letters >>= n;
                window -= n;
                if (window == 0 || pos >= end) continue;
            }
            // The run of letters at pos: from sixteen bits read afresh where
            // it reaches past those known, and further where it fills them.
            std::size_t runLength = static_cast<std::size_t>(std::countr_one(letters));
            if (runLength >= window && window < 16) {
                letters = LetterMask(input + pos);
                window = 16;
                runLength = static_cast<std::size_t>(std::countr_one(letters));
            }
            // (No bits are known after a run that fills them: no shift then.)
            const unsigned lettersAfter = letters >> (runLength < 16 ? runLength : 0);
            const std::size_t windowAfter = runLength < window ? window - runLength : 0;
            window = 0;
            if (runLength >= 16) {
                runLength = 0;
                for (;;) {
                    if (pos + runLength + 16 > size) {
                        while (pos + runLength < size && IsLetter(static_cast<unsigned char>(input[pos + runLength])))
                            ++runLength;
                        break;
                    }
                    const auto more = static_cast<std::size_t>(std::countr_one(LetterMask(input + pos + runLength)));
                    runLength += more;
                    if (more < 16) break;
                }
            }
            // The memo, asked first or only for runs whose first letter
            // begins no key.
            const std::size_t start = pos, runEnd = pos + runLength;
            const unsigned char next = runEnd < size ? static_cast<unsigned char>(input[runEnd]) : 0;
            RunMemo* slot = nullptr;
            std::uint64_t run = 0;
            auto recall = [&] {
                if (!memo || runLength >= 8) return false;
                run = (LoadWord(input + start) | 0x20 * kEveryByte) & ((std::uint64_t{1} << (8 * runLength)) - 1);
                slot = memo + MemoSlot(run, next, memoSlots);
                return slot->run == run && slot->next == next;
            };
            if (memoFirst && recall()) {
                if (slot->offset != kGoesOn) {
                    apply(*slot, runLength);
                    letters = lettersAfter;
                    window = windowAfter;
                    continue;
                }
                const Step step = ReadStep(input + runEnd);
                const auto after = static_cast<unsigned char>(input[runEnd + step.length]);
                const StepMemo& known = stepMemo[MemoSlot(run, step.step, after, memoSlots)];
                if (!step.goesOn && known.run == run && known.second == step.step && known.after == after) {
                    if (known.consumed != 0) {
                        emit(table.text + known.value - 1, known.valueLength, input + pos, known.consumed);
                        pos += known.consumed;
                    } else {
                        apply({run, known.value, known.valueLength, next, known.offset}, runLength);
                    }
                    continue;
                }
            }
            walked = false;
            secondRead = false;
            foundValue = 0;
            if (matchAt(start, runLength)) {
                if (slot && foundLength <= 16) {
                    if (!walked) {
                        *slot = {run, foundValue, static_cast<std::uint16_t>(foundLength), next, 0};
                    } else if (memoFirst && secondRead && pos - start <= 255) {
                        *slot = {run, 0, 0, next, kGoesOn};
                        stepMemo[MemoSlot(run, second, secondAfter, memoSlots)] = {
                            run, second, foundValue, static_cast<unsigned char>(foundLength), secondAfter,
                            static_cast<unsigned char>(pos - start), 0};
                    }
                }
                continue;
            }
            // No key at the run's start: the letters inside it. Where the
            // lookup there read the next step too, what they come to goes
            // into the StepMemo, for runs with that step after them.
            StepMemo* stepSlot = nullptr;
            RunMemo* goesOn = nullptr;
            if (walked) {
                if (memoFirst && secondRead && slot) {
                    stepSlot = stepMemo + MemoSlot(run, second, secondAfter, memoSlots);
                    goesOn = slot;
                }
                slot = nullptr;
                walked = false;
            } else if (!memoFirst && recall()) {
                apply(*slot, runLength);
                letters = lettersAfter;
                window = windowAfter;
                continue;
            }
            const std::uint64_t stepAfter = second;
            const unsigned char byteAfterStep = secondAfter;
            // Stores what the letters inside the run came to, unless a
            // lookup there went on past the run.
            auto remember = [&](std::uint32_t value, std::uint32_t valueLength, std::size_t offset) {
                if (walked || valueLength > 16) return;
                const auto o = static_cast<unsigned char>(offset);
                if (slot) *slot = {run, value, static_cast<std::uint16_t>(valueLength), next, o};
                if (stepSlot) {
                    *goesOn = {run, 0, 0, next, kGoesOn};
                    *stepSlot = {run, stepAfter, value, static_cast<unsigned char>(valueLength), byteAfterStep, 0, o};
                }
            };
            *st++ = input[pos++];
            bool settled = true;  // the run was converted to its end in this loop
            bool matchedInside = false;
            while (pos < runEnd) {
                if (pos >= end || (st > stLimit && !flush())) {
                    settled = false;
                    break;
                }
                const std::size_t at = pos;
                if (MatchPossible(table, runEnd - at) && MayBeginKey(index, input + at, size - at) &&
                    matchAt(at, runEnd - at)) {
                    remember(foundValue, foundLength, at - start);
                    matchedInside = true;
                    break;
                }
                *st++ = input[pos++];
            }
            if (settled && !matchedInside) remember(0, 0, 0);
            if (!settled) break;
        }
        const auto staged = static_cast<std::size_t>(st - stage);
        std::memcpy(output + written, stage, staged);
        written += staged;
    }
    std::free(memo);
    std::free(stepMemo);
    cursor = pos;
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

PassProgress RunConversionPass(const ConversionTable& table, const char* input, std::size_t size,
                               bool final, char* output, std::size_t capacity) {
    std::size_t stop = size;
    if (!final) stop = size > table.maxKeyLength ? size - table.maxKeyLength : 0;
    std::size_t cursor = 0, written = 0;
    if (table.index && table.maxKeyLength <= kLongKeyLength)
        IndexedPass(table, input, size, stop, output, capacity, cursor, written);
    LookupScan scan;
    while (cursor < stop) {
        MatchResult match;
        const bool matched = IsLetter(static_cast<unsigned char>(input[cursor])) &&
                             (!table.index || MayBeginKey(*table.index, input + cursor, size - cursor)) &&
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
