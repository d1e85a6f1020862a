#!/usr/bin/env bash
# What a user or the system can do wrong, tried on the built program: bad menu input and bad
# options, result files that cannot be written, a full console, a signal at the menu and too
# little memory. Each must end with one line on standard error, the documented exit status,
# and earlier result files left untouched. (Stopped runs and full disks: program_publication.sh.)
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
# (Blanks around a valid choice: Menu.AcceptsAnIntegerFromOneToEightInFreeForm; the menu's run
# of a choice: program_cli.sh.)
cd ..

# --- Result files that cannot be written: status 1, one line naming file and reason -------
# A directory stands where a summary file must be created.
mkdir blocked && cd blocked && mkdir tneta
"$tidal" --body 1 > /dev/null 2> ../err.txt; status=$?
check "a directory in place of a summary file exits with status 1" "[ $status -eq 1 ]"
check "... and names the file and the reason" "one_line ../err.txt && grep -q \"'tneta'.*Is a directory\" ../err.txt"
cd ..
# An output directory that cannot be created: a plain file stands in its path.
touch plainfile
"$tidal" --body 1 --output plainfile/results > /dev/null 2> err.txt; status=$?
check "an output directory that cannot be created exits with status 1" "[ $status -eq 1 ] && one_line err.txt && grep -q \"directory 'plainfile/results'\" err.txt"
# Standard output on a full disk: the result files are written, the failure is reported.
mkdir console && cd console
# (A short sweep: the console's lines are those of the menu's run, program_cli.sh.)
"$tidal" --body 4 --set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=15 \
    --set sweep.steps_per_decade=4 --output . > /dev/full 2> ../err.txt; status=$?
check "full standard output exits with status 1" "[ $status -eq 1 ] && one_line ../err.txt && grep -q 'standard output' ../err.txt"
check "... and still leaves complete result files" "[ \$(wc -l < pcelketa) -eq 5 ]"
cd ..

# --- A signal while the menu waits for the choice: no result file is created -------------
# The choice comes through a pipe held open until the menu is on the screen: the signal lands
# while the program reads, however long it took to get there.
mkdir menu-wait && cd menu-wait
mkfifo ../choice
"$tidal" < ../choice > ../menu.txt 2> ../err.txt &
pid=$!
exec 3> ../choice
until grep -q 'Choose' ../menu.txt || ! kill -0 $pid 2> /dev/null; do sleep 0.01; done
kill -s INT $pid
wait $pid; status=$?
exec 3>&-
check "SIGINT at the menu exits with status 130 and creates nothing" "[ $status -eq 130 ] && [ -z \"\$(ls)\" ]"
cd ..

# --- Memory: a clear message far below what a run needs, a complete run far above ---------
# The smallest address-space limit under which the program starts at all (the loader and the
# libraries need some, NetCDF and what it links tens of MiB); a run needs several MiB more for its matrices and histories.
mkdir memory && cd memory
start=""
for limit in $(seq 3000 250 100000); do
    (ulimit -v $limit; "$tidal" --version > /dev/null 2>&1) && { start=$limit; break; }
done
check "the program starts under some address-space limit (${start} KiB)" "[ -n \"$start\" ]"
for f in $files; do echo " earlier result $f" > $f; done
earlier=$(md5sum $files)
(ulimit -v $((start + 512)); "$tidal" --body 4 --jobs 1 > /dev/null 2> err.txt); status=$?
check "512 KiB above that: the allocation message, status 1" \
    "[ $status -eq 1 ] && [ \"\$(cat err.txt)\" = 'Allocation would exceed memory limit' ]"
check "... and the earlier results untouched" "[ \"\$(md5sum $files)\" = \"\$earlier\" ]"
(ulimit -v $((start + 256 * 1024)); "$tidal" --body 4 --jobs 2 > /dev/null 2> err.txt); status=$?
check "256 MiB above that: the run completes" "[ $status -eq 0 ] && [ \$(wc -l < pcelketa) -eq 201 ]"
cd ..

exit $failed
