#!/usr/bin/env bash
# What a rheology costs, side by side in one run: body 1 swept with one model at a time
# (Maxwell, the baseline; Burgers; Andrade with 8, 16 and 32 Prony elements), on this tree.
# The cost of a sweep grows with the history columns only: Burgers (one element, three
# columns) should stay within 1.5x Maxwell; Andrade's cost is given per element, from the
# slope between 8 and 32 elements. Prints the median wall time of RUNS runs (default 3). Then
# Maxwell and Andrade with its default series on the program of revision BASELINE (default
# main) and on this tree, alternating run by run (the machine may be shared), with the bytes of
# the Maxwell sweeps compared.
# Usage: bench/rheologies.sh [JOBS]      RUNS=n BASELINE=rev (BASELINE= to skip it)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
jobs=${1:-$(nproc)}
if [ -n "${BASELINE-main}" ]; then
    build_both "${BASELINE-main}"
else
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build build -j "$(nproc)" --target tidal > /dev/null
    now=$PWD/build/tidal
fi
echo "body 1 (241 viscosities, 20000 steps), one model per sweep, $jobs threads, median of $runs runs"
one() { # label, program, model, extra options
    local label=$1 program=$2 model=$3; shift 3
    measure "$label" "$program" --body 1 --jobs "$jobs" --set "rheology.models=[\"$model\"]" "$@" \
        2> /dev/null
}
if [ -n "${BASELINE-main}" ]; then
    rounds=$runs
    for _ in $(seq 1 "$rounds"); do
        runs=1 one "baseline: maxwell" "$baseline" maxwell
        runs=1 one "baseline: andrade" "$baseline" andrade
        runs=1 one "maxwell" "$now" maxwell
        runs=1 one "andrade" "$now" andrade
    done
    ratio "baseline: andrade" "baseline: maxwell" "baseline: andrade against maxwell:" 2.0
    ratio "andrade" "maxwell" "now: andrade against maxwell:" 2.0
    ratio_cpu "baseline: andrade" "baseline: maxwell" "baseline: andrade against maxwell, CPU:" 2.0
    ratio_cpu "andrade" "maxwell" "now: andrade against maxwell, CPU:" 2.0
    ratio_cpu "andrade" "baseline: andrade" "andrade, now against the baseline, CPU:" 1.0
    diff -r "$scratch/baseline: maxwell" "$scratch/maxwell" > /dev/null &&
        echo "identical: the Maxwell sweeps of the baseline and this tree"
    "$now" --body 1 --set 'rheology.models=["andrade"]' --set sweep.log10_viscosity_max=10 \
        --output "$scratch/fit" 2>&1 > /dev/null | grep -i 'andrade creep'
else
    one "maxwell" "$now" maxwell
fi
one "burgers" "$now" burgers
for m in 8 16 32; do
    one "andrade, $m elements" "$now" andrade --set "numerics.andrade_elements=$m"
done
ratio "burgers" "maxwell" "burgers against maxwell:" 1.5
awk -v m="${median[maxwell]}" -v a="${median[andrade, 8 elements]}" \
    -v b="${median[andrade, 32 elements]}" -v c="${median[andrade, 16 elements]}" 'BEGIN {
        per = (b - a) / 24
        printf "andrade: %.3f s per Prony element (%.1f %% of a maxwell sweep); 16 elements %.2fx maxwell\n",
            per, 100 * per / m, c / m }'
awk -v m="${median_cpu[maxwell]}" -v a="${median_cpu[andrade, 8 elements]}" \
    -v b="${median_cpu[andrade, 32 elements]}" -v c="${median_cpu[andrade, 16 elements]}" 'BEGIN {
        per = (b - a) / 24
        printf "andrade, CPU: %.3f s per Prony element (%.1f %% of a maxwell sweep); 16 elements %.2fx maxwell\n",
            per, 100 * per / m, c / m }'
