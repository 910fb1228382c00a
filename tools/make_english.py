#!/usr/bin/env python3
"""Generates data/kestieng.txt: the English words the running-text converter knows.

The converter leaves English alone. Where an English word is also a
Wade-Giles word ("to", "an", "men", "sun", "Chin up") it converts it only
where a Chinese name or term holds it; where an English word is spelled
like Pinyin ("die", "bang", "women") it does not take it as a sign that a
sentence is written in Pinyin; and function words ("When", "After") are
never taken for a Western given name beside a Chinese surname. The words
come from Debian's English word lists (wamerican, wbritish and their -large
variants). SCOWL, from which they are made, ranks words by commonness: the
plain lists hold sizes up to 50, the large ones up to 70.

    sudo apt-get install wamerican wbritish wamerican-large wbritish-large
    python3 tools/make_english.py

A word is listed when it is a function word, or when every hyphen-separated
part of it is a syllable of the syllable table (data/kestisyl.txt), or it
splits into several such syllables (as a place written without hyphens
would: Hopi, Seta), or it splits into Pinyin syllables (the table's values). Its value says how it
is used:

    function   a function word: pronoun, article, preposition, conjunction,
               common adverb ("a", "in", "to", "I", "she", "when", "after")
    word       a common word (size 50), listed in lower case ("sun", "men")
    rare       a word only the size-70 lists hold ("chou", "ching")
    name       listed only with a capital: a proper name ("Jung", "Ken")
               that the converter weighs by its context
    chinese    a name the lists carry that the word table holds as a Chinese
               name or place in Pinyin ("Beijing", "Deng", "Mao"): not
               English evidence, and Pinyin evidence when Wade-Giles does
               not spell it so

The file is Windows-1252 with CR LF line breaks, sorted in the library's
order, in the table format every other table uses.
"""
import argparse
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
COMMON = ["american-english", "british-english"]
LARGE = ["american-english-large", "british-english-large"]

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
o oh ah ha lo hi ho hey eh yo ya ye
""".split())


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
        sys.exit(f"{path} is missing: install wamerican, wbritish, wamerican-large and wbritish-large")
    with open(path, encoding="utf-8") as f:
        return [w for w in f.read().split("\n")
                if w and w.isascii() and w.replace("-", "").isalpha()]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--dict", default="/usr/share/dict")
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

    common = {w for name in COMMON for w in read_list(args.dict, name)}
    large = {w for name in LARGE for w in read_list(args.dict, name)}
    records = {}
    for word in sorted(common | large):
        lower = word.lower()
        if word != lower or not wanted(word):
            continue
        records[lower] = "function" if lower in FUNCTION_WORDS else ("word" if word in common else "rare")
    for word in FUNCTION_WORDS:
        records[word] = "function"
    # Keys are matched ignoring case: one record per word, the capitalized
    # spelling rather than an acronym's capitals ("Po" before "PO").
    for word in sorted(common | large, key=lambda w: (w.isupper(), w)):
        if word != word.lower() and word.lower() not in records and wanted(word):
            records[word.lower()] = None
            records[word] = "chinese" if word.lower() in chinese else "name"
    records = {k: v for k, v in records.items() if v is not None}
    with open(args.out, "wb") as out:
        for key in sorted(records, key=fold):
            out.write(key.encode("cp1252") + b"\t" + records[key].encode("cp1252") + b"\r\n")
    counts = {kind: sum(1 for v in records.values() if v == kind) for kind in ("function", "word", "rare", "name", "chinese")}
    print(f"{len(records)} English words: {counts}", file=sys.stderr)


if __name__ == "__main__":
    main()
