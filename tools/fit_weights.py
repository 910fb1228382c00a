#!/usr/bin/env python3
"""Sets the weights of the text mode's decision (prose/weights.h) on the
development data in tests/dev/, and writes them.

    cmake --build build --target kesti_features
    python3 tools/fit_weights.py            # writes prose/weights.h
    cmake --build build && python3 tools/evaluate.py

How: the decision labels the words of a sentence romanized Chinese or
English with the best score, a word's score for Chinese being the sum of
the weights of its features and a change of label between neighbours
adding the weights of the step's features (prose/decide.h). That is a
linear-chain conditional random field over two labels; this tool fits its
weights by maximum likelihood with an L2 penalty (plain gradient ascent with
Adam, full batch, a fixed number of steps, from zero: the result is the same
on every run).

The examples are the development data as the library sees it
(build/bin/kesti_features): every item of items.tsv on its own, in the
default mode and in lines mode, its words inside the brackets Chinese and
all others English; and every paragraph of english.txt, all English.
Sentences where nothing is open to a decision teach nothing and are left
out. English counts ENGLISH_WEIGHT times, since a changed English word costs
a reader more than a Chinese word left unconverted.
"""
import argparse
import json
import math
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import devkit  # noqa: E402

L2 = 0.02
ENGLISH_WEIGHT = 5.0
STEPS = 800
RATE = 0.1


def evidence(binary, texts, lines):
    """The decision's evidence for each text: a list of sentences."""
    args = [binary] + (["--lines"] if lines else []) + [os.path.join(devkit.ROOT, "data")]
    data = "".join(t.replace("\n", " ") + "\n" for t in texts)
    out = subprocess.run(args, input=data.encode("utf-8"), capture_output=True, check=True).stdout
    return [json.loads(line) for line in out.decode("utf-8").splitlines()]


def spans(marked):
    """The text without brackets, and the byte ranges the brackets held."""
    text, ranges, start = "", [], None
    for ch in marked:
        if ch == devkit.OPEN:
            start = len(text.encode("utf-8"))
        elif ch == devkit.CLOSE:
            ranges.append((start, len(text.encode("utf-8"))))
        else:
            text += ch
    return text, ranges


def examples(binary):
    """(weight, words) per sentence: words as (open, gold, features, step)."""
    # Names printed without their marks measure which reading is chosen,
    # not whether a word is romanized Chinese: they teach the decision nothing.
    items = [item for item in devkit.items() if item[0] != "dropped"]
    stripped = [spans(marked) for _, marked, _ in items]
    english = devkit.english()
    out = []
    for lines in (False, True):
        for (kind, _, _), (text, ranges), sentences in zip(items, stripped, evidence(binary, [t for t, _ in stripped],
                                                                                      lines)):
            if lines and kind == "english-word":
                continue  # alone on its line in a list, a word is a name
            for sentence in sentences:
                words = [(bool(o), o and any(b < e2 and b2 < e for b2, e2 in ranges), f, s) for b, e, o, f, s in sentence]
                if any(w[0] for w in words):
                    out.append((ENGLISH_WEIGHT if not ranges else 1.0, words))
    for sentences in evidence(binary, english, False):
        for sentence in sentences:
            words = [(bool(o), False, f, s) for b, e, o, f, s in sentence]
            if any(w[0] for w in words):
                out.append((ENGLISH_WEIGHT, words))
    return out


def logadd(a, b):
    if a < b:
        a, b = b, a
    return a if b == -math.inf else a + math.log1p(math.exp(b - a))


def gradient(weights, data):
    """The log-likelihood and its gradient."""
    grad = [0.0] * len(weights)
    total = 0.0
    for factor, words in data:
        n = len(words)
        emit = [sum(weights[f] for f in w[2]) if w[0] else -math.inf for w in words]
        step = [sum(weights[f] for f in w[3]) for w in words]
        # Forward and backward over labels 0 (English) and 1 (Chinese).
        fwd = [[0.0, 0.0] for _ in range(n)]
        fwd[0] = [0.0, emit[0]]
        for i in range(1, n):
            for y in (0, 1):
                stay, change = fwd[i - 1][y], fwd[i - 1][1 - y] + step[i]
                fwd[i][y] = logadd(stay, change) + (emit[i] if y else 0.0)
        bwd = [[0.0, 0.0] for _ in range(n)]
        for i in range(n - 2, -1, -1):
            for y in (0, 1):
                stay = bwd[i + 1][y] + (emit[i + 1] if y else 0.0)
                change = bwd[i + 1][1 - y] + (emit[i + 1] if 1 - y else 0.0) + step[i + 1]
                bwd[i][y] = logadd(stay, change)
        logz = logadd(fwd[n - 1][0], fwd[n - 1][1])
        gold = [1 if w[1] else 0 for w in words]
        score = sum(emit[i] for i in range(n) if gold[i]) + sum(step[i] for i in range(1, n) if gold[i] != gold[i - 1])
        total += factor * (score - logz)
        for i in range(n):
            p = math.exp(fwd[i][1] + bwd[i][1] - logz) if words[i][0] else 0.0
            d = factor * (gold[i] - p)
            if d:
                for f in words[i][2]:
                    grad[f] += d
            if i and words[i][3]:
                # The chance that the label changes between i-1 and i.
                change = 0.0
                for y in (0, 1):
                    a = fwd[i - 1][y]
                    b = bwd[i][1 - y] + (emit[i] if 1 - y else 0.0)
                    change += math.exp(a + step[i] + b - logz)
                d = factor * ((gold[i] != gold[i - 1]) - change)
                for f in words[i][3]:
                    grad[f] += d
    for k, w in enumerate(weights):
        total -= 0.5 * L2 * w * w
        grad[k] -= L2 * w
    return total, grad


def fit(data, count, start=None):
    """Fits every weight from zero; or, given `start` (a weight or None per
    feature), only those that have none, the others kept as they are."""
    weights = [0.0 if w is None else w for w in start] if start else [0.0] * count
    free = [k for k in range(count) if not start or start[k] is None]
    m, v = [0.0] * count, [0.0] * count
    for t in range(1, STEPS + 1):
        likelihood, grad = gradient(weights, data)
        for k in free:
            m[k] = 0.9 * m[k] + 0.1 * grad[k]
            v[k] = 0.999 * v[k] + 0.001 * grad[k] * grad[k]
            weights[k] += RATE * (m[k] / (1 - 0.9 ** t)) / (math.sqrt(v[k] / (1 - 0.999 ** t)) + 1e-8)
        if t % 50 == 0:
            print(f"step {t}: log-likelihood {likelihood:.1f}", file=sys.stderr)
    return weights


def read_weights(path):
    """The weights a weights.h holds, by feature name."""
    weights = {}
    for line in open(path, encoding="utf-8"):
        match = re.match(r"\s+(-?\d+\.\d+)f,\s+// (.*)$", line)
        if match:
            weights[match.group(2)] = float(match.group(1))
    return weights


def write(path, names, weights, data, kept=False):
    words = sum(len(w) for _, w in data)
    how = "from zero" if not kept else "(--only: the features added since a fit from zero, the others kept)"
    lines = [
        "// The decision's weights (see prose/decide.h), written by tools/fit_weights.py:",
        "// a two-label linear-chain conditional random field fitted by maximum",
        f"// likelihood with an L2 penalty of {L2}, English examples counting {ENGLISH_WEIGHT:g} times,",
        f"// {STEPS} steps of Adam {how},",
        f"// on the development data of tests/dev/ ({len(data)} sentences with {words} words).",
        "// Run the tool again rather than edit.",
        "#pragma once",
        "",
        "namespace kesti {",
        "",
        "// Added for romanized Chinese, against English's 0; a step's weight is",
        "// added where the label changes between neighbours.",
        "// clang-format off",
        "inline constexpr float kWeights[] = {",
    ]
    lines += [f"    {w:8.3f}f,  // {name}" for name, w in zip(names, weights)]
    lines += [
        "};",
        "// clang-format on",
        "",
        "// A word English uses, decided by a margin of log-odds less than this, is",
        "// reported ambiguous.",
        "inline constexpr float kAmbiguousMargin = 4.0f;",
        "",
        "}  // namespace kesti",
        "",
    ]
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(devkit.ROOT, "build"))
    parser.add_argument("--out", default=os.path.join(devkit.ROOT, "prose", "weights.h"))
    parser.add_argument("--only", action="append", metavar="FEATURE",
                        help="fit only this feature (again for more), keeping the others' weights in OUT")
    args = parser.parse_args()
    binary = os.path.join(args.build, "bin", "kesti_features")
    names = subprocess.run([binary, "--names", os.path.join(devkit.ROOT, "data")], capture_output=True, check=True,
                           text=True).stdout.splitlines()
    start = None
    if args.only:
        unknown = sorted(set(args.only) - set(names))
        if unknown:
            sys.exit(f"no such feature: {', '.join(unknown)}")
        kept = read_weights(args.out)
        missing = [name for name in names if name not in kept and name not in args.only]
        if missing:
            sys.exit(f"{args.out} has no weight for {', '.join(missing)}: name it with --only too")
        start = [None if name in args.only else kept[name] for name in names]
        print(f"fitting {len(set(args.only))} features, keeping {len(names) - len(set(args.only))}", file=sys.stderr)
    data = examples(binary)
    print(f"{len(data)} sentences", file=sys.stderr)
    weights = fit(data, len(names), start)
    write(args.out, names, weights, data, kept=start is not None)
    for name, w in sorted(zip(names, weights), key=lambda p: -abs(p[1]))[:20]:
        print(f"  {w:8.3f}  {name}", file=sys.stderr)


if __name__ == "__main__":
    main()
