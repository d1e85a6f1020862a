#!/usr/bin/env bash
# The steady method's cost per viscosity and rheology, computing only (bench/steady_speed.cpp:
# the periodic states, reductions, Love numbers and heating profiles of body 1 at 20 layers,
# nothing written), with and without the grid error, for this tree and a build of revision
# BASE (default: the commit before the lane band kept its zeros between viscosities and the
# factorisation skipped zero divisions) side by side in one run: the fastest wall time of RUNS
# sweeps, the CPU time of the whole process (user + system, what to compare on a shared
# machine), and the instructions callgrind counts over 241 viscosities (repeatable whatever
# else the machine does; where valgrind is installed). Then every file, console line and
# message of both programs compared byte for byte on presets, self-gravitation, five
# rheologies, factors, layered bodies, a map.
# Usage: bench/steady_speed.sh      COUNT=24001 RUNS=3 BASE=revision BASELINE_BUILD=dir
#   BASELINE_BUILD: a build directory of the baseline (tidal and bench/steady_speed) to take
#   instead of building one.
set -euo pipefail
cd "$(dirname "$0")/.."
scratch=$(mktemp -d)
trap 'git worktree remove --force "$scratch/src" > /dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTIDAL_BENCHMARKS=ON > /dev/null
cmake --build build -j "$(nproc)" --target tidal steady_speed > /dev/null
base_build=${BASELINE_BUILD:-}
if [ -z "$base_build" ]; then
    git worktree add --detach "$scratch/src" "${BASE:-bed8fb9}" > /dev/null 2>&1
    # The same timing source against the older engine (its interface is unchanged).
    cp bench/steady_speed.cpp "$scratch/src/bench/"
    grep -q steady_speed "$scratch/src/bench/CMakeLists.txt" ||
        printf 'add_executable(steady_speed steady_speed.cpp)\ntarget_link_libraries(steady_speed PRIVATE tidal_core)\n' >> "$scratch/src/bench/CMakeLists.txt"
    cmake -S "$scratch/src" -B "$scratch/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTIDAL_BENCHMARKS=ON > /dev/null
    cmake --build "$scratch/build" -j "$(nproc)" --target tidal steady_speed > /dev/null
    base_build=$scratch/build
fi
# The baseline's commit: that of the source tree its build was configured from.
base_source=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$base_build/CMakeCache.txt")
base_commit=$(git -C "$base_source" rev-parse --short HEAD 2> /dev/null || echo unknown)
git -C "$base_source" diff --quiet HEAD -- . ':!bench' 2> /dev/null || base_commit="$base_commit, modified"
count=${COUNT:-24001} runs=${RUNS:-3}
timed() { # label, program, arguments...: its lines, then its CPU time
    local label=$1; shift
    echo "$label:"
    /usr/bin/time -f "%U %S" -o "$scratch/cpu.txt" "$@"
    awk '{ printf "  CPU time of the process (user + system): %.3f s\n", $1 + $2 }' "$scratch/cpu.txt"
}
for round in 1 2; do # alternated, so that a shared machine's load weighs on both
    timed "baseline ($base_commit), round $round" "$base_build/bench/steady_speed" "$count" "$runs"
    timed "this tree, round $round" build/bench/steady_speed "$count" "$runs"
done
if command -v valgrind > /dev/null; then
    counted() {
        valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 > /dev/null |
            awk '/Collected/ { print $NF }'
    }
    a=$(counted "$base_build/bench/steady_speed" 241 1) b=$(counted build/bench/steady_speed 241 1)
    awk -v a="$a" -v b="$b" -v c="$base_commit" 'BEGIN { printf "instructions, 241 viscosities, both cases: baseline (%s) %.0f, this tree %.0f, ratio %.3f\n", c, a, b, b / a }'
fi
old=$base_build/tidal new=$PWD/build/tidal differ=0
same() { # name, options...
    local name=$1; shift
    "$old" "$@" --output "$scratch/o-$name" > "$scratch/o-$name.txt" 2> "$scratch/o-$name.err"
    "$new" "$@" --output "$scratch/n-$name" > "$scratch/n-$name.txt" 2> "$scratch/n-$name.err"
    local f ok=1
    for f in "$scratch/o-$name"/*; do cmp -s "$f" "$scratch/n-$name/${f##*/}" || ok=0; done
    cmp -s "$scratch/o-$name.txt" "$scratch/n-$name.txt" && cmp -s "$scratch/o-$name.err" "$scratch/n-$name.err" || ok=0
    [ $ok -eq 1 ] && echo "same bytes: $name" || { echo "DIFFERS: $name"; differ=1; }
}
for n in 1 2 3 4 5 6 7 8; do
    same "preset-$n" --body "$n" --method steady --jobs 2
    same "preset-$n-self-gravitating" --body "$n" --method steady --jobs 2 --set shell.self_gravity=true
done
same five-rheologies --body 4 --method steady --jobs 2 \
    --set 'rheology.models=["maxwell","kelvin_voigt","burgers","andrade","zener"]'
same factors --body 1 --method steady --jobs 2 \
    --set 'shell.viscosity_factors=[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20]'
for f in examples/*.toml; do
    same "example-$(basename "$f" .toml)" --body-file "$f" --method steady --jobs 2
done
same map --body 1 --method steady --map 1e14 --jobs 2
same exact-tide --body 5 --method steady --jobs 2 --set orbit.tide=exact --set orbit.eccentricity=0.2
same time-sweep --body 1 --jobs 2 --set sweep.steps_per_decade=5
exit $differ
