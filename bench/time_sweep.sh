#!/usr/bin/env bash
# Whole-run timing: builds the program (Release) and runs complete sweeps, printing the wall
# time and the peak memory of each. Usage: bench/time_sweep.sh [choice ...]  (default: 1 4 8)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target tidal > /dev/null
tidal=$PWD/build/tidal
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | xargs)"
for choice in "${@:-1 4 8}"; do
    for c in $choice; do
        mkdir -p "$scratch/$c"
        cd "$scratch/$c"
        start=$(date +%s.%N)
        if [ -x /usr/bin/time ]; then
            echo "$c" | /usr/bin/time -f "%M" -o mem.txt "$tidal" > /dev/null
            peak="$(cat mem.txt) KiB peak"
        else
            echo "$c" | "$tidal" > /dev/null
            peak="peak memory not measured (no /usr/bin/time)"
        fi
        end=$(date +%s.%N)
        printf 'choice %s: %6.2f s, %s, %s viscosities\n' "$c" "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" \
            "$peak" "$(wc -l < pcelketa)"
        cd - > /dev/null
    done
done
