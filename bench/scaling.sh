#!/usr/bin/env bash
# How the cost of a sweep grows with the body's numerics, side by side in one run: body 1 as a
# preset, on the program built from BASELINE (a git revision, default the last one before body
# files) and on this tree; then this tree with twice the layers, twice the periods and twice
# the steps per period. Prints the median wall time of RUNS runs (default 3), peak memory and
# the ratios the numerics should keep: twice the layers at most 2.2x, twice the periods or
# steps at most 2.1x, the preset within 5 % of the baseline.
# Usage: bench/scaling.sh [JOBS]      BASELINE=rev RUNS=n
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
jobs=${1:-$(nproc)}
build_both "${BASELINE:-54de142}"
echo "body 1 (241 viscosities x 2 rheologies), $jobs threads, median of $runs runs"
measure "baseline: 20 layers, 10 periods" "$baseline" --body 1 --jobs "$jobs"
measure "now: 20 layers, 10 periods" "$now" --body 1 --jobs "$jobs"
measure "now: 40 layers" "$now" --body 1 --jobs "$jobs" --set numerics.layers=40
measure "now: 20 periods" "$now" --body 1 --jobs "$jobs" --set numerics.periods=20
measure "now: 4000 steps per period" "$now" --body 1 --jobs "$jobs" --set numerics.steps_per_period=4000
ratio "now: 20 layers, 10 periods" "baseline: 20 layers, 10 periods" "preset against baseline:" 1.05
ratio "now: 40 layers" "now: 20 layers, 10 periods" "twice the layers:" 2.2
ratio "now: 20 periods" "now: 20 layers, 10 periods" "twice the periods:" 2.1
ratio "now: 4000 steps per period" "now: 20 layers, 10 periods" "twice the steps per period:" 2.1
