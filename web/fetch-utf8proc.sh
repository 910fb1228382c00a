#!/usr/bin/env bash
# Fetches utf8proc's C source from Debian's source package into DIR (given),
# for the WebAssembly build: Debian ships utf8proc built for the machine
# only. apt verifies the package against the archive's signed index. The
# download uses its own sources list and package lists, so the machine's
# apt state is left as it was.
set -euo pipefail
dest=${1:?usage: fetch-utf8proc.sh DIR}
if [ -f "$dest/utf8proc.c" ]; then exit 0; fi
. /etc/os-release
mirror=${KESTI_DEBIAN_MIRROR:-http://deb.debian.org/debian}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/lists/partial" "$work/archives/partial"
echo "deb-src $mirror ${VERSION_CODENAME:-bookworm} main" > "$work/sources.list"
apt_options=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
             -o Dir::State::Lists="$work/lists" -o Dir::Cache::Archives="$work/archives"
             -o APT::Sandbox::User=root -o Debug::NoLocking=1)
apt-get "${apt_options[@]}" -qq update
(cd "$work" && apt-get "${apt_options[@]}" -qq source --download-only utf8proc)
mkdir -p "$dest"
tar -xzf "$work"/utf8proc_*.orig.tar.gz -C "$dest" --strip-components=1
test -f "$dest/utf8proc.c"
echo "utf8proc source in $dest"
