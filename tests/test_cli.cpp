// The kesti command: encodings, streaming in pieces, options and failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/fields.h"
#include "api/stream.h"
#include "prose/prose.h"
#include "tests/support/support.h"

namespace kesti {
namespace {

using test::TempDir;
using test::TestTable;
using test::WriteFile;

const char kTable[] =
    "pei\tbei\r\nching\tjing\r\nhs\xFC"
    "eh\txue\r\nch'ing\tqing\r\nch\x92ing\tqing\r\n"
    "j\xEA"
    "n\tren\r\nPei-ching\tBeijing\r\n";

std::string Utf8(const TestTable& t, const std::string& in, Encoding e = Encoding::Utf8) {
    std::string out;
    const StreamResult r = ConvertString(t.table, e, in, out);
    EXPECT_TRUE(r.ok) << r.error;
    return out;
}

TEST(CliEncoding, Utf8ConvertsAsTheTablesBytesDo) {
    TestTable t(kTable);
    EXPECT_EQ(Utf8(t, "Pei ta-hsüeh"), "Bei ta-xue");
    EXPECT_EQ(Utf8(t,
                   "hsu\xCC\x88"
                   "eh"),
              "xue");  // u + U+0308 COMBINING DIAERESIS
    EXPECT_EQ(Utf8(t, "Ch’ing jên"), "Qing ren");
    EXPECT_EQ(Utf8(t, "ch'ing"), "qing");
    // Unmatched ü comes back as ü; the combining form comes back composed.
    EXPECT_EQ(Utf8(t, "xü xu\xCC\x88"), "xü xü");
    // A combining diaeresis after anything but u passes through as it is.
    EXPECT_EQ(Utf8(t, "pe\xCC\x88i"), "pe\xCC\x88i");
}

TEST(CliEncoding, CharactersOutsideWindows1252PassThroughInPlace) {
    TestTable t(kTable);
    EXPECT_EQ(Utf8(t, "北京 Pei-ching 北京大学 ta-hsüeh😀ching"), "北京 Beijing 北京大学 ta-xue😀jing");
    EXPECT_EQ(Utf8(t, "Pei北ching"), "Bei北jing");
    // They end a key like any non-letter: "ch'ing" needs no hyphen after it.
    EXPECT_EQ(Utf8(t, "ch'ing—ch'ing中"), "qing—qing中");
    EXPECT_EQ(Utf8(t, "€ ‚ „ … † ‡ ˆ ‰ Š ‹ Œ Ž"), "€ ‚ „ … † ‡ ˆ ‰ Š ‹ Œ Ž");
}

TEST(CliEncoding, MalformedUtf8StopsWithItsOffset) {
    TestTable t(kTable);
    struct Case {
        std::string input;
        std::string offset;
    };
    const Case cases[] = {
        {"pei \xFF", "offset 4"},            // never a UTF-8 byte
        {"ab\xC3(", "offset 2"},             // lead byte, then no continuation
        {"\xC0\xAF", "offset 0"},            // overlong '/'
        {"x\xED\xA0\x80", "offset 1"},       // surrogate
        {"xx\xF4\x90\x80\x80", "offset 2"},  // past U+10FFFF
        {"pei \xE4\xB8", "offset 4"},        // ends inside a character
        {"\x80", "offset 0"},                // a lone continuation byte
    };
    for (const Case& c : cases) {
        std::string out;
        const StreamResult r = ConvertString(t.table, Encoding::Utf8, c.input, out);
        EXPECT_FALSE(r.ok) << c.input;
        EXPECT_NE(r.error.find(c.offset), std::string::npos) << r.error;
    }
}

TEST(CliEncoding, Cp1252ConvertsRawBytes) {
    TestTable t(kTable);
    EXPECT_EQ(Utf8(t,
                   "Pei ta-hs\xFC"
                   "eh \xFF",
                   Encoding::Cp1252),
              "Bei ta-xue \xFF");
}

TEST(CliStream, AnyChunkingGivesTheWholeResult) {
    // Long values and multi-byte characters split at every possible place.
    std::string table = kTable;
    table += "a\t" + std::string(70000, 'A') + "\r\n";
    TestTable t(table);
    const std::vector<std::string> pieces = {"Pei", "-",    "ching", " ",         "ch'ing", "ch’ing", "hsüeh",
                                             "a",   "北京", "😀",     "u\xCC\x88", "\r\n",   "x",      "jên"};
    std::mt19937 rng(11);
    for (int round = 0; round < 60; ++round) {
        std::string input;
        const int count = static_cast<int>(rng() % 400);
        for (int i = 0; i < count; ++i) input += pieces[rng() % pieces.size()];
        const std::string whole = Utf8(t, input);
        for (std::size_t chunk :
             {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{1 + rng() % 100}}) {
            std::istringstream in(input);
            std::ostringstream out;
            const StreamResult r = ConvertStream(t.table, Encoding::Utf8, in, out, chunk);
            ASSERT_TRUE(r.ok) << r.error;
            ASSERT_EQ(out.str(), whole) << "chunk " << chunk;
        }
    }
}

TEST(CliStream, LongInputWithoutLineBreaksStreams) {
    TestTable t(kTable);
    std::string input;
    for (int i = 0; i < 50000; ++i) input += "Pei-ching ch'ing ";
    std::istringstream in(input);
    std::ostringstream out;
    ASSERT_TRUE(ConvertStream(t.table, Encoding::Utf8, in, out, 4096).ok);
    std::string expected;
    for (int i = 0; i < 50000; ++i) expected += "Beijing qing ";
    EXPECT_EQ(out.str(), expected);
}

// Runs the command in-process.
struct CommandRun {
    int status;
    std::string out, err;
};

CommandRun Kesti(const std::vector<std::string>& args, const std::string& stdinText = "") {
    std::istringstream in(stdinText);
    std::ostringstream out, err;
    const int status = RunKesti(args, in, out, err);
    return {status, out.str(), err.str()};
}

class Command : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir.File("kestisyl.txt"), kTable);
        WriteFile(dir.File("kestiwrd.txt"), "Pei-ching\tBeijing\r\n");
    }
    std::string Tables() const { return "--tables=" + dir.path.string(); }
    // The exact conversion with the small test tables.
    std::vector<std::string> Exact(std::vector<std::string> args) const {
        args.insert(args.begin(), {Tables(), "--exact"});
        return args;
    }
    TempDir dir;
};

TEST_F(Command, ConvertsTextStdinAndFiles) {
    EXPECT_EQ(Kesti(Exact({"--text", "Pei ching ta-hsüeh"})).out, "Bei jing ta-xue\n");
    EXPECT_EQ(Kesti(Exact({"--word", "--text=Pei-ching"})).out, "Beijing\n");
    EXPECT_EQ(Kesti(Exact({}), "ching\r\nching").out, "jing\r\njing");
    WriteFile(dir.File("a.txt"), "pei\n");
    WriteFile(dir.File("b.txt"), "ching");
    const CommandRun r = Kesti(Exact({dir.File("a.txt"), "-", dir.File("b.txt")}), "hsüeh\n");
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, "bei\nxue\njing");
    EXPECT_EQ(Kesti(Exact({"--encoding", "cp1252", "--text",
                           "hs\xFC"
                           "eh"}))
                  .out,
              "xue\n");
}

TEST_F(Command, UsageErrorsExitWith2) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"--bogus"},
                                                                                      {"--text"},
                                                                                      {"-o"},
                                                                                      {"--encoding", "latin9"},
                                                                                      {"--text", "x", "file"},
                                                                                      {"--word=yes"},
                                                                                      {"-o", "a", "-o", "b"}}) {
        const CommandRun r = Kesti(args);
        EXPECT_EQ(r.status, kExitUsage) << args[0];
        EXPECT_NE(r.err.find("kesti: "), std::string::npos);
    }
    EXPECT_EQ(Kesti({"--help"}).status, kExitOk);
    EXPECT_NE(Kesti({"--help"}).out.find("Usage: kesti"), std::string::npos);
    EXPECT_NE(Kesti({"--version"}).out.find("kesti "), std::string::npos);
}

TEST_F(Command, UnreadableTablesAndFilesExitWith1AndNameThePath) {
    const CommandRun noTable = Kesti({"--exact", "--tables", dir.File("nowhere"), "--text", "x"});
    EXPECT_EQ(noTable.status, kExitFailure);
    EXPECT_NE(noTable.err.find(dir.File("nowhere") + "/kestisyl.txt: No such file or directory"), std::string::npos);
    const CommandRun noFile = Kesti(Exact({dir.File("missing.txt")}));
    EXPECT_EQ(noFile.status, kExitFailure);
    EXPECT_NE(noFile.err.find("missing.txt: No such file or directory"), std::string::npos);
    const CommandRun isDir = Kesti(Exact({dir.path.string()}));
    EXPECT_EQ(isDir.status, kExitFailure);
    EXPECT_NE(isDir.err.find("Is a directory"), std::string::npos);
    const CommandRun badUtf8 = Kesti(Exact({}), "pei \xFF");
    EXPECT_EQ(badUtf8.status, kExitFailure);
    EXPECT_NE(badUtf8.err.find("standard input: invalid UTF-8 at byte offset 4"), std::string::npos);
}

TEST_F(Command, OutputFileIsReplacedOnlyOnSuccess) {
    const std::string output = dir.File("out.txt");
    WriteFile(output, "precious");
    WriteFile(dir.File("in.txt"), "pei");
    // A missing input leaves the output as it was, and no temporary behind.
    EXPECT_EQ(Kesti(Exact({"-o", output, dir.File("in.txt"), dir.File("missing.txt")})).status, kExitFailure);
    EXPECT_EQ(test::ReadFile(output), "precious");
    // So does malformed input.
    WriteFile(dir.File("bad.txt"), "pei \xFF");
    EXPECT_EQ(Kesti(Exact({"-o", output, dir.File("bad.txt")})).status, kExitFailure);
    EXPECT_EQ(test::ReadFile(output), "precious");
    EXPECT_EQ(Kesti(Exact({"-o", output, dir.File("in.txt")})).status, kExitOk);
    EXPECT_EQ(test::ReadFile(output), "bei");
    std::size_t files = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.path)) ++files;
    EXPECT_EQ(files, 5u);  // two tables, in, bad, out: no temporary left
}

TEST_F(Command, RefusesToOverwriteAnInput) {
    WriteFile(dir.File("in.txt"), "pei");
    const CommandRun r = Kesti({Tables(), "--output", dir.File("in.txt"), dir.File("in.txt")});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find("refusing to overwrite an input"), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir.File("in.txt")), "pei");
}

// The text mode with the shipped tables.
class TextCommand : public ::testing::Test {
protected:
    std::string Tables() const { return std::string("--tables=") + KESTI_DATA_DIR; }
    test::TempDir dir;
};

TEST_F(TextCommand, IsTheDefaultAndExactIsOneOptionAway) {
    const std::string sentence = "He went to Pei-ching, also into Hsi-an.";
    EXPECT_EQ(Kesti({Tables(), "--text", sentence}).out, "He went to Beijing, also into Xi'an.\n");
    EXPECT_EQ(Kesti({Tables(), "--exact", "--text", sentence}).out, "He went duo Bei-jing, alsuo induo Xi-an.\n");
    EXPECT_EQ(Kesti({Tables(), "--exact", "--word", "--text", sentence}).out,
              "He went duo Beijing, alsuo induo Xi'an.\n");
    EXPECT_EQ(Kesti({Tables(), "--hyphens", "keep", "--tones=numbers", "--text", "Mao2 Tse2-tung1, Chang Tso-lin"}).out,
              "Mao2 Ze2-dong1, Zhang Zuo-lin\n");
    EXPECT_EQ(Kesti({Tables(), "--tones", "none", "--english", "convert", "--text", "to Mao2 Tse2-tung1"}).out,
              "duo Mao Zedong\n");
    EXPECT_EQ(Kesti({Tables(), "--encoding", "cp1252", "--text", "Hs\xFC-an"}).out, "Xu'an\n");
    EXPECT_EQ(Kesti({Tables(), "--text", "Peking, Hsi-an"}).out, "Peking, Xi'an\n");
    EXPECT_EQ(Kesti({Tables(), "--conventional", "convert", "--text", "Peking, Hsi-an"}).out, "Beijing, Xi'an\n");
}

TEST_F(TextCommand, RefusesOptionsThatDoNotApply) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--word", "--text", "x"},
             {"--exact", "--tones", "none"},
             {"--exact", "--report", "r.tsv"},
             {"--tones", "sung"},
             {"--hyphens", "drop"},
             {"--english", "maybe"},
             {"--report"},
             {"--conventional", "sometimes"},
             {"--exact", "--conventional=convert"},
             // Standard output takes one thing; --in-place needs files; --diff writes nothing else.
             {"-o", "-", "--report", "-"},
             {"--report", "-", "--summary", "-", "-o", "x"},
             {"--in-place"},
             {"-i", "-"},
             {"-i", "--text", "x"},
             {"--diff", "-o", "x", "f"},
             {"--header", "f"},
             {"--columns", "0", "f"},
             {"--columns", "name", "f"},
             {"--columns", "3-1", "f"},
             {"--progress", "--quiet"},
             {"--threads", "0"},
             {"--threads", "65"},
             {"--threads=2x"},
             {"--exact", "--threads", "2"},
             {"--report-format", "xlsx"}}) {
        const CommandRun r = Kesti(args);
        EXPECT_EQ(r.status, kExitUsage) << args[0] << " " << (args.size() > 1 ? args[1] : "");
        EXPECT_NE(r.err.find("kesti: "), std::string::npos);
    }
}

// A file's paragraphs convert several at once, and come out as on one
// thread; so does standard input, one at a time.
TEST_F(TextCommand, ThreadsChangeNothingInTheOutput) {
    std::string text;
    for (int i = 0; text.size() < 4 * kScopeBytes; ++i)
        text += i % 7 ? "Mao Tse-tung met Chou En-lai in Yen-an. " : "Sung Lien came.\n\n";
    WriteFile(dir.File("long.txt"), text);
    const CommandRun one = Kesti({Tables(), "--threads", "1", dir.File("long.txt")});
    EXPECT_EQ(one.status, kExitOk) << one.err;
    EXPECT_NE(one.out.find("Mao Zedong met Zhou Enlai in Yan'an. Song Lian came.\n\n"), std::string::npos);
    EXPECT_TRUE(Kesti({Tables(), "--threads=3", dir.File("long.txt")}).out == one.out);
    EXPECT_TRUE(Kesti({Tables(), dir.File("long.txt")}).out == one.out);
    EXPECT_TRUE(Kesti({Tables(), "--threads", "2"}, text).out == one.out);
}

TEST_F(TextCommand, WritesTheReportBesideTheText) {
    const std::string report = dir.File("report.tsv");
    const CommandRun r = Kesti({Tables(), "--report", report}, "Yung-lo met Li Peng.\n\nDeng Xiaoping met Li Peng.\n");
    EXPECT_EQ(r.status, kExitOk) << r.err;
    // With no apostrophe in its paragraph, "Li Peng" may be Li P'eng
    // written without it: the word table's reading, reported ambiguous.
    EXPECT_EQ(r.out, "Yongle met Li Peng.\n\nDeng Xiaoping met Li Peng.\n");
    const std::string tsv = test::ReadFile(report);
    EXPECT_EQ(tsv.rfind("file\tline\tcolumn\toriginal\tresult\tdecision\tambiguous\talternatives\n", 0), 0u);
    EXPECT_NE(tsv.find("-\t1\t1\tYung-lo\tYongle\tword table\tno\tlo: luo/le\n"), std::string::npos) << tsv;
    EXPECT_NE(tsv.find("-\t1\t13\tLi Peng\tLi Peng\tword table\tyes\tLi Peng as Li P'eng; Li Beng as written\n"),
              std::string::npos)
        << tsv;
    EXPECT_NE(tsv.find("-\t3\t19\tLi Peng\tLi Peng\tleft as Pinyin text"), std::string::npos) << tsv;
    // A report that cannot be written stops the run before anything converts.
    const CommandRun bad = Kesti({Tables(), "--report", dir.File("no/such/dir.tsv"), "--text", "x"});
    EXPECT_EQ(bad.status, kExitFailure);
    EXPECT_NE(bad.err.find("No such file or directory"), std::string::npos);
}

// A CSV with what RFC 4180 allows: quoted fields holding the separator,
// doubled quotes and line breaks, CRLF records, a byte order mark, and a
// last record without a break.
const char kCatalogue[] =
    "\xEF\xBB\xBFid,name,title,note\r\n"
    "1,\"Ho, Ping-ti\",\"Chung-kuo chin tai shih\",\"said \"\"Hsi-an\"\"\"\r\n"
    "2,Lo Chen-y\xC3\xBC,\"Hsi-yu chi\r\nSan kuo chih yen i\",Mao Tse-tung\r\n"
    "3,,\"\",Pei-ching";
const char kCatalogueConverted[] =
    "\xEF\xBB\xBFid,name,title,note\r\n"
    "1,\"He, Bingdi\",\"Zhongguo jin dai shi\",\"said \"\"Hsi-an\"\"\"\r\n"
    "2,Luo Zhenyu,\"Xiyou ji\r\nSan guo zhi yan yi\",Mao Tse-tung\r\n"
    "3,,\"\",Pei-ching";

TEST(Fields, ChosenFieldsConvertAsItemsAndEverythingElsePassesThrough) {
    ItemConverter items(test::ShippedTextTables(), {});
    ColumnChoice columns;
    std::string error;
    ASSERT_TRUE(ParseColumns("name,3", columns, error)) << error;
    // The same bytes however the input is cut: inside a quote, between
    // the two quotes of "", between CR and LF, inside the mark and ü.
    const std::string_view text = kCatalogue;
    for (std::size_t chunk = 1; chunk <= text.size(); ++chunk) {
        FieldConverter fields(items, FieldFormat::Csv, columns, true);
        std::string out;
        std::vector<ReportRecord> report;
        for (std::size_t at = 0; at < text.size(); at += chunk)
            ASSERT_TRUE(fields.Feed(text.substr(at, chunk), out, &report, error)) << error;
        ASSERT_TRUE(fields.Finish(out, &report, error)) << error;
        ASSERT_EQ(out, kCatalogueConverted) << "chunk " << chunk;
        // Positions are the file's: "San" begins line 4 inside a quoted field.
        ASSERT_GE(report.size(), 3u);
        EXPECT_EQ(report[0].original, "Ho");
        EXPECT_EQ(report[0].column, 4u);
        const auto san = std::find_if(report.begin(), report.end(), [](auto& r) { return r.original == "San"; });
        ASSERT_NE(san, report.end());
        EXPECT_EQ(san->line, 4u);
        EXPECT_EQ(san->column, 1u);
    }
    // TSV: no quoting rules, a quote is a character.
    ASSERT_TRUE(ParseColumns("2", columns, error));
    FieldConverter tsv(items, FieldFormat::Tsv, columns, false);
    std::string out;
    ASSERT_TRUE(tsv.Feed("Hsi-an\t\"Hsi-an\"\tHsi-an\n", out, nullptr, error));
    ASSERT_TRUE(tsv.Finish(out, nullptr, error));
    EXPECT_EQ(out, "Hsi-an\t\"Xi'an\"\tHsi-an\n");
    // A column the header does not name stops the run with its name.
    ASSERT_TRUE(ParseColumns("title,author", columns, error));
    FieldConverter named(items, FieldFormat::Csv, columns, true);
    out.clear();
    EXPECT_FALSE(named.Feed("title,writer\n", out, nullptr, error));
    EXPECT_NE(error.find("'author'"), std::string::npos) << error;
}

// A CSV piped in is read as TSV unless --format says otherwise: where no
// record has a column chosen, nothing converts, and the command says so.
TEST_F(TextCommand, WarnsWhenNoRecordHasTheColumnsChosen) {
    const std::string csv = "1,Hsi-an\n2,Lan-chou\n";
    CommandRun r = Kesti({Tables(), "--columns", "2"}, csv);
    EXPECT_EQ(r.status, kExitOk);
    EXPECT_EQ(r.out, csv);
    EXPECT_NE(r.err.find("no record has the columns --columns chose; it was read as TSV"), std::string::npos) << r.err;
    r = Kesti({Tables(), "--columns", "2", "--format", "csv"}, csv);
    EXPECT_EQ(r.out, "1,Xi'an\n2,Lanzhou\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(TextCommand, NamesAMissingTable) {
    const CommandRun r = Kesti({"--tables", dir.path.string(), "--text", "Pei-ching"});
    EXPECT_EQ(r.status, kExitFailure);
    EXPECT_NE(r.err.find("kestisyl.txt: No such file or directory"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kesti
