#!/usr/bin/env bash
# Runs the built program as a user would and checks its exit status, standard
# output byte for byte and standard error.
#
#   cli_test.sh PROGRAM [RUNNER ...]
#
# RUNNER (wine) goes before PROGRAM. A Windows program's (*.exe)
# standard streams are in text mode, so its CRLF is turned into LF. No
# matching device is attached.
set -u
program=$1
shift
run=("$@" "$program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
usage=$(dirname "$0")/expected_usage.txt
failed=0 nl=$'\n'

# check STATUS STDOUT_FILE STDERR_REGEX ARGUMENTS...: standard error must match
# the extended regular expression as a whole.
check() {
    local status=$1 out=$2 err=$3
    shift 3
    "$@" >"$work/out" 2>"$work/err" </dev/null
    local got=$?
    [[ $program != *.exe ]] || sed -i 's/\r$//' "$work/out" "$work/err"
    [ "$got" = "$status" ] && cmp -s "$work/out" "$out" && [[ $(cat "$work/err"; echo .) =~ ^$err\.$ ]] &&
        return
    failed=$((failed + 1))
    echo "FAIL ${*:2}: status $got; standard output, then error:"
    cat -A "$work/out" "$work/err" | head -5
}

check 1 "$usage" '' "${run[@]}"
check 1 "$usage" '' "${run[@]}" --help
check 1 "$usage" "trelkey: 'KEY_A,CTRL': CTRL is not a modifier name$nl" "${run[@]}" -s KEY_A,CTRL
none="Device open error\. ${nl}trelkey: no unit found with ID 1209:4b53, manufacturer \"Kestavo\", product \"Kestavo\"$nl"
check 2 /dev/null "$none" "${run[@]}" -r KEY_A junk
check 2 /dev/null "$none" "${run[@]}" -s KEY_L,SHIFT_LEFT KEY_F5, 0x28
check 2 /dev/null "$none" "${run[@]}" -l
# A refused argument is quoted on one line, its control characters escaped.
check 1 "$usage" "trelkey: 'KEY_A[\\]nX': KEY_A[\\]nX is not a key name$nl" "${run[@]}" -s "KEY_A${nl}X"
# The usage text lost on a full disk.
check 1 /dev/null "trelkey: write error: No space left on device$nl" \
    sh -c 'exec "$@" >/dev/full' - "${run[@]}"
echo "$failed failed"
[ $failed = 0 ]
