#!/usr/bin/env bash
# Start-up budget: the instructions `trelkey -r` runs on a machine without
# the device, as callgrind counts them, are at most 1.5 times those of a C
# program that does nothing (do_nothing.c), built with the same compiler and
# flags. Both run in the same minimal environment, which the loader reads.
#   startup_budget.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
type=$(cache CMAKE_BUILD_TYPE)
read -r -a flags <<<"$(cache CMAKE_C_FLAGS) $(cache "CMAKE_C_FLAGS_${type^^}") $(cache CMAKE_EXE_LINKER_FLAGS)"
"$(cache CMAKE_C_COMPILER)" "${flags[@]}" -o "$work/do_nothing" "$(dirname "$0")/do_nothing.c"

# instructions NAME COMMAND...: callgrind's total for one run of COMMAND.
instructions() {
    env -i PATH=/usr/bin:/bin valgrind --tool=callgrind --log-file="$work/$1.log" \
        --callgrind-out-file="$work/$1.out" "${@:2}" 2>"$work/$1.stderr" || true
    sed -n 's/^totals: *//p' "$work/$1.out"
}
trelkey=$(instructions trelkey "$build/src/trelkey" -r)
nothing=$(instructions do_nothing "$work/do_nothing")
if [ "$(cat "$work/trelkey.stderr")" != "Device open error. " ] || [ -z "$trelkey" ] || [ -z "$nothing" ]; then
    echo "not measured: trelkey -r must fail to find a device: $(cat "$work"/*.stderr "$work"/*.log)"
    exit 1
fi
awk -v t="$trelkey" -v n="$nothing" 'BEGIN { printf "instructions: trelkey -r %d, do-nothing %d, " \
    "ratio %.3f (budget 1.5)\n", t, n, t / n; exit !(t / n <= 1.5) }'
