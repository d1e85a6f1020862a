#!/usr/bin/env bash
# A full disk under the output directory (a 48 KiB tmpfs): the run ends with status 1 and one
# line naming the file and the reason, no file holds a torn line, and the earlier results are
# untouched. Then a disk that fills while results.nc is written, after every CSV table fits:
# one line naming it and the reason, no results.nc under either name, the earlier one
# untouched. Mounting needs root (as CI runs); elsewhere the test is skipped (exit 77).
# Usage: program_full_disk.sh TIDAL
set -uo pipefail
tidal=$(realpath "$1")
source "$(dirname "$0")/checks.sh"
cd "$scratch"
mkdir small
if ! mount -t tmpfs -o size=48k tmpfs small 2> /dev/null; then
    echo "cannot mount a tmpfs here (needs root): skipped"
    exit 77
fi
trap 'umount "$scratch/small"; umount "$scratch/fits" 2> /dev/null; rm -rf "$scratch"' EXIT
for f in $files; do echo " earlier result $f" > small/$f; done
earlier=$(cd small && md5sum $files)
"$tidal" --body 1 --output small > /dev/null 2> err.txt; status=$?
check "a full disk ends the run with status 1 and one line naming the file and reason" \
    "[ $status -eq 1 ] && one_line err.txt && grep -q \"\.partial'.*No space left on device\" err.txt"
check "... leaves no torn line in any file" "whole_lines small/* && [ -n \"\$(ls small/*.partial)\" ]"
check "... and the earlier results untouched" "[ \"\$(cd small && md5sum $files)\" = \"\$earlier\" ]"
rm -f small/*.partial
"$tidal" --body 1 --method steady --output small > /dev/null 2> err.txt; status=$?
check "in steady mode too: status 1, one line naming the file, the reason and the kept rows" \
    "[ $status -eq 1 ] && one_line err.txt && grep -q \"No space left on device (after [0-9]* of 241 viscosities, kept in small/\*\.partial)\" err.txt"

# A disk with room for the CSV tables and half of results.nc: a run on a roomy tmpfs gives the
# sizes, in the tmpfs's pages, then a filler leaves just that room free.
mkdir fits
mount -t tmpfs -o size=16m tmpfs fits
run="--body 1 --method steady --map 1e14 --output fits/run"
"$tidal" $run > /dev/null 2>&1
pages() { echo $(( ($(stat -c %s "$1") + 4095) / 4096 )); }
csv=0
for f in fits/run/*; do [ "${f##*/}" = results.nc ] || csv=$((csv + $(pages "$f"))); done
nc=$(pages fits/run/results.nc)
rm -rf fits/run && mkdir fits/run && echo " earlier results.nc" > fits/run/results.nc
earlier=$(md5sum < fits/run/results.nc)
free_kib=$(df -k --output=avail fits | tail -n 1)
dd if=/dev/zero of=fits/filler bs=1k count=$((free_kib - 4 * (csv + nc / 2))) 2> /dev/null
"$tidal" $run > /dev/null 2> err.txt; status=$?
check "a disk full while results.nc is written: status 1, one line naming it and the reason" \
    "[ $status -eq 1 ] && one_line err.txt && grep -q \"results\.nc\.partial'.*No space left on device\" err.txt"
check "... after the CSV tables were written whole" \
    "[ -s fits/run/summary.csv.partial ] && [ -s fits/run/peaks.csv.partial ] && [ -s fits/run/map-1e+14.csv.partial ]"
check "... no half-written results.nc under either name, the earlier one untouched" \
    "[ ! -e fits/run/results.nc.partial ] && [ \"\$(md5sum < fits/run/results.nc)\" = \"\$earlier\" ]"

# A steady study whose own files fill the disk at its end, its points already in the journal (an
# earlier run published them all, and its study files are gone): one line naming one of those
# files and the reason, none of them published, no study.nc.partial (the tables' .partial files
# kept whole, as a single run keeps its own), and the journal kept, so that the same command
# resumes the study once there is room, computing nothing again.
rm -rf fits/run fits/filler
cat > study.toml <<'TOML'
base = 1
method = "steady"
point_directories = false
[sweep]
log10_viscosity_min = 12.0
log10_viscosity_max = 16.0
steps_per_decade = 10
[rheology]
models = ["maxwell", "andrade"]
[axes]
"orbit.eccentricity" = [0.002, 0.004, 0.006, 0.008]
TOML
"$tidal" --study study.toml --output fits/study > /dev/null 2>&1
journal=$(pages fits/study/study.journal)
sweep=$(pages fits/study/study_sweep.csv)
journal_sum=$(md5sum < fits/study/study.journal)
tables_sum=$(cd fits/study && md5sum study.csv study_sweep.csv)
cp fits/study/study.journal full.journal
rm fits/study/study.csv fits/study/study_sweep.csv fits/study/study.nc
free_kib=$(df -k --output=avail fits | tail -n 1)
dd if=/dev/zero of=fits/filler bs=1k count=$((free_kib - 4 * (2 + sweep / 2))) 2> /dev/null
"$tidal" --study study.toml --output fits/study > /dev/null 2> err.txt; status=$?
check "a study's own files filling the disk: status 1, one line naming one and the reason" \
    "[ $status -eq 1 ] && one_line err.txt && grep -Eq \"study(_sweep\\.csv|\\.csv|\\.nc)\\.partial'.*No space left on device\" err.txt"
check "... none of them published, no study.nc.partial, the tables' .partial files cut to whole lines" \
    "[ -z \"\$(ls fits/study | grep -E '^study(_sweep)?\\.(csv|nc)\$')\" ] && [ ! -e fits/study/study.nc.partial ] && whole_lines fits/study/*.partial"
check "... every point kept in the journal" \
    "[ \"\$(md5sum < fits/study/study.journal)\" = \"\$journal_sum\" ]"
rm fits/filler
"$tidal" --study study.toml --output fits/study > /dev/null 2> err.txt; status=$?
check "... and the same command then completes it, computing nothing again" \
    "[ $status -eq 0 ] && grep -q '0 computed now, 4 published before' err.txt && [ -s fits/study/study.nc ] && [ -s fits/study/study_sweep.csv ]"

# The same study on a disk that fills while its points are computed: the journal and the
# study's tables grow together, so either may be the file refused. One line naming it and the
# reason, nothing of the study published, the journal a run of whole records (a prefix of the
# complete one), and the same command then completes the study to the same tables.
rm -rf fits/study
free_kib=$(df -k --output=avail fits | tail -n 1)
dd if=/dev/zero of=fits/filler bs=1k count=$((free_kib - 4 * (2 + (journal + sweep) / 2))) 2> /dev/null
"$tidal" --study study.toml --output fits/study > /dev/null 2> err.txt; status=$?
check "a disk full while a study's points are computed: status 1, one line naming the file and the reason" \
    "[ $status -eq 1 ] && one_line err.txt && grep -Eq \"study(\\.journal|_sweep\\.csv\\.partial|\\.csv\\.partial)'.*No space left on device\" err.txt"
# Whole records: the journal is empty or ends with a record's last line, and is the start of the
# complete journal.
whole_records() {
    [ ! -s "$1" ] || tail -n 1 "$1" | grep -Eq '^end point-[0-9]+$' &&
        cmp -s -n "$(stat -c %s "$1")" "$1" full.journal
}
check "... nothing of the study published, its journal whole records of the complete one" \
    "[ -z \"\$(ls fits/study | grep -E '^study(_sweep)?\\.(csv|nc)\$')\" ] && [ ! -e fits/study/study.nc.partial ] && whole_lines fits/study/*.partial && whole_records fits/study/study.journal"
rm fits/filler
"$tidal" --study study.toml --output fits/study > /dev/null 2> err.txt; status=$?
check "... and the same command then completes it to the same tables" \
    "[ $status -eq 0 ] && grep -q 'study of 4 points complete' err.txt && [ \"\$(md5sum < fits/study/study.journal)\" = \"\$journal_sum\" ] && [ \"\$(cd fits/study && md5sum study.csv study_sweep.csv)\" = \"\$tables_sum\" ]"
exit $failed
