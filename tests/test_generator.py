"""The table generator on a small made-up dictionary sample."""
import json
import os
import subprocess
import sys
import tempfile
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools")

SAMPLE = [
    ["毛澤東", "毛泽东", "Mao2 Ze2 dong1", "Mao Zedong (1893-1976), Chinese communist leader", [], []],
    ["西安", "西安", "Xi1 an1", "Xi'an, sub-provincial city and capital of Shaanxi", [], []],
    ["天安門", "天安门", "Tian1 an1 men2", "Tiananmen, gate of heavenly peace", [], []],
    ["湖南", "湖南", "Hu2 nan2", "see 湖南省[Hu2 nan2 Sheng3]", [], []],
    ["湖南省", "湖南省", "Hu2 nan2 Sheng3", "Hunan province", [], []],
    ["歷史", "历史", "Li4 shi3", "History (book)", [], []],
    ["歷史", "历史", "li4 shi3", "history", [], []],
    ["出版社", "出版社", "chu1 ban3 she4", "publishing house", [], []],
    ["人民", "人民", "ren2 min2", "the people", [], []],
    ["3C", "3C", "san1 C", "electronics", [], []],
    ["卡拉OK", "卡拉OK", "ka3 la1 O K", "karaoke", [], []],
]


def read_table(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data.endswith(b"\r\n")
    records = [line.split(b"\t") for line in data.split(b"\r\n")[:-1]]
    assert all(len(r) == 2 for r in records)
    return [(k.decode("cp1252"), v.decode("cp1252")) for k, v in records], data


class GeneratorTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        source = os.path.join(cls.dir.name, "all.js")
        with open(source, "w", encoding="utf-8") as f:
            f.write("export default " + json.dumps({"all": SAMPLE}, ensure_ascii=False))
        subprocess.run([sys.executable, os.path.join(TOOLS, "make_tables.py"), source, "--out", cls.dir.name],
                       check=True, capture_output=True)
        cls.syllables, cls.syllable_bytes = read_table(os.path.join(cls.dir.name, "kestisyl.txt"))
        cls.words, cls.word_bytes = read_table(os.path.join(cls.dir.name, "kestiwrd.txt"))
        cls.word_map = dict(cls.words)

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def test_words_are_keyed_in_wade_giles_and_valued_in_pinyin(self):
        self.assertEqual(self.word_map["Mao Tse-tung"], "Mao Zedong")
        self.assertEqual(self.word_map["Hsi-an"], "Xi'an")
        self.assertEqual(self.word_map["T'ien-an-men"], "Tian'anmen")
        self.assertEqual(self.word_map["T\u2019ien-an-men"], "Tian'anmen")
        self.assertEqual(self.word_map["T\u2018ien-an-men"], "Tian'anmen")
        self.assertEqual(self.word_map["Hu-nan"], "Hunan")
        self.assertEqual(self.word_map["jên-min"], "renmin")
        self.assertEqual(self.word_map["jen-min"], "renmin")

    def test_common_words_take_only_the_straight_apostrophe(self):
        self.assertEqual(self.word_map["ch'u-pan-she"], "chubanshe")
        self.assertNotIn("ch\u2019u-pan-she", self.word_map)

    def test_a_common_word_spelled_like_a_name_is_stored_in_lower_case(self):
        self.assertEqual(self.word_map["li-shih"], "lishi")
        self.assertNotIn("Li-shih", self.word_map)

    def test_entries_with_latin_letters_are_skipped(self):
        self.assertFalse(any("OK" in v or "C" == v[-1:] for _, v in self.words))

    def test_every_syllable_record_is_in_the_word_table(self):
        for key, value in self.syllables:
            self.assertEqual(self.word_map[key], value)
        self.assertEqual(dict(self.syllables)["hs\u00fceh"], "xue")

    def test_tables_are_windows_1252_and_sorted_for_the_library(self):
        self.assertIn(b"hs\xfceh\txue\r\n", self.syllable_bytes)
        self.assertNotIn(b"\xc3\xbc", self.syllable_bytes)
        fold = bytes.maketrans(b"ABCDEFGHIJKLMNOPQRSTUVWXYZ", b"abcdefghijklmnopqrstuvwxyz")
        for table in (self.syllables, self.words):
            keys = [k.encode("cp1252").translate(fold) for k, _ in table]
            self.assertEqual(keys, sorted(keys))
            self.assertEqual(len(keys), len(set(keys)))


if __name__ == "__main__":
    unittest.main()
