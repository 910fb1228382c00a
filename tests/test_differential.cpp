// The real loader, lookup and pass, with and without the lookup index,
// against a deliberately naive reference: split the file line by line, then
// at every letter try every record and keep the longest acceptable one (the
// later record among equal keys).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/naive_reference.h"
#include "tests/test_support.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

using test::NaiveConvert;
using test::NaiveRecord;
using test::NaiveSplit;

std::string Random(std::mt19937& rng, const std::string& alphabet, std::size_t maxLength) {
    std::string s(rng() % (maxLength + 1), ' ');
    for (char& c : s) c = alphabet[rng() % alphabet.size()];
    return s;
}

TEST(Differential, RealCodeAgreesWithTheNaiveReference) {
    std::mt19937 rng(20261207);
    const std::string keyBytes = "aAbBcC'-\xFC ";
    const std::string valueBytes = "xyzXYZ\xFC-";
    const std::string inputBytes = "aAbBcC'-\xFC .\t";
    const char* breaks[] = {"\r\n", "\n", "\r", "\n\r", "\r\r", "\n\n", "\r\n\r\n", "\n\n\n"};
    for (int round = 0; round < 4000; ++round) {
        std::string file;
        const int lines = static_cast<int>(rng() % 12);
        for (int l = 0; l < lines; ++l) {
            file += Random(rng, keyBytes, 5);
            if (rng() % 8) file += '\t';
            file += Random(rng, valueBytes, 4);
            if (rng() % 16 == 0) file += "\t" + Random(rng, valueBytes, 3);
            if (l + 1 < lines || rng() % 2) file += breaks[rng() % 8];
        }
        if (rng() % 50 == 0) file.insert(rng() % (file.size() + 1), 1, '\0');
        // Now and then a key longer than any real word, which makes the pass
        // weigh each run of letters before looking it up.
        const bool longKey = rng() % 8 == 0;
        if (longKey) file = "\n" + std::string(300, 'a') + "\tLONG\n" + file;

        test::TestTable real(file), indexed(file);
        ASSERT_EQ(real.status, LoadStatus::Ok);
        ASSERT_TRUE(BuildLookupIndex(indexed.table));
        const std::vector<NaiveRecord> naive = NaiveSplit(file);
        ASSERT_EQ(real.table.count, naive.size());
        for (int k = 0; k < 8; ++k) {
            std::string input = Random(rng, inputBytes, 24);
            if (longKey && k % 2) input.insert(rng() % (input.size() + 1), std::string(299 + rng() % 3, 'a'));
            const std::string expected = NaiveConvert(naive, input);
            ASSERT_EQ(test::Convert(real.table, input), expected)
                << "round " << round << "\ntable:\n" << file << "\ninput: " << input;
            ASSERT_EQ(test::Convert(indexed.table, input), expected)
                << "with the index, round " << round << "\ntable:\n" << file << "\ninput: " << input;
        }
    }
}

// The splitter reads its text in blocks of 64 bytes: tabs, breaks and pairs
// of breaks on every side of a block's edge, among control bytes and high
// bytes that it must pass over (0x89, 0x8A and 0x8D differ from a tab or a
// break only in their top bit).
TEST(Differential, SplitterAgreesWithTheNaiveSplitAtEveryBlockEdge) {
    std::mt19937 rng(7);
    const std::string bytes = std::string("aAzZ'-\x01\x0B\x0C\x0E\x1F\x7F\x80\x89\x8A\x8D\xFC\xFF\t\t\r\n\r\n", 24);
    for (int round = 0; round < 3000; ++round) {
        std::string file = Random(rng, bytes, 300);
        if (rng() % 20 == 0) file.insert(rng() % (file.size() + 1), 1, '\0');
        test::TestTable real(file);
        ASSERT_EQ(real.status, LoadStatus::Ok);
        std::vector<NaiveRecord> naive = NaiveSplit(file);
        std::stable_sort(naive.begin(), naive.end(), [](const NaiveRecord& a, const NaiveRecord& b) {
            return CompareIgnoreCase(a.key.c_str(), b.key.c_str()) < 0;
        });
        ASSERT_EQ(real.table.count, naive.size()) << "round " << round;
        std::size_t maxKey = 0, maxValue = 0;
        for (std::size_t i = 0; i < naive.size(); ++i) {
            ASSERT_EQ(real.table.records[i].key, naive[i].key) << "round " << round << " record " << i;
            ASSERT_EQ(real.table.records[i].value, naive[i].value) << "round " << round << " record " << i;
            maxKey = std::max(maxKey, naive[i].key.size());
            maxValue = std::max(maxValue, naive[i].value.size());
        }
        EXPECT_EQ(real.table.maxKeyLength, maxKey);
        EXPECT_EQ(real.table.maxValueLength, maxValue);
    }
}

// Keys that agree over their first eight bytes, ignoring case, are ordered
// by the bytes after them; equal keys keep the file's order.
TEST(Differential, SortAgreesWithAStableSortOnLongSharedPrefixes) {
    std::mt19937 rng(88);
    const char* prefixes[] = {"pei-chin", "PEI-CHIN", "Pei-Chin", "pei-ch", "pei-chinG"};
    for (int round = 0; round < 500; ++round) {
        std::string file;
        for (int line = 0; line < 40; ++line) {
            file += prefixes[rng() % 5] + Random(rng, "gGaA -'\xFC", 3);
            file += "\t" + std::to_string(line) + "\n";
        }
        test::TestTable real(file);
        std::vector<NaiveRecord> naive = NaiveSplit(file);
        std::stable_sort(naive.begin(), naive.end(), [](const NaiveRecord& a, const NaiveRecord& b) {
            return CompareIgnoreCase(a.key.c_str(), b.key.c_str()) < 0;
        });
        ASSERT_EQ(real.table.count, naive.size());
        for (std::size_t i = 0; i < naive.size(); ++i) {
            ASSERT_EQ(real.table.records[i].key, naive[i].key) << "round " << round << " record " << i;
            ASSERT_EQ(real.table.records[i].value, naive[i].value) << "round " << round << " record " << i;
        }
    }
}

}  // namespace
}  // namespace kesti
