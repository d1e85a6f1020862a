#!/usr/bin/env bash
# Runs the whole program for menu choice 1 in a scratch directory and compares its ten result
# files with the results of an independent implementation, kept in the repository as
# tests/data/reference-choice1.tar.xz (unpacked here with CMake's own tar, so no xz is needed).
# Usage: program_reference.sh TIDAL COMPARE REFERENCE_ARCHIVE CMAKE
set -euo pipefail
tidal=$1 compare=$2 archive=$3 cmake=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/reference" "$scratch/run"
(cd "$scratch/reference" && "$cmake" -E tar xf "$archive")
cd "$scratch/run"
echo 1 | "$tidal" > console.txt 2> err.txt
# At the preset's defaults no number is in doubt: no warning, one line on the accuracy.
if grep -q '^warning' err.txt || ! grep -q '^note: accuracy: ' err.txt; then cat err.txt; exit 1; fi
# The console shows one viscosity line and two power lines per viscosity, after the menu.
test "$(grep -c '^ viscosity ' console.txt)" -eq 241
test "$(wc -l < console.txt)" -eq $((3 + 3 * 241))
"$compare" "$scratch/run" "$scratch/reference/choice1"
