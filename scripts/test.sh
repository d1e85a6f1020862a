#!/usr/bin/env bash
# Builds the program, the Python module and their tests (Release, warnings as errors) and runs
# every test. The module is built for and tested with Debian's /usr/bin/python3.
set -euo pipefail
cd "$(dirname "$0")/.."
# What a fresh Debian machine lacks is installed first where this user may (else the command).
source scripts/dependencies.sh
tidal_install_missing test || exit 1
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTIDAL_WERROR=ON -DBUILD_TESTING=ON \
      -DTIDAL_REQUIRE_GTEST=ON -DTIDAL_PYTHON=ON -DPython3_EXECUTABLE=/usr/bin/python3
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"
