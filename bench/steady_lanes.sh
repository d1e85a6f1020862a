#!/usr/bin/env bash
# The steady method in vector lanes (eight viscosities per factorisation) against a build of
# revision BASE (default: the last one that solved them one at a time), side by side in one run:
# the CPU time of --method steady for body 1 over 2401 and 24 001 viscosities on one thread,
# and, first, every file, console line and message of both programs compared byte for byte
# on the eight presets (steady method, with and without self-gravitation), on a body with five
# rheologies, per-layer viscosity factors, a layered body, a map and two time sweeps.
# Usage: bench/steady_lanes.sh      RUNS=n BASE=revision BASELINE_PROGRAM=path
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
build_both "${BASE:-c0547b6}"
differ=0
same() { # name, options...: both programs' outputs byte for byte
    local name=$1; shift
    "$baseline" "$@" --output "$scratch/old-$name" > "$scratch/old-$name.txt" 2> "$scratch/old-$name.err"
    "$now" "$@" --output "$scratch/new-$name" > "$scratch/new-$name.txt" 2> "$scratch/new-$name.err"
    # Files the baseline does not write (results.nc) are not compared.
    local f ok=1
    for f in "$scratch/old-$name"/*; do cmp -s "$f" "$scratch/new-$name/${f##*/}" || ok=0; done
    cmp -s "$scratch/old-$name.txt" "$scratch/new-$name.txt" && cmp -s "$scratch/old-$name.err" "$scratch/new-$name.err" || ok=0
    [ $ok -eq 1 ] && echo "same bytes: $name" || { echo "DIFFERS: $name"; differ=1; }
    rm -rf "$scratch/old-$name" "$scratch/new-$name"
}
for n in 1 2 3 4 5 6 7 8; do
    same "preset $n" --body "$n" --method steady --jobs 2
    same "preset $n, self-gravitating" --body "$n" --method steady --jobs 2 --set shell.self_gravity=true
done
same "five rheologies" --body 4 --method steady --jobs 2 \
    --set 'rheology.models=["maxwell","kelvin_voigt","burgers","andrade","zener"]'
same "viscosity factors" --body 1 --method steady --jobs 2 \
    --set 'shell.viscosity_factors=[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20]'
same "layered body" --body-file examples/enceladus-ice-over-liquid.toml --method steady --jobs 2
same "a map" --body 1 --method steady --map 1e14 --jobs 2
same "30 decades" --body 1 --method steady --jobs 2 --set sweep.log10_viscosity_min=0 --set sweep.log10_viscosity_max=30
same "time sweep, body 1" --body 1 --jobs 2 --set sweep.steps_per_decade=5
same "time sweep, body 8 self-gravitating" --body 8 --jobs 2 --set sweep.steps_per_decade=5 --set shell.self_gravity=true
for spd in 200 2000; do
    measure "baseline, $((spd * 12 + 1)) viscosities" "$baseline" --body 1 --method steady --jobs 1 --set sweep.steps_per_decade=$spd
    measure "lanes, $((spd * 12 + 1)) viscosities" "$now" --body 1 --method steady --jobs 1 --set sweep.steps_per_decade=$spd
    ratio_cpu "lanes, $((spd * 12 + 1)) viscosities" "baseline, $((spd * 12 + 1)) viscosities" \
        "CPU, lanes over baseline, $((spd * 12 + 1)) viscosities:" 1.0
done
exit $differ
