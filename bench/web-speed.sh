#!/usr/bin/env bash
# The web page beside the native program on a generated data file (30 populations, 20
# variables, six decimals): bench/web_speed.js in interleaved rounds.
#   bench/web-speed.sh BENCH_BUILD_DIR [ROUNDS] [SIZE_MB]     (default: 5 rounds, 100 MB)
# BENCH_BUILD_DIR is configured with -DTAVRIK_BENCH=ON (for the generator); the page and the
# engine come from build-web/ (tools/web.sh), the native program from TAVRIK_BATCH or build/.
# The file goes to $TAVRIK_BENCH_DIR (default $TMPDIR or /tmp) and is removed at the end.
set -euo pipefail
build=${1:?usage: bench/web-speed.sh BENCH_BUILD_DIR [ROUNDS] [SIZE_MB]}
rounds=${2:-5}
size=${3:-100}
dir=$(mktemp -d "${TAVRIK_BENCH_DIR:-${TMPDIR:-/tmp}}/tavrik-web-speed.XXXXXX")
trap 'rm -rf "$dir"' EXIT
"$build/bench/tavrik-gen-tvk" --pops 30 --vars 20 --decimals 6 --size-mb "$size" \
    --out "$dir/data.tvk"
node "$(dirname "$0")/web_speed.js" "$dir/data.tvk" "$rounds"
