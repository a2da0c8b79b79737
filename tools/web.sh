#!/usr/bin/env bash
# The web page: the engine compiled to WebAssembly by emscripten, bundled with the page into
# build-web/tavrik.html, then tested in headless Chromium (web/test) against tavrik-batch of the
# native build (build/, made by tools/test.sh).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source tools/common.sh
tavrik_deps "${TAVRIK_WEB_PACKAGES[@]}"
command -v npm >/dev/null || tavrik_deps npm
# emscripten's optimiser needs Debian's acorn, which a node from elsewhere does not look for
export NODE_PATH=/usr/share/nodejs
emcmake cmake -S . -B build-web -DCMAKE_BUILD_TYPE=Release -DTAVRIK_GUI=OFF -DTAVRIK_TESTS=OFF \
    >/dev/null
cmake --build build-web -j "$(nproc)" --target tavrik-engine
python3 tools/web_bundle.py build-web/web/tavrik-engine.js build-web/tavrik.html
size=$(stat -c %s build-web/tavrik.html)
echo "build-web/tavrik.html: $size bytes"
if [ "$size" -ge $((3 * 1024 * 1024)) ]; then
    echo "tools/web.sh: the page has grown past 3 MB" >&2
    exit 1
fi
if [ "${1:-}" = "--no-test" ]; then
    exit 0
fi
batch=build/src/cli/tavrik-batch
if [ ! -x "$batch" ]; then
    tavrik_build build -DTAVRIK_GUI=OFF
fi
(cd web/test && npm ci --no-audit --no-fund --loglevel=error)
TAVRIK_BATCH="$PWD/$batch" TAVRIK_PAGE="$PWD/build-web/tavrik.html" node --test web/test/*.test.*js
