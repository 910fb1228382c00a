// Code points as the running-text engine sees them: which characters make
// up words, which join syllables, which carry a tone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/encoding.h"

namespace kesti {

inline bool IsAsciiUpper(char32_t c) { return c >= 'A' && c <= 'Z'; }
inline bool IsAsciiLower(char32_t c) { return c >= 'a' && c <= 'z'; }
inline bool IsAsciiLetter(char32_t c) { return IsAsciiUpper(c) || IsAsciiLower(c); }
inline bool IsAsciiDigit(char32_t c) { return c >= '0' && c <= '9'; }

// The aspiration apostrophes texts use: ' ‘ ’ ʻ ʼ ʽ, and the grave and the
// acute accents, which typed and scanned texts put for them ("Ch´ing").
inline bool IsApostrophe(char32_t c) {
    return c == '\'' || c == 0x2018 || c == 0x2019 || c == 0x02BB || c == 0x02BC || c == 0x02BD || c == '`' ||
           c == 0xB4;
}

// The character an HTML entity at byte `i` stands for, and its `length`
// in bytes, where it is one a word may hold: an apostrophe ("&#39;",
// "&rsquo;", "&#x2019;") or a letter ("&uuml;", "&#252;"), as pages and
// exports escape them ("Ch&#39;ing", "Hs&uuml;eh"). 0 for any other.
char32_t WordEntityAt(std::string_view text, std::size_t i, std::size_t& length);

// The hyphens that join syllables: -, U+2010 HYPHEN, U+2011 NON-BREAKING HYPHEN.
inline bool IsHyphen(char32_t c) { return c == '-' || c == 0x2010 || c == 0x2011; }

// A tone after a syllable: 1-5 or the superscripts ¹ ² ³ ⁴ ⁵. Returns the
// tone, or 0.
inline int ToneOf(char32_t c) {
    if (c >= '1' && c <= '5') return static_cast<int>(c - '0');
    switch (c) {
        case 0xB9:
            return 1;
        case 0xB2:
            return 2;
        case 0xB3:
            return 3;
        case 0x2074:
            return 4;
        case 0x2075:
            return 5;
        default:
            return 0;
    }
}

// Characters that make up a run: letters of the Latin script (with their
// combining marks), digits and the tone superscripts. Chinese characters,
// other scripts and punctuation separate runs.
bool IsNonAsciiWordChar(char32_t c);
inline bool IsWordChar(char32_t c) {
    if (c < 0x80) return IsAsciiLetter(c) || (c >= '0' && c <= '9');
    return IsNonAsciiWordChar(c);
}

// A letter a word goes on with past a joining apostrophe, hyphen or line
// break: a word character, no digit and no tone.
inline bool GoesOnWord(char32_t c) { return IsWordChar(c) && !IsAsciiDigit(c) && !ToneOf(c); }

// Han characters: the CJK ideographs, their extensions and compatibility forms.
inline bool IsHan(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0x20000 && c <= 0x3FFFF);
}

inline bool IsSpace(char32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0xA0 || c == 0x3000; }

}  // namespace kesti
