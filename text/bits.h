// Eight bytes at a time: the word tricks the table code uses to test and
// fold bytes in bulk, kept in one place.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kesti {

inline constexpr std::uint64_t kEveryByte = 0x0101010101010101u;

// 0x80 in each byte of `x` that is zero, and nothing elsewhere.
inline std::uint64_t ZeroBytes(std::uint64_t x) {
    constexpr std::uint64_t low7 = 0x7F * kEveryByte;
    return ~(((x & low7) + low7) | x | low7);
}

// The eight bytes at `p`, the first in the lowest byte whatever the machine.
inline std::uint64_t LoadWord(const char* p) {
    std::uint64_t word;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, p, 8);
    } else {
        word = 0;
        for (int i = 0; i < 8; ++i) word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
    }
    return word;
}

// Writes `word`'s eight bytes at `p`, the lowest first, as LoadWord reads them.
inline void StoreWord(char* p, std::uint64_t word) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &word, 8);
    } else {
        for (int i = 0; i < 8; ++i) p[i] = static_cast<char>(word >> (8 * i));
    }
}

// `word` with 0x20 added to each byte from 'A' to 'Z', for all eight at
// once: seven-bit sums cannot carry into the next byte.
inline std::uint64_t LowerCapitals(std::uint64_t word) {
    const std::uint64_t low7 = word & (0x7F * kEveryByte);
    return word | ((low7 + 0x3F * kEveryByte) & ~(low7 + 0x25 * kEveryByte) & ~word & (0x80 * kEveryByte)) >> 2;
}

// 0x80 in each byte of `word` that is an ASCII letter, and nothing
// elsewhere: below 0x80, and between 'a' and 'z' once bit 5 is set.
inline std::uint64_t LetterBytes(std::uint64_t word) {
    const std::uint64_t low7 = (word | 0x20 * kEveryByte) & (0x7F * kEveryByte);
    return (low7 + 0x1F * kEveryByte) & ~(low7 + 0x05 * kEveryByte) & ~word & (0x80 * kEveryByte);
}

// 0x80 in each byte of `word` that is an ASCII digit, and nothing elsewhere.
inline std::uint64_t DigitBytes(std::uint64_t word) {
    const std::uint64_t low7 = word & (0x7F * kEveryByte);
    return (low7 + 0x50 * kEveryByte) & ~(low7 + 0x46 * kEveryByte) & ~word & (0x80 * kEveryByte);
}

// The 0x80 of each of a word's eight bytes, as bits 0 to 7 (byte i's as
// bit i): bytes tested in bulk made a mask of bits.
inline unsigned GatherHighBits(std::uint64_t x) {
    return static_cast<unsigned>(((x >> 7) * 0x0102040810204080u) >> 56);
}

// Bit i set when p[i] is an ASCII letter, for the sixteen bytes at p: with
// 64-bit words, for every processor.
inline unsigned LetterMaskByWords(const char* p) {
    return GatherHighBits(LetterBytes(LoadWord(p))) | GatherHighBits(LetterBytes(LoadWord(p + 8))) << 8;
}

// Bit i set when p[i] is an ASCII letter or digit, for the sixteen bytes
// at p, by 64-bit words.
inline unsigned LetterDigitMaskByWords(const char* p) {
    const std::uint64_t low = LoadWord(p), high = LoadWord(p + 8);
    const unsigned first = GatherHighBits(LetterBytes(low) | DigitBytes(low));
    return first | GatherHighBits(LetterBytes(high) | DigitBytes(high)) << 8;
}

#if defined(__SSE2__)
// 0xFF in each of sixteen bytes that is an ASCII letter: a byte whose
// value with bit 5 set is from 'a' to 'z', which after taking 'a' + 128
// away is one of the 26 lowest signed bytes.
inline __m128i LetterLanes(__m128i bytes) {
    const __m128i shifted =
        _mm_sub_epi8(_mm_or_si128(bytes, _mm_set1_epi8(0x20)), _mm_set1_epi8(static_cast<char>(0xE1)));
    return _mm_cmplt_epi8(shifted, _mm_set1_epi8(-128 + 26));
}
#endif

// LetterMaskByWords with one SSE2 compare where the processor has it.
inline unsigned LetterMask(const char* p) {
#if defined(__SSE2__)
    return static_cast<unsigned>(_mm_movemask_epi8(LetterLanes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)))));
#else
    return LetterMaskByWords(p);
#endif
}

// LetterDigitMaskByWords with SSE2 compares where the processor has them: a
// digit is a byte that after taking '0' + 128 away is one of the 10 lowest
// signed bytes.
inline unsigned LetterDigitMask(const char* p) {
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i digits =
        _mm_cmplt_epi8(_mm_sub_epi8(bytes, _mm_set1_epi8(static_cast<char>(0xB0))), _mm_set1_epi8(-128 + 10));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(LetterLanes(bytes), digits)));
#else
    return LetterDigitMaskByWords(p);
#endif
}

// The number of set bits, inline where the processor's own instruction
// cannot be assumed (std::popcount would be a library call).
inline unsigned CountBits(std::uint64_t x) {
    x = x - ((x >> 1) & 0x5555555555555555u);
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<unsigned>((x * 0x0101010101010101u) >> 56);
}

}  // namespace kesti
