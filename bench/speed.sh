#!/usr/bin/env bash
# Generates the benchmark data files (30 populations, 20 variables, six decimals) and prints,
# for each, the median, least and greatest wall time and peak resident memory of every mode,
# measured in interleaved rounds (one process per measurement).
#   bench/speed.sh BUILD_DIR [ROUNDS] [SIZES_MB...]     (default: 5 rounds, 300 and 1000 MB)
set -euo pipefail
build=${1:?usage: bench/speed.sh BUILD_DIR [ROUNDS] [SIZES_MB...]}
rounds=${2:-5}
shift $(( $# >= 2 ? 2 : 1 ))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(300 1000)
gen="$build/bench/tavrik-gen-tvk"
bench="$build/bench/RunBench"
dir=${TAVRIK_BENCH_DIR:-${TMPDIR:-/tmp}}
cores=$(nproc)
budget=$(( 4 << 30 ))

modes=(
    "f1|f1"
    "fn|fn"
    "ff1|ff1"
    "scan 1 thread|scan 1"
    "scan $cores threads|scan $cores"
    "run, cache, $cores threads|run $cores $budget"
    "run, no cache, $cores threads|run $cores 0"
    "run, no cache, 1 thread|run 1 0"
    "run, cache, 1 thread|run 1 $budget"
)

for mb in "${sizes[@]}"; do
    file="$dir/tavrik-speed-${mb}mb.tvk"
    [ -f "$file" ] || "$gen" --pops 30 --vars 20 --decimals 6 --size-mb "$mb" --seed 7 \
        --out "$file" >/dev/null
    results=$(mktemp)
    for ((r = 1; r <= rounds; r++)); do
        for m in "${modes[@]}"; do
            name=${m%%|*}
            read -r -a words <<<"${m#*|}"
            out=$("$bench" "${words[0]}" "$file" "${words[@]:1}" 2>/dev/null) || continue
            echo "$name|$out" >>"$results"
        done
    done
    echo "$file ($(stat -c %s "$file") bytes), $rounds rounds, $cores cores"
    printf '%-28s %8s %17s %9s\n' mode "median s" "(min - max)" "peak MiB"
    for m in "${modes[@]}"; do
        name=${m%%|*}
        awk -F'|' -v n="$name" '$1 == n { print $2 }' "$results" | sort -n | awk -v name="$name" '
            { t[NR] = $1; if ($2 > rss) rss = $2 }
            END {
                if (NR == 0) exit
                med = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
                printf "%-28s %8.2f (%6.2f - %6.2f) %9.1f\n", name, med, t[1], t[NR], rss
            }'
    done
    rm -f "$results"
done
