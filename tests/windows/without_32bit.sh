#!/usr/bin/env bash
# The path a kernel without 32-bit programs takes, tested on any kernel with
# KESTI_NO_32BIT=1: the probe answers no, the 32-bit host's steps skip with
# one line saying why (also in CI), its record says it did not run, and the
# packages asked for leave out the i386 architecture's wine32.
set -u
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export KESTI_NO_32BIT=1 CI=true
failed=0
fail() { echo "FAILED: $1"; failed=1; }

bash "$here/../../scripts/runs-32bit.sh" && fail "the probe answers yes under KESTI_NO_32BIT=1"
for step in setup run cleanup; do
  out=$(bash "$here/wine.sh" "$step" i686 "$work/state" "$work/host.exe" "$work/KESTI.dll" "$work/golden" 2>&1)
  status=$?
  [ "$status" -eq 77 ] || fail "$step exits $status, not 77 (skipped)"
  if [ "$step" != cleanup ]; then
    [ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || fail "$step says more than one line: $out"
    grep -q "runs no 32-bit programs" <<< "$out" || fail "$step does not say why: $out"
  fi
done
grep -q "^i686: not run: this kernel runs no 32-bit programs" "$work/windows-hosts.txt" ||
  fail "the hosts record does not say the 32-bit host did not run"
bash "$here/../../scripts/install-deps.sh" --list | grep -q ':i386' && fail "install-deps asks for i386 packages"
[ "$failed" -eq 0 ] && echo "the path without 32-bit programs holds"
exit "$failed"
