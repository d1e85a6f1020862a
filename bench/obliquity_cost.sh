#!/usr/bin/env bash
# What the obliquity tide costs: the wall time of body 1's time sweep and steady sweep at
# obliquity 0 against a build of revision BASE (default: main before the obliquity tide), side
# by side in one run and alternated, and the same sweeps of this tree at an obliquity of
# 5 degrees (the order-1 pair's second run of every viscosity: about twice the cost). Then the
# outputs at obliquity 0 compared byte for byte between the two builds.
# Usage: bench/obliquity_cost.sh      BASELINE_PROGRAM=path (else BASE=revision is built)
#                                     STEPS=5 (viscosities per decade)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
steps=${STEPS:-5}
build_both "${BASE:-f2e80bc}"
old=$baseline new=$now
seconds() { # program, output name, options...
    local program=$1 name=$2; shift 2
    local t0 t1
    t0=$(date +%s.%N)
    "$program" --body 1 --jobs 2 --set "sweep.steps_per_decade=$steps" "$@" \
        --output "$scratch/$name" > /dev/null 2>&1
    t1=$(date +%s.%N)
    echo "$t1 - $t0" | bc
}
printf '%-8s %-28s %10s %10s\n' method case "baseline_s" "this_s"
for method in time steady; do
    for round in 1 2; do # alternated, so that a shared machine's load weighs on both
        b=$(seconds "$old" "o-$method-$round" --method "$method")
        n=$(seconds "$new" "n-$method-$round" --method "$method")
        printf '%-8s %-28s %10.2f %10.2f\n' "$method" "obliquity 0, round $round" "$b" "$n"
    done
    t=$(seconds "$new" "t-$method" --method "$method" --set orbit.obliquity=5)
    printf '%-8s %-28s %10s %10.2f\n' "$method" "obliquity 5 degrees" "-" "$t"
done
differ=0
for method in time steady; do
    for f in "$scratch/o-$method-1"/*; do
        cmp -s "$f" "$scratch/n-$method-1/${f##*/}" || { echo "DIFFERS: $method ${f##*/}"; differ=1; }
    done
done
[ $differ -eq 0 ] && echo "same bytes at obliquity 0: every file of both sweeps"
exit $differ
