#!/usr/bin/env bash
# Builds everything with the address and undefined-behaviour sanitizers and runs the unit
# tests under them (they include short sweeps of every body through the library, with
# invalid operations and division by zero trapped). Any report fails.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDAL_SANITIZE=ON \
      -DTIDAL_WERROR=ON -DBUILD_TESTING=ON \
      -DTIDAL_REQUIRE_GTEST=ON
cmake --build build-sanitize -j "$(nproc)" --target unit_tests tidal
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
build-sanitize/tests/unit_tests
# A short sweep through the whole program: the first eight viscosities, then SIGTERM; the
# completed ones stay in the .partial files.
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
build-sanitize/tidal --body 1 --output "$out" --jobs 2 > /dev/null &
pid=$!
for _ in $(seq 1 600); do [ -s "$out/pcelketakelvin.partial" ] && break; sleep 0.1; done
kill -TERM $pid
status=0; wait $pid || status=$?
[ "$status" -eq 143 ] || { echo "sanitized sweep ended with status $status, expected 143" >&2; exit 1; }
[ ! -e "$out/pcelketa" ] || { echo "sanitized sweep: a stopped run published its files" >&2; exit 1; }
echo "sanitized sweep: $(wc -l < "$out/pcelketa.partial") viscosities, stopped cleanly"
# A short study: points and batches on two threads, points published whole.
build-sanitize/tidal --study tests/data/study_small.toml --output "$out/study" --jobs 2
[ "$(wc -l < "$out/study/study.csv")" -eq 7 ] || { echo "sanitized study incomplete" >&2; exit 1; }
