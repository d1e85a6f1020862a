#!/usr/bin/env bash
# `pip install --no-build-isolation .` as a user does it, into fresh venvs of PYTHON:
#  - a venv made with --system-site-packages (numpy from Debian) gets the package; imported
#    from outside the source tree it is the installed one, its version is the program's, and
#    its sweeps write summary.csv byte for byte as the program does;
#  - a venv without numpy is refused with one clear line, and gets nothing installed;
#    CMake refuses such an interpreter too, and so does `import tidal` without numpy.
# The venvs are removed at the end. The build is kept under WORK (a copy of the sources and
# scikit-build's _skbuild/ build tree), so that a later run recompiles only what changed.
# Usage: pip_install.sh PYTHON SOURCE_DIR TIDAL_PROGRAM WORK
set -euo pipefail
python=$1 source=$2 program=$3 work=$4
unset PYTHONPATH # the installed package, not a build tree's

mkdir -p "$work"
venv=$work/venv bare=$work/venv-without-numpy scratch=$work/scratch
cleanup() { rm -rf "$venv" "$bare" "$scratch"; }
trap cleanup EXIT
cleanup
mkdir -p "$scratch"

fail() { echo "FAIL: $*" >&2; exit 1; }

# The sources as a fresh checkout has them (no build trees), their times kept so that the
# kept build sees unchanged files as unchanged; files gone from the sources go here too.
copy=$work/source
mkdir -p "$copy"
find "$copy" -mindepth 1 -maxdepth 1 ! -name _skbuild -exec rm -rf {} +
rm -rf "$copy"/_skbuild/*/cmake-install "$copy"/_skbuild/*/setuptools # what the wheel is made of
tar -C "$source" --exclude=./.git --exclude='./build*' --exclude=./_skbuild \
    --exclude='*.egg-info' --exclude=__pycache__ --exclude=./results -cf - . | tar -C "$copy" -xf -

# 1. The interpreter with numpy: the package installs and is the program's engine.
"$python" -m venv --system-site-packages "$venv"
if ! CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-2} \
     "$venv/bin/python" -m pip install --no-build-isolation --no-index "$copy" \
     > "$scratch/pip.log" 2>&1; then
    tail -40 "$scratch/pip.log" >&2
    fail "pip install into a venv with numpy"
fi

version=$("$program" --version)
(cd "$scratch" && "$venv/bin/python" - "$venv" "${version##* }" "$scratch") <<'EOF' || fail "the installed package"
import importlib.metadata
import os
import sys

import tidal

venv, version, scratch = sys.argv[1:]
where = os.path.realpath(tidal.__file__)
assert where.startswith(os.path.realpath(venv) + os.sep), f"tidal imported from {where}"
assert tidal.__version__ == version, (tidal.__version__, version)
assert importlib.metadata.version("tidal") == version, importlib.metadata.version("tidal")

# The periodic steady state of every viscosity of body 1, and a short time sweep.
tidal.sweep(tidal.preset(1), method="steady").write(os.path.join(scratch, "steady-module"))
short = tidal.preset(1).with_(**{"sweep.log10_viscosity_min": 13.5,
                                 "sweep.log10_viscosity_max": 14.0})
tidal.sweep(short, jobs=2).write(os.path.join(scratch, "time-module"))
EOF

"$program" --body 1 --method steady --output "$scratch/steady-program" > /dev/null
"$program" --body 1 --set sweep.log10_viscosity_min=13.5 --set sweep.log10_viscosity_max=14.0 \
    --jobs 2 --output "$scratch/time-program" > /dev/null
for method in steady time; do
    cmp "$scratch/$method-module/summary.csv" "$scratch/$method-program/summary.csv" \
        || fail "$method: the installed module's summary.csv differs from the program's"
done

# Without numpy the package refuses to load, naming what is missing.
if "$venv/bin/python" -c "import sys; sys.modules['numpy'] = None; import tidal" \
     > "$scratch/import.log" 2>&1; then
    fail "tidal imported without numpy"
fi
grep -q "^ImportError: tidal needs numpy, which .* cannot import" "$scratch/import.log" \
    || { cat "$scratch/import.log" >&2; fail "no clear ImportError without numpy"; }

# 2. An interpreter without numpy: pip stops with the reason, before building anything.
"$python" -m venv "$bare"
if "$bare/bin/python" -m pip install --no-build-isolation --no-index "$copy" \
     > "$scratch/pip-bare.log" 2>&1; then
    fail "pip installed into a venv without numpy"
fi
grep -q "tidal: the Python package needs numpy, which $bare/bin/python cannot import" \
    "$scratch/pip-bare.log" || { cat "$scratch/pip-bare.log" >&2; fail "no clear pip error"; }
if "$bare/bin/python" -c "import tidal" 2> /dev/null; then
    fail "the venv without numpy has a tidal package"
fi

# CMake's own build of the module refuses that interpreter at configure time.
if cmake -S "$source" -B "$scratch/cmake" -DTIDAL_PYTHON=ON -DBUILD_TESTING=OFF \
       -DPython3_EXECUTABLE="$bare/bin/python" > "$scratch/cmake.log" 2>&1; then
    fail "CMake configured the module for an interpreter without numpy"
fi
# (CMake wraps its messages: compare with the lines joined.)
tr -s ' \n' '  ' < "$scratch/cmake.log" \
    | grep -q "The Python module needs numpy, which $bare/bin/python cannot import" \
    || { cat "$scratch/cmake.log" >&2; fail "no clear CMake error"; }

echo "pip install: the package installs with numpy, is the program's engine, and is refused without numpy"
