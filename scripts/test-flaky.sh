#!/usr/bin/env bash
# Looks for tests whose result depends on the machine's load or on another suite running at
# the same time (a fixed wait, a shared temporary path): two suites at once on two build
# directories made as scripts/test.sh makes build/, each with `ctest -j2`, so that four tests
# share the cores. In the first directory the whole suite runs FULL times; in the second the
# unit tests and the quick whole-program tests run QUICK times meanwhile (over again until the
# first has finished, at least QUICK times). Every run's failures are listed, then the passes.
# Usage: scripts/test-flaky.sh BUILD_A BUILD_B [FULL [QUICK]]   (defaults 3 and 10)
set -uo pipefail
[ $# -ge 2 ] || { echo "usage: $0 BUILD_A BUILD_B [FULL [QUICK]]" >&2; exit 2; }
a=$(realpath "$1") b=$(realpath "$2") full=${3:-3} quick=${4:-10}
for d in "$a" "$b"; do
    [ -f "$d/CTestTestfile.cmake" ] || { echo "$d: not a configured build directory" >&2; exit 2; }
done
[ "$a" != "$b" ] || { echo "the two build directories must differ" >&2; exit 2; }
# The whole-program tests of more than half a minute each, left to the full runs.
long='program\.(study|study_journal|command_line|publication|body_files|reference_choice1|failures|edges|publication_order)|docs\.|python\.|build\.|scripts\.'
log=$(mktemp -d)
trap 'rm -rf "$log"' EXIT

# One ctest run: "NAME pass" or "NAME FAIL: tests...", and its output kept on failure (with
# every failed test's own output, to tell what it saw).
run() { # name build [ctest options]
    local name=$1 dir=$2
    shift 2
    if ctest --test-dir "$dir" -j2 --timeout 900 --output-on-failure "$@" > "$log/$name.txt" 2>&1; then
        echo "$name pass"
    else
        echo "$name FAIL: $(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (.*)$/\1/p' "$log/$name.txt" | tr '\n' ' ')"
        cp "$log/$name.txt" "$a/flaky-$name.txt"
    fi
}

start=$(date +%s)
(for i in $(seq "$full"); do run "full-$i" "$a"; done) > "$log/full.results" &
full_pid=$!
i=0
while [ $i -lt "$quick" ] || kill -0 $full_pid 2> /dev/null; do
    i=$((i + 1))
    run "quick-$i" "$b" -E "$long"
done > "$log/quick.results"
wait $full_pid
cat "$log/full.results" "$log/quick.results"
echo "full: $(grep -c ' pass$' "$log/full.results")/$full passed;" \
     "quick: $(grep -c ' pass$' "$log/quick.results")/$i passed; $(( $(date +%s) - start )) s" \
     "(outputs of failed runs: $a/flaky-*.txt)"
! grep -q FAIL "$log/full.results" "$log/quick.results"
