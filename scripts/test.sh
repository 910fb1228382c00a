#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#   1. the release build's whole suite (with the Windows DLLs under wine and
#      valgrind's memcheck of the exported functions);
#   2. the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. the concurrency and exported-function tests under ThreadSanitizer;
#   4. each libFuzzer target for KESTI_FUZZ_SECONDS (default 60) under ASan
#      and UBSan, starting from the committed seed corpus;
#   5. the Python package, installed with pip into a fresh virtual
#      environment from Debian's packages alone, and its pytest suite;
#   6. the page: the library compiled to WebAssembly, served on localhost
#      and driven in headless Chromium, compared with the command;
#   7. the Debian packages: built, checked with lintian, installed, used and
#      removed (scripts/packages.sh).
# Any failure, sanitizer report or fuzzer finding fails the run.
# KESTI_STAGES="main python web packages asan tsan fuzz" picks stages (default: all of them);
# an unknown stage name is refused. Warnings are errors in our own code.
set -euo pipefail
cd "$(dirname "$0")/.."

stages=${KESTI_STAGES:-main python web packages asan tsan fuzz}
# A run that names no known stage would test nothing and still pass.
for name in $stages; do
  case $name in
    main|python|web|packages|asan|tsan|fuzz) ;;
    *) echo "unknown stage '$name' in KESTI_STAGES (known: main python web packages asan tsan fuzz)" >&2; exit 2 ;;
  esac
done
[ -n "${stages// /}" ] || { echo "KESTI_STAGES names no stage" >&2; exit 2; }

bash scripts/install-deps.sh
jobs=$(nproc)
build=${KESTI_BUILD_DIR:-build}
started=$SECONDS

stage() { echo; echo "=== $1 ($((SECONDS - started)) s so far)"; }
wants() { [[ " $stages " == *" $1 "* ]]; }

if wants main; then
  stage "release build and the whole suite"
  # Warnings fail the build of our own code here; the benchmarks are
  # compiled (not run) so that they cannot rot.
  cmake --preset release -B "$build"
  cmake --build "$build" -j"$jobs"
  rm -f "$build/tests/windows-hosts.txt"
  status=0
  ctest --test-dir "$build" --output-on-failure -j"$jobs" || status=$?
  # Which Windows hosts ran under wine, and why one did not.
  if [ -f "$build/tests/windows-hosts.txt" ]; then
    echo "Windows hosts:"
    sed 's/^/  /' "$build/tests/windows-hosts.txt"
  fi
  [ "$status" -eq 0 ] || exit "$status"
fi

if wants python; then
  stage "the Python package in a fresh virtual environment"
  # Debian's python3 sees Debian's setuptools, pybind11 and pytest; the
  # package is built from this tree without reaching a package index, and
  # the tests import it from the environment, never from the source tree.
  venv=build-python/venv
  rm -rf build-python && mkdir -p build-python
  /usr/bin/python3 -m venv --system-site-packages "$venv"
  KESTI_BUILD_JOBS=$jobs "$venv/bin/pip" install --no-build-isolation --no-index --no-deps --quiet .
  (cd build-python && venv/bin/python -m pytest -q --import-mode=importlib ../python/tests)
fi

if wants web; then
  stage "the page in headless Chromium"
  # The command the page is compared with comes from the release build.
  if [ ! -x "$build/bin/kesti" ]; then
    cmake --preset release -B "$build" -DKESTI_BUILD_WINDOWS=OFF >/dev/null
    cmake --build "$build" -j"$jobs" --target kesti_command kesti_tables
  fi
  rm -rf build-web/site build-web/artifacts
  bash web/build.sh build-web/site
  KESTI_COMMAND="$PWD/$build/bin/kesti" KESTI_SITE="$PWD/build-web/site" \
    KESTI_WEB_ARTIFACTS="$PWD/build-web/artifacts" \
    /usr/bin/python3 -m pytest -q -p no:cacheprovider web/tests
fi

if wants packages; then
  stage "the Debian packages: built, checked, installed, used and removed"
  bash scripts/packages.sh build-packages
fi

# Sanitizer builds leave out what cannot run under them: the Windows
# cross-builds, the install and subproject tests (their C consumer would
# need the sanitizer runtime), the export-table check (the runtime adds its
# own symbols) and the throwing allocator (the runtime owns operator new).
# The configurations are the presets of CMakePresets.json.
sanitized() {
  local preset=$1
  cmake --preset "$preset"
  cmake --build "build-$preset" -j"$jobs" --target kesti kesti_tests kesti_command \
    kesti_replay_table_lookup kesti_replay_conversion kesti_replay_fields
}

if wants asan; then
  stage "the suite under AddressSanitizer and UndefinedBehaviorSanitizer"
  sanitized asan
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" \
      -E '^(install_and_consume|subproject_consume|shared_library_exports|throwing_allocator|windows_.*)$'
fi

if wants tsan; then
  stage "concurrent calls under ThreadSanitizer"
  sanitized tsan
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    build-tsan/bin/kesti_tests --gtest_filter='Concurrency.*:ProseConcurrency.*:Exports.*:CApi.*'
fi

if wants fuzz; then
  stage "fuzzing under AddressSanitizer and UndefinedBehaviorSanitizer"
  cmake --preset fuzz
  cmake --build build-fuzz -j"$jobs" --target kesti_fuzz_table_lookup kesti_fuzz_conversion kesti_fuzz_fields
  findings=build-fuzz/findings
  mkdir -p "$findings"
  for target in table_lookup conversion fields; do
    # New inputs go to a scratch copy; the committed corpus only seeds it.
    corpus=build-fuzz/corpus-$target
    rm -rf "$corpus" && mkdir -p "$corpus"
    echo "fuzzing $target for ${KESTI_FUZZ_SECONDS:-60} s"
    if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        build-fuzz/bin/kesti_fuzz_$target -max_total_time="${KESTI_FUZZ_SECONDS:-60}" \
        -max_len=2048 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$corpus" "fuzz/corpus/$target"; then
      echo "the fuzzer found a failing input; it is in $findings:" >&2
      ls -l "$findings" >&2
      echo "add it to fuzz/corpus/$target as a seed once it is fixed" >&2
      exit 1
    fi
  done
fi

stage "all stages passed"
