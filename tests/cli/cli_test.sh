#!/usr/bin/env bash
# Runs the built program as a user would and checks its standard output,
# standard error and exit status byte for byte.
#
#   cli_test.sh [--crlf] [--device-refuses] PROGRAM [RUNNER ...]
#
# RUNNER (for example wine) is put before PROGRAM. --crlf turns CRLF into LF
# in what the program prints, for a runtime whose standard streams are in
# text mode. Without --device-refuses no matching device is attached; with
# it, PROGRAM's device is attached and refuses every feature request, and
# only the read and set commands are checked.
set -u

crlf=0
device_refuses=0
while :; do
    case "${1:-}" in
        --crlf) crlf=1; shift ;;
        --device-refuses) device_refuses=1; shift ;;
        *) break ;;
    esac
done
program=$1; shift
runner=("$@")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0
failed=0

# check NAME EXPECTED_STATUS EXPECTED_STDOUT_FILE EXPECTED_STDERR_FILE ARGS...
check() {
    local name=$1 status=$2 out=$3 err=$4
    shift 4
    "${runner[@]}" "$program" "$@" >"$work/out" 2>"$work/err" </dev/null
    local got=$?
    if [ $crlf = 1 ]; then
        sed -i 's/\r$//' "$work/out" "$work/err"
    fi
    local problem=""
    [ "$got" = "$status" ] || problem+=" status $got (expected $status);"
    cmp -s "$work/out" "$out" || problem+=" standard output differs;"
    cmp -s "$work/err" "$err" || problem+=" standard error differs;"
    if [ -z "$problem" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $name:$problem"
        echo "--- standard output:"; cat -A "$work/out" | head -5
        echo "--- standard error:"; cat -A "$work/err" | head -5
    fi
}

usage=$here/expected_usage.txt
empty=$work/empty
: >"$empty"
printf 'Device open error. \n' >"$work/open_error"

if [ $device_refuses = 1 ]; then
    printf 'Device read error. \n' >"$work/read_error"
    printf 'Device write error. \n' >"$work/write_error"
    check "read refused" 2 "$empty" "$work/read_error" -r
    check "set refused" 2 "$empty" "$work/write_error" -s KEY_F5
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
    exit
fi

# Invalid command lines: the usage text, status 1, nothing on standard error.
check "no arguments" 1 "$usage" "$empty"
check "-s alone" 1 "$usage" "$empty" -s
check "upper-case -S" 1 "$usage" "$empty" -S KEY_A
check "unknown option" 1 "$usage" "$empty" -x
check "long option" 1 "$usage" "$empty" --read
check "bad key" 1 "$usage" "$empty" -s XYZ
check "bad modifier" 1 "$usage" "$empty" -s KEY_A,XYZ
check "lone comma" 1 "$usage" "$empty" -s ,
check "blank before modifier" 1 "$usage" "$empty" -s "KEY_A, CTRL_LEFT"
check "0xff" 1 "$usage" "$empty" -s 0xff
check "bad second value" 1 "$usage" "$empty" -s KEY_A XYZ

# Valid commands with no device attached: one error line, status 2.
check "read" 2 "$empty" "$work/open_error" -r
check "read with ignored values" 2 "$empty" "$work/open_error" -r KEY_A junk
check "set one channel" 2 "$empty" "$work/open_error" -s KEY_F5
check "set four channels" 2 "$empty" "$work/open_error" \
    -s KEY_L,SHIFT_LEFT KEY_R,SHIFT_LEFT, KEY_F5, KEY_F6

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
