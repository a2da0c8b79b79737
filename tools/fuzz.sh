#!/usr/bin/env bash
# Build the data file fuzz target with clang in build-fuzz/ and run it for a bounded time.
#   tools/fuzz.sh [SECONDS]    default 60; extra arguments go to libFuzzer
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
shift || true
dir="$root/build-fuzz"
CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIK_FUZZ=ON \
    -DTAVRIK_GUI=OFF -DTAVRIK_TESTS=OFF >/dev/null
cmake --build "$dir" --target datafile_fuzz -j 2
corpus="$dir/corpus"
mkdir -p "$corpus" "$dir/crashes"
cp -n "$root"/tests/data/*.tvk "$corpus"/ 2>/dev/null || true
cd "$dir"
exec ./fuzz/datafile_fuzz "$corpus" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -artifact_prefix="$dir/crashes/" -print_final_stats=1 "$@"
