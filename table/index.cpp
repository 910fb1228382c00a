// Building the lookup index: a hash table of the keys' steps.
//
// The records are sorted by folded key, so a key shares most of its steps
// with the key before it: the steps that both keys hold, down to the byte
// that ends each of them, are the same entries, and only the rest are
// looked up or added. The work is one read of every key byte and about one
// probe per distinct sequence of steps, however long a key is.
#include "table/index.h"

#include <bit>
#include <cstdlib>
#include <cstring>

#include "table/bits.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

// One step of a key (see IndexStep): its word, its length, and whether it
// ends in eight bytes that a run of letters goes on past.
struct KeyStep {
    std::uint64_t step;
    std::size_t length;
    bool goesOn;
};

// Eight bytes at a time: the table's text is padded past its last key.
KeyStep StepAt(const char* key) {
    const std::uint64_t word = LoadWord(key);
    const std::uint64_t letters = LetterBytes(word);  // a key's NUL is no letter
    std::uint64_t others = ~letters & (0x80 * kEveryByte);
    if (!(letters & 0x80)) {
        // A byte that is no letter, on its own unless letters follow it.
        if (!(letters & 0x8000)) return {static_cast<unsigned char>(key[0]), 1, false};
        others &= ~std::uint64_t{0x80};
    }
    const std::uint64_t step = word | letters >> 2;
    if (others == 0) return {step, 8, IsLetter(static_cast<unsigned char>(key[8]))};
    const std::size_t n = static_cast<std::size_t>(std::countr_zero(others)) / 8;
    return {step & ((std::uint64_t{1} << (8 * n)) - 1), n, false};
}

// The last key byte a step at `at` depends on is the one after it, which
// ends its run of letters or carries it on, or, after a byte that is no
// letter, says whether a run joins it.
std::size_t LastByteOfStep(const KeyStep& s, std::size_t at) { return at + s.length; }

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

IndexStep& FindOrAdd(LookupIndex& index, std::uint64_t step, std::uint32_t from) {
    const std::uint64_t hash = StepHash(index, step, from);
    std::size_t slot = StepSlot(index, hash);
    while (index.steps[slot].step != 0 && (index.steps[slot].step != step || index.steps[slot].from != from))
        slot = (slot + 1) & index.stepMask;
    IndexStep& entry = index.steps[slot];
    entry.step = step;
    entry.from = from;
    index.filter[FilterWord(index, hash)] |= FilterBits(hash);
    return entry;
}

}  // namespace

bool BuildLookupIndex(ConversionTable& table) {
    if (table.index) return true;
    const std::size_t words = table.maxKeyLength / 64 + 1;
    auto* runLengths = static_cast<std::uint64_t*>(std::calloc(words, sizeof(std::uint64_t)));
    auto* index = static_cast<LookupIndex*>(std::malloc(sizeof(LookupIndex)));
    if (!runLengths || !index) {
        std::free(runLengths);
        std::free(index);
        return false;
    }
    index->runLengths = runLengths;
    std::memset(index->pairs, 0, sizeof index->pairs);
    // A bound on the distinct sequences of steps: the steps of each key
    // that the key before it does not share.
    std::size_t bound = 0;
    const char* previous = kNoKey;
    for (std::size_t i = 0; i < table.count; ++i) {
        const char* key = table.records[i].key;
        const unsigned pair = KeyByte(table.records[i], 0) * 256u + (key[0] ? KeyByte(table.records[i], 1) : 0u);
        index->pairs[pair / 64] |= std::uint64_t{1} << (pair % 64);
        if (!IsLetter(static_cast<unsigned char>(key[0]))) continue;
        std::size_t letters = 1;
        while (IsLetter(static_cast<unsigned char>(key[letters]))) ++letters;
        runLengths[letters / 64] |= std::uint64_t{1} << (letters % 64);
        const std::size_t shared = SharedPrefix(key, previous);
        for (std::size_t at = 0; key[at] != '\0';) {
            const KeyStep s = StepAt(key + at);
            if (LastByteOfStep(s, at) >= shared) ++bound;
            at += s.length;
        }
        previous = key;
    }
    std::size_t slots = 16;
    // Slots three times the steps, so that most searches end at the first
    // slot; a table with more steps than any real one (a hostile file of
    // a megabyte of separate bytes) gets a fuller table instead.
    const std::size_t wanted = 3 * bound <= (std::size_t{1} << 20) ? 3 * bound : bound + bound / 4;
    while (slots < wanted) slots *= 2;
    index->steps = static_cast<IndexStep*>(std::calloc(slots, sizeof(IndexStep)));
    index->filter = static_cast<std::uint64_t*>(std::calloc(slots / 16, sizeof(std::uint64_t)));
    if (!index->steps || !index->filter) {
        std::free(index->steps);
        std::free(index->filter);
        std::free(runLengths);
        std::free(index);
        return false;
    }
    index->stepMask = slots - 1;
    index->filterMask = slots / 16 - 1;
    // Where the entries fall differs from one index to the next, so that no
    // table can be made to crowd them into one run of slots everywhere.
    index->seed = reinterpret_cast<std::uintptr_t>(index->steps) * 0x9E3779B97F4A7C15u;

    // The entries of the previous key's steps, in order.
    auto* path = static_cast<std::uint32_t*>(std::malloc((table.maxKeyLength + 1) * sizeof(std::uint32_t)));
    if (!path) {
        std::free(index->steps);
        std::free(index->filter);
        std::free(runLengths);
        std::free(index);
        return false;
    }
    previous = kNoKey;
    for (std::size_t i = 0; i < table.count; ++i) {
        const char* key = table.records[i].key;
        if (!IsLetter(static_cast<unsigned char>(key[0]))) continue;
        const std::size_t shared = SharedPrefix(key, previous);
        std::uint32_t from = 0;
        IndexStep* entry = nullptr;
        for (std::size_t at = 0, k = 0;; ++k) {
            const KeyStep s = StepAt(key + at);
            const std::uint32_t slotFrom = from + (s.goesOn ? 1 : 0);
            if (LastByteOfStep(s, at) < shared) {
                entry = index->steps + path[k];  // the previous key's step
            } else {
                entry = &FindOrAdd(*index, s.step, slotFrom);
                path[k] = static_cast<std::uint32_t>(entry - index->steps);
            }
            at += s.length;
            if (key[at] == '\0') break;
            entry->next |= NextBit(static_cast<unsigned char>(key[at]));
            from = 2 * (path[k] + 1);
        }
        // Sorted records: the last key equal to these steps is the one a lookup picks.
        entry->value = static_cast<std::uint32_t>(table.records[i].value - table.text + 1);
        entry->valueLength = static_cast<std::uint32_t>(std::strlen(table.records[i].value));
        previous = key;
    }
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

void ReleaseLookupIndex(ConversionTable& table) {
    if (!table.index) return;
    std::free(table.index->steps);
    std::free(table.index->filter);
    std::free(table.index->runLengths);
    std::free(table.index);
    table.index = nullptr;
}

}  // namespace kesti
