#!/usr/bin/env python3
"""Writes the seed corpus of both fuzz targets into corpus/<target>/.

An input is one mode byte, the table's length in two little-endian bytes,
the table's bytes and the text to convert. The seeds cover the table format's
corners and real conversions with excerpts of the shipped tables; findings of
the fuzzers are added beside them by hand, as files of their own.
"""
import os
import pathlib

HERE = pathlib.Path(__file__).resolve().parent
DATA = HERE.parent / "data"


def excerpt(name, keys):
    """The lines of a shipped table whose key is in `keys`, in file order."""
    wanted = {k.encode("cp1252") for k in keys}
    lines = (DATA / name).read_bytes().split(b"\r\n")
    return b"".join(line + b"\r\n" for line in lines if line.split(b"\t")[0] in wanted)


SYLLABLES = excerpt("kestisyl.txt", [
    "a", "an", "ch'ang", "chang", "ch'a", "ching", "ch'ing", "hs\u00fceh", "hsueh", "hs\u00fc", "hu", "i",
    "mao", "nan", "pei", "shih", "ssu", "szu", "ta", "tse", "tung", "tzu", "y\u00fcan", "yu", "\u00ean",
    "erh", "k'ung", "fu", "ch\u2019ang", "ch\u2018ang"])
WORDS = excerpt("kestiwrd.txt", [
    "Pei-ching", "Mao Tse-tung", "Hu-nan", "Ssu-ch'uan", "Hsi-an", "T'ien-an-men", "Ch'ang-an",
    "mao", "tse", "tung", "hu", "nan", "pei", "ching", "ch'ang", "an", "hsi"])
SENTENCE = "Mao Tse-tung was born in Hu-nan; Pei-ching ta-hs\u00fceh, Ch'ang-an, SSU-CH'UAN, Ch\u2019ang. "

SEEDS = {
    "syllables": (0, SYLLABLES, SENTENCE.encode("cp1252")),
    "syllables-indexed": (1, SYLLABLES, SENTENCE.encode("cp1252")),
    "words": (0, WORDS, SENTENCE.encode("cp1252")),
    "words-indexed-streamed": (1 | 2 | (3 << 2), WORDS, SENTENCE.encode("cp1252")),
    "words-utf8-streamed": (2 | (0 << 2) | 64, WORDS,
                            ("Hs\u00fceh Pei-ching hsu\u0308eh \u4e2d\u6587 Mao Tse-tung \U0001F600 Hu-nan").encode("utf-8")),
    "utf8-malformed": (2 | 64, SYLLABLES, b"mao \xc3 tse \xed\xa0\x80 tung \xe0\x80\xaf"),
    "line-breaks": (0, b"a\tA\rb\tB\nc\tC\r\nd\tD\n\re\tE\r\rf\tF\n\n\n\ng\tG", b"a b c d e f g abcdefg a-b"),
    "blank-and-tabless": (1, b"\r\n\r\nno tab here\r\nk\tv\r\n\t\r\n\tvalue only\r\nkey only\t\r\n", b"k K k-k kk"),
    "several-tabs": (0, b"ab\tx\ty\tz\r\nabc\t\t\r\n", b"ab abc ABC Ab"),
    "empty-table": (0, b"", b"anything at all"),
    "all-tabs": (1, b"\t" * 300, b"tab\ttab"),
    "all-breaks": (0, b"\r\n" * 100 + b"\n\r\r", b"breaks"),
    "nul-in-table": (1, b"ab\tx\r\ncd\ty\x00ef\tz\r\n", b"ab cd ef"),
    "high-bytes": (1, bytes(range(0x80, 0x100)) + b"\t\xfc\xea\r\n\xfc\t\xfc\r\n\x89\t\x8a\r\n",
                   bytes(range(0x80, 0x100)) + b" \xfc \x89"),
    "case-and-duplicates": (1, b"Chang\tfirst\r\nchang\tsecond\r\nCHANG\tthird\r\nchan\tother\r\n",
                            b"chang CHANG Chang chan ChAnG"),
    "hyphen-and-apostrophe-keys": (1, b"ch'ang\tchang\r\nch'ang-an\tchang'an\r\npei-ching shih\tbeijing shi\r\nch\tX\r\n",
                                   b"ch'ang-an Ch'ang-an-ch'ang pei-ching shih ch'ang- ch-"),
    "letter-runs": (1, b"a\tA\r\naa\tAA\r\naaaa\tAAAA\r\nb\tB\r\n", b"a" * 200 + b" " + b"ab" * 100 + b" aaaa-aa"),
    "only-hyphens": (0, SYLLABLES, b"-" * 256),
    "only-high-bytes": (1, SYLLABLES, bytes(range(0x80, 0x100)) * 2),
    "long-key": (1, b"x" * 1000 + b"\ty\r\nx\tz\r\n", b"x" * 1000 + b" " + b"x" * 999 + b" x"),
    "long-value": (0, b"a\t" + b"v" * 2000 + b"\r\n", b"a a a"),
    "cut-at-limit": (1, b"ab\tx\r\ncd\tlong unfinished", b"ab cd"),
}

# Running text for the conversion target (mode bit 7): the table bytes and
# the text are one text there.
PROSE = ("He went to Pei-ching, also into Hsi-an. Deng Xiaoping met Li Peng in Beijing.\n\n"
         "Liang Ch'i-ch'ao, Wang Ch\u2019ung-hui, I Ching, Mao2 Tse2-tung1's army, Tao T\u00ea Ching; "
         "Ss\u016d-ma Ch'ien; P\u02bdin-yin; HS\u00dcEH; hsu\u0308eh \u5317\u4eac Carl Jung, Jan. 20. ")
TEXT_SEEDS = {
    "prose-utf8": (128 | 64 | (2 << 2), b"", PROSE.encode("utf-8")),
    "prose-utf8-keep-numbers": (128 | 64 | 3 | (3 << 2), b"", PROSE.encode("utf-8")),
    # Each line an item (mode bit 4): a glossary's terms, headings with dates.
    "prose-lines": (128 | 64 | 16 | (1 << 2), b"",
                    ("chou (department)\nhsien: county\ntao \u2013 circuit\nchou, a department\n"
                     "To: John Smith\npo: Update Japanese translation.\nSUNG, LIEN, 1310-1381\n"
                     "LI, PO, 701-762\nJun 11, 2019\nSung (960-1279)\nPORCELAIN -- SUNG-Y\u00dcAN DYNASTIES\n"
                     "Ch\u2019in-Han\nChuko Liang\n").encode("utf-8")),
    "prose-cp1252-no-guard": (128 | 32 | (1 << 2), b"", PROSE.encode("cp1252", "replace")),
    "prose-malformed": (128 | 64, b"", b"Pei-ching \xc3( Hsi-an \xed\xa0\x80"),
    # Pinyin's tone numbers: a dictionary's readings after their characters,
    # a sentence of them alone; a key in code; a list of people in a line.
    "prose-pinyin-tones": (128 | 64 | (1 << 2), b"",
                           ("see \u556b\u66f8|\u556b\u4e66[ken3 shu1]; \U0002a88c[lan2 lao2]\n[yi1 chang4 san1 tan4]. "
                            "Chan2 Ying1\n{\n  lo: [\n  tao: {x}\nThanks to Alice Smith, Bob Jones, Ching Hsu, "
                            "Karl Lang, Tony Cook and Yves Orton.\nChiao Tung University").encode("utf-8")),
    # A common English word after another beside Wade-Giles names; a given
    # name of one letter before a hyphenated title; a surname last in
    # Western order; dates joined by hyphens; solid words that Pinyin or
    # another language writes; Legge's romanization; machines' names.
    "prose-common-words": (128 | 64 | (1 << 2), b"",
                           ("Tsu Ch'ung-chih computed pi. Lin Tse-hs\u00fc led ten men.\nChao I. Nien-erh shih "
                            "cha-chi.\nThanks to Yu-chang Chen and Wei-ming Tang, Kai L\u00fcke.\n3.4.2 Jun-28-2021\n"
                            "The port of Lianyungang. Spence, Jonathan D. Ts'ao Yin and the K'ang-hsi Emperor. "
                            "Legge's Ch'un Ts'ew. The sun4 and sun3 machines; ma1 and ma3.").encode("utf-8")),
    # Tables of its own, cut at 0x1E: syllables whose values begin with no
    # letter, a word, an English word, a reading, an established spelling.
    "prose-own-tables": (128 | 64 | (1 << 2),
                         b"pei\t-bei\r\nching\tjing\r\nmen\t\x01en\r\nao\tm-n\r\n\x1e"
                         b"Pei-ching\t\xfc\r\n\x1eto\tfunction\r\n\x1epei\tbai\r\n\x1ePeking\tBeijing\r\n",
                         "Ao-men Pei-ching, PEI-CHING; Men-men to Peking.".encode("utf-8")),
}


def main():
    for target in ("table_lookup", "conversion"):
        folder = HERE / "corpus" / target
        folder.mkdir(parents=True, exist_ok=True)
        seeds = dict(SEEDS, **TEXT_SEEDS) if target == "conversion" else SEEDS
        for name, (mode, table, text) in seeds.items():
            assert len(table) < 65536, name
            data = bytes([mode, len(table) & 0xFF, len(table) >> 8]) + table + text
            (folder / f"seed-{name}").write_bytes(data)
    print("seeds written")


if __name__ == "__main__":
    main()
