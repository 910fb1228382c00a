#include <gtest/gtest.h>

#include <random>
#include <string_view>

#include "text/bits.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

TEST(TextRules, OnlyAsciiLettersAreLettersAndChangeCase) {
    constexpr std::string_view kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    for (int b = 0; b < 256; ++b) {
        const std::size_t at = b == 0 ? std::string_view::npos : kLetters.find(static_cast<char>(b));
        EXPECT_EQ(IsLetter(static_cast<unsigned char>(b)), at != std::string_view::npos) << b;
        EXPECT_EQ(IsUpper(static_cast<unsigned char>(b)), at < 26) << b;
        const int upper = at != std::string_view::npos && at >= 26 ? kLetters[at - 26] : b;
        EXPECT_EQ(ToUpper(static_cast<unsigned char>(b)), upper) << b;
    }
    // u umlaut and its capital are not letters and never change case.
    EXPECT_EQ(ToUpper(0xFC), 0xFC);
    EXPECT_EQ(FoldCase(0xDC), 0xDC);
}

TEST(TextRules, PunctuationBetweenZAndaSortsBeforeLetters) {
    // Folding goes towards lower case, so [ \ ] ^ _ ` fall below 'a' and 'A'.
    for (const char* punct : {"[", "\\", "]", "^", "_", "`"}) {
        EXPECT_LT(CompareIgnoreCase(punct, "a"), 0) << punct;
        EXPECT_LT(CompareIgnoreCase(punct, "A"), 0) << punct;
    }
    EXPECT_LT(CompareIgnoreCase("ch'ang", "chang"), 0);
    EXPECT_GT(CompareIgnoreCase("Z", "_"), 0);
}

TEST(TextRules, CaseIsIgnoredForAsciiOnlyAndHighBytesCompareUnsigned) {
    EXPECT_EQ(CompareIgnoreCase("HsUeH", "hsueh"), 0);
    EXPECT_NE(CompareIgnoreCase("hs\xDC", "hs\xFC"), 0);  // capital and small umlaut differ
    EXPECT_GT(CompareIgnoreCase("hs\xFC", "hsz"), 0);     // 0xFC is above every ASCII byte
    EXPECT_LT(CompareIgnoreCase("ch", "cha"), 0);         // a proper prefix is lower
    EXPECT_EQ(CompareIgnoreCase("", ""), 0);
}

// The word tricks that find letters (and digits) eight and sixteen bytes at
// a time say what IsLetter says of every byte value, wherever it stands
// among others.
TEST(TextRules, LettersFoundInBulkAreTheLetters) {
    std::mt19937 rng(16);
    for (int round = 0; round < 4096; ++round) {
        unsigned char bytes[16];
        for (unsigned char& b : bytes) b = static_cast<unsigned char>(rng());
        bytes[round % 16] = static_cast<unsigned char>(round / 16);  // every value at every place
        const char* p = reinterpret_cast<const char*>(bytes);
        unsigned expected = 0;
        for (int i = 0; i < 16; ++i) expected |= (IsLetter(bytes[i]) ? 1u : 0u) << i;
        ASSERT_EQ(LetterMask(p), expected) << "round " << round;
        ASSERT_EQ(LetterMaskByWords(p), expected) << "round " << round;
        for (int i = 0; i < 16; ++i) expected |= (bytes[i] >= '0' && bytes[i] <= '9' ? 1u : 0u) << i;
        ASSERT_EQ(LetterDigitMask(p), expected) << "round " << round;
        ASSERT_EQ(LetterDigitMaskByWords(p), expected) << "round " << round;
        std::uint64_t folded = 0;
        for (int i = 0; i < 8; ++i) folded |= std::uint64_t{FoldCase(bytes[i])} << (8 * i);
        ASSERT_EQ(LowerCapitals(LoadWord(p)), folded) << "round " << round;
        std::uint64_t digits = 0;
        for (int i = 0; i < 8; ++i) digits |= std::uint64_t{bytes[i] >= '0' && bytes[i] <= '9' ? 0x80u : 0u} << (8 * i);
        ASSERT_EQ(DigitBytes(LoadWord(p)), digits) << "round " << round;
    }
}

}  // namespace
}  // namespace kesti
