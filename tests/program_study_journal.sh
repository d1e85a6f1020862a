#!/usr/bin/env bash
# Studies without point directories (point_directories = false) on the built program: the
# journal's study.csv, study_sweep.csv and study.nc are the bytes a study with point
# directories writes, with no directory per point; a study stopped by SIGTERM resumes from the
# journal to the same bytes, computing no point twice; a journal cut in its last record (a run
# killed while appending) loses only that point, computed again; a journal damaged elsewhere is
# refused, not truncated; a study kept one way is not resumed the other.
# Usage: program_study_journal.sh TIDAL
set -uo pipefail
tidal=$(realpath "$1")
data=$(realpath "$(dirname "$0")/data")
source "$(dirname "$0")/checks.sh"
cd "$scratch"
tables="study.csv study_sweep.csv study.nc"
same_tables() { # DIR DIR
    for f in $tables; do cmp -s "$1/$f" "$2/$f" || { echo "differs: $1/$f $2/$f"; return 1; }; done
}

# A time study and a steady study, each kept both ways.
cp "$data/study_small.toml" dirs.toml
sed '1i point_directories = false' dirs.toml > journal.toml
sed '1i method = "steady"' dirs.toml > steady-dirs.toml
sed '1i method = "steady"' journal.toml > steady-journal.toml
for s in dirs journal steady-dirs steady-journal; do
    "$tidal" --study $s.toml --output $s --jobs 2 2> $s.err || echo "$s failed: $(cat $s.err)"
done
check "a study without point directories writes the tables of one with them, byte for byte" \
    "same_tables dirs journal && same_tables steady-dirs steady-journal"
check "... and keeps no directory per point, nothing half-written" \
    "[ -z \"\$(find journal steady-journal -mindepth 1 -type d)\" ] && [ -z \"\$(find journal steady-journal -name '*.partial')\" ] && [ -s journal/study.journal ]"
check "... its closing line as ever" "tail -n 1 journal.err | grep -q '^study of 6 points complete in journal/study.csv: 6 computed now, 0 published before'"
"$tidal" --study journal.toml --output journal --jobs 2 2> again.txt; status=$?
check "run again, it finds every point in the journal and writes the same tables" \
    "[ $status -eq 0 ] && grep -q ': 0 computed now, 6 published before' again.txt && same_tables dirs journal"

# Stopped half-way: points 1-3 quick, 4-6 two hundred times slower; SIGTERM once the journal
# holds point 3's record.
sed '/^\[axes\]/,$d' journal.toml > slow.toml
printf '[axes]\n"numerics.steps_per_period" = [100, 20000]\n"orbit.eccentricity" = [0.005, 0.009, 0.02]\n' >> slow.toml
sed '1d' slow.toml > slow-dirs.toml
"$tidal" --study slow-dirs.toml --output whole --jobs 2 2> /dev/null
"$tidal" --study slow.toml --output resumed --jobs 2 2> stopped.txt &
pid=$!
while ! grep -q -a '^end point-00003$' resumed/study.journal 2> /dev/null && kill -0 $pid 2> /dev/null; do sleep 0.01; done
kill -TERM $pid
status=0; wait $pid || status=$?
"$tidal" --study slow.toml --output resumed --jobs 2 2> resumed.txt; status2=$?
before=$(sed -n 's/.* \([0-9]*\) of them now.*/\1/p' stopped.txt)
after=$(sed -n 's/.*: \([0-9]*\) computed now, \([0-9]*\) published before/\1 \2/p' resumed.txt)
check "SIGTERM stops a journal study half-way" "[ $status -eq 143 ] && [ -n \"$before\" ] && [ $before -ge 3 ] && [ $before -lt 6 ]"
check "... the rerun computes only the points left, to the bytes of a whole study" \
    "[ $status2 -eq 0 ] && [ \"$after\" = \"\$((6 - before)) $before\" ] && same_tables whole resumed"

# Killed while appending: the last record cut short (by 10 bytes, and inside its header) is
# dropped and its point computed again; nothing else is.
for cut in 10 header; do
    cp -r journal cut-$cut
    size=$(stat -c %s cut-$cut/study.journal)
    if [ $cut = header ]; then
        start=$(grep -a -b '^point-00006 ' cut-$cut/study.journal | cut -d: -f1)
        truncate -s $((start + 5)) cut-$cut/study.journal
    else
        truncate -s $((size - 10)) cut-$cut/study.journal
    fi
    "$tidal" --study journal.toml --output cut-$cut 2> cut.txt; status=$?
    check "a journal cut in its last record ($cut) recomputes that point alone, to the same bytes" \
        "[ $status -eq 0 ] && grep -q ': 1 computed now, 5 published before' cut.txt && same_tables dirs cut-$cut && cmp -s journal/study.journal cut-$cut/study.journal"
done

# Damaged before its end: refused in one line, the journal left as it was.
cp -r journal damaged
grep -a -b '^end point-00002$' damaged/study.journal > /dev/null || echo "no record end found"
at=$(grep -a -b '^end point-00002$' damaged/study.journal | cut -d: -f1)
printf 'X' | dd of=damaged/study.journal bs=1 seek=$at conv=notrunc 2> /dev/null
cp damaged/study.journal damaged.copy
"$tidal" --study journal.toml --output damaged 2> err.txt; status=$?
check "a journal damaged before its end is refused, not cut" \
    "[ $status -ne 0 ] && one_line err.txt && grep -q 'study.journal. is damaged at byte' err.txt && cmp -s damaged.copy damaged/study.journal"

# Another study's journal: refused, naming the record.
sed 's/10e3, 20e3/15e3, 20e3/' journal.toml > other.toml
"$tidal" --study other.toml --output journal 2> err.txt; status=$?
check "a journal of another study is refused" "[ $status -eq 2 ] && one_line err.txt && grep -q 'study.journal (point-00001/body.toml) holds another body than point 1' err.txt && same_tables dirs journal"

# Kept one way, not resumed the other.
"$tidal" --study dirs.toml --output journal 2> err1.txt; status1=$?
"$tidal" --study journal.toml --output dirs 2> err2.txt; status2=$?
check "a study is not resumed with its points kept the other way" \
    "[ $status1 -eq 2 ] && one_line err1.txt && grep -q 'holds a study without point directories; set point_directories = false' err1.txt && [ $status2 -eq 2 ] && one_line err2.txt && grep -q 'holds a study with point directories; set point_directories = true' err2.txt && [ ! -e dirs/study.journal ]"
printf 'point_directories = "no"\n' | cat - dirs.toml > bad.toml
"$tidal" --study bad.toml --output bad 2> err.txt; status=$?
check "point_directories must be true or false" "[ $status -eq 2 ] && one_line err.txt && grep -q 'bad.toml:1:.*point_directories: expected true or false' err.txt && [ ! -e bad ]"
exit $failed
