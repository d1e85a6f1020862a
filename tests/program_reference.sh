#!/usr/bin/env bash
# Runs the whole program for menu choice 1 in a scratch directory and compares its ten result
# files with the reference results. Usage: program_reference.sh TIDAL COMPARE REFERENCE_DIR
set -euo pipefail
tidal=$1 compare=$2 reference=$3
if [ ! -f "$reference/pcelketa" ]; then
    echo "reference results not found in $reference: skipped"
    exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
echo 1 | "$tidal" > console.txt
# The console shows one viscosity line and two power lines per viscosity, after the menu.
test "$(grep -c '^ viscosity ' console.txt)" -eq 241
test "$(wc -l < console.txt)" -eq $((3 + 3 * 241))
"$compare" "$scratch" "$reference"
