// Nothing is shared between calls: eight threads converting at once, with
// different tables and inputs, get exactly what each gets alone. Run under
// ThreadSanitizer by the test script.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/library_fixture.h"
#include "tests/support/support.h"

namespace kesti {
namespace {

using Concurrency = test::LibraryTest;

// Converts with the exported function into a buffer of ample size.
std::string CallExported(test::ConvertFn fn, const std::string& input) {
    std::vector<char> out(input.size() * 8 + 16);
    if (fn(input.c_str(), out.data()) == 0) return "<failed>";
    return out.data();
}

// Loads its own table file and converts through the internal pass.
std::string CallInternal(const std::string& path, bool index, const std::string& input) {
    ConversionTable table;
    if (LoadTable(path.c_str(), table) != LoadStatus::Ok) return "<failed>";
    if (index) BuildLookupIndex(table);
    std::string out = test::Convert(table, input);
    ReleaseTable(table);
    return out;
}

TEST_F(Concurrency, EightThreadsGetWhatOneThreadGets) {
    Tables(
        "pei\tbei\r\nching\tjing\r\nhs\xFC"
        "eh\txue\r\nta\tda\r\nmao\tmao\r\ntse\tze\r\ntung\tdong\r\n",
        "Pei-ching\tBeijing\r\nMao Tse-tung\tMao Zedong\r\nHu-nan\tHunan\r\nmao\tmao\r\n");
    test::WriteFile(dir.File("one.txt"), "a\tA\r\nb\tB\r\nab\tAB-\r\n");
    test::WriteFile(dir.File("two.txt"), "ch'ang\tchang\r\nchang\tzhang\r\nan\tan\r\n");

    std::string longer;
    for (int i = 0; i < 200; ++i)
        longer +=
            "Mao Tse-tung, Pei-ching ta-hs\xFC"
            "eh; Ch'ang-an a b ab. ";
    // Each job converts its own input with its own table.
    const std::vector<std::function<std::string()>> jobs = {
        [&] {
            return CallExported(lib.syllable,
                                "Mao Tse-tung, Pei-ching ta-hs\xFC"
                                "eh");
        },
        [&] { return CallExported(lib.word, "Mao Tse-tung was born in Hu-nan; Pei-ching."); },
        [&] { return CallExported(lib.syllable, longer); },
        [&] { return CallExported(lib.word, longer); },
        [&] { return CallInternal(dir.File("one.txt"), false, "a b ab abc A-B"); },
        [&] { return CallInternal(dir.File("one.txt"), true, longer); },
        [&] { return CallInternal(dir.File("two.txt"), false, "Ch'ang-an chang an CHANG"); },
        [&] { return CallInternal(dir.File("two.txt"), true, longer); },
    };
    std::vector<std::string> alone;
    for (const auto& job : jobs) alone.push_back(job());
    for (const std::string& out : alone) ASSERT_NE(out, "<failed>");

    constexpr int kRounds = 40;
    std::vector<std::vector<std::string>> together(jobs.size());
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < jobs.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) together[t].push_back(jobs[t]());
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (std::size_t t = 0; t < jobs.size(); ++t)
        for (const std::string& out : together[t]) ASSERT_EQ(out, alone[t]) << "job " << t;
}

}  // namespace
}  // namespace kesti
