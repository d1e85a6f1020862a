#!/usr/bin/env bash
# Self-gravitation's cost, whole program, side by side in one run of this tree's program: the
# time sweep of body 1 (241 viscosities, Maxwell and Kelvin-Voigt) without and with
# shell.self_gravity = true, and the same for --method steady. The target is a few per cent.
# Usage: bench/self_gravity.sh [JOBS]      RUNS=n
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
jobs=${1:-$(nproc)}
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target tidal > /dev/null
now=$PWD/build/tidal
for i in $(seq 1 "$runs"); do # alternate, so that a busy machine weighs on both alike
    RUNS=1 runs=1
    measure "time sweep, off #$i" "$now" --body 1 --jobs "$jobs"
    measure "time sweep, self-gravitating #$i" "$now" --body 1 --jobs "$jobs" --set shell.self_gravity=true
done
runs=${RUNS:-3}
best() { printf '%s\n' "$@" | sort -g | head -1; }
off=(); on=()
for i in $(seq 1 "$runs"); do
    off+=("${median[time sweep, off #$i]}"); on+=("${median[time sweep, self-gravitating #$i]}")
done
median[time off]=$(best "${off[@]}"); median[time on]=$(best "${on[@]}")
ratio "time on" "time off" "self-gravitation, time sweep (best of each):" 1.05
measure "steady sweep, off" "$now" --body 1 --method steady --jobs 1
measure "steady sweep, self-gravitating" "$now" --body 1 --method steady --jobs 1 --set shell.self_gravity=true
ratio "steady sweep, self-gravitating" "steady sweep, off" "self-gravitation, steady sweep:" 1.05
# On a busy machine wall times scatter by more than the effect: the instructions of one batch
# of eight Maxwell runs (valgrind, where installed) are the steady measure.
batch=(--body 1 --set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=15.4
       --set sweep.steps_per_decade=5 --set 'rheology.models=["maxwell"]' --jobs 1)
instruction_ratio "$(instructions "$now" "${batch[@]}" --set shell.self_gravity=true)" \
    "$(instructions "$now" "${batch[@]}")" "self-gravitation, one batch, instructions:" 1.05
