#!/usr/bin/env bash
# Checks that the fast path and the plain one-viscosity-at-a-time path write byte-identical
# result files and console lines for every preset body (about a minute per body with two
# cores). Usage: bench/identical.sh [choice ...]   (default: all eight)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target tidal > /dev/null
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
for choice in ${@:-1 2 3 4 5 6 7 8}; do
    build/tidal --body "$choice" --output "$scratch/fast$choice" --jobs 1 > "$scratch/fast$choice.txt"
    build/tidal --body "$choice" --output "$scratch/plain$choice" --plain > "$scratch/plain$choice.txt"
    if diff -rq "$scratch/fast$choice" "$scratch/plain$choice" &&
        cmp -s "$scratch/fast$choice.txt" "$scratch/plain$choice.txt"; then
        echo "body $choice: identical ($(wc -l < "$scratch/fast$choice/pcelketa") viscosities)"
    else
        echo "body $choice: DIFFERENT"
        status=1
    fi
done
exit $status
