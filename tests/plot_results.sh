#!/usr/bin/env bash
# The plot command on a result directory: three PNG figures, each a valid image.
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
"$tidal" --body 5 --output results > /dev/null
"$plot" results figures > listed.txt 2> err.txt; status=$?
check "plot-results succeeds quietly" "[ $status -eq 0 ] && [ ! -s err.txt ]"
for f in power displacement series; do
    check "$f.png is a valid PNG image" "valid_png figures/$f.png"
done
check "it lists the figures it wrote" "[ \$(wc -l < listed.txt) -eq 3 ]"
"$plot" results > /dev/null 2>&1
check "without OUTDIR the figures go into the result directory" "valid_png results/power.png"
mkdir empty
"$plot" empty > /dev/null 2> err.txt; status=$?
check "a directory without results is refused with one line" "[ $status -ne 0 ] && [ \$(wc -l < err.txt) -eq 1 ]"
"$plot" > /dev/null 2>&1; status=$?
check "no argument is a usage error (status 2)" "[ $status -eq 2 ]"
exit $failed
