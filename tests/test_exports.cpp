// The exported functions as a host sees them: the built shared library is
// loaded with dlopen and called through dlsym, with tables in a temporary
// directory named by KESTI_TABLE_DIR.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/library_fixture.h"
#include "tests/support/support.h"

namespace {

using Convert = kesti::test::ConvertFn;
using kesti::test::TempDir;
using kesti::test::WriteFile;

using Exports = kesti::test::LibraryTest;

// The documented bound, strlen(input) * max(1, longest value) + 1, in a
// buffer of exactly that size: with empty values (or no records) unmatched
// bytes are still copied, so the bound cannot be strlen(input) * 0 + 1.
TEST_F(Exports, TheDocumentedOutputBoundHoldsForEmptyValuesAndLongOnes) {
    const std::string input = "chang xyz CHANG!";
    Tables("chang\t\r\n", "");
    EXPECT_EQ(Call(lib.syllable, input, input.size() * 1 + 1), " xyz !");
    EXPECT_EQ(Call(lib.word, input, input.size() * 1 + 1), input);
    Tables("a\txyz\r\n", "a\txyz\r\n");
    EXPECT_EQ(Call(lib.syllable, "a a", 3 * 3 + 1), "xyz xyz");
    EXPECT_EQ(Call(lib.syllable, "aaa", 3 * 3 + 1), "aaxyz");  // a match never ends before a letter
}

TEST_F(Exports, EmptyInputGivesEmptyOutputAndSuccess) {
    Tables("a\tb\n", "a\tb\n");
    int32_t result = 0;
    EXPECT_EQ(Call(lib.syllable, "", 1, &result), "");
    EXPECT_NE(result, 0);
}

TEST_F(Exports, SuccessValueIsTheAddressOfTheInputsNul) {
    Tables("a\tb\n", "a\tb\n");
    const char input[] = "a a";
    char out[4];
    const int32_t r = lib.syllable(input, out);
    const auto expected = static_cast<int32_t>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(input + 3)));
    EXPECT_EQ(r, expected == 0 ? 1 : expected);
    EXPECT_STREQ(out, "b b");
}

TEST_F(Exports, SuccessNeverReadsAsFailureWhenTheAddressEndsInZeroBits) {
    // Place the input so that its NUL sits at an address whose low 32 bits
    // are 0: the truncated address would read as failure.
    Tables("a\tb\n", "a\tb\n");
    const long page = sysconf(_SC_PAGESIZE);
    void* mapped = MAP_FAILED;
    uintptr_t boundary = 0;
    for (uintptr_t high = 0x10; high < 0x7000 && mapped == MAP_FAILED; high += 0x101) {
        boundary = high << 32;
        mapped = mmap(reinterpret_cast<void*>(boundary - page), 2 * page, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
        if (mapped != MAP_FAILED && reinterpret_cast<uintptr_t>(mapped) != boundary - page) {
            munmap(mapped, 2 * page);
            mapped = MAP_FAILED;
        }
    }
    if (mapped == MAP_FAILED) GTEST_SKIP() << "no address with zero low bits could be mapped";
    char* input = reinterpret_cast<char*>(boundary) - 1;
    input[0] = 'a';
    input[1] = '\0';
    char out[2];
    EXPECT_EQ(lib.syllable(input, out), 1);
    EXPECT_STREQ(out, "b");
    munmap(mapped, 2 * page);
}

TEST_F(Exports, MissingTableLeavesTheOutputUntouched) {
    char out[8] = "keepme";
    EXPECT_EQ(lib.syllable("chang", out), 0);
    EXPECT_STREQ(out, "keepme");
    WriteFile(dir.File("kestisyl.txt"), "chang\tzhang\n");
    EXPECT_EQ(lib.word("chang", out), 0);  // only the syllable table exists
    EXPECT_STREQ(out, "keepme");
    EXPECT_NE(lib.syllable("chang", out), 0);
    EXPECT_STREQ(out, "zhang");
}

TEST_F(Exports, NullPointersAreRefused) {
    Tables("a\tb\n", "a\tb\n");
    char out[8] = "keep";
    EXPECT_EQ(lib.syllable(nullptr, out), 0);
    EXPECT_STREQ(out, "keep");
    EXPECT_EQ(lib.word("a", nullptr), 0);
}

TEST_F(Exports, ATableReplacedBetweenCallsTakesEffectAtTheSecond) {
    Tables("chang\tzhang\n", "");
    EXPECT_EQ(Call(lib.syllable, "chang", 6), "zhang");
    WriteFile(dir.File("kestisyl.txt"), "chang\tCHANG-2\r\n");
    EXPECT_EQ(Call(lib.syllable, "chang", 8), "CHANG-2");
}

TEST_F(Exports, ADirectoryTooLongForThePathBufferFails) {
    Tables("a\tb\n", "a\tb\n");
    std::string longDir = dir.path.string();
    while (longDir.size() < 300) longDir += "/sub";
    setenv("KESTI_TABLE_DIR", longDir.c_str(), 1);
    char out[8] = "keep";
    EXPECT_EQ(lib.syllable("a", out), 0);
    EXPECT_STREQ(out, "keep");
    // 259 characters still fit (260 with the NUL).
    std::string fits = dir.path.string() + "/";
    fits.append(259 - fits.size(), 'd');
    std::filesystem::create_directories(fits);
    WriteFile(fits + "/kestisyl.txt", "a\tb\n");
    setenv("KESTI_TABLE_DIR", fits.c_str(), 1);
    EXPECT_NE(lib.syllable("a", out), 0);
    EXPECT_STREQ(out, "b");
}

TEST_F(Exports, UnreadableTableIsAFailureNotAnEmptyTable) {
    std::filesystem::create_directory(dir.File("kestisyl.txt"));
    char out[8] = "keep";
    EXPECT_EQ(lib.syllable("a", out), 0);
    EXPECT_STREQ(out, "keep");
}

TEST_F(Exports, AFifoTableFailsAtOnce) {
    // Before tables were opened without blocking, both calls waited forever
    // for a writer.
    const std::string fifo = dir.File("kestisyl.txt");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    char out[8] = "keep";
    int32_t result = 1;
    EXPECT_TRUE(kesti::test::ReturnsWithoutBlocking(fifo, [&] { result = lib.syllable("Pei", out); }));
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(out, "keep");
}

TEST_F(Exports, WithoutTheVariableTheTablesBesideTheLibraryAreUsed) {
    unsetenv("KESTI_TABLE_DIR");
    // The build tree puts the shipped tables in share/kesti beside lib/.
    std::string tables = std::string(KESTI_BUILD_TABLES) + "/kestisyl.txt";
    if (access(tables.c_str(), R_OK) != 0) GTEST_SKIP() << "no shipped tables in " << KESTI_BUILD_TABLES;
    char out[32];
    EXPECT_NE(lib.syllable("Pei-ching", out), 0);
    EXPECT_STREQ(out, "Bei-jing");
}

// Resident memory in bytes and open file descriptors of this process.
std::size_t ResidentBytes() {
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

std::size_t OpenDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

TEST_F(Exports, TenThousandCallsLeaveMemoryAndDescriptorsFlat) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers keep freed memory for a while on purpose";
#endif
    Tables("pei\tbei\r\nching\tjing\r\n", "Pei-ching\tBeijing\r\n");
    const std::string missing = dir.File("nowhere");
    char out[64];
    // Successes and every failure path: missing table, unreadable table
    // (a directory in its place), null pointers.
    auto round = [&](int i) {
        switch (i % 5) {
            case 0:
                lib.syllable("Pei-ching", out);
                break;
            case 1:
                lib.word("Pei-ching", out);
                break;
            case 2:
                lib.syllable(nullptr, out);
                break;
            case 3:
                setenv("KESTI_TABLE_DIR", missing.c_str(), 1);
                lib.word("Pei-ching", out);
                setenv("KESTI_TABLE_DIR", dir.path.c_str(), 1);
                break;
            case 4:
                setenv("KESTI_TABLE_DIR", dir.path.parent_path().c_str(), 1);
                lib.syllable("Pei-ching", out);
                setenv("KESTI_TABLE_DIR", dir.path.c_str(), 1);
                break;
        }
    };
    for (int i = 0; i < 1000; ++i) round(i);  // let the allocator settle
    const std::size_t fds = OpenDescriptors(), rss = ResidentBytes();
    for (int i = 0; i < 10000; ++i) round(i);
    EXPECT_EQ(OpenDescriptors(), fds);
    EXPECT_LT(ResidentBytes(), rss + 512 * 1024) << "resident memory grew from " << rss;
}

}  // namespace
