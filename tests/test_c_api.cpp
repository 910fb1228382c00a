// The C interface for many conversions: results, sizes on both sides, the
// report, errors, and one converter shared by many threads.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdlib>

#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "kesti/kesti.h"
#include "tests/support/support.h"

namespace kesti {
namespace {

struct Converter {
    kesti_converter* c = nullptr;
    kesti_error error{};
    kesti_status status;
    explicit Converter(int mode = KESTI_MODE_TEXT, const char* dir = KESTI_DATA_DIR, int lines = 0) {
        kesti_options o;
        kesti_options_init(&o);
        o.mode = mode;
        o.table_dir = dir;
        o.lines = lines;
        status = kesti_open(&o, &c, &error);
    }
    ~Converter() { kesti_close(c); }
    std::string Convert(const std::string& in) const {
        std::vector<char> out(in.size() * 2 + 64);
        size_t length = 0;
        EXPECT_EQ(kesti_convert(c, in.data(), in.size(), out.data(), out.size(), &length, nullptr), KESTI_OK);
        return std::string(out.data(), length);
    }
};

TEST(CApi, ConvertsInEachMode) {
    const std::string sentence = "He went to Pei-ching, also into Hsi-an.";
    EXPECT_EQ(Converter().Convert(sentence), "He went to Beijing, also into Xi'an.");
    EXPECT_EQ(Converter(KESTI_MODE_EXACT_SYLLABLES).Convert(sentence), "He went duo Bei-jing, alsuo induo Xi-an.");
    EXPECT_EQ(Converter(KESTI_MODE_EXACT_WORDS).Convert(sentence), "He went duo Beijing, alsuo induo Xi'an.");
    kesti_options o;
    kesti_options_init(&o);
    o.table_dir = KESTI_DATA_DIR;
    o.hyphens = KESTI_HYPHENS_KEEP;
    o.tones = KESTI_TONES_NUMBERS;
    o.conventional = KESTI_CONVENTIONAL_CONVERT;
    kesti_converter* c = nullptr;
    ASSERT_EQ(kesti_open(&o, &c, nullptr), KESTI_OK);
    const std::string in = std::string("Mao2 Tse2-tung1 and Peking") + std::string(1, '\0') + "NUL";
    const std::string expected = std::string("Mao2 Ze2-dong1 and Beijing") + std::string(1, '\0') + "NUL";
    char out[64];
    size_t length = 0;
    ASSERT_EQ(kesti_convert(c, in.data(), in.size(), out, sizeof out, &length, nullptr), KESTI_OK);
    EXPECT_EQ(std::string(out, length), expected);  // a NUL inside the text is a character like any other
    kesti_close(c);
}

TEST(CApi, SaysHowMuchRoomItNeedsAndWritesNothingWithoutIt) {
    Converter conv;
    const std::string in = "Mao Tse-tung";  // "Mao Zedong", 10 bytes
    size_t length = 0;
    EXPECT_EQ(kesti_convert(conv.c, in.data(), in.size(), nullptr, 0, &length, nullptr), KESTI_ERROR_OUTPUT_TOO_SMALL);
    EXPECT_EQ(length, 10u);
    std::vector<char> oneShort(9, '#');
    EXPECT_EQ(kesti_convert(conv.c, in.data(), in.size(), oneShort.data(), oneShort.size(), &length, nullptr),
              KESTI_ERROR_OUTPUT_TOO_SMALL);
    EXPECT_EQ(std::string(oneShort.begin(), oneShort.end()), std::string(9, '#'));
    std::vector<char> exact(10, '#');  // room for the text, none for a NUL
    ASSERT_EQ(kesti_convert(conv.c, in.data(), in.size(), exact.data(), exact.size(), &length, nullptr), KESTI_OK);
    EXPECT_EQ(std::string(exact.begin(), exact.end()), "Mao Zedong");
    std::vector<char> more(11, '#');
    ASSERT_EQ(kesti_convert(conv.c, in.data(), in.size(), more.data(), more.size(), &length, nullptr), KESTI_OK);
    EXPECT_EQ(more[10], '\0');
    EXPECT_EQ(kesti_convert(conv.c, nullptr, 0, nullptr, 0, &length, nullptr), KESTI_OK);
    EXPECT_EQ(length, 0u);
}

TEST(CApi, RefusesMissingArgumentsAndBadText) {
    Converter conv;
    char out[16];
    size_t length = 0;
    EXPECT_EQ(kesti_convert(nullptr, "a", 1, out, sizeof out, &length, nullptr), KESTI_ERROR_ARGUMENT);
    EXPECT_EQ(kesti_convert(conv.c, "a", 1, out, sizeof out, nullptr, nullptr), KESTI_ERROR_ARGUMENT);
    EXPECT_EQ(kesti_convert(conv.c, nullptr, 1, out, sizeof out, &length, nullptr), KESTI_ERROR_ARGUMENT);
    EXPECT_EQ(kesti_convert(conv.c, "a", 1, nullptr, 4, &length, nullptr), KESTI_ERROR_ARGUMENT);
    EXPECT_EQ(kesti_convert(conv.c, "Pei \xFF", 5, out, sizeof out, &length, nullptr), KESTI_ERROR_INVALID_UTF8);
    EXPECT_EQ(length, 4u);
    Converter exact(KESTI_MODE_EXACT_WORDS);
    EXPECT_EQ(kesti_convert(exact.c, "ab\xE4\xB8", 4, out, sizeof out, &length, nullptr), KESTI_ERROR_INVALID_UTF8);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(kesti_open(nullptr, nullptr, nullptr), KESTI_ERROR_ARGUMENT);
    kesti_options o;
    kesti_options_init(&o);
    o.mode = 7;
    kesti_converter* c = reinterpret_cast<kesti_converter*>(&o);
    kesti_error error{};
    EXPECT_EQ(kesti_open(&o, &c, &error), KESTI_ERROR_ARGUMENT);
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(error.status, KESTI_ERROR_ARGUMENT);
    for (int s = 0; s <= 7; ++s) EXPECT_NE(kesti_status_message(static_cast<kesti_status>(s)), nullptr);
}

TEST(CApi, ReadsOnlyTheOptionsItsCallerKnows) {
    kesti_options o;
    kesti_options_init(&o);
    o.table_dir = KESTI_DATA_DIR;
    kesti_converter* c = nullptr;
    for (const uint32_t size : {0u, 8u, static_cast<uint32_t>(sizeof o + 8)}) {
        o.size = size;
        EXPECT_EQ(kesti_open(&o, &c, nullptr), KESTI_ERROR_ARGUMENT) << size;
        EXPECT_EQ(c, nullptr);
    }
    // A caller of the first header knew nothing after alternatives_table:
    // what lies there is not read, and the defaults hold.
    o.size = offsetof(kesti_options, conventional);
    o.conventional = 99;
    ASSERT_EQ(kesti_open(&o, &c, nullptr), KESTI_OK);
    char out[32];
    size_t length = 0;
    ASSERT_EQ(kesti_convert(c, "Peking", 6, out, sizeof out, &length, nullptr), KESTI_OK);
    EXPECT_EQ(std::string(out, length), "Peking");
    kesti_close(c);
}

TEST(CApi, AnEmptyTableDirectoryMeansTheDefaultOne) {
    setenv("KESTI_TABLE_DIR", KESTI_DATA_DIR, 1);
    kesti_options o;
    kesti_options_init(&o);
    o.table_dir = "";
    kesti_converter* c = nullptr;
    kesti_error error{};
    EXPECT_EQ(kesti_open(&o, &c, &error), KESTI_OK) << error.path;
    kesti_close(c);
    unsetenv("KESTI_TABLE_DIR");
}

TEST(CApi, NamesTheTableThatFailed) {
    test::TempDir dir;
    Converter missing(KESTI_MODE_TEXT, dir.path.c_str());
    EXPECT_EQ(missing.status, KESTI_ERROR_TABLE_MISSING);
    EXPECT_EQ(missing.c, nullptr);
    EXPECT_EQ(missing.error.system_error, ENOENT);
    EXPECT_EQ(std::string(missing.error.path), dir.File("kestisyl.txt"));
    std::filesystem::create_directory(dir.File("kestiwrd.txt"));
    Converter directory(KESTI_MODE_EXACT_WORDS, dir.path.c_str());
    EXPECT_EQ(directory.status, KESTI_ERROR_TABLE_UNREADABLE);
    EXPECT_EQ(std::string(directory.error.path), dir.File("kestiwrd.txt"));
    // A FIFO is refused at once, not read.
    ASSERT_EQ(mkfifo(dir.File("kestisyl.txt").c_str(), 0600), 0);
    kesti_status fifoStatus = KESTI_OK;
    EXPECT_TRUE(test::ReturnsWithoutBlocking(
        dir.File("kestisyl.txt"), [&] { fifoStatus = Converter(KESTI_MODE_TEXT, dir.path.c_str()).status; }));
    EXPECT_EQ(fifoStatus, KESTI_ERROR_TABLE_NOT_REGULAR);
    // Tables named one by one need no directory.
    test::WriteFile(dir.File("mine.txt"), "pei\tbei\r\n");
    kesti_options o;
    kesti_options_init(&o);
    o.mode = KESTI_MODE_EXACT_SYLLABLES;
    const std::string mine = dir.File("mine.txt");
    o.syllable_table = mine.c_str();
    kesti_converter* c = nullptr;
    ASSERT_EQ(kesti_open(&o, &c, nullptr), KESTI_OK);
    char out[16];
    size_t length = 0;
    ASSERT_EQ(kesti_convert(c, "Pei", 3, out, sizeof out, &length, nullptr), KESTI_OK);
    EXPECT_EQ(std::string(out, length), "Bei");
    kesti_close(c);
}

TEST(CApi, ReportsWhatTheTextModeDecided) {
    Converter conv;
    const std::string in = "Yung-lo met Li Peng.\n\nDeng Xiaoping met Li Peng.";
    char out[128];
    size_t length = 0;
    kesti_report* report = nullptr;
    ASSERT_EQ(kesti_convert(conv.c, in.data(), in.size(), out, sizeof out, &length, &report), KESTI_OK);
    ASSERT_NE(report, nullptr);
    ASSERT_EQ(kesti_report_size(report), 3u);
    kesti_record r;
    ASSERT_EQ(kesti_report_record(report, 0, &r), KESTI_OK);
    EXPECT_EQ(r.line, 1u);
    EXPECT_EQ(r.column, 1u);
    EXPECT_STREQ(r.original, "Yung-lo");
    EXPECT_STREQ(r.result, "Yongle");
    EXPECT_EQ(r.decision, KESTI_DECISION_WORD_TABLE);
    EXPECT_STREQ(r.decision_name, "word table");
    EXPECT_STREQ(r.alternatives, "lo: luo/le");
    ASSERT_EQ(kesti_report_record(report, 1, &r), KESTI_OK);
    EXPECT_EQ(r.ambiguous, 1);  // "Li P'eng" without its apostrophe, or "Li Beng"
    ASSERT_EQ(kesti_report_record(report, 2, &r), KESTI_OK);
    EXPECT_EQ(r.decision, KESTI_DECISION_PINYIN);
    EXPECT_EQ(r.line, 3u);
    EXPECT_EQ(kesti_report_record(report, 3, &r), KESTI_ERROR_ARGUMENT);
    EXPECT_EQ(kesti_report_record(nullptr, 0, &r), KESTI_ERROR_ARGUMENT);
    kesti_report_free(report);
    // Too small a buffer gives no report; the exact modes report nothing.
    report = reinterpret_cast<kesti_report*>(&r);
    EXPECT_EQ(kesti_convert(conv.c, in.data(), in.size(), out, 4, &length, &report), KESTI_ERROR_OUTPUT_TOO_SMALL);
    EXPECT_EQ(report, nullptr);
    Converter exact(KESTI_MODE_EXACT_SYLLABLES);
    report = reinterpret_cast<kesti_report*>(&r);
    EXPECT_EQ(kesti_convert(exact.c, in.data(), in.size(), out, sizeof out, &length, &report), KESTI_OK);
    EXPECT_EQ(report, nullptr);
    EXPECT_EQ(kesti_report_size(nullptr), 0u);
    kesti_report_free(nullptr);
    kesti_close(nullptr);
}

TEST(CApi, EachCallConvertsAsTheFirstWould) {
    // A thread's calls share what their converter has read: no text may
    // carry anything into the next, whatever came before or failed.
    const std::vector<std::string> texts = {
        "MAO TSE-TUNG AND I", "In Pei-ching I met Mao Tse-tung.", "I", "Mao2 Tse2-tung1", "Hsi-an\r\nYen-an",
        "CH'ING AND MING"};
    std::vector<std::string> first;
    for (const std::string& text : texts) first.push_back(Converter().Convert(text));
    Converter joined;
    kesti_options o;
    kesti_options_init(&o);
    o.table_dir = KESTI_DATA_DIR;
    o.hyphens = KESTI_HYPHENS_KEEP;
    kesti_converter* other = nullptr;
    ASSERT_EQ(kesti_open(&o, &other, nullptr), KESTI_OK);
    char out[256];
    size_t length = 0;
    for (int round = 0; round < 3; ++round) {
        // A text long enough that the thread does not keep its stream after.
        const std::string spaces(round == 1 ? 1 << 20 : 0, ' ');
        EXPECT_EQ(joined.Convert(spaces + "Pei-ching"), spaces + "Beijing");
        for (std::size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(joined.Convert(texts[i]), first[i]) << texts[i];
            // Another converter between, and a text that fails.
            ASSERT_EQ(kesti_convert(other, "Pei-ching", 9, out, sizeof out, &length, nullptr), KESTI_OK);
            EXPECT_EQ(std::string(out, length), "Bei-jing");
            EXPECT_EQ(kesti_convert(joined.c, "Pei\xFF", 4, out, sizeof out, &length, nullptr),
                      KESTI_ERROR_INVALID_UTF8);
        }
    }
    kesti_close(other);
}

// kesti_convert_many converts each text as kesti_convert converts it
// alone, in every mode, though short texts of one line share a scope:
// nothing one lends evidence to another. The development data's items and
// English lines, and texts that go alone (with line breaks, long, empty).
TEST(CApi, ManyTextsConvertEachAsItWouldAlone) {
    std::vector<std::string> texts = {
        "",
        "Ho",
        "Sung, Lien",
        "Pei-ching\nHsi-an",
        "\r",
        "Tsai Yuan-pei",
        "Ch'en Tu-hsiu",
        std::string(5000, 'a') + " Mao Tse-tung",
        "Chang Chien",
        "Ho Ping-ti",
        "Mao2 Tse2-tung1",
        "Hu Shih. Peita.",
        "He met Lo. Lo left.",
        "Thanks to Alice Smith, Bob Jones, Ching Hsu, Karl Lang, Tony Cook and Yves Orton.",
        "008    780101s1957    ch    000 0 chi\n100 1_ |a Ho, Ping-ti.",
        "100 1_ |a Ho, Ping-ti.",  // a MARC field lends the next item nothing
        "008    Hsi-yu chi",
        "<datafield tag=\"041\" ind1=\"0\" ind2=\" \">",  // nor does an XML field of codes left open
        "<subfield code=\"a\">Hung lou meng</subfield>",
        "</datafield>",
    };
    for (const char* name : {"/tests/dev/items.tsv", "/tests/dev/english.txt"}) {
        std::ifstream file(std::string(KESTI_SOURCE_DIR) + name);
        for (std::string line; std::getline(file, line);) {
            const std::size_t tab = line.find('\t');
            texts.push_back(tab == std::string::npos ? line : line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1));
        }
    }
    ASSERT_GT(texts.size(), 4000u);
    // Converts `list` into `out`, sized as the call asks.
    const auto many = [](const Converter& conv, const std::vector<std::string>& list, std::string& out,
                         std::vector<size_t>& ends, size_t& failed) {
        std::vector<const char*> data;
        std::vector<size_t> sizes;
        for (const std::string& text : list) data.push_back(text.data()), sizes.push_back(text.size());
        ends.assign(list.size(), 0);
        size_t length = 0;
        kesti_status status = kesti_convert_many(conv.c, data.data(), sizes.data(), list.size(), nullptr, 0,
                                                 ends.data(), &length, &failed);
        if (status != KESTI_ERROR_OUTPUT_TOO_SMALL) return status;
        out.assign(length + 1, '#');
        status = kesti_convert_many(conv.c, data.data(), sizes.data(), list.size(), out.data(), out.size(),
                                    ends.data(), &length, &failed);
        EXPECT_EQ(out[length], '\0');
        out.resize(length);
        return status;
    };
    for (const auto& [mode, lines] : {std::pair{KESTI_MODE_TEXT, 0}, std::pair{KESTI_MODE_TEXT, 1},
                                       std::pair{KESTI_MODE_EXACT_WORDS, 0}}) {
        const Converter alone(mode, KESTI_DATA_DIR, lines);
        ASSERT_EQ(alone.status, KESTI_OK);
        std::string out;
        std::vector<size_t> ends;
        size_t failed = 0;
        ASSERT_EQ(many(alone, texts, out, ends, failed), KESTI_OK);
        std::size_t differ = 0;
        for (std::size_t i = 0, begin = 0; i < texts.size(); begin = ends[i++])
            if (out.substr(begin, ends[i] - begin) != alone.Convert(texts[i]) && ++differ < 5)
                ADD_FAILURE() << "mode " << mode << " lines " << lines << ": " << texts[i];
        EXPECT_EQ(differ, 0u);
        EXPECT_EQ(ends.back(), out.size());
        // Malformed UTF-8 fails the batch at its text, as alone.
        EXPECT_EQ(many(alone, {"Pei-ching", "Hsi-an", "Ho \xFF", "Sung"}, out, ends, failed),
                  KESTI_ERROR_INVALID_UTF8);
        EXPECT_EQ(failed, 2u);
    }
    size_t ends[1], length = 0, failed = 9;
    const char* text = nullptr;
    const size_t size = 1;
    EXPECT_EQ(kesti_convert_many(nullptr, &text, &size, 1, nullptr, 0, ends, &length, &failed), KESTI_ERROR_ARGUMENT);
    const Converter conv;
    EXPECT_EQ(kesti_convert_many(conv.c, &text, &size, 1, nullptr, 0, ends, &length, &failed), KESTI_ERROR_ARGUMENT);
    EXPECT_EQ(failed, 0u);
    EXPECT_EQ(kesti_convert_many(conv.c, nullptr, nullptr, 0, nullptr, 0, nullptr, &length, &failed), KESTI_OK);
    EXPECT_EQ(length, 0u);
}

TEST(CApi, OneConverterServesManyThreadsAtOnce) {
    for (const int mode : {KESTI_MODE_TEXT, KESTI_MODE_EXACT_WORDS}) {
        Converter conv(mode);
        std::vector<std::string> inputs;
        for (int i = 0; i < 8; ++i)
            inputs.push_back("Mao Tse-tung " + std::to_string(i) + " met Chou En-lai in Pei-ching; to Yen-an.");
        std::vector<std::string> alone;
        for (const std::string& in : inputs) alone.push_back(conv.Convert(in));
        std::vector<std::string> together(inputs.size());
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < inputs.size(); ++t)
            threads.emplace_back([&, t] {
                for (int round = 0; round < 200; ++round) together[t] = conv.Convert(inputs[t]);
            });
        for (std::thread& t : threads) t.join();
        EXPECT_EQ(together, alone);
    }
}

}  // namespace
}  // namespace kesti
