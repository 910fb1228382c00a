"""The Python package as a user installs it: conversions, options, the
report, and clear exceptions for everything that can go wrong."""
import os
import threading

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
    assert "hyphens='join'" in repr(conv)


def test_report_says_what_decided_each_word():
    records = kesti.Converter().report("Yung-lo met Li Peng.\n\nDeng Xiaoping met Li Peng. Carl Jung in Peking")
    assert records[-1] == kesti.ReportRecord(3, 41, "Peking", "Peking", "established spelling", False, "Beijing")
    records.pop()
    assert records[0] == kesti.ReportRecord(1, 1, "Yung-lo", "Yongle", "word table", False, "lo: luo/le")
    assert [r.reason for r in records[3:5]] == ["left as Pinyin text"] * 2
    assert records[3].line == 3 and records[3].column == 19
    assert records[-1].original == "Jung" and records[-1].reason == "left as English" and records[-1].ambiguous
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
