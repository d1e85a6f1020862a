#!/usr/bin/env bash
# The command line of the built program: help and version, a scripted run into a new
# directory, and the same files and console lines for one thread, two threads and the menu.
# Usage: program_cli.sh TIDAL
set -uo pipefail
tidal=$(realpath "$1")
source "$(dirname "$0")/checks.sh"
cd "$scratch"

"$tidal" --help > help.txt 2> err.txt; status=$?
check "--help exits with 0 and writes only to standard output" "[ $status -eq 0 ] && [ ! -s err.txt ]"
check "--help shows every option and body" "grep -q -- '--body N' help.txt && grep -q -- '--output DIR' help.txt && grep -q -- '--jobs N' help.txt && grep -q Mercury help.txt"
"$tidal" --version > version.txt; status=$?
check "--version prints one line" "[ $status -eq 0 ] && [ \$(wc -l < version.txt) -eq 1 ] && grep -q '^tidal ' version.txt"

# A scripted run: no menu, nothing read, the files in a new nested directory.
"$tidal" --body 4 --output runs/one --jobs 1 < /dev/full > one.txt 2> err.txt; status=$?
check "--body 4 --output runs/one succeeds without reading standard input" "[ $status -eq 0 ] && only_warnings err.txt"
check "... raising no warning at the preset's defaults: none of its numbers is in doubt" \
    "! grep -q '^warning' err.txt && grep -q '^note: accuracy: ' err.txt"
check "... creates the directory with all ten result files" "cd runs/one && ls $files > /dev/null && [ \$(wc -l < pcelketa) -eq 201 ] && [ \$(wc -l < time) -eq 20000 ]; r=\$?; cd ../..; [ \$r -eq 0 ]"
check "... and shows no menu: three lines per viscosity" "[ \$(wc -l < one.txt) -eq 603 ] && ! grep -q 'Choose' one.txt"

# Two threads and the menu give the same bytes.
"$tidal" --body 4 --output runs/two --jobs 2 --series 1e24 --series 3e15 > two.txt
mkdir runs/menu && (cd runs/menu && echo 4 | OMP_NUM_THREADS=2 "$tidal" > ../../menu.txt)
same=1
for f in $files; do
    cmp -s runs/one/$f runs/two/$f && cmp -s runs/one/$f runs/menu/$f || { echo "differs: $f"; same=0; }
done
check "1 thread, 2 threads (with --series) and the menu write identical result files" "[ $same -eq 1 ]"
check "... and identical console lines after the menu" "cmp -s one.txt two.txt && cmp -s one.txt <(tail -n +4 menu.txt)"

# The tables beside the legacy files (body 4: outer radius 6400 km, one-day orbit).
cd runs/two
header="viscosity_Pa_s"
for r in maxwell kelvin_voigt; do
    for q in power_W heat_flux_W_m2 min_surface_displacement_m min_phase max_equator_displacement_m phase_lag_deg amplitude_m; do
        header="$header,${r}_$q"
    done
done
for r in maxwell kelvin_voigt; do
    for q in steady_power_W steady_phase_lag_deg transient step_error; do
        header="$header,${r}_$q"
    done
done
for r in maxwell kelvin_voigt; do
    for q in h2_real h2_imag k2_real k2_imag minus_im_k2 tidal_q; do
        header="$header,${r}_$q"
    done
done
for r in maxwell kelvin_voigt; do
    for q in grid_error h2_grid_error k2_grid_error; do
        header="$header,${r}_$q"
    done
done
check "summary.csv has the documented header, LF records (no CR) and one row per viscosity" \
    "[ \"\$(head -1 summary.csv)\" = \"$header\" ] && ! grep -q \$'\\r' summary.csv && [ \$(wc -l < summary.csv) -eq 202 ]"
# Column c of summary.csv against column 2 of a legacy file, number by number.
same_column() {
    tr -d '\r' < summary.csv | tail -n +2 | cut -d, -f"$1" | paste -d' ' - "$2" |
        awk '$1 != $3 || NR == 0 { bad = 1 } END { exit bad || NR != 201 }'
}
viscosities_match=$(tr -d '\r' < summary.csv | tail -n +2 | cut -d, -f1 | paste -d' ' - pcelketa | awk '$1 != $2 { b = 1 } END { print b + 0 }')
check "... its viscosities are those of the legacy files" "[ $viscosities_match -eq 0 ]"
for pair in "2 pcelketa" "4 ureta" "5 tneta" "6 urtheta" "9 pcelketakelvin" "11 uretakelvin" "12 tnetakelvin" "13 urthetakelvin"; do
    set -- $pair
    check "... column $1 holds the values of $2" "same_column $1 $2"
done
check "... heat flux is the power over 4 pi (6400 km)^2, in W/m^2" \
    "tr -d '\\r' < summary.csv | tail -n +2 | awk -F, '{ for (c = 2; c <= 9; c += 7) { f = \$c / (4 * 3.141592653589793 * 6.4e6^2); if ((\$(c+1) - f)^2 > (1e-13 * f)^2) bad = 1 } } END { exit bad }'"
check "... lags lie in (-180, 180] degrees" \
    "tr -d '\\r' < summary.csv | tail -n +2 | awk -F, '\$7 <= -180 || \$7 > 180 || \$14 <= -180 || \$14 > 180 { bad = 1 } END { exit bad }'"
check "peaks.csv names each rheology's largest swept power" \
    "[ \"\$(sort -g -k2 pcelketa | tail -1 | awk '{ print \$1 }')\" = \"\$(awk -F, '\$1 == \"maxwell\" { print \$2 }' peaks.csv)\" ] && [ \"\$(sort -g -k2 pcelketakelvin | tail -1 | awk '{ print \$1 }')\" = \"\$(awk -F, '\$1 == \"kelvin_voigt\" { print \$2 }' peaks.csv)\" ]"
check "--series writes one table per asked viscosity, at the nearest swept one" \
    "[ \"\$(ls series-*.csv | tr '\\n' ' ')\" = 'series-1e+24.csv series-3162277660168379.5.csv ' ]"
check "... the highest viscosity's series is that of time and timekelvin" \
    "tr -d '\\r' < series-1e+24.csv | tail -n +2 | cut -d, -f1,4,5 | tr , ' ' | paste -d' ' - time timekelvin | awk '\$1 != \$4 || \$2 != \$5 || \$3 != \$7 { b = 1 } END { exit b || NR != 20000 }'"
check "... with time in seconds (43.2 s a step) and in orbital periods" \
    "tr -d '\\r' < series-1e+24.csv | awk -F, 'NR == 1 && \$0 != \"step,time_s,time_periods,maxwell_surface_displacement_m,kelvin_voigt_surface_displacement_m\" { b = 1 } NR > 1 && ((\$2 - 43.2 * \$1)^2 > 1e-24 * \$2^2 || (\$3 * 2000 - \$1)^2 > 1e-18) { b = 1 } END { exit b }'"
cd ../..
exit $failed
