// A catalogue of hostile tables and inputs, each with its defined result,
// through the exported functions with input and output buffers of exactly
// the size they need: under AddressSanitizer a read or write one byte past
// either is a failure. The expected output comes from the internal pass.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "table/index.h"
#include "tests/support/library_fixture.h"
#include "tests/support/support.h"

namespace kesti {
namespace {

class Hostile : public test::LibraryTest {
protected:
    // Converts `input` with the syllable table file holding `table`,
    // through the exported function, into exactly as many bytes as the
    // result needs, and checks it against the internal pass.
    std::string ConvertExactly(const std::string& table, const std::string& input) {
        Tables(table, table);
        ConversionTable loaded;
        EXPECT_EQ(LoadTable(dir.File("kestisyl.txt").c_str(), loaded), LoadStatus::Ok);
        EXPECT_TRUE(BuildLookupIndex(loaded));
        const std::string expected = test::Convert(loaded, input);
        ReleaseTable(loaded);

        std::unique_ptr<char[]> in(new char[input.size() + 1]);
        std::memcpy(in.get(), input.data(), input.size());
        in[input.size()] = '\0';
        std::unique_ptr<char[]> out(new char[expected.size() + 1]);
        EXPECT_NE(lib.syllable(in.get(), out.get()), 0);
        const std::string got(out.get(), expected.size());
        EXPECT_EQ(out[expected.size()], '\0');
        EXPECT_TRUE(got == expected) << "the exported function and the pass disagree";
        return got;
    }

    std::size_t Records(const std::string& table) {
        Tables(table, table);
        ConversionTable loaded;
        EXPECT_EQ(LoadTable(dir.File("kestisyl.txt").c_str(), loaded), LoadStatus::Ok);
        const std::size_t count = loaded.count;
        ReleaseTable(loaded);
        return count;
    }
};

TEST_F(Hostile, TablesWithoutRecords) {
    const std::string text = "Mao Tse-tung, Hu-nan";
    EXPECT_EQ(ConvertExactly("", text), text);
    EXPECT_EQ(Records(std::string(1'000'000, '\n')), 0u);
    EXPECT_EQ(ConvertExactly(std::string(999'999, '\r') + "\n", text), text);
    // All tabs: one record with an empty key, which no input can match.
    EXPECT_EQ(Records(std::string(1'000'000, '\t')), 1u);
    EXPECT_EQ(ConvertExactly(std::string(1'000'000, '\t'), text + "\t\t"), text + "\t\t");
}

TEST_F(Hostile, TheByteLimitBothWays) {
    // Filler lines up to the last line, which ends exactly at the limit or
    // one byte past it.
    const std::string last = "mao\tMAO-OK\n";
    std::string table;
    while (table.size() + 12 <= 1'000'000 - last.size()) table += "zzzzzz\tyyyy\n";
    table += std::string(1'000'000 - last.size() - table.size() - 1, 'x') + "\n";
    ASSERT_EQ(table.size() + last.size(), 1'000'000u);
    EXPECT_EQ(ConvertExactly(table + last, "mao"), "MAO-OK");
    // One byte more: the same line now ends past the limit and is dropped.
    EXPECT_EQ(ConvertExactly(table + "m" + last, "mao"), "mao");
    // Bytes past the limit are never read, whatever they hold.
    EXPECT_EQ(ConvertExactly(table + last + "mao\toverridden\n", "mao"), "MAO-OK");
}

TEST_F(Hostile, TheRecordLimit) {
    // Two-byte records (an empty key and value) reach the limit within the
    // byte limit; the record after the 499,999th is not taken.
    std::string table;
    for (int i = 0; i < 499'998; ++i) table += "\t\n";
    EXPECT_EQ(ConvertExactly(table + "a\tb\n", "a"), "b");
    EXPECT_EQ(Records(table + "a\tb\n"), 499'999u);
    EXPECT_EQ(ConvertExactly(table + "\t\na\tb\n", "a"), "a");
    EXPECT_EQ(Records(table + "\t\n\t\n\t\n"), 499'999u);
}

TEST_F(Hostile, AHundredThousandByteKey) {
    const std::string key(100'000, 'q');
    const std::string table = key + "\tlong\r\nq\tshort\r\n";
    EXPECT_TRUE(ConvertExactly(table, "x " + key + " y") == "x long y");
    // One letter short: only the run's last q converts. One letter too
    // many: the key matches from the run's second letter.
    EXPECT_TRUE(ConvertExactly(table, key.substr(1) + ". q") == key.substr(2) + "short. short");
    EXPECT_TRUE(ConvertExactly(table, key + "q q") == "qlong short");
    EXPECT_TRUE(ConvertExactly(table, "q-" + key) == "short-long");
    // A value as long, emitted in capitals.
    EXPECT_TRUE(ConvertExactly("a\t" + key + "\r\n", "A") == std::string(100'000, 'Q'));
}

TEST_F(Hostile, NulsAndHighBytesInTables) {
    // Nothing after a NUL in the file is read as records.
    EXPECT_EQ(ConvertExactly(std::string("ab\tx\r\n\0cd\ty\r\n", 13), "ab cd"), "x cd");
    // Every byte value in keys and values, between letters.
    std::mt19937 rng(1252);
    std::string table;
    for (int line = 0; line < 2000; ++line) {
        for (int k = 0; k < 6; ++k) table += static_cast<char>(0x80 + rng() % 0x80);
        table += rng() % 2 ? "a\t" : "\t";
        for (int k = 0; k < 6; ++k) table += static_cast<char>(0x80 + rng() % 0x80);
        table += "\r\n";
    }
    table += "a\t\xFC\xFF\x80\r\n";
    std::string input;
    for (int k = 0; k < 4096; ++k) input += static_cast<char>(0x80 + rng() % 0x80);
    EXPECT_EQ(ConvertExactly(table, input), input);
    EXPECT_EQ(ConvertExactly(table, "a a"), "\xFC\xFF\x80 \xFC\xFF\x80");
}

TEST_F(Hostile, InputsWithoutAnythingToConvert) {
    const std::string table = test::ReadFile(std::string(KESTI_DATA_DIR) + "/kestisyl.txt");
    // Ten million letters: only the end of the run can be a key.
    std::string run;
    while (run.size() < 10'000'000) run += "changhsiehchuang";
    run.resize(10'000'000);
    const std::string converted = ConvertExactly(table, run + "ch'ang");
    EXPECT_EQ(converted.compare(0, run.size(), run), 0);
    EXPECT_EQ(ConvertExactly(table, std::string(1'000'000, '-')), std::string(1'000'000, '-'));
    std::string high;
    for (int i = 0; i < 1'000'000; ++i) high += static_cast<char>(0x80 + i % 0x80);
    EXPECT_EQ(ConvertExactly(table, high), high);
}

}  // namespace
}  // namespace kesti
