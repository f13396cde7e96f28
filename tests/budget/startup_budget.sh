#!/usr/bin/env bash
# Start-up budget of trelkey: the instructions `trelkey -r` executes on a
# machine without the device, against a do-nothing C program built with the
# same compiler and flags. Both are counted with valgrind's callgrind, in the
# same environment; the ratio must not exceed MAX_RATIO. When hyperfine is
# installed, the ratio of their mean wall times is printed as well (noisy, so
# it is not checked).
#
#   startup_budget.sh [BUILD_DIR]
#
# BUILD_DIR defaults to build/default; it is configured with the default
# preset when it has no CMake cache yet, and the trelkey target is brought up
# to date. HYPERFINE_RUNS (default 500) sets the timed runs of each program.
#
# Exit status: 0 within budget, 1 over budget, 2 nothing could be measured.
set -euo pipefail

MAX_RATIO=1.5
EXPECTED_ERROR="Device open error. "

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build_dir=${1:-$source_dir/build/default}
runs=${HYPERFINE_RUNS:-500}

cannot_measure() {
    echo "startup_budget: $*" >&2
    exit 2
}

command -v valgrind >/dev/null || cannot_measure "valgrind is not installed"

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    (cd "$source_dir" && cmake --preset default -B "$build_dir") >/dev/null ||
        cannot_measure "configuring $build_dir failed"
fi
cmake --build "$build_dir" --target trelkey >/dev/null || cannot_measure "building trelkey failed"
build_dir=$(cd "$build_dir" && pwd)
trelkey=$build_dir/src/trelkey
[ -x "$trelkey" ] || cannot_measure "no program at $trelkey"

# Value of a CMake cache entry, empty when absent.
cache_value() {
    sed -n "s/^$1:[A-Z]*=//p" "$build_dir/CMakeCache.txt" | head -n 1
}

# The do-nothing program gets the C compiler of the same configuration, the
# flags of its build type and the project's warning flags, as trelkey's
# sources do.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
c_compiler=$(cache_value CMAKE_C_COMPILER)
build_type=$(cache_value CMAKE_BUILD_TYPE)
type_suffix=$(echo "$build_type" | tr '[:lower:]' '[:upper:]')
read -r -a c_flags <<<"$(cache_value CMAKE_C_FLAGS) $(cache_value "CMAKE_C_FLAGS_$type_suffix")"
read -r -a link_flags <<<"$(cache_value CMAKE_EXE_LINKER_FLAGS) \
    $(cache_value "CMAKE_EXE_LINKER_FLAGS_$type_suffix")"
do_nothing=$work/do_nothing
"$c_compiler" "${c_flags[@]}" -Wall -Wextra -Wpedantic -Werror "${link_flags[@]}" \
    -o "$do_nothing" "$here/do_nothing.c" ||
    cannot_measure "compiling the do-nothing program failed"

echo "trelkey:    $trelkey ($(cache_value CMAKE_CXX_COMPILER), $build_type)"
echo "do-nothing: $c_compiler ${c_flags[*]}"
echo "shared libraries trelkey loads: $(ldd "$trelkey" | awk '{print $1}' | tr '\n' ' ')"
if [ -d /sys/class/hidraw ]; then
    nodes=$(find /sys/class/hidraw -mindepth 1 -maxdepth 1 | wc -l)
    echo "hidraw nodes the search examines: $nodes"
else
    echo "hidraw nodes the search examines: none (no /sys/class/hidraw)"
fi

# Both run with the same, minimal environment, so neither pays for a larger
# one (the dynamic loader reads every variable).
run_clean() {
    env -i PATH=/usr/bin:/bin "$@"
}

# Instructions a run executes, from callgrind's totals line.
count_instructions() {
    local name=$1
    shift
    run_clean valgrind --tool=callgrind --log-file="$work/$name.log" \
        --callgrind-out-file="$work/$name.out" "$@" \
        >"$work/$name.stdout" 2>"$work/$name.stderr" || true
    local total
    total=$(sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$work/$name.out" 2>/dev/null)
    [ -n "$total" ] || cannot_measure "callgrind gave no total for $name: $(cat "$work/$name.log")"
    echo "$total"
}

trelkey_ir=$(count_instructions trelkey "$trelkey" -r)
if [ "$(cat "$work/trelkey.stderr")" != "$EXPECTED_ERROR" ] || [ -s "$work/trelkey.stdout" ]; then
    cannot_measure "trelkey -r did not fail with '$EXPECTED_ERROR' (is the device attached?):" \
        "$(cat "$work/trelkey.stdout" "$work/trelkey.stderr")"
fi
nothing_ir=$(count_instructions do_nothing "$do_nothing")

echo
echo "instructions, trelkey -r:   $trelkey_ir"
echo "instructions, do-nothing:   $nothing_ir"
if command -v callgrind_annotate >/dev/null; then
    echo "largest self costs in trelkey -r:"
    callgrind_annotate "$work/trelkey.out" 2>/dev/null |
        sed -n '/file:function/,$p' | sed -n '3,10p' | sed 's/^/  /' || true
fi

if command -v hyperfine >/dev/null; then
    echo
    # trelkey -r exits with 2 without the device, hence --ignore-failure.
    run_clean hyperfine -N --ignore-failure --style basic --warmup 20 --runs "$runs" \
        --export-csv "$work/wall.csv" \
        -n "trelkey -r" "'$trelkey' -r" -n "do-nothing" "'$do_nothing'" ||
        cannot_measure "hyperfine failed"
    # CSV columns: command,mean,stddev,median,user,system,min,max (seconds).
    awk -F, 'NR == 2 { t = $2; ts = $3 } NR == 3 { n = $2; ns = $3 }
        END {
            printf "wall time, trelkey -r:  %.1f us mean (sd %.1f)\n", t * 1e6, ts * 1e6
            printf "wall time, do-nothing:  %.1f us mean (sd %.1f)\n", n * 1e6, ns * 1e6
            printf "wall-time ratio: %.3f (not checked)\n", t / n
        }' "$work/wall.csv"
else
    echo "hyperfine is not installed: wall time not measured"
fi

echo
awk -v t="$trelkey_ir" -v n="$nothing_ir" -v max="$MAX_RATIO" 'BEGIN {
    ratio = t / n
    verdict = ratio <= max ? "within" : "OVER"
    printf "instruction ratio: %.3f (budget %.2f): %s budget\n", ratio, max, verdict
    exit ratio <= max ? 0 : 1
}'
