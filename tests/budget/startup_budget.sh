#!/usr/bin/env bash
# Start-up budget: the instructions `trelkey -r` runs on a machine without
# the device, as callgrind counts them, are at most 1.5 times those of a C
# program that does nothing (do_nothing.c, the target do_nothing of the same
# build, so the same compiler and flags). Both run in the same minimal
# environment, which the loader reads.
#   startup_budget.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# instructions NAME COMMAND...: callgrind's total for one run of COMMAND.
instructions() {
    env -i PATH=/usr/bin:/bin valgrind --tool=callgrind --log-file="$work/$1.log" \
        --callgrind-out-file="$work/$1.out" "${@:2}" 2>"$work/$1.stderr" || true
    sed -n 's/^totals: *//p' "$work/$1.out"
}
trelkey=$(instructions trelkey "$build/src/trelkey" -r)
nothing=$(instructions do_nothing "$build/tests/do_nothing")
if [ "$(head -n 1 "$work/trelkey.stderr")" != "Device open error. " ] || [ -z "$trelkey" ] || [ -z "$nothing" ]; then
    echo "not measured: trelkey -r must fail to find a device: $(cat "$work"/*.stderr "$work"/*.log)"
    exit 1
fi
awk -v t="$trelkey" -v n="$nothing" 'BEGIN { printf "instructions: trelkey -r %d, do-nothing %d, " \
    "ratio %.3f (budget 1.5)\n", t, n, t / n; exit !(t / n <= 1.5) }'
