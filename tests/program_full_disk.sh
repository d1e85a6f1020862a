#!/usr/bin/env bash
# A full disk under the output directory (a 48 KiB tmpfs): the run ends with status 1 and one
# line naming the file and the reason, no file holds a torn line, and the earlier results are
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
trap 'umount "$scratch/small"; rm -rf "$scratch"' EXIT
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
exit $failed
