#!/usr/bin/env bash
# A configure as on a machine with only CMake and a compiler: GoogleTest is hidden from CMake.
# The program, its install and its whole-program tests must not depend on it, and asking for
# the unit tests must fail at configure time with a message naming GoogleTest. What the build
# would compile and link is read from the generated build files (no compile: the program's
# sources are those the main build compiles, with the same flags but GoogleTest's).
# Caught: the whole-program tests registered only where GoogleTest is found; GoogleTest
# required whatever TIDAL_REQUIRE_GTEST says; the unit tests' target made without GoogleTest
# (its link line names gtest); a source of the program including GoogleTest.
# Usage: build_without_gtest.sh SOURCE_DIR CMAKE CXX_COMPILER [COMPILER_LAUNCHER]
set -uo pipefail
src=$1 cmake=$2 cxx=$3
source "$(dirname "$0")/checks.sh"
cd "$scratch"
options=(-DCMAKE_BUILD_TYPE=Release -DTIDAL_WERROR=ON -DCMAKE_CXX_COMPILER="$cxx"
         -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON)
"$cmake" -S "$src" -B build "${options[@]}" > configure.txt 2>&1; status=$?
check "configures without GoogleTest" "[ $status -eq 0 ] && grep -q 'unit tests not built' configure.txt"
check "... with no unit-test target, and the program's" \
    "[ -d build/CMakeFiles/tidal.dir ] && [ ! -e build/tests/CMakeFiles/unit_tests.dir ]"
check "... and no GoogleTest in any compile or link line" \
    "! grep -rqi 'gtest' build/CMakeFiles/*.dir/flags.make build/CMakeFiles/*.dir/link.txt"
check "no source of the program or the module includes GoogleTest" \
    "! grep -rq 'gtest' '$src/src' '$src/python' --include=*.cpp --include=*.hpp"
"$(dirname "$cmake")/ctest" --test-dir build -N > tests.txt 2>&1; status=$?
check "its whole-program tests are registered, no unit test among them" \
    "[ $status -eq 0 ] && grep -q 'program.reference_choice1' tests.txt && ! grep -q 'BodyFile\\.' tests.txt"
check "its install puts the program, the plot command and its script in place" \
    "grep -q 'bin.*tidal' build/cmake_install.cmake && grep -q 'tools/plot-results\"' build/cmake_install.cmake && grep -q 'plot-results.gp' build/cmake_install.cmake"
"$cmake" -S "$src" -B asked -DTIDAL_REQUIRE_GTEST=ON -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON > asked.txt 2>&1; status=$?
check "asking for the unit tests without GoogleTest fails, naming it" "[ $status -ne 0 ] && grep -q GTest asked.txt"
exit $failed
