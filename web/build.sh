#!/usr/bin/env bash
# Builds the page into a folder of static files, build-web/site (or the
# folder given), with Debian's emscripten: the library compiled to
# WebAssembly, the worker and page scripts, and the shipped tables.
# Serve it with: python3 -m http.server -d build-web/site 8000
set -euo pipefail
cd "$(dirname "$0")/.."
work=${KESTI_WEB_BUILD_DIR:-build-web}
site=$(realpath -m "${1:-$work/site}")
bash web/fetch-utf8proc.sh "$work/utf8proc"
# emscripten's JavaScript helpers need acorn, which Debian keeps in its own
# Node.js module folder (a Node.js from elsewhere does not look there).
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs
emcmake cmake --preset web -B "$work/wasm" \
  -DKESTI_UTF8PROC_SOURCE="$(realpath -m "$work/utf8proc")" -DKESTI_SITE_DIR="$site" >/dev/null
cmake --build "$work/wasm" -j"$(nproc)" --target kesti_site
echo "the page is in $site"
