// The two encodings text reaches kesti in: Windows-1252, the bytes the
// tables and the exported functions hold, and UTF-8, what the command, the
// kesti_ interface and the Python package take. Shared by the streaming
// converters of both modes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kesti {

// Windows-1252 bytes 0x80-0x9F as Unicode. The five bytes the code page
// leaves undefined map to the C1 controls of the same number, both ways.
inline constexpr char32_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                             0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                             0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                             0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline char32_t FromCp1252(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte; }

// The Windows-1252 byte for a code point, or -1 when the code page has none.
inline int ToCp1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] == cp) return 0x80 + i;
    return -1;
}

// The length of the UTF-8 sequence a lead byte starts, 0 when it starts none.
inline int Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Decodes the code point at text[i] of text already known to be valid
// UTF-8; sets `length` to its bytes.
inline char32_t DecodeAt(std::string_view text, std::size_t i, std::size_t& length) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
        length = 1;
        return b;
    }
    auto at = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(text[i + k]) & 0x3F); };
    if (b < 0xE0) {
        length = 2;
        return (static_cast<char32_t>(b & 0x1F) << 6) | at(1);
    }
    if (b < 0xF0) {
        length = 3;
        return (static_cast<char32_t>(b & 0x0F) << 12) | (at(1) << 6) | at(2);
    }
    length = 4;
    return (static_cast<char32_t>(b & 0x07) << 18) | (at(1) << 12) | (at(2) << 6) | at(3);
}

inline void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace kesti
