"""Wade-Giles romanization of Mandarin to Hanyu Pinyin.

Convert one text::

    >>> import kesti
    >>> kesti.convert("He went to Pei-ching, also into Hsi-an.")
    "He went to Beijing, also into Xi'an."

Convert many, with the tables loaded once::

    >>> conv = kesti.Converter(tones="numbers")
    >>> conv.convert_many(["Mao2 Tse2-tung1", "Chang Tso-lin"])
    ['Mao2 Ze2dong1', 'Zhang Zuolin']

The text mode (the default) converts whole Wade-Giles words, joins names as
Pinyin writes them, keeps each word's case, and leaves English and text
already in Pinyin alone. ``exact=True`` gives the conversion of the
library's exported functions byte for byte instead (with ``word=True``, the
word table's). The options have the names and values of the ``kesti``
command's options.
"""
from __future__ import annotations

import errno
import os
from typing import Iterable, List, NamedTuple, Optional, Union

from . import _kesti

__all__ = ["Converter", "ReportRecord", "convert", "TABLES"]
__version__ = "1.0.0"

#: The tables shipped inside the package.
TABLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tables")

_MODES = {(False, False): 0, (True, False): 1, (True, True): 2}
_HYPHENS = {"join": 0, "keep": 1}
_TONES = {"marks": 0, "numbers": 1, "none": 2}
_ENGLISH = {"guard": 0, "convert": 1}
_CONVENTIONAL = {"leave": 0, "convert": 1}
# kesti_status values of the C interface.
_TABLE_MISSING, _TABLE_UNREADABLE, _NO_MEMORY, _TABLE_NOT_REGULAR = 2, 3, 4, 7

PathLike = Union[str, "os.PathLike[str]"]


class ReportRecord(NamedTuple):
    """One romanized word the text mode found, and what it decided."""

    line: int
    """1-based line of the word's first character."""
    column: int
    """1-based column, in characters."""
    original: str
    """The word as written."""
    result: str
    """The word as converted; the original when it was left."""
    reason: str
    """``"word table"``, ``"syllables"``, ``"left as English"``,
    ``"left as not Wade-Giles"``, ``"left as Pinyin text"`` or
    ``"established spelling"``."""
    ambiguous: bool
    """True for an English word or name that could be read either way."""
    alternatives: str
    """Other readings of its syllables (``"lo: luo/le"``); for an established
    spelling left as written, its Pinyin; or ``""``."""


def _choice(name: str, value: object, choices: dict) -> int:
    if not isinstance(value, str):
        raise TypeError(f"{name} must be a str, not {type(value).__name__}")
    if value not in choices:
        allowed = ", ".join(repr(c) for c in choices)
        raise ValueError(f"unknown {name} {value!r} (use {allowed})")
    return choices[value]


def _flag(name: str, value: object) -> bool:
    if not isinstance(value, bool):
        raise TypeError(f"{name} must be True or False, not {type(value).__name__}")
    return value


def _text(value: object, what: str = "text") -> bytes:
    if not isinstance(value, str):
        raise TypeError(f"{what} must be a str, not {type(value).__name__}")
    # A lone surrogate cannot be UTF-8: UnicodeEncodeError (a ValueError)
    # says where it stands.
    return value.encode("utf-8")


class Converter:
    """Converts texts with tables loaded once.

    Options (keyword only), as the ``kesti`` command names them:

    * ``exact`` (bool): the exported functions' conversion, byte for byte,
      instead of the text mode; ``word`` (bool) with it chooses the word
      table.
    * ``hyphens``: ``"join"`` (``Zuolin``, ``Xi'an``) or ``"keep"``
      (``Zuo-lin``).
    * ``tones``: tone numbers become ``"marks"`` (``Máo``), stay
      ``"numbers"`` (``Mao2``) or are dropped (``"none"``).
    * ``english``: ``"guard"`` leaves English words that are also syllables
      (``to``, ``an``) alone outside Chinese names; ``"convert"`` does not.
    * ``conventional``: ``"leave"`` the established spellings English texts
      use (``Peking``, ``Chiang Kai-shek``; reported either way) or
      ``"convert"`` them (``Beijing``, ``Jiang Jieshi``).
    * ``lines`` (bool): each line is one item (a name, a place, a title):
      no evidence crosses lines, and a line that is romanized Chinese
      converts even as one word (``Ho``, ``Sung``).
    * ``tables``: a directory holding the tables; the package's own by
      default.

    Raises ``TypeError`` and ``ValueError`` for options of the wrong type or
    value, ``FileNotFoundError`` (naming the path) when a table is missing,
    and ``OSError`` when one cannot be read. A converter never changes once
    made: any number of threads may use it at once, and conversions release
    the GIL.
    """

    __slots__ = ("_handle", "_options")

    def __init__(
        self,
        *,
        exact: bool = False,
        word: bool = False,
        hyphens: str = "join",
        tones: str = "marks",
        english: str = "guard",
        conventional: str = "leave",
        lines: bool = False,
        tables: Optional[PathLike] = None,
    ) -> None:
        exact, word, lines = _flag("exact", exact), _flag("word", word), _flag("lines", lines)
        if word and not exact:
            raise ValueError("word=True chooses the table of the exact mode: add exact=True")
        mode = _MODES[(exact, word)]
        codes = (_choice("hyphens", hyphens, _HYPHENS), _choice("tones", tones, _TONES),
                 _choice("english", english, _ENGLISH), _choice("conventional", conventional, _CONVENTIONAL))
        if tables is None:
            directory = TABLES
        elif isinstance(tables, (str, os.PathLike)):
            directory = os.fspath(tables)
            if not isinstance(directory, str):
                raise TypeError("tables must be a str path, not bytes")
        else:
            raise TypeError(f"tables must be a path, not {type(tables).__name__}")
        if not os.path.exists(directory):
            raise FileNotFoundError(errno.ENOENT, "the tables directory does not exist", directory)
        if not os.path.isdir(directory):
            raise NotADirectoryError(errno.ENOTDIR, "the tables directory is not a directory", directory)
        handle, status, system_error, path, message = _kesti.open(mode, *codes, int(lines), directory)
        if handle is None:
            if status == _NO_MEMORY:
                raise MemoryError(message)
            if status == _TABLE_NOT_REGULAR:
                # A FIFO or a device is refused rather than read.
                raise OSError(errno.EINVAL, "not a regular file", path)
            if status in (_TABLE_MISSING, _TABLE_UNREADABLE):
                # OSError picks the subclass from errno: FileNotFoundError,
                # PermissionError, IsADirectoryError...
                raise OSError(system_error or errno.EIO, os.strerror(system_error or errno.EIO), path)
            raise ValueError(message)
        self._handle = handle
        self._options = dict(exact=exact, word=word, hyphens=hyphens, tones=tones, english=english,
                             conventional=conventional, lines=lines, tables=directory)

    def __repr__(self) -> str:
        options = ", ".join(f"{k}={v!r}" for k, v in self._options.items())
        return f"kesti.Converter({options})"

    def convert(self, text: str) -> str:
        """Returns ``text`` converted."""
        return _kesti.convert(self._handle, _text(text)).decode("utf-8")

    def convert_many(self, texts: Iterable[str]) -> List[str]:
        """Returns the texts converted, in order; faster than calling
        ``convert`` for each, since the whole batch crosses into the library
        at once. Every item must be a ``str``."""
        if isinstance(texts, (str, bytes)):
            raise TypeError("convert_many takes an iterable of str, not a single text")
        encoded = []
        for index, item in enumerate(texts):
            encoded.append(_text(item, f"item {index}"))
        return [out.decode("utf-8") for out in _kesti.convert_many(self._handle, encoded)]

    def report(self, text: str) -> List[ReportRecord]:
        """Converts ``text`` and returns what was found and decided for each
        romanized word, in the order of the text. The exact mode reports
        nothing: it returns an empty list."""
        _, records = _kesti.report(self._handle, _text(text))
        return [ReportRecord(line, column, original.decode("utf-8"), result.decode("utf-8"), reason, ambiguous,
                             alternatives.decode("utf-8"))
                for line, column, original, result, reason, ambiguous, alternatives in records]


_default: Optional[Converter] = None


def convert(text: str, **options) -> str:
    """Converts one text; the options are those of :class:`Converter`.

    Without options, the package's default converter is made once and kept;
    with options, a converter is made for this call (use a :class:`Converter`
    to convert many texts with the same options).
    """
    global _default
    if options:
        return Converter(**options).convert(text)
    if _default is None:
        _default = Converter()
    return _default.convert(text)
