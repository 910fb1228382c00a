// Words to values, built once when the tables load and then only read, by
// as many threads as convert: the words' bytes kept in one buffer and an
// open-addressing index over them. A map of strings allocates each of its
// keys and nodes, and the text mode's loading filled one with some fourteen
// thousand of the word table's keys on every start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "prose/word_hash.h"

namespace kesti {

template <typename V>
class WordMap {
public:
    // Room for `words` without growing.
    void Reserve(std::size_t words) {
        entries_.reserve(words);
        if (Crowded(words)) Rehash(SlotsFor(words));
    }

    // Adds `word` with `value` unless the map holds the word: the first
    // value given for a word stays. The value kept, either way.
    V& Add(std::string_view word, const V& value) {
        if (Crowded(entries_.size() + 1)) Rehash(SlotsFor(entries_.size() + 1));
        const std::uint64_t hash = HashOf(word);
        std::size_t i = hash & (slots_.size() - 1);
        for (; slots_[i].entry; i = (i + 1) & (slots_.size() - 1))
            if (Holds(slots_[i], hash, word)) return entries_[slots_[i].entry - 1].value;
        slots_[i] = {static_cast<std::uint32_t>(entries_.size() + 1), static_cast<std::uint32_t>(hash >> 32)};
        entries_.push_back({static_cast<std::uint32_t>(bytes_.size()), static_cast<std::uint32_t>(word.size()), value});
        bytes_.append(word);
        return entries_.back().value;
    }

    // The value kept for `word`, or null. Values do not move once the map
    // is built.
    const V* Find(std::string_view word) const {
        if (slots_.empty()) return nullptr;
        const std::uint64_t hash = HashOf(word);
        for (std::size_t i = hash & (slots_.size() - 1); slots_[i].entry; i = (i + 1) & (slots_.size() - 1))
            if (Holds(slots_[i], hash, word)) return &entries_[slots_[i].entry - 1].value;
        return nullptr;
    }
    V* Find(std::string_view word) { return const_cast<V*>(std::as_const(*this).Find(word)); }

    std::size_t size() const { return entries_.size(); }

private:
    struct Entry {
        std::uint32_t at, length;  // the word, in bytes_
        V value;
    };
    struct Slot {
        std::uint32_t entry = 0;  // 1 + the index into entries_; 0 for an empty slot
        std::uint32_t check = 0;  // the hash's high half, which rules out most other words unread
    };

    // At most two slots in three taken: a lookup reads about two.
    bool Crowded(std::size_t words) const { return 3 * words > 2 * slots_.size(); }
    static std::size_t SlotsFor(std::size_t words) {
        std::size_t n = 16;
        while (3 * words > 2 * n) n *= 2;
        return n;
    }
    bool Holds(const Slot& slot, std::uint64_t hash, std::string_view word) const {
        if (slot.check != static_cast<std::uint32_t>(hash >> 32)) return false;
        const Entry& e = entries_[slot.entry - 1];
        return e.length == word.size() && SameBytes(bytes_.data() + e.at, word.data(), word.size());
    }
    void Rehash(std::size_t size) {
        std::vector<Slot> slots(size);
        for (std::size_t k = 0; k < entries_.size(); ++k) {
            const Entry& e = entries_[k];
            const std::uint64_t hash = HashOf(std::string_view(bytes_).substr(e.at, e.length));
            std::size_t i = hash & (size - 1);
            while (slots[i].entry) i = (i + 1) & (size - 1);
            slots[i] = {static_cast<std::uint32_t>(k + 1), static_cast<std::uint32_t>(hash >> 32)};
        }
        slots_ = std::move(slots);
    }

    std::string bytes_;
    std::vector<Entry> entries_;
    std::vector<Slot> slots_;
};

}  // namespace kesti
