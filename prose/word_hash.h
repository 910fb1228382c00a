// Words hashed and compared by their first sixteen bytes, without a branch
// on their length: the text mode finds each word of a text among the words
// it has met before, and a table's spellings among its others.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "text/bits.h"

namespace kesti {

// A word's first sixteen bytes, zero past its end. With its length it is
// the whole of a word of up to sixteen bytes (most words), which is then
// hashed and compared in two loads and no branch on its length.
struct WordHead {
    std::uint64_t low = 0, high = 0;
    bool operator==(const WordHead&) const = default;
};

// The masks that keep a word's n bytes of the sixteen read at it: kHeadMasks[n].
inline constexpr auto kHeadMasks = [] {
    std::array<std::array<std::uint64_t, 2>, 17> masks{};
    for (int n = 0; n <= 16; ++n) {
        const int low = n < 8 ? n : 8, high = n > 8 ? n - 8 : 0;
        masks[n][0] = low == 8 ? ~0ULL : (1ULL << (8 * low)) - 1;
        masks[n][1] = high == 8 ? ~0ULL : (1ULL << (8 * high)) - 1;
    }
    return masks;
}();

// The head of the `n` bytes at `p` (n at most 16) where sixteen bytes can
// be read there.
inline WordHead HeadAt(const char* p, std::size_t n) {
    return {LoadWord(p) & kHeadMasks[n][0], LoadWord(p + 8) & kHeadMasks[n][1]};
}

// The head of any word, by fixed-size loads that stay inside it (a copy of
// a varying size is a call): overlapping ones, shifted into place.
inline WordHead HeadOf(std::string_view bytes) {
    const char* p = bytes.data();
    const std::size_t n = bytes.size();
    if (n >= 16) return {LoadWord(p), LoadWord(p + 8)};
    if (n > 8) return {LoadWord(p), LoadWord(p + n - 8) >> (8 * (16 - n))};
    if (n == 8) return {LoadWord(p), 0};
    if (n >= 4) {
        std::uint32_t first, last;
        std::memcpy(&first, p, 4);
        std::memcpy(&last, p + n - 4, 4);
        if constexpr (std::endian::native != std::endian::little) {
            first = __builtin_bswap32(first);
            last = __builtin_bswap32(last);
        }
        return {std::uint64_t{first} | std::uint64_t{last} << (8 * (n - 4)), 0};
    }
    if (n == 0) return {};
    auto at = [&](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i); };
    return {at(0) | at(n / 2) | at(n - 1), 0};
}

// A hash of a word from its head and length: two multiplies.
inline std::uint64_t HashOf(WordHead head, std::size_t n) {
    std::uint64_t h = (head.low ^ 0x9E3779B97F4A7C15ULL) * 0xFF51AFD7ED558CCDULL;
    h = (h ^ (h >> 32) ^ head.high ^ n) * 0xC4CEB9FE1A85EC53ULL;
    return h ^ (h >> 29);
}

// The same hash of any word, given its head: past the head, eight bytes at
// a time, the last eight overlapping the ones before. `fold` changes each
// eight bytes read before they are hashed, as the head was changed.
template <typename Fold>
inline std::uint64_t HashOf(std::string_view bytes, WordHead head, Fold fold) {
    std::uint64_t h = HashOf(head, bytes.size());
    for (std::size_t i = 16; i < bytes.size(); i += 8) {
        const std::size_t at = i + 8 <= bytes.size() ? i : bytes.size() - 8;
        h = (h ^ fold(LoadWord(bytes.data() + at))) * 0xFF51AFD7ED558CCDULL;
        h ^= h >> 32;
    }
    return h;
}
inline std::uint64_t HashOf(std::string_view bytes, WordHead head) {
    return HashOf(bytes, head, [](std::uint64_t word) { return word; });
}

// The hash of a word with its ASCII capitals lowered, without lowering a
// copy: a table's keys are looked up ignoring case.
inline std::uint64_t LowerHashOf(std::string_view bytes) {
    const WordHead head = HeadOf(bytes);
    return HashOf(bytes, {LowerCapitals(head.low), LowerCapitals(head.high)},
                  [](std::uint64_t word) { return LowerCapitals(word); });
}

// Whether the `n` bytes at `a` and at `b` are the same, by fixed-size loads
// that stay inside them: a call to memcmp costs more than a short word.
inline bool SameBytes(const char* a, const char* b, std::size_t n) {
    if (n >= 8) {
        for (std::size_t i = 0; i + 8 < n; i += 8)
            if (LoadWord(a + i) != LoadWord(b + i)) return false;
        return LoadWord(a + n - 8) == LoadWord(b + n - 8);
    }
    for (std::size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

inline std::uint64_t HashOf(std::string_view bytes) { return HashOf(bytes, HeadOf(bytes)); }

}  // namespace kesti
