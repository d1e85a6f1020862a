#!/usr/bin/env bash
# The failures a user can cause end with one line on standard error, a non-zero status and no
# result file created or damaged. Usage: program_failures.sh TIDAL
set -uo pipefail
tidal=$(realpath "$1")
scratch=$(mktemp -d)
trap 'chmod -R u+w "$scratch"; rm -rf "$scratch"' EXIT
failed=0
check() { # description, condition
    if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}

cd "$scratch"
mkdir bad && cd bad
echo "some earlier result" > pcelketa
for input in "9" "abc" "" "-3"; do
    printf '%s' "$input" | "$tidal" > out.txt 2> err.txt
    status=$?
    check "input '$input' exits with status 2" "[ $status -eq 2 ]"
    check "input '$input' gives one error line" "[ \$(wc -l < err.txt) -eq 1 ] && grep -q 'integer from 1 to 8' err.txt"
    check "input '$input' leaves the result files alone" "[ \"\$(cat pcelketa)\" = 'some earlier result' ] && [ ! -e ureta ]"
    rm -f out.txt err.txt
done
cd ..

mkdir readonly && chmod a-w readonly && cd readonly
if touch probe 2>/dev/null; then
    echo "skipped: running with permission to write anywhere"
    rm -f probe
else
    echo 1 | "$tidal" > /dev/null 2> err.txt.tmp; status=$?
    check "unwritable directory exits with status 1" "[ $status -eq 1 ]"
fi
cd ..

# Unwritable result file: a directory stands where "tneta" should be created.
mkdir blocked && cd blocked && mkdir tneta
echo 1 | "$tidal" > /dev/null 2> ../err.txt; status=$?
check "blocked result file exits with status 1" "[ $status -eq 1 ]"
check "blocked result file is named with the reason" "[ \$(wc -l < ../err.txt) -eq 1 ] && grep -q \"'tneta'.*Is a directory\" ../err.txt"
cd ..

# Standard output on a full disk: the result files are written, the failure is reported.
mkdir console && cd console
echo 1 | "$tidal" > /dev/full 2> ../err.txt; status=$?
check "full standard output exits with status 1" "[ $status -eq 1 ] && grep -q 'standard output' ../err.txt"
check "full standard output still leaves complete result files" "[ \$(wc -l < pcelketa) -eq 241 ]"
cd ..

# Too little memory: a clear message, never an abort. Where the limit is so low that the
# loader itself fails (status 127) the program never ran; at least one limit must reach it.
mkdir memory && cd memory
reached=0
for limit in 5000 6000 7000 8000; do
    (ulimit -v $limit; echo 1 | "$tidal" > /dev/null 2> err.txt); status=$?
    [ $status -eq 127 ] && continue
    reached=1
    check "memory limit ${limit} KiB ends with the allocation message" \
        "[ $status -eq 1 ] && [ \"\$(cat err.txt)\" = 'Allocation would exceed memory limit' ]"
done
check "some memory limit let the program start" "[ $reached -eq 1 ]"
cd ..

exit $failed
