#!/usr/bin/env bash
# Builds the program (Release), runs the sweep of one preset body into results/choice<N>/ and,
# where gnuplot is installed, draws the figures next to the result files.
# Usage: scripts/run.sh [choice]   (default 1, Enceladus with a 26 km shell)
set -euo pipefail
cd "$(dirname "$0")/.."
choice=${1:-1}
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target tidal > /dev/null
out="results/choice${choice}"
mkdir -p results
./build/tidal --body "$choice" --output "$out" > "$out.console.txt" || {
    status=$?
    echo "tidal failed with status $status" >&2
    exit $status
}
echo "Result files are in $out/ (console lines in $out.console.txt)"
if command -v gnuplot > /dev/null; then
    tools/plot-results "$out" > /dev/null && echo "Figures: $out/power.png, $out/displacement.png, $out/series.png"
else
    echo "For figures install gnuplot (apt-get install gnuplot-nox) and run: tools/plot-results $out"
fi
