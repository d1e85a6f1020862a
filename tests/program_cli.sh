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
check "--body 4 --output runs/one succeeds without reading standard input" "[ $status -eq 0 ] && [ ! -s err.txt ]"
check "... creates the directory with all ten result files" "cd runs/one && ls $files > /dev/null && [ \$(wc -l < pcelketa) -eq 201 ] && [ \$(wc -l < time) -eq 20000 ]; r=\$?; cd ../..; [ \$r -eq 0 ]"
check "... and shows no menu: three lines per viscosity" "[ \$(wc -l < one.txt) -eq 603 ] && ! grep -q 'Choose' one.txt"

# Two threads and the menu give the same bytes.
"$tidal" --body 4 --output runs/two --jobs 2 > two.txt
mkdir runs/menu && (cd runs/menu && echo 4 | OMP_NUM_THREADS=2 "$tidal" > ../../menu.txt)
same=1
for f in $files; do
    cmp -s runs/one/$f runs/two/$f && cmp -s runs/one/$f runs/menu/$f || { echo "differs: $f"; same=0; }
done
check "1 thread, 2 threads and the menu write identical result files" "[ $same -eq 1 ]"
check "... and identical console lines after the menu" "cmp -s one.txt two.txt && cmp -s one.txt <(tail -n +4 menu.txt)"
exit $failed
