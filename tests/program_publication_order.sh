#!/usr/bin/env bash
# The order of a publication's system calls, observed under strace on the built program: every
# result file is made durable (fsync after its last write) before it is renamed to its name;
# the set is named in .tidal.publishing, which is written, made durable and followed by a sync
# of the directory before the first rename; after the last rename the directory is synced,
# then the marker removed, then the directory synced again. The same order holds when the next
# run completes a publication that was killed between two renames.
# Caught: ResultFile::close without its fsync; the directory's sync before the first rename
# left out; the marker removed before the renames were synced; the marker naming the set
# without the last file; the completion of an interrupted publication removing its marker
# before syncing the renames.
# Usage: program_publication_order.sh TIDAL
set -uo pipefail
tidal=$(realpath "$1")
source "$(dirname "$0")/checks.sh"
cd "$scratch"
command -v strace > /dev/null || { echo "strace is not installed"; exit 1; }
calls=openat,close,write,pwrite64,ftruncate,fsync,fdatasync,rename,renameat,renameat2,unlink,unlinkat
short="--set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=15 --set sweep.steps_per_decade=4"

# The order of the calls of one traced run in directory DIR (strace -f -y output, one call a
# line, with the paths of file descriptors): prints what is out of order, exits 1 if anything is.
in_order() { # trace file, directory, what the run does (publish MARKER_COPY, or complete)
    /usr/bin/python3 - "$@" << 'PY'
import os, re, sys
log, directory, mode = sys.argv[1], os.path.realpath(sys.argv[2]), sys.argv[3]
call = re.compile(r'^\d+\s+(\w+)\((.*)')
events = []
for line in open(log, errors="replace"):
    m = call.match(line)
    if not m or "resumed>" in line:
        continue
    name, args = m.groups()
    if name in ("rename", "renameat", "renameat2"):
        paths = re.findall(r'"([^"]*)"', args)
        events.append(("rename", os.path.basename(paths[0]), os.path.basename(paths[1])))
    elif name in ("unlink", "unlinkat"):
        events.append(("unlink", os.path.basename(re.findall(r'"([^"]*)"', args)[0])))
    elif name in ("write", "pwrite64", "ftruncate", "fsync", "fdatasync"):
        fd = re.match(r'\d+<([^>]*)>', args)
        if fd:
            path = fd.group(1)
            kind = "sync" if name in ("fsync", "fdatasync") else "write"
            if path == directory:
                events.append(("dirsync" if kind == "sync" else "dirwrite", ""))
            elif os.path.dirname(path) == directory:
                events.append((kind, os.path.basename(path)))
bad = []
renames = [i for i, e in enumerate(events) if e[0] == "rename"]
if not renames:
    print("out of order: no rename seen")
    sys.exit(1)
first, last = renames[0], renames[-1]
names = [events[i][2] for i in renames]
def before(i, event):  # the indices of `event` before index i
    return [j for j in range(i) if events[j] == event]
for i in renames:
    _, src, dst = events[i]
    if src != dst + ".partial":
        bad.append(f"rename {src} -> {dst}")
    if mode == "publish":
        writes, syncs = before(i, ("write", src)), before(i, ("sync", src))
        if not writes or not syncs or syncs[-1] < writes[-1]:
            bad.append(f"{dst}: not made durable after its last write before its rename")
marker = ".tidal.publishing"
if mode == "publish":
    written, synced = before(first, ("write", marker)), before(first, ("sync", marker))
    if not written or not synced or synced[-1] < written[-1]:
        bad.append("the marker is not written and made durable before the first rename")
    elif ("dirsync", "") not in events[synced[-1]:first]:
        bad.append("no sync of the directory between the marker's and the first rename")
    listed = open(sys.argv[4]).read().split("\n")[:-1]
    if listed != names:
        bad.append(f"the marker names {listed}, the renames are {names}")
removed = [j for j in range(last, len(events)) if events[j] == ("unlink", marker)]
if len(removed) != 1:
    bad.append(f"the marker is removed {len(removed)} times after the last rename")
else:
    if ("dirsync", "") not in events[last:removed[0]]:
        bad.append("no sync of the directory between the last rename and the marker's removal")
    if ("dirsync", "") not in events[removed[0]:]:
        bad.append("no sync of the directory after the marker's removal")
for b in bad:
    print("out of order:", b)
print(f"{len(names)} renames: {' '.join(names)}")
sys.exit(1 if bad else 0)
PY
}

# --- A publication --------------------------------------------------------------------------
# The marker's text is read from the same run into another directory, killed at its first
# rename (the marker stands then, whole).
strace -f -qq -y -o run.trace -e trace=$calls \
    "$tidal" --body 1 $short --map 1e14 --output run > /dev/null 2> err.txt; status=$?
check "a traced run succeeds" "[ $status -eq 0 ] && only_warnings err.txt"
strace -f -qq -o /dev/null -e trace=rename \
    -e inject=rename:signal=KILL:when=1 \
    "$tidal" --body 1 $short --map 1e14 --output marked > /dev/null 2>&1
check "... its marker, seen by a run killed at its first rename, names the set" \
    "[ -s marked/.tidal.publishing ]"
in_order run.trace run publish marked/.tidal.publishing > order.txt; status=$?
cat order.txt
check "... every file durable before its rename; the marker written, durable and the directory synced before the first; the directory synced before and after the marker's removal" \
    "[ $status -eq 0 ] && grep -q 'renames: body.toml pcelketa .* map-1e+14.csv' order.txt"

# --- The completion of an interrupted publication ------------------------------------------
# Killed at its third rename, the set is completed by the next run before anything else.
"$tidal" --body 1 $short --output killed > /dev/null 2>&1
strace -f -qq -o /dev/null -e trace=rename -e inject=rename:signal=KILL:when=3 \
    "$tidal" --body 1 $short --set numerics.periods=4 --output killed > /dev/null 2>&1; status=$?
check "a run killed at its third rename leaves the marker" "[ $status -eq 137 ] && [ -e killed/.tidal.publishing ]"
strace -f -qq -y -o complete.trace -e trace=$calls \
    "$tidal" --body 1 $short --method steady --output killed > /dev/null 2>&1
# Only the calls before the steady run's own first write into the directory: its completion.
awk '/\.partial>/ && /(write|pwrite64|ftruncate)\(/ && !/\.tidal\.lock/ { exit } { print }' complete.trace > completion.trace
in_order completion.trace killed complete > order.txt; status=$?
cat order.txt
check "... whose completion renames the rest, syncs the directory, removes the marker and syncs again" \
    "[ $status -eq 0 ] && [ ! -e killed/.tidal.publishing ] && grep -q '^16 renames: body.toml ' order.txt"
exit $failed
