#!/usr/bin/env bash
# Warnings that mean something, on the built program: a short sweep of Enceladus that brackets
# both peaks draws none (only the accuracy note), while the same body made doubtful on purpose
# draws exactly one warning line, which names the key that mends it: too few time steps, too
# few layers (in both methods; a layered body's cells), too few periods, a sweep that ends before a peak. A sweep of
# one viscosity says nothing about its ends.
# Usage: program_warnings.sh TIDAL
set -uo pipefail
tidal=$(realpath "$1")
layered=$(realpath "$(dirname "$0")/data/layered_body.toml")
source "$(dirname "$0")/checks.sh"
cd "$scratch"

short="--set sweep.log10_viscosity_min=11 --set sweep.log10_viscosity_max=15 --set sweep.steps_per_decade=2"
run() { # name, extra arguments...: the sweep of Enceladus into NAME/, standard error in NAME.err
    local name=$1
    shift
    "$tidal" --body 1 $short "$@" --output "$name" --jobs 2 > /dev/null 2> "$name.err"
    echo $? > "$name.status"
}
warnings() { grep -c '^warning: ' "$1.err"; }
# NAME, the text of its one warning line (a grep pattern), the key it must name.
one_warning() {
    [ "$(cat "$1.status")" -eq 0 ] && only_warnings "$1.err" && [ "$(warnings "$1")" -eq 1 ] &&
        grep '^warning: ' "$1.err" | grep -q -e "$2" && grep '^warning: ' "$1.err" | grep -q -F "$3"
}

run plain
check "a sweep bracketing both peaks at the defaults draws no warning, only the accuracy note" \
    "[ \$(cat plain.status) -eq 0 ] && [ \$(warnings plain) -eq 0 ] && [ \$(wc -l < plain.err) -eq 1 ] && grep -q '^note: accuracy: largest transient .* over 9 viscosities$' plain.err"
run steps --set numerics.steps_per_period=100
check "100 steps per period: one warning on the time-step error, naming numerics.steps_per_period" \
    "one_warning steps 'time-step error' 'raise numerics.steps_per_period (or numerics.doubt_limit)'"
run layers --set numerics.layers=3
check "3 layers: one warning on the grid error, naming numerics.layers" \
    "one_warning layers 'grid error' 'raise numerics.layers (or numerics.doubt_limit)'"
run steady_layers --set numerics.layers=3 --method steady
check "... in the steady method as well" \
    "one_warning steady_layers 'grid error' 'raise numerics.layers (or numerics.doubt_limit)'"
run periods --set numerics.periods=2
check "2 periods: one warning on the distance from the periodic state, naming numerics.periods" \
    "one_warning periods 'from their periodic state after 2 periods' 'raise numerics.periods (or numerics.doubt_limit)'"
run high --set sweep.log10_viscosity_max=12.5
check "a sweep ending below the peaks: one warning naming sweep.log10_viscosity_max" \
    "one_warning high 'largest at the highest swept viscosity' 'raise sweep.log10_viscosity_max'"
run low --set sweep.log10_viscosity_min=14
check "a sweep starting above the peaks: one warning naming sweep.log10_viscosity_min" \
    "one_warning low 'largest at the lowest swept viscosity' 'lower sweep.log10_viscosity_min'"
run loose --set numerics.layers=3 --set numerics.doubt_limit=0.05
check "the doubtful grid under a looser numerics.doubt_limit draws no warning" \
    "[ \$(cat loose.status) -eq 0 ] && [ \$(warnings loose) -eq 0 ]"
run single --set sweep.log10_viscosity_min=14 --set sweep.log10_viscosity_max=14
check "a sweep of one viscosity says nothing about its ends" \
    "[ \$(cat single.status) -eq 0 ] && [ \$(warnings single) -eq 0 ] && grep -q 'over 1 viscosity$' single.err"
# A body given by its layers has no numerics.layers (it is refused there): its grid error's
# warning names the layers' cells, and doing what it says (every layer's cells doubled) lowers
# the worst grid error about fourfold. Caught: the uniform shell's key named for every body.
run_layered() { # name, extra arguments...
    local name=$1
    shift
    "$tidal" --body-file "$layered" $short --method steady "$@" --output "$name" > /dev/null 2> "$name.err"
    echo $? > "$name.status"
}
worst_grid() { sed -n 's/^note: accuracy: largest grid error -*\([0-9.e+-]*\) .*/\1/p' "$1.err"; }
run_layered layered --set numerics.doubt_limit=1e-4
run_layered layered_fine --set numerics.doubt_limit=1e-4 --set layer.ice.cells=12 --set layer.stiff.cells=6
check "a layered body's grid-error warning names the cells of its [[layer]] tables" \
    "one_warning layered 'grid error' 'raise the cells of the [[layer]] tables (or numerics.doubt_limit)' && ! grep -q 'numerics.layers' layered.err"
check "... and doubling every layer's cells lowers the worst grid error three- to fivefold" \
    "awk -v a=\$(worst_grid layered) -v b=\$(worst_grid layered_fine) 'BEGIN { exit !(a / b > 3 && a / b < 5) }'"
exit $failed
