#!/usr/bin/env bash
# The tide's keys on the built program: the 3:2 resonance under its new name gives the older
# key's results to the byte, a body file with the older key draws one note naming the new one,
# the exact tide runs in both methods (its periodic state beside the time runs, in the steady
# method and in the maps) and writes its harmonics (an oblique body's of order 1 too, as
# their closed form on a circular orbit), and a tide that does not exist or an orbit
# whose tide does not converge is refused with status 2 and nothing created.
# Fails on: orbit.rotation not read as the spin (only second_order); the periodic state left out
# beside an exact-tide run; the steady method or --map refused for the exact tide; tide.csv not
# written; the time run's steady columns not the steady method's; the warning of unresolved
# harmonics missing at two steps per period of the highest; an oblique body's order-1 rows
# written with the order-2 factor sqrt(3pi/10), or written at obliquity 0; the note of a large
# obliquity under the first-order tide missing, or drawn at 30 degrees or by the exact tide.
# Usage: program_tide.sh TIDAL
set -uo pipefail
tidal=$(realpath "$1")
source "$(dirname "$0")/checks.sh"
cd "$scratch"
short=(--set sweep.steps_per_decade=2 --set numerics.steps_per_period=400 --jobs 2)

# --- orbit.rotation = "3:2" is orbit.second_order = true --------------------------------
"$tidal" --body 8 "${short[@]}" --output old > /dev/null 2> old.err
"$tidal" --body 8 "${short[@]}" --set orbit.second_order=false --set orbit.rotation=3:2 \
    --output new > /dev/null 2> new.err
same=1
for f in $files summary.csv peaks.csv heating_profile.csv; do cmp -s "old/$f" "new/$f" || same=0; done
check "the 3:2 rotation by its new key gives the older key's result files to the byte" "[ $same -eq 1 ]"
check "... and neither run draws the older key's note" "! grep -q 'second_order' old.err new.err"
"$tidal" --body 8 --method steady --output sync --set orbit.second_order=false > /dev/null 2>&1
check "... and it is not the synchronous tide" "! cmp -s sync/summary.csv <(\"$tidal\" --body 8 --method steady --output steady32 > /dev/null 2>&1; cat steady32/summary.csv)"

# --- A stored body file with the older key: the same numbers, one note ------------------
"$tidal" --print-body 8 > mercury.toml
"$tidal" --body-file mercury.toml "${short[@]}" --output file > /dev/null 2> file.err
check "a body file with second_order = true gives the preset's results" "cmp -s old/summary.csv file/summary.csv"
check "... with one note that names orbit.rotation" "[ \$(grep -c '^note: orbit.second_order' file.err) -eq 1 ] && grep -q 'orbit.rotation = \"3:2\"' file.err"

# --- The exact tide: a time run, its harmonics in tide.csv ------------------------------
"$tidal" --body 5 "${short[@]}" --set orbit.eccentricity=0.2 --set orbit.tide=exact \
    --output exact > /dev/null 2> exact.err
status=$?
check "an exact-tide run at e = 0.2 succeeds" "[ $status -eq 0 ] && only_warnings exact.err"
check "... and writes tide.csv: 11 harmonics, orders 0 and 2 (no order 1 at obliquity 0)" \
    "[ \"\$(head -1 exact/tide.csv)\" = 'harmonic,frequency_rad_s,order,amplitude_per_s2' ] && [ \$(col exact/tide.csv harmonic | sort -un | wc -l) -eq 11 ] && [ \"\$(col exact/tide.csv order | sort -u | tr '\n' ' ')\" = '0 2 ' ]"
check "... whose amplitudes fall with the harmonic" \
    "col exact/tide.csv amplitude_per_s2 | awk 'NR % 2 == 0 && NR > 2 && \$1 >= prev { bad = 1 } NR % 2 == 0 { prev = \$1 } END { exit bad }'"
check "... with its periodic state beside every run: steady power, transient and step error" \
    "[ \$(for c in maxwell_steady_power_W maxwell_transient maxwell_step_error kelvin_voigt_step_error; do col exact/summary.csv \$c; done | grep -c -v -E '^-?[0-9]') -eq 0 ] && [ \$(col exact/summary.csv maxwell_transient | wc -l) -gt 5 ]"
check "... close to it after ten periods" \
    "col exact/summary.csv maxwell_transient | awk '{ v = \$1 < 0 ? -\$1 : \$1; if (v > 1e-2) bad = 1 } END { exit bad }'"
check "... and a first-order run writes no tide.csv" "[ ! -e old/tide.csv ]"
"$tidal" --body 5 --set sweep.steps_per_decade=2 --set orbit.eccentricity=0.2 --set orbit.tide=exact \
    --method steady --map 1e17 --output steady > /dev/null 2> steady.err
status=$?
check "the steady method and --map take the exact tide" \
    "[ $status -eq 0 ] && only_warnings steady.err && [ -s steady/map-1e+17.csv ] && cmp -s exact/tide.csv steady/tide.csv"
check "... and its powers are the time runs' exact-in-time periodic states" \
    "[ \"\$(col steady/summary.csv maxwell_power_W)\" = \"\$(col exact/summary.csv maxwell_steady_power_W)\" ]"
check "... which heat more than the first-order tide at e = 0.2" \
    "\"$tidal\" --body 5 --set sweep.steps_per_decade=2 --set orbit.eccentricity=0.2 --method steady --output first > /dev/null 2>&1 && paste -d' ' <(col steady/summary.csv maxwell_power_W) <(col first/summary.csv maxwell_power_W) | awk '\$1 <= 1.01 * \$2 { bad = 1 } END { exit bad }'"
# The oblique exact tide on a circular orbit (docs/method.md §2.2, c = cos theta, lambda =
# varpi + M): |W21|/r^2 = sqrt(6pi/5) n^2 sin(theta) at harmonic 1 times
# sqrt(((1+3c)/4)^2 + ((1-c)/4)^2) and at harmonic 3 times sqrt(2) (1-c)/4, none at 2 and 4;
# order 0 at harmonic 2, sqrt(pi/5) n^2 (3/2) sin^2(theta).
"$tidal" --body 1 --method steady --set orbit.eccentricity=0 --set orbit.obliquity=30 \
    --set orbit.pericentre_argument=40 --set orbit.tide=exact --set sweep.log10_viscosity_min=14 \
    --set sweep.log10_viscosity_max=14 --output tilted > /dev/null 2> tilted.err
status=$?
tide_rows() { tr -d '\r' < tilted/tide.csv | awk -F, -v o="$1" 'NR > 1 && $3 == o { print $1, $2, $4 }'; }
check "an oblique exact tide on a circular orbit writes tide.csv with rows of orders 0, 1 and 2 for each of its 4 harmonics" \
    "[ $status -eq 0 ] && only_warnings tilted.err && [ \"\$(col tilted/tide.csv order | sort | uniq -c | awk '{ printf \"%s:%s \", \$2, \$1 }')\" = '0:4 1:4 2:4 ' ]"
check "... its order-1 amplitudes the closed form's at harmonics 1 and 3, none at 2 and 4" \
    "tide_rows 1 | awk '{ pi = atan2(0, -1); if (\$1 == 1) n = \$2; a[\$1] = \$3 }
        END { s = sin(pi / 6); c = cos(pi / 6); w = sqrt(6 * pi / 5) * n * n * s
              e1 = a[1] / (w * sqrt(((1 + 3 * c) / 4) ^ 2 + ((1 - c) / 4) ^ 2)) - 1
              e3 = a[3] / (w * sqrt(2) * (1 - c) / 4) - 1
              exit !(e1 * e1 < 1e-20 && e3 * e3 < 1e-20 && a[2] < 1e-12 * a[1] && a[4] < 1e-12 * a[1]) }'"
check "... and its order-0 amplitude at harmonic 2 the closed form's" \
    "tide_rows 0 | awk '{ pi = atan2(0, -1); if (\$1 == 1) n = \$2; a[\$1] = \$3 }
        END { e = a[2] / (sqrt(pi / 5) * n * n * 1.5 * sin(pi / 6) ^ 2) - 1; exit !(e * e < 1e-20) }'"
# A large obliquity under the first-order tide: one note naming the exact tide (at 40 degrees,
# not at 30, not with the exact tide).
for case in "40 expansion" "30 expansion" "40 exact" "140 expansion"; do
    set -- $case
    "$tidal" --body 1 --method steady --set orbit.obliquity=$1 --set orbit.tide=$2 \
        --set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=14 \
        --output "tilt-$1-$2" > /dev/null 2> "tilt-$1-$2.err"
done
tilt_notes() { grep -c "^note: orbit.obliquity = $1: .*orbit.tide = \"exact\" takes every order$" "tilt-$1-expansion.err"; }
check "obliquity 40 and 140 degrees under the first-order tide: one note naming orbit.tide = \"exact\"" \
    "[ \$(tilt_notes 40) -eq 1 ] && [ \$(tilt_notes 140) -eq 1 ]"
check "... none at 30 degrees nor with the exact tide" \
    "[ -s tilt-30-expansion/summary.csv ] && [ -s tilt-40-exact/summary.csv ] && ! grep -q 'orbit.obliquity' tilt-30-expansion.err tilt-40-exact.err"
"$tidal" --body 5 "${short[@]}" --set orbit.eccentricity=0.7 --set orbit.tide=exact \
    --set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=14 --output coarse \
    > /dev/null 2> coarse.err
check "400 steps per period for the 87 harmonics of e = 0.7: one warning of the measured step error, naming the key" \
    "[ \$(grep -c '^warning: 1 of 1 viscosities have a time-step error .* raise numerics.steps_per_period' coarse.err) -eq 1 ] && [ \$(grep -c '^warning' coarse.err) -eq 1 ]"
one=(--set sweep.log10_viscosity_min=17 --set sweep.log10_viscosity_max=17 --jobs 1)
for steps in 22 23; do
    "$tidal" --body 5 "${one[@]}" --set orbit.eccentricity=0.2 --set orbit.tide=exact \
        --set numerics.steps_per_period=$steps --output "steps$steps" > /dev/null 2> "steps$steps.err"
done
check "22 steps per period for the 11 harmonics of e = 0.2: one warning that they are not resolved, naming the key" \
    "[ \$(grep -c '^warning: numerics.steps_per_period = 22 does not resolve the 11 harmonics of the exact tide at eccentricity 0.2 .* raise numerics.steps_per_period above 22$' steps22.err) -eq 1 ]"
check "... and 23 steps none" "[ -s steps23/summary.csv ] && ! grep -q 'does not resolve' steps23.err"
check "... nor the steady method" \
    "\"$tidal\" --body 5 \"\${one[@]}\" --set orbit.eccentricity=0.2 --set orbit.tide=exact --set numerics.steps_per_period=4 --method steady --output steps4 2>&1 > /dev/null | grep -q 'does not resolve'; [ \$? -eq 1 ]"

# At most as many steps per period as harmonics: harmonic n = steps_per_period turns by a whole
# period each step, a constant load under which a Maxwell shell has no periodic state (its
# transient and step error came out NaN). Fails if that bound is dropped or moved by a step.
for steps in 16 17; do
    "$tidal" --body 5 "${one[@]}" --set orbit.eccentricity=0.3 --set orbit.tide=exact \
        --set numerics.steps_per_period=$steps --output "few$steps" > /dev/null 2> "few$steps.err"
    echo $? > "few$steps.status"
done
check "16 steps per period for the 16 harmonics of e = 0.3: refused with status 2, one line naming the key, nothing created" \
    "[ \$(cat few16.status) -eq 2 ] && one_line few16.err && grep -q '^error: numerics.steps_per_period: 16 steps per period cannot carry the 16 harmonics' few16.err && [ ! -e few16 ]"
check "... 17 steps run, no NaN in their messages or summary" \
    "[ \$(cat few17.status) -eq 0 ] && [ -s few17/summary.csv ] && ! grep -qi nan few17.err few17/summary.csv"

# --- Refused: status 2, one line, nothing created ----------------------------------------
for args in "--set orbit.tide=exac" "--set orbit.rotation=1:1" \
            "--set orbit.tide=exact --set orbit.eccentricity=0.95"; do
    "$tidal" --body 5 $args --output refused > out.txt 2> err.txt
    status=$?
    check "'$args' exits with status 2, one line, nothing created" \
        "[ $status -eq 2 ] && one_line err.txt && [ ! -e refused ]"
done
check "the last names the key and the cap" "grep -q 'orbit.eccentricity: the exact tide at eccentricity 0.95 needs more than 400 harmonics' err.txt"
exit $failed
