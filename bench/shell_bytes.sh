#!/usr/bin/env bash
# Compares, byte for byte, every file and the console of two builds of tidal on the eight
# presets (both methods, with and without self-gravitation; the time method on a short sweep of
# three viscosities, and preset 1's whole sweep once) and on the body files of examples/. (A
# body given by its layers gains the layers' power columns at the end of summary.csv from the
# build that added them: its summary.csv then differs there, and only there.)
# Usage: bench/shell_bytes.sh OLD_TIDAL NEW_TIDAL
set -euo pipefail
cd "$(dirname "$0")/.."
old=$(realpath "$1")
new=$(realpath "$2")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
short=(--set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=14.1)
compare() { # name, then the arguments of both runs
    local name=$1
    shift
    (cd "$scratch" && "$old" "$@" --output "old-$name" --jobs 1 > "old-$name.txt" 2>&1) || true
    (cd "$scratch" && "$new" "$@" --output "new-$name" --jobs 1 > "new-$name.txt" 2>&1) || true
    if diff -rq "$scratch/old-$name" "$scratch/new-$name" > /dev/null &&
        cmp -s "$scratch/old-$name.txt" "$scratch/new-$name.txt"; then
        echo "$name: identical"
    else
        echo "$name: DIFFERENT"
        status=1
    fi
}
for choice in 1 2 3 4 5 6 7 8; do
    for gravity in false true; do
        compare "steady$choice-$gravity" --body "$choice" --method steady --set shell.self_gravity=$gravity
        compare "time$choice-$gravity" --body "$choice" "${short[@]}" --set shell.self_gravity=$gravity
    done
done
compare "time1-whole" --body 1
for file in examples/*.toml; do
    name=$(basename "$file" .toml)
    if grep -q '^\[\[layer\]\]' "$file" && ! "$old" --body-file "$file" --method steady --output "$scratch/probe" > /dev/null 2>&1; then
        echo "$name: not run by the old build (skipped)"
        continue
    fi
    compare "steady-$name" --body-file "$(realpath "$file")" --method steady
    compare "time-$name" --body-file "$(realpath "$file")" "${short[@]}"
done
exit $status
