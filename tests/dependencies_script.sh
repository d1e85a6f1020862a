#!/usr/bin/env bash
# scripts/dependencies.sh on a machine that lacks a build dependency (cmake hidden from PATH),
# with id, sudo and apt-get replaced by stand-ins that record what they are asked: as a user
# without sudo the one apt-get command is printed (status 1, nothing installed); as root, or
# with sudo that asks no password, apt-get installs just what is missing; with nothing missing
# nothing is run. run.sh stops with that command before building; with everything there it
# leaves its console file readable like the result files.
# Usage: dependencies_script.sh SOURCE_DIR
set -uo pipefail
src=$(realpath "$1")
source "$(dirname "$0")/checks.sh"
cd "$scratch"
mkdir bin
# Every command the scripts use but cmake, and the stand-ins.
for c in bash sh cat echo grep sed basename dirname id dpkg dpkg-query g++ make pkg-config gnuplot ncdump strace mktemp rm realpath; do
    p=$(command -v $c) && ln -s "$p" bin/$c
done
[ -e /usr/bin/python3 ] || { echo "no /usr/bin/python3: skipped"; exit 77; }
rm -f bin/id
printf '#!/bin/sh\necho "${FAKE_UID:-1000}"\n' > bin/id
printf '#!/bin/sh\necho "apt-get $*" >> "%s/apt.log"\n' "$scratch" > bin/apt-get
chmod +x bin/id bin/apt-get
try() { # set, with sudo (0/1): status and what apt-get was asked, in apt.log and out.txt/err.txt
    rm -f apt.log bin/sudo
    if [ "$2" = 1 ]; then printf '#!/bin/sh\n[ "$1" = -n ] && shift\n"$@"\n' > bin/sudo; chmod +x bin/sudo; fi
    PATH="$scratch/bin" bash -c "source '$src/scripts/dependencies.sh'; tidal_install_missing $1" > out.txt 2> err.txt
}
try run 0; status=$?
check "a user without sudo is told the one command, status 1, nothing installed" \
    "[ $status -eq 1 ] && one_line err.txt && grep -q 'sudo apt-get install cmake\$' err.txt && [ ! -e apt.log ]"
FAKE_UID=0 try run 0; status=$?
check "root gets the missing package installed, and nothing else" \
    "[ $status -eq 0 ] && grep -q 'apt-get update' apt.log && grep -q 'apt-get install -y --no-install-recommends cmake\$' apt.log"
try test 1; status=$?
check "sudo without a password installs too" "[ $status -eq 0 ] && grep -q 'install -y --no-install-recommends cmake\$' apt.log"
ln -s "$(command -v cmake)" bin/cmake
FAKE_UID=0 try ci 0; status=$?
check "nothing missing: nothing run (but MPI and ccache, for CI, where they lack)" \
    "[ $status -eq 0 ] && { [ ! -e apt.log ] || ! grep -q -e cmake -e libtomlplusplus apt.log; }"
rm bin/cmake
# run.sh stops before building, with the command.
mkdir repo && cp -r "$src/scripts" repo/
PATH="$scratch/bin" bash repo/scripts/run.sh > out.txt 2> err.txt; status=$?
check "run.sh without cmake and without sudo stops with the command before building" \
    "[ $status -eq 1 ] && one_line err.txt && grep -q '^run.sh: missing Debian packages; install them with: sudo apt-get install cmake\$' err.txt && [ ! -e repo/build ]"
# With everything installed run.sh builds (a stand-in cmake here) and runs (a stand-in tidal):
# the console lines are a result file like the others, readable under the usual umask.
mkdir -p fake full/build full/tools && cp -r "$src/scripts" full/
printf '#!/bin/sh\n' > full/tools/plot-results
chmod +x full/tools/plot-results
printf '#!/bin/sh\nexit 0\n' > fake/cmake
printf '#!/bin/sh\nmkdir -p "$4" && echo " viscosity 1e14"\n' > full/build/tidal
chmod +x fake/cmake full/build/tidal
(umask 022 && PATH="$scratch/fake:$PATH" bash full/scripts/run.sh > out.txt 2> err.txt); status=$?
check "run.sh leaves the console lines with mode 644 under umask 022" \
    "[ $status -eq 0 ] && [ \"\$(stat -c %a full/results/choice1.console.txt)\" = 644 ]"
exit $failed
