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

``kesti.convert`` keeps one converter for each set of options it is given,
so a loop over rows with ``tones="numbers"`` loads the tables once. A
``Converter`` pickles by its options, so it can go to a ``multiprocessing``
pool or a Dask worker, which loads its own tables.
"""
from __future__ import annotations

import errno
import os
import threading
from typing import TYPE_CHECKING, Any, Dict, Iterable, List, Literal, NamedTuple, Optional, Sequence, Tuple, Union

from . import _kesti

if TYPE_CHECKING:  # pragma: no cover
    import pandas

__all__ = ["Converter", "ReportRecord", "REPORT_COLUMNS", "convert", "TABLES", "Hyphens", "Tones", "English",
           "Conventional"]
__version__ = "1.0.0"

#: The tables shipped inside the package.
TABLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tables")

_MODES = {(False, False): 0, (True, False): 1, (True, True): 2}
# The options' words and their values, from the library's own table; the
# first word of each is its default.
_CHOICES: Dict[str, Dict[str, int]] = _kesti.CHOICES
# kesti_status values of the C interface.
_TABLE_MISSING, _TABLE_UNREADABLE, _NO_MEMORY, _TABLE_NOT_REGULAR, _TABLE_LINE = 2, 3, 4, 7, 8

PathLike = Union[str, "os.PathLike[str]"]
Hyphens = Literal["join", "keep"]
Tones = Literal["marks", "numbers", "none"]
English = Literal["guard", "convert"]
Conventional = Literal["leave", "convert"]


class ReportRecord(NamedTuple):
    """One romanized word the text mode found, and what it decided; the
    fields are the columns of the command's ``--report``."""

    line: int
    """1-based line of the word's first character."""
    column: int
    """1-based column, in characters."""
    original: str
    """The word as written."""
    result: str
    """The word as converted; the original when it was left."""
    decision: str
    """``"word table"``, ``"syllables"``, ``"left as English"``,
    ``"left as not Wade-Giles"``, ``"left as Pinyin text"``
    or ``"established spelling"``."""
    ambiguous: bool
    """True for an English word or name that could be read either way."""
    alternatives: str
    """Other readings of its syllables (``"lo: luo/le"``); for an established
    spelling left as written, its Pinyin; or ``""``."""

    @property
    def reason(self) -> str:
        """The ``decision``, by the name earlier versions gave it."""
        return self.decision


#: The columns of :meth:`Converter.report_frame`: the command's report's,
#: with the index of the text in place of the file.
REPORT_COLUMNS = ("item",) + ReportRecord._fields


def _choice(name: str, value: object) -> int:
    choices = _CHOICES[name]
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


def _path(name: str, value: object) -> str:
    if not isinstance(value, (str, os.PathLike)):
        raise TypeError(f"{name} must be a path, not {type(value).__name__}")
    path = os.fspath(value)
    if not isinstance(path, str):
        raise TypeError(f"{name} must be a str path, not bytes")
    return path


def _text(value: object, what: str = "text") -> bytes:
    if not isinstance(value, str):
        raise TypeError(f"{what} must be a str, not {type(value).__name__}")
    # A lone surrogate cannot be UTF-8: UnicodeEncodeError (a ValueError)
    # says where it stands.
    return value.encode("utf-8")


def _raise_open_failure(status: int, system_error: int, path: str, message: str) -> None:
    if status == _NO_MEMORY:
        raise MemoryError(message)
    if status == _TABLE_NOT_REGULAR:
        # A FIFO or a device is refused rather than read.
        raise OSError(errno.EINVAL, "not a regular file", path)
    if status in (_TABLE_MISSING, _TABLE_UNREADABLE):
        # OSError picks the subclass from errno: FileNotFoundError,
        # PermissionError, IsADirectoryError...
        raise OSError(system_error or errno.EIO, os.strerror(system_error or errno.EIO), path)
    if status == _TABLE_LINE:
        if system_error == 0:
            # No line to name: the table as a whole is more than the text
            # mode takes.
            raise ValueError(f"{path}: more than the text mode can take (over 1,000,000 bytes of one's own "
                             "tables, or a syllable table whose spellings' beginnings pass 65,534)")
        raise ValueError(f"{path}: line {system_error}: {message}")
    raise ValueError(message)


def _rebuild(options: Dict[str, Any]) -> "Converter":
    return Converter(**options)


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
    * ``add_tables``: paths of one's own tables (local names, house
      spellings): UTF-8 lines ``Wade-Giles<TAB>Pinyin``, consulted before
      the shipped ones.

    Raises ``TypeError`` and ``ValueError`` for options of the wrong type or
    value, ``FileNotFoundError`` (naming the path) when a table is missing,
    ``OSError`` when one cannot be read, and ``ValueError`` naming the file
    and line for a bad line of one's own table. A converter never changes
    once made: any number of threads may use it at once, and conversions
    release the GIL. It pickles by its options: the copy loads its tables
    where it is unpickled.
    """

    __slots__ = ("_handle", "_options")

    def __init__(
        self,
        *,
        exact: bool = False,
        word: bool = False,
        hyphens: Hyphens = "join",
        tones: Tones = "marks",
        english: English = "guard",
        conventional: Conventional = "leave",
        lines: bool = False,
        tables: Optional[PathLike] = None,
        add_tables: Sequence[PathLike] = (),
    ) -> None:
        exact, word, lines = _flag("exact", exact), _flag("word", word), _flag("lines", lines)
        if word and not exact:
            raise ValueError("word=True chooses the table of the exact mode: add exact=True")
        chosen = dict(hyphens=hyphens, tones=tones, english=english, conventional=conventional)
        codes = {name: _choice(name, value) for name, value in chosen.items()}
        directory = TABLES if tables is None else _path("tables", tables)
        if isinstance(add_tables, (str, bytes, os.PathLike)):
            raise TypeError("add_tables takes a list of paths, not a single path")
        added = [_path("add_tables item", p) for p in add_tables]
        if not os.path.exists(directory):
            raise FileNotFoundError(errno.ENOENT, "the tables directory does not exist", directory)
        if not os.path.isdir(directory):
            raise NotADirectoryError(errno.ENOTDIR, "the tables directory is not a directory", directory)
        handle, status, system_error, path, message = _kesti.open(_MODES[(exact, word)], codes, int(lines),
                                                                  directory, added)
        if handle is None:
            _raise_open_failure(status, system_error, path, message)
        self._handle = handle
        # The package's own tables are kept as None, so that a pickled
        # converter finds them wherever the package is installed.
        self._options: Dict[str, Any] = dict(exact=exact, word=word, lines=lines, **chosen,
                                             tables=None if tables is None else directory,
                                             add_tables=tuple(added))

    def __repr__(self) -> str:
        options = ", ".join(f"{k}={v!r}" for k, v in self._options.items())
        return f"kesti.Converter({options})"

    def __reduce__(self) -> Tuple[Any, Tuple[Dict[str, Any]]]:
        return _rebuild, (dict(self._options),)

    @property
    def options(self) -> Dict[str, Any]:
        """The options the converter was made with."""
        return dict(self._options)

    def convert(self, text: str) -> str:
        """Returns ``text`` converted."""
        return _kesti.convert(self._handle, _text(text)).decode("utf-8")

    def convert_many(self, texts: Iterable[str], threads: Optional[int] = None) -> List[str]:
        """Returns the texts converted, in order; faster than calling
        ``convert`` for each, since the whole batch crosses into the library
        at once. Every item must be a ``str``. A large batch is shared among
        ``threads`` threads, by default as many as the processor runs at
        once, each given 4096 texts or more, or ``threads`` (at most 32);
        ``threads=1`` converts on the calling thread alone. The results are
        the same either way."""
        if isinstance(texts, (str, bytes)):
            raise TypeError("convert_many takes an iterable of str, not a single text")
        if threads is not None and (type(threads) is not int or threads < 1):
            raise ValueError(f"threads must be a positive int or None, not {threads!r}")
        # The library reads each str's UTF-8 and makes each result a str.
        return _kesti.convert_many(self._handle, texts if type(texts) is list else list(texts), threads or 0)

    def report(self, text: str) -> List[ReportRecord]:
        """Converts ``text`` and returns what was found and decided for each
        romanized word, in the order of the text. The exact mode reports
        nothing: it returns an empty list."""
        _, records = _kesti.report(self._handle, _text(text))
        return [ReportRecord(line, column, original.decode("utf-8"), result.decode("utf-8"), decision, ambiguous,
                             alternatives.decode("utf-8"))
                for line, column, original, result, decision, ambiguous, alternatives in records]

    def report_frame(self, texts: Iterable[str]) -> "pandas.DataFrame":
        """The reports of the texts as one pandas DataFrame, a row per word
        found, with the columns ``REPORT_COLUMNS``: ``item`` is the index of
        the text the word is in. Needs pandas (an optional dependency:
        ``pip install kesti[pandas]``)."""
        try:
            import pandas
        except ImportError as missing:
            raise ImportError("report_frame needs pandas: pip install pandas") from missing
        if isinstance(texts, (str, bytes)):
            raise TypeError("report_frame takes an iterable of str, not a single text")
        rows = [(index,) + tuple(record) for index, text in enumerate(texts) for record in self.report(text)]
        frame = pandas.DataFrame.from_records(rows, columns=list(REPORT_COLUMNS))
        return frame.astype({"item": "int64", "line": "int64", "column": "int64", "ambiguous": "bool"})


# kesti.convert's converters, one per set of options, the most recently
# used last; a few sets at most are kept.
_converters: Dict[Tuple[Any, ...], Converter] = {}
_converters_lock = threading.Lock()
_KEPT = 8


def _options_key(options: Dict[str, Any]) -> Tuple[Any, ...]:
    key = []
    for name in sorted(options):
        value = options[name]
        if name == "add_tables" and not isinstance(value, (str, bytes, os.PathLike)):
            try:
                value = tuple(os.fspath(p) if isinstance(p, os.PathLike) else p for p in value)
            except TypeError:
                pass  # Converter says what is wrong with it
        elif isinstance(value, os.PathLike):
            value = os.fspath(value)
        key.append((name, value))
    return tuple(key)


def convert(text: str, **options: Any) -> str:
    """Converts one text; the options are those of :class:`Converter`.

    The converter for each set of options is made once and kept (a few
    sets at most), so calling this for every row of a table loads the
    tables once. A table changed on disk is read again by a new
    :class:`Converter`, not by this function.
    """
    try:
        key = _options_key(options)
        hash(key)
    except TypeError:
        return Converter(**options).convert(text)  # unhashable: let Converter say why
    with _converters_lock:
        conv = _converters.pop(key, None)
        if conv is None:
            conv = Converter(**options)
            while len(_converters) >= _KEPT:
                del _converters[next(iter(_converters))]
        _converters[key] = conv
    return conv.convert(text)
