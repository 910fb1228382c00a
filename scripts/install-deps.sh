#!/usr/bin/env bash
# Installs the Debian packages that building and testing kesti needs, and
# only those that are missing. Safe to run again.
#   --minimal  only what building the library, the command and the tests needs
#   --list     print the packages that would be asked for, install nothing
set -euo pipefail
cd "$(dirname "$0")/.."

minimal=false list=false
for arg in "$@"; do
  case $arg in
    --minimal) minimal=true ;;
    --list) list=true ;;
    *) echo "install-deps.sh: unknown option '$arg' (use --minimal or --list)" >&2; exit 2 ;;
  esac
done

packages=(
  cmake make g++ pkg-config binutils     # build, install test, export checks
  googletest libgtest-dev                # unit tests
  python3 scowl                          # the table generator's test (SCOWL's word lists)
  libutf8proc-dev                        # Unicode composition for the running-text engine
)
# wine32 is an i386 package, and the i386 architecture is added for it only
# where the kernel runs 32-bit programs: elsewhere the 32-bit host cannot
# run, and its test says so and skips.
runs32=false
bash scripts/runs-32bit.sh && runs32=true
if ! $minimal; then
  packages+=(
    libbenchmark-dev                     # benchmarks
    g++-mingw-w64-i686 g++-mingw-w64-x86-64  # KESTI.dll, 32-bit and x64
    wine wine64                          # the Windows host test (64-bit)
    clang-14 libclang-rt-14-dev          # libFuzzer and the sanitizer runtimes
    valgrind                             # the memcheck run
    python3-venv python3-dev python3-setuptools python3-wheel  # the Python package,
    python3-pybind11 pybind11-dev python3-pytest               # built without a package index
    python3-pandas                       # the Python README's pandas example, run by its tests
    patch man-db bash-completion         # --diff applied by patch, the manual page, completion
    emscripten                           # the page: the library compiled to WebAssembly
    chromium chromium-driver python3-selenium  # the page's tests in headless Chromium
    debhelper dh-python python3-all-dev lintian  # the Debian packages, built and checked
  )
  $runs32 && packages+=(wine32:i386)     # the Windows host test (32-bit)
fi

if $list; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "installing: ${missing[*]}"
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
