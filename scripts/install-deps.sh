#!/usr/bin/env bash
# Installs the Debian packages that building and testing kesti needs, and
# only those that are missing. Safe to run again.
set -euo pipefail

packages=(
  cmake make g++ pkg-config binutils     # build, install test, export checks
  googletest libgtest-dev                # unit tests
  libbenchmark-dev                       # benchmarks
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
echo "installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
