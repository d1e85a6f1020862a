#!/usr/bin/env bash
# The cost rule of layered bodies, side by side with a baseline build (default: main) in one
# run: a time sweep costs in proportion to the body's total cells (a sphere of three solid
# layers over a liquid core at 20, 40 and 80 cells: CPU time per cell and viscosity), body 1's
# 20-cell [shell] sweep costs what the baseline's does, and the steady method sweeps a
# three-layer body of 60 cells over 241 viscosities in under 0.2 s.
# Usage: bench/layered_cost.sh      BASELINE_PROGRAM=path (else BASE=revision is built)
#                                   RUNS=3 (runs per case; the median is taken)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
build_both "${BASE:-main}"

# Three solid layers (a lithosphere, a soft middle layer, a mantle) over a liquid core, `n`
# cells in each; `sweep` decades of 20 viscosities.
layers() {
    local n=$1 min=$2 max=$3
    cat << TOML
name = "three layers over a liquid core"
outer_radius = 1821600.0
[[layer]]
name = "lithosphere"
thickness = 30000.0
density = 3250.0
state = "solid"
rigidity = 6.5e10
viscosity = "swept"
viscosity_factor = 1e6
cells = $n
[[layer]]
name = "asthenosphere"
thickness = 50000.0
density = 3250.0
state = "solid"
rigidity = 6.5e9
viscosity = "swept"
cells = $n
[[layer]]
name = "mantle"
thickness = 781600.0
density = 3250.0
state = "solid"
rigidity = 6.5e10
viscosity = "swept"
viscosity_factor = 1e4
cells = $n
[[layer]]
name = "core"
density = 5150.0
state = "liquid"
[orbit]
period = 152853.5
eccentricity = 0.0041
[sweep]
log10_viscosity_min = $min
log10_viscosity_max = $max
steps_per_decade = 20
[rheology]
models = ["maxwell"]
TOML
}

echo "== time sweep: 21 viscosities, 10 periods of 2000 steps, 1 thread"
for n in 7 14 27; do # 21, 42, 81 cells
    layers $n 10 11 > "$scratch/layers-$n.toml"
    measure "layered, $((3 * n)) cells" "$now" --body-file "$scratch/layers-$n.toml" --jobs 1
done
for n in 7 14 27; do
    awk -v c="${median_cpu["layered, $((3 * n)) cells"]}" -v n=$((3 * n)) \
        'BEGIN { printf "  %2d cells: %.2f ms of CPU per cell and viscosity\n", n, 1000 * c / (n * 21) }'
done
echo "== body 1, 20-cell [shell], the whole sweep, 2 threads (alternated)"
runs_all=$runs
runs=1
for _ in $(seq 1 "$runs_all"); do
    measure "body 1, baseline" "$baseline" --body 1 --jobs 2
    measure "body 1, this tree" "$now" --body 1 --jobs 2
done
runs=$runs_all
ratio_cpu "body 1, this tree" "body 1, baseline" "body 1: this tree / baseline (CPU)" 1.05
echo "== steady method: three layers of 20 cells, 241 viscosities"
layers 20 8 20 > "$scratch/steady.toml"
measure "steady, 60 cells, 241 viscosities" "$now" --body-file "$scratch/steady.toml" --method steady --jobs 2
awk -v t="${median["steady, 60 cells, 241 viscosities"]}" \
    'BEGIN { printf "%-44s %.3f s (limit 0.2 s) %s\n", "steady sweep, wall time", t, (t <= 0.2 ? "ok" : "OVER") }'
