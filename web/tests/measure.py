"""Measures the page in headless Chromium and prints a Markdown section for
bench/RESULTS.md: converting a megabyte in the page beside the native
command on the same file, and what the page loads on a first visit.

    python3 web/tests/measure.py [--repetitions N]

Needs the page built (bash web/build.sh) and the command (KESTI_COMMAND)."""

import argparse
import statistics
import sys
import tempfile
import time
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
        # Ten megabytes opened as a file: the time from choosing it to the
        # result shown, and the longest task on the page's main thread after
        # that while the result is scrolled through to its end.
        big = work / "ten.txt"
        big.write_text(text * 10, encoding="utf-8")
        shown, whole, longest = [], [], []
        for _ in range(max(3, args.repetitions // 3)):
            page.paste("")
            driver.execute_script(
                "window.longTasks = []; window.taskObserver && taskObserver.disconnect();"
                "window.taskObserver = new PerformanceObserver((list) => {"
                "  for (const e of list.getEntries()) longTasks.push([e.startTime, e.duration]); });"
                "taskObserver.observe({type: 'longtask'});")
            page.open_file(big)
            for _ in range(40):
                driver.execute_script("const o = document.getElementById('output'); o.scrollTop += o.scrollHeight / 40;")
                time.sleep(0.05)
            times = driver.execute_script(
                "const shownAt = chosenAt + result.shownMilliseconds;"
                "return [result.shownMilliseconds, result.roundTrip + result.renderMilliseconds,"
                "        Math.max(0, ...longTasks.filter(([start]) => start > shownAt).map(([, d]) => d))]")
            shown.append(times[0])
            whole.append(times[1])
            longest.append(times[2])
        big_command = time_command(big, 3)
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
          f"as a file on one thread, as the worker does (`{COMMAND.name} --threads 1 FILE`, wall time of the "
          "whole process, its tables loaded). The "
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
    print(f"| showing the result after it arrives: every block in, the words near the view marked | {median(render):.1f} ms | | | (none) | |")
    r = median(shown) / 1000
    print(f"| 10 MB opened as a file: from choosing it to the result shown | {median(shown):.0f} ms | "
          f"the `kesti` command: {big_command:.0f} ms | {median(shown) / big_command:.1f}× | ≤ 3 s | "
          f"{'met' if r <= 3 else '**missed**'} |")
    print(f"| the same: converted and every block of the result in the page | {median(whole):.0f} ms | | | (none) | |")
    worst = max(longest)
    print(f"| the same: the longest task on the main thread after it is shown, scrolling to the end | "
          f"{worst:.0f} ms (worst of {len(longest)}) | | | ≤ 100 ms | {'met' if worst <= 100 else '**missed**'} |")
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
