#!/usr/bin/env bash
# Install what is missing, build, and run every test.
#   tools/test.sh             the normal build in build/
#   tools/test.sh --sanitize  the same suite under AddressSanitizer and UBSan in build-asan/
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
tavrik_deps
dir="$TAVRIK_ROOT/build"
opts=()
if [ "${1:-}" = "--sanitize" ]; then
    dir="$TAVRIK_ROOT/build-asan"
    opts+=(-DSANITIZE=ON)
fi
if [ "${CI:-}" = "true" ]; then
    opts+=(-DTAVRIK_WERROR=ON)
fi
tavrik_build "$dir" "${opts[@]}"
cd "$dir"
ctest --output-on-failure -j "$(nproc)"
