#!/usr/bin/env bash
# The edges of a run, tried on the built program: a stop inside runs of millions of steps, a
# circular orbit refused, a largest power at an end of the sweep marked and warned about, and
# a run killed between two renames of its publication (recognisably incomplete, completed by
# the next run).
# Usage: program_edges.sh TIDAL PLOT_RESULTS
set -uo pipefail
set -m # background jobs get their own process group and keep SIGINT
tidal=$(realpath "$1")
plot=$(realpath "$2")
source "$(dirname "$0")/checks.sh"
cd "$scratch"
# Sends SIGTERM to a job and waits for it, at most 20 s (then SIGKILL: a test must not hang).
stop_job() { # pid
    kill -s TERM "$1"
    for _ in $(seq 1 200); do kill -0 "$1" 2> /dev/null || break; sleep 0.1; done
    kill -s KILL "$1" 2> /dev/null
    wait "$1"
}
short="--set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=15 --set sweep.steps_per_decade=4"

# --- A stop inside long runs ----------------------------------------------------------------
# Five million steps a period: one batch of runs takes hours.
"$tidal" --body 1 --set numerics.steps_per_period=5000000 --jobs 2 --output long > /dev/null 2> err.txt &
pid=$!
for _ in $(seq 1 400); do grep -qx "$pid" long/.tidal.lock 2> /dev/null && break; sleep 0.02; done
sleep 1
start=$(date +%s%N)
stop_job $pid; status=$?
took=$(( ($(date +%s%N) - start) / 1000000 ))
check "SIGTERM stops runs of millions of steps with status 143 within moments (took ${took} ms)" \
    "[ $status -eq 143 ] && [ $took -lt 3000 ] && grep -q '^interrupted by signal 15 after 0 of' err.txt"
check "... which were announced as taking hours, before they started" \
    "[ \$(wc -l < err.txt) -eq 2 ] && grep -q '^note: 241 viscosities x 2 rheologies x 50000000 time steps of 20 layers: about .* hours on 2 threads' err.txt"

# --- A stop inside a long steady sweep ----------------------------------------------------------
# 96 001 viscosities: some 6 s of periodic states, stopped after half a second. SIGTERM ends it between batches of lanes with
# status 143 and one line, nothing published. Fails if the sweep does not ask to stop (it runs
# on to the end, or past the 20 s of stop_job) or publishes a part of the sweep.
"$tidal" --body 1 --method steady --set sweep.steps_per_decade=8000 --output steady > /dev/null 2> err.txt &
pid=$!
for _ in $(seq 1 400); do grep -qx "$pid" steady/.tidal.lock 2> /dev/null && break; sleep 0.02; done
sleep 0.5
start=$(date +%s%N)
stop_job $pid; status=$?
took=$(( ($(date +%s%N) - start) / 1000000 ))
check "SIGTERM stops a steady sweep with status 143 within moments (took ${took} ms), one line, nothing published" \
    "[ $status -eq 143 ] && [ $took -lt 3000 ] && one_line err.txt && grep -q '^interrupted by signal 15 after [0-9]* of 96001 viscosities (nothing published' err.txt && [ ! -e steady/summary.csv ] && [ ! -e steady/body.toml ]"

# --- A circular orbit -------------------------------------------------------------------------
"$tidal" --body 1 --set orbit.eccentricity=0 --output circular > out.txt 2> err.txt; status=$?
check "eccentricity 0 is refused with status 2 and one line, nothing created" \
    "[ $status -eq 2 ] && one_line err.txt && grep -q 'orbit.eccentricity.*circular orbit' err.txt && [ ! -s out.txt ] && [ ! -e circular ]"

# --- A largest power at an end of the sweep ---------------------------------------------------
# Enceladus' Maxwell peak lies near 2e12 Pa s: a sweep from 1e14 sees only its falling flank.
"$tidal" --body 1 $short --method steady --output edge > out.txt 2> err.txt; status=$?
check "a sweep past the peak succeeds with one warning line suggesting a wider sweep" \
    "[ $status -eq 0 ] && [ \$(grep -c '^warning: ' err.txt) -eq 1 ] && grep -q '^warning: .*Maxwell.*lowest swept viscosity (1.0e14 Pa s).*lower sweep.log10_viscosity_min' err.txt && ! grep -q warning out.txt"
check "... and peaks.csv marks the maximum as at the start of the sweep" \
    "[ \"\$(col edge/peaks.csv position | head -1)\" = sweep_start ] && [ \"\$(col edge/peaks.csv rank | head -1)\" = 1 ]"

# --- A publication killed between two renames -------------------------------------------------
"$tidal" --body 1 $short --output killed > /dev/null 2>&1
before=$(cd killed && md5sum $files)
# The third rename of the next run's publication kills it.
strace -f -qq -o /dev/null -e trace=rename,renameat,renameat2 \
    -e inject=rename,renameat,renameat2:signal=KILL:when=3 \
    "$tidal" --body 1 $short --set numerics.periods=4 --output killed > /dev/null 2>&1; status=$?
check "a run killed between renames of its publication (status $status)" \
    "[ $status -eq 137 ] && [ -e killed/.tidal.publishing ] && [ \"\$(cd killed && md5sum $files)\" != \"\$before\" ]"
"$plot" killed figures > out.txt 2> err.txt; status=$?
check "... leaves a set that plot-results refuses as incomplete, in one line" \
    "[ $status -eq 1 ] && one_line err.txt && grep -q 'incomplete' err.txt && [ ! -e figures ]"
"$tidal" --body 1 $short --set numerics.periods=4 --output whole > /dev/null 2>&1
# The next run into the directory (a long one, stopped once it holds the directory).
"$tidal" --body 5 --set numerics.steps_per_period=5000000 --output killed > /dev/null 2>&1 &
pid=$!
for _ in $(seq 1 400); do grep -qx "$pid" killed/.tidal.lock 2> /dev/null && break; sleep 0.02; done
completed=$(cd killed && md5sum $files summary.csv peaks.csv)
stop_job $pid
check "... which the next run into the directory completes before anything else" \
    "[ \"\$completed\" = \"\$(cd whole && md5sum $files summary.csv peaks.csv)\" ] && [ ! -e killed/.tidal.publishing ]"
exit $failed
