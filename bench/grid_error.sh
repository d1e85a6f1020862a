#!/usr/bin/env bash
# The grid error's cost, whole program, side by side in one run: the time sweep of body 1
# (241 viscosities, both rheologies) of this tree, whose every row carries its grid error,
# against a build of revision BASE (default: the last one without grid errors), alternated so
# that a busy machine weighs on both alike (target: at most 3 % more); then the steady sweep
# of body 1 (2401 viscosities) with and without the grid error (numerics.grid_error = false; target: at most 3.5
# times). Instruction counts (valgrind, where installed) of a reduced sweep back both up.
# Usage: bench/grid_error.sh [JOBS]      RUNS=n BASE=revision BASELINE_PROGRAM=path
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
jobs=${1:-$(nproc)}
build_both "${BASE:-c6a0237}"
best() { printf '%s\n' "$@" | sort -g | head -1; }
now_t=(); base_t=(); now_c=(); base_c=()
n=$runs
for i in $(seq 1 "$n"); do
    runs=1
    measure "time sweep, baseline #$i" "$baseline" --body 1 --jobs "$jobs"
    measure "time sweep, grid error #$i" "$now" --body 1 --jobs "$jobs"
    base_t+=("${median[time sweep, baseline #$i]}"); now_t+=("${median[time sweep, grid error #$i]}")
    base_c+=("${median_cpu[time sweep, baseline #$i]}"); now_c+=("${median_cpu[time sweep, grid error #$i]}")
done
runs=$n
median[time base]=$(best "${base_t[@]}"); median[time now]=$(best "${now_t[@]}")
median_cpu[time base]=$(best "${base_c[@]}"); median_cpu[time now]=$(best "${now_c[@]}")
ratio "time now" "time base" "time sweep with grid errors over baseline, wall:" 1.03
ratio_cpu "time now" "time base" "... CPU (the one to trust on a busy machine):" 1.03
# 2401 viscosities: the default 241 take too little time to measure.
dense=(--body 1 --method steady --jobs 1 --set sweep.steps_per_decade=200)
measure "steady sweep, without" "$now" "${dense[@]}" --set numerics.grid_error=false
measure "steady sweep, grid error" "$now" "${dense[@]}"
ratio_cpu "steady sweep, grid error" "steady sweep, without" "steady sweep with grid errors over without:" 3.5
reduced=(--body 1 --set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=15.4
         --set sweep.steps_per_decade=5 --jobs 1)
instruction_ratio "$(instructions "$now" "${reduced[@]}")" "$(instructions "$baseline" "${reduced[@]}")" \
    "time sweep of 8 viscosities, instructions:" 1.03
steady=(--body 1 --method steady --jobs 1)
instruction_ratio "$(instructions "$now" "${steady[@]}")" \
    "$(instructions "$now" "${steady[@]}" --set numerics.grid_error=false)" \
    "steady sweep, instructions:" 3.5
