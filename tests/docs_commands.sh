#!/usr/bin/env bash
# Every command of the documents is run as written, so that a stale line fails here: each
# fenced ```sh block of README.md and docs/*.md (and each ```python block, with the module of
# the build) runs in a scratch directory of its document, the blocks of one document in order,
# so that a later block finds the files an earlier one made. The scratch directory holds
# build/tidal, which runs the built program on a short sweep (two viscosities a decade, two
# periods of 200 steps; a later --set of the same key still wins), build/python, tools/,
# examples/ and docs/. A block whose first line is `# not run by the docs test: REASON` is
# skipped and listed; there are few of them (at most $most_skipped), each saying why.
# Usage: docs_commands.sh TIDAL SOURCE_DIR [PYTHON_BUILD_DIR PYTHON]
tidal=$(realpath "$1") source_dir=$(realpath "$2") python_dir=${3:-} python=${4:-python3}
source "$(dirname "$0")/checks.sh"
most_skipped=12

# The blocks of a document, each as a file $3/NNN.LANG, its first line "# DOC:LINE".
extract() { # document, name, directory
    awk -v doc="$2" -v dir="$3" '
        /^```(sh|python)$/ && !inside { inside = 1; n++; lang = substr($0, 4)
            file = sprintf("%s/%03d.%s", dir, n, lang); print "# " doc ":" NR + 1 > file; next }
        /^```/ && inside { inside = 0; close(file); next }
        inside { print > file }' "$1"
}

short=(--set sweep.steps_per_decade=2 --set numerics.periods=2 --set numerics.steps_per_period=200)
ran=0 skipped=0
for doc in "$source_dir"/README.md "$source_dir"/docs/*.md; do
    name=${doc#"$source_dir"/}
    here=$scratch/run/${name//\//_}
    mkdir -p "$here/build" "$scratch/blocks/${name//\//_}"
    blocks=$scratch/blocks/${name//\//_}
    extract "$doc" "$name" "$blocks"
    # The program on a short sweep; a study names its bodies in its own file, and the options
    # that only print take no --set.
    cat > "$here/build/tidal" << EOF
#!/usr/bin/env bash
for a in "\$@"; do
    case \$a in --study|--study=*|--help|-h|--version|--rheologies) exec "$tidal" "\$@" ;; esac
done
exec "$tidal" ${short[*]} "\$@"
EOF
    chmod +x "$here/build/tidal"
    [ -n "$python_dir" ] && ln -s "$(realpath "$python_dir")" "$here/build/python"
    for d in tools examples docs; do ln -s "$source_dir/$d" "$here/$d"; done
    for block in "$blocks"/*; do
        [ -e "$block" ] || continue
        where=$(head -1 "$block" | cut -c3-)
        if sed -n 2p "$block" | grep -q '^# not run by the docs test: '; then
            echo "skipped: $where: $(sed -n 2p "$block" | sed 's/^# not run by the docs test: //')"
            skipped=$((skipped + 1))
            continue
        fi
        if [[ $block == *.python && -z $python_dir ]]; then
            echo "skipped: $where: this build has no Python module"
            continue
        fi
        case $block in
            *.sh) (cd "$here" && TIDAL="$here/build/tidal" bash -e -o pipefail "$block") \
                      > "$block.out" 2> "$block.err" ;;
            *.python) (cd "$here" && PYTHONPATH="$here/build/python" "$python" "$block") \
                      > "$block.out" 2> "$block.err" ;;
        esac
        status=$?
        check "$where runs (status $status)" "[ $status -eq 0 ] && ! grep -q '^error' '$block.err'" ||
            true
        [ $status -eq 0 ] || { sed 's/^/    /' "$block"; sed 's/^/    stderr: /' "$block.err" | tail -5; }
        ran=$((ran + 1))
    done
done
check "the documents' commands were found and run ($ran blocks)" "[ $ran -ge 15 ]"
check "few blocks are left out ($skipped, at most $most_skipped)" "[ $skipped -le $most_skipped ]"
exit $failed
