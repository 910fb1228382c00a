#!/usr/bin/env bash
# Runs the Windows host test under wine in a fresh, temporary prefix, so that
# no user's prefix is ever touched.
#
#   wine.sh setup   ARCH STATE       create the prefix (once per test run)
#   wine.sh run     ARCH STATE EXE DLL GOLDEN
#   wine.sh cleanup ARCH STATE       remove the prefix
#
# STATE is a file that remembers the prefix between the steps. Without wine,
# the steps skip (exit 77) outside CI and fail in CI.
set -euo pipefail
step=$1 arch=$2 state=$3
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
if [ "$arch" = i686 ]; then export WINEARCH=win32; else export WINEARCH=win64; fi

if ! command -v wine >/dev/null; then
  echo "wine is not installed: sudo dpkg --add-architecture i386 && sudo apt-get update && sudo apt-get install wine wine64 wine32 (or run scripts/install-deps.sh)"
  [ "${CI:-}" = true ] && exit 1
  exit 77
fi

case $step in
  setup)
    [ -f "$state" ] && rm -rf "$(cat "$state")"
    prefix=$(mktemp -d "${TMPDIR:-/tmp}/kesti-wine-$arch.XXXXXX")
    echo "$prefix" > "$state"
    WINEPREFIX=$prefix wineboot -i >/dev/null 2>&1
    WINEPREFIX=$prefix wineserver -w
    echo "created $WINEARCH prefix $prefix"
    ;;
  run)
    exe=$4 dll=$5 golden=$6
    [ -f "$state" ] || { echo "no wine prefix: the setup step did not run"; exit 1; }
    prefix=$(cat "$state")
    WINEPREFIX=$prefix wine "$exe" "Z:${dll//\//\\}" "Z:${golden//\//\\}"
    ;;
  cleanup)
    if [ -f "$state" ]; then
      prefix=$(cat "$state")
      WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
      rm -rf "$prefix" "$state"
    fi
    ;;
esac
