#!/usr/bin/env bash
# The exact tide's cost in the time method, side by side in one run of this tree's program:
# the time sweep of body 5 (201 viscosities, Maxwell and Kelvin-Voigt) with the first-order tide (the
# default; the same bytes, and the same work, as earlier versions) and with
# orbit.tide = "exact", alternated so that a busy machine weighs on both alike. The target is
# at most 10 % more. BASELINE_PROGRAM=path adds an earlier build's first-order sweep beside
# them. Then the number of harmonics the exact tide needs against the eccentricity (the work a
# periodic state by harmonic synthesis would take, one complex solve per harmonic), from the
# tide.csv of a one-viscosity run.
# Usage: bench/exact_tide.sh [JOBS]      RUNS=n
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
jobs=${1:-$(nproc)}
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target tidal > /dev/null
now=$PWD/build/tidal
best() { printf '%s\n' "$@" | sort -g | head -1; }
first=(); exact=(); base=()
n=$runs
for i in $(seq 1 "$n"); do
    runs=1
    measure "first-order #$i" "$now" --body 5 --jobs "$jobs"
    measure "exact #$i" "$now" --body 5 --jobs "$jobs" --set orbit.tide=exact
    first+=("${median[first-order #$i]}"); exact+=("${median[exact #$i]}")
    if [ -n "${BASELINE_PROGRAM:-}" ]; then
        measure "baseline #$i" "$(realpath "$BASELINE_PROGRAM")" --body 5 --jobs "$jobs"
        base+=("${median[baseline #$i]}")
    fi
done
runs=$n
median[first]=$(best "${first[@]}"); median[exact]=$(best "${exact[@]}")
echo "time sweep of body 5, best of $runs: first-order ${median[first]} s, exact ${median[exact]} s"
# The first-order sweep also solves the steady states beside each run (the doubt columns);
# the exact one does not, so this ratio is an upper bound only where those are cheap.
ratio "exact" "first" "exact tide over first-order, time sweep:" 1.10
if [ ${#base[@]} -gt 0 ]; then
    median[base]=$(best "${base[@]}")
    ratio "first" "base" "first-order tide over the baseline build:" 1.05
fi
echo "eccentricity  harmonics (synchronous)  harmonics (3:2)"
for e in 0.01 0.05 0.1 0.2 0.3 0.5 0.7 0.8 0.85; do
    counts=()
    for rotation in synchronous 3:2; do
        rm -rf "$scratch/h"
        "$now" --body 5 --output "$scratch/h" --set orbit.tide=exact --set orbit.eccentricity="$e" \
            --set orbit.rotation="$rotation" --set sweep.log10_viscosity_min=17 \
            --set sweep.log10_viscosity_max=17 --set numerics.periods=1 \
            --set numerics.steps_per_period=100 > /dev/null 2>&1
        counts+=("$(tail -n +2 "$scratch/h/tide.csv" | cut -d, -f1 | sort -un | wc -l)")
    done
    printf '%12s  %23s  %15s\n' "$e" "${counts[0]}" "${counts[1]}"
done
