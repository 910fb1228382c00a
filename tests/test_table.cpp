// Splitting table files into records, the limits, and loading from disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/support.h"

namespace kesti {
namespace {

using test::TempDir;
using test::TestTable;
using Records = std::vector<std::pair<std::string, std::string>>;

Records RecordsOf(const ConversionTable& table) {
    Records out;
    for (std::size_t i = 0; i < table.count; ++i) {
        out.emplace_back(table.records[i].key, table.records[i].value);
        EXPECT_EQ(KeyOf(table.records[i]), std::string_view(table.records[i].key)) << "length told without reading";
    }
    EXPECT_EQ(table.records[table.count].key, nullptr) << "end marker";
    return out;
}

Records Split(std::string_view bytes) {
    TestTable t(bytes);
    EXPECT_EQ(t.status, LoadStatus::Ok);
    return RecordsOf(t.table);
}

TEST(Split, EveryLineBreakFormReadsTheSame) {
    const Records expected = {{"a", "1"}, {"b", "2"}, {"c", "3"}};
    for (const char* brk : {"\r\n", "\n", "\r", "\n\r", "\r\r", "\n\n"}) {
        const std::string b = brk;
        EXPECT_EQ(Split("a\t1" + b + "b\t2" + b + "c\t3" + b), expected) << "break " << b.size();
        EXPECT_EQ(Split("a\t1" + b + "b\t2" + b + "c\t3"), expected) << "no final break";
    }
}

TEST(Split, BlankLinesYieldNothingAndKeepTheNextKey) {
    const Records expected = {{"a", "1"}, {"b", "2"}};
    EXPECT_EQ(Split("a\t1\r\n\r\nb\t2\r\n"), expected);
    EXPECT_EQ(Split("a\t1\r\n\r\n\r\nb\t2"), expected);
    EXPECT_EQ(Split("a\t1\n\n\nb\t2"), expected);
    EXPECT_EQ(Split("\n\n\n\na\t1\n\n\n\n\nb\t2\n\n\n"), expected);
}

TEST(Split, EmptyKeysValuesAndLinesWithoutTab) {
    EXPECT_EQ(Split("an\t\r\n"), (Records{{"an", ""}}));
    EXPECT_EQ(Split("\tx\r\n"), (Records{{"", "x"}}));
    EXPECT_EQ(Split("no tab here\r\na\t1\r\nlast line"), (Records{{"a", "1"}}));
    EXPECT_EQ(Split(""), Records{});
    EXPECT_EQ(Split("\r\n\r\n"), Records{});
    // Nothing is trimmed: the trailing space stays part of the key.
    EXPECT_EQ(Split("ch \t x \n"), (Records{{"ch ", " x "}}));
}

TEST(Split, ExtraTabsEndTheValue) {
    EXPECT_EQ(Split("a\t1\t2\t3\nb\t4"), (Records{{"a", "1"}, {"b", "4"}}));
    EXPECT_EQ(Split("a\t\t\n"), (Records{{"a", ""}}));
}

TEST(Split, NulInTheFileEndsTheText) {
    EXPECT_EQ(Split(std::string("a\t1\nb\t2\0\nc\t3\n", 13)), (Records{{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(Split(std::string("a\t1\nb\0\t2\nc\t3\n", 13)), (Records{{"a", "1"}}));
}

TEST(Split, SortsByFoldedKeyWithPunctuationFirstAndKeepsEqualKeys) {
    const Records records = Split("chang\tzhang\r\nch'ang\tchang\r\nCh_\tu\r\nChang\tZhang\r\nch\tx");
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(records[0].first, "ch");
    EXPECT_EQ(records[1].first, "ch'ang");
    EXPECT_EQ(records[2].first, "Ch_");  // '_' sorts before letters
    // Equal keys stay, in file order.
    EXPECT_EQ(records[3], (std::pair<std::string, std::string>{"chang", "zhang"}));
    EXPECT_EQ(records[4], (std::pair<std::string, std::string>{"Chang", "Zhang"}));
}

// A table already in order is not sorted; the check compares the keys'
// first eight bytes at once, so pairs out of order only beyond them, or
// only by case, must still be noticed.
TEST(Split, NoticesKeysOutOfOrderBeyondTheirFirstEightBytes) {
    const auto keys = [](const Records& records) {
        std::string out;
        for (const auto& r : records) out += r.first + " ";
        return out;
    };
    EXPECT_EQ(keys(Split("abcdefghij\t1\nabcdefghia\t2\n")), "abcdefghia abcdefghij ");
    EXPECT_EQ(keys(Split("ABCDEFGHz\t1\nabcdefgha\t2\n")), "abcdefgha ABCDEFGHz ");
    EXPECT_EQ(keys(Split("abcdefgh\t1\nABCDEFG\t2\n")), "ABCDEFG abcdefgh ");
    EXPECT_EQ(keys(Split("abcdefgh\t1\nABCDEFGH\t2\nabcdefgh'\t3\n")), "abcdefgh ABCDEFGH abcdefgh' ");
    EXPECT_EQ(keys(Split("b\t1\na\xFC\t2\na\t3\n")), "a a\xFC b ");
}

TEST(Split, LengthsOfTheLongestKeyAndValue) {
    TestTable t("ab\tc\nabcdef\tx\nq\tlongvalue\tignored\n");
    EXPECT_EQ(t.table.maxKeyLength, 6u);
    EXPECT_EQ(t.table.maxValueLength, 9u);
}

// Builds a file of exactly `size` bytes whose records are "k<n>\tv" lines and
// whose last line is "last\t" padded with 'x'.
std::string FileOfSize(std::size_t size) {
    std::string bytes;
    for (int n = 0; bytes.size() + 40 < size; ++n) bytes += "k" + std::to_string(n) + "\tv\r\n";
    bytes += "last\t";
    bytes.append(size - bytes.size(), 'x');
    return bytes;
}

TEST(Load, ALineCutByTheByteLimitIsDropped) {
    TempDir dir;
    const std::string bytes = FileOfSize(kMaxTableBytes);
    auto lastRecord = [&](const std::string& file) {
        test::WriteFile(dir.File("t.txt"), file);
        ConversionTable table;
        EXPECT_EQ(LoadTable(dir.File("t.txt").c_str(), table), LoadStatus::Ok);
        Records r = RecordsOf(table);
        ReleaseTable(table);
        std::sort(r.begin(), r.end(), [](auto& a, auto& b) { return a.first.size() < b.first.size(); });
        for (auto& rec : r)
            if (rec.first == "last") return rec.second.size();
        return std::string::npos;
    };
    const std::size_t padded = bytes.size() - bytes.rfind('\t') - 1;
    // Exactly at the limit, with or without a break after it: complete.
    EXPECT_EQ(lastRecord(bytes), padded);
    EXPECT_EQ(lastRecord(bytes + "\r\n"), padded);
    EXPECT_EQ(lastRecord(bytes + "\n"), padded);
    // One more byte on the line: the line is cut, and dropped.
    EXPECT_EQ(lastRecord(bytes + "x"), std::string::npos);
    EXPECT_EQ(lastRecord(bytes + "xxxxxxxx\r\nmore\tlines\r\n"), std::string::npos);
    // A shorter file keeps its last line whole.
    EXPECT_EQ(lastRecord(bytes.substr(0, bytes.size() - 1)), padded - 1);
}

TEST(Load, AFileThatIsOneLongCutLineHasNoRecords) {
    TempDir dir;
    test::WriteFile(dir.File("t.txt"), "key\t" + std::string(kMaxTableBytes, 'v'));
    ConversionTable table;
    ASSERT_EQ(LoadTable(dir.File("t.txt").c_str(), table), LoadStatus::Ok);
    EXPECT_EQ(table.count, 0u);
    ReleaseTable(table);
}

TEST(Load, StopsTakingRecordsWhenTheArrayIsFull) {
    // 500,000 two-byte records fill exactly the byte limit; one is too many.
    TempDir dir;
    std::string bytes;
    for (std::size_t i = 0; i < kMaxRecords + 1; ++i) bytes += "\t\n";
    ASSERT_EQ(bytes.size(), kMaxTableBytes);
    test::WriteFile(dir.File("t.txt"), bytes);
    ConversionTable table;
    ASSERT_EQ(LoadTable(dir.File("t.txt").c_str(), table), LoadStatus::Ok);
    EXPECT_EQ(table.count, kMaxRecords);
    EXPECT_EQ(table.records[kMaxRecords].key, nullptr);
    ReleaseTable(table);

    TestTable many(bytes + "a\tlast\n");
    EXPECT_EQ(many.table.count, kMaxRecords);
    for (std::size_t i = 0; i < many.table.count; ++i) ASSERT_STREQ(many.table.records[i].key, "");
}

TEST(Load, MissingFileAndDirectoryFail) {
    TempDir dir;
    ConversionTable table;
    int error = 0;
    EXPECT_EQ(LoadTable(dir.File("absent.txt").c_str(), table, &error), LoadStatus::OpenFailed);
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(table.text, nullptr);
    // A directory opens on Linux but cannot be read: that is no empty table.
    EXPECT_EQ(LoadTable(dir.path.c_str(), table, &error), LoadStatus::ReadFailed);
    EXPECT_EQ(table.records, nullptr);
}

TEST(Load, AFifoIsRefusedWithoutWaitingForAWriter) {
    TempDir dir;
    const std::string fifo = dir.File("kestisyl.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    ConversionTable table;
    LoadStatus status = LoadStatus::Ok;
    EXPECT_TRUE(test::ReturnsWithoutBlocking(fifo, [&] { status = LoadTable(fifo.c_str(), table); }));
    EXPECT_EQ(status, LoadStatus::NotRegularFile);
    EXPECT_EQ(table.text, nullptr);
    ReleaseTable(table);
}

TEST(Load, EmptyFileIsAnEmptyTable) {
    TempDir dir;
    test::WriteFile(dir.File("t.txt"), "");
    ConversionTable table;
    ASSERT_EQ(LoadTable(dir.File("t.txt").c_str(), table), LoadStatus::Ok);
    EXPECT_EQ(table.count, 0u);
    ReleaseTable(table);
}

}  // namespace
}  // namespace kesti
