#!/usr/bin/env bash
# The periodic steady state, whole program, side by side in one run: `--method steady` for body
# 1 (241 viscosities, Maxwell and Kelvin-Voigt) on one thread, against its target of 0.1 s; and the time
# sweep of body 1, which now computes the steady columns beside every run, against the program
# of BASELINE (a git revision, default the last one without them), whose cost it may exceed by
# at most 5 %.
# Usage: bench/steady.sh [JOBS]      BASELINE=rev RUNS=n
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
jobs=${1:-$(nproc)}
build_both "${BASELINE:-e5d534b}"
RUNS=${RUNS:-5} runs=${RUNS:-5}
measure "steady method, body 1, 1 thread" "$now" --body 1 --method steady --jobs 1
awk -v t="${median[steady method, body 1, 1 thread]}" \
    'BEGIN { printf "%-44s %.3f s (limit 0.1) %s\n", "steady method, whole program:", t, (t <= 0.1 ? "ok" : "OVER") }'
runs=${RUNS_TIME:-3}
measure "time sweep without steady columns" "$baseline" --body 1 --jobs "$jobs"
measure "time sweep with steady columns" "$now" --body 1 --jobs "$jobs"
ratio "time sweep with steady columns" "time sweep without steady columns" "steady columns in a time sweep:" 1.05
