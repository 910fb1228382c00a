// The conversion pass: copying, casing, and converting in pieces.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "api/pass.h"
#include "table/index.h"
#include "tests/support/naive_reference.h"
#include "tests/support/support.h"

namespace kesti {
namespace {

using test::Convert;
using test::TestTable;

// The sentences every face of the conversion must agree on are the golden
// cases (tests/golden/conversions.txt, run by test_golden.cpp).

TEST(Pass, RetriesInsideARunButNeverEndsBeforeALetter) {
    TestTable t("chang\tzhang\ntung\tdong\n");
    EXPECT_EQ(Convert(t.table, "xchang"), "xzhang");
    EXPECT_EQ(Convert(t.table, "tungtung"), "tungdong");
    EXPECT_EQ(Convert(t.table, "changx"), "changx");
    EXPECT_EQ(Convert(t.table, "xyz"), "xyz");
}

TEST(Pass, CapitalizesEachWordOnItsOwn) {
    TestTable t("chang\tzhang\nch'ang\tchang\n");
    EXPECT_EQ(Convert(t.table, "Chang, Ch'ang."), "Zhang, Chang.");
    EXPECT_EQ(Convert(t.table, "CHANG chang CH'ANG"), "ZHANG zhang CHANG");
}

TEST(Pass, InputWithoutLettersIsCopiedOnce) {
    TestTable t("a\tb\n");
    for (const char* s : {"123", " ", ",.;!", "", "\xFC\xEA\x92"}) EXPECT_EQ(Convert(t.table, s), s);
}

TEST(Pass, EmptyValuesAndHighBytesInValues) {
    TestTable t("er\t\nhsu\tx\xFC\n");
    EXPECT_EQ(Convert(t.table, "Er-ERhsu"), "-ERx\xFC");  // "ERhsu" is one run: no match
    EXPECT_EQ(Convert(t.table, "Er HSU"), " X\xFC");
}

TEST(Pass, NulBytesInTheMiddleAreCopied) {
    TestTable t("a\tb\n");
    const std::string in("a\0a", 3);
    EXPECT_EQ(Convert(t.table, in), std::string("b\0b", 3));
}

TEST(Pass, InPiecesEqualsWhole) {
    // Random inputs fed with random piece sizes and a small output give the
    // same bytes as one call over the whole input.
    TestTable t("ch'ang\tchang\nchang\tzhang\nch'ang-an\tChang'an\nan\tAN-LONGER-VALUE\na\tA\n");
    std::mt19937 rng(7);
    const std::string alphabet = "cChHaAnNg'- .x";
    for (int round = 0; round < 300; ++round) {
        std::string input;
        const int length = static_cast<int>(rng() % 200);
        for (int i = 0; i < length; ++i) input += alphabet[rng() % alphabet.size()];
        const std::string whole = Convert(t.table, input);

        std::string pieces, pending;
        char out[16];  // at least the longest value
        std::size_t fed = 0;
        for (bool final = false; !final;) {
            const std::size_t step = 1 + rng() % 20;
            pending.append(input, fed, step);
            fed = std::min(input.size(), fed + step);
            final = fed == input.size();
            for (;;) {
                const PassProgress p =
                    RunConversionPass(t.table, pending.data(), pending.size(), final, out, sizeof out);
                pieces.append(out, p.written);
                pending.erase(0, p.consumed);
                if (p.consumed == 0 && p.written == 0) break;
            }
        }
        ASSERT_TRUE(pending.empty());
        ASSERT_EQ(pieces, whole) << input;
    }
}

// Over a long input with the index, the letters inside a run that did not
// match at its start are remembered with the byte after the run, which may
// let a longer key go on: "cd" alone before a space, "cd-ef" before a hyphen.
TEST(Pass, RunsAreRememberedWithTheByteAfterThem) {
    TestTable t("cd\tY\ncd-ef\tX\n");
    ASSERT_TRUE(BuildLookupIndex(t.table));
    std::string input, expected;
    for (int i = 0; i < 200; ++i) {
        input += i % 2 ? "abcd-ef abcd " : "abcd abcd-ef ";
        expected += i % 2 ? "abX abY " : "abY abX ";
    }
    EXPECT_EQ(Convert(t.table, input), expected);
}

// A long input that ends inside a run of letters: the pass measures the run
// to the input's last byte and reads nothing past it (the sanitizer build
// checks that), converting as it would any run too long for a key.
TEST(Pass, ALongInputMayEndInARunOfLetters) {
    TestTable t("ab\tX\nabc\tY\n");
    ASSERT_TRUE(BuildLookupIndex(t.table));
    for (std::size_t tail = 1; tail < 40; ++tail) {
        std::string input;
        for (int i = 0; i < 10; ++i) input += "ab abc, ";
        input += std::string(tail, 'c');
        const std::vector<char> exact(input.begin(), input.end());  // no NUL after the last byte
        std::string expected;
        for (int i = 0; i < 10; ++i) expected += "X Y, ";
        expected += std::string(tail, 'c');
        std::string output(input.size(), '\0');
        const PassProgress p =
            RunConversionPass(t.table, exact.data(), exact.size(), true, output.data(), output.size());
        output.resize(p.written);
        EXPECT_EQ(output, expected) << tail;
    }
}

// The index keeps a value's length in thirteen bits: a longer value (only
// hostile tables hold one) is measured when it matches, whole.
TEST(Pass, ValuesOfEveryLengthComeOutWhole) {
    for (const std::size_t length : {16, 17, 8190, 8191, 8192, 20000}) {
        const std::string value(length, 'v');
        TestTable t("ab\t" + value + "\nb\ty\n");
        ASSERT_TRUE(BuildLookupIndex(t.table));
        std::string input, expected;
        for (int i = 0; i < 50; ++i) {
            input += "Ab b ab-b. ";
            expected += "V" + value.substr(1) + " y " + value + "-y. ";
        }
        EXPECT_TRUE(Convert(t.table, input) == expected) << length;
    }
}

// In a long input with a table whose runs mostly settle lookups alone (so
// that the pass asks its memo first), a run that begins a longer key is
// remembered with the step after it and the byte after that, and only when
// the lookup read no further: "ab'cd" before a hyphen goes on to the third
// step, which may match ("ab'cd-ef") or not ("ab'cd-eg", where nothing does).
TEST(Pass, RunsThatBeginLongerKeysAreRememberedWithWhatFollows) {
    std::string file = "ab'cd-ef\tX\nab'cd\tY\n";
    for (const char* plain : {"ba", "ca", "da", "fa", "ga", "ha"}) file += std::string(plain) + "\tp\n";
    TestTable t(file);
    ASSERT_TRUE(BuildLookupIndex(t.table));
    std::string input, expected;
    for (int i = 0; input.size() < 100000; ++i) {
        input += i % 3 == 0 ? "ab'cd-eg ab'cd-ef ab'cd, " : "ab'cd-ef ab'cd-eg ab'cd. ";
        expected += i % 3 == 0 ? "ab'cd-eg X Y, " : "X ab'cd-eg Y. ";
    }
    EXPECT_TRUE(Convert(t.table, input) == expected);
}

// In a long input where the memo is asked first, a run met again is staged
// from what the memo says, in whatever case it comes: its value or its own
// letters, capitalized, in capitals or mixed, whole or from a key inside
// it, whatever its value begins with (a letter, a capital, a hyphen, ü) or
// when the value is empty.
TEST(Pass, RunsTheMemoKnowsComeOutInTheirOwnCase) {
    const std::string file = "chang\tzhang\nan\t\xDCn\nerh\t-er\nhsi\tXi\nwu\t\nyu\t\xFCu\n";
    TestTable t(file);
    ASSERT_TRUE(BuildLookupIndex(t.table));
    ASSERT_TRUE(t.table.index->runsAlone);
    const std::vector<std::string> words = {"chang", "an", "erh", "hsi", "wu", "yu", "the", "xchang", "ban", "yuyu"};
    std::mt19937 rng(11);
    std::string input;
    while (input.size() < 20000) {
        std::string w = words[rng() % words.size()];
        const unsigned form = rng() % 4;  // as it is, capitalized, in capitals, mixed
        for (std::size_t i = 0; i < w.size(); ++i) {
            const bool up = form == 2 || (form == 1 && i == 0) || (form == 3 && rng() % 2);
            if (up) w[i] = static_cast<char>(w[i] - 0x20);
        }
        input += w;
        input += " ,.-"[rng() % 4];
    }
    EXPECT_TRUE(Convert(t.table, input) == test::NaiveConvert(test::NaiveSplit(file), input));
}

TEST(Pass, StopsBeforeAValueThatDoesNotFit) {
    TestTable t("a\tlong\n");
    char out[3];
    const PassProgress p = RunConversionPass(t.table, "xa", 2, true, out, sizeof out);
    EXPECT_EQ(p.consumed, 1u);
    EXPECT_EQ(p.written, 1u);
}

}  // namespace
}  // namespace kesti
