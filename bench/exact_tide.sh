#!/usr/bin/env bash
# The exact tide's cost, side by side in one run of this tree's program. The time method: the
# time sweep of body 5 (201 viscosities, Maxwell and Kelvin-Voigt, each with its periodic state
# beside it) with the first-order tide (the default; the same bytes, and the same work, as
# earlier versions) and with orbit.tide = "exact", alternated so that a busy machine weighs on
# both alike; the target is at most 10 % more. BASELINE_PROGRAM=path adds an earlier build's
# first-order sweep beside them. The steady method: the number of harmonics the exact tide
# needs against the eccentricity (one complex solve per harmonic) and the CPU time per
# viscosity of --method steady on one thread (body 5, 2001 viscosities) with the exact tide
# and with the expansion at the same eccentricity, alternated, best of RUNS. OBLIQUITY=degrees
# tilts the body's axis in every run (its order-1 pair's second run of every viscosity; an
# oblique 3:2 body does not exist, so that count is left out), ECCENTRICITIES lists the steady
# part's eccentricities, EXTRA adds options to every run (e.g. "--set numerics.grid_error=false").
# Usage: bench/exact_tide.sh [JOBS]      RUNS=n  PARTS="time steady" (default both)
#                                        OBLIQUITY=deg  ECCENTRICITIES="0.01 0.1"  EXTRA=options
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
jobs=${1:-$(nproc)}
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target tidal > /dev/null
now=$PWD/build/tidal
best() { printf '%s\n' "$@" | sort -g | head -1; }
# Options of every run: the tilt and the extra ones.
every=()
[ -n "${OBLIQUITY:-}" ] && every+=(--set "orbit.obliquity=$OBLIQUITY")
read -r -a extra <<< "${EXTRA:-}"
every+=("${extra[@]}")
[ -n "${OBLIQUITY:-}" ] && echo "obliquity $OBLIQUITY degrees in every run"
[ ${#extra[@]} -gt 0 ] && echo "options of every run: ${extra[*]}"
first=(); exact=(); base=()
n=$runs
parts=${PARTS:-time steady}
if [[ " $parts " == *" time "* ]]; then
for i in $(seq 1 "$n"); do
    runs=1
    measure "first-order #$i" "$now" --body 5 --jobs "$jobs" "${every[@]}"
    measure "exact #$i" "$now" --body 5 --jobs "$jobs" --set orbit.tide=exact "${every[@]}"
    first+=("${median[first-order #$i]}"); exact+=("${median[exact #$i]}")
    if [ -n "${BASELINE_PROGRAM:-}" ]; then
        measure "baseline #$i" "$(realpath "$BASELINE_PROGRAM")" --body 5 --jobs "$jobs" "${every[@]}"
        base+=("${median[baseline #$i]}")
    fi
done
runs=$n
median[first]=$(best "${first[@]}"); median[exact]=$(best "${exact[@]}")
echo "time sweep of body 5, best of $runs: first-order ${median[first]} s, exact ${median[exact]} s"
# Both sweeps solve the periodic states beside each run (the doubt columns): the exact one
# solves one system per harmonic for them.
ratio "exact" "first" "exact tide over first-order, time sweep:" 1.10
if [ ${#base[@]} -gt 0 ]; then
    median[base]=$(best "${base[@]}")
    ratio "first" "base" "first-order tide over the baseline build:" 1.05
fi
fi
if [[ " $parts " == *" steady "* ]]; then
steady=(--body 5 --method steady --jobs 1 --set sweep.steps_per_decade=200 "${every[@]}")
echo "steady method, body 5, 2001 viscosities, one thread, CPU per viscosity (best of $runs):"
echo "eccentricity  harmonics (synchronous, 3:2)  expansion ms  exact ms  exact/expansion  per harmonic"
for e in ${ECCENTRICITIES:-0.01 0.05 0.1 0.2 0.3 0.5 0.7 0.8}; do
    counts=()
    for rotation in synchronous 3:2; do
        if [ "$rotation" = 3:2 ] && [ -n "${OBLIQUITY:-}" ]; then counts+=(-); continue; fi
        rm -rf "$scratch/h"
        "$now" --body 5 --method steady --output "$scratch/h" --set orbit.tide=exact \
            --set orbit.eccentricity="$e" --set orbit.rotation="$rotation" "${every[@]}" \
            --set sweep.log10_viscosity_min=17 --set sweep.log10_viscosity_max=17 > /dev/null 2>&1
        counts+=("$(tail -n +2 "$scratch/h/tide.csv" | cut -d, -f1 | sort -un | wc -l)")
    done
    fo=(); ex=()
    for i in $(seq 1 "$n"); do
        runs=1
        measure "expansion $e #$i" "$now" "${steady[@]}" --set orbit.eccentricity="$e" > /dev/null 2>&1
        measure "exact $e #$i" "$now" "${steady[@]}" --set orbit.eccentricity="$e" --set orbit.tide=exact > /dev/null 2>&1
        fo+=("${median_cpu[expansion $e #$i]}"); ex+=("${median_cpu[exact $e #$i]}")
    done
    runs=$n
    count=$(($(wc -l < "$scratch/exact $e #$n/summary.csv") - 1))
    a=$(best "${fo[@]}"); b=$(best "${ex[@]}")
    awk -v e="$e" -v hs="${counts[0]}" -v h3="${counts[1]}" -v a="$a" -v b="$b" -v c="$count" \
        'BEGIN { printf "%12s  %13s, %3s  %12.3f  %8.3f  %15.2f  %12.2f\n", e, hs, h3, 1000 * a / c, 1000 * b / c, b / a, b / a / hs }'
done
fi
