"""The page in a real browser: the same results as the kesti command, the
options and the URL, the report, bad files, keyboard use and the layout at
a phone's and a desktop's width. Screenshots and the measured times go to
KESTI_WEB_ARTIFACTS (build-web/artifacts by default)."""

import json
import os
import re
import subprocess
import time
from pathlib import Path

import pytest
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select

from browser import (COMMAND, SITE, Page, Server, full_screenshot, megabyte_of_text, run_command, start_browser,
                     time_command)

ARTIFACTS = Path(os.environ.get("KESTI_WEB_ARTIFACTS", Path(__file__).resolve().parents[2] / "build-web" / "artifacts"))

EXAMPLES = [
    "Mao Tse-tung was born in Hu-nan.",
    "The Ch’ing dynasty; Pei-ching ta-hsueh; Hsi-an and Yen-an.",
    "Lao-tzu's Tao Te Ching and the I Ching.",
    "Chiang Kai-shek and Sun Yat-sen met in Kuang-chou; the Hwangho rose.",
    "Chou En-lai, Teng Hsiao-p’ing and Liu Shao-ch’i.",
    "The Sun also rises. We went to the Long Island Sound. He sang a song.",
    "Beijing and Xi'an are written in Pinyin already.",
    "ma1 ma2 ma3 ma4 ma5 in Pei³-ching¹",
    "Ts'ao Hsüeh-ch'in wrote Hung-lou meng.",
    "TSE-TUNG, ch'ang-an, K'UNG FU-TZU",
    "Line one\r\nline two with Ssu-ch'uan\rline three\n\nA new paragraph: Shang-hai.",
    "A NUL\0between Pei-ching and Hu-nan, emoji \U0001F600 Hsi-an, e\u0301 and \u00fc: Hs\u00fceh.",
    "",
]


@pytest.fixture(scope="module")
def server():
    assert (SITE / "index.html").is_file(), f"build the page first: bash web/build.sh (no {SITE})"
    assert COMMAND.is_file(), f"build the command first (no {COMMAND})"
    served = Server()
    yield served
    served.close()


@pytest.fixture(scope="module")
def downloads(tmp_path_factory):
    return tmp_path_factory.mktemp("downloads")


@pytest.fixture(scope="module")
def browser(downloads):
    driver = start_browser(downloads)
    yield driver
    driver.quit()


@pytest.fixture
def page(browser, server):
    return Page(browser, server).open()


def pasted(text):
    """The text as a text area holds it: every line break a LF."""
    return re.sub(r"\r\n?", "\n", text)


def test_pasted_examples_give_the_commands_output(page):
    for example in EXAMPLES:
        assert page.paste(example) == run_command(pasted(example)), example
        # The marked-up output shows the same text.
        assert page.shown() == page.output(), example
    everything = "\n".join(EXAMPLES)
    assert page.paste(everything) == run_command(pasted(everything))


def test_a_file_keeps_its_line_breaks(page, tmp_path):
    # (A file with a NUL in it is taken for a binary file.)
    text = "\r\n".join(e for e in EXAMPLES if "\0" not in e) + "\r\rCh'ing\r"
    path = tmp_path / "breaks.txt"
    path.write_bytes(text.encode())
    assert page.open_file(path) == run_command(text)


def test_a_megabyte_file_gives_the_commands_output(page, tmp_path):
    text = megabyte_of_text()
    path = tmp_path / "history.txt"
    path.write_text(text, encoding="utf-8", newline="")
    out = page.open_file(path)
    expected = run_command(text)
    assert out == expected
    assert page.shown() == expected
    # Measured, not asserted: the benchmark run records these.
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    times = page.driver.execute_script("return [result.milliseconds, result.roundTrip, result.renderMilliseconds]")
    (ARTIFACTS / "speed.json").write_text(json.dumps(
        {"bytes": len(text.encode()), "worker_ms": times[0], "round_trip_ms": times[1], "render_ms": times[2],
         "command_ms": time_command(path)}))


def test_a_long_file_stays_out_of_the_text_area_and_is_marked_where_it_is_read(page, tmp_path):
    text = megabyte_of_text() * 3
    path = tmp_path / "long.txt"
    path.write_text(text, encoding="utf-8", newline="")
    out = page.open_file(path)
    assert out == run_command(text) and page.shown() == out
    area = page.driver.find_element(By.ID, "input")
    assert area.get_attribute("value") == "" and "long.txt" in area.get_attribute("placeholder")
    # Words are marked near the view only: the last block once scrolled to.
    marks = "return document.querySelectorAll('#output .block:last-child mark').length"
    assert page.driver.execute_script(marks) == 0
    page.driver.execute_script("const o = document.getElementById('output'); o.scrollTop = o.scrollHeight;")
    page.wait(lambda: page.driver.execute_script(marks) > 0, timeout=10)
    # Typing replaces the file.
    page.paste("Pei-ching")
    assert page.output() == "Beijing" and area.get_attribute("placeholder") != "" and "long.txt" not in \
        area.get_attribute("placeholder")


def test_converted_words_are_marked_with_their_reasons(page):
    page.paste("Mao Tse-tung read the Tao Te Ching in Hu-nan with Chiang Kai-shek.")
    marks = page.driver.find_elements(By.CSS_SELECTOR, "#output mark.converted")
    assert [m.text for m in marks] == ["Mao Zedong", "Dao", "De", "Jing", "Hunan"]
    left = page.driver.find_elements(By.CSS_SELECTOR, "#output .left")
    assert "Chiang Kai-shek" in [w.text for w in left]


@pytest.mark.parametrize("query,options", [
    ("?hyphens=keep", ["--hyphens", "keep"]),
    ("?tones=numbers", ["--tones", "numbers"]),
    ("?tones=none", ["--tones", "none"]),
    ("?english=convert", ["--english", "convert"]),
    ("?conventional=convert", ["--conventional", "convert"]),
    ("?hyphens=keep&tones=none&english=convert&conventional=convert",
     ["--hyphens", "keep", "--tones", "none", "--english", "convert", "--conventional", "convert"]),
])
def test_options_in_the_url_change_the_output_as_the_commands_do(browser, server, query, options):
    page = Page(browser, server).open(query)
    text = "\n".join(EXAMPLES)
    assert page.paste(text) == run_command(pasted(text), *options)


def test_the_url_keeps_the_options_chosen(page):
    page.paste("Mao Tse-tung ma1")
    before = page.result_id()
    Select(page.driver.find_element(By.ID, "tones")).select_by_value("numbers")
    page.wait_for_result(before)
    assert page.output() == run_command("Mao Tse-tung ma1", "--tones", "numbers")
    Select(page.driver.find_element(By.ID, "hyphens")).select_by_value("keep")
    page.driver.find_element(By.ID, "show-left").click()
    url = page.driver.current_url
    assert "tones=numbers" in url and "hyphens=keep" in url and "show=left" in url
    # The same address opens the same settings.
    again = Page(page.driver, page.server).open(url[len(page.server.url):])
    assert Select(again.driver.find_element(By.ID, "tones")).first_selected_option.get_attribute("value") == "numbers"
    assert Select(again.driver.find_element(By.ID, "hyphens")).first_selected_option.get_attribute("value") == "keep"
    assert again.driver.find_element(By.ID, "show-left").is_selected()
    assert again.driver.find_element(By.ID, "english").get_attribute("value") == "guard"


def test_the_menus_offer_the_librarys_choices(page):
    # The worker passes the values the library gives its words; a menu
    # offering a word the library lacks would convert with a wrong option.
    menus = page.driver.execute_script(
        "return Object.fromEntries([...document.querySelectorAll('.options select')].map("
        "(m) => [m.id, [...m.options].map((o) => o.value)]))")
    assert page.driver.execute_script("return libraryChoices") == menus
    assert menus["tones"] == ["marks", "numbers", "none"] and menus["hyphens"][0] == "join"


def test_options_changed_many_times_keep_one_converter_open(page):
    # Each converter holds its tables and their index in the page's memory;
    # one per set of options ever chosen was kept before.
    page.paste("Mao Tse-tung ma1")
    for option, value in [("tones", "numbers"), ("hyphens", "keep"), ("tones", "none"), ("hyphens", "join"),
                          ("tones", "marks"), ("hyphens", "keep"), ("tones", "numbers"), ("hyphens", "join")]:
        before = page.result_id()
        Select(page.driver.find_element(By.ID, option)).select_by_value(value)
        page.wait_for_result(before)
    assert page.output() == run_command("Mao Tse-tung ma1", "--tones", "numbers")
    assert page.driver.execute_script("return result.converters") == 1


def wait_for_file(folder, name, timeout=30):
    path = folder / name
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if path.exists() and not list(folder.glob("*.crdownload")):
            return path
        time.sleep(0.05)
    raise AssertionError(f"{name} was not downloaded")


def test_the_report_and_the_text_download_as_the_command_writes_them(page, downloads, tmp_path):
    text = pasted("\n".join(EXAMPLES) + "\nA tab\there, a back\\slash, Ch'ing.\n")
    page.paste(text)
    for old in downloads.iterdir():
        old.unlink()
    page.driver.find_element(By.ID, "download-report").click()
    report = wait_for_file(downloads, "kesti.report.tsv")
    expected = tmp_path / "expected.tsv"
    subprocess.run([str(COMMAND), "--report", str(expected)], input=text.encode(), capture_output=True, check=True)
    assert report.read_bytes() == expected.read_bytes()
    page.driver.find_element(By.ID, "download").click()
    converted = wait_for_file(downloads, "kesti.pinyin.txt")
    assert converted.read_text(encoding="utf-8") == run_command(text)


def test_bad_files_get_a_clear_message_and_the_page_keeps_working(page, tmp_path):
    page.paste("Pei-ching")
    binary = tmp_path / "photo.txt"
    binary.write_bytes(b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR" + bytes(range(256)))
    page.open_file(binary, expect_result=False)
    page.wait(lambda: "binary" in page.status())
    assert "photo.txt" in page.status()
    latin1 = tmp_path / "latin1.txt"
    latin1.write_bytes("Hs\u00fceh and Peking caf\u00e9".encode("latin-1"))
    page.open_file(latin1, expect_result=False)
    page.wait(lambda: "not UTF-8" in page.status())
    assert "offset 2" in page.status()
    assert "error" in page.driver.find_element(By.ID, "status").get_attribute("class")
    # Nothing was replaced, and the page still converts.
    assert page.output() == "Beijing"
    assert page.paste("Hu-nan") == "Hunan"


def test_a_windows_1252_file_opens_when_chosen_and_reports_its_name(page, downloads, tmp_path):
    text = "Lo Chen-y\u00fc met Mao Tse-tung at the caf\u00e9.\r\n"
    legacy = tmp_path / "legacy.txt"
    legacy.write_bytes(text.encode("cp1252"))
    page.open_file(legacy, expect_result=False)
    page.wait(lambda: "not UTF-8" in page.status())
    assert "reads as Windows-1252" in page.status()
    # Choosing the encoding opens the file held, without asking again.
    before = page.result_id()
    Select(page.driver.find_element(By.ID, "encoding")).select_by_value("windows-1252")
    page.wait_for_result(before)
    assert page.output() == run_command(text)
    for old in downloads.iterdir():
        old.unlink()
    page.driver.find_element(By.ID, "download-report").click()
    rows = wait_for_file(downloads, "legacy.report.tsv").read_text(encoding="utf-8").splitlines()
    assert rows[0].startswith("file\tline\t")
    assert rows[1:] and all(row.startswith("legacy.txt\t1\t") for row in rows[1:])


def test_everything_is_labelled_and_reachable_by_keyboard(page):
    driver = page.driver
    for control in driver.find_elements(By.CSS_SELECTOR, "select, input, textarea"):
        control_id = control.get_attribute("id")
        assert driver.find_elements(By.CSS_SELECTOR, f"label[for='{control_id}']"), control_id
    for button in driver.find_elements(By.TAG_NAME, "button"):
        assert button.text.strip()
    page.paste("Mao Tse-tung was born in Hu-nan.")
    # Tab from the text area: the output, then each converted word, whose
    # explanation appears while it has the focus.
    driver.find_element(By.ID, "input").click()
    seen = []
    for _ in range(12):
        driver.switch_to.active_element.send_keys(Keys.TAB)
        focused = driver.switch_to.active_element
        seen.append(focused.get_attribute("id") or focused.text)
        if focused.get_attribute("data-record") is not None:
            tip = driver.find_element(By.ID, "tip")
            assert tip.is_displayed() and "→" in tip.text
            break
    assert "Mao Zedong" in seen, seen
    focused = driver.switch_to.active_element
    outline = driver.execute_script("return getComputedStyle(arguments[0]).outlineStyle", focused)
    assert outline != "none"
    focused.send_keys(Keys.ESCAPE)
    assert not driver.find_element(By.ID, "tip").is_displayed()


def luminance(rgb):
    def channel(c):
        c /= 255
        return c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (channel(float(x)) for x in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def colours(driver, selector, prop):
    value = driver.execute_script(f"return getComputedStyle(document.querySelector(arguments[0])).{prop}", selector)
    return re.findall(r"[\d.]+", value)[:3]


def test_text_and_marks_have_the_contrast_wcag_aa_asks(page):
    page.paste("Mao Tse-tung was born in Hu-nan.")
    pairs = [("#output mark.converted", "#output mark.converted"), ("body", "body"), ("button", "button"),
             ("#output", "#output"), ("label[for=tones]", "body"), (".credit", "body")]
    for text_of, background_of in pairs:
        fg = luminance(colours(page.driver, text_of, "color"))
        background = colours(page.driver, background_of, "backgroundColor")
        if background == ["0", "0", "0"]:  # transparent: the page's white
            background = ["255", "255", "255"]
        bg = luminance(background)
        ratio = (max(fg, bg) + 0.05) / (min(fg, bg) + 0.05)
        assert ratio >= 4.5, (text_of, ratio)


@pytest.mark.parametrize("name,width,height", [("phone", 390, 844), ("desktop", 1280, 900)])
def test_the_page_fits_a_phone_and_a_desktop(browser, server, name, width, height):
    browser.set_window_size(width, height)
    try:
        page = Page(browser, server).open()
        page.paste(EXAMPLES[0] + " " + EXAMPLES[1] + "\n" + EXAMPLES[3])
        # One converted word explained, as a reader pointing at it sees.
        page.driver.execute_script("showTip(document.querySelector('#output mark'))")
        assert browser.execute_script("return document.documentElement.scrollWidth") <= \
            browser.execute_script("return document.documentElement.clientWidth")
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        full_screenshot(browser, ARTIFACTS / f"page-{name}.png")
    finally:
        browser.set_window_size(1280, 900)


def test_the_first_load_is_under_two_megabytes(browser, server):
    # As a first visit: nothing from the cache.
    browser.execute_cdp_cmd("Network.enable", {})
    browser.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
    page = Page(browser, server).open()
    page.paste("Pei-ching")  # the worker and its tables are loaded by now
    loaded = page.bytes_loaded()
    names = {Path(name.split("?")[0]).name for name, _ in loaded}
    assert {"kesti.wasm", "kesti.js", "worker.js", "kestiwrd.txt"} <= names
    total = sum(size for _, size in loaded)
    assert all(size > 0 for _, size in loaded), loaded
    assert total < 2_000_000, loaded
    ARTIFACTS.mkdir(parents=True, exist_ok=True)
    (ARTIFACTS / "load.json").write_text(json.dumps({"total": total, "files": loaded}))
