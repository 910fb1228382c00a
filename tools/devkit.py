"""The built library's text mode from Python, for the tools that measure and
tune it: a converter through the kesti_ C interface of build/lib/libkesti.so
(ctypes, so that nothing needs installing), and the development data of
tests/dev/."""
import ctypes
import os

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, ".."))
DEV = os.path.join(ROOT, "tests", "dev")
OPEN, CLOSE = "\u27e6", "\u27e7"


class _Options(ctypes.Structure):
    _fields_ = [("size", ctypes.c_uint32), ("mode", ctypes.c_int), ("hyphens", ctypes.c_int), ("tones", ctypes.c_int),
                ("english", ctypes.c_int), ("table_dir", ctypes.c_char_p), ("syllable_table", ctypes.c_char_p),
                ("word_table", ctypes.c_char_p), ("english_table", ctypes.c_char_p),
                ("alternatives_table", ctypes.c_char_p), ("conventional", ctypes.c_int),
                ("conventional_table", ctypes.c_char_p), ("lines", ctypes.c_int)]


class _Record(ctypes.Structure):
    _fields_ = [("line", ctypes.c_uint64), ("column", ctypes.c_uint64), ("original", ctypes.c_char_p),
                ("result", ctypes.c_char_p), ("decision", ctypes.c_int), ("decision_name", ctypes.c_char_p),
                ("ambiguous", ctypes.c_int), ("alternatives", ctypes.c_char_p)]


class Converter:
    """The text mode of the library in `build`, with the tables of data/."""

    def __init__(self, build=os.path.join(ROOT, "build"), lines=False, tables=os.path.join(ROOT, "data")):
        self.lib = ctypes.CDLL(os.path.join(build, "lib", "libkesti.so"))
        self.lib.kesti_open.argtypes = [ctypes.POINTER(_Options), ctypes.POINTER(ctypes.c_void_p), ctypes.c_void_p]
        self.lib.kesti_convert.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p,
                                           ctypes.c_size_t, ctypes.POINTER(ctypes.c_size_t),
                                           ctypes.POINTER(ctypes.c_void_p)]
        self.lib.kesti_report_size.argtypes = [ctypes.c_void_p]
        self.lib.kesti_report_size.restype = ctypes.c_size_t
        self.lib.kesti_report_record.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.POINTER(_Record)]
        self.lib.kesti_report_free.argtypes = [ctypes.c_void_p]
        self.lib.kesti_close.argtypes = [ctypes.c_void_p]
        options = _Options()
        self.lib.kesti_options_init(ctypes.byref(options))
        self._dir = tables.encode()
        options.table_dir = self._dir
        if lines:
            if options.size < ctypes.sizeof(_Options):
                raise RuntimeError("this library has no lines option")
            options.lines = 1
        else:
            options.size = min(options.size, ctypes.sizeof(_Options))
        self.handle = ctypes.c_void_p()
        status = self.lib.kesti_open(ctypes.byref(options), ctypes.byref(self.handle), None)
        if status != 0:
            raise RuntimeError(f"kesti_open failed with status {status}")

    def convert(self, text, report=False):
        data = text.encode("utf-8")
        capacity = 2 * len(data) + 64
        out = ctypes.create_string_buffer(capacity)
        length = ctypes.c_size_t()
        made = ctypes.c_void_p()
        status = self.lib.kesti_convert(self.handle, data, len(data), out, capacity, ctypes.byref(length),
                                        ctypes.byref(made) if report else None)
        if status == 6:
            capacity = length.value + 1
            out = ctypes.create_string_buffer(capacity)
            status = self.lib.kesti_convert(self.handle, data, len(data), out, capacity, ctypes.byref(length),
                                            ctypes.byref(made) if report else None)
        if status != 0:
            raise RuntimeError(f"kesti_convert failed with status {status}")
        result = out.raw[:length.value].decode("utf-8")
        if not report:
            return result
        records = []
        for i in range(self.lib.kesti_report_size(made)):
            r = _Record()
            self.lib.kesti_report_record(made, i, ctypes.byref(r))
            records.append((r.line, r.column, r.original.decode(), r.result.decode(), r.decision_name.decode(),
                            bool(r.ambiguous), r.alternatives.decode()))
        self.lib.kesti_report_free(made)
        return result, records


def strip(text):
    return text.replace(OPEN, "").replace(CLOSE, "")


def items(path=os.path.join(DEV, "items.tsv")):
    """(set, marked text, expected) of each development item."""
    with open(path, encoding="utf-8") as f:
        next(f)
        return [tuple(line.rstrip("\n").split("\t")) for line in f]


def english(path=os.path.join(DEV, "english.txt")):
    with open(path, encoding="utf-8") as f:
        return [line.rstrip("\n") for line in f if line.strip()]
