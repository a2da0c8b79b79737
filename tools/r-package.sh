#!/usr/bin/env bash
# The R package: assembles it in build-r/tavrik (bindings/r, the Qt-free core's sources, the
# generated version header and the three header-only libraries it needs), then R CMD build and
# R CMD check --no-manual, offline. The tests compare with tavrik-batch when TAVRIK_BATCH names
# it (default: build/src/cli/tavrik-batch, when built).
# Usage: tools/r-package.sh [OUT_DIR]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="$(mkdir -p "${1:-$ROOT/build-r}" && cd "${1:-$ROOT/build-r}" && pwd)"
PKG="$OUT/tavrik"

for p in r-base-dev r-cran-rcpp r-cran-testthat r-cran-ape r-cran-jsonlite; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ -n "${missing[*]:-}" ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
fi

rm -rf "$PKG"
cp -r "$ROOT/bindings/r" "$PKG"
layers=(state io datafile report analysis export api)
for layer in "${layers[@]}"; do
    mkdir -p "$PKG/src/$layer"
    cp "$ROOT/src/$layer"/*.cpp "$ROOT/src/$layer"/*.h "$PKG/src/$layer/"
done
mkdir -p "$PKG/src/tavrik"
cp "$ROOT/include/tavrik/tavrik.h" "$PKG/src/tavrik/"
version="$(sed -n 's/^project(tavrik VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")"
sed "s/@PROJECT_VERSION@/$version/g" "$ROOT/src/state/Version.h.in" >"$PKG/src/state/Version.h"
cp -r /usr/include/nlohmann "$PKG/src/nlohmann"
cp -r /usr/include/fast_float "$PKG/src/fast_float"
cp -r /usr/include/fmt "$PKG/src/fmt"
mkdir -p "$PKG/inst/extdata"
cp "$ROOT/examples/highland.tvk" "$ROOT/examples/highland_geography.csv" "$PKG/inst/extdata/"

Rscript -e "Rcpp::compileAttributes('$PKG')" >/dev/null
# every source of the core and the glue; R's own rules compile them where they lie. The
# floating-point flags reach the compiler through configure, which writes src/Makevars.
objects="$(cd "$PKG/src" && find . -name '*.cpp' | sed 's|^\./||; s|\.cpp$|.o|' | sort | tr '\n' ' ')"
cat >"$PKG/src/Makevars.in" <<MAKEVARS
CXX_STD = CXX20
PKG_CPPFLAGS = -I. -DNDEBUG -DFMT_HEADER_ONLY
PKG_CXXFLAGS = @FLOAT_FLAGS@ \$(SHLIB_PTHREAD_FLAGS)
PKG_LIBS = \$(SHLIB_PTHREAD_FLAGS)
OBJECTS = $objects
MAKEVARS
: "${TAVRIK_BATCH:=$ROOT/build/src/cli/tavrik-batch}"
if [ -x "$TAVRIK_BATCH" ]; then export TAVRIK_BATCH; else unset TAVRIK_BATCH; fi
cd "$OUT"
# offline: no repository to ask about the suggested packages
echo 'options(repos = character())' >"$OUT/Rprofile"
export R_PROFILE_USER="$OUT/Rprofile"
start=$(date +%s)
R CMD build --no-manual tavrik >build.log 2>&1 || { cat build.log; exit 1; }
tarball="$(ls -t tavrik_*.tar.gz | head -1)"
export _R_CHECK_FORCE_SUGGESTS_=false MAKEFLAGS="-j$(nproc)"
R CMD check --no-manual "$tarball" >check.log 2>&1 || { cat check.log; exit 1; }
cat check.log
if grep -Eq '^Status: .*(ERROR|WARNING)' check.log; then
    exit 1
fi
echo "R package: built and checked in $(($(date +%s) - start)) s"
