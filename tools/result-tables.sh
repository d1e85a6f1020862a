# Sourced by plot-results and plot-heating (after `me`, `dir`, `work` and `fail` are set): the
# one reader of the quantities their figures draw. It takes them from DIR/results.nc where that
# file can be read (with ncdump, Debian netcdf-bin), else from the CSV tables written beside it,
# and writes them as CSV tables into $work. Every number of those tables is printed with 17
# significant digits (%.17g), which names the very double whichever file it came from (the CSV
# fields are the shortest decimal texts of the doubles results.nc holds), and a missing value
# is NaN: the figures of either source are drawn from the same bytes.
#   sweep_from_netcdf, sweep_from_csv
#                    $work/sweep.csv: viscosity_Pa_s, then per rheology <rheology>_<quantity>
#                    for the quantities of $sweep_quantities that the source has
#   profile_table    $work/profile.csv: viscosity, rheology, cell, its outer and inner radius
#                    (m) and its heating (W/m^3), the rows of heating_profile.csv
#   map_tables       $work/maps/map-<viscosity>.csv: latitude, longitude and per rheology the
#                    surface heat flux (W/m^2), one file a map, named as the run names its map
#   refuse_unpublished
#                    refuses a directory whose run was stopped or is computing (below)
# Each of the first three returns 1 when its source (for the last two, either source) lacks its quantities, and sets table_source to
# "results.nc" or "csv". A results.nc that ncdump cannot read is passed over with one note on
# standard error (once for plot-results and the plot-heating it calls); without ncdump the
# CSV tables are read silently. TIDAL_PLOT_DUMP=DIR (for the tests) copies into DIR every data
# file and gnuplot setting the figures are drawn from, and which source each table came from.

sweep_quantities="power_W heat_flux_W_m2 min_surface_displacement_m max_equator_displacement_m steady_power_W transient step_error grid_error"
# Those every sweep has; the others are absent from older tables.
sweep_required="power_W heat_flux_W_m2 min_surface_displacement_m max_equator_displacement_m"
table_source=""
# Whether TEXT has the line LINE. Given as a here-string, not through a pipe: under pipefail a
# grep -q that stops at its match fails the pipe whenever its writer still has lines to write
# and is killed by SIGPIPE (the shell's printf writes a line at a time), which happens or not
# as the processes are scheduled.
has_line() { # text, line
    grep -q -x -F -- "$2" <<< "$1"
}
mkdir -p -- "$work/maps" || fail 1 "cannot create a temporary directory"

# --- Whether the directory holds a published result set -----------------------------------
# Refuses, in one line, a directory whose run was stopped while publishing (status 1), or is
# still computing or was stopped before its sweep was complete and so published nothing
# (status 2, naming the .partial table of the viscosities it completed); beside the complete
# set of an earlier run it says once, in a note, which set is drawn (once for plot-results and
# the plot-heating it calls).
refuse_unpublished() {
    # A run stopped between two renames of its publication leaves new files beside old ones.
    [ -e "$dir/.tidal.publishing" ] &&
        fail 1 "the result set in '$dir' is incomplete: a run was stopped while publishing it (the next tidal run into '$dir' completes it)"
    # A run under way or stopped before its sweep was complete has published nothing: what it
    # completed is in NAME.partial files beside any complete set of an earlier run.
    partial=""
    for f in summary.csv pcelketa "*"; do
        for p in "$dir"/$f.partial; do [ -f "$p" ] && { partial=$p; break 2; }; done
    done
    if [ -n "$partial" ]; then
        # The run holds an exclusive lock on .tidal.lock (its first line the process id) while
        # it lives.
        running=""
        [ -f "$dir/.tidal.lock" ] && command -v flock > /dev/null &&
            ! flock -n -s "$dir/.tidal.lock" true 2> /dev/null && running=$(head -1 "$dir/.tidal.lock" | tr -cd '0-9')
        rows=""
        case $partial in
            */summary.csv.partial) rows=$(($(wc -l < "$partial") - 1)) ;;
            */pcelketa.partial) rows=$(wc -l < "$partial") ;;
        esac
        [ -n "$rows" ] && [ "$rows" -lt 0 ] && rows=0
        # What the run completed, as said of a stopped run ("has" for one still running).
        done_text() { # "" or "has "
            local has=${1:-}
            case $rows in
                "") echo "what it ${has}completed is in '$partial'" ;;
                0) echo "'$partial' holds no completed viscosity${has:+ yet}" ;;
                1) echo "the one viscosity it ${has}completed is in '$partial'" ;;
                *) echo "the $rows viscosities it ${has}completed are in '$partial'" ;;
            esac
        }
        if [ -e "$dir/summary.csv" ] || [ -e "$dir/pcelketa" ]; then
            if [ -n "$running" ]; then
                [ -n "${TIDAL_PUBLICATION_NOTED:-}" ] || echo "$me: note: a run (process $running) is computing into '$dir'; drawing the results published there before it" >&2
            else
                [ -n "${TIDAL_PUBLICATION_NOTED:-}" ] || echo "$me: note: a later run into '$dir' was stopped before its sweep was complete ($(done_text)); drawing the complete results of the run before it" >&2
            fi
        elif [ -n "$running" ]; then
            fail 2 "a run (process $running) is still computing into '$dir' and publishes its results when its sweep is complete; $(done_text "has ")"
        else
            fail 2 "the run into '$dir' was stopped before its sweep was complete and published no results; $(done_text) (the next run into '$dir' replaces the .partial files)"
        fi
    fi
    export TIDAL_PUBLICATION_NOTED=1
}

# --- results.nc --------------------------------------------------------------------------
# The header of results.nc, once; status 1 (and its note, once) when it cannot be read.
nc_state="" # "", "read" or "unread"
nc_readable() {
    [ "$nc_state" = read ] && return 0
    [ "$nc_state" = unread ] && return 1
    nc_state=unread
    [ -e "$dir/results.nc" ] || return 1
    command -v ncdump > /dev/null || return 1
    if ! ncdump -h "$dir/results.nc" > "$work/nc-header.cdl" 2> /dev/null; then
        if [ -z "${TIDAL_RESULTS_NC_NOTED:-}" ]; then
            echo "$me: note: '$dir/results.nc' cannot be read; drawing from the CSV tables" >&2
            export TIDAL_RESULTS_NC_NOTED=1
        fi
        return 1
    fi
    nc_state=read
}
# Whether results.nc has every variable named.
nc_has() { # variable...
    local v
    for v in "$@"; do
        grep -q -E "^[[:space:]]+[a-z0-9]+ $v\(" "$work/nc-header.cdl" || return 1
    done
}
# The values of variables of results.nc, one line each, "name<TAB>value value ...", in C order
# (the last dimension varying fastest); numbers as %.17g, a missing value (the fill value NaN,
# which ncdump prints as "_") as NaN, texts without their quotes. 17 digits from ncdump (-p)
# read back to the doubles of the file.
nc_values() { # comma-separated variables
    ncdump -p 9,17 -v "$1" "$dir/results.nc" 2> /dev/null | awk '
        /^data:/ { data = 1; next }
        data { text = text " " $0 }
        END {
            n = split(text, statement, ";")
            for (s = 1; s <= n; s++) {
                st = statement[s]
                if (!match(st, /^[ \t]*[A-Za-z0-9_]+[ \t]*=/)) continue
                name = substr(st, 1, RLENGTH - 1); gsub(/[ \t]/, "", name)
                k = split(substr(st, RLENGTH + 1), v, ",")
                line = name "\t"
                for (i = 1; i <= k; i++) {
                    x = v[i]; gsub(/^[ \t]+|[ \t]+$/, "", x)
                    if (x ~ /^".*"$/) x = substr(x, 2, length(x) - 2)
                    else if (x ~ /^[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?$/) x = sprintf("%.17g", x + 0)
                    else x = "NaN"
                    line = line (i > 1 ? " " : "") x
                }
                print line
            }
        }'
}
# nc_values of the variables into a file; status 1 unless every one came and the rheology
# names are names (words of gnuplot and column prefixes).
nc_read() { # file, variable...
    local file=$1
    shift
    local list
    list=$(IFS=,; echo "$*")
    nc_values "$list" > "$file" || return 1
    [ "$(awk -F'\t' 'NF == 2 { print $1 }' "$file" | sort | tr '\n' ' ')" = "$(printf '%s\n' "$@" | sort | tr '\n' ' ')" ] || return 1
    grep -q -x -E $'rheology\t[a-z0-9_]+( [a-z0-9_]+)*' "$file"
}

# --- The CSV tables ------------------------------------------------------------------------
# A CSV table with the columns named, in that order, each number as %.17g and anything else
# (an empty field, a column the table lacks) as NaN; columns named "=NAME" are copied as text (a rheology's name).
csv_columns() { # source file, columns (blank-separated)
    tr -d '\r' < "$1" | awk -F, -v want="$2" '
        NR == 1 {
            for (i = 1; i <= NF; i++) at[$i] = i
            n = split(want, w, " ")
            line = ""
            for (j = 1; j <= n; j++) {
                text[j] = sub(/^=/, "", w[j])
                c[j] = (w[j] in at) ? at[w[j]] : -1
                line = line (j > 1 ? "," : "") w[j]
            }
            print line
            next
        }
        {
            line = ""
            for (j = 1; j <= n; j++) {
                x = c[j] < 0 ? "" : $c[j]
                if (!text[j]) x = x ~ /^[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?$/ ? sprintf("%.17g", x + 0) : "NaN"
                line = line (j > 1 ? "," : "") x
            }
            print line
        }'
}

# --- The tables the figures draw -----------------------------------------------------------
# The sweep over viscosity from results.nc, `models` its rheologies; status 1 when it cannot
# be read or lacks a quantity every sweep has.
sweep_from_netcdf() {
    nc_readable && nc_has rheology viscosity $sweep_required || return 1
    local present="" q
    for q in $sweep_quantities; do nc_has "$q" && present+="$q "; done
    nc_read "$work/nc-sweep.txt" rheology viscosity $present || return 1
    models=$(awk -F'\t' '$1 == "rheology" { print $2 }' "$work/nc-sweep.txt")
    # (rheology, viscosity): the value of the r-th rheology at the v-th viscosity is the
    # ((r - 1) * viscosities + v)-th.
    awk -F'\t' -v quantities="$present" '
        { count[$1] = split($2, values, " "); for (i in values) value[$1, i] = values[i] }
        END {
            nq = split(quantities, q, " "); nr = count["rheology"]; nv = count["viscosity"]
            line = "viscosity_Pa_s"
            for (r = 1; r <= nr; r++) for (j = 1; j <= nq; j++) line = line "," value["rheology", r] "_" q[j]
            print line
            for (v = 1; v <= nv; v++) {
                line = value["viscosity", v]
                for (r = 1; r <= nr; r++) for (j = 1; j <= nq; j++) line = line "," value[q[j], (r - 1) * nv + v]
                print line
            }
        }' "$work/nc-sweep.txt" > "$work/sweep.csv"
    table_source=results.nc
    dump_source sweep
}
# The same from summary.csv, for the rheologies `models` (whose columns plot-results has
# checked).
sweep_from_csv() {
    local header columns="viscosity_Pa_s" r q
    header=$(head -1 "$dir/summary.csv" | tr -d '\r' | tr ',' '\n')
    for r in $models; do
        for q in $sweep_quantities; do
            has_line "$header" "${r}_$q" && columns+=" ${r}_$q"
        done
    done
    csv_columns "$dir/summary.csv" "$columns" > "$work/sweep.csv"
    table_source=csv
    dump_source sweep
}

# The heating profile: every cell's heating at every viscosity, rheology by rheology.
profile_table() {
    if nc_readable && nc_has rheology viscosity cell radius_bounds cell_heating_W_m3 &&
        nc_read "$work/nc-profile.txt" rheology viscosity cell radius_bounds cell_heating_W_m3; then
        # (rheology, viscosity, cell), the bounds (cell, outer / inner), rows as the CSV table's:
        # viscosity by viscosity, rheology by rheology, cell by cell.
        awk -F'\t' '
            { count[$1] = split($2, values, " "); for (i in values) value[$1, i] = values[i] }
            END {
                nr = count["rheology"]; nv = count["viscosity"]; nc = count["cell"]
                print "viscosity_Pa_s,rheology,layer,outer_radius_m,inner_radius_m,heating_W_m3"
                for (v = 1; v <= nv; v++) for (r = 1; r <= nr; r++) for (c = 1; c <= nc; c++)
                    print value["viscosity", v] "," value["rheology", r] "," value["cell", c] "," \
                        value["radius_bounds", 2 * c - 1] "," value["radius_bounds", 2 * c] "," \
                        value["cell_heating_W_m3", ((r - 1) * nv + v - 1) * nc + c]
            }' "$work/nc-profile.txt" > "$work/profile.csv"
        table_source=results.nc
        dump_source profile
        return 0
    fi
    [ -s "$dir/heating_profile.csv" ] || return 1
    csv_columns "$dir/heating_profile.csv" "viscosity_Pa_s =rheology layer outer_radius_m inner_radius_m heating_W_m3" > "$work/profile.csv"
    table_source=csv
    dump_source profile
}

# The shortest decimal text of a double that reads back to it, as the program names its files:
# the shorter of the plain and the exponent form (the plain on a tie), the exponent form for a
# whole number of more than 15 digits ("1e+13", "3162277660168.3794").
shortest_awk='
function zeros(k,   s) { s = ""; while (k-- > 0) s = s "0"; return s }
function shortest(x,   p, s, sign, m, e, digits, n, plain) {
    for (p = 0; p < 17; p++) { s = sprintf("%." p "e", x); if (s + 0 == x) break }
    sign = ""; if (substr(s, 1, 1) == "-") { sign = "-"; s = substr(s, 2) }
    split(s, part, "e"); m = part[1]; e = part[2] + 0
    digits = m; sub(/[.]/, "", digits); n = length(digits)
    if (e >= n - 1) plain = digits zeros(e - n + 1)
    else if (e >= 0) plain = substr(digits, 1, e + 1) "." substr(digits, e + 2)
    else plain = "0." zeros(-e - 1) digits
    if (length(plain) <= length(s) && !(plain ~ /^[0-9]+$/ && length(plain) > 15)) return sign plain
    return sign s
}'

# The maps: one table per map viscosity, in $work/maps.
map_tables() {
    if nc_readable && nc_has rheology map_viscosity lat lon map_heat_flux_W_m2 &&
        nc_read "$work/nc-maps.txt" rheology map_viscosity lat lon map_heat_flux_W_m2; then
        # (rheology, map viscosity, lat, lon); rows as in map-<viscosity>.csv: latitude by
        # latitude, longitude by longitude.
        awk -F'\t' -v maps="$work/maps" "$shortest_awk"'
            { count[$1] = split($2, values, " "); for (i in values) value[$1, i] = values[i] }
            END {
                nr = count["rheology"]; nm = count["map_viscosity"]; nlat = count["lat"]; nlon = count["lon"]
                for (m = 1; m <= nm; m++) {
                    file = maps "/map-" shortest(value["map_viscosity", m] + 0) ".csv"
                    line = "latitude_deg,longitude_deg"
                    for (r = 1; r <= nr; r++) line = line "," value["rheology", r] "_heat_flux_W_m2"
                    print line > file
                    for (a = 1; a <= nlat; a++) for (o = 1; o <= nlon; o++) {
                        line = value["lat", a] "," value["lon", o]
                        for (r = 1; r <= nr; r++)
                            line = line "," value["map_heat_flux_W_m2", (((r - 1) * nm + m - 1) * nlat + a - 1) * nlon + o]
                        print line > file
                    }
                    close(file)
                }
            }' "$work/nc-maps.txt"
        table_source=results.nc
        dump_source maps
        return 0
    fi
    local path eta header columns r found=1
    for path in "$dir"/map-*.csv; do
        [ -f "$path" ] || continue
        eta=${path##*/map-}
        eta=${eta%.csv}
        [[ $eta =~ ^[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?$ ]] || continue
        header=$(head -1 "$path" | tr -d '\r' | tr ',' '\n')
        columns="latitude_deg longitude_deg"
        for r in $(printf '%s\n' "$header" | sed -n 's/_heat_flux_W_m2$//p'); do
            [[ $r =~ ^[a-z0-9_]+$ ]] || fail 1 "'$path' names a rheology '$r'"
            columns+=" ${r}_heat_flux_W_m2"
        done
        [ "$columns" != "latitude_deg longitude_deg" ] || fail 1 "'$path' has no column of a heat flux"
        csv_columns "$path" "$columns" > "$work/maps/map-$eta.csv"
        found=0
    done
    table_source=csv
    dump_source maps
    return $found
}

# --- What the tests compare ----------------------------------------------------------------
# Which source a table came from, a line a table.
dump_source() { # table
    [ -n "${TIDAL_PLOT_DUMP:-}" ] || return 0
    mkdir -p -- "$TIDAL_PLOT_DUMP" && echo "$me $1 $table_source" >> "$TIDAL_PLOT_DUMP/sources"
}
# A data file the figures are drawn from, or (with "-") gnuplot's settings from standard input,
# under NAME, the temporary directory's name replaced by WORK.
dump_data() { # name, file or "-"
    [ -n "${TIDAL_PLOT_DUMP:-}" ] || return 0
    mkdir -p -- "$TIDAL_PLOT_DUMP" || return 0
    if [ "$2" = - ]; then
        sed "s|$work|WORK|g" > "$TIDAL_PLOT_DUMP/$me-$1"
    else
        sed "s|$work|WORK|g" "$2" > "$TIDAL_PLOT_DUMP/$me-$1"
    fi
}
