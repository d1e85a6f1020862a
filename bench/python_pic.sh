#!/usr/bin/env bash
# The Python module's cost against the build of another revision, in instructions: the module
# is a shared object, so every library it links is compiled position-independent, and there a
# call to a function of the same library may be interposed unless the build says it will not
# be (-fno-semantic-interposition), which keeps such calls inlinable. Both modules run the same
# reduced sweep (body 1, one batch of eight Maxwell runs, one thread) under valgrind's
# callgrind; the count of a bare `import tidal` is subtracted, leaving the sweep's. The two
# sweeps' columns must be the same bits.
# Usage: bench/python_pic.sh [BASELINE]      (default: main)   PYTHON=/usr/bin/python3
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
declare -A sweep
python=${PYTHON:-/usr/bin/python3}
baseline_rev=${1:-main}
command -v valgrind > /dev/null || { echo "python_pic.sh: needs valgrind" >&2; exit 2; }

configure() { # source, build directory
    cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTIDAL_PYTHON=ON \
          -DPython3_EXECUTABLE="$python" > /dev/null
    cmake --build "$2" -j "$(nproc)" --target tidal_python > /dev/null
}
configure . build-bench-python
git worktree add --detach "$scratch/src" "$baseline_rev" > /dev/null 2>&1
configure "$scratch/src" "$scratch/build"

cat > "$scratch/sweep.py" << 'EOF'
import sys
import tidal
body = tidal.preset(1).with_(**{"sweep.log10_viscosity_min": 14, "sweep.log10_viscosity_max": 15.4,
                                "sweep.steps_per_decade": 5})
result = tidal.sweep(body, rheologies=["maxwell"], jobs=1)
with open(sys.argv[1], "w") as out:
    for c in result.columns:
        out.write(c + " " + " ".join(float(v).hex() for v in result[c]) + "\n")
EOF
echo "import tidal" > "$scratch/import.py"

count() { # module directory, script, its argument
    PYTHONPATH=$1 valgrind --tool=callgrind --callgrind-out-file=/dev/null "$python" "$2" "${3:-}" \
        2>&1 > /dev/null | awk '/Collected/ { print $NF }'
}
for which in now baseline; do
    dir=$PWD/build-bench-python/python
    [ $which = baseline ] && dir=$scratch/build/python
    total=$(count "$dir" "$scratch/sweep.py" "$scratch/$which.columns")
    bare=$(count "$dir" "$scratch/import.py")
    sweep[$which]=$((total - bare))
    printf '%-10s %14d instructions (the run %d, import tidal alone %d)\n' "$which" "${sweep[$which]}" \
        "$total" "$bare"
done
awk -v a="${sweep[now]}" -v b="${sweep[baseline]}" \
    'BEGIN { printf "this tree / %s: %.4f of the instructions\n", "'"$baseline_rev"'", a / b }'
if cmp -s "$scratch/now.columns" "$scratch/baseline.columns"; then
    echo "the two sweeps' columns: the same bits"
else
    echo "the two sweeps' columns DIFFER"; exit 1
fi
