#!/usr/bin/env bash
# The figures drawn from results.nc and from the CSV tables beside it are drawn from the same
# numbers: plot-results (and the plot-heating it calls) dumps every data file and gnuplot
# setting it draws from (TIDAL_PLOT_DUMP), once reading results.nc and once with results.nc
# out of the way, and the two dumps and the PNG files must be the same bytes. On a short time
# sweep of a preset with a map and a series, and on a layered body (its layer boundaries in
# the heating profile). A results.nc that cannot be read, and a machine without ncdump, give the
# CSV tables' figures.
# Faults caught: the rheology axis of results.nc read transposed (the values of the r-th
# rheology at the v-th viscosity taken as ((v - 1) * rheologies + r)-th); a cell's outer and
# inner radius swapped in the profile; the map tables named by %.17g instead of the run's
# shortest form (1e+13); the layer power columns of a layered body's summary.csv taken for
# rheologies (plot-results failed on the CSV tables); a failing ncdump taken for a readable
# file (no figure); the note of a damaged results.nc given by both tools; ncdump called where
# it is not installed (a note on stderr).
# Usage: plot_netcdf.sh TIDAL PLOT_RESULTS LAYERED_BODY   (exits 77, skipped, without gnuplot
# or ncdump)
set -uo pipefail
tidal=$(realpath "$1")
plot=$(realpath "$2")
layered=$(realpath "$3")
command -v gnuplot > /dev/null || { echo "gnuplot not installed: skipped"; exit 77; }
command -v ncdump > /dev/null || { echo "ncdump (netcdf-bin) not installed: skipped"; exit 77; }
source "$(dirname "$0")/checks.sh"
cd "$scratch"
export TIDAL=$tidal

# Draws DIR into figures/ with its dump in dump-NAME, then moves the figures to figures-NAME;
# the listing in listed-NAME, standard error in err-NAME.
draw() { # directory, name
    rm -rf figures "dump-$2" "figures-$2"
    TIDAL_PLOT_DUMP="$scratch/dump-$2" "$plot" "$1" figures > "listed-$2" 2> "err-$2"
    local status=$?
    [ -d figures ] && mv figures "figures-$2"
    return $status
}
# The same bytes drawn from both: every dumped file but the sources, and every PNG.
same_drawing() { # name, name
    diff -r -x sources "dump-$1" "dump-$2" > /dev/null && cmp -s "listed-$1" "listed-$2" &&
        diff -r "figures-$1" "figures-$2" > /dev/null
}
from() { # name, source: every table of the dump came from that source
    [ -s "dump-$1/sources" ] && ! grep -q -v " $2\$" "dump-$1/sources"
}
both() { # directory, what, number of figures
    draw "$1" "$1-nc"; local nc=$?
    mv "$1/results.nc" "$1.nc"
    draw "$1" "$1-csv"; local csv=$?
    mv "$1.nc" "$1/results.nc"
    check "$2: drawn from results.nc and from the CSV tables, quietly, $3 figures" \
        "[ $nc -eq 0 ] && [ $csv -eq 0 ] && [ ! -s err-$1-nc ] && [ ! -s err-$1-csv ] && [ \$(wc -l < listed-$1-nc) -eq $3 ] || said err-$1-nc || said err-$1-csv"
    check "... the one from results.nc' sweep, profile and maps, the other from the CSV tables" \
        "from $1-nc results.nc && from $1-csv csv && [ \$(wc -l < dump-$1-nc/sources) -eq 3 ]"
    check "... from the same numbers: the same data, settings and figures, byte for byte" \
        "same_drawing $1-nc $1-csv"
    # Not two empty tables: the sweep has every viscosity, the map every grid point.
    check "... the sweep's table a row per viscosity, the map's a row per point" \
        "[ \$(wc -l < dump-$1-nc/plot-results-sweep.csv) -eq \$(wc -l < $1/summary.csv) ] && [ \$(wc -l < dump-$1-nc/plot-heating-map-$4.csv) -eq \$(wc -l < $1/map-$4.csv) ]"
}

"$tidal" --body 1 --set sweep.log10_viscosity_min=12 --set sweep.log10_viscosity_max=14 \
    --set sweep.steps_per_decade=2 --set numerics.periods=2 --set numerics.steps_per_period=200 \
    --map 1e13 --map-step 20 --series 1e13 --output preset > /dev/null 2>&1
both preset "a time sweep of Enceladus with a map and a series" 6 1e+13

"$tidal" --body-file "$layered" --method steady --set sweep.log10_viscosity_min=13 \
    --set sweep.log10_viscosity_max=15 --set 'rheology.models=["maxwell", "andrade"]' \
    --map 1e14 --map-step 30 --output layers > /dev/null 2>&1
both layers "a layered body's steady sweep, two rheologies" 5 1e+14
check "... its profile over the whole body, the boundaries at 30 and 42 km marked" \
    "grep -q 'first 30 to graph 1, first 30 nohead' dump-layers-nc/plot-heating-layers.gp && grep -q 'first 42 to graph 1, first 42 nohead' dump-layers-nc/plot-heating-layers.gp && grep -q 'yrange \[252:0\]' dump-layers-nc/plot-heating-layers.gp"

# A damaged results.nc: the CSV tables' figures, and one note.
mv preset/results.nc preset.nc
head -c 2000 preset.nc > preset/results.nc
draw preset damaged; status=$?
rm preset/results.nc && mv preset.nc preset/results.nc
check "a damaged results.nc: the CSV tables' figures, and one note that names the file" \
    "[ $status -eq 0 ] && from damaged csv && same_drawing damaged preset-csv && one_line err-damaged && grep -q \"preset/results.nc' cannot be read\" err-damaged"

# No ncdump: the CSV tables' figures, silently.
mkdir nonc
IFS=: read -r -a path_dirs <<< "$PATH"
for d in "${path_dirs[@]}"; do
    for f in "$d"/*; do
        n=${f##*/}
        [ "$n" = ncdump ] || [ -e "nonc/$n" ] || [ ! -x "$f" ] || ln -s "$f" "nonc/$n"
    done
done
PATH="$scratch/nonc" draw preset nonc; status=$?
check "without ncdump: the CSV tables' figures, nothing on stderr" \
    "[ $status -eq 0 ] && from nonc csv && same_drawing nonc preset-csv && [ ! -s err-nonc ]"
exit $failed
