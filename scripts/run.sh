#!/usr/bin/env bash
# Builds the program (Release), runs the sweep of one body into results/ and, where gnuplot is
# installed, draws the figures next to the result files. Usage: see --help below.
set -euo pipefail
usage() {
    cat <<'TEXT'
Usage: scripts/run.sh [N | BODY.toml]

Builds tidal (Release, into build/) and computes preset body N (1-8; default 1, Enceladus
with a 26 km ice shell) into results/choiceN/, or the body described in BODY.toml into
results/BODY/, with the console lines beside it (results/choiceN.console.txt) and, where
gnuplot is installed, the figures in the result directory. The bodies are listed by
`build/tidal --help`. Nothing is created when the body is refused.
TEXT
}
[ $# -le 1 ] || { echo "run.sh: expected at most one argument (try --help)" >&2; exit 2; }
body=(--body 1)
name=choice1
if [ $# -eq 1 ]; then
    case "$1" in
        -h | --help) usage; exit 0 ;;
        [1-8]) body=(--body "$1"); name="choice$1" ;;
        *.toml)
            [ -f "$1" ] || { echo "run.sh: body file '$1' not found" >&2; exit 2; }
            body=(--body-file "$(realpath "$1")")
            name=$(basename "$1" .toml)
            ;;
        *)
            echo "run.sh: expected a body number from 1 to 8 or a .toml body file, but got '$1' (try --help)" >&2
            exit 2
            ;;
    esac
fi
cd "$(dirname "$0")/.."
# What a fresh Debian machine lacks is installed first where this user may (else the command).
source scripts/dependencies.sh
tidal_install_missing run || exit 1

echo "building tidal in build/ ..."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if ! { cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTIDAL_REQUIRE_GTEST=OFF &&
       cmake --build build -j "$(nproc)" --target tidal; } > "$log" 2>&1; then
    cat "$log" >&2
    echo "run.sh: the build failed (output above)" >&2
    exit 1
fi

out="results/$name"
mkdir -p results
echo "computing ${body[*]} into $out/ ..."
# The console lines go to a file of their own until the run is complete, so that a refused
# run (another one writing into the same directory) leaves the other's lines alone.
console=$(mktemp "results/.$name.console.XXXXXX")
# mktemp makes it private (0600); the console lines are a result file like the others.
chmod "$(printf '%o' $((0666 & ~0$(umask))))" "$console"
status=0
./build/tidal "${body[@]}" --output "$out" > "$console" || status=$?
if [ $status -ne 0 ]; then
    if [ $status -gt 128 ] && [ -s "$console" ]; then
        mv "$console" "$out.console.txt.partial"
    else
        rm -f "$console"
    fi
    echo "run.sh: tidal failed with status $status" >&2
    exit $status
fi
mv "$console" "$out.console.txt"
echo "Result files are in $out/ (console lines in $out.console.txt)"
if command -v gnuplot > /dev/null; then
    figures=$(tools/plot-results "$out") && echo "Figures: $(echo $figures | sed 's/ /, /g')"
else
    echo "For figures install gnuplot (apt-get install gnuplot-nox) and run: tools/plot-results $out"
fi
