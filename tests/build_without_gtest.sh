#!/usr/bin/env bash
# A configure, build, run and install as on a machine with only CMake and a compiler:
# GoogleTest is hidden from CMake. The program and its install must work; asking for the unit
# tests must fail at configure time with a message naming GoogleTest.
# Usage: build_without_gtest.sh SOURCE_DIR CMAKE CXX_COMPILER
set -uo pipefail
src=$1 cmake=$2 cxx=$3
source "$(dirname "$0")/checks.sh"
cd "$scratch"
"$cmake" -S "$src" -B build -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON > configure.txt 2>&1; status=$?
check "configures without GoogleTest" "[ $status -eq 0 ] && grep -q 'unit tests not built' configure.txt"
"$cmake" --build build -j 2 > build.txt 2>&1; status=$?
[ $status -eq 0 ] || tail -20 build.txt
check "builds the program (and no unit tests)" "[ $status -eq 0 ] && [ -x build/tidal ] && [ ! -e build/tests/unit_tests ]"
check "the program runs" "build/tidal --version | grep -q '^tidal '"
"$cmake" --install build --prefix "$scratch/prefix" > install.txt 2>&1; status=$?
check "installs the program, the plot command and its script" \
    "[ $status -eq 0 ] && [ -x prefix/bin/tidal ] && [ -x prefix/bin/plot-results ] && [ -f prefix/share/tidal/plot-results.gp ]"
"$cmake" -S "$src" -B asked -DTIDAL_REQUIRE_GTEST=ON -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON > asked.txt 2>&1; status=$?
check "asking for the unit tests without GoogleTest fails, naming it" "[ $status -ne 0 ] && grep -q GTest asked.txt"
exit $failed
