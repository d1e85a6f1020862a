#!/usr/bin/env bash
# The expanded tides' bytes against an earlier build: every file, console line and message of
# both programs compared byte for byte on the eight presets (steady method, with and without
# self-gravitation, with a map; time sweeps of five viscosities a decade with a map, and
# self-gravitating), on the stored example body and, with FULL=1, on the presets' default
# time sweeps (the legacy files). A change to the periodic states of the exact tide must
# leave all of them as they were.
# Usage: bench/expansion_bytes.sh      BASELINE_PROGRAM=path (else BASE=revision is built) FULL=1
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
build_both "${BASE:-main}"
differ=0
same() { # name, options...: both programs' outputs byte for byte
    local name=$1; shift
    "$baseline" "$@" --output "$scratch/old" > "$scratch/old.txt" 2> "$scratch/old.err" || true
    "$now" "$@" --output "$scratch/new" > "$scratch/new.txt" 2> "$scratch/new.err" || true
    local f ok=1
    for f in "$scratch/old"/*; do [ -e "$f" ] || continue; cmp -s "$f" "$scratch/new/${f##*/}" || ok=0; done
    cmp -s "$scratch/old.txt" "$scratch/new.txt" && cmp -s "$scratch/old.err" "$scratch/new.err" || ok=0
    [ $ok -eq 1 ] && echo "same bytes: $name ($(ls "$scratch/old" 2> /dev/null | wc -l) files)" ||
        { echo "DIFFERS: $name"; differ=1; }
    rm -rf "$scratch/old" "$scratch/new"
}
middle() { # the swept viscosity in the middle of preset $1's range
    "$now" --print-body "$1" | awk -F'[ =]+' '/^log10_viscosity_min/ { lo = $2 } /^log10_viscosity_max/ { hi = $2 }
        END { printf "1e%d\n", int((lo + hi) / 2) }'
}
for n in 1 2 3 4 5 6 7 8; do
    eta=$(middle "$n")
    same "preset $n, steady" --body "$n" --method steady --jobs 2
    same "preset $n, steady, self-gravitating" --body "$n" --method steady --jobs 2 --set shell.self_gravity=true
    same "preset $n, steady, map at $eta" --body "$n" --method steady --jobs 2 --map "$eta"
    same "preset $n, time, map at $eta" --body "$n" --jobs 2 --set sweep.steps_per_decade=5 --map "$eta"
    same "preset $n, time, self-gravitating" --body "$n" --jobs 2 --set sweep.steps_per_decade=2 --set shell.self_gravity=true
done
for f in examples/*.toml; do
    same "$f, steady" --body-file "$f" --method steady --jobs 2
    same "$f, time" --body-file "$f" --jobs 2 --set sweep.steps_per_decade=5
done
same "five rheologies, steady" --body 4 --method steady --jobs 2 \
    --set 'rheology.models=["maxwell","kelvin_voigt","burgers","andrade","zener"]'
same "five rheologies, time" --body 8 --jobs 2 --set sweep.steps_per_decade=2 \
    --set 'rheology.models=["maxwell","kelvin_voigt","burgers","andrade","zener"]'
if [ "${FULL:-0}" = 1 ]; then
    for n in 1 2 3 4 5 6 7 8; do same "preset $n, default time sweep" --body "$n" --jobs 2; done
fi
exit $differ
