#!/usr/bin/env bash
# Builds the program (Release) and runs it for one preset body in results/choice<N>/.
# Usage: scripts/run.sh [choice]   (default 1, Enceladus with a 26 km shell)
set -euo pipefail
cd "$(dirname "$0")/.."
choice=${1:-1}
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target tidal > /dev/null
out="results/choice${choice}"
mkdir -p "$out"
cd "$out"
echo "$choice" | ../../build/tidal
echo "Result files are in $out/"
