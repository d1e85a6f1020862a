#!/usr/bin/env bash
# The checks too long for every build (CI runs scripts/test.sh): every preset restated as a
# body file against the preset over its whole sweep. Needs a build made by scripts/test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -x build/tidal ] || { echo "build/tidal missing: run scripts/test.sh first" >&2; exit 2; }
TIDAL_TEST_LONG=1 bash tests/program_body_files.sh build/tidal
