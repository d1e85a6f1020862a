#!/usr/bin/env bash
# What the Love numbers, the heating profile and the maps cost: the sweep of one body (default
# choice 1) with this tree's program and with the program of a baseline revision (default: the
# last one before the Love numbers), side by side, both methods; then the same sweep with one
# --map. The legacy files must be the same bytes.
# Usage: bench/love_profile_maps.sh [choice] [baseline-revision]   RUNS=n (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
choice=${1:-1}
base=${2:-$(git log --format=%H --grep='^Love numbers h2, k2' -1)^}
source bench/lib.sh
build_both "$base"
echo "body $choice, 2 threads, median of $runs runs, baseline $(git rev-parse --short "$base")"
measure "baseline, time" "$baseline" --body "$choice" --jobs 2
measure "now, time" "$now" --body "$choice" --jobs 2
measure "now, time, one --map" "$now" --body "$choice" --jobs 2 --map 1e14
measure "baseline, steady" "$baseline" --body "$choice" --method steady
measure "now, steady" "$now" --body "$choice" --method steady
measure "now, steady, one --map" "$now" --body "$choice" --method steady --map 1e14
ratio "now, time" "baseline, time" "time sweep with Love numbers and profile / baseline" 1.05
ratio "now, time, one --map" "now, time" "time sweep with a map / without" 1.05
same=yes
for f in pcelketa pcelketakelvin ureta uretakelvin tneta tnetakelvin urtheta urthetakelvin time timekelvin; do
    cmp -s "$scratch/baseline, time/$f" "$scratch/now, time/$f" || same=no
done
echo "legacy files identical to the baseline's: $same"
[ "$same" = yes ]
