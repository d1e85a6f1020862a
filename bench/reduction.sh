#!/usr/bin/env bash
# What the steady reduction costs (the periodic states reduced to records: power, Love numbers,
# heating profile, extremes), this tree against a baseline build side by side: a steady study
# of 100 Enceladus points (10 shell thicknesses x 10 eccentricities, 241 viscosities, Maxwell,
# Kelvin-Voigt and Andrade, a journal, one thread) run by both programs in turn, ROUNDS times
# (default 3), with the CPU time of each process (user + system: what to compare on a shared
# machine); then, with valgrind, the instructions callgrind counts for both on its first 20
# points (4 thicknesses x 5 eccentricities), in all and inclusive of the reduction and of
# Andrade's power (callgrind runs the AVX2 clone of the lanes, the machine the AVX-512 one);
# last the study directories and console lines of both programs compared byte for byte.
# Usage: bench/reduction.sh     BASELINE_PROGRAM=path (default /work/base-build/tidal) ROUNDS=3
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target tidal > /dev/null
now=$PWD/build/tidal
baseline=$(realpath "${BASELINE_PROGRAM:-/work/base-build/tidal}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
study() { # the points' thicknesses and eccentricities (TOML arrays' entries)
    printf '%s\n' 'base = 1' 'method = "steady"' 'point_directories = false' '[rheology]' \
        'models = ["maxwell", "kelvin_voigt", "andrade"]' '[axes]' \
        "\"shell.thickness\" = [$1]" "\"orbit.eccentricity\" = [$2]"
}
study "$(seq -s ', ' 10000 1000 19000)" "$(seq -s ', ' 0.001 0.0002 0.0028)" > "$scratch/s100.toml"
study '10000, 11000, 12000, 13000' '0.001, 0.0012, 0.0014, 0.0016, 0.0018' > "$scratch/s20.toml"
run() { # label, program: the study into $scratch/label/o, its console lines and messages beside
    # it (the same relative path for both programs: the messages name it)
    rm -rf "${scratch:?}/$1" && mkdir "$scratch/$1"
    (cd "$scratch/$1" && /usr/bin/time -f "%U %S" -o ../cpu.txt "$2" --study ../s100.toml \
        --output o --jobs 1 > console.txt 2> err.txt)
    awk -v l="$1" '{ printf "  %-9s CPU %.2f s\n", l, $1 + $2 }' "$scratch/cpu.txt"
}
echo "100-point steady study, one thread (baseline $baseline):"
for round in $(seq 1 "${ROUNDS:-3}"); do
    echo " round $round:"
    run baseline "$baseline"
    run new "$now"
done
if command -v valgrind > /dev/null; then
    echo "callgrind instructions, 20 points (all; PeriodReduction::reduce; Andrade's power):"
    for label in baseline new; do
        program=$baseline
        [ "$label" = new ] && program=$now
        (mkdir "$scratch/cg-$label" && cd "$scratch/cg-$label" &&
            valgrind --tool=callgrind --callgrind-out-file="../cg.$label" "$program" \
                --study ../s20.toml --output o --jobs 1 > /dev/null 2>&1)
        callgrind_annotate --inclusive=yes "$scratch/cg.$label" 2> /dev/null > "$scratch/cg.$label.txt"
        total=$(awk '/PROGRAM TOTALS/ { print $1; exit }' "$scratch/cg.$label.txt")
        reduce=$(awk '/PeriodReduction::reduce\(/ { print $1; exit }' "$scratch/cg.$label.txt")
        andrade=$(awk '/PeriodReduction::power_of<tidal::Andrade>/ { print $1; exit }' \
            "$scratch/cg.$label.txt")
        printf "  %-9s %s  reduce %s  Andrade's power %s\n" "$label" "$total" "$reduce" "$andrade"
    done
fi
if diff -r "$scratch/baseline" "$scratch/new" > /dev/null &&
    { ! command -v valgrind > /dev/null || diff -r "$scratch/cg-baseline/o" "$scratch/cg-new/o" > /dev/null; }; then
    echo "study directories, console lines and messages: identical"
else
    echo "study directories, console lines or messages: DIFFERENT"
    exit 1
fi
