#!/usr/bin/env bash
# Build the fuzz targets (the data file reader, the CSV import, the two readers compared) with
# clang in build-fuzz/ and run each for a bounded time.
#   tools/fuzz.sh [SECONDS]    default 60 for each target; extra arguments go to libFuzzer
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
shift || true
dir="$root/build-fuzz"
CXX=clang++ cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIK_FUZZ=ON \
    -DTAVRIK_GUI=OFF -DTAVRIK_TESTS=OFF >/dev/null
cmake --build "$dir" --target datafile_fuzz csv_import_fuzz reader_paths_fuzz -j 2
mkdir -p "$dir/crashes"
cd "$dir"
# target, then the test files that seed its corpus
run() {
    local target="$1" pattern="$2" corpus="$dir/corpus-$1"
    mkdir -p "$corpus"
    cp -n "$root"/tests/data/$pattern "$corpus"/ 2>/dev/null || true
    ./fuzz/"$target" "$corpus" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
        -artifact_prefix="$dir/crashes/$target-" -print_final_stats=1 "${@:3}"
}
run datafile_fuzz '*.tvk' "$@"
run csv_import_fuzz '*.csv' "$@"
run reader_paths_fuzz '*.tvk' "$@"
