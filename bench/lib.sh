# Shared by the whole-program benchmarks (sourced): a scratch directory, a baseline build from
# a git revision, timing of repeated runs and ratios against a limit.
scratch=$(mktemp -d)
source "$(dirname "${BASH_SOURCE[0]}")/same_outputs.sh"
trap 'git worktree remove --force "$scratch/src" > /dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
runs=${RUNS:-3}
declare -A median median_cpu all_times all_cpus all_peaks

# Builds this tree's program into build/ and the program of revision $1 into $scratch/build;
# sets `now` and `baseline` to the two programs. BASELINE_PROGRAM=path takes that program as
# the baseline instead of building one (several benchmarks against the same revision).
build_both() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build build -j "$(nproc)" --target tidal > /dev/null
    now=$PWD/build/tidal
    if [ -n "${BASELINE_PROGRAM:-}" ]; then
        baseline=$(realpath "$BASELINE_PROGRAM")
        return
    fi
    git worktree add --detach "$scratch/src" "$1" > /dev/null 2>&1
    cmake -S "$scratch/src" -B "$scratch/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
    cmake --build "$scratch/build" -j "$(nproc)" --target tidal > /dev/null
    now=$PWD/build/tidal
    baseline=$scratch/build/tidal
}

# measure LABEL PROGRAM OPTIONS...: the median wall time of $runs runs, the median CPU time
# (user + system; on a machine shared with other work the one to compare) and the peak memory. The
# last run's files stay in "$scratch/LABEL", its console lines in "$scratch/LABEL.console".
# Called again with the same label, it adds its runs to the earlier ones: alternating calls
# with runs=1 time two programs side by side while a shared machine's load changes.
measure() {
    local label=$1 program=$2; shift 2
    local times=(${all_times[$label]:-}) cpus=(${all_cpus[$label]:-}) peak=${all_peaks[$label]:-0}
    local t m u s
    for _ in $(seq 1 "$runs"); do
        rm -rf "${scratch:?}/$label"
        /usr/bin/time -f "%e %M %U %S" -o "$scratch/time.txt" "$program" --output "$scratch/$label" "$@" \
            > "$scratch/$label.console"
        read -r t m u s < "$scratch/time.txt"
        times+=("$t")
        cpus+=("$(awk -v u="$u" -v s="$s" 'BEGIN { print u + s }')")
        [ "$m" -gt "$peak" ] && peak=$m
    done
    all_times[$label]="${times[*]}"
    all_cpus[$label]="${cpus[*]}"
    all_peaks[$label]=$peak
    median[$label]=$(printf '%s\n' "${times[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    median_cpu[$label]=$(printf '%s\n' "${cpus[@]}" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
    printf '%-40s %7.3f s  cpu %7.3f s   peak %6.1f MB   (runs: %s)\n' "$label" "${median[$label]}" \
        "${median_cpu[$label]}" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "${times[*]}"
}

# ratio_cpu A B TEXT LIMIT: prints median_cpu[A] / median_cpu[B] against the limit.
ratio_cpu() {
    awk -v a="${median_cpu[$1]}" -v b="${median_cpu[$2]}" -v l="$3" -v lim="$4" \
        'BEGIN { r = a / b; printf "%-44s %.3f (limit %s) %s\n", l, r, lim, (r <= lim ? "ok" : "OVER") }'
}

# ratio A B TEXT LIMIT: prints median[A] / median[B] against the limit.
ratio() {
    awk -v a="${median[$1]}" -v b="${median[$2]}" -v l="$3" -v lim="$4" \
        'BEGIN { r = a / b; printf "%-44s %.3f (limit %s) %s\n", l, r, lim, (r <= lim ? "ok" : "OVER") }'
}

# instructions PROGRAM OPTIONS...: the instructions callgrind counts for one run (repeatable
# whatever else the machine does), or nothing where valgrind is not installed.
instructions() {
    command -v valgrind > /dev/null || return 0
    local program=$1; shift
    rm -rf "${scratch:?}/cg"
    valgrind --tool=callgrind --callgrind-out-file="$scratch/cg.out" "$program" "$@" \
        --output "$scratch/cg" 2>&1 > /dev/null | awk '/Collected/ { print $NF }'
}

# instruction_ratio A B TEXT LIMIT: the ratio of two instruction counts against the limit.
instruction_ratio() {
    [ -n "$1" ] && [ -n "$2" ] || return 0
    awk -v a="$1" -v b="$2" -v l="$3" -v lim="$4" 'BEGIN { r = a / b;
        printf "%-44s %.3f (%.0f / %.0f instructions; limit %s) %s\n", l, r, a, b, lim, (r <= lim ? "ok" : "OVER") }'
}

