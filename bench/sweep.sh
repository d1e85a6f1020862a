#!/usr/bin/env bash
# Whole-program timing: builds the program (Release) and the program of revision BASELINE
# (default main) and runs the complete sweep of one body (default: choice 1) with every core on
# both, alternating run by run so that a shared machine's load falls on both alike, and checks
# that they write the same bytes; then this tree with one thread and with every core, each with
# the fast path and the plain one-viscosity-at-a-time path. Prints the median wall time of RUNS
# runs (default 3), the peak resident memory, the speed-up, and whether all files and console
# lines are identical across the ways.
# Usage: bench/sweep.sh [choice]      RUNS=n to change the number of runs, PLAIN=0 to skip the
#                                     plain path (it takes about two minutes per run),
#                                     BASELINE=rev (or BASELINE= to skip the baseline).
set -euo pipefail
cd "$(dirname "$0")/.."
choice=${1:-1}
plain=${PLAIN:-1}
source bench/lib.sh
cores=$(nproc)
if [ -n "${BASELINE-main}" ]; then
    build_both "${BASELINE-main}"
else
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build build -j "$(nproc)" --target tidal > /dev/null
fi
tidal=$PWD/build/tidal
echo "machine: $cores cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | xargs)," \
     "$(grep -ow 'avx2\|avx512f' /proc/cpuinfo | sort -u | xargs || true)," \
     "load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "body $choice, median of $runs runs"
if [ -n "${BASELINE-main}" ]; then
    rounds=$runs
    for _ in $(seq 1 "$rounds"); do
        runs=1 measure "baseline ${BASELINE-main}, $cores threads" "$baseline" --body "$choice" --jobs "$cores"
        runs=1 measure "fast, $cores threads" "$tidal" --body "$choice" --jobs "$cores"
    done
    ratio "fast, $cores threads" "baseline ${BASELINE-main}, $cores threads" "this tree against the baseline, wall:" 1.0
    ratio_cpu "fast, $cores threads" "baseline ${BASELINE-main}, $cores threads" "this tree against the baseline, CPU:" 1.0
    if diff -r "$scratch/baseline ${BASELINE-main}, $cores threads" "$scratch/fast, $cores threads" > /dev/null &&
        cmp -s "$scratch/baseline ${BASELINE-main}, $cores threads.console" "$scratch/fast, $cores threads.console"; then
        echo "result files and console output identical to the baseline's: yes"
    else
        echo "result files and console output identical to the baseline's: NO"
    fi
fi

measure "fast, 1 thread" "$tidal" --body "$choice" --jobs 1
[ -n "${BASELINE-main}" ] || measure "fast, $cores threads" "$tidal" --body "$choice" --jobs "$cores"
ways=("fast, 1 thread" "fast, $cores threads")
if [ "$plain" = 1 ]; then
    measure "plain, 1 thread" "$tidal" --body "$choice" --jobs 1 --plain
    measure "plain, $cores threads" "$tidal" --body "$choice" --jobs "$cores" --plain
    ways+=("plain, 1 thread" "plain, $cores threads")
    awk -v a="${median[plain, 1 thread]}" -v b="${median[fast, 1 thread]}" \
        'BEGIN { printf "speed-up of the fast path, 1 thread: %.1fx\n", a / b }'
    awk -v a="${median[plain, $cores threads]}" -v b="${median[fast, $cores threads]}" -v c="$cores" \
        'BEGIN { printf "speed-up of the fast path, %d threads: %.1fx\n", c, a / b }'
fi
identical=yes
for w in "${ways[@]:1}"; do
    diff -rq "$scratch/${ways[0]}" "$scratch/$w" > /dev/null || identical=no
    cmp -s "$scratch/${ways[0]}.console" "$scratch/$w.console" || identical=no
done
echo "result files and console output identical across all ways: $identical"
[ "$identical" = yes ]
