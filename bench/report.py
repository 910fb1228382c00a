#!/usr/bin/env python3
"""Turns Google Benchmark's JSON output into bench/RESULTS.md.

Every figure is the median of the repetitions, and every ratio is taken
between two medians of the same run, so that the machine's load at the time
affects both sides alike.
"""
import datetime
import json
import os
import platform
import subprocess
import sys

UNIT_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}


def medians(results):
    out = {}
    for b in results["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        out[b["run_name"]] = {
            "ns": b["real_time"] * UNIT_NS[b["time_unit"]],
            "mbps": b.get("bytes_per_second", 0.0) / 1e6,
            "repetitions": b.get("repetitions", 0),
        }
    return out


def first_line(path, prefix):
    try:
        with open(path) as f:
            for line in f:
                if line.startswith(prefix):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return "unknown"


def git(*args):
    try:
        return subprocess.run(["git", *args], capture_output=True, text=True, check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return ""


def duration(ns):
    if ns >= 1e6:
        return f"{ns / 1e6:.2f} ms"
    if ns >= 1e3:
        return f"{ns / 1e3:.2f} µs"
    return f"{ns:.0f} ns"


def verdict(ok, target):
    if target == "(none)":
        return ""
    return "met" if ok else "**missed**"


def main():
    with open(sys.argv[1]) as f:
        results = json.load(f)
    m = medians(results)
    context = results.get("context", {})
    commit = git("rev-parse", "--short", "HEAD") or "unknown"
    # The file this writes is not a change of the tree measured.
    if git("status", "--porcelain", "--untracked-files=no", "--", ".", ":!bench/RESULTS.md"):
        commit += " (with uncommitted changes)"
    reps = max((v["repetitions"] for v in m.values()), default=0)

    lines = [
        "# Benchmark results",
        "",
        "Written by `bench/run.sh`; run it again to replace this file.",
        "",
        f"- Date: {datetime.datetime.now(datetime.timezone.utc):%Y-%m-%d %H:%M} UTC",
        f"- Commit: {commit}",
        f"- Machine: {first_line('/proc/cpuinfo', 'model name')}, {os.cpu_count()} logical CPUs, "
        f"{first_line('/proc/meminfo', 'MemTotal')} memory, Linux {platform.release()}",
        f"- Load average when the run began: {', '.join(f'{x:.2f}' for x in context.get('load_avg', []))}",
        f"- Build: release (`-O3`), the static library linked into `kesti_bench`",
        "",
        "## Method",
        "",
        f"Each benchmark ran {reps} times in one process, in random order "
        "(`--benchmark_enable_random_interleaving`); every figure below is the median "
        "of those repetitions, and every ratio divides two medians of this same run. "
        "The tables are the shipped `data/kestisyl.txt` and `data/kestiwrd.txt`. The "
        "10 MB text is generated Wade-Giles as catalogues hold it: hyphenated and "
        "capitalized names, aspirated syllables, ü as 0xFC, commas, and one English "
        "word in three. Latency and throughput go through the exported functions, "
        "table load included (an input of up to 64 KiB gets records only for the keys "
        "its letters can begin, a longer one the whole table and its index); the sweep runs the conversion pass alone on a table "
        "loaded and indexed once, each iteration on a different slice of the text. "
        "The text mode converts the same 10 MB as the `kesti` command does a file: "
        "its five tables loaded, the bytes decoded from Windows-1252, converted "
        "word by word and encoded back; the English prose is Debian's GPL-3 and "
        "Apache-2.0 texts repeated to 10 MB.",
        "",
        "The byte-copy baseline is a loop that copies one byte per iteration, built "
        "so that the compiler neither vectorizes it nor turns it into `memcpy`; "
        "`memcpy` itself is listed for reference.",
        "",
        "## Against the baselines",
        "",
        "| Measure | Median | Baseline, same run | Ratio | Target | |",
        "|---|---|---|---|---|---|",
    ]

    def row(measure, value, baseline, ratio, target, ok):
        lines.append(f"| {measure} | {value} | {baseline} | {ratio} | {target} | {verdict(ok, target)} |")

    syl_call, syl_floor = m["BM_CallSyllable"]["ns"], m["BM_ReadSyllableTable"]["ns"]
    r = syl_call / syl_floor
    row("`ConvertWGToPinyin`, 20-byte input, per call", duration(syl_call),
        f"open, read whole, close `kestisyl.txt`: {duration(syl_floor)}", f"{r:.2f}×", "≤ 2×", r <= 2)
    word_call, word_floor = m["BM_CallWord"]["ns"], m["BM_ReadWordTable"]["ns"]
    r = word_call / word_floor
    row("`ConvertWGToPinyinWord`, 20-byte input, per call", duration(word_call),
        f"open, read whole, close `kestiwrd.txt`: {duration(word_floor)}", f"{r:.1f}×", "≤ 5×", r <= 5)
    shuffled = m["BM_CallSyllableShuffled"]["ns"]
    r = shuffled / syl_floor
    row("`ConvertWGToPinyin` with the syllable table's lines shuffled (sorted on load)", duration(shuffled),
        f"the same floor: {duration(syl_floor)}", f"{r:.2f}×", "≤ 4×", r <= 4)
    copy, syl, word = m["BM_ByteCopy10MB"]["mbps"], m["BM_Syllable10MB"]["mbps"], m["BM_Word10MB"]["mbps"]
    r = syl / copy
    row("10 MB with the syllable table", f"{syl:.1f} MB/s", f"byte-copy loop: {copy:.0f} MB/s",
        f"{100 * r:.1f}%", "≥ 6%", r >= 0.06)
    r = word / copy
    row("10 MB with the word table", f"{word:.1f} MB/s", f"byte-copy loop: {copy:.0f} MB/s",
        f"{100 * r:.1f}%", "≥ 2.5%", r >= 0.025)
    text = m["BM_Text10MB"]["mbps"]
    r = text / syl
    row("10 MB in the text mode (five tables loaded, Windows-1252 in and out)", f"{text:.1f} MB/s",
        f"exact mode, syllable table: {syl:.1f} MB/s", f"{100 * r:.0f}%", "≥ 100 MB/s and ≥ 35%",
        text >= 100 and r >= 0.35)
    r = text / word
    row("the same, beside the word table", f"{text:.1f} MB/s",
        f"exact mode, word table: {word:.1f} MB/s", f"{100 * r:.0f}%", "(none)", True)
    two = m.get("BM_Text10MBTwoThreads/real_time")
    if two:
        row("the same on two threads, two paragraphs at once (`--threads 2`), wall time", f"{two['mbps']:.1f} MB/s",
            f"the text mode on one thread: {text:.1f} MB/s", f"{two['mbps'] / text:.2f}×", "(none)", True)
    if "BM_TextProse10MB" in m and "BM_SyllableProse10MB" in m:
        prose, prose_syl = m["BM_TextProse10MB"]["mbps"], m["BM_SyllableProse10MB"]["mbps"]
        r = prose / prose_syl
        row("10 MB of English prose (Debian's licence texts) in the text mode", f"{prose:.1f} MB/s",
            f"exact mode, syllable table: {prose_syl:.1f} MB/s", f"{100 * r:.0f}%", "≥ 85%", r >= 0.85)
    if "BM_Columns10MB" in m and "BM_TextCsv10MB" in m:
        columns, whole = m["BM_Columns10MB"]["mbps"], m["BM_TextCsv10MB"]["mbps"]
        r = columns / whole
        row("10 MB catalogue CSV, `--columns name,title` (each field an item)", f"{columns:.1f} MB/s",
            f"the text mode on the same bytes: {whole:.1f} MB/s", f"{100 * r:.0f}%", "≥ 50%", r >= 0.5)
    lines.append(f"| loading the text mode's five tables | {duration(m['BM_TextTables']['ns'])} | | | (none) | |")
    run, ordinary = m["BM_LetterRun1MB"]["ns"], m["BM_OrdinaryText1MB"]["ns"]
    r = run / ordinary
    row("1 MB run of letters, syllable table", duration(run), f"1 MB of ordinary text: {duration(ordinary)}",
        f"{r:.2f}×", "≤ 2×", r <= 2)
    lines += ["", f"`memcpy` of the same 10 MB: {m['BM_Memcpy10MB']['mbps']:.0f} MB/s.", ""]

    lines += [
        "## Linear cost: the pass from 1 KB to 10 MB (syllable table)",
        "",
        "| Input | Median time | MB/s | MB/s ÷ MB/s at 10 MB |",
        "|---|---|---|---|",
    ]
    sweep = sorted((int(k.split("/")[1]), v) for k, v in m.items() if k.startswith("BM_SyllableSweep/"))
    top = sweep[-1][1]["mbps"] if sweep else 1
    for size, v in sweep:
        label = f"{size // 1000} KB" if size < 1_000_000 else f"{size // 1_000_000} MB"
        lines.append(f"| {label} | {duration(v['ns'])} | {v['mbps']:.1f} | {v['mbps'] / top:.2f} |")
    lines.append("")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
