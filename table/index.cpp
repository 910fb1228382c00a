// Building the lookup index: a tree of the keys' folded prefixes.
//
// The records are sorted by folded key, so the keys that share a prefix form
// one contiguous range, and within it the keys that end with the prefix come
// first. Each node is expanded from its range: the keys that end there name
// its record (the last of them, as in the lookup without the index), and the
// rest split by their next byte into the children, which are appended side by
// side. Nodes are expanded in the order they were made, so the work is one
// read of every key byte and the tree never needs recursion, however long a
// key is.
#include "table/index.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "text/text_rules.h"

namespace kesti {
namespace {

struct PendingNode {
    std::uint32_t node;
    std::uint32_t lo, hi;  // the records sharing the node's prefix
    std::uint32_t depth;   // the prefix's length
};

// The first `length` bytes of `key` (letters), folded, as a little-endian
// word.
std::uint64_t HeadWord(const char* key, std::size_t length) {
    std::uint64_t word = 0;
    for (std::size_t k = 0; k < length; ++k)
        word |= std::uint64_t{FoldCase(static_cast<unsigned char>(key[k]))} << (8 * k);
    return word;
}

// Fills the index's heads from the sorted records. False when memory runs
// out (the index is then built without them).
bool BuildHeads(const ConversionTable& table, LookupIndex& index) {
    index.heads = nullptr;
    index.followers = nullptr;
    index.headMask = 0;
    index.longHeads = false;
    std::size_t slots = 16, extended = 0;
    while (slots < 2 * table.count) slots *= 2;
    auto* heads = static_cast<HeadEntry*>(std::calloc(slots, sizeof(HeadEntry)));
    // At most one set of followers per record.
    auto* followers = static_cast<std::uint64_t(*)[4]>(std::calloc(table.count + 1, sizeof(std::uint64_t[4])));
    if (!heads || !followers) {
        std::free(heads);
        std::free(followers);
        return false;
    }
    for (std::size_t i = 0; i < table.count; ++i) {
        const char* key = table.records[i].key;
        std::size_t letters = 0;
        while (IsLetter(static_cast<unsigned char>(key[letters]))) ++letters;
        if (letters == 0) continue;
        if (letters > 8) {
            index.longHeads = true;
            continue;
        }
        const std::uint64_t head = HeadWord(key, letters);
        std::size_t slot = (head * 0x9E3779B97F4A7C15u) >> 40 & (slots - 1);
        while (heads[slot].head != 0 && heads[slot].head != head) slot = (slot + 1) & (slots - 1);
        HeadEntry& entry = heads[slot];
        entry.head = head;
        const auto after = static_cast<unsigned char>(key[letters]);
        if (after == '\0') {
            // Sorted records: the last key equal to the head is the one a lookup picks.
            entry.exact = static_cast<std::uint32_t>(i + 1);
        } else {
            if (!entry.followers) entry.followers = static_cast<std::uint32_t>(++extended);
            // The walk compares bytes folded; a follower is never a letter.
            followers[entry.followers - 1][after / 64] |= std::uint64_t{1} << (after % 64);
        }
    }
    // Where a walk resumes for a head that longer keys extend: the tree
    // holds its path down to the head, or to a node with a single key left.
    for (std::size_t slot = 0; slot < slots; ++slot) {
        HeadEntry& entry = heads[slot];
        if (!entry.followers) continue;
        std::uint32_t node = index.root[entry.head & 0xFF], depth = 1;
        for (unsigned k = 1; k < 8 && (entry.head >> (8 * k) & 0xFF) && !index.nodes[node].tail; ++k) {
            const unsigned bit = (entry.head >> (8 * k) & 0xFF) - 'a';
            const IndexNode& parent = index.nodes[node];
            node = parent.firstChild + parent.lowCount + std::popcount(parent.letters & ((1u << bit) - 1));
            ++depth;
        }
        entry.node = node;
        entry.depth = depth;
    }
    index.heads = heads;
    index.followers = followers;
    index.headMask = slots - 1;
    return true;
}

}  // namespace

bool BuildLookupIndex(ConversionTable& table) {
    if (table.index) return true;
    const std::size_t words = table.maxKeyLength / 64 + 1;
    auto* runLengths = static_cast<std::uint64_t*>(std::calloc(words, sizeof(std::uint64_t)));
    if (!runLengths) return false;
    // Every node but "none" is a distinct prefix of some key, so the key
    // bytes bound their number.
    std::size_t bound = 1;
    for (std::size_t i = 0; i < table.count; ++i) {
        const char* key = table.records[i].key;
        if (!IsLetter(static_cast<unsigned char>(key[0]))) continue;
        std::size_t letters = 1;
        while (IsLetter(static_cast<unsigned char>(key[letters]))) ++letters;
        runLengths[letters / 64] |= std::uint64_t{1} << (letters % 64);
        bound += letters + std::strlen(key + letters);
    }
    auto* index = static_cast<LookupIndex*>(std::malloc(sizeof(LookupIndex)));
    auto* nodes = static_cast<IndexNode*>(std::malloc(bound * sizeof(IndexNode)));
    auto* pending = static_cast<PendingNode*>(std::malloc(bound * sizeof(PendingNode)));
    if (!index || !nodes || !pending) {
        std::free(runLengths);
        std::free(index);
        std::free(nodes);
        std::free(pending);
        return false;
    }
    index->runLengths = runLengths;
    std::memset(index->pairs, 0, sizeof index->pairs);
    for (std::size_t i = 0; i < table.count; ++i) {
        const char* key = table.records[i].key;
        const unsigned pair = KeyByte(table.records[i], 0) * 256u + (key[0] ? KeyByte(table.records[i], 1) : 0u);
        index->pairs[pair / 64] |= std::uint64_t{1} << (pair % 64);
    }

    // Nodes wait on a stack, each made node once, so that a subtree is
    // finished while its records are still in the cache.
    std::uint32_t made = 1, waiting = 0;
    nodes[0] = {};
    for (int c = 255; c >= 0; --c) {
        index->root[c] = 0;
        const std::uint32_t lo = c == 0 ? 0 : table.firstByteEnd[c - 1];
        const std::uint32_t hi = table.firstByteEnd[c];
        if (!IsLetter(static_cast<unsigned char>(c)) || lo == hi) continue;
        index->root[c] = made;
        nodes[made] = {};
        nodes[made].byte = static_cast<unsigned char>(c);
        pending[waiting++] = {made++, lo, hi, 1};
    }

    while (waiting > 0) {
        const PendingNode p = pending[--waiting];
        IndexNode& node = nodes[p.node];
        if (p.hi - p.lo == 1 && table.records[p.lo].key[p.depth] != '\0') {
            node.tail = p.lo + 1;  // one key left: no chain of single children
            continue;
        }
        std::uint32_t i = p.lo;
        while (i < p.hi && table.records[i].key[p.depth] == '\0') ++i;
        if (i > p.lo) node.record = i;  // 1 + the last key that ends here
        node.firstChild = made;
        while (i < p.hi) {
            const unsigned char byte = KeyByte(table.records[i], p.depth);
            std::uint32_t j = i + 1;
            while (j < p.hi && KeyByte(table.records[j], p.depth) == byte) ++j;
            nodes[made] = {};
            nodes[made].byte = byte;
            pending[waiting++] = {made++, i, j, p.depth + 1};
            ++node.childCount;
            if (byte < 'a') ++node.lowCount;
            if (byte >= 'a' && byte <= 'z') node.letters |= std::uint32_t{1} << (byte - 'a');
            i = j;
        }
        // The first child's subtree comes next.
        std::reverse(pending + waiting - node.childCount, pending + waiting);
    }
    std::free(pending);
    index->nodes = nodes;
    BuildHeads(table, *index);  // without them, lookups walk the tree
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
    std::free(table.index->nodes);
    std::free(table.index->runLengths);
    std::free(table.index->heads);
    std::free(table.index->followers);
    std::free(table.index);
    table.index = nullptr;
}

}  // namespace kesti
