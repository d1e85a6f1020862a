# Sourced by plot-results and plot-heating (after `here`, their own directory, is set): the
# title, colour and peak marker of each rheology. The titles come from the program's own list
# (tidal --rheologies), and the k-th rheology of that list takes the k-th colour and marker,
# so that a rheology looks the same in every figure. The program is $TIDAL, else the one
# installed beside the script, else that of a build tree above it, else tidal on the PATH;
# without one, a rheology keeps its column prefix as title and the next spare colour.
declare -A title_of=() colour_of=() marker_of=()
palette=("#1f5fa8" "#c8501e" "#2a9d3a" "#8e3fb0" "#b8860b" "#17a2b8" "#d6336c" "#6b6b6b")
# gnuplot point types: open circle, triangle, square, diamond, inverted triangle, pentagon.
point_types=(6 8 4 12 10 14)
styled=0
style_next() { # rheology, title
    title_of[$1]=$2
    colour_of[$1]=${palette[styled % ${#palette[@]}]}
    marker_of[$1]=${point_types[styled % ${#point_types[@]}]}
    styled=$((styled + 1))
}
rheology_program=""
for candidate in "${TIDAL:-}" "$here/tidal" "$here/../build/tidal" "$(command -v tidal || true)"; do
    [ -n "$candidate" ] && [ -x "$candidate" ] && [ -f "$candidate" ] && { rheology_program=$candidate; break; }
done
if [ -n "$rheology_program" ]; then
    while read -r r title; do
        [ -n "$r" ] && [ -z "${title_of[$r]:-}" ] && style_next "$r" "$title"
    done < <("$rheology_program" --rheologies 2> /dev/null |
        sed -n 's/^| `\([a-z0-9_]*\)` (\([^)]*\)) |.*/\1 \2/p')
fi
describe() { # rheology: makes sure title_of, colour_of and marker_of know it
    [ -n "${title_of[$1]:-}" ] || style_next "$1" "${1//_/ }"
}
