"""The Python package as a user installs it: conversions, options, the
report, and clear exceptions for everything that can go wrong."""
import os
import pathlib
import pickle
import subprocess
import sys
import threading
import typing

import pytest

import kesti


def test_it_is_the_installed_package_with_its_tables_and_licence():
    assert "site-packages" in kesti.__file__ or "dist-packages" in kesti.__file__
    for name in ("kestisyl.txt", "kestiwrd.txt", "kestieng.txt", "kestialt.txt", "kesticnv.txt"):
        assert os.path.isfile(os.path.join(kesti.TABLES, name))
    package = os.path.dirname(kesti.__file__)
    assert os.path.isfile(os.path.join(package, "LICENSE-CC-CEDICT.txt"))
    assert os.path.isfile(os.path.join(package, "py.typed"))


@pytest.mark.parametrize("text, expected", [
    ("He went to Pei-ching, also into Hsi-an.", "He went to Beijing, also into Xi'an."),
    ("Liang Ch'i-ch'ao; Wang Ch'ung-hui; Yü-lin", "Liang Qichao; Wang Chonghui; Yulin"),
    ("I Ching; PEI-CHING; Mao Tse-tung's army", "Yi Jing; BEIJING; Mao Zedong's army"),
    ("Deng Xiaoping met Li Peng in Beijing.", "Deng Xiaoping met Li Peng in Beijing."),
    ("Mao2 Tse2-tung1", "Máo Zédōng"),
    ("北京 Ta-hsu\u0308eh 😀", "北京 Daxue 😀"),
    ("", ""),
])
def test_convert_gives_the_text_mode(text, expected):
    assert kesti.convert(text) == expected


def test_options_have_the_commands_names_and_values():
    assert kesti.convert("Chang Tso-lin", hyphens="keep") == "Zhang Zuo-lin"
    assert kesti.convert("Mao2 Tse2-tung1", tones="numbers") == "Mao2 Ze2dong1"
    assert kesti.convert("Mao2 Tse2-tung1", tones="none") == "Mao Zedong"
    assert kesti.convert("to Pei-ching", english="convert") == "duo Beijing"
    assert kesti.convert("Peking and Chiang Kai-shek") == "Peking and Chiang Kai-shek"
    assert kesti.convert("Peking and Chiang Kai-shek", conventional="convert") == "Beijing and Jiang Jieshi"
    sentence = "He went to Pei-ching, also into Hsi-an."
    assert kesti.convert(sentence, exact=True) == "He went duo Bei-jing, alsuo induo Xi-an."
    assert kesti.convert(sentence, exact=True, word=True) == "He went duo Beijing, alsuo induo Xi'an."
    assert kesti.convert("Pei-ching", tables=kesti.TABLES) == "Beijing"
    # A list, a line an item: a surname alone converts.
    assert kesti.convert("Sung\nHo Ping-ti", lines=True) == "Song\nHe Bingdi"


def test_a_converter_converts_many_in_order():
    conv = kesti.Converter()
    texts = [f"Mao Tse-tung {i}" for i in range(1000)] + ["", "Hsi-an"]
    assert conv.convert_many(texts) == [conv.convert(t) for t in texts]
    assert conv.convert_many(iter(["Pei-ching"])) == ["Beijing"]
    assert conv.convert_many([]) == []
    # Shared among threads, each item converts as it does alone, in order;
    # more threads than items is no error.
    mixed = [f"Ch'en {i}" if i % 3 else f"to the Chou {i}" for i in range(9000)] + ["", "I ching -- Commentaries"]
    assert conv.convert_many(mixed, threads=3) == conv.convert_many(mixed, threads=1) == [conv.convert(t) for t in mixed]
    assert conv.convert_many(["Hsi-an", "Pei-ching"], threads=8) == ["Xi'an", "Beijing"]
    # A list's items lend each other nothing: a surname alone converts.
    names = ["Sung", "Ho Ping-ti", "Tsai Yuan-pei", "Ch'en Tu-hsiu", "the Chou", "Lo Chen-yü\nLo"] * 50
    lined = kesti.Converter(lines=True)
    assert lined.convert_many(names) == [lined.convert(t) for t in names]
    assert lined.convert_many(names)[:2] == ["Song", "He Bingdi"]
    for wrong in (0, -1, 1.5, "2", True):
        with pytest.raises(ValueError):
            conv.convert_many(texts, threads=wrong)
    assert "hyphens='join'" in repr(conv)


def test_report_says_what_decided_each_word():
    records = kesti.Converter().report("Yung-lo met Li Peng.\n\nDeng Xiaoping met Li Peng. Carl Jung in Peking")
    assert records[-1] == kesti.ReportRecord(3, 41, "Peking", "Peking", "established spelling", False, "Beijing")
    records.pop()
    assert records[0] == kesti.ReportRecord(1, 1, "Yung-lo", "Yongle", "word table", False, "lo: luo/le")
    assert records[2][:6] == (3, 19, "Li Peng", "Li Peng", "left as Pinyin text", False)
    assert records[-1].original == "Jung" and records[-1].decision == "left as English" and records[-1].ambiguous
    assert records[-1].reason == records[-1].decision  # the field's earlier name
    assert kesti.Converter(exact=True).report("Pei-ching") == []


def test_one_converter_in_many_threads():
    conv = kesti.Converter()
    texts = [f"Chou En-lai {i} met Sun I-hsien in Yen-an." for i in range(8)]
    alone = [conv.convert(t) for t in texts]
    results = [None] * len(texts)

    def work(i):
        for _ in range(200):
            results[i] = conv.convert(texts[i])

    threads = [threading.Thread(target=work, args=(i,)) for i in range(len(texts))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == alone


@pytest.mark.parametrize("bad", [None, b"Pei-ching", 42, ["Pei-ching"]])
def test_only_str_converts(bad):
    with pytest.raises(TypeError):
        kesti.convert(bad)
    with pytest.raises(TypeError):
        kesti.Converter().report(bad)


def test_convert_many_takes_str_items_only_and_converts_nothing_half():
    conv = kesti.Converter()
    with pytest.raises(TypeError, match="item 2"):
        conv.convert_many(["Pei-ching", "Hsi-an", b"bytes"])
    with pytest.raises(TypeError, match="item 0"):
        conv.convert_many([None])
    with pytest.raises(TypeError):
        conv.convert_many("Pei-ching")
    with pytest.raises(TypeError):
        conv.convert_many(None)


def test_lone_surrogates_are_refused_with_their_place():
    with pytest.raises(UnicodeEncodeError) as raised:
        kesti.convert("Pei-ching \ud800")
    assert raised.value.start == 10
    assert isinstance(raised.value, ValueError)
    with pytest.raises(UnicodeEncodeError):
        kesti.Converter().convert_many(["ok", "\udfff"])


@pytest.mark.parametrize("options, error", [
    (dict(hyphens="drop"), ValueError),
    (dict(tones="sung"), ValueError),
    (dict(english="maybe"), ValueError),
    (dict(conventional="sometimes"), ValueError),
    (dict(word=True), ValueError),
    (dict(exact="yes"), TypeError),
    (dict(tones=2), TypeError),
    (dict(tables=3), TypeError),
    (dict(colour="red"), TypeError),
])
def test_bad_options_are_refused(options, error):
    with pytest.raises(error):
        kesti.Converter(**options)


def test_missing_or_unreadable_tables_name_the_path(tmp_path):
    missing = tmp_path / "nowhere"
    with pytest.raises(FileNotFoundError) as raised:
        kesti.Converter(tables=missing)
    assert raised.value.filename == str(missing)
    with pytest.raises(FileNotFoundError) as raised:
        kesti.Converter(tables=tmp_path)
    assert raised.value.filename == str(tmp_path / "kestisyl.txt")
    a_file = tmp_path / "file.txt"
    a_file.write_text("x")
    with pytest.raises(NotADirectoryError):
        kesti.Converter(tables=a_file)
    # A table that cannot be read: a directory where the file should be.
    for name in ("kestisyl.txt", "kestiwrd.txt", "kestieng.txt", "kestialt.txt", "kesticnv.txt"):
        (tmp_path / name).write_bytes(open(os.path.join(kesti.TABLES, name), "rb").read())
    (tmp_path / "kestieng.txt").unlink()
    (tmp_path / "kestieng.txt").mkdir()
    with pytest.raises(OSError) as raised:
        kesti.Converter(tables=tmp_path)
    assert raised.value.filename == str(tmp_path / "kestieng.txt")
    assert kesti.Converter(tables=tmp_path, exact=True).convert("Pei") == "Bei"
    # A FIFO is refused at once, not waited on for a writer.
    (tmp_path / "kestieng.txt").rmdir()
    os.mkfifo(tmp_path / "kestieng.txt")
    with pytest.raises(OSError, match="not a regular file") as raised:
        kesti.Converter(tables=tmp_path)
    assert raised.value.filename == str(tmp_path / "kestieng.txt")
    # A long English list is read whole; a syllable table too long for the
    # text mode is refused, not cut short.
    os.unlink(tmp_path / "kestieng.txt")
    words = ["".join(chr(97 + (i * 7919 // 26**k) % 26) for k in range(6)) for i in range(30000)]
    long_list = "".join(f"{w}\t10\r\n" for w in words).encode()
    (tmp_path / "kestieng.txt").write_bytes(long_list)
    assert kesti.Converter(tables=tmp_path).convert("Mao Tse-tung") == "Mao Zedong"
    (tmp_path / "kestisyl.txt").write_bytes(long_list)
    with pytest.raises(ValueError, match=r"kestisyl\.txt: more than the text mode can take"):
        kesti.Converter(tables=tmp_path)


def test_convert_keeps_one_converter_per_set_of_options(monkeypatch):
    opened = []
    real_open = kesti._kesti.open
    monkeypatch.setattr(kesti._kesti, "open", lambda *a: opened.append(a) or real_open(*a))
    monkeypatch.setattr(kesti, "_converters", {})
    for _ in range(3):
        assert kesti.convert("Mao2 Tse2-tung1", tones="numbers") == "Mao2 Ze2dong1"
        assert kesti.convert("Mao2 Tse2-tung1", tones="none") == "Mao Zedong"
    assert kesti.convert("Mao2", tables=pathlib.Path(kesti.TABLES), tones="numbers") == "Mao2"
    assert len(opened) == 3  # numbers, none, and another tables directory
    # Only a few sets are kept: a program that tries many does not grow.
    for hyphens in ("join", "keep"):
        for tones in ("marks", "numbers", "none"):
            for english in ("guard", "convert"):
                kesti.convert("x", hyphens=hyphens, tones=tones, english=english)
    assert len(kesti._converters) <= kesti._KEPT


def test_a_converter_pickles_by_its_options(tmp_path):
    own = tmp_path / "own.tsv"
    own.write_text("Hsi-an\tSian\n", encoding="utf-8")
    conv = kesti.Converter(hyphens="keep", lines=True, add_tables=[own])
    copy = pickle.loads(pickle.dumps(conv))
    assert copy.options == conv.options
    assert copy.options["tables"] is None  # the package's own, wherever it is installed
    text = "Hsi-an\nChang Tso-lin"
    assert copy.convert(text) == conv.convert(text) == "Si-an\nZhang Zuo-lin"  # own table, hyphens kept


def test_own_tables_come_first_and_bad_lines_are_named(tmp_path):
    own = tmp_path / "own.tsv"
    own.write_text("# house spellings\nLo Chen-y\u00fc\tLuo Zhen-yu\n", encoding="utf-8")
    assert kesti.convert("Lo Chen-y\u00fc and Hsi-an", add_tables=[str(own)]) == "Luo Zhen-yu and Xi'an"
    bad = tmp_path / "bad.tsv"
    bad.write_text("Hsi-an\tXian\nno tab here\n", encoding="utf-8")
    with pytest.raises(ValueError, match=r"bad\.tsv: line 2"):
        kesti.Converter(add_tables=[bad])
    with pytest.raises(FileNotFoundError):
        kesti.Converter(add_tables=[tmp_path / "missing.tsv"])
    with pytest.raises(TypeError):
        kesti.Converter(add_tables=str(own))


def test_choices_are_literals_of_the_librarys_words():
    hints = typing.get_type_hints(kesti.Converter.__init__)
    for name in ("hyphens", "tones", "english", "conventional"):
        assert typing.get_origin(hints[name]) is typing.Literal
        assert list(typing.get_args(hints[name])) == list(kesti._kesti.CHOICES[name])


def test_report_frame_is_the_reports_of_many_texts(monkeypatch):
    pandas = pytest.importorskip("pandas")
    frame = kesti.Converter().report_frame(["Yung-lo met Li Peng.", "", "Hsi-an"])
    assert list(frame.columns) == list(kesti.REPORT_COLUMNS)
    assert frame["item"].tolist() == [0, 0, 2]
    assert frame.iloc[2]["result"] == "Xi'an"
    assert frame["ambiguous"].dtype == bool
    empty = kesti.Converter().report_frame([])
    assert isinstance(empty, pandas.DataFrame) and list(empty.columns) == list(kesti.REPORT_COLUMNS)
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="needs pandas"):
        kesti.Converter().report_frame(["Hsi-an"])


def readme_example(heading):
    """The first Python block after `heading` in python/README.md."""
    readme = pathlib.Path(__file__).resolve().parents[1] / "README.md"
    text = readme.read_text(encoding="utf-8")
    after = text[text.index(heading):]
    return after.split("```python\n", 1)[1].split("```", 1)[0]


def run_example(code, directory):
    script = directory / "example.py"
    script.write_text(code, encoding="utf-8")
    done = subprocess.run([sys.executable, str(script)], cwd=directory, capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return done.stdout


def test_readme_pandas_example_runs(tmp_path):
    pytest.importorskip("pandas")
    (tmp_path / "catalogue.csv").write_text(
        'id,title\n1,"Chung-kuo chin tai shih"\n2,\n3,"Hsi-yu chi"\n', encoding="utf-8")
    out = run_example(readme_example("### A CSV column with pandas"), tmp_path)
    written = (tmp_path / "catalogue-pinyin.csv").read_text(encoding="utf-8")
    assert "Zhongguo jin dai shi" in written and "Xiyou ji" in written
    assert "chin" in out  # the ambiguous words were printed for review


def test_readme_multiprocessing_example_runs(tmp_path):
    run_example(readme_example("### Many processes"), tmp_path)
