#!/usr/bin/env bash
# The periodic steady state on the built program: --method steady writes the tables and the
# body but no legacy files, its columns equal the steady columns of a time sweep, the time
# sweep's transient is small where the runs have settled, and a run too short to settle says
# so on standard error.
# Usage: program_steady.sh TIDAL
set -uo pipefail
tidal=$(realpath "$1")
source "$(dirname "$0")/checks.sh"
cd "$scratch"

short="--set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=16 --set sweep.steps_per_decade=4"
"$tidal" --body 8 $short --method steady --output steady > steady.txt 2> err.txt; status=$?
check "--method steady succeeds with nothing but warnings on standard error" "[ $status -eq 0 ] && only_warnings err.txt"
check "... writing the tables and the body, no legacy files" \
    "[ \"\$(ls steady | tr '\n' ' ')\" = 'body.toml heating_profile.csv love_numbers.csv peaks.csv results.nc summary.csv ' ]"
check "... with the console lines of a sweep" "[ \$(wc -l < steady.txt) -eq 27 ] && grep -q '^ viscosity ' steady.txt"
"$tidal" --body 8 $short --output time --jobs 2 > time.txt 2> err.txt; status=$?
check "the time sweep of the same body succeeds with nothing but warnings on standard error" "[ $status -eq 0 ] && only_warnings err.txt"
check "both methods write the same header" "[ \"\$(head -1 steady/summary.csv)\" = \"\$(head -1 time/summary.csv)\" ]"
for r in maxwell kelvin_voigt; do
    check "$r: the steady method's power is the time sweep's steady column, bit for bit" \
        "[ \"\$(col steady/summary.csv ${r}_power_W)\" = \"\$(col time/summary.csv ${r}_steady_power_W)\" ]"
    check "$r: the steady method leaves transient and step error empty" \
        "[ -z \"\$(col steady/summary.csv ${r}_transient | tr -d '\n')\" ]"
    check "$r: Mercury's runs have settled: |transient| < 1e-4 at every viscosity" \
        "col time/summary.csv ${r}_transient | awk '{ if (\$1 * \$1 > 1e-8 || \$1 == \"\") b = 1 } END { exit b }'"
    check "$r: the time-domain power agrees with the steady one to the step error" \
        "paste <(col time/summary.csv ${r}_power_W) <(col time/summary.csv ${r}_steady_power_W) | awk '{ d = \$1 / \$2 - 1; if (d * d > 4e-6) b = 1 } END { exit b }'"
done

# Two periods are too few for Enceladus: one line says how many runs are off, and which.
"$tidal" --body 1 --set numerics.periods=2 --set sweep.log10_viscosity_min=12 \
    --set sweep.log10_viscosity_max=14 --set sweep.steps_per_decade=4 --output short > /dev/null 2> err.txt
status=$?
check "a run too short to settle still succeeds" "[ $status -eq 0 ]"
check "... and warns in one line, naming the worst run and the key to raise (beside its other warnings)" \
    "only_warnings err.txt && [ \$(grep -c 'numerics.periods' err.txt) -eq 1 ] && grep -q '^warning: [0-9]* of 9 viscosities are more than 1.0e-2 from their periodic state after 2 periods (worst: .* Pa s, .*); raise numerics.periods (or numerics.doubt_limit)$' err.txt"

for args in "--method fast" "--method steady --series 1e15"; do
    "$tidal" --body 8 $args --output refused > out.txt 2> err.txt; status=$?
    check "'$args' is refused with status 2 and one line, nothing created" \
        "[ $status -eq 2 ] && one_line err.txt && [ ! -e refused ]"
done
# Extrapolated values on request: beside the plain 10-layer values, their limit from 10 and 20
# layers, which lies far closer to the values of a fine grid (80 layers) than the plain ones.
few="--set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=15 --set sweep.steps_per_decade=2"
"$tidal" --body 8 $few --method steady --set numerics.layers=10 --set numerics.extrapolate=true \
    --output extrapolated > /dev/null 2> err.txt; status=$?
"$tidal" --body 8 $few --method steady --set numerics.layers=80 --output fine > /dev/null 2>&1
check "numerics.extrapolate = true succeeds and adds the extrapolated columns after the grid errors" \
    "[ $status -eq 0 ] && head -1 extrapolated/summary.csv | grep -q ',maxwell_k2_grid_error,kelvin_voigt_grid_error,kelvin_voigt_h2_grid_error,kelvin_voigt_k2_grid_error,maxwell_extrapolated_power_W,maxwell_extrapolated_phase_lag_deg,maxwell_extrapolated_h2_real,maxwell_extrapolated_h2_imag,maxwell_extrapolated_k2_real,maxwell_extrapolated_k2_imag,kelvin_voigt_extrapolated_power_W,.*kelvin_voigt_extrapolated_k2_imag$' && ! head -1 fine/summary.csv | grep -q extrapolated"
check "... and the body it writes asks for them again" "grep -q '^extrapolate = true' extrapolated/body.toml"
for r in maxwell kelvin_voigt; do
    for q in power_W h2_real k2_imag; do
        check "$r $q: extrapolated from 10 and 20 layers, ten times closer to 80 layers than the plain value" \
            "paste -d, <(col extrapolated/summary.csv ${r}_$q) <(col extrapolated/summary.csv ${r}_extrapolated_$q) <(col fine/summary.csv ${r}_$q) | awk -F, 'function abs(x) { return x < 0 ? -x : x } { if (!(abs(\$2 - \$3) * 10 < abs(\$1 - \$3))) b = 1; n++ } END { exit b || n != 3 }'"
    done
done
"$tidal" --body 8 $few --method steady --set numerics.extrapolate=true --set numerics.grid_error=false \
    --output refused > /dev/null 2> err.txt; status=$?
check "extrapolation without the solve on twice the layers is refused in one line naming both keys, nothing created" \
    "[ $status -eq 2 ] && one_line err.txt && grep -q 'numerics.extrapolate.*numerics.grid_error = false' err.txt && [ ! -e refused ]"

exit $failed
