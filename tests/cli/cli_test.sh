#!/usr/bin/env bash
# Runs the built program as a user would and checks its standard output,
# standard error and exit status byte for byte.
#
#   cli_test.sh [--crlf] [--device-refuses] PROGRAM [RUNNER ...]
#
# RUNNER (wine, valgrind) goes before PROGRAM. --crlf turns CRLF into LF, for
# a runtime whose standard streams are in text mode. Without --device-refuses
# no matching device is attached; with it, PROGRAM's device, wine's virtual
# keyboard, is attached and refuses every feature request.
set -u
crlf=0 refuses=0
[ "$1" = --crlf ] && crlf=1 && shift
[ "$1" = --device-refuses ] && refuses=1 && shift
program=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
usage=$(dirname "$0")/expected_usage.txt
failed=0

# check STATUS STDOUT_FILE STDERR_TEXT ARGUMENTS...; with err_pattern set,
# standard error must match that extended regular expression as a whole.
check() {
    local status=$1 out=$2
    printf '%b' "$3" >"$work/expected_err"
    shift 3
    "$@" >"$work/out" 2>"$work/err" </dev/null
    local got=$?
    [ $crlf = 0 ] || sed -i 's/\r$//' "$work/out" "$work/err"
    if [ "$got" != "$status" ] || ! cmp -s "$work/out" "$out" ||
        ! if [ -n "${err_pattern-}" ]; then [[ $(cat "$work/err"; echo .) =~ ^$err_pattern\.$ ]]
        else cmp -s "$work/err" "$work/expected_err"; fi; then
        failed=$((failed + 1))
        echo "FAIL ${*:2}: status $got; standard output, then error:"
        cat -A "$work/out" "$work/err" | head -5
    fi
}
run=("$@" "$program")

if [ $refuses = 1 ]; then
    # The second line names the keyboard's interface and wine's reason.
    second='trelkey: \\\\\?\\hid#vid_845e&pid_0002#[^:]+: [^[:cntrl:]]+'$'\n'
    err_pattern='Device read error\. '$'\n'$second check 2 /dev/null '' "${run[@]}" -r
    err_pattern='Device write error\. '$'\n'$second check 2 /dev/null '' "${run[@]}" -s KEY_F5
else
    check 1 "$usage" '' "${run[@]}"
    check 1 "$usage" '' "${run[@]}" -S KEY_A
    check 1 "$usage" '' "${run[@]}" -s KEY_A XYZ
    check 2 /dev/null 'Device open error. \n' "${run[@]}" -r KEY_A junk
    check 2 /dev/null 'Device open error. \n' "${run[@]}" -s KEY_L,SHIFT_LEFT KEY_F5, 0x28
    # The usage text lost on a full disk.
    check 1 /dev/null 'trelkey: write error: No space left on device\n' \
        sh -c 'exec "$@" >/dev/full' - "${run[@]}"
fi
echo "$failed failed"
[ $failed = 0 ]
