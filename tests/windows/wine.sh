#!/usr/bin/env bash
# Runs the Windows host test under wine in a fresh, temporary prefix, so that
# no user's prefix is ever touched.
#
#   wine.sh setup   ARCH STATE       create the prefix (once per test run)
#   wine.sh run     ARCH STATE EXE DLL GOLDEN
#   wine.sh cleanup ARCH STATE       remove the prefix
#
# STATE is a file that remembers the prefix between the steps; beside it,
# windows-hosts.txt says which hosts ran and which did not, and why.
#
# The 64-bit host runs under wine64 itself: the wine command starts the
# 32-bit loader whenever wine32 is installed, which fails on a kernel that
# runs no 32-bit programs. The 32-bit host runs only where the kernel runs
# 32-bit programs (scripts/runs-32bit.sh; KESTI_NO_32BIT=1 makes any kernel
# count as one without); elsewhere its steps say so in one line and skip
# (exit 77), also in CI, while the DLL's export table is still checked.
# Without wine the steps skip outside CI and fail in CI.
set -euo pipefail
step=$1 arch=$2 state=$3
here=$(cd "$(dirname "$0")" && pwd)
hosts=$(dirname "$state")/windows-hosts.txt
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=

# One line per host in $hosts, written by its run step; setup starts afresh.
note() {
  echo "$1"
  [ "$step" = run ] && echo "$arch: $1" >> "$hosts"
  return 0
}
if [ "$step" = setup ] && [ -f "$hosts" ]; then
  grep -v "^$arch: " "$hosts" > "$hosts.new" || true
  mv "$hosts.new" "$hosts"
fi

if [ "$arch" = i686 ]; then
  export WINEARCH=win32
  if ! bash "$here/../../scripts/runs-32bit.sh"; then
    [ "$step" = cleanup ] && exit 77
    note "not run: this kernel runs no 32-bit programs, so the 32-bit KESTI.dll was not loaded under wine (its exports, ordinals, names and imports are checked by windows_i686_exports)"
    exit 77
  fi
  loader=/usr/lib/wine/wine
  package=wine32:i386
else
  export WINEARCH=win64
  loader=/usr/lib/wine/wine64
  package=wine64
  export WINELOADER=$loader
fi
server=/usr/lib/wine/wineserver
[ -x "$server" ] || server=$(command -v wineserver || echo /usr/lib/wine/wineserver)

if [ ! -x "$loader" ]; then
  echo "wine for $arch is not installed ($loader): sudo apt-get install $package (or run scripts/install-deps.sh)"
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi

case $step in
  setup)
    [ -f "$state" ] && rm -rf "$(cat "$state")"
    prefix=$(mktemp -d "${TMPDIR:-/tmp}/kesti-wine-$arch.XXXXXX")
    echo "$prefix" > "$state"
    WINEPREFIX=$prefix "$loader" wineboot -i >/dev/null 2>&1
    WINEPREFIX=$prefix "$server" -w
    echo "created $WINEARCH prefix $prefix"
    ;;
  run)
    exe=$4 dll=$5 golden=$6
    [ -f "$state" ] || { echo "no wine prefix: the setup step did not run"; exit 1; }
    prefix=$(cat "$state")
    status=0
    WINEPREFIX=$prefix "$loader" "$exe" "Z:${dll//\//\\}" "Z:${golden//\//\\}" || status=$?
    if [ "$status" -eq 0 ]; then note "ran under wine"; else note "FAILED under wine"; fi
    exit "$status"
    ;;
  cleanup)
    if [ -f "$state" ]; then
      prefix=$(cat "$state")
      WINEPREFIX=$prefix "$server" -k 2>/dev/null || true
      rm -rf "$prefix" "$state"
    fi
    ;;
esac
