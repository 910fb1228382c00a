#!/usr/bin/env python3
"""Generates data/kestieng.txt: the English words the running-text converter knows.

The converter leaves English alone. Where an English word is also a
Wade-Giles word ("to", "an", "men", "sun", "Chin up") it weighs how common
the word is in English against the evidence for romanized Chinese around
it; where an English word is spelled like Pinyin ("die", "bang", "women")
it does not take it as a sign that a sentence is written in Pinyin; and
function words ("When", "After") are never taken for a Western given name
beside a Chinese surname. The words and how common they are come from
SCOWL (Debian's package scowl), whose lists rank words in size classes from
10 (the commonest: "the", "sun") to 95 (the rarest: "kan").

    sudo apt-get install scowl
    python3 tools/make_english.py

A word is listed when it is a function word, or when every hyphen-separated
part of it is a syllable of the syllable table (data/kestisyl.txt), or it
splits into several such syllables (as a place written without hyphens
would: Hopi, Seta), or it splits into Pinyin syllables (the table's values),
or it is one of the commonest words (size 10) in lower case and no common
name, which a capital at a sentence's start does not make a given name
("See", "Compare"; not "Mark", "Will").
Its value says how it is used:

    function   a function word: pronoun, article, preposition, conjunction,
               common adverb ("a", "in", "to", "I", "she", "when", "after")
    10 ... 95  a word written in lower case, with the smallest SCOWL size
               that lists it: 10, 20, 35, 50 (sizes 40 and 50), 70 (55 to 70)
               or 95 (80 and 95): "sun" 10, "chin" 35, "kan" 95
    name50     listed only with a capital, up to size 50: a proper name
               ("Jung", "Ken"); name95 beyond it
    surname    listed only with a capital, and one of the commonest Chinese
               surnames in Wade-Giles ("Liang", "Teng")
    chinese    a name the lists carry that the word table holds as a Chinese
               name or place in Pinyin ("Beijing", "Deng", "Mao"): not
               English evidence, and Pinyin evidence when Wade-Giles does
               not spell it so

The file is Windows-1252 with CR LF line breaks, sorted in the library's
order, in the table format every other table uses.
"""
import argparse
import glob
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import wadegiles  # noqa: E402
# SCOWL's size classes, and the class each counts in.
SIZES = {10: "10", 20: "20", 35: "35", 40: "50", 50: "50", 55: "70", 60: "70", 70: "70", 80: "95", 95: "95"}
SPELLINGS = ["english", "american", "british", "variant_1", "variant_2", "variant_3"]

# English function words; only those that are also Wade-Giles syllables
# end up in the file.
FUNCTION_WORDS = set("""
a an the i me my mine we us our he him his she her hers it its you your they them their this that
these those who whom whose which what where when why how whoever whatever
in on at to of by for from with as into onto upon about above below across after against along
among around before behind beneath beside besides between beyond during except inside near off
out outside over past since through throughout toward towards under until unto up via within
without according despite unlike like
so no nor not or and but if then than yes yet though although because while whereas unless
whether once also only even still just perhaps maybe however thus hence therefore moreover
furthermore nevertheless meanwhile instead indeed otherwise finally first next last later soon
now here there today yesterday tomorrow tonight always never often sometimes usually again
already afterwards earlier recently eventually initially originally accordingly both either
neither all any each every many most much more some several few other another such one two
three own same very too
o oh ah hi hey eh yo ya ye
""".split())
# "Ho", "Lo" and "Ha" are interjections, but also Chinese surnames: no
# function words, whose capital begins a phrase before a name ("In
# Hsi-an"). They count by their sizes like other words.


# The commonest Chinese surnames (in Pinyin, by frequency, as the Ministry
# of Public Security's surveys of household registers rank them), which
# the English lists carry as names of people: in Wade-Giles.
SURNAMES = """wang li zhang liu chen yang huang zhao wu zhou xu sun ma zhu hu guo he lin gao luo zheng liang xie
song tang han feng deng cao peng zeng xiao tian dong pan yuan cai jiang yu du ye cheng wei su lü ding ren lu yao
shen zhong cui tan fan liao shi jin jia xia fu fang zou xiong bai meng qin qiu hou yin xue yan duan lei long tao
mao hao gu gong shao wan qian dai ou mo kong xiang chang kang""".split()


def splits_into(word, syllables, least=1):
    """Whether `word` is a run of at least `least` of the given syllables."""
    counts = [0] + [None] * len(word)  # the most syllables a split of word[:i] can have
    for i in range(len(word)):
        if counts[i] is None:
            continue
        for n in range(1, min(7, len(word) - i + 1)):
            if word[i:i + n] in syllables:
                counts[i + n] = max(counts[i + n] or 0, counts[i] + 1)
    return counts[len(word)] is not None and counts[len(word)] >= least


def fold(word):
    return word.encode("cp1252").translate(FOLD)


FOLD = bytes(range(256)).translate(
    bytes.maketrans(b"ABCDEFGHIJKLMNOPQRSTUVWXYZ", b"abcdefghijklmnopqrstuvwxyz"))


def table_column(path, column):
    """The keys (column 0) or values (column 1) of a table file."""
    out = set()
    with open(path, "rb") as f:
        for line in f.read().split(b"\r\n"):
            if b"\t" in line:
                out.add(line.split(b"\t")[column].decode("cp1252"))
    return out


def is_wade_giles(word, known):
    """Every hyphen-separated part a syllable, or, unhyphenated, a run of
    syllables as English texts write place names (Honan, Hopi)."""
    lower = word.lower()
    parts = lower.split("-")
    return all(part in known for part in parts) or ("-" not in lower and splits_into(lower, known, 2))


def chinese_names(path):
    """The words of the word table's names and places, in Pinyin, lower case."""
    out = set()
    with open(path, "rb") as f:
        for line in f.read().split(b"\r\n"):
            if b"\t" in line:
                for part in line.split(b"\t")[1].decode("cp1252").split(" "):
                    if part[:1].isupper():
                        out.add(part.lower())
    return out


def read_list(directory, name):
    path = os.path.join(directory, name)
    if not os.path.exists(path):
        return []
    with open(path, encoding="utf-8", errors="replace") as f:
        return [w for w in f.read().split("\n")
                if w and w.isascii() and w.replace("-", "").isalpha()]


def scowl(directory):
    """{word as listed: its smallest size class} for words written in lower
    case, and the same for names (capitalized words, abbreviations), from
    SCOWL's lists: every spelling variant, contractions and the special
    lists (hacker jargon, Roman numerals) included."""
    if not os.path.isdir(directory):
        sys.exit(f"{directory} is missing: install scowl")
    words, names = {}, {}
    for size in sorted(SIZES):
        for spelling in SPELLINGS:
            for kind in ("words", "contractions"):
                for w in read_list(directory, f"{spelling}-{kind}.{size}"):
                    words.setdefault(w, size)
            for kind in ("upper", "proper-names", "abbreviations"):
                for w in read_list(directory, f"{spelling}-{kind}.{size}"):
                    names.setdefault(w, size)
        for path in sorted(glob.glob(os.path.join(directory, f"special-*.{size}"))):
            for w in read_list(directory, os.path.basename(path)):
                (words if w == w.lower() else names).setdefault(w, size)
    return words, names


def english_kinds(directory="/usr/share/dict/scowl", largest=70):
    """{lower-case spelling: "word" or "name"} for the words SCOWL lists up
    to size `largest`: what the table generator counts as English."""
    words, names = scowl(directory)
    out = {w.lower(): "word" for w, size in words.items() if size <= largest}
    for w, size in names.items():
        if size <= largest:
            out.setdefault(w.lower(), "name")
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--scowl", default="/usr/share/dict/scowl")
    parser.add_argument("--out", default=os.path.join(HERE, "..", "data", "kestieng.txt"))
    parser.add_argument("--syllables", default=os.path.join(HERE, "..", "data", "kestisyl.txt"))
    parser.add_argument("--words", default=os.path.join(HERE, "..", "data", "kestiwrd.txt"))
    args = parser.parse_args()
    known = table_column(args.syllables, 0)
    pinyin = table_column(args.syllables, 1)
    chinese = chinese_names(args.words)

    def wanted(word):
        lower = word.lower()
        return is_wade_giles(lower, known) or ("-" not in lower and splits_into(lower, pinyin))

    words, names = scowl(args.scowl)
    surnames = {wadegiles.to_wade_giles(p) for p in SURNAMES}
    surnames |= {w.replace("'", "").replace("ü", "u") for w in surnames}
    records = {}
    # A name more common than the word written in lower case is listed as
    # the name: "Jan" (a name at size 50, "jan" at 95), "Jung".
    name_sizes = {}
    for word, size in names.items():
        name_sizes[word.lower()] = min(size, name_sizes.get(word.lower(), 100))
    for word, size in sorted(words.items()):
        lower = word.lower()
        # The commonest words are listed whatever their letters: a capital
        # at a sentence's start makes them look like a given name before a
        # Chinese one ("See Ch'ien Mu", "Compare Ku Chieh-kang"). Not those
        # the lists also carry as common names ("Mark", "Will"), which are.
        commonest = size == 10 and lower.isalpha() and name_sizes.get(lower, 100) > 50
        if word != lower or not (wanted(word) or commonest) or name_sizes.get(lower, 100) < size:
            continue
        records[lower] = "function" if lower in FUNCTION_WORDS else SIZES[size]
    for word in FUNCTION_WORDS:
        records[word] = "function"
    # Keys are matched ignoring case: one record per word, the capitalized
    # spelling rather than an acronym's capitals ("Po" before "PO").
    for word, size in sorted(names.items(), key=lambda w: (w[0].isupper(), w[0])):
        if word != word.lower() and word.lower() not in records and wanted(word):
            records[word.lower()] = None
            records[word] = ("chinese" if word.lower() in chinese else "surname" if word.lower() in surnames
                             else "name50" if size <= 50 else "name95")
    records = {k: v for k, v in records.items() if v is not None}
    with open(args.out, "wb") as out:
        for key in sorted(records, key=fold):
            out.write(key.encode("cp1252") + b"\t" + records[key].encode("cp1252") + b"\r\n")
    counts = {}
    for v in records.values():
        counts[v] = counts.get(v, 0) + 1
    print(f"{len(records)} English words: {dict(sorted(counts.items()))}", file=sys.stderr)


if __name__ == "__main__":
    main()
