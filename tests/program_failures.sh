#!/usr/bin/env bash
# What a user or the system can do wrong, tried on the built program: bad menu input and bad
# options, result files that cannot be written, a full disk, too little memory and signals.
# Each must end with one line on standard error, the documented exit status, and result files
# that hold only whole records (or are left untouched when nothing was computed).
# Usage: program_failures.sh TIDAL
set -uo pipefail
set -m # background jobs get their own process group and keep SIGINT
tidal=$(realpath "$1")
source "$(dirname "$0")/checks.sh"
cd "$scratch"

# --- Bad menu input and bad options: status 2, nothing created or changed ----------------
mkdir seeded && cd seeded
for f in $summaries time timekelvin; do echo "earlier result $f" > "$f"; done
sums=$(md5sum $summaries time timekelvin)
for input in "" "\n\n" "abc" "1.5" "0" "9" "-3" "99999999999" "4x" "+"; do
    printf -- "$input" | "$tidal" > out.txt 2> err.txt
    status=$?
    check "menu input '$input' exits with status 2" "[ $status -eq 2 ]"
    check "menu input '$input' gives one line naming the range" "one_line err.txt && grep -q 'integer from 1 to 8' err.txt"
    check "menu input '$input' leaves the result files alone" "[ \"\$(md5sum $summaries time timekelvin)\" = \"\$sums\" ]"
done
for args in "--body 9" "--body" "--jobs 0" "--frobnicate" "--output" "--body=1.5 --output fresh" \
            "--series 0 --output fresh" "--body 1 --series 1e30 --output fresh"; do
    "$tidal" $args < /dev/null > out.txt 2> err.txt
    status=$?
    check "options '$args' exit with status 2" "[ $status -eq 2 ]"
    check "options '$args' give one line" "one_line err.txt"
    check "options '$args' create and change nothing" "[ \"\$(md5sum $summaries time timekelvin)\" = \"\$sums\" ] && [ ! -e fresh ]"
done
# Blanks around a valid choice are accepted.
printf '  4  \n' | "$tidal" > out.txt 2> err.txt
status=$?
check "menu input '  4  ' is accepted and runs the sweep" "[ $status -eq 0 ] && [ \$(wc -l < pcelketa) -eq 201 ] && [ ! -s err.txt ]"
cd ..

# --- Result files that cannot be written: status 1, one line naming file and reason -------
# A directory stands where a summary file must be created.
mkdir blocked && cd blocked && mkdir tneta
"$tidal" --body 1 > /dev/null 2> ../err.txt; status=$?
check "a directory in place of a summary file exits with status 1" "[ $status -eq 1 ]"
check "... and names the file and the reason" "one_line ../err.txt && grep -q \"'tneta'.*Is a directory\" ../err.txt"
cd ..
# A directory stands where the series file must be rewritten: records come before it.
mkdir blocked-series && cd blocked-series && mkdir time
"$tidal" --body 1 > /dev/null 2> ../err.txt; status=$?
check "a directory in place of a series file exits with status 1" "[ $status -eq 1 ] && one_line ../err.txt && grep -q \"'time'.*Is a directory\" ../err.txt"
check "... and the records written before it are whole lines" "whole_lines $summaries && [ \$(wc -l < ureta) -ge 1 ]"
cd ..
# A result file that is a link to a full disk: the write (or its flush) fails.
mkdir full && cd full && ln -s /dev/full pcelketakelvin
"$tidal" --body 1 > /dev/null 2> ../err.txt; status=$?
check "a result file on a full disk exits with status 1" "[ $status -eq 1 ]"
check "... names the file and the reason" "one_line ../err.txt && grep -q \"'pcelketakelvin'.*No space left on device\" ../err.txt"
check "... and leaves whole lines in the other files" "whole_lines pcelketa ureta uretakelvin tneta tnetakelvin urtheta urthetakelvin && [ \$(wc -l < pcelketa) -eq 1 ]"
cd ..
# An output directory that cannot be created: a plain file stands in its path.
touch plainfile
"$tidal" --body 1 --output plainfile/results > /dev/null 2> err.txt; status=$?
check "an output directory that cannot be created exits with status 1" "[ $status -eq 1 ] && one_line err.txt && grep -q \"directory 'plainfile/results'\" err.txt"
# Standard output on a full disk: the result files are written, the failure is reported.
mkdir console && cd console
echo 1 | "$tidal" > /dev/full 2> ../err.txt; status=$?
check "full standard output exits with status 1" "[ $status -eq 1 ] && grep -q 'standard output' ../err.txt"
check "... and still leaves complete result files" "[ \$(wc -l < pcelketa) -eq 241 ]"
cd ..

# --- Signals: prompt stop, whole records, status 128 + signal ------------------------------
for sig in INT TERM; do
    num=$(kill -l $sig)
    rm -rf "sig$sig"
    "$tidal" --body 1 --output "sig$sig" > /dev/null 2> err.txt &
    pid=$!
    # Wait until some viscosities are done, then interrupt.
    for _ in $(seq 1 100); do
        [ -s "sig$sig/pcelketakelvin" ] && break
        sleep 0.05
    done
    start=$(date +%s%N)
    kill -s $sig $pid
    wait $pid; status=$?
    took=$(( ($(date +%s%N) - start) / 1000000 ))
    check "SIG$sig stops the sweep with status $((128 + num))" "[ $status -eq $((128 + num)) ]"
    check "... within a second (took ${took} ms)" "[ $took -lt 1000 ]"
    check "... with one line saying so" "one_line err.txt && grep -q 'interrupted' err.txt"
    cd "sig$sig"
    lines=$(wc -l < pcelketa)
    same=1
    for f in $summaries; do [ "$(wc -l < $f)" -eq "$lines" ] || same=0; done
    check "... every summary file holds the same whole records (${lines})" "whole_lines $summaries time timekelvin && [ $same -eq 1 ] && [ $lines -gt 0 ] && [ $lines -lt 241 ]"
    check "... and the series files are whole runs" "[ \$(wc -l < time) -eq 20000 ] && [ \$(wc -l < timekelvin) -eq 20000 ]"
    cd ..
done
# A signal while the menu waits for the choice: no result file is created.
mkdir menu-wait && cd menu-wait
sleep 3 | "$tidal" > /dev/null 2> ../err.txt &
pid=$!
sleep 0.3
kill -s INT $pid
wait $pid; status=$?
check "SIGINT at the menu exits with status 130 and creates nothing" "[ $status -eq 130 ] && [ -z \"\$(ls)\" ]"
cd ..

# --- Too little memory: a clear message, never an abort -----------------------------------
# Where the limit is so low that the loader itself fails (status 127) the program never ran;
# at least one limit must reach it.
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
