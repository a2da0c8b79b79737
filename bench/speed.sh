#!/usr/bin/env bash
# Generates the benchmark data files (30 populations, 20 variables, six decimals) and prints,
# for each, the median, least and greatest wall time and the peak resident memory of every
# mode, measured in interleaved rounds (one process per measurement), with each median as a
# ratio to the parse floors F1 (one thread) and Fn (every core) of the same rounds.
#   bench/speed.sh BUILD_DIR [ROUNDS] [SIZES_MB...]     (default: 5 rounds, 300 and 1000 MB)
# The files go to $TAVRIK_BENCH_DIR (default $TMPDIR or /tmp), never into the source tree, and
# are removed at the end unless TAVRIK_BENCH_KEEP=1; TAVRIK_BENCH_MODES picks modes (see
# below). BUILD_DIR is configured with -DTAVRIK_BENCH=ON; the desktop is measured when it was
# built with the GUI.
set -euo pipefail
build=${1:?usage: bench/speed.sh BUILD_DIR [ROUNDS] [SIZES_MB...]}
rounds=${2:-5}
shift $(($# >= 2 ? 2 : 1))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(300 1000)
gen="$build/bench/tavrik-gen-tvk"
bench="$build/bench/RunBench"
desktop="$build/bench/DesktopBench"
batch="$build/src/cli/tavrik-batch"
dir=${TAVRIK_BENCH_DIR:-${TMPDIR:-/tmp}}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
case "$(cd "$dir" && pwd)/" in
"$source_dir"/*)
    echo "speed.sh: $dir is inside the source tree; give TAVRIK_BENCH_DIR elsewhere" >&2
    exit 2
    ;;
esac
cores=$(nproc)
budget=$((4 << 30))
out=$(mktemp -d "$dir/tavrik-speed-out.XXXXXX")
trap 'rm -rf "$out"' EXIT

modes=(
    "F1: from_chars, 1 thread|f1"
    "Fn: from_chars, $cores threads|fn"
    "fast_float, 1 thread|ff1"
    "mapped, 1 thread|m1"
    "mapped, $cores threads|mn"
    "reader scan, 1 thread|scan 1"
    "reader scan, $cores threads|scan $cores"
    "run, cache, $cores threads|run $cores $budget"
    "run, no cache, $cores threads|run $cores 0"
    "run, no cache, 1 thread|run 1 0"
    "run, cache, 1 thread|run 1 $budget"
    "tavrik-batch|batch"
)
[ -x "$desktop" ] && modes+=("desktop|desktop")
# TAVRIK_BENCH_MODES, an extended regular expression, keeps only the modes whose names match
# it (the two floors are always measured: every ratio needs them).
if [ -n "${TAVRIK_BENCH_MODES:-}" ]; then
    kept=("${modes[@]:0:2}")
    for m in "${modes[@]:2}"; do
        if grep -qE -- "$TAVRIK_BENCH_MODES" <<<"${m%%|*}"; then
            kept+=("$m")
        fi
    done
    modes=("${kept[@]}")
fi

# One measurement: "SECONDS PEAK_MIB CPU_SECONDS" on stdout, or nothing when it failed.
measure() {
    local file=$1 mode=$2
    shift 2
    case "$mode" in
    batch)
        /usr/bin/time -f '%e %M %U %S' -o "$out/time" "$batch" --report "$out/report.txt" \
            "$file" 2>/dev/null >/dev/null &&
            awk '{ printf "%s %.1f %.2f\n", $1, $2 / 1024, $3 + $4 }' "$out/time"
        ;;
    desktop)
        "$desktop" "$file" 2>/dev/null | awk '{ print $1, $2, $4 }'
        ;;
    *)
        "$bench" "$mode" "$file" "$@" 2>/dev/null | awk '{ print $1, $2, $4 }'
        ;;
    esac
}

echo "load before: $(uptime)"
for mb in "${sizes[@]}"; do
    file="$dir/tavrik-speed-${mb}mb.tvk"
    [ -f "$file" ] || "$gen" --pops 30 --vars 20 --decimals 6 --size-mb "$mb" --seed 7 \
        --out "$file" >/dev/null
    results="$out/results"
    : >"$results"
    for ((r = 1; r <= rounds; r++)); do
        for m in "${modes[@]}"; do
            name=${m%%|*}
            read -r -a words <<<"${m#*|}"
            got=$(measure "$file" "${words[@]}") || true
            [ -n "$got" ] && echo "$name|$got" >>"$results"
        done
    done
    echo "$file ($(stat -c %s "$file") bytes), $rounds rounds, $cores cores"
    printf '%-32s %8s %17s %9s %6s %6s %6s\n' mode "median s" "(min - max)" "peak MiB" "/ F1" \
        "/ Fn" "cpu s"
    median() { awk -F'|' -v n="$1" '$1 == n { print $2 }' "$results" | sort -n |
        awk '{ t[NR] = $1 } END { if (NR) print NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }'; }
    f1=$(median "${modes[0]%%|*}")
    fn=$(median "${modes[1]%%|*}")
    for m in "${modes[@]}"; do
        name=${m%%|*}
        cpu=$(awk -F'|' -v n="$name" '$1 == n { split($2, w, " "); print w[3] }' "$results" |
            sort -n | awk '{ t[NR] = $1 } END { if (NR) print t[int((NR + 1) / 2)] }')
        awk -F'|' -v n="$name" '$1 == n { print $2 }' "$results" | sort -n |
            awk -v name="$name" -v f1="${f1:-0}" -v fn="${fn:-0}" -v cpu="${cpu:-0}" '
            { t[NR] = $1; if ($2 > rss) rss = $2 }
            END {
                if (NR == 0) { printf "%-32s failed\n", name; exit }
                med = NR % 2 ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
                r1 = f1 > 0 ? med / f1 : 0
                rn = fn > 0 ? med / fn : 0
                printf "%-32s %8.2f (%6.2f - %6.2f) %9.1f %6.2f %6.2f %6.2f\n", name, med, t[1],
                    t[NR], rss, r1, rn, cpu
            }'
    done
    cp "$results" "$dir/tavrik-speed-${mb}mb.results"
    [ "${TAVRIK_BENCH_KEEP:-0}" = 1 ] || rm -f "$file"
done
echo "load after: $(uptime)"
