#!/usr/bin/env bash
# Builds the Debian packages from this tree (debian/), checks them with
# lintian, installs them with apt-get as a user would, uses each (the
# command, a C program built with pkg-config, a CMake consumer, Python), then
# purges them and checks that the system is as it was: no package, no file
# under /usr of theirs or made by them. Needs root (or sudo) for apt-get.
#   bash scripts/packages.sh [WORK_DIR]      (default build-packages)
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(realpath -m "${1:-build-packages}")
packages=(kesti-data libkesti1 libkesti-dev kesti python3-kesti)
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
# Debian's own tools and interpreters, whatever else is first on PATH.
export PATH=/usr/sbin:/usr/bin:/sbin:/bin

step() { echo "--- $1"; }
fail() { echo "packages: $1" >&2; exit 1; }

# A clean copy of the tree: what git tracks and what it would add.
rm -rf "$work" && mkdir -p "$work/src/kesti"
git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$work/src/kesti"

step "building the packages"
(cd "$work/src/kesti" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc -b > "$work/build.log" 2>&1) ||
  { tail -40 "$work/build.log"; fail "dpkg-buildpackage failed (the log is $work/build.log)"; }
ls "$work"/src/*.deb

step "lintian"
# Errors and warnings fail; what lintian says is explained in debian/*.lintian-overrides.
lintian --fail-on error,warning "$work"/src/*.changes ||
  fail "lintian found errors or warnings"

step "installing"
"${sudo[@]}" dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true
before=$(dpkg-query -W -f='${Package} ${Status}\n' | sort)
marker=$(mktemp)
sleep 1
debs=()
for p in "${packages[@]}"; do debs+=("$(ls "$work"/src/"${p}"_*.deb)"); done
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${debs[@]}" >/dev/null
listed=$(dpkg -L "${packages[@]}" | sort -u)

step "using them"
use=$(mktemp -d)
trap 'rm -rf "$use" "$marker"' EXIT
out=$(env -u KESTI_TABLE_DIR kesti --text "Mao Tse-tung was born in Hu-nan.")
[ "$out" = "Mao Zedong was born in Hu-nan." ] || [ "$out" = "Mao Zedong was born in Hunan." ] ||
  fail "kesti --text gave: $out"
echo "kesti: $out"
man -w kesti >/dev/null 2>&1 || [ -f /usr/share/man/man1/kesti.1.gz ] || fail "no manual page"
cc -std=c99 -Wall -Werror tests/consumer/consumer.c $(pkg-config --cflags --libs kesti) -o "$use/pc_consumer"
env -u KESTI_TABLE_DIR "$use/pc_consumer"
cmake -S tests/consumer -B "$use/cmake" >/dev/null && cmake --build "$use/cmake" >/dev/null
env -u KESTI_TABLE_DIR "$use/cmake/consumer" >/dev/null
(cd "$use" && env -u KESTI_TABLE_DIR -u PYTHONPATH /usr/bin/python3 -c "
import kesti
assert kesti.__file__.startswith('/usr/lib/python3/dist-packages/'), kesti.__file__
assert kesti.convert('Mao Tse-tung') == 'Mao Zedong', kesti.convert('Mao Tse-tung')
print('python3:', kesti.convert('Pei-ching ta-hsueh'))")

step "removing"
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get purge -y -qq "${packages[@]}" >/dev/null
after=$(dpkg-query -W -f='${Package} ${Status}\n' | sort)
[ "$before" = "$after" ] || fail "the installed packages differ: $(diff <(echo "$before") <(echo "$after") | head)"
left=$(while IFS= read -r f; do [ -e "$f" ] && [ ! -d "$f" ] && echo "$f"; done <<< "$listed" || true)
[ -z "$left" ] || fail "files left behind: $left"
for d in /usr/share/kesti /usr/include/kesti /usr/lib/python3/dist-packages/kesti /usr/lib/*/cmake/kesti; do
  [ ! -e "$d" ] || fail "$d is left behind"
done
made=$(find /usr -xdev -newer "$marker" ! -type d 2>/dev/null | grep -v '^/usr/local/' || true)
[ -z "$made" ] || fail "files made under /usr and left: $(echo "$made" | head)"
echo "packages built, checked, installed, used and removed; nothing left"
