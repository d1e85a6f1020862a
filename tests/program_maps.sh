#!/usr/bin/env bash
# Love numbers, heating profiles and surface maps on the built program: the profile's layers
# add up to the summary's power at every viscosity, the maps integrate over the surface to the
# power of their periodic state and, on a shell with viscosity factors, agree with the profile
# of the same run layer by layer; bad --map values are refused like bad --series values.
# Usage: program_maps.sh TIDAL
set -uo pipefail
tidal=$(realpath "$1")
source "$(dirname "$0")/checks.sh"
cd "$scratch"
# The area integral (trapezoid in latitude, cos weights; uniform in longitude) of a map's
# column, times the outer radius squared: W.
area_integral() { # map file, column name, outer radius (m)
    tr -d '\r' < "$1" | awk -F, -v name="$2" -v R="$3" '
        NR == 1 { for (i = 1; i <= NF; i++) if ($i == name) c = i; next }
        { lat[NR] = $1; lon[NR] = $2; v[NR] = $c; if ($1 == -90) n++ }
        END { d = 360 / n * atan2(0, -1) / 180; s = 0
              for (k in v) { w = (lat[k] == 90 || lat[k] == -90) ? 0.5 : 1
                             s += w * cos(lat[k] * atan2(0, -1) / 180) * d * d * v[k] }
              printf "%.17g\n", s * R * R }'
}
near() { awk -v a="$1" -v b="$2" -v tol="$3" 'BEGIN { d = a / b - 1; exit !(d * d <= tol * tol) }'; }

short="--set sweep.log10_viscosity_min=12 --set sweep.log10_viscosity_max=15 --set sweep.steps_per_decade=2 --set numerics.steps_per_period=400 --set numerics.periods=6"
models='rheology.models=["maxwell","kelvin_voigt","burgers","andrade"]'
"$tidal" --body 1 $short --set "$models" --method steady --map 1e13 --map 3e14 --output steady > /dev/null 2> err.txt
status=$?
check "--method steady with two maps succeeds quietly (its accuracy note alone)" "[ $status -eq 0 ] && one_line err.txt && grep -q '^note: accuracy: largest grid error' err.txt"
check "... writing map-1e+13.csv and the map of the swept viscosity nearest to 3e14" \
    "[ -f steady/map-1e+13.csv ] && [ -f steady/map-316227766016837.94.csv ]"
check "... on the default 2-degree grid: 91 latitudes by 180 longitudes" \
    "[ \$(tail -n +2 steady/map-1e+13.csv | wc -l) -eq 16380 ]"
for r in maxwell kelvin_voigt burgers andrade; do
    power=$(col steady/summary.csv ${r}_power_W | sed -n 3p)
    check "$r: the steady map's area integral is the power to the grid's quadrature error" \
        "near \$(area_integral steady/map-1e+13.csv ${r}_heat_flux_W_m2 252100) $power 2e-3"
    check "$r: the profile's layer powers add up to the power at every viscosity" \
        "paste -d' ' <(col steady/summary.csv ${r}_power_W) <(tr -d '\r' < steady/heating_profile.csv | awk -F, -v r=$r '\$2 == r { s[\$1] += \$7; if (!(\$1 in o)) o[\$1] = ++n; k[o[\$1]] = \$1 } END { for (i = 1; i <= n; i++) printf \"%.17g\n\", s[k[i]] }') | awk '{ d = \$2 / \$1 - 1; if (d * d > 1e-24 || NF != 2) b = 1 } END { exit b || NR != 7 }'"
done
check "Q is written where the response lags and k2/Q is -Im k2" \
    "paste -d' ' <(col steady/summary.csv maxwell_k2_imag) <(col steady/summary.csv maxwell_minus_im_k2) <(col steady/summary.csv maxwell_tidal_q) | awk '\$1 != -\$2 || \$3 <= 0 { b = 1 } END { exit b }'"

# The time method's maps are those of its scheme's periodic state: they integrate to the
# power that the run's last period reaches to its transient.
"$tidal" --body 1 $short --map 1e13 --map-step 5 --output time > /dev/null 2> err.txt
status=$?
check "a time sweep with a 5-degree map succeeds, with warnings at most" "[ $status -eq 0 ] && ! grep -qv '^\(warning\|note\): ' err.txt && [ \$(tail -n +2 time/map-1e+13.csv | wc -l) -eq 2664 ]"
p=$(col time/summary.csv maxwell_power_W | sed -n 3p); t=$(col time/summary.csv maxwell_transient | sed -n 3p)
check "... whose area integral is the run's power less its transient" \
    "near \$(area_integral time/map-1e+13.csv maxwell_heat_flux_W_m2 252100) \$(awk -v p=$p -v t=$t 'BEGIN { printf \"%.17g\", p / (1 + t) }') 5e-3"

# The maps against the profile of the same run, on a shell whose viscosity falls a
# hundredfold each way from its middle (factors 100 at the surface to 0.01 at the bottom):
# each map's top and bottom columns, averaged over the sphere, are the profile's outermost and
# innermost layers' mean heating, computed by the profile's own path, and its flux integrates
# to the layers' powers and the summary's. Caught: the maps ignoring the viscosity factors
# (every layer at the swept viscosity); the factors applied outermost-last; the bottom column
# taken from the layer above the innermost; the top and bottom columns swapped in the file.
factors=$(awk 'BEGIN { for (i = 0; i < 20; i++) printf "%s%.17g", (i ? ", " : ""), 10 ^ (2 - 4 * i / 19) }')
models5='rheology.models=["maxwell","kelvin_voigt","burgers","andrade","zener"]'
"$tidal" --body 1 $short --set "$models5" --set "shell.viscosity_factors=[$factors]" --method steady \
    --map 1e13 --output factors > /dev/null 2> err.txt
status=$?
check "a steady sweep of a shell with viscosity factors and a map succeeds" "[ $status -eq 0 ] && only_warnings err.txt && [ -f factors/map-1e+13.csv ]"
# The profile's column `name` of layer `layer` of rheology `r` at viscosity 1e+13.
profile_at() { # rheology, layer, column
    tr -d '\r' < factors/heating_profile.csv | awk -F, -v r="$1" -v l="$2" -v name="$3" '
        NR == 1 { for (i = 1; i <= NF; i++) if ($i == name) c = i; next }
        $1 == "1e+13" && $2 == r && $3 == l { print $c; n++ } END { exit n != 1 }'
}
sphere_mean() { awk -v s="$(area_integral factors/map-1e+13.csv "$1" 1)" 'BEGIN { printf "%.17g\n", s / (4 * atan2(0, -1)) }'; }
for r in maxwell kelvin_voigt burgers andrade zener; do
    top=$(profile_at $r 1 heating_W_m3); bottom=$(profile_at $r 20 heating_W_m3)
    layers=$(tr -d '\r' < factors/heating_profile.csv | awk -F, -v r=$r '$1 == "1e+13" && $2 == r { s += $7 } END { printf "%.17g\n", s }')
    power=$(paste -d, <(col factors/summary.csv viscosity_Pa_s) <(col factors/summary.csv ${r}_power_W) | awk -F, '$1 == "1e+13" { print $2 }')
    check "$r: the top column's sphere mean is the profile's outermost layer's heating" \
        "near \$(sphere_mean ${r}_top_heating_W_m3) $top 1e-3"
    check "$r: the bottom column's sphere mean is the profile's innermost layer's heating" \
        "near \$(sphere_mean ${r}_bottom_heating_W_m3) $bottom 1e-3"
    check "$r: the flux's area integral is the profile's layer powers and the summary's power" \
        "near \$(area_integral factors/map-1e+13.csv ${r}_heat_flux_W_m2 252100) $layers 1e-3 && near $layers $power 1e-12"
done

for bad in "--map abc" "--map -1e13" "--map 1e30" "--map-step 7" "--map-step 0" "--map-step two"; do
    "$tidal" --body 1 $short $bad --output refused > out.txt 2> err.txt
    status=$?
    check "'$bad' is refused with status 2 and one line, nothing created" \
        "[ $status -eq 2 ] && [ \$(wc -l < err.txt) -eq 1 ] && [ ! -e refused ] && [ ! -s out.txt ]"
done
exit $failed
