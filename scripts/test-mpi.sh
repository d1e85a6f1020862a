#!/usr/bin/env bash
# Builds the program with MPI beside the one without in build/ (from scripts/test.sh; mpi/tidal
# shares its libraries and main(), only the launch of a study is compiled) and checks that a
# short study under mpirun with 1, 2 and 3 processes writes the bytes of the study run by the
# program without MPI (build/tidal, from scripts/test.sh) on one thread and on two, a steady
# study likewise with 2 and 3; a single
# body under mpirun is refused in one line. Runs as root in CI, hence --allow-run-as-root.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/tidal ] || { echo "$(basename "$0"): no build/tidal; run scripts/test.sh first" >&2; exit 2; }
cmake -S . -B build -DTIDAL_MPI_BESIDE=ON > /dev/null
cmake --build build -j "$(nproc)" --target tidal tidal_mpi
plain=$(realpath build/tidal)
mpi=$(realpath build/mpi/tidal)
study=$(realpath tests/data/study_small.toml)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$out"
# Units long enough that every process gets some.
sed 's/^periods = 2/periods = 4/; s/^steps_per_period = 100/steps_per_period = 2000/' "$study" > study.toml
study=$out/study.toml
mpirun=(mpirun --allow-run-as-root --oversubscribe)
failed=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi; }

"$plain" --study "$study" --output threads1 --jobs 1 --series 1e14 2> /dev/null
"$plain" --study "$study" --output threads2 --jobs 2 --series 1e14 2> /dev/null
check "one and two threads agree" "diff -r threads1 threads2 > /dev/null"
for np in 1 2 3; do
    status=0
    "${mpirun[@]}" -np $np "$mpi" --study "$study" --output ranks$np --jobs 1 --series 1e14 2> err$np.txt || status=$?
    echo "  -np $np: $(tail -n 1 err$np.txt)"
    check "mpirun -np $np gives the bytes of one process" "[ $status -eq 0 ] && diff -r threads1 ranks$np > /dev/null"
done
check "... with work units on every process" "grep -Eq 'per process: [1-9][0-9]* [1-9][0-9]* [1-9][0-9]*$' err3.txt"

# A steady study: a point per unit, the same bytes from every number of processes.
"$plain" --study "$study" --method steady --output steady-threads --jobs 2 2> /dev/null
for np in 2 3; do
    status=0
    "${mpirun[@]}" -np $np "$mpi" --study "$study" --method steady --output steady-ranks$np --jobs 1 2> err$np.txt || status=$?
    echo "  steady, -np $np: $(tail -n 1 err$np.txt)"
    check "a steady study under mpirun -np $np gives the bytes of one process" "[ $status -eq 0 ] && diff -r steady-threads steady-ranks$np > /dev/null"
done

# Killed mid-run: the writing process (rank 0) gets SIGKILL once point 3 is published, which
# ends the whole job; the same mpirun command resumes it to the bytes of an uninterrupted
# study, with points kept in directories or in the journal. Points 1-3 are quick, 4-6 slow.
sed '/^\[axes\]/,$d' "$study" > slow.toml
printf '[axes]\n"numerics.steps_per_period" = [100, 40000]\n"orbit.eccentricity" = [0.005, 0.009, 0.02]\n' >> slow.toml
sed '1i point_directories = false' slow.toml > slow-journal.toml
"$plain" --study slow.toml --output slow-whole --jobs 2 2> /dev/null
# The pid of rank 0 of this program: its environment says its rank.
rank0() {
    local p
    for p in $(pgrep -f -x "$mpi --study .*" || true); do
        grep -qx 'OMPI_COMM_WORLD_RANK=0' <<< "$(tr '\0' '\n' < /proc/$p/environ 2> /dev/null)" && { echo $p; return; }
    done
}
for kept in dirs journal; do
    file=slow.toml; [ $kept = journal ] && file=slow-journal.toml
    "${mpirun[@]}" -np 3 "$mpi" --study $file --output killed-$kept --jobs 1 > /dev/null 2>&1 &
    job=$!
    published() {
        if [ $kept = journal ]; then grep -q -a '^end point-00003$' killed-$kept/study.journal 2> /dev/null
        else [ -d killed-$kept/point-00003 ]; fi
    }
    while ! published && kill -0 $job 2> /dev/null; do sleep 0.02; done
    pid=$(rank0)
    [ -n "$pid" ] && kill -KILL "$pid"
    status=0; wait $job || status=$?
    "${mpirun[@]}" -np 3 "$mpi" --study $file --output killed-$kept --jobs 1 2> resumed.txt; status2=$?
    echo "  killed ($kept): status $status, then $(tail -n 1 resumed.txt)"
    if [ $kept = journal ]; then
        same="cmp -s slow-whole/study.csv killed-$kept/study.csv && cmp -s slow-whole/study_sweep.csv killed-$kept/study_sweep.csv && cmp -s slow-whole/study.nc killed-$kept/study.nc"
    else
        same="diff -r slow-whole killed-$kept > /dev/null"
    fi
    check "a study under mpirun whose writer is killed resumes to the same bytes ($kept)" \
        "[ -n \"$pid\" ] && [ $status -ne 0 ] && [ $status2 -eq 0 ] && grep -q 'published before' resumed.txt && ! grep -q ' 0 published before' resumed.txt && $same && [ -z \"\$(find killed-$kept -name '*.partial')\" ]"
done

status=0
"${mpirun[@]}" -np 2 "$mpi" --body 3 --output single > /dev/null 2> err.txt || status=$?
check "a single body under mpirun is refused in one line" "[ $status -ne 0 ] && grep -c '^error: a single body is not run under mpirun' err.txt | grep -qx 1 && [ ! -e single ]"
exit $failed
