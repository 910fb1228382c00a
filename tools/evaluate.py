#!/usr/bin/env python3
"""Measures the text mode on the development data (tests/dev/): the share
of items converted exactly, each on its own, by set; and the share of the
English prose's words changed, with the changes listed.

    cmake --build build && python3 tools/evaluate.py [--lines] [--show N]

Needs the library built in build/ (or --build DIR).
"""
import argparse
import collections
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import devkit  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(devkit.ROOT, "build"))
    parser.add_argument("--lines", action="store_true", help="convert the items with the lines option")
    parser.add_argument("--show", type=int, default=10, help="misses and changes to list per set")
    args = parser.parse_args()
    converter = devkit.Converter(args.build, lines=args.lines)

    by_set = collections.defaultdict(lambda: [0, 0])
    misses = collections.defaultdict(list)
    flagged = collections.Counter()
    for kind, text, expected in devkit.items():
        if args.lines and kind == "english-word":
            continue  # alone on its line in a list, a word is a name
        got = converter.convert(devkit.strip(text))
        by_set[kind][1] += 1
        if got == expected:
            by_set[kind][0] += 1
        else:
            misses[kind].append((devkit.strip(text), got, expected))
            # A miss the report owns to: a word marked ambiguous, its
            # other readings listed for a reviewer.
            _, records = converter.convert(devkit.strip(text), report=True)
            flagged[kind] += any(record[5] for record in records)
    total = [sum(v[0] for v in by_set.values()), sum(v[1] for v in by_set.values())]
    print(f"items exact: {total[0]}/{total[1]} ({100 * total[0] / total[1]:.1f}%)")
    for kind in sorted(by_set):
        exact, count = by_set[kind]
        owned = f"  (misses reported ambiguous: {flagged[kind]})" if flagged[kind] else ""
        print(f"  {kind:10} {exact:4}/{count:<4} {100 * exact / count:5.1f}%{owned}")
        for text, got, expected in misses[kind][:args.show]:
            print(f"      {text!r} -> {got!r}, expected {expected!r}")

    words = changed = 0
    changes = collections.Counter()
    for paragraph in devkit.english():
        got = converter.convert(paragraph)
        before, after = paragraph.split(), got.split()
        words += len(before)
        if got != paragraph:
            for a, b in zip(before, after):
                if a != b:
                    changed += 1
                    changes[(a, b)] += 1
    print(f"English words changed: {changed}/{words} ({100 * changed / max(1, words):.4f}%)")
    for (a, b), n in changes.most_common(args.show * 3):
        print(f"      {a!r} -> {b!r} x{n}")


if __name__ == "__main__":
    main()
