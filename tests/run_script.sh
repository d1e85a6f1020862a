#!/usr/bin/env bash
# scripts/run.sh refuses what it cannot run before it builds or creates anything, and has
# --help. Tried on a copy in an empty tree, so that a refusal that fails cannot build here.
# Usage: run_script.sh RUN_SH
set -uo pipefail
source "$(dirname "$0")/checks.sh"
mkdir -p "$scratch/tree/scripts"
cp "$1" "$scratch/tree/scripts/run.sh"
cd "$scratch"
run=tree/scripts/run.sh
for args in 9 0 -1 abc "''" missing.toml "1 2"; do
    eval bash "$run" "$args" > out.txt 2> err.txt < /dev/null; status=$?
    check "run.sh $args is refused with status 2 and one line" "[ $status -eq 2 ] && one_line err.txt && [ ! -s out.txt ]"
    check "... creating nothing" "[ \"\$(ls -A tree)\" = scripts ]"
done
bash "$run" --help > out.txt 2> err.txt; status=$?
check "run.sh --help shows the usage" "[ $status -eq 0 ] && grep -q '^Usage: scripts/run.sh' out.txt && [ ! -s err.txt ]"
exit $failed
