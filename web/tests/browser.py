"""The built page in headless Chromium, for the browser tests and the speed
measurement: a local server for the page's folder, a browser driven by
Selenium, and the native command to compare with."""

import functools
import http.server
import os
import socketserver
import subprocess
import threading
import time
from pathlib import Path

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

ROOT = Path(__file__).resolve().parents[2]
SITE = Path(os.environ.get("KESTI_SITE", ROOT / "build-web" / "site"))
COMMAND = Path(os.environ.get("KESTI_COMMAND", ROOT / "build" / "bin" / "kesti"))
CHROMIUM = os.environ.get("KESTI_CHROMIUM", "/usr/bin/chromium")
CHROMEDRIVER = os.environ.get("KESTI_CHROMEDRIVER", "/usr/bin/chromedriver")


class _Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, ".wasm": "application/wasm",
                      ".js": "text/javascript"}

    def log_message(self, *args):
        pass


class Server:
    """The page's folder served on a free port of 127.0.0.1."""

    def __init__(self, site=SITE):
        handler = functools.partial(_Handler, directory=str(site))
        self.httpd = socketserver.ThreadingTCPServer(("127.0.0.1", 0), handler)
        self.httpd.daemon_threads = True
        self.url = f"http://127.0.0.1:{self.httpd.server_address[1]}/"
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def start_browser(downloads, width=1280, height=900):
    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                     f"--window-size={width},{height}"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"download.default_directory": str(downloads),
                                              "download.prompt_for_download": False})
    driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
    driver.execute_cdp_cmd("Browser.setDownloadBehavior", {"behavior": "allow", "downloadPath": str(downloads)})
    return driver


class Page:
    """The page open in a browser, with the steps a reader takes."""

    def __init__(self, driver, server):
        self.driver = driver
        self.server = server

    def open(self, query=""):
        self.driver.get(self.server.url + query)
        self.wait(lambda: self.state() in ("ready", "done", "error"))
        return self

    def state(self):
        return self.driver.execute_script("return document.body.dataset.state")

    def wait(self, condition, timeout=60):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if condition():
                return
            time.sleep(0.02)
        raise AssertionError(f"timed out; the page's state is {self.state()!r}, its status "
                             f"{self.status()!r}")

    def result_id(self):
        return self.driver.execute_script("return document.body.dataset.result || ''")

    def wait_for_result(self, before):
        self.wait(lambda: self.result_id() != before and self.state() == "done")

    def paste(self, text):
        """Puts text into the text area as a paste does, and waits for its conversion."""
        before = self.result_id()
        self.driver.execute_script(
            "const area = document.getElementById('input');"
            "area.value = arguments[0];"
            "area.dispatchEvent(new InputEvent('input', {inputType: 'insertFromPaste'}));", text)
        self.wait_for_result(before)
        return self.output()

    def open_file(self, path, expect_result=True):
        before = self.result_id()
        self.driver.find_element("id", "file").send_keys(str(path))
        if expect_result:
            self.wait_for_result(before)
        return self.output()

    def output(self):
        return self.driver.execute_script("return result ? result.text : null")

    def shown(self):
        return self.driver.find_element("id", "output").get_attribute("textContent")

    def milliseconds(self):
        return self.driver.execute_script("return result ? result.milliseconds : null")

    def status(self):
        return self.driver.execute_script("return document.getElementById('status').textContent")

    def bytes_loaded(self):
        """What the page and its worker fetched: the document and every resource."""
        return self.driver.execute_script("""
            const entries = [...performance.getEntriesByType('navigation'), ...performance.getEntriesByType('resource')];
            return entries.map(e => [e.name, e.encodedBodySize]).concat(workerFetched);""")


def full_screenshot(driver, path):
    """The whole page, not only what the window shows, as a PNG."""
    import base64
    metrics = driver.execute_cdp_cmd("Page.getLayoutMetrics", {})
    size = metrics["cssContentSize"]
    shot = driver.execute_cdp_cmd("Page.captureScreenshot", {
        "format": "png", "captureBeyondViewport": True,
        "clip": {"x": 0, "y": 0, "width": size["width"], "height": size["height"], "scale": 1}})
    Path(path).write_bytes(base64.b64decode(shot["data"]))


def run_command(text, *options):
    """The native command's output for `text`."""
    done = subprocess.run([str(COMMAND), *options], input=text.encode("utf-8"), capture_output=True, check=True)
    return done.stdout.decode("utf-8")


def time_command(path, repetitions=5):
    """The native command's median wall time converting the file, in milliseconds,
    on one thread as the page's worker converts."""
    times = []
    for _ in range(repetitions):
        started = time.perf_counter()
        subprocess.run([str(COMMAND), "--threads", "1", str(path)], stdout=subprocess.DEVNULL, check=True)
        times.append(1000 * (time.perf_counter() - started))
    return sorted(times)[len(times) // 2]


def megabyte_of_text(size=1 << 20):
    """About a megabyte of English prose with Wade-Giles names, in paragraphs,
    as a history of the period reads."""
    sentences = [
        "Mao Tse-tung was born in Hu-nan in 1893 and studied at Pei-ching ta-hsueh.",
        "The Ch'ing dynasty fell in 1911, and Sun Yat-sen became president in Nan-ching.",
        "Chiang Kai-shek moved the capital to Ch'ung-ch'ing during the war with Japan.",
        "Lao-tzu's Tao Te Ching and the I Ching were read in every school of the Sung.",
        "The Hwangho floods the plain of Ho-nan; the Yang-tzu runs past Wu-han and Shang-hai.",
        "Chou En-lai met the envoys at Yen-an, where the Long March had ended in 1935.",
        "Li Po and Tu Fu wrote under the T'ang, when Ch'ang-an was the largest city on earth.",
        "The sun rose over the hills, and the travellers went on towards Kuang-chou.",
    ]
    paragraphs = []
    total = 0
    i = 0
    while total < size:
        paragraph = " ".join(sentences[(i + k) % len(sentences)] for k in range(5 + i % 4))
        paragraphs.append(paragraph)
        total += len(paragraph) + 2
        i += 1
    return "\n\n".join(paragraphs) + "\n"
