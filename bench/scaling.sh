#!/usr/bin/env bash
# How the cost of a sweep grows with the body's numerics, side by side in one run: body 1 as a
# preset, on the program built from BASELINE (a git revision, default the last one before body
# files) and on this tree; then this tree with twice the layers and twice the periods. Prints
# the median wall time of RUNS runs (default 3), peak memory and the ratios the numerics should
# keep: twice the layers at most 2.2x, twice the periods at most 2.1x, the preset within 5 %.
# Usage: bench/scaling.sh [JOBS]      BASELINE=rev RUNS=n
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${1:-$(nproc)}
runs=${RUNS:-3}
baseline=${BASELINE:-54de142}
scratch=$(mktemp -d)
trap 'git worktree remove --force "$scratch/src" > /dev/null 2>&1 || true; rm -rf "$scratch"' EXIT

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target tidal > /dev/null
git worktree add --detach "$scratch/src" "$baseline" > /dev/null 2>&1
cmake -S "$scratch/src" -B "$scratch/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
cmake --build "$scratch/build" -j "$(nproc)" --target tidal > /dev/null
echo "body 1 (241 viscosities x 2 rheologies), $jobs threads, median of $runs runs; baseline $baseline"

declare -A median
measure() { # label, program, options...
    local label=$1 program=$2; shift 2
    local times=() peak=0 t m
    for _ in $(seq 1 "$runs"); do
        rm -rf "$scratch/out"
        /usr/bin/time -f "%e %M" -o "$scratch/time.txt" "$program" --body 1 --jobs "$jobs" \
            --output "$scratch/out" "$@" > /dev/null
        read -r t m < "$scratch/time.txt"
        times+=("$t")
        [ "$m" -gt "$peak" ] && peak=$m
    done
    median[$label]=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    printf '%-34s %7.2f s   peak %6.1f MB   (runs: %s)\n' "$label" "${median[$label]}" \
        "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "${times[*]}"
}
ratio() { awk -v a="${median[$1]}" -v b="${median[$2]}" -v l="$3" -v lim="$4" \
    'BEGIN { r = a / b; printf "%-44s %.3f (limit %s) %s\n", l, r, lim, (r <= lim ? "ok" : "OVER") }'; }

measure "baseline: 20 layers, 10 periods" "$scratch/build/tidal"
measure "now: 20 layers, 10 periods" build/tidal
measure "now: 40 layers" build/tidal --set numerics.layers=40
measure "now: 20 periods" build/tidal --set numerics.periods=20
measure "now: 4000 steps per period" build/tidal --set numerics.steps_per_period=4000
ratio "now: 20 layers, 10 periods" "baseline: 20 layers, 10 periods" "preset against baseline:" 1.05
ratio "now: 40 layers" "now: 20 layers, 10 periods" "twice the layers:" 2.2
ratio "now: 20 periods" "now: 20 layers, 10 periods" "twice the periods:" 2.1
ratio "now: 4000 steps per period" "now: 20 layers, 10 periods" "twice the steps per period:" 2.1
