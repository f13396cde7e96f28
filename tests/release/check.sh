# shellcheck shell=bash
# Shared by the packaging tests: counts checks and prints the closing line.
#   source check.sh; expect NAME CONDITION...; finish
passed=0
failed=0

# expect NAME COMMAND...: one check, passed when COMMAND succeeds; returns
# COMMAND's success.
expect() {
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $name"
        return 1
    fi
}

# expect_equal NAME GOT EXPECTED
expect_equal() {
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $1"
        echo "  got:      $2"
        echo "  expected: $3"
    fi
}

# use_work_dir: sets work to a new directory, removed when the test ends.
use_work_dir() {
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
}

finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
    exit
}
