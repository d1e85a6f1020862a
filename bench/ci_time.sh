#!/usr/bin/env bash
# The time of CI (.ci/run) on clean clones, phase by phase: for each revision given (default
# main, then HEAD), one after the other so that both see much the same load, a clone of it in
# a scratch directory runs .ci/run with a fresh, empty ccache (cold) and, with WARM=1, a second
# clone of it then runs it again with that cache (warm). Every cmake and ctest it starts (the
# configures, the builds, the suite, pip's build inside the suite) and the script run at nice
# 19 are timed through stand-ins first on PATH, with the wall time and the processor time
# (user + system of every process waited for): on a machine shared with other work the
# processor time is the figure to compare, the wall time depends on the load (printed).
# Usage: bench/ci_time.sh [REV...]      (as root, as CI runs; the logs stay in the printed dir)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
[ $# -gt 0 ] || set -- main HEAD
work=$(mktemp -d /tmp/ci-time.XXXXXX)
echo "logs in $work"
mkdir "$work/bin"
for tool in cmake ctest nice; do
    real=$(command -v $tool)
    printf '#!/bin/sh\nexec /usr/bin/time -a -o "$CI_TIME_LOG" -f "%%e %%U %%S %s $*" %s "$@"\n' \
        "$tool" "$real" > "$work/bin/$tool"
    chmod +x "$work/bin/$tool"
done
run() { # revision, label, ccache directory
    local clone=$work/$2 log=$work/$2.times status=0
    git clone -q "$repo" "$clone"
    git -C "$clone" checkout -q "$1"
    : > "$log"
    CI_TIME_LOG=$log CCACHE_DIR=$3 PATH="$work/bin:$PATH" /usr/bin/time -a -o "$log" \
        -f "%e %U %S total .ci/run" "$clone/.ci/run" > "$work/$2.out" 2>&1 < /dev/null || status=$?
    echo "== $2 ($(git -C "$clone" log --oneline -1 | cut -c1-60)): status $status, load $(cut -d' ' -f1-3 /proc/loadavg)"
    # wall, processor time (user + system), what ran
    awk '{ printf "%8.1f %8.1f  ", $1, $2 + $3; $1 = $2 = $3 = ""; print substr($0, 4, 110) }' "$log"
    rm -rf "$clone"
}
for rev in "$@"; do
    label=$(echo "$rev" | tr -c 'A-Za-z0-9\n' _)
    mkdir "$work/ccache-$label"
    run "$rev" "$label-cold" "$work/ccache-$label"
    [ "${WARM:-0}" != 1 ] || run "$rev" "$label-warm" "$work/ccache-$label"
done
