// The running-text engine with the shipped tables: whole words, names
// joined, case by word, English and Pinyin left alone, the written forms of
// Wade-Giles, tones, the report, and streaming.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "prose/lexicon.h"
#include "prose/prose.h"
#include "prose/words.h"
#include "tests/support/support.h"

namespace kesti {
namespace {

const TextTables& Shipped() { return test::ShippedTextTables(); }

std::string Convert(const std::string& text, TextOptions options = {}) {
    std::string out, error;
    EXPECT_TRUE(ConvertRunningText(Shipped(), options, text, out, nullptr, error)) << error;
    return out;
}

std::vector<ReportRecord> Report(const std::string& text, TextOptions options = {}) {
    std::string out, error;
    std::vector<ReportRecord> report;
    EXPECT_TRUE(ConvertRunningText(Shipped(), options, text, out, &report, error)) << error;
    return report;
}

struct Case {
    const char* input;
    const char* expected;
};

void ExpectAll(std::initializer_list<Case> cases, TextOptions options = {}) {
    for (const Case& c : cases) EXPECT_EQ(Convert(c.input, options), c.expected) << c.input;
}

TEST(Prose, ConvertsWholeWordsOnlyAndNeverHalfAWord) {
    ExpectAll({
        {"He went to Pei-ching, also into Hsi-an.", "He went to Beijing, also into Xi'an."},
        {"Tsingtao, also, Toronto, open, write, I'm.", "Tsingtao, also, Toronto, open, write, I'm."},
        // One part is no Wade-Giles; but an English word that ends the
        // compound, as a prefix begins one, is a word of its own.
        {"Ch'ing-dynastic pottery; Ch'ing-dynasty pottery", "Ch'ing-dynastic pottery; Qing-dynasty pottery"},
        {"see www.chang.com or chang@tsing.org", "see www.chang.com or chang@tsing.org"},
        {"--hashes=md5,sha1,sha3 and -t chou,sha1", "--hashes=md5,sha1,sha3 and -t chou,sha1"},
        // a key in code before its braces or its list; a supplied publisher
        {"{\n  lo: [\n    {\n  tao: {x}\n\nShang-hai: [s.n.], 1934. Sung: [\n",
         "{\n  lo: [\n    {\n  tao: {x}\n\nShanghai: [s.n.], 1934. Sung: [\n"},
        {"the _chin-shih_ degree; my_chou_var, __tao", "the _jinshi_ degree; my_chou_var, __tao"},  // emphasis
        // over several words, whose marks part no phrase
        {"The _Shih chi_ and *Shih chi* of Ssu-ma Ch'ien.", "The _Shi ji_ and *Shi ji* of Sima Qian."},
        {"Pei-ching2008 and 1930s", "Pei-ching2008 and 1930s"},
        // A tag or a placeholder in angle brackets; a word the line's end
        // broke, unless a syllable goes on after the break
        {"LANGUAGES <lang1> <lang2>; ma1, ma2", "LANGUAGES <lang1> <lang2>; mā, má"},
        // Markup's tags hold no words: they part a title no more than
        // emphasis does, and a key in code stays, tags around it or not.
        {"<i>Shih chi</i>", "<i>Shi ji</i>"},
        // and an entity that escapes an apostrophe or a letter is that
        // character (an ampersand's is no part of a word)
        {"Ssu-ma Ch&#39;ien, Ts&rsquo;ao Hs&uuml;eh-ch&#x2019;in; Mao Tse-tung&#39;s thought; AT&amp;T",
         "Sima Qian, Cao Xueqin; Mao Zedong&#39;s thought; AT&amp;T"},
        {"  <span class=\"hljs-attr\">lo</span>: [", "  <span class=\"hljs-attr\">lo</span>: ["},
        // A MARC record written as XML: a subfield's code is no article,
        // and a field of tag 0XX holds codes, with a prefix or without.
        {"<subfield code=\"a\">Hung lou meng /</subfield>", "<subfield code=\"a\">Hong lou meng /</subfield>"},
        {"<controlfield tag=\"008\">780101s1957    ch    000 0 chi d</controlfield>\n"
         "<marc:datafield tag=\"041\" ind1=\"0\" ind2=\" \">\n <marc:subfield code=\"a\">chi</marc:subfield>\n"
         "</marc:datafield>\n<marc:datafield tag=\"100\" ind1=\"1\" ind2=\" \"><marc:subfield "
         "code=\"a\">Ho, Ping-ti.</marc:subfield></marc:datafield>",
         "<controlfield tag=\"008\">780101s1957    ch    000 0 chi d</controlfield>\n"
         "<marc:datafield tag=\"041\" ind1=\"0\" ind2=\" \">\n <marc:subfield code=\"a\">chi</marc:subfield>\n"
         "</marc:datafield>\n<marc:datafield tag=\"100\" ind1=\"1\" ind2=\" \"><marc:subfield "
         "code=\"a\">He, Bingdi.</marc:subfield></marc:datafield>"},
        {"Japanese, and Ko\xE2\x80\x90\n   rean; the Tai-\nwanese and Mao Tse-\ntung",
         "Japanese, and Ko\xE2\x80\x90\n   rean; the Tai-\nwanese and Mao Ze-\ndong"},
        {"determined by the cho\xE2\x80\x90\n   sen time zone", "determined by the cho\xE2\x80\x90\n   sen time zone"},
        // A short word in capitals among small letters is an abbreviation,
        // a place in capitals among capitals a place
        {"Returns the stored IMA hash. CHINA: HONAN, HUPEI", "Returns the stored IMA hash. CHINA: HENAN, HUBEI"},
    });
}

TEST(Prose, JoinsNamesAndCompoundsInPinyinOrthography) {
    ExpectAll({
        {"Mao Tse-tung", "Mao Zedong"},
        {"Yung-lo", "Yongle"},  // a reading only the word table knows
        {"Chang Tso-lin", "Zhang Zuolin"},
        {"T'ien-an-men", "Tian'anmen"},
        {"Mao\nTse-tung", "Mao\nZedong"},  // a key across a line break keeps the break
        {"Mao Tse-tung's army", "Mao Zedong's army"},
    });
    TextOptions keep;
    keep.hyphens = HyphenStyle::Keep;
    ExpectAll({{"Chang Tso-lin, Hsi-an", "Zhang Zuo-lin, Xi-an"}, {"Mao Tse‑tung", "Mao Ze‑dong"}}, keep);
}

TEST(Prose, ConvertsEverySyllableBeforeAHyphen) {
    ExpectAll({
        {"Liang Ch'i-ch'ao", "Liang Qichao"},
        {"Wang Ch'ung-hui", "Wang Chonghui"},
        {"Yü-lin", "Yulin"},
        {"K'ang Yu-wei", "Kang Youwei"},
    });
}

TEST(Prose, TakesCaseByWord) {
    ExpectAll({
        {"PEI-CHING", "BEIJING"},
        {"I Ching", "Yi Jing"},
        {"He read the I Ching; the I and the Thou", "He read the Yi Jing; the I and the Thou"},
        {"After the fall of the court, I Lin-ch'ing returned.", "After the fall of the court, Yi Linqing returned."},
        {"Ts'ai O", "Cai E"},
        {"Po I-po", "Bo Yibo"},
        {"pei-ching ta-hsüeh", "beijing daxue"},
        {"HSÜ CHIH-MO", "XU ZHIMO"},
    });
}

TEST(Prose, LeavesEnglishAlone) {
    ExpectAll({
        {"I went to an open meeting; no, so it was ten men.", "I went to an open meeting; no, so it was ten men."},
        {"Chin up! The sun hung low, a pang in the lung.", "Chin up! The sun hung low, a pang in the lung."},
        // nor beside names in Wade-Giles, after other English words
        {"Hs\u00FC Pei-hung drew a pen. Tsu Ch'ung-chih computed pi. Lin Tse-hs\u00FC led ten men.",
         "Xu Beihong drew a pen. Zu Chongzhi computed pi. Lin Zexu led ten men."},
        // "Tao" borrowed as a noun is English, but a man named so is not,
        // nor is the word where Wade-Giles spells its paragraph.
        {"The Tao of Pooh; the eternal Tao. Tao said nothing.\n\nChuang Tzu taught the Tao.",
         "The Tao of Pooh; the eternal Tao. Dao said nothing.\n\nZhuangzi taught the Dao."},
        // A heading's capitals join no English word to a name.
        {"Lo And Behold: A New Era\n\nChin Up, Buddy\n\nHo Ping-ti",
         "Lo And Behold: A New Era\n\nChin Up, Buddy\n\nHe Bingdi"},
        {"an up-to-date, so-called so-so yo-yo", "an up-to-date, so-called so-so yo-yo"},
        // The word table holds "ha-ha" too; a name would be capitalized.
        {"She said ha-ha and left. Hsing-hsing ate.", "She said ha-ha and left. Xingxing ate."},
        // nor is the capital that begins a sentence
        {"Ha-ha, said Hsing-hsing. So-so. Hung-hung ate.", "Ha-ha, said Xingxing. So-so. Honghong ate."},
        // nor the pronoun stammered ("I-i ching" is a title's syllables)
        {"I-I don't know, said Hsing-hsing. I-i ching", "I-I don't know, said Xingxing. Yiyi jing"},
        // nor a word said over and over, unless a title goes on or a name
        // gives each its capital
        {"Ho ho ho! HO, HO, HO. Ta ta. Cha-cha-cha. Po po. Lan Lan. Hsing hsing chih huo",
         "Ho ho ho! HO, HO, HO. Ta ta. Cha-cha-cha. Po po. Lan Lan. Xing xing zhi huo"},
        // A calendar's weekdays are no syllables; a name's are.
        {"June 2006\nMo Tu We Th Fr Sa Su\n 1  2\nTu Fu met Mo Tzu.",
         "June 2006\nMo Tu We Th Fr Sa Su\n 1  2\nDu Fu met Mozi."},
        {"Carl Jung met Ken on Jan. 20 in Lawrence, Kan.", "Carl Jung met Ken on Jan. 20 in Lawrence, Kan."},
        // A title English sets before any name is no sign of a Chinese one.
        {"Mayor Ken Chin spoke.", "Mayor Ken Chin spoke."},
        // A Western given name before a surname: the name is Western.
        {"Theodore Ts'o, Howard Chu, Jan Rękorajski; Regards, Juan",
         "Theodore Ts'o, Howard Chu, Jan Rękorajski; Regards, Juan"},
        // A given name before a surname no syllable or English word spells,
        // but not a dynasty's name; in an authors' list too.
        {"Thanks to\n    Mark Eichin\n    Jen Selby\n    Yu Watanabe, Zach Smith\nand the Yüan Academy.",
         "Thanks to\n    Mark Eichin\n    Jen Selby\n    Yu Watanabe, Zach Smith\nand the Yuan Academy."},
        // and so is a place the word table knows, written solid as others write too
        {"released by Tatu Ylonen; reported by Pali Rohár. The Tatu River",
         "released by Tatu Ylonen; reported by Pali Rohár. The Dadu River"},
        // but not after a word that says a place follows
        {"Thanks to Tatu Ylonen. We walked in Tatu Park; the Tatu Hills",
         "Thanks to Tatu Ylonen. We walked in Dadu Park; the Dadu Hills"},
        {"In Hsi-an, the Sun rose.", "In Xi'an, the Sun rose."},
        {"NO WARRANTY. IN NO EVENT SHALL", "NO WARRANTY. IN NO EVENT SHALL"},
        // Headings in capitals and abbreviations, as licences and
        // acknowledgements write them.
        {"NONINFRINGEMENT. IN NO EVENT SHALL\nArnaud LE HORS BE LIABLE",
         "NONINFRINGEMENT. IN NO EVENT SHALL\nArnaud LE HORS BE LIABLE"},
        {"KU Leuven; 2011 Kwan Ting Chan", "KU Leuven; 2011 Kwan Ting Chan"},
        // No abbreviation has an aspiration apostrophe or ü.
        {"The family of HSÜEH lived there. T'IEN-MU, DON'T.", "The family of XUE lived there. TIANMU, DON'T."},
        // "I" before an English verb is the pronoun, unless a surname stands before it.
        {"Later I think so. Later I was told.", "Later I think so. Later I was told."},
        {"Ch'iang I was a minister.", "Qiang Yi was a minister."},
        // A given name with a capital inside it is Western, and so is a
        // solid word that would split between two of the same vowel.
        {"Thanks to WaLyong Cho, JingPiao Chen and Jungwoo Lee.",
         "Thanks to WaLyong Cho, JingPiao Chen and Jungwoo Lee."},
        // A sentence in another language keeps its own words; a title in it
        // is still romanized.
        {"Al fine di evitare dubbi è inteso che, se l’Opera sia di tipo musicale",
         "Al fine di evitare dubbi è inteso che, se l’Opera sia di tipo musicale"},
        {"msgstr[0] \"%d slika je uklonjena\"; die Geschichte und das Tao te ching",
         "msgstr[0] \"%d slika je uklonjena\"; die Geschichte und das Dao de jing"},
        // So does its word that splits into syllables only by rule, in
        // capitals too; places written solid still convert beside others.
        {"Nessuna clausola di questa licenza.", "Nessuna clausola di questa licenza."},
        // and its capitalized syllable after one of its own, but a name's
        {"Ogni volta che Tu distribuisci, o rappresenti, esegui o reciti l’Opera; il poeta Tu Fu",
         "Ogni volta che Tu distribuisci, o rappresenti, esegui o reciti l’Opera; il poeta Du Fu"},
        {"SIA STATO EDOTTO DI TALI DANNI. NESSUNA\nCLAUSOLA DI QUESTA LICENZA ESCLUDE O LIMITA.",
         "SIA STATO EDOTTO DI TALI DANNI. NESSUNA\nCLAUSOLA DI QUESTA LICENZA ESCLUDE O LIMITA."},
        {"Hsinchuang e Sanhsia sono citta di Taiwan.", "Xinzhuang e Sanxia sono citta di Taiwan."},
        // Vietnamese, told by its own letters, writes ê as its own.
        {"Đặt tên tập tin xuất; nó nên bị thay tên thành nb.po. Dùng cho các bản dịch.",
         "Đặt tên tập tin xuất; nó nên bị thay tên thành nb.po. Dùng cho các bản dịch."},
        // An index's range of letters is no word.
        {"A-I", "A-I"},
        // Japanese writes tsu, before i too: no place written solid.
        {"the Matsui family; Mitsui and Co.", "the Matsui family; Mitsui and Co."},
        // Loans English writes as its own words, but not inside a romanized title.
        {"He learned kung fu and tai chi chuan; a Shih Tzu barked.",
         "He learned kung fu and tai chi chuan; a Shih Tzu barked."},
        {"Chung-kuo kung fu shih hua", "Zhongguo gong fu shi hua"},
        // Beside a syllable in lower case a loan is a title's, beside
        // English it is English.
        {"Wen shih tzu liao; kung fu men", "Wen shi zi liao; kung fu men"},
        // So is one after a title's first word: a newspaper, not the dish.
        {"The Ta kung pao of Tientsin; Ma ordered kung pao chicken.",
         "The Da gong bao of Tientsin; Ma ordered kung pao chicken."},
        // An established spelling is no Pinyin beside the Wade-Giles.
        {"Hong Kong : Lung men shu tien, 1967", "Hong Kong : Long men shu dian, 1967"},
    });
}

TEST(Prose, ConvertsEnglishWordsInsideChineseNames) {
    ExpectAll({
        {"the I-ho-t'uan rising", "the Yihetuan rising"},
        {"Sun I-hsien", "Sun Yixian"},
        {"Chou said nothing.", "Zhou said nothing."},
        {"Kung-sun Lung argued.", "Gongsun Long argued."},
        {"Chou En-lai met Sun at Yen-an.", "Zhou Enlai met Sun at Yan'an."},
        {"the Western Chou and the Southern Sung", "the Western Zhou and the Southern Song"},
    });
    TextOptions convert;
    convert.englishGuard = false;
    ExpectAll({{"to Pei-ching", "duo Beijing"}}, convert);
}

// Chinese or English decided over the whole phrase: the words around a
// syllable that English also writes carry it one way or the other.
TEST(Prose, DecidesFromTheWholePhrase) {
    ExpectAll({
        {"Chung-kuo chin tai shih", "Zhongguo jin dai shi"},  // a title romanized as catalogues do it
        // with its parallel title in English
        {"Hung lou meng = Dream of the red chamber", "Hong lou meng = Dream of the red chamber"},
        // and a subject heading's parts, each decided alone
        {"I ching -- Commentaries", "Yi jing -- Commentaries"},
        {"Lun yu \u2014 Commentaries", "Lun you \u2014 Commentaries"},
        {"Hsi-yu chi; San kuo chih yen i", "Xiyou ji; San guo zhi yan yi"},
        // "i" ending or going on with a title is a syllable; before English,
        // and in code, it is left.
        {"San kuo yen i. Chou i cheng i; the Chou i and; for i in range(10)",
         "San guo yan yi. Zhou yi zheng yi; the Zhou i and; for i in range(10)"},
        {"Wang Kuo-wei i shu", "Wang Guowei yi shu"},  // after a name the word table holds
        // joined by "and" or "or" to a term that converted; not to English
        {"He valued hsiao and jen, jen and i, i or chung. Me and i left; x and i in pairs.",
         "He valued xiao and ren, ren and yi, yi or zhong. Me and i left; x and i in pairs."},
        // "I" before a romanized phrase begins it; before English it is the pronoun.
        {"T'ai-pei: I wen yin shu kuan, 1966. I hung it up in Pei-ching.",
         "Taibei: Yi wen yin shu guan, 1966. I hung it up in Beijing."},
        // So does one that is a whole title with it.
        {"I li", "Yi li"},
        {"I chuan.", "Yi zhuan."},
        // So does a capitalized English word before one ("hung").
        {"The Hung lou meng was written by Ts'ao Hsüeh-ch'in.", "The Hong lou meng was written by Cao Xueqin."},
        // An ordinal and the word it counts, across the number; not English.
        {"Ti 1 pan. Ti 1 chi; ti 12 chi. Ti 2 and Tier 1 pan", "Di 1 ban. Di 1 ji; di 12 ji. Ti 2 and Tier 1 pan"},
        {"Ho Ping-ti; Lo Chen-yü", "He Bingdi; Luo Zhenyu"},        // every syllable of a name group
        {"Sung, Lien; Wang, Ta-nien", "Song, Lian; Wang, Danian"},  // headings with the surname first
        {"SUNG, LIEN, 1310-1381", "SONG, LIAN, 1310-1381"},         // in capitals, with dates
        {"LI, PO, 701-762", "LI, BAI, 701-762"},                    // read in order, a name the word table holds
        {"Tai, Chen, 1724-1777.", "Dai, Zhen, 1724-1777."},         // a given name, no surname that dropped its mark
        // A year after a comma says nothing of the word before it; dates
        // written with spaces keep their month's name English.
        {"Ching chi yen chiu so, 1960.\n\nA copy was downloaded from the web site at 3 jan 2009.",
         "Jing ji yan jiu suo, 1960.\n\nA copy was downloaded from the web site at 3 jan 2009."},
        {"Meng Tzu and Mo Tzu; Han Fei Tzu", "Mengzi and Mozi; Han Feizi"},  // masters
        // and as catalogues write them, but for a word's first or last
        // syllable; inside a title where the word table knows the master
        {"Chuang tzu; Han Fei tzu. San tzu ching; K'ang-hsi tzu tien; Ku-tien tzu",
         "Zhuangzi; Han Feizi. San zi jing; Kangxi zi dian; Gudian zi"},
        {"Chuang tzu chi shih. Han Fei tzu chi chieh. Wen tzu hsüeh", "Zhuangzi ji shi. Han Feizi ji jie. Wen zi xue"},
        // Older spellings in names and titles; a lower-case one alone is
        // as often a slip of English typing.
        {"Lao Tze, the Tao Teh Ching; P'eng Teh-huai", "Laozi, the Dao De Jing; Peng Dehuai"},
        {"access to teh card", "access to teh card"},
        // and emperors, but for a person's name of two words
        {"Han Wu Ti; Ch'in Shih Huang Ti; Fang Ti", "Han Wudi; Qin Shi Huangdi; Fang Di"},
        // but not after a reign or a common word written apart in a title
        {"K'ang Hsi Tzu Tien; CHUNG-KUO LI SHIH TI LI; Huai Nan Tzu; Chin Wu Ti",
         "Kang Xi Zi Dian; ZHONGGUO LI SHI DI LI; Huai Nanzi; Jin Wudi"},
        {"the Yung–cheng emperor, the Peking–Hankow line", "the Yongzheng emperor, the Peking–Hankow line"},
        {"Hsinchuang and Sanhsia", "Xinzhuang and Sanxia"},  // places written solid
        // but not with a vowel alone as a syllable after the first (Pinyin's ji-he, no jih-e)
        {"Thanks to Jihe Wang.", "Thanks to Jihe Wang."},
        // nor with ko spelled "ke", as no place written solid spells it
        {"Thanks to Jörg Thalheim, Kai Lüke and Karel Zak.", "Thanks to Jörg Thalheim, Kai Lüke and Karel Zak."},
        // nor one Pinyin writes as it stands, where Wade-Giles would need a syllable such as "an" inside
        {"The port of Lianyungang and Hsinchuang", "The port of Lianyungang and Xinzhuang"},
        {"He visited Yenan and Huaian.", "He visited Yan'an and Huai'an."},
        {"Chiayi and Taitung", "Jiayi and Taidong"},  // as Taiwan writes them
        // A word Pinyin would write with an apostrophe (chi'a) is no Pinyin
        // evidence beside a place that is ("Fengyuan").
        {"He visited Fengyuan and Ta-chia.", "He visited Fengyuan and Dajia."},
        // Nor is a word both systems spell alike ("Yalu", ya-lu).
        {"the Yalu Chiang", "the Yalu Jiang"},
        // Places the English lists carry as rare names, written with "hs",
        // "tz" or a final "ih"; other rare names stay ("Julien").
        {"Pahsien, Tzupo and Fushih; Julien", "Baxian, Zibo and Fushi; Julien"},
        // A given name written apart is the key that joins it, established
        // spellings too; a name of two words before a capital keeps both.
        {"Mao Tse Tung's army; Chiang Kai Shek; Kao Yang The user",
         "Mao Zedong's army; Chiang Kai Shek; Gao Yang The user"},
        // So is a reign's title where a reign's stands, not a person's name.
        {"the K'ang Hsi emperor; Yung Lo (1403-1424). T'ien Ch'i was a minister. Emperor Kuang Hsü",
         "the Kangxi emperor; Yongle (1403-1424). Tian Qi was a minister. Emperor Guangxu"},
        // Nor is a title of English words joined by a hyphen, nor one the
        // English lists do not hold.
        {"Governor-General Lin Tse-hsü met Vice-Premier Teng and Commander Chu Te.",
         "Governor-General Lin Zexu met Vice-Premier Deng and Commander Zhu De."},
        {"Historian Ch'ien Mu met Novelist Pa Chin.", "Historian Qian Mu met Novelist Ba Jin."},
        // An English prefix or word joined to a name by a hyphen is a word
        // of its own.
        {"Pre-Ch'in thought, anti-Ch'ing rebels, a Sung-era vase, Ch'ien-lung-era porcelain; Ho-style; Ch'ing-era's",
         "Pre-Qin thought, anti-Qing rebels, a Song-era vase, Qianlong-era porcelain; Ho-style; Qing-era's"},
        // A title that is no name is no Western given name ("Dowager"); a
        // dowager's name is a key too, and so is a reign's that is a real
        // word as written with its marks dropped.
        {"the Empress Dowager Tz'u Hsi; the Chia Ching emperor", "the Empress Dowager Cixi; the Jiajing emperor"},
        // Given names and compound surnames written solid, as the word
        // table's names with hyphens.
        {"Teng Hsiaoping, Tseng Kuofan, Chou Enlai and Liu Shaochi",
         "Deng Xiaoping, Zeng Guofan, Zhou Enlai and Liu Shaoqi"},
        {"Chuko Liang, Ouyang Hsiu; Ouyang Xiu; the Ouyang family",
         "Zhuge Liang, Ouyang Xiu; Ouyang Xiu; the Ouyang family"},
        {"T'ai-pei : Min kuo 67 [1978]", "Taibei : Min guo 67 [1978]"},  // a year of the Republic, no date
        {"the Sung dynasty; Chin dynasty paintings", "the Song dynasty; Jin dynasty paintings"},
        // as do its years alone after it on a line of a table of dynasties
        // (a film's one year, or a word after, are no span of a dynasty)
        {"Sung (960–1279)", "Song (960–1279)"},
        {"Chou [ca. 1045-256 B.C.]\nChin, 1115-1234.", "Zhou [ca. 1045-256 B.C.]\nJin, 1115-1234."},
        {"Chin (1998)", "Chin (1998)"},
        {"Sung\t960-1279", "Song\t960-1279"},  // a table's next cell
        {"| Sung | 960–1279 |", "| Song | 960–1279 |"},
        // and in brackets after "the"; a people's name before a dynasty's is
        // no Western given name
        {"Under the Chin (1115–1234) the Jurchen Chin dynasty ruled; Frank Chin (1940-2020) wrote.",
         "Under the Jin (1115–1234) the Jurchen Jin dynasty ruled; Frank Chin (1940-2020) wrote."},
        {"Chin (1115-1234) by Smith", "Chin (1115-1234) by Smith"},
        // and so does a place's noun ("Chin Hills", in Burma, is none)
        {"the Lo River, Sung Mountain and Lo County; the Chin Hills",
         "the Luo River, Song Mountain and Luo County; the Chin Hills"},
        {"Ting ware bowl from the Ting kilns. Tin ware.", "Ding ware bowl from the Ding kilns. Tin ware."},  // a kiln's
        // A dynasty named alone inside a sentence, and a name before a
        // capitalized word of its phrase; Chin, a surname too, stays.
        {"During the Sung, trade grew. The Chou conquered the Shang.",
         "During the Song, trade grew. The Zhou conquered the Shang."},
        {"The Ch'ing Empire fell. They crossed the Sung-chiang River. She studies Ch'an Buddhism.",
         "The Qing Empire fell. They crossed the Songjiang River. She studies Chan Buddhism."},
        {"The Chin family moved to Dallas. Dr. Chou agreed.", "The Chin family moved to Dallas. Dr. Chou agreed."},
        {"Dr Jan Chin of Boston wrote.", "Dr Jan Chin of Boston wrote."},  // an honorific without its stop too
        // Chin beside a dynasty, "the" before either, is one.
        {"The Chin and the Sung fought; peace between the Sung or Chin. The Chin family and the Sung met.",
         "The Jin and the Song fought; peace between the Song or Jin. The Chin family and the Song met."},
        {"the Sung or the Chin", "the Song or the Jin"},  // the text's last word
        {"Art of the Chin and Yuan Dynasties", "Art of the Jin and Yuan Dynasties"},
        // A name with a given name or a surname of another romanization is
        // left whole, not half converted; a compound surname written solid
        // is Wade-Giles, and so is a given name with Wade-Giles's marks.
        {"Tsai Ing-wen and Tung Chee-hwa met Chou En-lai.", "Tsai Ing-wen and Tung Chee-hwa met Zhou Enlai."},
        {"Legge's Ch'un Ts'ew and the Ch'un Ch'iu", "Legge's Ch'un Ts'ew and the Chun Qiu"},
        {"President Lee Teng-hui", "President Lee Teng-hui"},
        {"Leung Chun-ying", "Leung Chun-ying"},
        // Western order with a capital after the hyphen is no Wade-Giles.
        {"Yo-Yo Ma and Ka-Ping Yee met Chung-Lin Tang.", "Yo-Yo Ma and Ka-Ping Yee met Chung-Lin Tang."},
        {"Add Chung-Ju Wu (Lee, Chun-Yi)", "Add Chung-Ju Wu (Lee, Chun-Yi)"},
        // also where the next line's label goes on the name's group
        {"Copyright:\n 2012 Chung-Lin Wen\nLicense: MIT", "Copyright:\n 2012 Chung-Lin Wen\nLicense: MIT"},
        // So is Western order with such a surname, but not a place and a noun.
        {"By Yü-lan Fung; Tse-tsung Chow, 1960. Ping-ti Ho. Ta-lien Bay, T'ai-ho Hall. (Jungku Lee)",
         "By Yü-lan Fung; Tse-tsung Chow, 1960. Bingdi He. Dalian Bay, Taihe Hall. (Jungku Lee)"},
        // and the same surname first in a heading, where a Wade-Giles one converts
        {"Fung, Yu-lan. A History. Lee, Teng-hui; Chu, Hsi; Wong, Yu-lan.",
         "Fung, Yu-lan. A History. Lee, Teng-hui; Zhu, Xi; Wong, Yu-lan."},
        // A name signed before its e-mail address is its bearer's spelling.
        {"Wang Chao  <wang.chao@example.com>, Juan Cespedes <jc@example.org>; Wang Chao <",
         "Wang Chao  <wang.chao@example.com>, Juan Cespedes <jc@example.org>; Wang Zhao <"},
        {"2000 Kang, JeongHee <k@example.org>; 1994 Kung Hsu  (kung@example.com); Han-Wen Nienhuys (1):",
         "2000 Kang, JeongHee <k@example.org>; 1994 Kung Hsu  (kung@example.com); Han-Wen Nienhuys (1):"},
        // and so is an author heading his commits in release notes
        {"Sun Chao (2):\n      fix a leak\nChou Lin-feng (3 copies)",
         "Sun Chao (2):\n      fix a leak\nZhou Linfeng (3 copies)"},
        // and so is a name in brackets credited with a change before its
        // number, but not a name glossed in brackets
        {"- dns: export constants (Feng Yu) [#43176](https://x)\n- fix (Wang Chao) (#12)\n- the (Chu Hsi) school",
         "- dns: export constants (Feng Yu) [#43176](https://x)\n- fix (Wang Chao) (#12)\n- the (Zhu Xi) school"},
        // and so is a body's English name: words written apart without marks
        // before its noun; one the text romanizes with its marks converts.
        {"of National Yang Ming Chiao Tung University; the Tsung Tsin Association; Fu Jen Catholic University. "
         "He studied at Ch'ing-hua University and taught at the Hsia Academy; THE LIBRARY of Chu Hsi",
         "of National Yang Ming Chiao Tung University; the Tsung Tsin Association; Fu Jen Catholic University. "
         "He studied at Qinghua University and taught at the Xia Academy; THE LIBRARY of Zhu Xi"},
        // and so is a copyright notice's holder, on the notice's line or
        // after years on the lines under it; a chronology's years are no
        // notice, nor is a name after the notice's sentence.
        {"Copyright (C) 2011-2016 Chun-wei Fan\n(c) 2014 by Wang Chao\nCopyright: 2012 Igalia, S.L.\n"
         " *         2014 Chang Ping-ti\nLicense: LGPL-2+\n\n1935 Mao Tse-tung reached Yenan.\n\n"
         "Copyright 1962 Ho Ping-ti. By Ho Ping-ti. (b) Sun Yat-sen; (c) Chang Ping-ti",
         "Copyright (C) 2011-2016 Chun-wei Fan\n(c) 2014 by Wang Chao\nCopyright: 2012 Igalia, S.L.\n"
         " *         2014 Chang Ping-ti\nLicense: LGPL-2+\n\n1935 Mao Zedong reached Yan'an.\n\n"
         "Copyright 1962 Ho Ping-ti. By He Bingdi. (b) Sun Yat-sen; (c) Zhang Bingdi"},
        // So is a name in a list of people by Western names mostly: between
        // commas, in brackets, or one to a line (a Turkish name's ü is no
        // Wade-Giles). A list with an aspiration apostrophe is Wade-Giles's,
        // and so is one of Chinese names; an index's headings are no such list.
        {"Thanks to Alice Smith, Bob Jones, Ching Hsu, Karl Lang, Tony Cook and Yves Orton.\n\n"
         "- fix (Ann Lee)\n- doc (Feng Yu)\n- test (Mark Ross)\n- build (Joe Kim)\n- api (Sam Hall)\n- ui (Hüseyin "
         "Gürgün)\n\n"
         "Alice Smith\nChilung Chan\nDavid Mitchell\nJames Brown\nPeter Martini\n\n"
         "Alice Smith, Bob Jones, Ching Hsu, Karl Lang, Tony Cook and Li Hung-chang.\n\n"
         "Alice Smith, Bob Jones, Ching Hsu, Karl Lang, Tony Cook and Ts'ao K'un.\n\n"
         "Sun Yat-sen, Huang Hsing, Sung Chiao-jen, Hu Han-min and Wang Ching-wei.\n\n"
         "Fairbank, John King, 1907-1991.\nReischauer, Edwin O.\nWang, Chi-ming, 1917.\nWright, Mary\nCohen, Paul",
         "Thanks to Alice Smith, Bob Jones, Ching Hsu, Karl Lang, Tony Cook and Yves Orton.\n\n"
         "- fix (Ann Lee)\n- doc (Feng Yu)\n- test (Mark Ross)\n- build (Joe Kim)\n- api (Sam Hall)\n- ui (Hüseyin "
         "Gürgün)\n\n"
         "Alice Smith\nChilung Chan\nDavid Mitchell\nJames Brown\nPeter Martini\n\n"
         "Alice Smith, Bob Jones, Ching Hsu, Karl Lang, Tony Cook and Li Hongzhang.\n\n"
         "Alice Smith, Bob Jones, Jing Xu, Karl Lang, Tony Cook and Cao Kun.\n\n"
         "Sun Yat-sen, Huang Xing, Song Jiaoren, Hu Hanmin and Wang Jingwei.\n\n"
         "Fairbank, John King, 1907-1991.\nReischauer, Edwin O.\nWang, Jiming, 1917.\nWright, Mary\nCohen, Paul"},
        {"Ouyang Wen-chung; Empress Dowager Tz'u-hsi; Mount T'ai-shan",
         "Ouyang Wenzhong; Empress Dowager Cixi; Mount Taishan"},
        // A gloss in brackets after a word: "the idea of ch'i (vital energy)".
        {"the virtue of hsiao (filial piety) was central", "the virtue of xiao (filial piety) was central"},
        // and so is one English lists as a rare word, among words they do not know
        {"Mencius stressed jen (humaneness) and righteousness. The chin (lower jaw) moved.",
         "Mencius stressed ren (humaneness) and righteousness. The chin (lower jaw) moved."},
        // and an "i" glossed beside such a term is one too, not a variable
        {"jen (humaneness) and i (righteousness). Let i (the index) run.",
         "ren (humaneness) and yi (righteousness). Let i (the index) run."},
        // and a romanized phrase in brackets is romanized through its end
        {"knowledge and action (chih hsing ho i) as one", "knowledge and action (zhi xing he yi) as one"},
        // English hyphenates no pronoun in lower case
        {"clerks (hsü-li) and runners (ya-i)", "clerks (xuli) and runners (yayi)"},
        // A name in Western order with an initial, and an option, are no romanization.
        {"Theodore Y. Ts'o, Kai A. Hiller and Ming J. Tsai; bootstrap --no-po",
         "Theodore Y. Ts'o, Kai A. Hiller and Ming J. Tsai; bootstrap --no-po"},
        // but a surname with its given name after it begins a Chinese name
        {"Spence, Jonathan D. Ts'ao Yin and the K'ang-hsi Emperor.",
         "Spence, Jonathan D. Cao Yin and the Kangxi Emperor."},
        // An initial outside ASCII is one too.
        {"\u00C9. Chavannes and \u00CA. Smith", "\u00C9. Chavannes and \u00CA. Smith"},
        // and so are initials before a surname, but not an outline's letter before a title
        {"Kung Hsiang-hsi (H. H. Kung) and C. T. Hsia wrote. A. Han shu. B. Sung shih.",
         "Gong Xiangxi (H. H. Kung) and C. T. Hsia wrote. A. Han shu. B. Song shi."},
        // in a list of such names too, the surname ending its line
        {"Chiang Kai-shek\nH. H. Kung\nT. V. Soong", "Chiang Kai-shek\nH. H. Kung\nT. V. Soong"},
        // and in a heading, unless the letter is a syllable: a given name of one letter
        {"Hsia, C. T. The Classic Chinese Novel.\nChao, I. Nien erh shih cha chi.\nWang I. Ch'u tz'u chang chü.\n"
         "Chao I. Nien-erh shih cha-chi.",
         "Hsia, C. T. The Classic Chinese Novel.\nZhao, Yi. Nian er shi zha ji.\nWang Yi. Chu ci zhang ju.\n"
         "Zhao Yi. Nian'er shi zhaji."},
        // but a surname and a given name of one letter end a sentence
        {"Chu Hsi followed Ch'eng I. The school grew, as did Liu O.\nWang I. M. Pei and Tsung I. Lee; Ch'en I. Wang "
         "Ming",
         "Zhu Xi followed Cheng Yi. The school grew, as did Liu E.\nWang I. M. Pei and Tsung I. Lee; Chen Yi. Wang "
         "Ming"},
        // and so is a heading's surname before a Western given name
        {"Hsü, Immanuel C. Y. The Rise of Modern China.\nHsü, Cho-yün. Ancient China.",
         "Hsü, Immanuel C. Y. The Rise of Modern China.\nXu, Zhuoyun. Ancient China."},
        // A citation's given name after its surname and a comma is read as
        // written, as a heading's is; not a ruler's after his dynasty.
        {"Cf. Ho, Ping-ti (1959).", "Cf. He, Bingdi (1959)."},
        {"In the Han, Ping-ti ruled briefly.", "In the Han, Pingdi ruled briefly."},
        // but a gazetteer's place before its province is no surname
        {"An-ch'ing, Anhwei\nChi-nan, Shantung", "Anqing, Anhwei\nJinan, Shantung"},
        // An established spelling beside a word does not hold it back.
        {"After the fall of the Ch'ing, Sun Yat-sen served.", "After the fall of the Qing, Sun Yat-sen served."},
        // "Ho" and "Lo" are interjections too, but begin a name as surnames,
        // whatever English stands before them: no name is left half done.
        {"Ho Ping-ti was born in 1917. Lo and behold, he was.", "He Bingdi was born in 1917. Lo and behold, he was."},
        {"Ask Ho Ping-ti.", "Ask He Bingdi."},
        {"See Ho Ping-ti, Studies on the Population of China. Dr. Ho Ping-ti spoke.",
         "See He Bingdi, Studies on the Population of China. Dr. He Bingdi spoke."},
        // a capital after a small letter, or a small one after two capitals;
        // not a small ü in capitals
        {"NaN, iPod, McDonald, TSan. HSü Chih-mo", "NaN, iPod, McDonald, TSan. Xu Zhimo"},
        {"He said so long to them.", "He said so long to them."},
        // A function word is a syllable only in a phrase romanized in lower
        // case; as a sentence's first word it may be a surname, not before
        // a whole name or an established spelling.
        {"from Hsi-an to Lan-chou; Li Hung-chang to Tseng Kuo-fan; Chung-kuo to min-tsu",
         "from Xi'an to Lanzhou; Li Hongzhang to Zeng Guofan; Zhongguo duo minzu"},
        {"To Chang Chih-tung, so. To Peking. To Chung-chih stayed.",
         "To Zhang Zhidong, so. To Peking. Duo Zhongzhi stayed."},
        {"TSENG KUO-FAN TO LI HUNG-CHANG. TO HÊNG-KUNG. SUNG DYNASTY PAINTINGS",
         "ZENG GUOFAN TO LI HONGZHANG. DUO HENGGONG. SONG DYNASTY PAINTINGS"},
        // A subject heading's dynasty, in capitals too, its subdivisions
        // joined by two hyphens or spaced; two dynasties joined stay two
        // names. A word after two hyphens and a word is no option, nor a
        // capitalized one after a word's colon in an imprint written close.
        {"CHINA -- HISTORY -- CH'ING DYNASTY", "CHINA -- HISTORY -- QING DYNASTY"},
        {"China--History--Ch'ing dynasty, 1644-1912; Buddhist art--China--Tun-huang Caves",
         "China--History--Qing dynasty, 1644-1912; Buddhist art--China--Dunhuang Caves"},
        {"Shih chi.--Pei-ching:Chung-hua shu chü,1959; see http://chou.com, std::chou, a:chou",
         "Shi ji.--Beijing:Zhonghua shu ju,1959; see http://chou.com, std::chou, a:chou"},
        // A MARC record as editors write it: a subfield's code is no letter
        // of the word after it; elsewhere "$aHung" is a variable.
        {"=245  10$aHung lou meng /$cTs'ao Hsüeh-ch'in.\n=260  \\\\$aShang-hai :$bShang-hai ku chi,$c1982.\n"
         "set $aHung and $cTs'ao",
         "=245  10$aHong lou meng /$cCao Xueqin.\n=260  \\\\$aShanghai :$bShanghai gu ji,$c1982.\n"
         "set $aHung and $cTs'ao"},
        {"=245  10$aHung lou meng.\r\n=260  \\\\$aShang-hai :$bShang-hai ku chi,$c1982.",  // CR LF
         "=245  10$aHong lou meng.\r\n=260  \\\\$aShanghai :$bShanghai gu ji,$c1982."},
        // and as catalogues display it, where the code stands apart, or as
        // subfields copied alone: no article "a", nor the tag and
        // indicators words before a heading.
        {"100 1_ $a Ho, Ping-ti, $d 1917-2012.", "100 1_ $a He, Bingdi, $d 1917-2012."},
        {"100 1  Sung, Lien, \u2021d 1310-1381.", "100 1  Song, Lian, \u2021d 1310-1381."},
        {"|a Ho, Ping-ti, |d 1917.", "|a He, Bingdi, |d 1917."},
        // A field of tag 0XX holds codes: the language's "chi" is none of
        // Wade-Giles's words, beside a field with subfields.
        {"008    780101s1957    ch    000 0 chi  \r\n041 0_ |a chi\r\n100 1_ |a Ho, Ping-ti.",
         "008    780101s1957    ch    000 0 chi  \r\n041 0_ |a chi\r\n100 1_ |a He, Bingdi."},
        {"100 men, 1 $a day; $a Ho", "100 men, 1 $a day; $a Ho"},
        // A record of a reference manager or a bibliographic database: a
        // field's tag is no word, where the record's first or last field
        // says what the lines are.
        {"TY  - BOOK\r\nTI  - Kuo shih ta kang\r\nFAU - Ho, Ping-ti\r\nER  - ",
         "TY  - BOOK\r\nTI  - Guo shi da gang\r\nFAU - He, Bingdi\r\nER  - "},
        // A catalogue's note names a translation's original after a label.
        {"Translation of: Hung lou meng. Note: Ho ho ho. Warning: Pan fan.",
         "Translation of: Hong lou meng. Note: Ho ho ho. Warning: Pan fan."},
        // A BibTeX field's braces part its value from its name as brackets do.
        {"  author = {Ho, Ping-ti and others},", "  author = {He, Bingdi and others},"},
        {"PORCELAIN -- SUNG-YÜAN DYNASTIES\nPainting -- Ming-Ch'ing dynasties",
         "PORCELAIN -- SONG-YUAN DYNASTIES\nPainting -- Ming-Qing dynasties"},
        // So do other names joined with a capital each, but not a given name
        // beside its surname, a name the table holds whole, a master, or
        // one syllable said again.
        {"the Ch'eng-Chu school; Shen-Kan-Ning; Chou Tse-Tung; Kuang-Tung; Lao-Tzu; Hsing-Hsing",
         "the Cheng-Zhu school; Shen-Gan-Ning; Zhou Zedong; Guangdong; Laozi; Xingxing"},
        // each where it stands, whatever the same word was spelled before
        {"Wang En-Cho\n\nEn-Cho", "Wang Enzhuo\n\nEn-Zhuo"},
        {"Chin up, said Carl Jung.", "Chin up, said Carl Jung."},
        // A sentence's first word is no given name before a name only
        // Wade-Giles spells so; a Vietnamese name's ê is not enough.
        {"See Ch'ien Mu. Compare Ku Chieh-kang. Carl Jung. Trung Lê. Mark Tsai agreed.",
         "See Qian Mu. Compare Gu Jiegang. Carl Jung. Trung Lê. Mark Tsai agreed."},
        // so is one before a name written as Wade-Giles writes one; before
        // another romanization's surname it is no part of that name
        {"See Chang Ai-ling, Love in a Fallen City. Ask Lee Teng-hui.",
         "See Zhang Ailing, Love in a Fallen City. Ask Lee Teng-hui."},
        {"Ê-mei-shan", "Emeishan"},
        // "I" after a surname is a given name, after a place the pronoun.
        {"Chou I; Ssu-ma I; in Pei-ching I met Chou En-lai.", "Zhou Yi; Sima Yi; in Beijing I met Zhou Enlai."},
        // A surname met again alone is the same name's, but not the
        // pronoun and not after a determiner or a Western given name.
        {"Lo Jui-chih stayed. The next day Lo left.", "Luo Ruizhi stayed. The next day Luo left."},
        {"Ho Lung stayed. The next day Ho left.", "He Long stayed. The next day He left."},  // a word-table name
        {"Chin Sui came; the Chin fell, and Chin left. I Tzu-shih came. I was glad.",
         "Jin Sui came; the Chin fell, and Jin left. Yi Zishi came. I was glad."},
        {"Chang Ai-ling (Eileen Chang)", "Zhang Ailing (Eileen Chang)"},
        {"Ho Ping-ti wrote it; Ho T. Smith read it.", "He Bingdi wrote it; Ho T. Smith read it."},  // before an initial
    });
    // However many surnames a paragraph names, the first is known again.
    std::string many;
    for (const char* surname :
         {"Ho",   "Chao", "Ch'ien", "Sun", "Chou",  "Wu",    "Cheng", "Feng",  "Ch'en", "Wei",  "Shen", "Han",
          "Yang", "Chu",  "Hsü",    "Lü",  "Shih",  "Chang", "K'ung", "Yen",   "Hua",   "T'ao", "Ch'i", "Tsou",
          "Su",   "P'an", "Ko",     "Hsi", "P'eng", "Lu",    "Miao",  "Fang",  "Liu",   "Pao",  "Fei",  "T'ang",
          "Lei",  "Ni",   "Yin",    "Hao", "Kung",  "Tu",    "Mao",   "Tsang", "Tai",   "Kuo"})
        many += std::string(surname) + " Chih-yüan came. ";
    const std::string out = Convert(many + "After a long and difficult meeting with the governor, Ho left the city.");
    EXPECT_NE(out.find("governor, He left"), std::string::npos) << out;
    // A dash after a number or a line's first word parts nothing: a
    // licence's numbered section, a parameter described in code.
    for (const char* text : {"Section 4 -- Sui Generis Database Rights.", "    lang -- Language used by instance"})
        for (const ReportRecord& r : Report(text)) EXPECT_NE(r.decision, Decision::Syllables) << text;
    // A surname alone is left with its established name, unless another
    // name of the paragraph that converts has it too.
    ExpectAll({{"Chiang Kai-shek came to Nanking. Chiang then left.\n\nChiang Kai-shek met Chiang Ch'ing. Chiang left.\n\n"
                "Chiang Kai-shek met Chiang Ching-yü. Chiang left.",
                "Chiang Kai-shek came to Nanking. Chiang then left.\n\nChiang Kai-shek met Jiang Qing. Jiang left.\n\n"
                "Chiang Kai-shek met Jiang Jingyu. Jiang left."}});
    // A heading reads as the name written in order: an established
    // spelling stays whole, not half converted.
    ExpectAll({{"Chiang, Kai-shek, 1887-1975\nSoong, Mei-ling", "Chiang, Kai-shek, 1887-1975\nSoong, Mei-ling"}});
    TextOptions conventional;
    conventional.convertConventional = true;
    ExpectAll({{"Chiang, Kai-shek, 1887-1975", "Jiang, Jieshi, 1887-1975"},
               {"Chiang Kai-shek came to Nanking. Chiang then left.", "Jiang Jieshi came to Nanjing. Jiang then left."}},
              conventional);
    // A line lends no evidence to the next: "Ho" converts alike either way.
    EXPECT_EQ(Convert("Ho Hua-yung"), "He Huayong");
    EXPECT_EQ(Convert("Ho Hui-ch'i\nHo Hua-yung"), "He Huiqi\nHe Huayong");
    // A name alone on its line is a list's item; one wrapped onto the next
    // line goes on there.
    EXPECT_EQ(Convert("Chiang Kai-shek\nK'ung Hsiang-hsi met Chiang\nKai-shek."),
              "Chiang Kai-shek\nKong Xiangxi met Chiang\nKai-shek.");
    // A paragraph's line wrapped at its width reads as the line unbroken:
    // a name goes on across the wrap, and English stays English.
    ExpectAll(
        {{"Among the historians of that generation was Ho\nPing-ti, who wrote.",
          "Among the historians of that generation was He\nBingdi, who wrote."},
         {"Heap buffer overflow in PDF. Reported by YU-CHANG\nCHEN and CHIH-YEN CHANG, working",
          "Heap buffer overflow in PDF. Reported by YOUZHANG\nCHEN and ZHIYAN ZHANG, working"},
         {"At P'ien-kuan, T'ang Kao-tsung kept a fan and a\npin.", "At Pianguan, Tang Gaozong kept a fan and a\npin."},
         {"Ken met Jan on Jan. 20 in Lawrence,\r\n  Kan.", "Ken met Jan on Jan. 20 in Lawrence,\r\n  Kan."}});
    // A word hyphenated at its line's end is one word, its line's end kept
    // after the hyphen; English compounds stay as written. Lines mode
    // joins no lines.
    ExpectAll(
        {{"It was P'ien Tzu, not T'u Wên-\n   lung, who moved to Shan-\npei in a well-\nknown non-\nChinese case.",
          "It was Pianzi, not Tu Wen-\n   long, who moved to Shan-\nbei in a well-\nknown non-\nChinese case."},
         {"He had been carefully cho-\nsen for the task by a hu-\nman chain.",
          "He had been carefully cho-\nsen for the task by a hu-\nman chain."},
         // The word table's value parts where its syllables do, not
         // where the longest syllables would part it ("Man'a-\nsi").
         {"From Canton the mission went on to Ma-na-\nssu.", "From Canton the mission went on to Mana-\nsi."}});
    TextOptions listed;
    listed.lines = true;
    ExpectAll({{"The historians of the period include Ho Ping-\nti and others.",
                "The historians of the period include Ho Ping-\nti and others."}},
              listed);
    const std::vector<ReportRecord> wrapped = Report("Mao Tse\u2010\r\ntung went to Hunan.");
    ASSERT_EQ(wrapped.size(), 2u);
    EXPECT_EQ(wrapped[0].result, "Mao Ze\u2010\r\ndong");
    EXPECT_EQ(wrapped[1].line, 2u);
    // A line the wrapped group fills is an item too: the group ends there.
    EXPECT_EQ(Convert("and Sanhsia\nNaN\nHo Hua-yung"), "and Sanxia\nNaN\nHe Huayong");
    EXPECT_EQ(Convert("Members of the board:\nChiang Kai-shek\nChou\nSung"),
              "Members of the board:\nChiang Kai-shek\nZhou\nSong");
    // A paragraph that lists romanized items, one a line, is a list as in
    // lines mode, its English-looking surnames too; lines of common
    // English words alone are none.
    EXPECT_EQ(Convert("Chang\nWang\nChao\nHung\nLo\nTeng\nSung (960-1279)"),
              "Zhang\nWang\nZhao\nHong\nLuo\nDeng\nSong (960-1279)");
    EXPECT_EQ(Convert("No.\nNo.\nSo?\n\nChin\nSung\nHung"), "No.\nNo.\nSo?\n\nChin\nSung\nHung");
}

TEST(Prose, InLinesModeEachLineIsAnItem) {
    TextOptions lines;
    lines.lines = true;
    ExpectAll({{"Ho\nSung\nChang Tso-lin", "He\nSong\nZhang Zuolin"}}, lines);
    // A heading after a list's number is a heading still: its given name
    // is read as written ("Tai, Chen" is 戴震; "Ping-ti" no emperor).
    ExpectAll({{"3. Ho, Ping-ti\n(4) Tai, Chen", "3. He, Bingdi\n(4) Dai, Zhen"}}, lines);
    // A copyright notice on the line above vouches for no name.
    ExpectAll({{"Copyright:\n 2014 Chang Ping-ti", "Copyright:\n 2014 Zhang Bingdi"}}, lines);
    // Dates after a word leave it alone on its line: a reign table's rows.
    ExpectAll({{"Sung (960-1279)\nT'ang 618–907\nChin, 1115-1234\nJan 20\nJun 11, 2019\n3.4.2 Jun-28-2021",
                "Song (960-1279)\nTang 618–907\nJin, 1115-1234\nJan 20\nJun 11, 2019\n3.4.2 Jun-28-2021"}},
              lines);
    // So does a glossary's gloss, unless the term is a common English word
    // or the words after it are a note, not a gloss.
    ExpectAll({{"chou (department)\nhsien: county\ntao – circuit\nchou, a department\n"
                "To: John Smith\nChin (anatomy)\npo: Update Japanese translation.\npo: removed lib/output.c",
                "zhou (department)\nxian: county\ndao – circuit\nzhou, a department\n"
                "To: John Smith\nChin (anatomy)\npo: Update Japanese translation.\npo: removed lib/output.c"}},
              lines);
    // "i" in lower case is a list's term, alone or glossed; not a numeral
    // or a quoted letter, nor a line of running text.
    ExpectAll({{"i\ni (righteousness)\ni: righteousness\n i.\n'i'", "yi\nyi (righteousness)\nyi: righteousness\n i.\n'i'"}},
              lines);
    ExpectAll({{"i\ni (the index)", "i\ni (the index)"}});
    ExpectAll({{"Ho\nSung", "Ho\nSung"}});  // in running text one word alone is no name
    // but a glossary's term is one, also in a table's columns
    ExpectAll(
        {{"chou (department)\ntao\tcircuit\nchen,market town\nChin (anatomy)",
          "zhou (department)\ndao\tcircuit\nzhen,market town\nChin (anatomy)"}});
    // Tone numbers on one line do not vouch for a letter on the next, nor
    // does a line that writes its apostrophes for one that dropped them.
    ExpectAll({{"Ch'ü2 O5\nA1", "Qú E\nA1"}, {"Ch'en Tu-hsiu\nTsai Yuan-pei", "Chen Duxiu\nCai Yuanpei"}}, lines);
    // "ê" alone is no alphabet's letter but Wade-Giles's syllable, unless
    // letters stand beside it.
    ExpectAll({{"the word ê means goose", "the word e means goose"},
               {"the letters ê, è and é; a o ê i", "the letters ê, è and é; a o ê i"}});
    // A glossary's headword before its characters, and a word with its
    // characters in brackets; not English or a key's letter amid Chinese,
    // nor Pinyin.
    ExpectAll({{"jen 仁 humaneness\nhung 紅 red\nTai Chen 戴震 (1724-1777)\nthe character 仁 (jen), li (禮)\ni 義 right",
                "ren 仁 humaneness\nhong 紅 red\nDai Zhen 戴震 (1724-1777)\nthe character 仁 (ren), li (禮)\nyi 義 right"},
               {"He went to 北京 so 早.\n按下 i 键, 输入 o\nLi Peng 李鹏 met Deng Xiaoping in Beijing.",
                "He went to 北京 so 早.\n按下 i 键, 输入 o\nLi Peng 李鹏 met Deng Xiaoping in Beijing."}},
              lines);
}

// A text that writes no aspiration apostrophe may have dropped them: such a
// word is reported ambiguous, with both readings.
TEST(Prose, ReportsDroppedApostrophesAsAmbiguous) {
    std::vector<ReportRecord> report = Report("Tsai Yuan-pei");
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].result, "Cai Yuanpei");  // the word table's "Ts'ai Yüan-p'ei"
    EXPECT_TRUE(report[0].ambiguous);
    EXPECT_EQ(report[0].alternatives, "Cai Yuanpei as Ts'ai Yüan-p'ei; Zai Yuanbei as written");
    // Two readings that come to the same Pinyin leave nothing to choose.
    report = Report("Lu Hsun");
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].result, "Lu Xun");
    EXPECT_FALSE(report[0].ambiguous);
    EXPECT_EQ(report[0].alternatives, "");
    // Only a whole name: part of a longer one is read as written. Titles
    // before it are no part of it ("Vice President", "Acting Premier").
    EXPECT_EQ(Convert("Shui Hu Chuan"), "Shui Hu Zhuan");  // not the name "Hu Ch'üan"
    EXPECT_EQ(Convert("Vice President Lai Ching-te"), "Vice President Lai Qingde");
    report = Report("Tsai Ho-sen");
    ASSERT_EQ(report.size(), 2u);
    EXPECT_TRUE(report[0].ambiguous);
    EXPECT_EQ(report[0].result, "Cai");  // the commoner surname (see below)
    // A capitalized word alone is read as the name the table knows, a
    // given name or a word in lower case as written.
    report = Report("Chien-lung, Emperor; Ho Ping-ti; tan-tu");
    ASSERT_EQ(report.size(), 4u);
    EXPECT_EQ(report[0].result, "Qianlong");
    EXPECT_EQ(report[0].alternatives, "Qianlong as Ch'ien-lung; Jianlong as written");
    EXPECT_EQ(report[2].result, "Bingdi");
    EXPECT_EQ(report[2].alternatives, "Pingdi as P'ing-ti; Bingdi as written");
    EXPECT_EQ(report[3].result, "dandu");
    // So is a given name before its surname in Western order, but not a
    // reign name before a ruler's title.
    EXPECT_EQ(Convert("Ping-ti Ho argued it. Chien-lung Ti died."), "Bingdi He argued it. Qianlong Di died.");
    // A surname read with its mark stands last in Western order too.
    EXPECT_EQ(Convert("Thanks to Yu-chang Chen and Wei-ming Tang."), "Thanks to Youzhang Chen and Weiming Tang.");
    // Nor is a word that is a real word as written: a reign, a book, a
    // temple name (not the word "jen-ts'ung").
    report = Report("Chia-ching; Tso-chuan; Jen-tsung");
    ASSERT_EQ(report.size(), 3u);
    EXPECT_EQ(report[2].result, "Renzong");
    EXPECT_EQ(report[0].result, "Jiajing");
    EXPECT_TRUE(report[0].ambiguous);
    EXPECT_EQ(report[0].alternatives, "Jiaqing as Chia-ch'ing; Jiajing as written");
    EXPECT_EQ(report[1].result, "Zuozhuan");
    // Nor is a capitalized word whose marks would make it a common word
    // ("wen-t'i", a question): an emperor's name, unless a title in lower
    // case goes on.
    EXPECT_EQ(Convert("Wen-ti (r. 180-157 BC)\n\nWen-ti yu chu-i"), "Wendi (r. 180-157 BC)\n\nWenti you zhuyi");
    // A capitalized word the table holds only as a common word is the name
    // its marks make; in lower case it is the word.
    EXPECT_EQ(Convert("The Dowager Tzu-hsi ruled; tzu-hsi"), "The Dowager Cixi ruled; zixi");
    // So is a place written solid that the table holds only with marks.
    report = Report("Chingpu");
    ASSERT_EQ(report.size(), 1u);
    EXPECT_EQ(report[0].result, "Qingpu");
    EXPECT_EQ(report[0].alternatives, "Qingpu as Ch'ingp'u; Jingbu as written");
    // A place written solid that the table holds both as written and with
    // marks: "Peitou" (Beidou) and "Peit'ou" (Beitou); with marks in the
    // text, no other reading.
    report = Report("Peitou");
    ASSERT_EQ(report.size(), 1u);
    EXPECT_TRUE(report[0].ambiguous);
    EXPECT_EQ(report[0].alternatives, "Beitou as Peit'ou; Beidou as written");
    report = Report("Peitou and Ch'ao-chou");
    EXPECT_FALSE(report[0].ambiguous);
    // One that English writes solid for the place its marks make stays
    // that place, whatever the text writes: Nanchang (南昌), not Nanzhang.
    report = Report("the Nanchang rising and T'ang-shan");
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0].result, "Nanchang");
    EXPECT_EQ(report[0].alternatives, "Nanchang as Nanch'ang; Nanzhang as written");
    // A surname before its given name, and a dynasty, that such a text
    // writes for a far commoner aspirated name is read as that one, and so
    // is such a name alone; not one whose readings are both common, nor one
    // that a name of the text begins with as written.
    EXPECT_EQ(Convert("Chen Li-fu came. Chen left. The Tang dynasty fell. Chien Mu; Tao Te Ching"),
              "Chen Lifu came. Chen left. The Tang dynasty fell. Jian Mu; Dao De Jing");
    EXPECT_EQ(Convert("After the fall of the Ching, Ching Hsi-chih wrote. Ching was old."),
              "After the fall of the Qing, Jing Xizhi wrote. Jing was old.");
    EXPECT_EQ(Convert("After the fall of the Ching, Tsai invited Chen to dinner."),
              "After the fall of the Qing, Cai invited Chen to dinner.");
    EXPECT_EQ(Convert("Tang an kuan li"), "Dang an guan li");  // a title's first word
    // Capitalized inside a title, it is the title's dynasty or surname.
    EXPECT_EQ(Convert("Chiu Tang shu; Ta Ching hui tien; A Ching hua yuan"),
              "Jiu Tang shu; Da Qing hui dian; A Jing hua yuan");
    EXPECT_EQ(Convert("Teng Hsiao Ping"), "Deng Xiaoping");    // Teng Hsiao-p'ing, its given name apart
    report = Report("Tsai, Ming-liang; Yu Ying-shih");
    ASSERT_EQ(report.size(), 4u);
    EXPECT_EQ(report[0].result, "Cai");
    EXPECT_EQ(report[0].alternatives, "Cai as Ts'ai; Zai as written");
    EXPECT_EQ(report[2].result, "Yu");  // Yü, not You
    EXPECT_EQ(report[2].alternatives, "Yu as Y\xC3\xBC; You as written");
    // A syllable read as written whose dropped ü gives another reading is
    // ambiguous too, though the other readings' table lists that reading.
    report = Report("Reported by Peng Yu.");
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[1].result, "You");
    EXPECT_TRUE(report[1].ambiguous);
    EXPECT_EQ(report[1].alternatives, "yu: you/yu");
    EXPECT_EQ(Convert("Ch'en Tu-hsiu met Chen Li-fu under the Tang dynasty."),
              "Chen Duxiu met Zhen Lifu under the Tang dynasty.");
    // Where the text writes apostrophes, one missing is no sign of that;
    // nor where it writes ê or ŭ, which a text that drops marks never does.
    report = Report("Tsai Ho-sen met Ch'en Tu-hsiu.");
    EXPECT_FALSE(report[0].ambiguous);
    EXPECT_EQ(Convert("Chingpu and Ch'ao-chou"), "Jingbu and Chaozhou");
    EXPECT_EQ(Convert("Jên-tsung"), "Renzong");  // not the word table's "Jen-ts'ung"
    EXPECT_EQ(Convert("Tsêng Tsai-fêng"), "Zeng Zaifeng");
}

TEST(Prose, LeavesPinyinTextAlone) {
    ExpectAll({
        {"Deng Xiaoping met Li Peng in Beijing.", "Deng Xiaoping met Li Peng in Beijing."},
        {"Mao Tse-tung met Zhou Enlai", "Mao Zedong met Zhou Enlai"},
        {"Běijīng and Li Peng", "Běijīng and Li Peng"},
        // The paragraph decides where its sentence cannot.
        {"Deng Xiaoping was born in Sichuan. Li Peng followed.",
         "Deng Xiaoping was born in Sichuan. Li Peng followed."},
        // A word written solid that Pinyin reads makes no Pinyin sentence
        // of one that names someone as only Wade-Giles does, though the
        // English lists hold the syllable; English's own rare words do not
        // count.
        {"Hu Shih, then at Peita, called for pai-hua.", "Hu Shi, then at Peita, called for baihua."},
        {"Deng Xiaoping hung the tung oil lamp in Sichuan.", "Deng Xiaoping hung the tung oil lamp in Sichuan."},
        // A phrase in lower case that spells a word as only Wade-Giles does
        // is Wade-Giles all through, as a name group is; a name's own
        // capitals are the group's to judge.
        {"Deng Xiaoping read the Daodejing (Tao te ching).", "Deng Xiaoping read the Daodejing (Dao de jing)."},
        {"Xu Zhimo and Yang Tse, Deng Xiaoping", "Xu Zhimo and Yang Tse, Deng Xiaoping"},
    });
}

TEST(Prose, ReadsTheFormsWadeGilesIsWrittenIn) {
    ExpectAll({
        {"Tao Tê Ching; Ssŭ-ma Ch'ien; Pʽin-yin; HSÜEH", "Dao De Jing; Sima Qian; Pinyin; XUE"},
        {"Ch‘ing Ch’ing Chʻing Chʼing Ch`ing Ch´ing; don´t", "Qing Qing Qing Qing Qing Qing; don´t"},
        {"hsu\xCC\x88"
         "eh TZU\xCC\x86 te\xCC\x82",
         "xue ZI de"},  // combining marks
        {"LÜ HSÜN", "LÜ XUN"},
    });
    std::string out, error;
    TextOptions cp1252;
    cp1252.encoding = Encoding::Cp1252;
    ASSERT_TRUE(ConvertRunningText(Shipped(), cp1252,
                                   "Ta-hs\xFC"
                                   "eh Mao2 Tse4 \x91"
                                   "x",
                                   out, nullptr, error));
    EXPECT_EQ(out, "Daxue M\xE1o Z\xE8 \x91x");
    out.clear();
    ASSERT_TRUE(ConvertRunningText(Shipped(), cp1252, "T'ien1-an1", out, nullptr, error));
    EXPECT_EQ(out, "Tian1'an1");  // Windows-1252 has no macron: the tone stays a number
}

TEST(Prose, WritesTonesAsMarksNumbersOrNothing) {
    ExpectAll({{"Mao2 Tse2-tung1", "Máo Zédōng"},
               {"Lü4 Hsün4", "Lǜ Xùn"},
               {"ma3 ma5", "mǎ ma"},
               {"T'ien¹-an¹-men²", "Tiān'ānmén"},
               {"Chan2 Ying1; ch'ing1 shih3", "Zhán Yīng; qīng shǐ"}});
    // Pinyin's own tone numbers stay as written where reading them as
    // Wade-Giles would change a letter and nothing around them is
    // Wade-Giles's, and so does a dictionary's reading after its characters.
    ExpectAll(
        {{"also pr. [yi1 chang4 san1 tan4]", "also pr. [yi1 chang4 san1 tan4]"},
         {"Ken3 shu1.\n\nHsi1 ken3. Ken3 shu1.", "Ken3 shu1.\n\nXī gěn. Gěn shū."},
         {"see 啃書|啃书[ken3 shu1]; 海南省[Hai3 nan2 Sheng3]", "see 啃書|啃书[ken3 shu1]; 海南省[Hai3 nan2 Sheng3]"},
         // and the sentence that writes them is Pinyin, its other words too
         {"Chao Lake in Hefei 合肥[He2 fei2]. Chao Lake", "Chao Lake in Hefei 合肥[He2 fei2]. Zhao Lake"}});
    TextOptions numbers;
    numbers.tones = ToneStyle::Numbers;
    ExpectAll({{"Mao2 Tse2-tung1", "Mao2 Ze2dong1"}, {"Hsi¹-an¹", "Xi¹'an¹"}}, numbers);
    TextOptions none;
    none.tones = ToneStyle::None;
    ExpectAll({{"Mao2 Tse2-tung1", "Mao Zedong"}}, none);
    // A digit that is no tone leaves the word alone, and so does a lone
    // syllable with a digit: a name or a code, not romanized text.
    // The same code again is no support: "sun4" twice is still a code.
    ExpectAll({{"A44 Mao7", "A44 Mao7"},
               {"SHA1 and sha1 sums", "SHA1 and sha1 sums"},
               {"Add sun4 targets; sun4 hosts.", "Add sun4 targets; sun4 hosts."},
               // and so is a common English word with a digit; other syllables with tones convert
               {"The sun4 and sun3 machines differ; ma1 and ma3 do too.",
                "The sun4 and sun3 machines differ; m\u0101 and m\u01CE do too."},
               // Variables and arguments in code are identifiers.
               {"my ($i1, $i2) = max(ai1, ai2);", "my ($i1, $i2) = max(ai1, ai2);"},
               // beside others that no syllable reads, or less one another
               {"for tag, i1, i2, j1, j2 in codes: if i2-i1 > n:", "for tag, i1, i2, j1, j2 in codes: if i2-i1 > n:"},
               {"for ai1, ai2, bj1, bj2 in ops: la = ai2 - ai1", "for ai1, ai2, bj1, bj2 in ops: la = ai2 - ai1"},
               {"KEY_A1: 'ka1', KEY_A3: 'ka3', KEY_B2: 'kb2'", "KEY_A1: 'ka1', KEY_A3: 'ka3', KEY_B2: 'kb2'"},
               // and a letter with a digit in a hex dump lends a line away none
               {"// <Buffer 10 b3 49 a1 ff>\nlog(crypto. hash('sha1', b));",
                "// <Buffer 10 b3 49 a1 ff>\nlog(crypto. hash('sha1', b));"}});
}

TEST(Prose, ReportsWhatItFoundAndWhy) {
    const std::vector<ReportRecord> report =
        Report("北京 Yung-lo and Chu Hsi\nmet Li Peng. Ch'ing-dynastic\n\nDeng Xiaoping met Li Peng. Then the Sun");
    ASSERT_EQ(report.size(), 7u);
    EXPECT_EQ(report[0].line, 1u);
    EXPECT_EQ(report[0].column, 4u);  // in characters, not bytes
    EXPECT_EQ(report[0].original, "Yung-lo");
    EXPECT_EQ(report[0].result, "Yongle");
    EXPECT_EQ(report[0].decision, Decision::WordTable);
    EXPECT_EQ(report[0].alternatives, "lo: luo/le");
    EXPECT_EQ(report[1].original, "Chu Hsi");
    EXPECT_EQ(report[1].alternatives, "chu: zhu/ju");
    EXPECT_EQ(report[2].line, 2u);
    EXPECT_EQ(report[2].decision, Decision::Syllables);
    EXPECT_FALSE(report[2].ambiguous);  // two capitalized syllables, one a name: a Chinese name
    EXPECT_EQ(report[4].decision, Decision::NotWadeGiles);
    // In the Pinyin paragraph, without an apostrophe, "Li Peng" is the
    // word table's "Li P'eng": one name, left as Pinyin.
    EXPECT_EQ(report[5].original, "Li Peng");
    EXPECT_EQ(report[5].decision, Decision::Pinyin);
    EXPECT_EQ(report[5].line, 4u);
    EXPECT_EQ(report[6].decision, Decision::English);  // "the Sun"
    EXPECT_EQ(FormatReportRecord("a.txt", report[0]), "a.txt\t1\t4\tYung-lo\tYongle\tword table\tno\tlo: luo/le\n");
    // Each other reading once, though the table lists each apostrophe; and
    // columns counted from the first character after a byte order mark.
    const std::vector<ReportRecord> marked = Report(
        "\xEF\xBB\xBF"
        "Ch'u Hsi");
    ASSERT_EQ(marked.size(), 2u);
    EXPECT_EQ(marked[0].column, 1u);
    EXPECT_EQ(marked[0].alternatives, "ch'u: chu/qu");
    ReportRecord odd;
    odd.original = "a\tb\\";
    EXPECT_EQ(FormatReportRecord("-", odd), "-\t0\t0\ta\\tb\\\\\t\tsyllables\tno\t\n");
}

std::string Streamed(const std::string& text, std::size_t chunk, std::vector<ReportRecord>* report = nullptr,
                     TextOptions options = {}) {
    TextStream stream(Shipped(), options);
    std::string out, error;
    for (std::size_t at = 0; at < text.size(); at += chunk)
        EXPECT_TRUE(stream.Feed(std::string_view(text).substr(at, chunk), out, report, error)) << error;
    EXPECT_TRUE(stream.Finish(out, report, error)) << error;
    return out;
}

TEST(ProseStream, AnyChunkingGivesTheWholeResult) {
    const std::vector<std::string> pieces = {"Mao", " ",     "Tse-tung", "\n",   "\n\n",     "Pei-ching",
                                             ". ",  "to",    "Li Peng",  "Deng", "Xiaoping", "hsu\xCC\x88",
                                             "eh",  "北京",  "Ch’ing",   "2",    "-",        "Sun",
                                             "I",   "Ching", ", ",       "the",  "Jan.",     "'s"};
    std::mt19937 rng(7);
    for (int round = 0; round < 30; ++round) {
        std::string text;
        const int count = 200 + static_cast<int>(rng() % 4000);
        for (int i = 0; i < count; ++i) text += pieces[rng() % pieces.size()];
        std::vector<ReportRecord> wholeReport;
        const std::string whole = Streamed(text, text.size() + 1, &wholeReport);
        // Converted at once, the text is cut where it lies: the same cuts.
        ASSERT_EQ(Convert(text), whole);
        ASSERT_EQ(Report(text).size(), wholeReport.size());
        for (std::size_t chunk : {std::size_t{1}, std::size_t{3}, std::size_t{7}, std::size_t{1 + rng() % 5000}}) {
            std::vector<ReportRecord> report;
            ASSERT_EQ(Streamed(text, chunk, &report), whole) << "chunk " << chunk;
            ASSERT_EQ(report.size(), wholeReport.size());
        }
    }
}

// A word met before is found by its head (its first sixteen bytes) and
// length: a byte the head lost would give one word another's reading.
TEST(ProseStream, AWordsHeadHoldsEachOfItsFirstSixteenBytes) {
    std::mt19937 rng(5);
    char buffer[40];
    for (int round = 0; round < 2000; ++round) {
        for (char& c : buffer) c = static_cast<char>('a' + rng() % 26);
        const std::size_t n = static_cast<std::size_t>(round) % 17;
        const std::string_view word(buffer + 3, n);
        const WordHead head = HeadOf(word);
        ASSERT_EQ(head, HeadAt(word.data(), n)) << n;  // as the quick look reads it, with room after it
        ASSERT_EQ(HashOf(word), HashOf(head, n)) << n;
        for (std::size_t i = 0; i < n; ++i) {
            std::string other(word);
            other[i] = static_cast<char>(other[i] ^ 0x40);
            ASSERT_NE(HeadOf(other), head) << n << " " << i;
        }
    }
}

TEST(ProseStream, AParagraphComesOutAsItWouldAlone) {
    // The stream remembers how it read words from one paragraph to the
    // next; what it remembers must not carry a paragraph's context (case of
    // a heading, a name around the word) into another. A paragraph of words
    // met before, none of which could convert but its function words, is
    // written without weighing: not where a word may begin an established
    // spelling, or stands before "dynasty", or is an initial, or follows a
    // MARC subfield's code (elsewhere "$aHung" is a variable).
    const std::vector<std::string> paragraphs = {"To dynasty rulers came to a sea.",
                                                 "A dynasty to rulers came.",
                                                 "To Port Arthur and Peking went a man.",
                                                 "Port and Arthur went to Peking.",
                                                 "Sir I. Newton wrote to a man. So I.",
                                                 "See www.chou.com or a/chou to go.",
                                                 "MAO TSE-TUNG AND I",
                                                 "I met Mao Tse-tung in Yen-an.",
                                                 "I",
                                                 "A Pei-ching I knew",
                                                 "PEI-CHING TA-HSUEH",
                                                 "Pei-ching ta-hsueh",
                                                 "Sun I-hsien, Ch'ing",
                                                 "CH'ING AND MING",
                                                 "the Ming and the Ch'ing",
                                                 "Chang, Ai-ling. Ch'ing-ch'eng chih lien",
                                                 "Li Po. Li Po wrote.",
                                                 "No, Sung Lien came to a sea. So Sung went.",
                                                 "e.g. To Sung came a man. To Ch'ing",
                                                 "It\u2019s a sea\u2014to Sung-Lien to a dynasty, no Sung",
                                                 "set $aHung and more",
                                                 "=245  10$aHung",
                                                 "100 1_ |a Ho, Ping-ti, \u2021d 1917",
                                                 "Ho wrote: Tai, Chen",
                                                 "3. Tai, Chen",
                                                 "Ch and ing rose.",
                                                 "Ch&#39;ing rose."};
    std::mt19937 rng(11);
    TextOptions conventional;
    conventional.convertConventional = true;
    for (int round = 0; round < 20; ++round) {
        const TextOptions options = round % 2 ? conventional : TextOptions{};
        std::string text, expected;
        for (int i = 0; i < 40; ++i) {
            const std::string& p = paragraphs[rng() % paragraphs.size()];
            text += p + "\n\n";
            expected += Convert(p, options) + "\n\n";
        }
        ASSERT_EQ(Streamed(text, text.size() + 1, nullptr, options), expected);
    }
    // More distinct words than the stream keeps, twice over: what it keeps
    // grows, and keeps its common words when full, without a word read
    // otherwise.
    const char* syllables[] = {"pei", "ching", "hs\xC3\xBC", "ch'ang", "an",  "mao", "tse", "tung", "ssu", "shang",
                               "hai", "kuang", "chou",       "t'ien",  "men", "kuo", "hsi", "nan",  "ta",  "shih"};
    std::string text, expected, paragraph, readings, expectedReadings;
    // What a report says of the words (not where they stand), in order.
    const auto readingsOf = [](const std::vector<ReportRecord>& report) {
        std::string out;
        for (const ReportRecord& r : report) out += r.original + ">" + r.result + ":" + r.alternatives + "\n";
        return out;
    };
    for (int i = 0; i < 20000; ++i) {
        paragraph += std::string(i % 3 ? "" : "the ") + (i % 2 ? "Sung Chu-lo " : "") + syllables[i % 20] + "-" +
                     syllables[i / 20 % 20] + "-" + syllables[i / 400 % 20] + (i < 8000 ? " " : "-an ");
        if (i % 100 == 99) {
            std::vector<ReportRecord> report;
            text += paragraph + "\n\n";
            expected += Streamed(paragraph, paragraph.size(), &report) + "\n\n";
            expectedReadings += readingsOf(report);
            paragraph.clear();
        }
    }
    std::vector<ReportRecord> report;
    EXPECT_TRUE(Streamed(text, 1 << 16, &report) == expected);
    EXPECT_TRUE(readingsOf(report) == expectedReadings);
}

// Paragraphs converted on several threads at once come out as on one, in
// order, however the text arrives; a report keeps it on one thread. Run
// under ThreadSanitizer by the test script.
TEST(ProseConcurrency, SeveralThreadsWriteWhatOneWrites) {
    const char* pieces[] = {"Mao Tse-tung", "met", "Chou En-lai", "in", "Yen-an.", "Sung", "the",
                            "Ch'ing", "to", "Li Po", "\n\n", "\n", "Pei-ching ta-hs\xC3\xBC" "eh"};
    std::mt19937 rng(13);
    std::string text;
    while (text.size() < 5 * kScopeBytes) text += std::string(pieces[rng() % 13]) + " ";
    text += std::string(kScopeBytes + 5000, 'a') + " Chin\n\nHsi-an";  // a run cut for length
    const std::string one = Streamed(text, 1 << 16);
    ASSERT_NE(one.find("Zhou Enlai"), std::string::npos);
    // The same in Windows-1252, where each thread encodes its own result.
    std::string cp1252 = text, oneCp1252;
    for (std::size_t at; (at = cp1252.find("\xC3\xBC")) != std::string::npos;) cp1252.replace(at, 2, "\xFC");
    TextOptions encoded;
    encoded.encoding = Encoding::Cp1252;
    oneCp1252 = Streamed(cp1252, 1 << 16, nullptr, encoded);
    for (const unsigned threads : {2u, 3u}) {
        TextOptions options;
        options.threads = encoded.threads = threads;
        EXPECT_TRUE(Streamed(text, 1 << 16, nullptr, options) == one) << threads;
        EXPECT_TRUE(Streamed(text, 1 + rng() % 9000, nullptr, options) == one) << threads;
        EXPECT_TRUE(Streamed(cp1252, 1 + rng() % 9000, nullptr, encoded) == oneCp1252) << threads;
        std::string whole, error;
        ASSERT_TRUE(ConvertRunningText(Shipped(), options, text, whole, nullptr, error)) << error;
        EXPECT_TRUE(whole == one) << threads;
        std::vector<ReportRecord> report, alone;
        EXPECT_TRUE(Streamed(text, 1 << 16, &report, options) == one) << threads;
        Streamed(text, 1 << 16, &alone);
        EXPECT_EQ(report.size(), alone.size());
    }
    // Malformed UTF-8 stops the stream: what one thread wrote before it,
    // several write too.
    const std::string broken = text.substr(0, 3 * kScopeBytes) + "\n\n\xFF";
    std::string before[2];
    for (int k = 0; k < 2; ++k) {
        TextOptions options;
        options.threads = k ? 2 : 1;
        TextStream stream(Shipped(), options);
        std::string error;
        bool ok = true;
        for (std::size_t at = 0; ok && at < broken.size(); at += 4096)
            ok = stream.Feed(std::string_view(broken).substr(at, 4096), before[k], nullptr, error);
        EXPECT_FALSE(ok && stream.Finish(before[k], nullptr, error));
    }
    EXPECT_TRUE(before[0] == before[1]);
    EXPECT_GT(before[0].size(), kScopeBytes);
}

// Tables freshly loaded and shared: the threads that first meet a text
// without its marks build the keys with the marks dropped together, once.
TEST(ProseConcurrency, FreshTablesSharedByThreadsReadDroppedMarksAlike) {
    const std::string text = "Tsai Yuan-pei met Mao Tse-tung in Chang-an. Chiang Ching-kuo, Hsi-an.";
    std::string expected, error;
    ASSERT_TRUE(ConvertRunningText(Shipped(), {}, text, expected, nullptr, error)) << error;
    ASSERT_NE(expected.find("Cai Yuanpei"), std::string::npos);
    TextTables fresh;
    TablesError failure;
    ASSERT_TRUE(LoadTextTables(KESTI_DATA_DIR, fresh, failure));
    std::vector<std::string> outs(4);
    std::vector<std::thread> threads;
    for (std::string& out : outs)
        threads.emplace_back([&] {
            std::string message;
            ConvertRunningText(fresh, {}, text, out, nullptr, message);
        });
    for (std::thread& thread : threads) thread.join();
    for (const std::string& out : outs) EXPECT_EQ(out, expected);
}

TEST(ProseStream, LongLinesWordsAndChainsStayBoundedAndUnchanged) {
    // Longer than a scope, without a blank line: cut at a space, converted.
    std::string line, expected;
    while (line.size() < 3 * kScopeBytes) {
        line += "Mao Tse-tung met Chou En-lai. ";
        expected += "Mao Zedong met Zhou Enlai. ";
    }
    EXPECT_TRUE(Streamed(line, 4096) == expected);
    // A word, and a chain of syllables, longer than any word: left as written.
    const std::string word(200000, 'a');
    EXPECT_TRUE(Streamed(word + " Pei-ching", 999) == word + " Beijing");
    std::string chain = "Pei";
    while (chain.size() < 200000) chain += "-pei";
    EXPECT_TRUE(Streamed(chain + " Pei-ching", 333) == chain + " Beijing");
    // A run cut for length in a later paragraph, before a capitalized word:
    // the earlier paragraph's words must not be read for it (that threw).
    std::string words;
    for (int i = 0; i < 200; ++i) words += "Pei-ching ta-hsueh ";
    const std::string later = std::string(300, 'a') + " Chin";
    EXPECT_TRUE(Streamed(words + "\n\n" + later, 1 << 20) == Streamed(words, 1 << 20) + "\n\n" + Streamed(later, 999));
}

TEST(ProseStream, RefusesMalformedUtf8WithItsOffset) {
    const std::pair<std::string, std::string> cases[] = {
        {"pei \xFF", "offset 4"},
        {"ab\xC3(", "offset 2"},
        {"\xC0\xAF", "offset 0"},
        {"x\xED\xA0\x80", "offset 1"},
        {"xx\xF4\x90\x80\x80", "offset 2"},
        {"pei \xE4\xB8", "offset 4"},
        // After ASCII read eight bytes at a time.
        {"Pei-ching ta-hsueh \xFF", "offset 19"},
        {"0123456789abcdef\xC3(", "offset 16"},
    };
    for (const auto& [input, offset] : cases) {
        for (std::size_t chunk : {std::size_t{1}, input.size()}) {
            TextStream stream(Shipped(), {});
            std::string out, error;
            bool ok = true;
            for (std::size_t at = 0; ok && at < input.size(); at += chunk)
                ok = stream.Feed(input.substr(at, chunk), out, nullptr, error);
            if (ok) ok = stream.Finish(out, nullptr, error);
            EXPECT_FALSE(ok) << input;
            EXPECT_NE(error.find(offset), std::string::npos) << error;
        }
    }
}

TEST(ProseTables, MissingTablesAreNamed) {
    test::TempDir dir;
    TextTables tables;
    TablesError error;
    EXPECT_FALSE(LoadTextTables(dir.path.string(), tables, error));
    EXPECT_EQ(error.status, TablesStatus::Missing);
    EXPECT_NE(error.path.find("kestisyl.txt"), std::string::npos);
    EXPECT_FALSE(tables.lexicon);
}

// Tables are data a user may write: the engine must not trust their values.
TEST(ProseTables, ValuesAreRaisedOnlyWhereTheyHoldLetters) {
    // A syllable table of more than 65,536 lines whose first ones are keys no
    // spelling has: a 16-bit index of values gave "pei" the first line's value.
    std::string syllables;
    for (int i = 0; i < 70000; ++i) syllables += "0\tzero\r\n";
    syllables +=
        "pei\t-bei\r\nching\tjing\r\nmen\t\x01"
        "en\r\n";
    TextTables tables;
    TablesError error;
    ASSERT_TRUE(BuildTextTables({syllables, "", "", "", ""}, tables, error));
    std::string out, failure;
    // Capitals are raised on letters only: subtracting 0x20 from any byte
    // made "-" a carriage return and 0x01 no character at all.
    ASSERT_TRUE(ConvertRunningText(tables, {}, "Pei-ching, PEI-CHING; Men-men", out, nullptr, failure));
    EXPECT_EQ(out,
              "-beijing, -BEIJING; \x01"
              "en\x01"
              "en");
}

// A long English list is read whole; a syllable table too long for the
// text mode's lookup is refused, not cut short.
TEST(ProseTables, LongListsAreReadWholeOrRefused) {
    std::string words;
    for (unsigned i = 0; i < 30000; ++i) {
        unsigned n = i * 7919u;
        for (int k = 0; k < 6; ++k, n /= 26) words += static_cast<char>('a' + n % 26);
        words += "\t10\r\n";
    }
    const std::string last = words.substr(words.size() - 11, 6);  // "xxxxxx\t10\r\n"
    TextTables tables;
    TablesError error;
    ASSERT_TRUE(BuildTextTables({"pei\tbei\r\n", "", words + "caf\xE9\t10\r\n", "", ""}, tables, error));
    EXPECT_EQ(tables.lexicon->English(last), EnglishClass::Size10);
    EXPECT_EQ(tables.lexicon->English("pei"), EnglishClass::None);
    // A word with a letter no spelling holds is never asked of the list.
    EXPECT_EQ(tables.lexicon->English("caf\xE9"), EnglishClass::None);

    EXPECT_FALSE(BuildTextTables({words, "", "", "", ""}, tables, error));
    EXPECT_EQ(error.path, "kestisyl.txt");
    EXPECT_EQ(TablesErrorReason(error),
              "more spellings than the text mode can hold (their beginnings, letter by letter, pass 65,534)");
}

// A word is found whole in the word table through the text mode's own
// index; it must find what the exact lookup finds: every key in any case,
// the last of keys equal but for case, none for a key's beginning.
TEST(ProseTables, WholeWordsAreFoundAsTheLookupFindsThem) {
    const auto check = [](const Lexicon& lex) {
        const ConversionTable& table = lex.wordTable;
        const auto lookup = [&](const std::string& key) -> std::string {
            MatchResult match;
            return LookupAtCursor(table, key.data(), key.size(), match) && match.consumed == key.size() ? match.value
                                                                                                        : "";
        };
        std::size_t found = 0;
        for (std::size_t i = 0; i < table.count; ++i) {
            std::string key = table.records[i].key, upper = key;
            for (char& c : upper) c = static_cast<char>(ToUpper(static_cast<unsigned char>(c)));
            for (const std::string& form : {key, upper, key.substr(0, key.size() - 1)}) {
                const std::string expected = lookup(form);
                ASSERT_EQ(std::string(lex.WordKey(form)), expected) << form;
                found += !expected.empty();
            }
        }
        EXPECT_GT(found, table.count);
    };
    TextTables shipped;
    TablesError error;
    ASSERT_TRUE(LoadTextTables(KESTI_DATA_DIR, shipped, error)) << TablesErrorReason(error);
    check(*shipped.lexicon);
    TextTables made;
    ASSERT_TRUE(
        BuildTextTables({"pei\tbei\r\n",
                         "Chang\tZhang\r\nchang\tchang\r\nCHANG\tZHANG\r\n-erh\ter\r\nmao tse-tung\tMao Zedong\r\n"
                         "chang-an\tChang'an\r\nch'ang-an\tChang'an\r\n",
                         "", "", ""},
                        made, error));
    check(*made.lexicon);
    EXPECT_EQ(made.lexicon->WordKey("chang"), "ZHANG");
}

// Tables of one's own names come before the shipped ones; a bad line is
// named by file and line.
TEST(ProseTables, OwnNamesComeFirstAndBadLinesAreNamed) {
    test::TempDir dir;
    test::WriteFile(dir.File("mine.tsv"),
                    "# house spellings\nMao Tse-tung\tMao Tsetung\n\nTs'ao Hs\xC3\xBC"
                    "eh-ch'in\tCao Xueqin\r\nHo\tHe\n");
    TablePaths paths;
    const std::string data = KESTI_DATA_DIR;
    paths = {data + "/kestisyl.txt", data + "/kestiwrd.txt", data + "/kestieng.txt",
             data + "/kestialt.txt", data + "/kesticnv.txt", {dir.File("mine.tsv")}};
    TextTables tables;
    TablesError error;
    ASSERT_TRUE(LoadTextTables(paths, tables, error)) << TablesErrorReason(error);
    std::string out, failure;
    ASSERT_TRUE(ConvertRunningText(tables, {}, "Mao Tse-tung met Ho.", out, nullptr, failure));
    EXPECT_EQ(out, "Mao Tsetung met He.");
    const std::pair<std::string, std::string> bad[] = {
        {"Pei-ching\tBeijing\nno tab here\n", "line 2: no tab between the key and the value"},
        {"\tBeijing\n", "line 1: the key does not begin with a letter a-z or A-Z"},
        {"a\tb\nPei\xE5\x8C\x97\tBei\n", "line 2: a character Windows-1252 cannot hold"},
        {"a\tb\tc\n", "line 1: more than one tab"},
        {"ok\tfine\nbad\t\xFF\n", "line 2: invalid UTF-8 at byte offset 12"},
    };
    for (const auto& [text, reason] : bad) {
        test::WriteFile(dir.File("bad.tsv"), text);
        paths.added = {dir.File("mine.tsv"), dir.File("bad.tsv")};
        EXPECT_FALSE(LoadTextTables(paths, tables, error));
        EXPECT_EQ(error.status, TablesStatus::BadLine);
        EXPECT_EQ(error.path, dir.File("bad.tsv"));
        EXPECT_EQ(TablesErrorReason(error), reason);
    }
}

// English prose Debian ships with every system: the licence texts of
// base-files hold no Chinese, so not a word may change.
TEST(ProseRealText, EnglishLicencesComeOutUnchanged) {
    const char* names[] = {"GPL-3", "GPL-2",   "LGPL-2.1", "Apache-2.0", "Artistic",
                           "BSD",   "MPL-2.0", "GFDL-1.3", "CC0-1.0"};
    std::size_t read = 0;
    for (const char* name : names) {
        const std::string text = test::ReadFile(std::string("/usr/share/common-licenses/") + name);
        if (text.empty()) continue;
        ++read;
        EXPECT_EQ(Convert(text), text) << name;
    }
    if (read == 0) GTEST_SKIP() << "base-files' licence texts are not installed";
}

// The development data the decision's weights were set on (tests/dev/,
// made by tools/make_devset.py): a floor under the share of items converted
// exactly, each on its own, and a ceiling over the English words changed.
TEST(ProseRealText, DevelopmentDataStaysAboveItsFloor) {
    std::ifstream items(std::string(KESTI_SOURCE_DIR) + "/tests/dev/items.tsv");
    std::string line;
    std::getline(items, line);  // the header
    std::size_t count = 0, exact = 0, dropped = 0, owned = 0;
    auto strip = [](std::string text) {
        for (const char* mark : {"\u27E6", "\u27E7"})
            for (std::size_t at; (at = text.find(mark)) != std::string::npos;) text.erase(at, std::strlen(mark));
        return text;
    };
    while (std::getline(items, line)) {
        const std::size_t first = line.find('\t'), second = line.find('\t', first + 1);
        const std::string text = strip(line.substr(first + 1, second - first - 1));
        const bool same = Convert(text) == line.substr(second + 1);
        // Names printed without their marks ("Tsai Yuan-pei") may be read
        // either way: right, or reported ambiguous for a reviewer.
        if (line.compare(0, first, "dropped") == 0) {
            ++dropped;
            bool ambiguous = false;
            for (const ReportRecord& r : Report(text)) ambiguous = ambiguous || r.ambiguous;
            owned += same || ambiguous;
            continue;
        }
        ++count;
        exact += same;
    }
    ASSERT_GT(count, 2000u);
    EXPECT_GE(exact * 100, count * 97) << exact << " of " << count << " exact";
    ASSERT_GT(dropped, 100u);
    EXPECT_GE(owned * 100, dropped * 90) << owned << " of " << dropped << " right or reported ambiguous";
    std::ifstream english(std::string(KESTI_SOURCE_DIR) + "/tests/dev/english.txt");
    std::size_t words = 0, changed = 0;
    while (std::getline(english, line)) {
        std::istringstream before(line), after(Convert(line));
        for (std::string a, b; before >> a && after >> b; ++words) changed += a != b;
    }
    ASSERT_GT(words, 100000u);
    EXPECT_LE(changed * 10000, words) << changed << " of " << words << " words changed";
}

// People and places from CC-CEDICT, written in Wade-Giles by the table
// generator's rules, convert back to the dictionary's Pinyin.
TEST(ProseRealText, CedictNamesComeBackAsTheDictionarysPinyin) {
    std::ifstream file(std::string(KESTI_SOURCE_DIR) + "/tests/data/cedict-names.tsv");
    std::string line, text;
    std::vector<std::string> expected;
    while (std::getline(file, line)) {
        const std::size_t tab = line.find('\t');
        text += line.substr(0, tab) + "\n";
        expected.push_back(line.substr(tab + 1));
    }
    ASSERT_GT(expected.size(), 1000u);
    std::istringstream converted(Convert(text));
    std::size_t exact = 0, i = 0;
    for (std::string got; std::getline(converted, got) && i < expected.size(); ++i) exact += got == expected[i];
    EXPECT_EQ(exact, expected.size()) << exact << " of " << expected.size() << " exact";
}

}  // namespace
}  // namespace kesti
