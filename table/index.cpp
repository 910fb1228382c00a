// Building the lookup index: a hash table of the keys' steps.
//
// The records are sorted by folded key, so a key shares most of its steps
// with the key before it: the steps that both keys hold, down to the byte
// that ends each of them, are the same entries, and only the rest are
// looked up or added. The work is one read of every key byte and about one
// probe per distinct sequence of steps, however long a key is. Keys are
// read nine bytes at a time (ReadStep): the table's text is padded past
// its last key.
#include "table/index.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "text/bits.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

// The last key byte a step at `at` depends on is the one after it, which
// ends its run of letters or carries it on, or, after a byte that is no
// letter, says whether a run joins it.
std::size_t LastByteOfStep(const Step& s, std::size_t at) { return at + s.length; }

// The length of the longest common prefix of two keys, folded, read eight
// bytes at a time like the steps.
std::size_t SharedPrefix(const char* a, const char* b) {
    for (std::size_t n = 0;; n += 8) {
        const std::uint64_t x = LowerCapitals(LoadWord(a + n));
        const std::uint64_t y = LowerCapitals(LoadWord(b + n));
        // 0x80 where the keys differ or `a` has ended.
        const std::uint64_t ends = (~ZeroBytes(x ^ y) & (0x80 * kEveryByte)) | ZeroBytes(x);
        if (ends != 0) return n + static_cast<std::size_t>(std::countr_zero(ends)) / 8;
    }
}

// What the first key is compared with: no key at all, and room to read.
constexpr char kNoKey[16] = {};

// The entry of `step` after `from`, made if it is not there yet (`made`
// says which).
IndexStep& FindOrAdd(LookupIndex& index, std::uint64_t step, std::uint32_t from, bool& made) {
    const std::uint64_t hash = StepHash(index, step, from);
    std::size_t slot = StepSlot(index, hash);
    while (index.steps[slot].step != 0 && (index.steps[slot].step != step || index.steps[slot].from != from))
        slot = (slot + 1) & index.stepMask;
    IndexStep& entry = index.steps[slot];
    made = entry.step == 0;
    if (made) {
        entry.step = step;
        entry.from = from;
        index.filter[FilterWord(index, hash)] |= FilterBits(hash);
    }
    return entry;
}

void SetValue(const ConversionTable& table, std::size_t record, IndexStep& entry) {
    entry.value = static_cast<std::uint32_t>(table.records[record].value - table.text + 1);
    entry.valueLength =
        static_cast<std::uint32_t>(std::min<std::size_t>(std::strlen(table.records[record].value), kLongValue));
}

// Another key goes on past `entry`, which held the rest of one key as its
// tail: that key gets the entry of its next step, which holds the rest of
// it in turn (or its value, where it ends). `at` is where the step begins.
void SplitTail(const ConversionTable& table, LookupIndex& index, IndexStep& entry, std::size_t at) {
    const std::size_t record = entry.tail - 1;
    entry.tail = 0;
    const char* key = table.records[record].key;
    const Step s = ReadStep(key + at);
    bool made;
    IndexStep& next = FindOrAdd(index, s.step, StepsAfter(index, &entry) + (s.goesOn ? 1 : 0), made);
    const auto after = static_cast<unsigned char>(key[at + s.length]);
    if (after == '\0') {
        SetValue(table, record, next);
    } else {
        next.next |= NextBit(after);
        next.tail = static_cast<std::uint32_t>(record + 1);
    }
}

}  // namespace

bool BuildLookupIndex(ConversionTable& table) {
    if (table.index) return true;
    auto* index = static_cast<LookupIndex*>(std::calloc(1, sizeof(LookupIndex)));
    if (!index) return false;
    // Per record, the length of the prefix its key shares with the key before
    // it (both beginning with a letter; those keys are side by side); and the
    // entries of the previous key's steps, in order.
    auto* shared = static_cast<std::uint32_t*>(std::calloc(table.count + 1, sizeof(std::uint32_t)));
    auto* path = static_cast<std::uint32_t*>(std::malloc((table.maxKeyLength + 1) * sizeof(std::uint32_t)));
    auto fail = [&] {
        std::free(shared);
        std::free(path);
        table.index = index;
        ReleaseLookupIndex(table);
        return false;
    };
    index->runLengths = static_cast<std::uint64_t*>(std::calloc(table.maxKeyLength / 64 + 1, sizeof(std::uint64_t)));
    if (!shared || !path || !index->runLengths) return fail();
    auto beginsWithLetter = [&](std::size_t i) {
        return i < table.count && IsLetter(static_cast<unsigned char>(table.records[i].key[0]));
    };
    const char* previous = kNoKey;
    for (std::size_t i = 0; i < table.count; ++i) {
        const char* key = table.records[i].key;
        const unsigned pair = KeyByte(table.records[i], 0) * 256u + (key[0] ? KeyByte(table.records[i], 1) : 0u);
        index->pairs[pair / 64] |= std::uint64_t{1} << (pair % 64);
        if (!IsLetter(static_cast<unsigned char>(key[0]))) continue;
        std::size_t letters = 1;
        while (IsLetter(static_cast<unsigned char>(key[letters]))) ++letters;
        index->runLengths[letters / 64] |= std::uint64_t{1} << (letters % 64);
        shared[i] = static_cast<std::uint32_t>(SharedPrefix(key, previous));
        previous = key;
    }
    // A key's steps get entries up to the first that no neighbour shares;
    // past it the rest of the key is that entry's tail, compared directly
    // with the input. Of those, the steps within the prefix shared with the
    // key before are that key's entries already. A key splits at most one
    // tail: an earlier key's steps that it shares end within that prefix
    // too (the keys between them share it), so only the step ending exactly
    // there can hold such a tail, and the key goes on differently after it.
    std::size_t bound = 0, keys = 0;
    for (std::size_t i = 0; i < table.count; ++i) {
        if (!beginsWithLetter(i)) continue;
        ++keys;
        const char* key = table.records[i].key;
        const std::size_t own = std::max<std::size_t>(shared[i], beginsWithLetter(i + 1) ? shared[i + 1] : 0);
        std::size_t steps = 1;  // the step past `own`, or the last
        for (std::size_t at = 0; key[at] != '\0';) {
            const Step s = ReadStep(key + at);
            const std::size_t last = LastByteOfStep(s, at);
            if (last > own) break;
            if (last >= shared[i]) ++steps;
            at += s.length;
        }
        bound += steps;
    }

    // Slots three times the bound for a small table, so that most searches
    // end at the first slot; a large one, which real tables fill to a
    // third at most that way, gets half as many again as its bound, to
    // keep the memory it touches down. A key splits at most one tail, so
    // the entries are at most the bound and one per key: never all slots.
    const std::size_t wanted =
        3 * bound <= (std::size_t{1} << 16) ? 3 * bound : std::max(bound + bound / 2, bound + keys + 16);
    std::size_t slots = 16;
    while (slots < wanted) slots *= 2;
    index->steps = static_cast<IndexStep*>(std::calloc(slots, sizeof(IndexStep)));
    index->filter = static_cast<std::uint64_t*>(std::calloc(slots / 16, sizeof(std::uint64_t)));
    if (!index->steps || !index->filter) return fail();
    index->stepMask = slots - 1;
    index->filterMask = slots / 16 - 1;
    // Where the entries fall differs from one index to the next, so that no
    // table can be made to crowd them into one run of slots everywhere.
    index->seed = reinterpret_cast<std::uintptr_t>(index->steps) * 0x9E3779B97F4A7C15u;

    std::size_t heads = 0, headsGoingOn = 0;  // first steps, and those that longer keys go on past
    for (std::size_t i = 0; i < table.count; ++i) {
        if (!beginsWithLetter(i)) continue;
        const char* key = table.records[i].key;
        const std::size_t own = std::max<std::size_t>(shared[i], beginsWithLetter(i + 1) ? shared[i + 1] : 0);
        std::uint32_t from = 0;
        IndexStep* entry = nullptr;
        std::size_t at = 0;
        for (std::size_t k = 0;; ++k) {
            const Step s = ReadStep(key + at);
            const std::size_t last = LastByteOfStep(s, at);
            bool made = false;
            if (last < shared[i]) {
                entry = index->steps + path[k];  // the previous key's step
            } else {
                entry = &FindOrAdd(*index, s.step, from + (s.goesOn ? 1 : 0), made);
                path[k] = static_cast<std::uint32_t>(entry - index->steps);
            }
            if (k == 0 && made) ++heads;
            at += s.length;
            if (key[at] == '\0') break;
            if (k == 0 && entry->next == 0 && !entry->tail) ++headsGoingOn;
            entry->next |= NextBit(static_cast<unsigned char>(key[at]));
            if (entry->tail) {
                SplitTail(table, *index, *entry, at);
            } else if (made && last >= own) {
                entry->tail = static_cast<std::uint32_t>(i + 1);
                break;
            }
            from = StepsAfter(*index, entry);
        }
        // Sorted records: the last key equal to these steps is the one a lookup picks.
        if (key[at] == '\0') SetValue(table, i, *entry);
    }
    index->runsAlone = 2 * headsGoingOn < heads;
    std::free(shared);
    std::free(path);
    table.index = index;
    return true;
}

bool IndexPaysOff(const ConversionTable& table, std::size_t inputSize) {
    // Building costs about as much as converting four bytes per record
    // without it. Keys longer than any real word make each lookup in a
    // matching run of letters cost up to the key's length; the index skips
    // most such lookups outright, so such a table gets it for any input
    // longer than a line.
    return inputSize >= 4 * table.count || (table.maxKeyLength > kLongKeyLength && inputSize > kLongKeyLength);
}

bool IndexedByRuns(const ConversionTable& table) { return table.index && table.maxKeyLength <= kLongKeyLength; }

bool RunsSettleAlone(const ConversionTable& table) { return table.index && table.index->runsAlone; }

bool KeyMayBeginAt(const ConversionTable& table, const char* p, std::size_t available) {
    return !table.index || MayBeginKey(*table.index, p, available);
}

bool KeyMayMatchAt(const ConversionTable& table, const char* p, std::size_t available, std::size_t letters) {
    return MatchPossible(table, letters) && (!table.index || MayBeginKey(*table.index, p, available));
}

bool MatchRun(const ConversionTable& table, const char* p, std::size_t available, std::size_t run, RunMatch& match) {
    const LookupIndex& index = *table.index;
    match = {};
    // The run's first step (letters only: setting bit 5 folds them).
    std::uint64_t step = LoadWord(p) | 0x20 * kEveryByte;
    const std::size_t length = run < 8 ? run : 8;
    if (run < 8) step &= (std::uint64_t{1} << (8 * run)) - 1;
    const IndexStep* first = FindStep(index, step, run > 8 ? 1 : 0);
    if (!first) return false;  // no key begins with the run
    // After a run of up to eight letters comes a byte that is no letter (a
    // longer run always goes on, with a letter).
    if (run <= 8 && !(first->next >> (static_cast<unsigned char>(p[length]) & 31) & 1)) {
        // The run alone: no longer key goes on past it here.
        if (!first->value) return false;
        match.value = first->value;
        match.valueLength = ValueLength(table, *first);
        match.consumed = length;
        return true;
    }
    match.walked = true;
    StepMatch best;
    if (first->value) best = {first->value, ValueLength(table, *first), length};
    // The next step, read from the input as WalkSteps reads it.
    const Step next = ReadStep(p + length);
    const std::size_t secondLength = run < 8 && !first->tail && !next.goesOn ? next.length : 0;
    match.second = next.step;
    if (secondLength == 0) {
        WalkSteps(table, p, available, length, first, true, best);
    } else {
        // The next step at once; further only where a key goes on.
        const IndexStep* two = FindStep(index, next.step, StepsAfter(index, first));
        const std::size_t twoEnd = length + secondLength;
        match.secondAfter = static_cast<unsigned char>(p[twoEnd]);
        if (two && two->value && AcceptedBefore(match.secondAfter, false))
            best = {two->value, ValueLength(table, *two), twoEnd};
        if (two && match.secondAfter != 0 && (two->next & NextBit(match.secondAfter))) {
            WalkSteps(table, p, available, twoEnd, two, false, best);
        } else {
            match.secondRead = true;
        }
    }
    if (!best.value) return false;
    match.value = best.value;
    match.valueLength = best.valueLength;
    match.consumed = best.length;
    return true;
}

void ReleaseLookupIndex(ConversionTable& table) {
    if (!table.index) return;
    std::free(table.index->steps);
    std::free(table.index->filter);
    std::free(table.index->runLengths);
    std::free(table.index);
    table.index = nullptr;
}

}  // namespace kesti
