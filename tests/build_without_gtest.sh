#!/usr/bin/env bash
# A configure, build, run and install as on a machine with only CMake and a compiler:
# GoogleTest is hidden from CMake. The program and its install must work, its whole-program
# tests stay registered and the unit tests are left out; asking for the unit tests must fail at
# configure time with a message naming GoogleTest. The build takes the compile options of the
# build that runs this test (Release, warnings as errors) and its compiler launcher, so that
# with ccache a second run compiles nothing.
# Caught: the whole-program tests registered only where GoogleTest is found; GoogleTest
# required whatever TIDAL_REQUIRE_GTEST says.
# Usage: build_without_gtest.sh SOURCE_DIR CMAKE CXX_COMPILER [COMPILER_LAUNCHER]
set -uo pipefail
src=$1 cmake=$2 cxx=$3 launcher=${4:-}
source "$(dirname "$0")/checks.sh"
cd "$scratch"
options=(-DCMAKE_BUILD_TYPE=Release -DTIDAL_WERROR=ON -DCMAKE_CXX_COMPILER="$cxx"
         -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON)
# ccache rewrites the paths under the scratch directory to relative ones, so that the next run
# of this test, in another scratch directory, finds its objects in the cache.
[ -n "$launcher" ] && options+=(-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher") && export CCACHE_BASEDIR=$scratch
"$cmake" -S "$src" -B build "${options[@]}" > configure.txt 2>&1; status=$?
check "configures without GoogleTest" "[ $status -eq 0 ] && grep -q 'unit tests not built' configure.txt"
start=$(date +%s)
"$cmake" --build build -j 2 > build.txt 2>&1; status=$?
[ $status -eq 0 ] || tail -20 build.txt
check "builds the program (and no unit tests) in $(( $(date +%s) - start )) s" \
    "[ $status -eq 0 ] && [ -x build/tidal ] && [ ! -e build/tests/unit_tests ]"
check "... with no GoogleTest in any compile or link line" \
    "! grep -rqi 'gtest' build/CMakeFiles/*.dir/flags.make build/CMakeFiles/*.dir/link.txt"
check "the program runs" "build/tidal --version | grep -q '^tidal '"
"$(dirname "$cmake")/ctest" --test-dir build -N > tests.txt 2>&1; status=$?
check "its whole-program tests are registered, no unit test among them" \
    "[ $status -eq 0 ] && grep -q 'program.reference_choice1' tests.txt && ! grep -q 'BodyFile\\.' tests.txt"
"$cmake" --install build --prefix "$scratch/prefix" > install.txt 2>&1; status=$?
check "installs the program, the plot command and its script" \
    "[ $status -eq 0 ] && [ -x prefix/bin/tidal ] && [ -x prefix/bin/plot-results ] && [ -f prefix/share/tidal/plot-results.gp ]"
"$cmake" -S "$src" -B asked -DTIDAL_REQUIRE_GTEST=ON -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON > asked.txt 2>&1; status=$?
check "asking for the unit tests without GoogleTest fails, naming it" "[ $status -ne 0 ] && grep -q GTest asked.txt"
exit $failed
