#!/usr/bin/env bash
# Builds the unit tests and the program with the address and undefined-behaviour sanitizers
# and runs the unit tests under them (they include short sweeps of every body through the
# library, with invalid operations and division by zero trapped), then a sweep and a study of
# the program. Any report fails.
# Compiled at -O1 with line tables only (-g1): every check of the sanitizers is kept and the
# stack traces keep their files and lines, at about half the compile time of -O2 -g.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIDAL_SANITIZE=ON \
      -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
      -DTIDAL_WERROR=ON -DBUILD_TESTING=ON \
      -DTIDAL_REQUIRE_GTEST=ON
cmake --build build-sanitize -j "$(nproc)" --target unit_tests tidal
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
# The unit tests in one process per core, each running its share of them (GoogleTest's
# shards: every test runs in exactly one); a failed shard's output is shown whole.
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
shards=$(nproc)
logs=$out/shards
mkdir "$logs"
pids=()
for ((i = 0; i < shards; i++)); do
    GTEST_TOTAL_SHARDS=$shards GTEST_SHARD_INDEX=$i build-sanitize/tests/unit_tests \
        > "$logs/shard$i.txt" 2>&1 &
    pids+=($!)
done
failed=0
for ((i = 0; i < shards; i++)); do
    status=0; wait "${pids[$i]}" || status=$?
    if [ $status -ne 0 ]; then
        cat "$logs/shard$i.txt"
        echo "sanitized unit tests, shard $((i + 1)) of $shards: status $status" >&2
        failed=1
    else
        echo "sanitized unit tests, shard $((i + 1)) of $shards: $(grep -E '^\[  PASSED  \]' "$logs/shard$i.txt")"
    fi
done
[ $failed -eq 0 ] || exit 1
# A short sweep through the whole program: the first eight viscosities, then SIGTERM; the
# completed ones stay in the .partial files.
sweep=$out/sweep
build-sanitize/tidal --body 1 --output "$sweep" --jobs 2 > /dev/null &
pid=$!
# (Waits for the record, not for a time: at a low priority on a loaded machine it comes late.)
while [ ! -s "$sweep/pcelketakelvin.partial" ] && kill -0 $pid 2> /dev/null; do sleep 0.1; done
kill -TERM $pid 2> /dev/null || true  # (ended already: its status says how)
status=0; wait $pid || status=$?
[ "$status" -eq 143 ] || { echo "sanitized sweep ended with status $status, expected 143" >&2; exit 1; }
[ ! -e "$sweep/pcelketa" ] || { echo "sanitized sweep: a stopped run published its files" >&2; exit 1; }
echo "sanitized sweep: $(wc -l < "$sweep/pcelketa.partial") viscosities, stopped cleanly"
# A short study: points and batches on two threads, points published whole.
build-sanitize/tidal --study tests/data/study_small.toml --output "$out/study" --jobs 2
[ "$(wc -l < "$out/study/study.csv")" -eq 7 ] || { echo "sanitized study incomplete" >&2; exit 1; }
