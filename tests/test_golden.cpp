// The golden cases through the conversion pass, the exported functions and
// the command; the wine host reads the same file for KESTI.dll.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "tests/support/golden.h"
#include "tests/support/library_fixture.h"
#include "tests/support/support.h"

namespace kesti {
namespace {

using test::GoldenCase;
using test::ReadGoldenCases;

TEST(Golden, ThePassWithAndWithoutItsIndex) {
    const std::vector<GoldenCase> cases = ReadGoldenCases();
    ASSERT_GE(cases.size(), 14u);
    for (const GoldenCase& c : cases) {
        test::TestTable plain(c.table), indexed(c.table);
        ASSERT_TRUE(BuildLookupIndex(indexed.table));
        EXPECT_EQ(test::Convert(plain.table, c.input), c.output) << "conversions.txt:" << c.line;
        EXPECT_EQ(test::Convert(indexed.table, c.input), c.output) << "conversions.txt:" << c.line;
    }
}

class GoldenExports : public test::LibraryTest {};

TEST_F(GoldenExports, BothFunctionsIntoBuffersOfExactlyTheSizeNeeded) {
    for (const GoldenCase& c : ReadGoldenCases()) {
        Tables(c.table, c.table);
        EXPECT_EQ(Call(lib.syllable, c.input, c.output.size() + 1), c.output) << "conversions.txt:" << c.line;
        EXPECT_EQ(Call(lib.word, c.input, c.output.size() + 1), c.output) << "conversions.txt:" << c.line;
    }
}

TEST(Golden, TheCommandInItsExactMode) {
    test::TempDir dir;
    for (const GoldenCase& c : ReadGoldenCases()) {
        test::WriteFile(dir.File("kestisyl.txt"), c.table);
        test::WriteFile(dir.File("kestiwrd.txt"), c.table);
        for (const char* table : {"--exact", "--word"}) {
            std::vector<std::string> args = {"--tables", dir.path.string(), "--exact", "--encoding", "cp1252"};
            if (std::string(table) == "--word") args.push_back("--word");
            std::istringstream in(c.input);
            std::ostringstream out, err;
            EXPECT_EQ(RunKesti(args, in, out, err), kExitOk) << err.str();
            EXPECT_EQ(out.str(), c.output) << "conversions.txt:" << c.line << " " << table;
        }
    }
}

}  // namespace
}  // namespace kesti
