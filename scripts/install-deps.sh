#!/usr/bin/env bash
# Installs the Debian packages that building and testing kesti needs, and
# only those that are missing. Safe to run again.
set -euo pipefail

# --minimal: only what building the library, the command and the tests needs.
packages=(
  cmake make g++ pkg-config binutils     # build, install test, export checks
  googletest libgtest-dev                # unit tests
  python3                                # the table generator's test
)
if [ "${1:-}" != "--minimal" ]; then
  packages+=(
    libbenchmark-dev                     # benchmarks
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
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
