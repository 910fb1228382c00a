#!/usr/bin/env bash
# Builds the benchmarks in release mode, runs every one of them REPETITIONS
# times (default 10) in one process, and writes bench/RESULTS.md with the
# medians and each figure's ratio to the baseline measured beside it; then
# installs the Python package into a virtual environment and adds its
# figures on catalogue strings (bench/python_bench.py), and builds the page
# and adds its figures in headless Chromium (web/tests/measure.py).
set -euo pipefail
cd "$(dirname "$0")/.."
# RESULTS.md names the commit it was measured on: measure a clean tree of it.
if [ -n "$(git status --porcelain --untracked-files=no -- . ':!bench/RESULTS.md' 2>/dev/null)" ] &&
   [ "${KESTI_BENCH_DIRTY:-}" != 1 ]; then
  echo "the tree has uncommitted changes: commit first (or set KESTI_BENCH_DIRTY=1 for a run not to commit)" >&2
  exit 2
fi
bash scripts/install-deps.sh
build=${KESTI_BENCH_DIR:-build-bench}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKESTI_BUILD_BENCH=ON \
  -DKESTI_BUILD_TESTS=OFF -DKESTI_BUILD_WINDOWS=OFF -DKESTI_BUILD_CLI=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target kesti_bench kesti kesti_command kesti_tables
"$build/bin/kesti_bench" \
  --benchmark_repetitions="${REPETITIONS:-10}" \
  --benchmark_enable_random_interleaving=true \
  --benchmark_out="$build/results.json" --benchmark_out_format=json \
  --benchmark_report_aggregates_only=true
python3 bench/report.py "$build/results.json" > bench/RESULTS.md
# The Python package, installed as CI installs it, on catalogue strings.
rm -rf "$build/venv" && /usr/bin/python3 -m venv --system-site-packages "$build/venv"
KESTI_BUILD_JOBS=$(nproc) "$build/venv/bin/pip" install --no-build-isolation --no-index --no-deps --quiet .
"$build/venv/bin/python" bench/python_bench.py --library "$build/lib/libkesti.so" --command "$build/bin/kesti" \
  --tables data --repetitions "${REPETITIONS:-10}" >> bench/RESULTS.md
# The page, built as the README builds it and measured in headless Chromium
# beside the command.
bash web/build.sh "$build/site"
# The page's measurement runs from the source tree: absolute paths, whether
# KESTI_BENCH_DIR was given relative or not.
build=$(cd "$build" && pwd)
KESTI_COMMAND="$build/bin/kesti" KESTI_SITE="$build/site" \
  /usr/bin/python3 web/tests/measure.py --repetitions "${REPETITIONS:-10}" >> bench/RESULTS.md
echo "wrote bench/RESULTS.md"
