#!/usr/bin/env bash
# Study timing on this machine: a 24-point study (4 shell thicknesses x 6 eccentricities,
# 11 viscosities each: two batches of lanes per point) run four ways, side by side:
#   loop      the hand-written baseline: one --body-file run per point, each on every core
#   threads   tidal --study on one process with every core (--jobs N)
#   ranks     mpirun -np N tidal --study with one thread each (needs build-mpi, see docs/studies.md)
#   rank1     mpirun -np 1 with every core (the MPI build on one process)
# Prints the fastest wall time of RUNS rounds (default 3), its CPU time (user + system of every
# process) and their ratio (the cores kept busy), and checks that the three study runs write
# identical directories. Every timed run (of both studies) starts after a sync and a pause of
# SETTLE seconds (default 3).
# Then a steady study of 1000 Enceladus points (20 shell thicknesses x 50 eccentricities, 241
# viscosities, Maxwell, Kelvin-Voigt and Andrade), each round run by a baseline build (s-base:
# BASELINE_PROGRAM=path, else revision BASE, default main, built in a scratch worktree) and by
# this one (s-thread), one after the other so that both see the same load; the load average is
# printed beside every run, the fastest of STEADY_RUNS rounds (default 1) kept (the two taking
# turns to go first), and the two
# study directories compared file by file. With LOOP=1 also a shell loop of one --method steady
# run per point (s-loop; a steady sweep runs on one core) and, with MPI, mpirun -np N (s-ranks).
# JOURNAL=1 keeps the steady study's points in a journal (point_directories = false) instead of
# a directory each. CALLGRIND=1 (with valgrind) also counts the instructions of both programs
# on 20 of those points (4 thicknesses x 5 eccentricities) and on 100 (2 thicknesses x all 50
# eccentricities, whole runs of a shell), each in a journal on one thread: the figures to
# compare on a shared machine, whatever else it runs.
# Usage: bench/study.sh            (builds build/ and, if MPI is installed, build-mpi/)
#        PART=time or PART=steady  for one of the two studies only
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
source bench/same_outputs.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target tidal > /dev/null
tidal=$PWD/build/tidal
mpi=""
# The MPI build only where a way runs it (not for PART=steady without LOOP=1).
if command -v mpirun > /dev/null && command -v mpicxx > /dev/null &&
    { [ "${PART:-both}" != steady ] || [ "${LOOP:-0}" = 1 ]; }; then
    cmake -S . -B build-mpi -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DTIDAL_MPI=ON > /dev/null
    cmake --build build-mpi -j "$(nproc)" --target tidal > /dev/null
    mpi=$PWD/build-mpi/tidal
fi
cores=$(nproc)
scratch=$(mktemp -d)
trap 'git -C "$repo" worktree remove --force "$scratch/base-src" > /dev/null 2>&1 || true; rm -rf "$scratch"' EXIT
cd "$scratch"
cat > study.toml <<'TOML'
base = 3
[sweep]
log10_viscosity_min = 13.0
log10_viscosity_max = 15.0
steps_per_decade = 5
[numerics]
layers = 20
periods = 4
steps_per_period = 2000
[axes]
"shell.thickness" = [10e3, 20e3, 30e3, 40e3]
"orbit.eccentricity" = [0.002, 0.005, 0.009, 0.012, 0.015, 0.02]
TOML
echo "machine: $cores cores, load average $(cut -d' ' -f1-3 /proc/loadavg) before the runs"
# label, then the command; /usr/bin/time counts the CPU time of every process it waits for.
# Each way keeps its fastest of the rounds (the machine may be shared).
declare -A best
measure() {
    local label=$1; shift
    rm -rf "$label"
    # The files of the runs before reach the disk first, and the blocks of the directory just
    # removed are given back (this disk discards them after the journal commits), so that no
    # run is timed while the system writes back or discards another's hundreds of megabytes:
    # without the pause, the second run of a round took 7 % more for the same program.
    sync
    sleep "${SETTLE:-3}"
    /usr/bin/time -f "%e %U %S" -o time.txt "$@" > /dev/null 2> "$label.err" || {
        echo "$label failed:"; cat "$label.err"; exit 1; }
    read -r wall user sys < time.txt
    local line
    line=$(awk -v l="$label" -v w="$wall" -v u="$user" -v s="$sys" \
        'BEGIN { printf "%-8s %8.2f %8.2f %10.2f\n", l, w, u + s, (u + s) / w }')
    [ -n "${SHOW_LOAD:-}" ] && printf '  %-8s %8.2f s wall %8.2f s cpu   load average %s\n' "$label" "$wall" \
        "$(awk -v u="$user" -v s="$sys" 'BEGIN { print u + s }')" "$(cut -d' ' -f1-3 /proc/loadavg)"
    if [ -z "${best[$label]:-}" ] || awk -v a="$wall" -v b="$(echo "${best[$label]}" | awk '{print $2}')" 'BEGIN { exit !(a < b) }'; then
        best[$label]=$line
    fi
}

# The baseline: each point's body written out, then one run per point.
[ "${PART:-both}" != steady ] && "$tidal" --study study.toml --output bodies --jobs "$cores" 2> /dev/null
cat > loop.sh <<SH
for b in bodies/point-*/body.toml; do
    "$tidal" --body-file "\$b" --output "loop/\$(basename "\$(dirname "\$b")")" --jobs $cores > /dev/null
done
SH
part=${PART:-both}
run=(mpirun --oversubscribe --bind-to none)
[ "$(id -u)" -eq 0 ] && run+=(--allow-run-as-root)
runs=${RUNS:-3}
[ "$part" = steady ] && runs=0
ways=(loop threads)
for round in $(seq 1 "$runs"); do
    measure loop bash loop.sh
    measure threads "$tidal" --study study.toml --output threads --jobs "$cores"
    if [ -n "$mpi" ]; then
        # Open MPI binds each process to one core unless told otherwise: its threads would share it.
        measure ranks "${run[@]}" -np "$cores" "$mpi" --study study.toml --output ranks --jobs 1
        measure rank1 "${run[@]}" -np 1 "$mpi" --study study.toml --output rank1 --jobs "$cores"
        ways=(loop threads ranks rank1)
    fi
done
if [ "$runs" -gt 0 ]; then
    echo "time study, fastest of $runs rounds:"
    printf '%-8s %8s %8s %10s\n' way wall_s cpu_s cpu/wall
    for w in "${ways[@]}"; do echo "${best[$w]}"; done
    if [ -n "$mpi" ]; then
        tail -n 1 ranks.err
        diff -r threads ranks > /dev/null && diff -r threads rank1 > /dev/null &&
            echo "identical: threads, ranks and rank1 wrote the same bytes"
    fi
    diff -r loop/point-00001 threads/point-00001 > /dev/null && echo "identical: a point and its single run"
fi
[ "$part" = time ] && exit 0

# The steady study: 1000 points of body 1 with three rheologies. Its study.nc is compared by
# its values: a baseline built before study.nc was written a chunk of points at a time stores
# the same values in chunks of another shape.
export SAME_NETCDF_ANY_CHUNKS=1
{
    echo 'base = 1'
    echo 'method = "steady"'
    echo '[rheology]'
    echo 'models = ["maxwell", "kelvin_voigt", "andrade"]'
    echo '[axes]'
    awk 'BEGIN { printf "\"shell.thickness\" = ["; for (i = 0; i < 20; i++) printf "%s%.1f", (i ? ", " : ""), 10000 + 1000 * i; print "]" }'
    awk 'BEGIN { printf "\"orbit.eccentricity\" = ["; for (i = 0; i < 50; i++) printf "%s%.4f", (i ? ", " : ""), 0.001 + 0.0002 * i; print "]" }'
} > steady.toml
# A journal instead of point directories: the key goes before the first table.
[ "${JOURNAL:-0}" = 1 ] && sed -i '2a point_directories = false' steady.toml
{
    echo 'base = 1'
    echo 'method = "steady"'
    echo 'point_directories = false'
    echo '[rheology]'
    echo 'models = ["maxwell", "kelvin_voigt", "andrade"]'
    echo '[axes]'
    echo '"shell.thickness" = [10000.0, 11000.0, 12000.0, 13000.0]'
    echo '"orbit.eccentricity" = [0.001, 0.0012, 0.0014, 0.0016, 0.0018]'
} > steady20.toml
# 100 of the 1000 points (2 shells x all 50 eccentricities): whole runs of one shell, which a
# study cuts into units of points solved together.
sed -e 's/^"shell.thickness" = .*/"shell.thickness" = [10000.0, 11000.0]/' steady.toml > steady100.toml
grep -q '^point_directories' steady100.toml || sed -i '2a point_directories = false' steady100.toml
# The baseline program: another build's, or revision BASE (default main) built here.
if [ -n "${BASELINE_PROGRAM:-}" ]; then
    base_tidal=$(realpath "$BASELINE_PROGRAM")
else
    git -C "$repo" worktree add --detach "$scratch/base-src" "${BASE:-main}" > /dev/null 2>&1
    cmake -S "$scratch/base-src" -B "$scratch/base-build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
    cmake --build "$scratch/base-build" -j "$(nproc)" --target tidal > /dev/null
    base_tidal=$scratch/base-build/tidal
fi
loop=${LOOP:-0}
if [ "$loop" = 1 ]; then
    rm -rf bodies
    "$tidal" --study steady.toml --output bodies --jobs "$cores" 2> /dev/null
    cat > steady-loop.sh <<SH
for b in bodies/point-*/body.toml; do
    "$tidal" --body-file "\$b" --method steady --output "s-loop/\$(basename "\$(dirname "\$b")")" > /dev/null
done
SH
fi
best=()
ways=(s-base s-thread)
SHOW_LOAD=1
echo "steady study: each run with the load average after it"
for round in $(seq 1 "${STEADY_RUNS:-1}"); do
    # The two programs take turns going first.
    if [ $((round % 2)) = 1 ]; then
        measure s-base "$base_tidal" --study steady.toml --output s-base --jobs "$cores"
        measure s-thread "$tidal" --study steady.toml --output s-thread --jobs "$cores"
    else
        measure s-thread "$tidal" --study steady.toml --output s-thread --jobs "$cores"
        measure s-base "$base_tidal" --study steady.toml --output s-base --jobs "$cores"
    fi
    if [ "$loop" = 1 ]; then
        measure s-loop bash steady-loop.sh
        ways+=(s-loop)
        if [ -n "$mpi" ]; then
            measure s-ranks "${run[@]}" -np "$cores" "$mpi" --study steady.toml --output s-ranks --jobs 1
            ways+=(s-ranks)
        fi
    fi
done
echo "steady study of 1000 points, 241 viscosities, 3 rheologies, fastest of ${STEADY_RUNS:-1} rounds:"
printf '%-8s %8s %8s %10s\n' way wall_s cpu_s cpu/wall
for w in $(printf '%s\n' "${ways[@]}" | awk '!seen[$0]++'); do echo "${best[$w]}"; done
echo "study_sweep.csv: $(du -h s-thread/study_sweep.csv | cut -f1), the whole output $(du -sh s-thread | cut -f1)"
if [ "${CALLGRIND:-0}" = 1 ] && command -v valgrind > /dev/null; then
    counted() { # output directory, program, study file
        valgrind --tool=callgrind --callgrind-out-file=/dev/null "$2" --study "$3" \
            --output "$1" --jobs 1 2>&1 > /dev/null | awk '/Collected/ { print $NF }'
    }
    for n in 20 100; do
        a=$(counted c-base-$n "$base_tidal" steady$n.toml) b=$(counted c-thread-$n "$tidal" steady$n.toml)
        awk -v n="$n" -v a="$a" -v b="$b" 'BEGIN { printf "instructions, %d points in a journal, one thread: baseline %.0f, this build %.0f, ratio %.3f\n", n, a, b, b / a }'
        same_outputs c-base-$n c-thread-$n && echo "identical: the two $n-point journal studies (study.nc by its values)"
    done
fi
if same_outputs s-base s-thread; then
    echo "identical: the baseline's and this build's study directories, file by file (study.nc by its values)"
else
    echo "DIFFERENT: the baseline's and this build's study directories"; exit 1
fi
if [ "$loop" = 1 ]; then
    [ -n "$mpi" ] && diff -r s-thread s-ranks > /dev/null && echo "identical: threads and ranks wrote the same bytes"
    diff -r s-loop/point-00777 s-thread/point-00777 > /dev/null && echo "identical: a point and its single run"
fi
