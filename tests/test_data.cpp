// The shipped tables: their bytes, their limits, and that every word reads
// syllable by syllable as the syllable table (or a documented alternative)
// says, so the two tables cannot drift apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "prose/prose.h"
#include "tests/support/support.h"
#include "text/text_rules.h"

namespace kesti {
namespace {

using Lines = std::vector<std::pair<std::string, std::string>>;

std::string DataFile(const std::string& name) { return test::ReadFile(std::string(KESTI_DATA_DIR) + "/" + name); }

// Splits a shipped file strictly: CR LF after every line, one tab per line.
Lines StrictLines(const std::string& name) {
    const std::string bytes = DataFile(name);
    EXPECT_FALSE(bytes.empty()) << name;
    Lines lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << name << ": last line without CR LF";
        if (end == std::string::npos) break;
        const std::string line = bytes.substr(start, end - start);
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 1) << name << ": " << line;
        EXPECT_EQ(line.find_first_of(std::string("\r\n\0", 3)), std::string::npos) << name << ": " << line;
        const std::size_t tab = line.find('\t');
        lines.emplace_back(line.substr(0, tab), line.substr(tab + 1));
        EXPECT_FALSE(lines.back().first.empty() || lines.back().second.empty()) << name << ": " << line;
        start = end + 2;
    }
    return lines;
}

// Names that begin with the circumflex e or the umlaut u are capitalized as
// Ê (0xCA) and Ü (0xDC): fold those too when reading a key's syllables.
bool IsCapital(unsigned char b) { return IsUpper(b) || b == 0xCA || b == 0xDC; }

std::string Lower(std::string s) {
    for (char& c : s) {
        const auto b = static_cast<unsigned char>(c);
        c = static_cast<char>(b == 0xCA || b == 0xDC ? b + 0x20 : FoldCase(b));
    }
    return s;
}

class ShippedTable : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedTable, IsWindows1252WithinTheLimitsAndSortedWithUniqueKeys) {
    const std::string bytes = DataFile(GetParam());
    EXPECT_LE(bytes.size(), kMaxTableBytes);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        // Control bytes other than tab and the line break, and the five
        // bytes Windows-1252 leaves undefined, never appear.
        ASSERT_FALSE(b < 0x20 && b != '\t' && b != '\r' && b != '\n') << "offset " << i;
        ASSERT_FALSE(b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) << "offset " << i;
        // A UTF-8 lead byte followed by a continuation byte means the file
        // was saved as UTF-8 (ü would be C3 BC instead of FC).
        if (b >= 0xC2 && b <= 0xF4 && i + 1 < bytes.size()) {
            ASSERT_FALSE((static_cast<unsigned char>(bytes[i + 1]) & 0xC0) == 0x80) << "UTF-8 at offset " << i;
        }
    }
    const Lines lines = StrictLines(GetParam());
    EXPECT_LE(lines.size(), kMaxRecords);
    for (std::size_t i = 1; i < lines.size(); ++i)
        ASSERT_LT(CompareIgnoreCase(lines[i - 1].first.c_str(), lines[i].first.c_str()), 0)
            << "out of order or equal ignoring case: " << lines[i - 1].first << " / " << lines[i].first;
}

INSTANTIATE_TEST_SUITE_P(Data, ShippedTable,
                         ::testing::Values("kestisyl.txt", "kestiwrd.txt", "kestieng.txt", "kestialt.txt"));

TEST(Data, TablesAreMarkedBinaryForGit) {
    const std::string attributes = test::ReadFile(std::string(KESTI_DATA_DIR) + "/../.gitattributes");
    EXPECT_NE(attributes.find("data/*.txt binary"), std::string::npos);
}

// Every toneless Hanyu Pinyin syllable of standard Mandarin (ü as 0xFC,
// ê as 0xEA), listed independently of the generator's rules.
std::set<std::string> PinyinSyllables() {
    const char* list =
        "a ai an ang ao ba bai ban bang bao bei ben beng bi bian biao bie bin bing bo bu ca cai can cang "
        "cao ce cen ceng cha chai chan chang chao che chen cheng chi chong chou chu chua chuai chuan chuang "
        "chui chun chuo ci cong cou cu cuan cui cun cuo da dai dan dang dao de dei den deng di dia dian diao "
        "die ding diu dong dou du duan dui dun duo e ei en eng er fa fan fang fei fen feng fo fou fu ga gai "
        "gan gang gao ge gei gen geng gong gou gu gua guai guan guang gui gun guo ha hai han hang hao he hei "
        "hen heng hong hou hu hua huai huan huang hui hun huo ji jia jian jiang jiao jie jin jing jiong jiu "
        "ju juan jue jun ka kai kan kang kao ke kei ken keng kong kou ku kua kuai kuan kuang kui kun kuo la "
        "lai lan lang lao le lei leng li lia lian liang liao lie lin ling liu long lou lu luan lun luo ma "
        "mai man mang mao me mei men meng mi mian miao mie min ming miu mo mou mu na nai nan nang nao ne "
        "nei nen neng ni nian niang niao nie nin ning niu nong nou nu nuan nuo o ou pa pai pan pang pao pei "
        "pen peng pi pian piao pie pin ping po pou pu qi qia qian qiang qiao qie qin qing qiong qiu qu "
        "quan que qun ran rang rao re ren reng ri rong rou ru rua ruan rui run ruo sa sai san sang sao se "
        "sen seng sha shai shan shang shao she shei shen sheng shi shou shu shua shuai shuan shuang shui "
        "shun shuo si song sou su suan sui sun suo ta tai tan tang tao te teng ti tian tiao tie ting tong "
        "tou tu tuan tui tun tuo wa wai wan wang wei wen weng wo wu xi xia xian xiang xiao xie xin xing "
        "xiong xiu xu xuan xue xun ya yan yang yao ye yi yin ying yo yong you yu yuan yue yun za zai zan "
        "zang zao ze zei zen zeng zha zhai zhan zhang zhao zhe zhei zhen zheng zhi zhong zhou zhu zhua "
        "zhuai zhuan zhuang zhui zhun zhuo zi zong zou zu zuan zui zun zuo "
        "l\xFC l\xFC"
        "e n\xFC n\xFC"
        "e \xEA tei cei";
    std::set<std::string> out;
    std::istringstream words(list);
    for (std::string w; words >> w;) out.insert(w);
    return out;
}

TEST(Data, SyllableTableCoversTheChartWithValidPinyin) {
    const Lines lines = StrictLines("kestisyl.txt");
    EXPECT_GE(lines.size(), 400u);
    const std::set<std::string> pinyin = PinyinSyllables();
    std::map<std::string, std::string> table;
    for (const auto& [key, value] : lines) {
        EXPECT_TRUE(pinyin.count(value)) << key << " -> " << value;
        EXPECT_EQ(Lower(key), key) << "keys are lower case";
        table[key] = value;
    }
    // Spot checks across the chart's distinctions.
    const std::map<std::string, std::string> expected = {{"ch'a", "cha"},
                                                         {"ch\x91"
                                                          "a",
                                                          "cha"},
                                                         {"ch\x92"
                                                          "a",
                                                          "cha"},
                                                         {"chih", "zhi"},
                                                         {"ch'ih", "chi"},
                                                         {"shih", "shi"},
                                                         {"jih", "ri"},
                                                         {"tzu", "zi"},
                                                         {"tz'u", "ci"},
                                                         {"ssu", "si"},
                                                         {"szu", "si"},
                                                         {"erh", "er"},
                                                         {"ko", "ge"},
                                                         {"kuo", "guo"},
                                                         {"lo", "luo"},
                                                         {"yu", "you"},
                                                         {"y\xFC", "yu"},
                                                         {"yung", "yong"},
                                                         {"yen", "yan"},
                                                         {"i", "yi"},
                                                         {"hs\xFC"
                                                          "eh",
                                                          "xue"},
                                                         {"hsueh", "xue"},
                                                         {"ch\xFC"
                                                          "an",
                                                          "juan"},
                                                         {"chuan", "zhuan"},
                                                         {"l\xFC", "l\xFC"},
                                                         {"lu", "lu"},
                                                         {"n\xFC"
                                                          "eh",
                                                          "n\xFC"
                                                          "e"},
                                                         {"nueh",
                                                          "n\xFC"
                                                          "e"},
                                                         {"y\xFC"
                                                          "an",
                                                          "yuan"},
                                                         {"yuan", "yuan"},
                                                         {"yun", "yun"},
                                                         {"yueh", "yue"},
                                                         {"hsu", "xu"},
                                                         {"hsun", "xun"},
                                                         {"hsuan", "xuan"},
                                                         {"lueh",
                                                          "l\xFC"
                                                          "e"},
                                                         {"\xEA"
                                                          "n",
                                                          "en"},
                                                         {"en", "en"},
                                                         {"\xEA"
                                                          "ng",
                                                          "eng"},
                                                         {"eng", "eng"},
                                                         {"ch\xEA"
                                                          "n",
                                                          "zhen"},
                                                         {"chen", "zhen"},
                                                         {"o", "e"},
                                                         {"chu", "zhu"},
                                                         {"ch'u", "chu"},
                                                         {"p'ing", "ping"},
                                                         {"ping", "bing"},
                                                         {"t'ien", "tian"},
                                                         {"kuei", "gui"},
                                                         {"k'uei", "kui"},
                                                         {"hui", "hui"},
                                                         {"cho", "zhuo"},
                                                         {"jo", "ruo"},
                                                         {"shuo", "shuo"},
                                                         {"tsung", "zong"},
                                                         {"ts'ung", "cong"},
                                                         {"hsiung", "xiong"},
                                                         {"chiung", "jiong"},
                                                         {"yeh", "ye"}};
    for (const auto& [key, value] : expected) EXPECT_EQ(table[key], value) << key;
}

// Reads a Wade-Giles syllable the way the syllable table and the list of
// alternative readings allow.
struct Readings {
    std::map<std::string, std::set<std::string>> of;
    // With apostrophesDropped, an aspirated syllable also reads so without
    // its apostrophe, as Taiwan's places are written (Taitung, T'ai-tung).
    explicit Readings(bool apostrophesDropped = false) {
        for (const auto& [key, value] : StrictLines("kestisyl.txt")) of[key].insert(value);
        for (const auto& [key, value] : StrictLines("kestialt.txt")) of[key].insert(value);
        if (!apostrophesDropped) return;
        for (const auto& [key, value] : StrictLines("kestisyl.txt")) {
            std::string plain;
            for (char c : key)
                if (c != '\'') plain += c;
            if (plain != key) of[plain].insert(value);
        }
    }
};

// True when `pinyin` spells the syllables in `syllables[from..]` as one
// Pinyin word: each syllable one of its readings, an apostrophe before a
// syllable that begins with a, o or e (except the first), nothing else.
bool ReadsAs(const Readings& readings, const std::vector<std::string>& syllables, std::size_t from,
             const std::string& pinyin, std::size_t at) {
    if (from == syllables.size()) return at == pinyin.size();
    auto it = readings.of.find(Lower(syllables[from]));
    if (it == readings.of.end()) return false;
    for (const std::string& reading : it->second) {
        std::size_t pos = at;
        if (from > 0 && (reading[0] == 'a' || reading[0] == 'o' || reading[0] == 'e')) {
            if (pos >= pinyin.size() || pinyin[pos] != '\'') continue;
            ++pos;
        }
        if (Lower(pinyin.substr(pos, reading.size())) != reading) continue;
        if (ReadsAs(readings, syllables, from + 1, pinyin, pos + reading.size())) return true;
    }
    return false;
}

std::vector<std::string> Split(const std::string& s, char by) {
    std::vector<std::string> out(1);
    for (char c : s) {
        if (c == by) {
            out.emplace_back();
        } else {
            out.back().push_back(c);
        }
    }
    return out;
}

// Splits a word written without hyphens into syllables of the tables, in
// every way, until one reads as `pinyin`.
bool ReadsJoined(const Readings& readings, const std::string& word, std::size_t from,
                 std::vector<std::string>& syllables, const std::string& pinyin) {
    if (from == word.size()) return !syllables.empty() && ReadsAs(readings, syllables, 0, pinyin, 0);
    for (std::size_t n = 1; n <= 8 && from + n <= word.size(); ++n) {
        const std::string piece = word.substr(from, n);
        if (!readings.of.count(Lower(piece))) continue;
        syllables.push_back(piece);
        if (ReadsJoined(readings, word, from + n, syllables, pinyin)) return true;
        syllables.pop_back();
    }
    return false;
}

TEST(Data, EveryWordReadsSyllableBySyllable) {
    const Readings readings, solidReadings(true);
    const Lines words = StrictLines("kestiwrd.txt");
    EXPECT_GT(words.size(), 20000u);
    std::size_t multiSyllable = 0;
    for (const auto& [key, value] : words) {
        const std::vector<std::string> keyParts = Split(key, ' '), valueParts = Split(value, ' ');
        ASSERT_EQ(keyParts.size(), valueParts.size()) << key << " -> " << value;
        for (std::size_t p = 0; p < keyParts.size(); ++p) {
            const std::vector<std::string> syllables = Split(keyParts[p], '-');
            multiSyllable += syllables.size() > 1;
            if (syllables.size() == 1 && !readings.of.count(Lower(syllables[0]))) {
                // A place written without hyphens (Honan, Taitung): some split of it reads so.
                std::vector<std::string> split;
                ASSERT_TRUE(ReadsJoined(solidReadings, syllables[0], 0, split, valueParts[p]))
                    << key << " -> " << value;
                ASSERT_TRUE(IsCapital(static_cast<unsigned char>(key[0]))) << key;
                continue;
            }
            ASSERT_TRUE(ReadsAs(readings, syllables, 0, valueParts[p], 0)) << key << " -> " << value;
            // Names keep their capital in key and value alike.
            ASSERT_EQ(IsCapital(static_cast<unsigned char>(keyParts[p][0])),
                      IsCapital(static_cast<unsigned char>(valueParts[p][0])))
                << key << " -> " << value;
        }
    }
    EXPECT_GT(multiSyllable, 20000u);
}

TEST(Data, WordTableHoldsEverySyllableRecord) {
    std::map<std::string, std::string> words;
    for (const auto& [key, value] : StrictLines("kestiwrd.txt")) words[key] = value;
    for (const auto& [key, value] : StrictLines("kestisyl.txt")) EXPECT_EQ(words[key], value) << key;
}

struct ShippedTables {
    ConversionTable syllables, words;
    ShippedTables() {
        EXPECT_EQ(LoadTable((std::string(KESTI_DATA_DIR) + "/kestisyl.txt").c_str(), syllables), LoadStatus::Ok);
        EXPECT_EQ(LoadTable((std::string(KESTI_DATA_DIR) + "/kestiwrd.txt").c_str(), words), LoadStatus::Ok);
    }
    ~ShippedTables() {
        ReleaseTable(syllables);
        ReleaseTable(words);
    }
};

TEST(Data, RealSentencesConvertWithEachTable) {
    const ShippedTables t;
    struct Case {
        const char *input, *syllables, *words;
    };
    const Case cases[] = {
        {"Mao Tse-tung was born in Hu-nan.", "Mao Ze-dong was born in Hu-nan.", "Mao Zedong was born in Hunan."},
        // Peking University is a word of its own.
        {"Pei-ching ta-hs\xFC"
         "eh",
         "Bei-jing da-xue", "Beijing Daxue"},
        {"Hsi-an and Ssu-ch'uan", "Xi-an and Si-chuan", "Xi'an and Sichuan"},
        {"T'ien-an-men", "T'ien-an-men", "Tian'anmen"},
        // A one-letter capital "I" both begins and ends in a capital: all caps.
        {"Sun I-hsien, Chou En-lai; Teng Hsiao-p\x92ing.", "Sun YI-xian, Zhou En-lai; Deng Xiao-ping.",
         "Sun Yixian, Zhou Enlai; Deng Xiaoping."},
        {"K'UNG FU-TZU", "KONG FU-ZI", "KONG FUZI"},
        {"Shih-chi by Ssu-ma Ch'ien", "Shi-ji by Si-ma Qian", "Shiji by Sima Qian"},
        {"Ch'ing, Ming, T'ang and Sung", "Qing, Ming, Tang and Song", "Qing, Ming, Tang and Song"},
        {"Yung-lo", "Yong-luo", "Yongle"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(test::Convert(t.syllables, c.input), c.syllables) << c.input;
        EXPECT_EQ(test::Convert(t.words, c.input), c.words) << c.input;
    }
}

// What the text mode makes of the tables' words: every spelling of the
// chart, the compound surnames, the places without hyphens and the
// established spellings.

const TextTables& TextModeTables() { return test::ShippedTextTables(); }

std::string TextMode(const std::string& text, TextOptions options = {}) {
    std::string out, error;
    EXPECT_TRUE(ConvertRunningText(TextModeTables(), options, text, out, nullptr, error)) << error;
    return out;
}

// Windows-1252 as UTF-8, and the capitals of a syllable as a text writes them.
std::string Utf8(const std::string& cp1252) {
    std::string out;
    for (char c : cp1252) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0x91 || b == 0x92) {
            out += b == 0x91 ? "\u2018" : "\u2019";
        } else if (b < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

// UTF-8 of the Latin-1 letters back to Windows-1252 bytes.
std::string Cp1252(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        if (b >= 0xC0 && i + 1 < utf8.size()) {
            out += static_cast<char>(((b & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F));
        } else {
            out += utf8[i];
        }
    }
    return out;
}

std::string Capitals(std::string cp1252, bool all) {
    for (std::size_t i = 0; i < cp1252.size(); ++i) {
        auto& c = reinterpret_cast<unsigned char&>(cp1252[i]);
        if ((all || i == 0) && ((c >= 'a' && c <= 'z') || c == 0xFC || c == 0xEA)) c -= 0x20;
    }
    return cp1252;
}

TEST(DataText, EveryChartSpellingConvertsAloneCapitalizedAndInCapitals) {
    TextOptions everywhere;
    everywhere.englishGuard = false;  // "to" and "an" are syllables here, not English
    for (const auto& [key, value] : StrictLines("kestisyl.txt")) {
        if (static_cast<unsigned char>(key[0]) == 0xEA) continue;  // ên, êng, êrh: see data/README.md
        const std::string pinyin = Utf8(value);
        EXPECT_EQ(TextMode(Utf8(key), everywhere), pinyin) << key;
        EXPECT_EQ(TextMode(Utf8(Capitals(key, false)), everywhere), Utf8(Capitals(value, false))) << key;
        if (key.size() > 1) {
            EXPECT_EQ(TextMode(Utf8(Capitals(key, true)), everywhere), Utf8(Capitals(value, true))) << key;
        }
    }
    // The variants the chart's older and typed forms use.
    EXPECT_EQ(TextMode("Tao Tê Ching; hsio, lio, nio; chiai, ch'iai; chuo; t'ei; ts'ei; Yi", everywhere),
              "Dao De Jing; xue, lüe, nüe; jie, qie; zhuo; tei; cei; Yi");
}

std::vector<std::pair<std::string, std::string>> CompoundSurnames() {
    std::vector<std::pair<std::string, std::string>> out;
    std::istringstream file(test::ReadFile(std::string(KESTI_SOURCE_DIR) + "/tests/data/cedict-compound-surnames.tsv"));
    for (std::string line; std::getline(file, line);) {
        const std::size_t tab = line.find('\t');
        out.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return out;
}

TEST(DataText, CompoundSurnamesAndTheNamesThatBeginWithThem) {
    const auto names = CompoundSurnames();
    ASSERT_GE(names.size(), 60u);
    TableOwner words;
    ASSERT_EQ(LoadTable((std::string(KESTI_DATA_DIR) + "/kestiwrd.txt").c_str(), words.table), LoadStatus::Ok);
    for (const auto& [key, value] : names) {
        // In running text, alone and with a given name.
        EXPECT_EQ(TextMode(key + " wrote."), value + " wrote.") << key;
        // Through the word table, as the exported word function converts:
        // every name CC-CEDICT lists is a key of its own.
        const std::string bytes = Cp1252(key), expected = Cp1252(value);
        // (A name that ends in a one-letter syllable, "Ssu-ma I", ends in a
        // capital: the exact conversion writes it all in capitals.)
        const bool endsInOneLetter = key.size() > 2 && key[key.size() - 2] == ' ';
        EXPECT_EQ(endsInOneLetter ? Lower(test::Convert(words.table, bytes)) : test::Convert(words.table, bytes),
                  endsInOneLetter ? Lower(expected) : expected)
            << key;
    }
    // The surnames' other spellings.
    EXPECT_EQ(TextMode("Szu-ma Ch'ien and Yu-ch'ih Kung"), "Sima Qian and Yuchi Gong");
}

TEST(DataText, PlacesWithoutHyphensConvertAndAreNoEnglishWords) {
    EXPECT_EQ(TextMode("From Honan to Hopei, Hupei, Loyang and Nanching."),
              "From Henan to Hebei, Hubei, Luoyang and Nanjing.");
    std::map<std::string, std::string> english;
    for (const auto& [key, kind] : StrictLines("kestieng.txt")) english[Lower(key)] = kind;
    std::size_t places = 0;
    for (const auto& [key, value] : StrictLines("kestiwrd.txt")) {
        if (key.find_first_of("- ") != std::string::npos || !IsCapital(static_cast<unsigned char>(key[0]))) continue;
        auto it = english.find(Lower(key));
        if (it == english.end()) {
            ++places;
            continue;
        }
        EXPECT_NE(it->second, "word") << key;
        EXPECT_NE(it->second, "rare") << key;
        EXPECT_NE(it->second, "function") << key;
        ++places;
    }
    EXPECT_GT(places, 300u);
}

TEST(DataText, EstablishedSpellingsAreLeftOrConvertedAndAreNoWadeGiles) {
    const Lines established = StrictLines("kesticnv.txt");
    ASSERT_GE(established.size(), 100u);
    // The chart's spellings: an established name may use an older one the
    // text mode reads too ("Chu Teh"), and is matched whole before it.
    std::set<std::string> chart;
    for (const auto& [key, value] : StrictLines("kestisyl.txt")) chart.insert(Lower(key));
    std::set<std::string> wordKeys;
    for (const auto& [key, value] : StrictLines("kestiwrd.txt")) wordKeys.insert(Lower(key));
    TextOptions convert;
    convert.convertConventional = true;
    for (const auto& [key, value] : established) {
        // No Wade-Giles word is spelled so: not a key of the syllable or the
        // word table, nor words of hyphenated syllables.
        EXPECT_FALSE(wordKeys.count(Lower(key))) << key;
        bool allSyllables = true;
        for (const std::string& part : Split(key, ' '))
            for (const std::string& syllable : Split(part, '-'))
                allSyllables = allSyllables && chart.count(Lower(syllable));
        EXPECT_FALSE(allSyllables) << key;
        const std::string text = "in " + Utf8(key) + ".";
        EXPECT_EQ(TextMode(text), text) << key;
        EXPECT_EQ(TextMode(text, convert), "in " + Utf8(value) + ".") << key;
    }
}

}  // namespace
}  // namespace kesti
