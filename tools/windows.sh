#!/usr/bin/env bash
# The core, tavrik-batch.exe and their tests cross-compiled for 64-bit Windows with mingw-w64 in
# build-mingw/, and the tests run under wine (console only: no display is needed or used).
# Wine keeps its settings in build-mingw/wine, so nothing outside the build folder changes. When
# the tests pass, build-mingw/tavrik-<version>-windows-x86_64.zip holds what a Windows user needs.
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

# The Windows zip: the program, the texts a user reads first, the manual page as HTML and the
# examples, in one folder; the program in it must start.
if [ $status -eq 0 ]; then
    version=$(sed -n 's/^project(tavrik VERSION \([0-9.]*\).*/\1/p' "$TAVRIK_ROOT/CMakeLists.txt")
    name="tavrik-$version-windows-x86_64"
    rm -rf "$dir/$name" "$dir/$name.zip"
    mkdir -p "$dir/$name/examples"
    x86_64-w64-mingw32-strip -o "$dir/$name/tavrik-batch.exe" "$dir/src/cli/tavrik-batch.exe"
    cp "$TAVRIK_ROOT/README.md" "$TAVRIK_ROOT/LICENSE" "$TAVRIK_ROOT/CHANGELOG.md" "$dir/$name/"
    groff -man -Thtml "$TAVRIK_ROOT/docs/man/tavrik-batch.1" | sed '/CreationDate/d' \
        >"$dir/$name/tavrik-batch.html"
    cp "$TAVRIK_ROOT"/examples/*.tvk "$TAVRIK_ROOT"/examples/*.csv "$dir/$name/examples/"
    (cd "$dir" && zip -qrX "$name.zip" "$name")
    (cd "$dir/$name" && /usr/lib/wine/wine64 tavrik-batch.exe --version | head -1) || status=1
    echo "Windows zip: $name.zip, $(stat -c %s "$dir/$name.zip") bytes"
fi
/usr/lib/wine/wineserver -k 2>/dev/null || true
exit $status
