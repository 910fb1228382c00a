"""Measures the page in headless Chromium and prints a Markdown section for
bench/RESULTS.md: converting a megabyte in the page beside the native
command on the same file, and what the page loads on a first visit.

    python3 web/tests/measure.py [--repetitions N]

Needs the page built (bash web/build.sh) and the command (KESTI_COMMAND)."""

import argparse
import statistics
import sys
import tempfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from browser import COMMAND, Page, Server, megabyte_of_text, start_browser, time_command  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repetitions", type=int, default=10)
    args = parser.parse_args()

    work = Path(tempfile.mkdtemp(prefix="kesti-web-"))
    text = megabyte_of_text()
    path = work / "history.txt"
    path.write_text(text, encoding="utf-8")
    server = Server()
    driver = start_browser(work)
    try:
        driver.execute_cdp_cmd("Network.enable", {})
        driver.execute_cdp_cmd("Network.setCacheDisabled", {"cacheDisabled": True})
        page = Page(driver, server).open()
        page.paste("Pei-ching")
        loaded = page.bytes_loaded()
        worker, trip, render = [], [], []
        for _ in range(args.repetitions):
            page.paste("")
            page.paste(text)
            times = driver.execute_script("return [result.milliseconds, result.roundTrip, result.renderMilliseconds]")
            worker.append(times[0])
            trip.append(times[1])
            render.append(times[2])
        opened = []
        for _ in range(args.repetitions):
            page.paste("")
            page.open_file(path)
            opened.append(driver.execute_script("return result.roundTrip"))
        command = time_command(path, args.repetitions)
    finally:
        driver.quit()
        server.close()

    median = statistics.median
    version = driver.capabilities.get("browserVersion", "?")
    print("## The page (WebAssembly in headless Chromium)")
    print()
    print(f"Chromium {version}, headless, on the same machine; `web/tests/measure.py`, "
          f"medians of {args.repetitions}. The input is {len(text.encode()):,} bytes of English prose with "
          "Wade-Giles names in paragraphs, pasted into the text area; the command converts the same text "
          f"as a file (`{COMMAND.name} FILE`, wall time of the whole process, its tables loaded). The "
          "page's time runs from handing the text to the worker to the result arriving in the page; "
          "the worker's part is the library in WebAssembly and the copying of its result, and showing "
          "the result with its marks is timed apart.")
    print()
    print("| Measure | Median | Baseline, same run | Ratio | Target | |")
    print("|---|---|---|---|---|---|")
    r = median(trip) / command
    print(f"| 1 MB converted in the page: request to result, as the page sees it | {median(trip):.1f} ms | "
          f"the `kesti` command: {command:.1f} ms | {r:.2f}× | ≤ 3× | {'met' if r <= 3 else '**missed**'} |")
    r = median(worker) / command
    print(f"| of which the worker: the library in WebAssembly, and reading its result | {median(worker):.1f} ms | "
          f"the same: {command:.1f} ms | {r:.2f}× | (none) | |")
    r = median(opened) / command
    print(f"| the same text opened as a file: the page also lays out the text area meanwhile | "
          f"{median(opened):.1f} ms | the same: {command:.1f} ms | {r:.2f}× | (none) | |")
    print(f"| showing the result with every word marked (after it arrives) | {median(render):.1f} ms | | | (none) | |")
    total = sum(size for _, size in loaded)
    print(f"| first load, the word table included | {total / 1e6:.2f} MB | | | < 2 MB | "
          f"{'met' if total < 2e6 else '**missed**'} |")
    print()
    print("What the first load fetched (bytes as served, uncompressed):")
    print()
    for name, size in sorted(loaded, key=lambda entry: -entry[1]):
        short = name.split("/", 3)[-1] or "index.html"
        print(f"- `{short}`: {size:,}")
    print()


if __name__ == "__main__":
    main()
