#!/usr/bin/env bash
# The documents' table of rheologies and their keys (docs/body-files.md) is the one the
# program prints: a rheology or a parameter added to the program and not to the table (or the
# other way) fails here.
# Usage: readme_rheologies.sh TIDAL DOCUMENT
tidal=$1 readme=$2
source "$(dirname "$0")/checks.sh"
sed -n '/^<!-- rheology keys: the output of tidal --rheologies -->$/,/^<!-- end of rheology keys -->$/p' \
    "$readme" | sed '1d;$d' > "$scratch/readme.md"
"$tidal" --rheologies > "$scratch/program.md"; status=$?
check "tidal --rheologies succeeds" "[ $status -eq 0 ] && [ -s '$scratch/program.md' ]"
check "the documents' table is the program's" "diff '$scratch/readme.md' '$scratch/program.md'"
exit $failed
