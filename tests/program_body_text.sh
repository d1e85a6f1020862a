#!/usr/bin/env bash
# The text of a written body file, read by its [sections] as a person reads it: on two bodies
# that between them write every key (every rheology, self-gravitation, the 3:2 spin, the exact
# tide, layer profiles, the grid error off or the extrapolation on, a threshold of doubt),
# --print-body and a run's body.toml write each key bare (no dotted key) under the header of
# its table, each header and each key once; the keys so read are exactly those the key table
# of docs/body-files.md documents; and each key as read (section.key = value) is the one the
# reader takes by that name: given back with --set, it leaves the text byte for byte as it is.
# A layered body's body.toml likewise: each [[layer]] its keys bare, once each, and those keys
# the ones docs/body-files.md documents for a layer (its example and the alternatives its
# comments name), each given back with --set layer.N.KEY leaving the file as it is.
# Caught: the rheologies' own parameters written as dotted keys ("andrade.alpha") under
# [rheology] (the file reads back the same body); sweep.log10_viscosity_min moved into [orbit]
# in the key table, for reader and writer alike (every read-back test passes); a header written
# only where the top-level table changes (the parameters land in [rheology]); a fixed layer's
# rheology written as "layer_rheology" (the reader refuses its own file), and a swept layer's
# viscosity_factor written after its cells under a second name (read back as the same body).
# Usage: program_body_text.sh TIDAL BODY_FILES_DOCUMENT LAYERED_BODY_FILE
set -uo pipefail
tidal=$(realpath "$1")
document=$(realpath "$2")
layered_body=$(realpath "$3")
source "$(dirname "$0")/checks.sh"
cd "$scratch"

factors=$(awk 'BEGIN { for (i = 0; i < 20; i++) printf "%s%.17g", (i ? ", " : ""), 10 ^ (2 - 4 * i / 19) }')
rigidity=$(awk 'BEGIN { for (i = 0; i < 20; i++) printf "%s%.17g", (i ? ", " : ""), 3.3e9 * (1 + i / 7) }')
every=(--set 'rheology.models=["maxwell","kelvin_voigt","burgers","andrade","zener"]'
       --set shell.self_gravity=true --set 'orbit.rotation="3:2"' --set 'orbit.tide="exact"'
       --set numerics.doubt_limit=0.02 --set "shell.viscosity_factors=[$factors]"
       --set "shell.rigidity=[$rigidity]")
# numerics.grid_error = false and numerics.extrapolate = true exclude each other: one each.
a=("${every[@]}" --set numerics.extrapolate=true)
# The obliquity is that of a synchronous body: body b is one, tilted.
b=("${every[@]}" --set numerics.grid_error=false --set 'orbit.rotation="synchronous"'
   --set orbit.obliquity=2.5 --set orbit.pericentre_argument=30)

# A body file's text as "section<TAB>key<TAB>value" lines, in the file's order (section "-" for
# the top level; the value as TOML text on one line, its comment cut); a line "[section]" where
# a table opens.
# Refuses (status 1, saying why) a dotted key, a header or key given twice, a line of neither.
sections() { # file
    /usr/bin/python3 - "$1" << 'PY'
import re, sys
def cut_comment(text):  # the text before a '#' outside a string
    quoted = escaped = False
    for i, c in enumerate(text):
        if escaped: escaped = False
        elif c == "\\" and quoted: escaped = True
        elif c == '"': quoted = not quoted
        elif c == "#" and not quoted: return text[:i]
    return text
lines = open(sys.argv[1]).read().split("\n")
section, seen, bad, i = "", set(), [], 0
while i < len(lines):
    line = lines[i]; i += 1
    if not line.strip() or line.startswith("#"):
        continue
    element = re.fullmatch(r"\[\[([a-z0-9_]+)\]\]", line)
    if element:  # an array of tables: each opens its own numbered section
        count = sum(1 for s in seen if s[0] == "[[" and s[1] == element.group(1)) + 1
        seen.add(("[[", element.group(1), count))
        section = f"{element.group(1)}.{count}"
        print(f"[{section}]")
        continue
    header = re.fullmatch(r"\[([a-z0-9_.]+)\]", line)
    if header:
        section = header.group(1)
        if ("[", section) in seen: bad.append(f"[{section}] opened twice")
        seen.add(("[", section)); print(f"[{section}]")
        continue
    key = re.match(r"([A-Za-z0-9_.\"-]+) = ", line)
    if not key:
        bad.append(f"neither a header nor a key: {line!r}"); continue
    value = cut_comment(line[key.end():]).strip()
    while value.count("[") > value.count("]") and i < len(lines):  # an array over lines
        value += " " + cut_comment(lines[i]).strip(); i += 1
    name = key.group(1)
    if not re.fullmatch(r"[a-z0-9_]+", name):
        bad.append(f"[{section}] {name}: not a bare key of its section")
    if (section, name) in seen: bad.append(f"[{section}] {name} given twice")
    seen.add((section, name))
    print(f"{section or '-'}\t{name}\t{value}")
for b in bad: print("bad:", b, file=sys.stderr)
sys.exit(1 if bad else 0)
PY
}
# The dotted keys of parsed sections, sorted.
dotted() { awk -F'\t' 'NF == 3 { print ($1 == "-" ? "" : $1 ".") $2 }' "$@" | sort -u; }

# The documented keys: the first column of the key table of docs/body-files.md and the key
# column of its table of rheology parameters (the table --rheologies prints).
{ awk '/^\| key \| unit \| meaning \|$/ { on = 1; next } on && !/^\|/ { exit } on' "$document" |
      awk -F'|' '{ print $2 }'
  sed -n '/^<!-- rheology keys: the output of tidal --rheologies -->$/,/^<!-- end of rheology keys -->$/p' \
      "$document" | awk -F'|' 'NR > 3 { print $3 }'
} | grep -o '`[a-z0-9_.]*`' | tr -d '`' | sort -u > documented.txt
check "docs/body-files.md documents the keys of a body file" "[ \$(wc -l < documented.txt) -ge 25 ] && grep -qx shell.thickness documented.txt && grep -qx rheology.andrade.alpha documented.txt"

for body in a b; do
    declare -n sets=$body
    "$tidal" --print-body 3 "${sets[@]}" > $body.toml 2> err.txt; status=$?
    check "body $body: --print-body succeeds" "[ $status -eq 0 ] && [ ! -s err.txt ]"
    sections $body.toml > $body.sections 2> err.txt; status=$?
    check "body $body: every key bare under its table's header, each header and key once" \
        "[ $status -eq 0 ] || { cat err.txt; false; }"
    # Each key given back to the reader by the name the text gives it.
    refused=0 keys=0
    while IFS=$'\t' read -r section key value; do
        [ -n "$key" ] || continue
        name=$key keys=$((keys + 1))
        [ "$section" = - ] || name=$section.$key
        "$tidal" --print-body 3 "${sets[@]}" --set "$name=$value" > again.toml 2> err.txt
        cmp -s $body.toml again.toml || { echo "not the reader's $name: $(cat err.txt)"; refused=1; }
    done < $body.sections
    check "body $body: each of its $keys keys, set by the name its section gives it, leaves the text as it is" \
        "[ $refused -eq 0 ] && [ $keys -ge 25 ]"
done
dotted a.sections b.sections > written.txt
check "the keys written are those documented, each in its documented table" \
    "diff documented.txt written.txt"

# A run's own body.toml: the same sections and keys, in the same order, as --print-body's.
"$tidal" --body 3 "${a[@]}" --set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=14 \
    --set numerics.periods=2 --set numerics.steps_per_period=100 --output run > /dev/null 2> err.txt; status=$?
check "a run of body a succeeds" "[ $status -eq 0 ] && only_warnings err.txt"
sections run/body.toml > run.sections 2> err.txt; status=$?
check "... and its body.toml reads by sections as --print-body's does" \
    "[ $status -eq 0 ] && diff <(cut -f1,2 a.sections) <(cut -f1,2 run.sections)"

# --- A body given by its layers -------------------------------------------------------------
# The documented keys of a [[layer]]: those of the example of docs/body-files.md and the ones
# its comments name instead ("or outer_radius", "its own rheology = ").
awk '/^### A body given by its layers/ { on = 1 } on && /^```toml$/ { block = 1; next }
     block && /^```$/ { exit } block' "$document" > example.toml
awk '/^\[\[layer\]\]/ { layer = 1; next } /^\[/ { layer = 0 } layer' example.toml > example_layers.txt
{ grep -oE '^[a-z_]+ =' example_layers.txt; grep -oE '(or|own) [a-z_]+( =|,)' example_layers.txt |
      awk '{ print $2 }'; } | tr -d ' =,' | sort -u > layer_documented.txt
check "docs/body-files.md documents the keys of a [[layer]]" \
    "grep -qx cells layer_documented.txt && grep -qx rheology layer_documented.txt && grep -qx outer_radius layer_documented.txt"
layered=(--body-file "$layered_body" --method steady --set numerics.grid_error=false)
"$tidal" "${layered[@]}" --output layered > /dev/null 2> err.txt; status=$?
check "a layered body runs" "[ $status -eq 0 ] && only_warnings err.txt"
sections layered/body.toml > layered.sections 2> err.txt; status=$?
check "... and its body.toml has every key bare under its header, each [[layer]] its own keys once" \
    "[ $status -eq 0 ] || { cat err.txt; false; }"
awk -F'\t' 'NF == 3 && $1 ~ /^layer\./ { print $2 }' layered.sections | sort -u > layer_written.txt
check "... its layers' keys are documented ones, and every documented one is written but the top's alternative outer_radius" \
    "diff <(grep -vx outer_radius layer_documented.txt) layer_written.txt"
check "... its other keys are documented ones" \
    "[ -z \"\$(dotted layered.sections | grep -v -e '^layer\.' -e '^outer_radius\$' | grep -vxF -f documented.txt)\" ]"
refused=0 keys=0
while IFS=$'\t' read -r section key value; do
    [ -n "$key" ] && [ "${section%%.*}" = layer ] || continue
    keys=$((keys + 1))
    "$tidal" "${layered[@]}" --set "$section.$key=$value" --output again > /dev/null 2> err.txt
    cmp -s layered/body.toml again/body.toml || { echo "not the reader's $section.$key: $(cat err.txt)"; refused=1; }
    rm -rf again
done < layered.sections
check "... each of its $keys layer keys, set by the name its section gives it, leaves body.toml as it is" \
    "[ $refused -eq 0 ] && [ $keys -ge 15 ]"
exit $failed
