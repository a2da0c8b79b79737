#!/usr/bin/env bash
# The core, tavrik-batch.exe and their tests cross-compiled for 64-bit Windows with mingw-w64 in
# build-mingw/, and the tests run under wine (console only: no display is needed or used).
# Wine keeps its settings in build-mingw/wine, so nothing outside the build folder changes.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
tavrik_deps
tavrik_deps "${TAVRIK_WINDOWS_PACKAGES[@]}"
dir="$TAVRIK_ROOT/build-mingw"
opts=()
if [ "${CI:-}" = "true" ]; then
    opts+=(-DTAVRIK_WERROR=ON)
fi
cmake -S "$TAVRIK_ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$TAVRIK_ROOT/cmake/mingw-w64.cmake" -DTAVRIK_GUI=OFF "${opts[@]}" \
    "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
export WINEPREFIX="$dir/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
mkdir -p "$WINEPREFIX"
# The first start writes the prefix; later ones find it ready.
/usr/lib/wine/wine64 cmd /c exit >/dev/null 2>&1 || true
cd "$dir"
status=0
ctest --output-on-failure -j "$(nproc)" || status=$?
/usr/lib/wine/wineserver -k 2>/dev/null || true
exit $status
