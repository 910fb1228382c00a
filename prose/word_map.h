// Words to values, built once (when the tables load, or on the first
// lookup, under a once-flag) and then only read, by as many threads as
// convert: an open-addressing index whose slots hold
// each word's first sixteen bytes and length, the values beside it, and
// the bytes of longer words in one buffer. A map of strings allocates each
// of its keys and nodes, and the text mode's loading filled one with some
// fourteen thousand of the word table's keys on every start; a lookup of
// a word of up to sixteen bytes reads one slot and its value.
#pragma once

#include <algorithm>
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
        values_.reserve(words);
        at_.reserve(words);
        if (Crowded(words)) Rehash(SlotsFor(words));
    }

    // Adds `word` with `value` unless the map holds the word: the first
    // value given for a word stays.
    void Add(std::string_view word, const V& value) {
        if (Crowded(values_.size() + 1)) Rehash(SlotsFor(values_.size() + 1));
        const WordHead head = HeadOf(word);
        std::size_t i = HashOf(word, head) & (slots_.size() - 1);
        for (; slots_[i].entry; i = (i + 1) & (slots_.size() - 1))
            if (Holds(slots_[i], head, word)) return;
        slots_[i] = {head, static_cast<std::uint32_t>(word.size()), static_cast<std::uint32_t>(values_.size() + 1)};
        at_.push_back(static_cast<std::uint32_t>(bytes_.size()));
        bytes_.append(word);
        values_.push_back(value);
    }

    // Empties the map, keeping its room.
    void Clear() {
        if (!values_.empty()) std::fill(slots_.begin(), slots_.end(), Slot{});
        values_.clear();
        at_.clear();
        bytes_.clear();
    }

    // The value kept for `word`, or null. Values do not move once the map
    // is built.
    const V* Find(std::string_view word) const {
        if (slots_.empty()) return nullptr;
        const WordHead head = HeadOf(word);
        for (std::size_t i = HashOf(word, head) & (slots_.size() - 1); slots_[i].entry;
             i = (i + 1) & (slots_.size() - 1))
            if (Holds(slots_[i], head, word)) return &values_[slots_[i].entry - 1];
        return nullptr;
    }
    V* Find(std::string_view word) { return const_cast<V*>(std::as_const(*this).Find(word)); }

private:
    struct Slot {
        WordHead head;             // the word's first sixteen bytes, zero past its end
        std::uint32_t length = 0;  // in bytes
        std::uint32_t entry = 0;   // 1 + the index into values_ and at_; 0 for an empty slot
    };

    // At most two slots in three taken: a lookup reads about two.
    bool Crowded(std::size_t words) const { return 3 * words > 2 * slots_.size(); }
    static std::size_t SlotsFor(std::size_t words) {
        std::size_t n = 16;
        while (3 * words > 2 * n) n *= 2;
        return n;
    }
    bool Holds(const Slot& slot, WordHead head, std::string_view word) const {
        return slot.head == head && slot.length == word.size() &&
               (word.size() <= 16 ||
                SameBytes(bytes_.data() + at_[slot.entry - 1] + 16, word.data() + 16, word.size() - 16));
    }
    void Rehash(std::size_t size) {
        std::vector<Slot> slots(size);
        for (const Slot& slot : slots_) {
            if (!slot.entry) continue;
            const std::string_view word(bytes_.data() + at_[slot.entry - 1], slot.length);
            std::size_t i = HashOf(word, slot.head) & (size - 1);
            while (slots[i].entry) i = (i + 1) & (size - 1);
            slots[i] = slot;
        }
        slots_ = std::move(slots);
    }

    std::vector<Slot> slots_;
    std::vector<V> values_;
    std::vector<std::uint32_t> at_;  // where each word begins in bytes_
    std::string bytes_;
};

}  // namespace kesti
