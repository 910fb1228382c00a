#!/usr/bin/env bash
# Installs the Debian packages that building and testing kesti needs, and
# only those that are missing. Safe to run again.
set -euo pipefail

# --minimal: only what building the library, the command and the tests needs.
packages=(
  cmake make g++ pkg-config binutils     # build, install test, export checks
  googletest libgtest-dev                # unit tests
  python3                                # the table generator's test
  libutf8proc-dev                        # Unicode composition for the running-text engine
)
full=false
if [ "${1:-}" != "--minimal" ]; then
  full=true
  packages+=(
    libbenchmark-dev                     # benchmarks
    g++-mingw-w64-i686 g++-mingw-w64-x86-64  # KESTI.dll, 32-bit and x64
    wine wine64 wine32:i386              # the Windows host test
    clang-14 libclang-rt-14-dev          # libFuzzer and the sanitizer runtimes
    valgrind                             # the memcheck run
    python3-venv python3-dev python3-setuptools python3-wheel  # the Python package,
    python3-pybind11 pybind11-dev python3-pytest               # built without a package index
    emscripten                           # the page: the library compiled to WebAssembly
    chromium chromium-driver python3-selenium  # the page's tests in headless Chromium
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "installing: ${missing[*]}"
# wine32 is an i386 package.
if $full && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo[@]}" dpkg --add-architecture i386
fi
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
