// Finding the longest acceptable key at a position of the input.
#include <gtest/gtest.h>

#include <cstring>
#include <cstdlib>

#include <sys/mman.h>
#include <unistd.h>
#include <optional>
#include <string>

#include "table/index.h"
#include "tests/support/support.h"

namespace kesti {
namespace {

using test::TestTable;

struct Found {
    std::string value;
    std::size_t consumed;
    CaseMode mode;
    bool operator==(const Found&) const = default;
};

std::optional<Found> LookOnce(const ConversionTable& table, const std::string& input) {
    MatchResult m;
    if (!LookupAtCursor(table, input.c_str(), input.size(), m)) return std::nullopt;
    return Found{m.value, m.consumed, m.caseMode};
}

// The lookup's result, which must not depend on whether the table has its index.
std::optional<Found> Look(ConversionTable& table, const std::string& input) {
    const std::optional<Found> searched = LookOnce(table, input);
    EXPECT_TRUE(BuildLookupIndex(table));
    const std::optional<Found> indexed = LookOnce(table, input);
    ReleaseLookupIndex(table);
    EXPECT_EQ(searched, indexed) << "the index disagrees on " << input;
    return searched;
}

const char kSyllables[] =
    "chang\tzhang\r\nch'ang\tchang\r\nhs\xFC\txu\r\nhs\xFC"
    "eh\txue\r\n";

TEST(Lookup, FindsTheLongestKeyThatEndsTheLetterRun) {
    TestTable t(kSyllables);
    EXPECT_EQ(Look(t.table, "chang"), (Found{"zhang", 5, CaseMode::AsIs}));
    EXPECT_EQ(Look(t.table, "ch'ang"), (Found{"chang", 6, CaseMode::AsIs}));
    EXPECT_EQ(Look(t.table,
                   "hs\xFC"
                   "eh"),
              (Found{"xue", 5, CaseMode::AsIs}));
    EXPECT_EQ(Look(t.table, "hs\xFC"), (Found{"xu", 3, CaseMode::AsIs}));
    EXPECT_EQ(Look(t.table, "ch'ang."), (Found{"chang", 6, CaseMode::AsIs}));
    EXPECT_EQ(Look(t.table, "ch'ang an"), (Found{"chang", 6, CaseMode::AsIs}));
    EXPECT_EQ(Look(t.table, "chang-an"), (Found{"zhang", 5, CaseMode::AsIs}));
}

TEST(Lookup, KeysPastTheLetterRunMustNotBeFollowedByAHyphenOrLetter) {
    TestTable t(kSyllables);
    EXPECT_EQ(Look(t.table, "ch'ang-an"), std::nullopt);
    EXPECT_EQ(Look(t.table,
                   "hs\xFC"
                   "eh-"),
              std::nullopt);
    EXPECT_EQ(Look(t.table, "changx"), std::nullopt);
    EXPECT_EQ(Look(t.table,
                   "hs\xFC"
                   "x"),
              std::nullopt);
    // "hsü-" ends the key exactly past the letters "hs": a hyphen there
    // follows a key longer than the run, so it is refused as well.
    EXPECT_EQ(Look(t.table, "hs\xFC-"), std::nullopt);
    // The u umlaut is compared exactly: its capital does not match.
    EXPECT_EQ(Look(t.table, "hs\xDC"), std::nullopt);
}

TEST(Lookup, AKeyOfExactlyTheRunIsAcceptedBeforeAHyphen) {
    TestTable t("pei\tbei\nPei-ching\tBeijing\n");
    EXPECT_EQ(Look(t.table, "Pei-ching"), (Found{"Beijing", 9, CaseMode::Capitalized}));
    EXPECT_EQ(Look(t.table, "Pei-ching-shih"), (Found{"bei", 3, CaseMode::Capitalized}));
    EXPECT_EQ(Look(t.table, "Pei-chingx"), (Found{"bei", 3, CaseMode::Capitalized}));
}

TEST(Lookup, CaseModeFollowsTheFirstAndLastMatchedByte) {
    TestTable t("chang\tzhang\na\tx\nhs\xFC\txu\n");
    EXPECT_EQ(Look(t.table, "Chang")->mode, CaseMode::Capitalized);
    EXPECT_EQ(Look(t.table, "CHANG")->mode, CaseMode::AllCaps);
    EXPECT_EQ(Look(t.table, "chanG")->mode, CaseMode::AllCaps);
    EXPECT_EQ(Look(t.table, "cHANg")->mode, CaseMode::AsIs);
    EXPECT_EQ(Look(t.table, "A")->mode, CaseMode::AllCaps);
    // A key ending in a non-letter never turns all caps through that byte.
    EXPECT_EQ(Look(t.table, "HS\xFC")->mode, CaseMode::Capitalized);
}

TEST(Lookup, NoMatchCases) {
    TestTable empty("");
    EXPECT_EQ(Look(empty.table, "chang"), std::nullopt);
    TestTable t(kSyllables);
    EXPECT_EQ(Look(t.table, "'chang"), std::nullopt);  // not on a letter
    EXPECT_EQ(Look(t.table, ""), std::nullopt);
    EXPECT_EQ(Look(t.table, "xyz"), std::nullopt);
    // Keys that begin with a non-letter are never found.
    TestTable odd("'a\tx\n\tempty\n-\th\n");
    EXPECT_EQ(Look(odd.table, "a"), std::nullopt);
}

TEST(Lookup, BlockAtTheStartOfTheTableWithNothingAcceptable) {
    // "aa" sorts first; at "aab" the block {aa, aab-} holds nothing acceptable.
    TestTable t("aa\tx\naab-\ty\nb\tz\n");
    EXPECT_EQ(Look(t.table, "aabc"), std::nullopt);
    EXPECT_EQ(Look(t.table, "aa"), (Found{"x", 2, CaseMode::AsIs}));
}

TEST(Lookup, TheLastOfEqualKeysWins) {
    TestTable t("Chang\tfirst\nchang\tsecond\nCHANG\tthird\nchan\tother\n");
    EXPECT_EQ(Look(t.table, "chang")->value, "third");
}

TEST(Lookup, ReadsNoFurtherThanTheLongestKeyAndTheByteAfterIt) {
    TestTable t("ab\tx\nabcd\ty\n");
    // Only `size` bytes are valid: the lookup must treat the rest as the end.
    const char input[] = {'a', 'b', 'c', 'd'};
    MatchResult m;
    ASSERT_TRUE(LookupAtCursor(t.table, input, sizeof input, m));
    EXPECT_EQ(m.consumed, 4u);
    ASSERT_TRUE(LookupAtCursor(t.table, input, 2, m));
    EXPECT_EQ(m.consumed, 2u);
}

// Letters whose last readable byte lies right before a page that cannot be
// read: a lookup that reads one byte more than it may ends the process.
struct GuardedRun {
    char* end = nullptr;  // the first unreadable byte
    void* base = nullptr;
    std::size_t size = 0;
    explicit GuardedRun(std::size_t letters) {
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t data = (letters + page - 1) / page * page;
        size = data + page;
        base = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) return;
        end = static_cast<char*>(base) + data;
        std::memset(end - letters, 'a', letters);
        mprotect(end, page, PROT_NONE);
    }
    ~GuardedRun() {
        if (base != MAP_FAILED && base) munmap(base, size);
    }
};

// A lookup reads at most the longest key and one byte more, whatever the
// run of letters it stands in: so a pass that retries at every letter of a
// run of n letters costs n times that bound, never n squared. The input is
// said to run on past the guard page, as a longer text would.
void ExpectBoundedReads(const std::string& tableBytes) {
    for (const bool indexed : {false, true}) {
        EXPECT_EXIT(
            {
                TestTable t(tableBytes);
                if (indexed) BuildLookupIndex(t.table);
                const std::size_t allowed = t.table.maxKeyLength + 1;
                GuardedRun run(1 << 20);
                MatchResult m;
                for (std::size_t k = 0; k < 64; ++k) {
                    const char* cursor = run.end - allowed - k;
                    LookupAtCursor(t.table, cursor, allowed + k + (1 << 20), m);
                }
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), "")
            << (indexed ? "with the index" : "without the index");
    }
}

TEST(Lookup, ReadsNoMoreThanTheLongestKeyInALongRunOfLetters) {
    ExpectBoundedReads("ab\tx\na\ty\n");
    // A hostile table: keys of every length up to 300 that agree with the
    // run, each ending in a letter the run does not hold.
    std::string hostile;
    for (int length = 1; length <= 300; ++length) hostile += std::string(length, 'a') + "b\tx\n";
    ExpectBoundedReads(hostile);
}

}  // namespace
}  // namespace kesti
