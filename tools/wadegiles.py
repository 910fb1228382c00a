"""Hanyu Pinyin syllables to Wade-Giles, the rules the table generator uses.

Pinyin syllables are toneless and lower case, with the umlaut written as
"ü"; the Wade-Giles result uses "ü", "ê" and the straight apostrophe.
"""

# The standard Pinyin syllables, by initial: each final listed is one that
# the initial takes. "" is the syllable without an initial.
PINYIN = {
    "": "a ai an ang ao e ei en eng er o ou yi ya yan yang yao ye yin ying yo yong you yu yuan yue yun "
        "wu wa wai wan wang wei wen weng wo ê",
    "b": "a ai an ang ao ei en eng i ian iao ie in ing o u",
    "p": "a ai an ang ao ei en eng i ian iao ie in ing o ou u",
    "m": "a ai an ang ao e ei en eng i ian iao ie in ing iu o ou u",
    "f": "a an ang ei en eng o ou u",
    "d": "a ai an ang ao e ei en eng i ia ian iao ie ing iu ong ou u uan ui un uo",
    "t": "a ai an ang ao e eng i ian iao ie ing ong ou u uan ui un uo",
    "n": "a ai an ang ao e ei en eng i ian iang iao ie in ing iu ong ou u uan uo ü üe",
    "l": "a ai an ang ao e ei eng i ia ian iang iao ie in ing iu ong ou u uan un uo ü üe",
    "g": "a ai an ang ao e ei en eng ong ou u ua uai uan uang ui un uo",
    "k": "a ai an ang ao e ei en eng ong ou u ua uai uan uang ui un uo",
    "h": "a ai an ang ao e ei en eng ong ou u ua uai uan uang ui un uo",
    "j": "i ia ian iang iao ie in ing iong iu u uan ue un",
    "q": "i ia ian iang iao ie in ing iong iu u uan ue un",
    "x": "i ia ian iang iao ie in ing iong iu u uan ue un",
    "zh": "a ai an ang ao e ei en eng i ong ou u ua uai uan uang ui un uo",
    "ch": "a ai an ang ao e en eng i ong ou u ua uai uan uang ui un uo",
    "sh": "a ai an ang ao e ei en eng i ou u ua uai uan uang ui un uo",
    "r": "an ang ao e en eng i ong ou u ua uan ui un uo",
    "z": "a ai an ang ao e ei en eng i ong ou u uan ui un uo",
    "c": "a ai an ang ao e en eng i ong ou u uan ui un uo",
    "s": "a ai an ang ao e en eng i ong ou u uan ui un uo",
}


def pinyin_syllables():
    out = []
    for initial, finals in PINYIN.items():
        for final in finals.split():
            out.append(initial + final)
    return out


INITIALS = {"b": "p", "p": "p'", "m": "m", "f": "f", "d": "t", "t": "t'", "n": "n", "l": "l",
            "g": "k", "k": "k'", "h": "h", "j": "ch", "q": "ch'", "x": "hs", "zh": "ch", "ch": "ch'",
            "sh": "sh", "r": "j", "z": "ts", "c": "ts'", "s": "s"}

ALONE = {"yi": "i", "ya": "ya", "yan": "yen", "yang": "yang", "yao": "yao", "ye": "yeh", "yin": "yin",
         "ying": "ying", "yo": "yo", "yong": "yung", "you": "yu", "yu": "yü", "yuan": "yüan",
         "yue": "yüeh", "yun": "yün", "wu": "wu", "wa": "wa", "wai": "wai", "wan": "wan", "wang": "wang",
         "wei": "wei", "wen": "wên", "weng": "wêng", "wo": "wo", "a": "a", "ai": "ai", "an": "an",
         "ang": "ang", "ao": "ao", "e": "o", "ei": "ei", "en": "ên", "eng": "êng", "er": "êrh",
         "o": "o", "ou": "ou", "ê": "eh"}

FINALS = {"a": "a", "ai": "ai", "an": "an", "ang": "ang", "ao": "ao", "e": "ê", "ei": "ei", "en": "ên",
          "eng": "êng", "o": "o", "ou": "ou", "ong": "ung", "i": "i", "ia": "ia", "ian": "ien",
          "iang": "iang", "iao": "iao", "ie": "ieh", "in": "in", "ing": "ing", "iong": "iung",
          "iu": "iu", "u": "u", "ua": "ua", "uai": "uai", "uan": "uan", "uang": "uang", "ui": "ui",
          "un": "un", "uo": "uo", "ü": "ü", "üe": "üeh", "ue": "üeh"}


def split(pinyin):
    for initial in ("zh", "ch", "sh"):
        if pinyin.startswith(initial):
            return initial, pinyin[2:]
    if pinyin[0] in INITIALS and pinyin not in ALONE:
        return pinyin[0], pinyin[1:]
    return "", pinyin


def to_wade_giles(pinyin):
    """The Wade-Giles spelling of one toneless Pinyin syllable."""
    if pinyin in ALONE:
        return ALONE[pinyin]
    initial, final = split(pinyin)
    wg_initial = INITIALS[initial]
    if initial in ("zh", "ch", "sh", "r") and final == "i":
        return wg_initial + "ih"
    if initial in ("z", "c", "s") and final == "i":
        return {"z": "tzu", "c": "tz'u", "s": "ssu"}[initial]
    if initial in ("j", "q", "x"):
        final = {"u": "ü", "uan": "üan", "ue": "üeh", "un": "ün"}.get(final, FINALS[final])
        return wg_initial + final
    if final == "e":
        # After g, k and h the vowel is written o; elsewhere ê (with the
        # circumflex dropped after d, t, n, l, m, as Wade-Giles texts do).
        if initial in ("g", "k", "h"):
            return wg_initial + "o"
        if initial in ("d", "t", "n", "l", "m"):
            return wg_initial + "e"
        return wg_initial + "ê"
    if final == "uo":
        # -uo stays only after g, k, h and sh: guo kuo, shuo shuo; else -o.
        return wg_initial + ("uo" if initial in ("g", "k", "h", "sh") else "o")
    if final == "ui":
        return wg_initial + ("uei" if initial in ("g", "k") else "ui")
    return wg_initial + FINALS[final]
