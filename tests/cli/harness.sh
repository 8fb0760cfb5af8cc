# What the command-line test scripts share: a private data folder in $tmp,
# checks that count, and a failure that must end with the CLI's error line.
# Sourced after `cli` and `tmp` are set; `summary` ends a script.
export XDG_DATA_HOME="$tmp/data"
failures=0
passes=0
check() { # description, then a command that must succeed
    local what=$1; shift
    if "$@"; then echo "ok   $what"; passes=$((passes + 1)); else echo "FAIL $what"; failures=$((failures + 1)); fi
}
fails() { ! "$@" 2>"$tmp/err" && grep -q '^flickbook-cli: error: ' "$tmp/err"; }
summary() {
    echo "$passes passed, $failures failed"
    [ "$failures" -eq 0 ]
}
