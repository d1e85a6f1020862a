#!/usr/bin/env bash
# How a run's results reach its directory, tried on the built program: two runs into one
# directory (one refused, the other's files correct), re-runs stopped by a signal (the earlier
# complete files untouched, whole records in the .partial files), the next run with a console
# reader that goes away (the stale .partial files replaced, complete files identical to the
# first run's, status 0). A full disk: program_full_disk.sh.
# Usage: program_publication.sh TIDAL
set -uo pipefail
set -m # background jobs get their own process group and keep SIGINT
tidal=$(realpath "$1")
source "$(dirname "$0")/checks.sh"
cd "$scratch"
no_partials() { [ -z "$(find "$1" -name '*.partial')" ]; }

# --- Two runs into one directory ------------------------------------------------------------
"$tidal" --body 5 --output same > /dev/null 2> first.err &
first=$!
# Until the first run holds the directory (or has ended, which the checks below then show).
until grep -qx "$first" same/.tidal.lock 2> /dev/null || ! kill -0 $first 2> /dev/null; do sleep 0.01; done
"$tidal" --body 4 --output same > /dev/null 2> second.err; status=$?
check "a second run into a busy directory exits with status 1" "[ $status -eq 1 ]"
check "... with one line naming the directory and the other run's process" \
    "one_line second.err && grep -q \"'same'.*process $first\" second.err"
wait $first; status=$?
check "the first run completes" "[ $status -eq 0 ] && only_warnings first.err && no_partials same"
check "... with whole files of its own body (compared below with a run of its own)" \
    "[ \$(wc -l < same/pcelketa) -eq 201 ] && [ \$(wc -l < same/time) -eq 20000 ]"

# --- A re-run stopped by a signal ------------------------------------------------------------
before=$(cd same && md5sum $files)
for sig in INT TERM; do
    num=$(kill -l $sig)
    "$tidal" --body 5 --output same --jobs 2 > /dev/null 2> err.txt &
    pid=$!
    # Until this run holds the directory (it has removed the stale .partial files then) and
    # has completed some viscosities.
    until { grep -qx "$pid" same/.tidal.lock 2> /dev/null && [ -s same/pcelketakelvin.partial ]; } ||
          ! kill -0 $pid 2> /dev/null; do
        sleep 0.01
    done
    # Held still while the records so far are counted and the signal is sent: after it, the
    # run may finish only the batches in hand (two per thread, eight viscosities each), however
    # fast or slow the machine.
    kill -s STOP $pid
    seen=$(wc -l < same/pcelketa.partial)
    start=$(date +%s%N)
    kill -s $sig $pid
    kill -s CONT $pid
    # (A wait may report the stop, if the shell saw it: wait again, for the end.)
    wait $pid; status=$?
    while [ $status -eq $((128 + $(kill -l STOP))) ]; do wait $pid; status=$?; done
    took=$(( ($(date +%s%N) - start) / 1000000 ))
    ended=$(wc -l < same/pcelketa.partial)
    check "SIG$sig stops a re-run with status $((128 + num)) within the batches in hand ($seen records at the signal, $ended at the end, ${took} ms)" \
        "[ $status -eq $((128 + num)) ] && [ $ended -le $((seen + 2 * 2 * 8)) ]"
    check "... with one line saying where the completed viscosities are" \
        "one_line err.txt && grep -q 'interrupted.*same/\*\.partial' err.txt"
    check "... leaving the earlier complete files byte-identical" "[ \"\$(cd same && md5sum $files)\" = \"\$before\" ]"
    cd same
    lines=$(wc -l < pcelketa.partial)
    equal=1
    for f in $summaries; do [ "$(wc -l < $f.partial)" -eq "$lines" ] || equal=0; done
    check "... and the same whole records (${lines}) in every summary .partial file" \
        "whole_lines *.partial && [ $equal -eq 1 ] && [ $lines -gt 0 ] && [ $lines -lt 201 ]"
    check "... and a whole run in the series .partial files" "[ \$(wc -l < time.partial) -eq 20000 ] && [ \$(wc -l < timekelvin.partial) -eq 20000 ]"
    cd ..
done
# A run started with SIGINT ignored, as a shell starts a background job, keeps it ignored:
# Ctrl-C at the terminal spares it, and it completes with the files of an uninterrupted run.
# Deliberate fault this catches: the handler installed whatever the signal's disposition was.
(trap '' INT; exec "$tidal" --body 5 --output spared --jobs 2 > /dev/null 2> spared.err) &
pid=$!
until [ -s spared/pcelketakelvin.partial ] || ! kill -0 $pid 2> /dev/null; do sleep 0.01; done
kill -s INT $pid
wait $pid; status=$?
check "a run started with SIGINT ignored is not stopped by it: status 0, the files of an uninterrupted run" \
    "[ $status -eq 0 ] && ! grep -q interrupted spared.err && no_partials spared && [ \"\$(cd spared && md5sum $files)\" = \"\$before\" ]"
# The next run, alone, with a console reader that goes away at once.
"$tidal" --body 5 --output same 2> err.txt | head -1 > head.txt
status=${PIPESTATUS[0]}
check "a run piped into 'head -1' exits with status 0 and no message but warnings" "[ $status -eq 0 ] && only_warnings err.txt"
check "... replaces the .partial files and publishes complete files" "no_partials same"
check "... identical to those of the run beside which another was refused" \
    "[ \"\$(cd same && md5sum $files)\" = \"\$before\" ]"

exit $failed
