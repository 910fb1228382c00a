#!/usr/bin/env bash
# Exits 0 when this machine's kernel runs 32-bit x86 programs, 1 when it
# does not. Some kernels are built or booted without them; there wine's
# 32-bit loader fails with "Exec format error", and the 32-bit KESTI.dll
# cannot be run under wine.
#
# The probe is the smallest i386 program there is (93 bytes: exit(0) by
# int 0x80, no libraries), so it needs nothing installed.
# KESTI_NO_32BIT=1 answers "no" on any machine, so that the path taken on
# such kernels can be tested everywhere.
set -u
[ "${KESTI_NO_32BIT:-}" = 1 ] && exit 1
[ "$(uname -m)" = x86_64 ] || [ "$(uname -m)" = i686 ] || exit 1
probe=$(mktemp "${TMPDIR:-/tmp}/kesti-i386-probe.XXXXXX") || exit 1
trap 'rm -f "$probe"' EXIT
hex=7f454c46010101000000000000000000020003000100000054800408340000000000000000000000
hex+=340020000100000000000000010000000000000000800408008004085d0000005d000000050000
hex+=0000100000b80100000031dbcd80
printf '%b' "$(printf '%s' "$hex" | sed 's/../\\x&/g')" > "$probe"
chmod +x "$probe"
"$probe" 2>/dev/null || exit 1
