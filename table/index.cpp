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
    std::free(table.index);
    table.index = nullptr;
}

}  // namespace kesti
