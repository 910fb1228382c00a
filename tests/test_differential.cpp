// The real loader, lookup and pass, with and without the lookup index,
// against a deliberately naive reference: split the file line by line, then
// at every letter try every record and keep the longest acceptable one (the
// later record among equal keys).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "api/pass.h"
#include "tests/support/naive_reference.h"
#include "tests/support/support.h"
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
            ASSERT_EQ(test::Convert(real.table, input), expected) << "round " << round << "\ntable:\n"
                                                                  << file << "\ninput: " << input;
            ASSERT_EQ(test::Convert(indexed.table, input), expected)
                << "with the index, round " << round << "\ntable:\n"
                << file << "\ninput: " << input;
        }
    }
}

// Keys as real tables hold them, runs of letters joined by apostrophes,
// hyphens, spaces and ü, which the index reads a run (with the byte before
// it) at a time, cutting runs after eight bytes. Runs of one to a dozen
// letters, in any case, before every kind of byte, and keys that begin with
// more than eight.
TEST(Differential, LookupsByStepsAgreeWithTheNaiveReference) {
    std::mt19937 rng(777);
    const std::string letters = "aAbBcC";
    const std::string joins = "'- \xFC";
    for (int round = 0; round < 2000; ++round) {
        std::string file = "abcabca\tSEVEN\n";  // keys of seven bytes: lookups by head
        const int lines = 1 + static_cast<int>(rng() % 25);
        for (int l = 0; l < lines; ++l) {
            std::string key = Random(rng, letters, 1 + rng() % 8);
            if (key.empty()) key = "a";
            while (rng() % 3 == 0) key += joins[rng() % joins.size()] + Random(rng, letters, 1 + rng() % 4);
            file += key + "\t" + Random(rng, "xyzXYZ", 3) + (rng() % 2 ? "\r\n" : "\n");
        }
        // Now and then a key that begins with eight letters or more, which
        // the input then holds too.
        const std::string longKey = rng() % 3 == 0 ? Random(rng, letters, 8 + rng() % 4) : "";
        if (!longKey.empty()) file += longKey + "\tLONG\n";
        test::TestTable plain(file), indexed(file);
        ASSERT_TRUE(BuildLookupIndex(indexed.table));
        const std::vector<NaiveRecord> naive = NaiveSplit(file);
        for (int k = 0; k < 8; ++k) {
            std::string input = Random(rng, letters + joins + ".,\t", 9 + rng() % 32);
            if (k % 2) input.insert(rng() % (input.size() + 1), Random(rng, letters, 7 + rng() % 6));
            if (!longKey.empty() && k % 4 == 0) input.insert(rng() % (input.size() + 1), " " + longKey + ". ");
            const std::string expected = NaiveConvert(naive, input);
            ASSERT_EQ(test::Convert(indexed.table, input), expected) << "round " << round << "\ntable:\n"
                                                                     << file << "\ninput: " << input;
            ASSERT_EQ(test::Convert(plain.table, input), expected) << "round " << round;
        }
    }
}

// Long inputs take the indexed pass, which stages its output, settles a
// run's first letter through the index's first step and remembers the
// runs in which nothing matched. Words from a small vocabulary, so that
// runs recur: keys in any case, keys inside longer runs, runs of eight
// letters or more, between bytes that keys go on with; values of every
// length up to well past sixteen bytes. Whole, and in pieces into an
// output barely longer than the longest value.
// Where two long outputs first differ, with a little of each around it.
std::string FirstDifference(const std::string& got, const std::string& expected) {
    std::size_t at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at]) ++at;
    const std::size_t from = at < 40 ? 0 : at - 40;
    return "at byte " + std::to_string(at) + ": got \"" + got.substr(from, 80) + "\", expected \"" +
           expected.substr(from, 80) + "\"";
}

TEST(Differential, LongInputsThroughTheIndexAgreeWithTheNaiveReference) {
    std::mt19937 rng(4242);
    const std::string letters = "aAbBcCdD";
    const std::string joins = "'- \xFC";
    for (int round = 0; round < 400; ++round) {
        std::string file;
        std::vector<std::string> keys;
        const int lines = 1 + static_cast<int>(rng() % 30);
        for (int l = 0; l < lines; ++l) {
            std::string key = Random(rng, letters, 1 + rng() % 6);
            if (key.empty()) key = "a";
            // Every other table has most keys go on past their first run,
            // as names do.
            while (round % 2 ? rng() % 4 != 0 : rng() % 3 == 0)
                key += joins[rng() % joins.size()] + Random(rng, letters, 1 + rng() % 9);
            keys.push_back(key);
            // Values as short as a byte, or well past sixteen bytes.
            const std::size_t longest = round % 3 == 0 ? 1 : rng() % 4 == 0 ? 40 : 6;
            file += key + "\t" + Random(rng, "xyzXYZ\xFC", longest) + "\n";
        }
        std::vector<std::string> words = keys;
        for (int w = 0; w < 12; ++w) words.push_back(Random(rng, letters, 1 + rng() % 11));
        for (int w = 0; w < 6; ++w) {
            // Keys inside runs, whole or up to where they go on past the
            // run, so that the same run comes before different bytes.
            const std::string& key = keys[rng() % keys.size()];
            const std::string inside = Random(rng, letters, 1 + rng() % 4) + key;
            words.push_back(inside);
            words.push_back(inside.substr(0, inside.find_first_of(joins)));
        }
        const std::string separators = joins + ".,\t";
        std::string input;
        // Now and then long enough for the pass to ask its memo first.
        const std::size_t length = round % 10 == 0 ? 70000 + rng() % 30000 : 2000 + rng() % 20000;
        while (input.size() < length) {
            std::string word = words[rng() % words.size()];
            if (rng() % 3 == 0) word[0] = static_cast<char>(ToUpper(static_cast<unsigned char>(word[0])));
            input += word;
            input += separators[rng() % separators.size()];
            if (rng() % 5 == 0) input += separators[rng() % separators.size()];
            // Now and then a long stretch without letters, longer than the
            // blocks the pass copies such bytes in.
            if (rng() % 50 == 0) input += Random(rng, separators + "0123456789", 10 + rng() % 40);
        }
        test::TestTable indexed(file);
        ASSERT_TRUE(BuildLookupIndex(indexed.table));
        const std::string expected = NaiveConvert(NaiveSplit(file), input);
        const std::string whole = test::Convert(indexed.table, input);
        ASSERT_TRUE(whole == expected) << "round " << round << ", " << FirstDifference(whole, expected) << "\ninput: \""
                                       << input.substr(0, 200) << "\"...\ntable:\n"
                                       << file;

        std::string pieces;
        std::vector<char> out(indexed.table.maxValueLength + 1 + rng() % 40);
        for (std::size_t fed = 0, consumed = 0; consumed < input.size() || fed < input.size();) {
            fed = std::min(input.size(), fed + 1 + rng() % 5000);
            const bool final = fed == input.size();
            const PassProgress p = RunConversionPass(indexed.table, input.data() + consumed, fed - consumed, final,
                                                     out.data(), out.size());
            pieces.append(out.data(), p.written);
            consumed += p.consumed;
            if (final && p.consumed == 0 && p.written == 0) break;
        }
        ASSERT_TRUE(pieces == expected) << "in pieces, round " << round << ", " << FirstDifference(pieces, expected)
                                        << "\ntable:\n"
                                        << file;
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

// A table made for one input holds only the records that input can match;
// converting that input with it must give what the whole table gives.
struct TableForInput {
    TableOwner owner;
    LoadStatus status;
    TableForInput(std::string_view bytes, const std::string& input, bool cutAtLimit = false,
                  TableScan scan = TableScan::Best) {
        char* text = static_cast<char*>(std::malloc(bytes.size() + kTextPadding));
        std::memcpy(text, bytes.data(), bytes.size());
        status = BuildTableForInput(text, bytes.size(), cutAtLimit, input.data(), input.size(), owner.table, scan);
    }
};

// Inputs whose letters touch one first byte, several, or all of the
// table's; tables sorted, sorted except within one first byte, or in no
// order; equal keys in several cases on both sides of a line cut by the
// byte limit.
TEST(Differential, TableForOneInputConvertsItAsTheWholeTableDoes) {
    std::mt19937 rng(1207);
    // a, i and q share a group in the wide scan's filter of first letters.
    const std::string letters = "aAbBiIqQ";
    const char* breaks[] = {"\r\n", "\n", "\r", "\n\r", "\r\r"};
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::string> lines;
        const int count = 1 + static_cast<int>(rng() % 30);
        for (int l = 0; l < count; ++l) {
            std::string key = Random(rng, "aAbBiIqQ'-\xFC\x89\x8D\xC9\t ", 4);
            if (rng() % 10 == 0 && !lines.empty()) key = lines[rng() % lines.size()].substr(0, lines[0].find('\t'));
            if (rng() % 3 == 0 && !key.empty()) key[0] = letters[rng() % letters.size()];
            lines.push_back(key + (rng() % 12 ? "\t" : "") + Random(rng, "xyzXYZ", 3) +
                            (rng() % 16 ? "" : "\tnot the value"));
        }
        const int order = static_cast<int>(rng() % 3);
        auto byKey = [](const std::string& a, const std::string& b) {
            return CompareIgnoreCase(a.substr(0, a.find('\t')).c_str(), b.substr(0, b.find('\t')).c_str()) < 0;
        };
        if (order > 0) std::stable_sort(lines.begin(), lines.end(), byKey);
        if (order == 1) {
            // Out of order only among the keys of one first byte.
            const char first = static_cast<char>(FoldCase(static_cast<unsigned char>(letters[rng() % letters.size()])));
            std::vector<std::size_t> same;
            for (std::size_t i = 0; i < lines.size(); ++i)
                if (!lines[i].empty() && FoldCase(static_cast<unsigned char>(lines[i][0])) == first) same.push_back(i);
            if (same.size() >= 2) std::swap(lines[same.front()], lines[same.back()]);
        }
        std::string file;
        for (const std::string& line : lines) file += line + breaks[rng() % std::size(breaks)];
        if (rng() % 40 == 0) file.insert(rng() % (file.size() + 1), 1, '\0');
        // Now and then the file runs on past its bytes: the last line is cut.
        const bool cut = rng() % 6 == 0;
        if (cut) file.resize(file.size() - rng() % std::min<std::size_t>(file.size(), 6));

        std::string whole = file;
        if (cut) whole.resize(whole.find_last_of("\r\n") == std::string::npos ? 0 : whole.find_last_of("\r\n") + 1);
        const std::vector<NaiveRecord> naive = NaiveSplit(whole);
        for (int k = 0; k < 6; ++k) {
            // One first byte, two, or any.
            const std::string alphabet = k < 2   ? std::string(1, letters[rng() % letters.size()]) + "' -."
                                         : k < 4 ? std::string(letters, 0, 4) + "'\xFC -"
                                                 : letters + "'-\xFC\xC9\x89 .\t";
            const std::string input = Random(rng, alphabet, 16);
            const std::string expected = NaiveConvert(naive, input);
            // The scan this processor has, and the one every processor has.
            for (const TableScan scan : {TableScan::Best, TableScan::Portable}) {
                TableForInput chosen(file, input, cut, scan);
                ASSERT_EQ(chosen.status, LoadStatus::Ok);
                ASSERT_LE(chosen.owner.table.count, naive.size());
                ASSERT_EQ(test::Convert(chosen.owner.table, input), expected)
                    << "round " << round << (scan == TableScan::Best ? "" : " (portable scan)") << "\ntable:\n"
                    << file << "\ninput: " << input;
            }
        }
    }
}

// The record array holds 499,999 records; a file of 1,000,000 bytes can
// hold one more, an empty record per two bytes. Which record is the one too
// many depends on every line before it, for the table made for one input as
// for the whole table.
TEST(Differential, TableForOneInputKeepsTheRecordLimit) {
    std::string filler;
    for (std::size_t i = 0; i + 1 < kMaxRecords; ++i) filler += "\t\n";
    // Record 499,999 is kept, record 500,000 is not.
    const std::string lastKept = filler + "b\t\n" + "a\t\n";
    const std::string input = "a b";
    test::TestTable whole(lastKept);
    TableForInput chosen(lastKept, input);
    ASSERT_EQ(whole.status, LoadStatus::Ok);
    ASSERT_EQ(chosen.status, LoadStatus::Ok);
    EXPECT_EQ(test::Convert(whole.table, input), "a ");
    EXPECT_EQ(test::Convert(chosen.owner.table, input), "a ");
    // With the record limit beyond the input's letters, both are kept.
    const std::string bothKept = "a\tA\n" + filler.substr(4) + "b\t\n";
    TableForInput early(bothKept, input);
    ASSERT_EQ(early.status, LoadStatus::Ok);
    EXPECT_EQ(test::Convert(early.owner.table, input), "A ");
}

}  // namespace
}  // namespace kesti
