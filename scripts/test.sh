#!/usr/bin/env bash
# Builds the program and its tests (Release, warnings as errors) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTIDAL_WERROR=ON -DBUILD_TESTING=ON \
      -DTIDAL_REQUIRE_GTEST=ON
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"
