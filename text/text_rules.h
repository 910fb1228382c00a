// Byte rules shared by the table sort, the lookup and the conversion pass.
//
// All text in kesti is single-byte Windows-1252. Only the 52 ASCII letters
// count as letters and only they change case; every other byte, including
// the umlaut u (0xFC) and the circumflex e (0xEA), is compared exactly and
// never changes case. The rules are fixed: they never follow the locale.
#pragma once

#include <cstddef>
#include <string_view>

namespace kesti {

inline bool IsLetter(unsigned char b) { return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }

inline bool IsUpper(unsigned char b) { return b >= 'A' && b <= 'Z'; }

inline unsigned char ToUpper(unsigned char b) {
    return (b >= 'a' && b <= 'z') ? static_cast<unsigned char>(b - 0x20) : b;
}

// Folding for comparison goes towards lower case, so the six bytes between
// 'Z' and 'a' ([ \ ] ^ _ `) sort before every letter.
inline unsigned char FoldCase(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b + 0x20) : b;
}

// Whether two byte strings are equal after folding ASCII case.
inline bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(static_cast<unsigned char>(a[i])) != FoldCase(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// Compares two NUL-terminated byte strings after folding, as unsigned bytes.
// Negative, zero or positive; a proper prefix compares lower ("ch" < "ch'a").
inline int CompareIgnoreCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        if (*a == *b) {
            if (*a == '\0') return 0;
            continue;  // equal bytes fold equal: the common, cheap case
        }
        const int x = FoldCase(static_cast<unsigned char>(*a));
        const int y = FoldCase(static_cast<unsigned char>(*b));
        if (x != y) return x - y;
    }
}

}  // namespace kesti
