#!/usr/bin/env bash
# What a rheology costs, side by side in one run: body 1 swept with one model at a time
# (Maxwell, the baseline; Burgers; Andrade with 8, 16 and 32 Prony elements), on this tree.
# The cost of a sweep grows with the history columns only: Burgers (one element, three
# columns) should stay within 1.5x Maxwell; Andrade's cost is given per element, from the
# slope between 8 and 32 elements. Prints the median wall time of RUNS runs (default 3).
# Usage: bench/rheologies.sh [JOBS]      RUNS=n
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
jobs=${1:-$(nproc)}
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target tidal > /dev/null
now=$PWD/build/tidal
echo "body 1 (241 viscosities, 20000 steps), one model per sweep, $jobs threads, median of $runs runs"
one() { # label, model, extra options
    local label=$1 model=$2; shift 2
    measure "$label" "$now" --body 1 --jobs "$jobs" --set "rheology.models=[\"$model\"]" "$@" \
        2> /dev/null
}
one "maxwell" maxwell
one "burgers" burgers
for m in 8 16 32; do
    one "andrade, $m elements" andrade --set "numerics.andrade_elements=$m"
done
ratio "burgers" "maxwell" "burgers against maxwell:" 1.5
awk -v m="${median[maxwell]}" -v a="${median[andrade, 8 elements]}" \
    -v b="${median[andrade, 32 elements]}" -v c="${median[andrade, 16 elements]}" 'BEGIN {
        per = (b - a) / 24
        printf "andrade: %.3f s per Prony element (%.1f %% of a maxwell sweep); 16 elements %.2fx maxwell\n",
            per, 100 * per / m, c / m }'
