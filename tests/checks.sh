# Shared by the whole-program test scripts (sourced): a scratch directory removed at exit, the
# check helper that counts failures, and tests on result files.
scratch=$(mktemp -d)
# With TIDAL_TEST_KEEP set, a script with a failed check leaves its scratch directory there
# (TIDAL_TEST_KEEP/NAME-PID) for a look at what it saw.
keep_failed() {
    [ "$failed" = 1 ] && [ -n "${TIDAL_TEST_KEEP:-}" ] && mkdir -p "$TIDAL_TEST_KEEP" &&
        cp -a "$scratch" "$TIDAL_TEST_KEEP/$(basename "$0" .sh)-$$" 2> /dev/null
    chmod -R u+w "$scratch"; rm -rf "$scratch"
}
trap keep_failed EXIT
failed=0
# A failed check shows the start of err.txt, where the scripts keep the standard error of the
# command checked, so that a failure seen once under load still tells its cause.
check() { # description, condition (evaluated)
    if eval "$2"; then echo "ok: $1"; else
        echo "FAILED: $1"
        said err.txt || :
        failed=1
    fi
}
col() { # file, column name: the column's values, one a line
    tr -d '\r' < "$1" | awk -F, -v name="$2" 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == name) c = i; next } { print $c }'
}
# For a check's condition that failed: shows what the command said on standard error (kept in
# FILE), so that a failure seen once under load still tells its cause; always false.
said() { # file
    [ -s "$1" ] && head -5 "$1" | sed "s|^|  ($1) |"
    false
}
one_line() { [ "$(wc -l < "$1")" -eq 1 ]; }
# Nothing but warning and note lines (or nothing at all).
only_warnings() { ! grep -q -v -e '^warning: ' -e '^note: ' "$1"; }
# Every file given ends with a line end (or is empty): no half-written record.
whole_lines() {
    local f
    for f in "$@"; do
        [ -s "$f" ] && [ "$(tail -c1 "$f" | od -An -c | tr -d ' ')" != '\n' ] && return 1
    done
    return 0
}
summaries="pcelketa pcelketakelvin ureta uretakelvin tneta tnetakelvin urtheta urthetakelvin"
files="$summaries time timekelvin"
