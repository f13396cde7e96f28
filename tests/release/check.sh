# shellcheck shell=bash
# Shared by the packaging tests: counts checks and prints the closing line.
#   source check.sh; [use_work_dir;] expect NAME COMMAND...; finish
passed=0 failed=0

# expect NAME COMMAND...: one check, passed when COMMAND succeeds; returns
# COMMAND's success.
expect() {
    local name=$1
    shift
    "$@" && passed=$((passed + 1)) && return
    failed=$((failed + 1))
    echo "FAIL $name"
    return 1
}

# expect_equal NAME GOT EXPECTED: on a failure, the lines that differ
# (< expected, > got).
expect_equal() {
    expect "$1" test "$2" = "$3" || diff <(printf '%s\n' "$3") <(printf '%s\n' "$2") | sed 's/^/  /'
}

# use_work_dir: sets work to a new directory, removed when the test ends.
use_work_dir() { work=$(mktemp -d) && trap 'rm -rf "$work"' EXIT; }

finish() { echo "$passed passed, $failed failed" && exit $((failed > 0)); }
