#!/usr/bin/env bash
# A steady study whose table study_sweep.csv cannot be made durable (its fsync fails with EIO,
# by a preloaded fsync, shims/failing_sync.cpp) while study.nc is being built beside it, or
# whose study.nc cannot while the tables are: one
# line naming the file and the reason, status 1, no study.nc.partial left behind and nothing
# published, the journal kept; the same command then completes the study, computing nothing
# again. Caught: the tables closed after the block whose failure stops the study.nc thread and
# removes its file (study.nc.partial left behind).
# Usage: program_failing_sync.sh TIDAL SHIM
set -uo pipefail
tidal=$(realpath "$1")
shim=$(realpath "$2")
source "$(dirname "$0")/checks.sh"
cd "$scratch"
cat > study.toml <<'TOML'
base = 1
method = "steady"
point_directories = false
[sweep]
log10_viscosity_min = 12.0
log10_viscosity_max = 16.0
steps_per_decade = 4
[rheology]
models = ["maxwell"]
[axes]
"orbit.eccentricity" = [0.002, 0.004, 0.006]
TOML
# The file whose sync fails: the sweep table (while study.nc is written beside it), or
# study.nc itself (while the tables are made durable).
for file in study_sweep.csv study.nc; do
    rm -rf study
    LD_PRELOAD=$shim TIDAL_FAIL_SYNC=$file.partial \
        "$tidal" --study study.toml --output study > /dev/null 2> err.txt; status=$?
    check "$file whose sync fails: status 1, one line naming it and the reason" \
        "[ $status -eq 1 ] && one_line err.txt && grep -q \"$file\\.partial'.*Input/output error\" err.txt"
    check "... no study.nc.partial left behind, nothing published" \
        "[ ! -e study/study.nc.partial ] && [ -z \"\$(ls study | grep -E '^study(_sweep)?\\.(csv|nc)\$')\" ]"
    check "... the journal kept" "[ -s study/study.journal ]"
    "$tidal" --study study.toml --output study > /dev/null 2> err.txt; status=$?
    check "... and the same command then completes it, computing nothing again" \
        "[ $status -eq 0 ] && grep -q '0 computed now, 3 published before' err.txt && [ -s study/study.nc ] && [ -s study/study_sweep.csv ] && [ -s study/study.csv ]"
done
exit $failed
