#!/usr/bin/env bash
# The plot command on result directories: valid PNG figures from summary.csv with any set of
# rheologies and from the legacy files alone, and every failure one line with a non-zero status
# and nothing created.
# Usage: plot_results.sh TIDAL PLOT_RESULTS   (exits 77, skipped, without gnuplot)
set -uo pipefail
tidal=$(realpath "$1")
plot=$(realpath "$2")
command -v gnuplot > /dev/null || { echo "gnuplot not installed: skipped"; exit 77; }
source "$(dirname "$0")/checks.sh"
# A PNG starts with its 8-byte signature followed by the IHDR chunk; width and height > 0.
valid_png() {
    [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] &&
    [ "$(head -c 16 "$1" | tail -c 4)" = "IHDR" ] &&
    [ "$(head -c 24 "$1" | tail -c 8 | od -An -tu1 | tr -s ' ' | tr -d '\n')" != " 0 0 0 0 0 0 0 0" ] &&
    [ "$(stat -c %s "$1")" -gt 5000 ]
}
cd "$scratch"
# A short sweep: the figures, not the numbers, are tested here (the whole sweep took most of
# this test's time).
"$tidal" --body 5 --output results --series 1e20 --set sweep.log10_viscosity_min=18 \
    --set sweep.log10_viscosity_max=21 --set numerics.periods=2 --set numerics.steps_per_period=400 > /dev/null
printf 'name = "Exoplanet, 5-day orbit"\n[shell]\nouter_radius = 6400000.0\nthickness = 3200000.0\n' > results/body.toml
# Directories given with a trailing slash: the paths listed have none doubled (caught: the
# names printed as "figures//power.png").
"$plot" results/ figures/ > listed.txt 2> err.txt; status=$?
check "plot-results succeeds quietly" "[ $status -eq 0 ] && [ ! -s err.txt ]"
for f in power heat_flux displacement series-1e+20 heating_profile; do
    check "$f.png is a valid PNG image" "valid_png figures/$f.png"
done
check "it lists the five figures it wrote, as figures/NAME.png" "[ \$(wc -l < listed.txt) -eq 5 ] && grep -qx figures/series-1e+20.png listed.txt && grep -qx figures/heating_profile.png listed.txt && ! grep -q // listed.txt"
"$plot" results > /dev/null 2> err.txt
check "without OUTDIR the figures go into the result directory" "valid_png results/power.png"

# The figures carry the run's error bar: the largest transient, step and grid error that the
# run's closing accuracy line gives (gnuplot's settings caught on their way in); a steady
# sweep has only the grid error.
mkdir shim
real_gnuplot=$(command -v gnuplot)
printf '#!/usr/bin/env bash\nprintf "%%s\\n" "$2" >> "%s/settings.txt"\nexec "%s" "$@"\n' "$scratch" "$real_gnuplot" > shim/gnuplot
chmod +x shim/gnuplot
"$tidal" --body 1 --set sweep.log10_viscosity_min=11 --set sweep.log10_viscosity_max=15 \
    --set sweep.steps_per_decade=2 --output bar > /dev/null 2> bar.err
"$tidal" --body 1 --set sweep.log10_viscosity_min=11 --set sweep.log10_viscosity_max=15 \
    --set sweep.steps_per_decade=2 --method steady --output steady_bar > /dev/null 2> /dev/null
PATH="$scratch/shim:$PATH" "$plot" bar > /dev/null 2>&1
PATH="$scratch/shim:$PATH" "$plot" steady_bar > /dev/null 2>&1
# "note: accuracy: largest transient -2.5e-4 (...), step error -1.7e-3 (...), grid error 2.4e-4 (...) over ..."
expected=$(sed -n 's/^note: accuracy: largest transient \([^ ]*\) .*step error \([^ ]*\) .*grid error \([^ ]*\) .*/transient \1, time step \2, grid \3/p' bar.err |
    sed 's/e\([-+]\)\([0-9]\)\b/e\10\2/g')
check "the power and heat-flux figures' subtitle gives the run's largest errors ($expected)" \
    "[ -n \"$expected\" ] && grep -q -F \"accuracy='largest estimated error: $expected'\" settings.txt"
check "... and a steady sweep's only its grid error" \
    "grep -q \"accuracy='largest estimated error: grid [-0-9.e+]*';\" settings.txt"

# Every rheology of the run is drawn, in panels of its own in the series; also one rheology
# alone, without the legacy files. Short runs: the figures, not the numbers, are tested here.
height() { od -An -tu1 -j 20 -N 4 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }'; }
short() { # directory, models
    "$tidal" --body 5 --output "$1" --series 1e20 --set "rheology.models=$2" \
        --set sweep.log10_viscosity_min=18 --set sweep.log10_viscosity_max=21 \
        --set numerics.periods=2 --set numerics.steps_per_period=400 > /dev/null 2>&1
}
short four '["maxwell", "kelvin_voigt", "burgers", "andrade"]'
"$plot" four > listed.txt 2> err.txt; status=$?
check "four rheologies: power, heat flux, displacement, series and profile figures" \
    "[ $status -eq 0 ] && [ ! -s err.txt ] && [ \$(wc -l < listed.txt) -eq 5 ] && valid_png four/power.png && valid_png four/heat_flux.png && valid_png four/displacement.png && valid_png four/series-1e+20.png"
check "... the series figure has room for four panels" \
    "[ \$(height four/series-1e+20.png) -gt \$(height figures/series-1e+20.png) ]"
short one '["andrade"]'
"$plot" one > listed.txt 2> err.txt; status=$?
check "Andrade alone: the five figures" \
    "[ $status -eq 0 ] && [ ! -s err.txt ] && [ \$(wc -l < listed.txt) -eq 5 ] && valid_png one/power.png && valid_png one/series-1e+20.png"

# Maps: one figure per map file, with a panel per rheology.
"$tidal" --body 1 --method steady --map 1e13 --map-step 10 --output mapped > /dev/null 2>&1
"$plot" mapped > listed.txt 2> err.txt; status=$?
check "a map file gets its figure" \
    "[ $status -eq 0 ] && [ ! -s err.txt ] && grep -qx mapped/map-1e+13.png listed.txt && valid_png mapped/map-1e+13.png"
# Every rheology gets a panel of its own: five make three rows of two, not four overlapping.
"$tidal" --body 1 --method steady --map 1e13 --map-step 10 --output five \
    --set 'rheology.models=["maxwell", "kelvin_voigt", "burgers", "andrade", "zener"]' > /dev/null 2>&1
"$(dirname "$plot")/plot-heating" five > /dev/null 2> err.txt
png_height() { od -An -tu1 -j 20 -N 4 "$1" | awk '{ print (($1 * 256 + $2) * 256 + $3) * 256 + $4 }'; }
check "five rheologies' heating profiles and maps have three rows of panels" \
    "[ ! -s err.txt ] && [ \$(png_height five/heating_profile.png) -ge 1300 ] && [ \$(png_height five/map-1e+13.png) -ge 1100 ]"
# A body given by its layers: the profile spans the whole body, its boundaries dashed and its
# layers named, in a taller figure; a layer's name is text, never run. Caught: the layers not
# found in body.toml (the figure of a [shell] body's height); a layer's name written into the
# gnuplot label with its quotes.
examples=$(realpath "$(dirname "$0")/../examples")
"$tidal" --body-file "$examples/io-asthenosphere-over-liquid-core.toml" --method steady \
    --set sweep.log10_viscosity_min=9 --set sweep.log10_viscosity_max=10 --output layered > /dev/null 2>&1
TIDAL_PLOT_DUMP="$scratch/dump" "$(dirname "$plot")/plot-heating" layered > /dev/null 2> err.txt
check "a layered body's heating profile has room for its named layers" \
    "[ ! -s err.txt ] && valid_png layered/heating_profile.png && [ \$(png_height layered/heating_profile.png) -ge 650 ]"
# Io's heat lies in its asthenosphere, 30 to 80 km deep: beside the whole body, the depths down
# to the asthenosphere's base enlarged; every layer's name in the margin, off the curves; each
# curve broken at every boundary (a lithosphere, an asthenosphere and a mantle segment, each
# within its layer). Caught: the enlarged depths ending at the base of the outermost layer
# instead of the hottest; the names inside the plot (at graph 0.98); the curves drawn across
# the boundaries.
segments_in_layers() { # the curve files: "lithosphere asthenosphere mantle" segments, each in its layer
    awk -v bounds="0 30 80 861.6" '
        function layer(d,   k) { for (k = 1; k < nb; k++) if (d >= b[k] && d <= b[k + 1]) return k; return 0 }
        function close_segment() { if (seen) curve = curve " " at; seen = 0 }
        BEGIN { nb = split(bounds, b, " ") }
        FNR == 1 { close_segment() }
        NF == 0 { close_segment(); next }
        { k = layer($1); if (!seen) { at = k; seen = 1 } else if (k != at) at = -1 }
        END { close_segment(); print curve }' "$@" | grep -q -x -E '( 1 2 3)+'
}
check "... drawn whole, to the centre, and down to the asthenosphere's base (80 km) enlarged" \
    "grep -q 'yrange \[1821.6:0\]' dump/plot-heating-layers.gp && grep -q 'yrange \[80:0\]' dump/plot-heating-layers-zoom.gp && grep -q 'views=2;' dump/plot-heating-profile-settings"
check "... every layer named in the margin, beside the plot" \
    "[ \$(grep -c 'set label' dump/plot-heating-layers.gp) -eq 4 ] && ! grep 'set label' dump/plot-heating-layers*.gp | grep -v -q 'at graph 1[.][0-9]*, '"
check "... the curves broken at the boundaries between layers" "segments_in_layers dump/plot-heating-p-1-*.dat"
# An Earth-like mantle heated mostly in its lower mantle, 670 to 2891 km deep: the whole body
# alone (caught: the enlarged view drawn whatever the depth of the heat).
"$tidal" --body-file "$examples/earth-mantle-over-liquid-core.toml" --method steady --output earth > /dev/null 2>&1
TIDAL_PLOT_DUMP="$scratch/dump-earth" "$(dirname "$plot")/plot-heating" earth > /dev/null 2> err.txt
check "a body heated deep down: its profile over the whole body alone" \
    "[ ! -s err.txt ] && grep -q 'views=1;' dump-earth/plot-heating-profile-settings && [ ! -s dump-earth/plot-heating-layers-zoom.gp ] && grep -q 'yrange \[6371:0\]' dump-earth/plot-heating-layers.gp"
sed -i 's/^name = "mantle"/name = "m\\" . system(\\"touch pwned\\") . \\""/' layered/body.toml
"$(dirname "$plot")/plot-heating" layered > /dev/null 2> err.txt
check "... and a layer's name is only a label" \
    "grep -q 'system' layered/body.toml && [ ! -e pwned ] && [ ! -s err.txt ] && valid_png layered/heating_profile.png"
printf 'name = "`touch pwned` \\" . system(\\"touch pwned\\") . \\""\n' > mapped/body.toml
"$(dirname "$plot")/plot-heating" mapped > /dev/null 2> err.txt
check "a body's name is only a title for the heating figures" "[ ! -e pwned ] && [ ! -s err.txt ] && valid_png mapped/heating_profile.png"

# The tools alone, with no tidal to name the rheologies, on a run without Kelvin-Voigt (caught:
# the legacy files' colours looked up for rheologies never described, an unbound variable).
mkdir alone && cp "$(dirname "$plot")"/{plot-results,plot-results.gp,rheology-styles.sh,result-tables.sh} alone/
env -u TIDAL alone/plot-results one alone-figures > listed.txt 2> err.txt; status=$?
check "the plot tools without a tidal program beside them" "[ $status -eq 0 ] && [ ! -s err.txt ] && [ \$(wc -l < listed.txt) -eq 4 ]"

# A body file holds text, not commands for gnuplot.
mkdir hostile && cp results/summary.csv hostile/
printf '[shell]\nouter_radius = system("touch${IFS}pwned")\n[numerics]\nsteps_per_period = system("touch${IFS}pwned")\n' > hostile/body.toml
"$plot" hostile > /dev/null 2> err.txt
check "values of body.toml are never run" "[ ! -e pwned ] && valid_png hostile/power.png"

# A directory of the legacy files only: the same figures from them, the series of the last run.
mkdir legacy && (cd results && cp $files body.toml ../legacy/)
"$plot" legacy > listed.txt 2> err.txt; status=$?
check "the legacy files alone give power, heat flux, displacement and series figures" \
    "[ $status -eq 0 ] && [ ! -s err.txt ] && [ \$(wc -l < listed.txt) -eq 4 ] && valid_png legacy/series.png && valid_png legacy/heat_flux.png"
# The axis labels stay inside the figure: its 12 leftmost columns of pixels are background
# (caught: the series' left margin of 90 pixels, which put the y label of displacements such
# as -0.0025 m at the figure's edge).
left_blank() { # PNG file (8-bit RGB or RGBA, as pngcairo writes): its 12 leftmost columns one colour
    /usr/bin/python3 - "$1" << 'PY'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
pos, idat = 8, b""
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + length]
    if kind == b"IHDR":
        width, height, depth, colour = struct.unpack(">IIBB", body[:10])
    elif kind == b"IDAT":
        idat += body
    pos += 12 + length
assert depth == 8 and colour in (2, 6)
bpp = 3 if colour == 2 else 4
raw, stride, previous, seen = zlib.decompress(idat), width * bpp, bytearray(width * bpp), set()
for y in range(height):
    kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):  # the PNG filters: none, sub, up, average, Paeth
        a = line[i - bpp] if i >= bpp else 0
        b, c = previous[i], previous[i - bpp] if i >= bpp else 0
        if kind == 1: line[i] = (line[i] + a) & 255
        elif kind == 2: line[i] = (line[i] + b) & 255
        elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    seen.update(bytes(line[x * bpp:(x + 1) * bpp]) for x in range(12))
    previous = line
sys.exit(0 if len(seen) == 1 else 1)
PY
}
for f in legacy/series.png figures/series-1e+20.png four/series-1e+20.png; do
    check "the labels of $f keep off its left edge" "left_blank $f"
done

# Failures: one line, a non-zero status, and no figure directory created.
fails_cleanly() { # description, expected status ("any" for non-zero), arguments...
    local what=$1 want=$2
    shift 2
    "$plot" "$@" > out.txt 2> err.txt
    local status=$?
    if [ "$want" = any ]; then want_ok="[ $status -ne 0 ]"; else want_ok="[ $status -eq $want ]"; fi
    check "$what: status ${want/any/non-zero}, one line, nothing created" \
        "$want_ok && one_line err.txt && [ ! -s out.txt ] && [ ! -e made ]"
}
fails_cleanly "no argument" 2
fails_cleanly "three arguments" 2 results made extra
fails_cleanly "a missing result directory" 2 missing made
check "... and the line names it" "grep -q \"'missing'\" err.txt"
mkdir empty
fails_cleanly "a directory without results" 1 empty made
check "... and the line says so" "grep -q \"'empty' holds no results\" err.txt"
mkdir broken && sed '1s/maxwell_power_W/maxwell_power_kW/' results/summary.csv > broken/summary.csv
fails_cleanly "a summary without a needed column" 1 broken made
check "... and the line names the column" "grep -q \"no column 'maxwell_power_W'\" err.txt"
mkdir header && head -1 results/summary.csv > header/summary.csv
fails_cleanly "a summary without rows" 1 header made
mkdir garbled && (head -1 results/summary.csv; echo 'a,b,c,d,e,f,g,h,i,j,k,l,m,n,o') > garbled/summary.csv
fails_cleanly "a summary whose rows hold no numbers" 1 garbled made
touch plainfile
fails_cleanly "a figure directory that is a file" 2 results plainfile

# A run still computing, then stopped before its sweep is complete: refused in one line that
# says so and names the table of its completed viscosities, not a legacy file (caught: the
# message of a directory without results, naming pcelketa; the status 1 of those). Beside
# the complete set of an earlier run, that set is drawn with a note saying which it is.
long() { # directory: a run of about ten seconds a batch of viscosities, in the background
    "$tidal" --body 1 --jobs 1 --set sweep.steps_per_decade=2 --set numerics.periods=50 --output "$1" > /dev/null 2>&1 &
    pid=$!
    for _ in $(seq 1 600); do
        grep -qx "$pid" "$1/.tidal.lock" 2> /dev/null && [ -e "$1/summary.csv.partial" ] && break
        sleep 0.05
    done
}
long stopped
fails_cleanly "a run still computing" 2 stopped made
check "... and the line says so and names the table of its completed viscosities" \
    "grep -q \"a run (process $pid) is still computing into 'stopped'\" err.txt && grep -q \"'stopped/summary.csv.partial'\" err.txt && ! grep -q pcelketa err.txt"
kill -TERM $pid
wait $pid
fails_cleanly "a stopped run" 2 stopped made
check "... and the line says so and names the table of its completed viscosities" \
    "grep -q \"the run into 'stopped' was stopped before its sweep was complete\" err.txt && grep -q \"'stopped/summary.csv.partial'\" err.txt && ! grep -q pcelketa err.txt"
# plot-heating on its own refuses the same directories (caught: it drew nothing and exited 0),
# and a directory without results (caught: the same silent success).
"$(dirname "$plot")/plot-heating" stopped made > out.txt 2> err.txt; status=$?
check "plot-heating on the stopped run: status 2, the same one line, nothing created" \
    "[ $status -eq 2 ] && one_line err.txt && [ ! -s out.txt ] && [ ! -e made ] && grep -q \"the run into 'stopped' was stopped before its sweep was complete\" err.txt"
"$(dirname "$plot")/plot-heating" empty made > out.txt 2> err.txt; status=$?
check "plot-heating on a directory without results: status 1, one line, nothing created" \
    "[ $status -eq 1 ] && one_line err.txt && [ ! -s out.txt ] && [ ! -e made ] && grep -q \"'empty' holds no results\" err.txt"
long results
"$plot" results figures > listed.txt 2> err.txt; status=$?
kill -TERM $pid
wait $pid
"$plot" results figures > listed-after.txt 2> err-after.txt; status_after=$?
check "the published set beside a run computing into its directory: drawn, with one note" \
    "[ $status -eq 0 ] && [ \$(wc -l < listed.txt) -eq 5 ] && one_line err.txt && grep -q \"note: a run (process $pid) is computing into 'results'\" err.txt"
check "... and beside the run once stopped" \
    "[ $status_after -eq 0 ] && [ \$(wc -l < listed-after.txt) -eq 5 ] && one_line err-after.txt && grep -q \"note: a later run into 'results' was stopped\" err-after.txt"
exit $failed
