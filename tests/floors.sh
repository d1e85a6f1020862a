#!/usr/bin/env bash
# The floors of src/: each folder's library sees only the headers of the folders below it
# (cmake/TidalLayer.cmake). For each floor a header one floor down must compile and a header
# above it must not, with exactly the include directory its library is built with; and the
# Python module and the studies never include the command line.
# Fails if a floor's USES names a folder above it (an arrow up), if the include directories
# stop being per floor, or if python/ or src/study/ include cli/.
# Usage: floors.sh CXX LAYERS_DIR SOURCE_DIR
set -uo pipefail
cxx=$1 layers=$2 src=$3
failures=0
probe() { # floor header expected(yes|no)
    local floor=$1 header=$2 expected=$3 got
    if printf '#include "%s"\n' "$header" |
        "$cxx" -std=c++20 -fsyntax-only -x c++ -I "$layers/$floor" - 2>/dev/null; then
        got=yes
    else
        got=no
    fi
    if [[ $got != "$expected" ]]; then
        echo "FAIL: src/$floor including $header: compiles=$got, expected $expected"
        failures=$((failures + 1))
    fi
}
#      floor           below (must compile)            above (must not)
probe description    rheology/rheologies.hpp         yes
probe description    discretisation/grid.hpp         no
probe discretisation description/body.hpp            yes
probe discretisation model/shell_model.hpp           no
probe loads          discretisation/unknowns.hpp     yes
probe loads          model/forcing.hpp               no
probe model          loads/boundary_loads.hpp        yes
probe model          timestep/run.hpp                no
probe model          steady/steady_sweep.hpp         no
probe timestep       model/forcing.hpp               yes
probe timestep       steady/steady_sweep.hpp         no
probe steady         model/shell_model.hpp           yes
probe steady         timestep/run.hpp                no
probe body           model/orbit_tide.hpp            yes
probe body           engine/engine.hpp               no
probe engine         steady/steady_sweep.hpp         yes
probe engine         body/body_check.hpp             yes
probe engine         files/result_tables.hpp         no
probe engine         cli/program.hpp                 no
probe files          engine/engine.hpp               yes
probe files          study/study_run.hpp             no
probe files          cli/console.hpp                 no
probe study          files/run_output.hpp            yes
probe study          cli/program.hpp                 no
probe cli            study/study_command.hpp         yes
# The module is compiled against the files floor's directory, so the compiler refuses cli/
# there; a textual check catches a change of that directory too.
if grep -n '#include "cli/' "$src"/python/*.cpp "$src"/src/study/*; then
    echo "FAIL: python/ or src/study/ include the command line"
    failures=$((failures + 1))
fi
if ((failures)); then
    echo "$failures floor check(s) failed"
    exit 1
fi
echo "floors: 25 include probes and the cli check passed"
