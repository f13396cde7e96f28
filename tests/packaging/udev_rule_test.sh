#!/usr/bin/env bash
# Checks the udev rule built from the identity cache values, and the rule
# writer on a table of ID spellings.
#   udev_rule_test.sh RULE_FILE VENDOR_ID PRODUCT_ID WRITER.cmake
set -u
rule_file=$1 vendor=$2 product=$3 writer=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/check.sh"
use_work_dir

# A CMake ID (0x hexadecimal or decimal) as four lower-case hex digits.
udev_digits() {
    case $1 in
        0[xX]*) printf '%04x' "$((16#${1:2}))" ;;
        *) printf '%04x' "$((10#$1))" ;;
    esac
}

rule_line() {
    printf 'SUBSYSTEM=="hidraw", ATTRS{idVendor}=="%s", ATTRS{idProduct}=="%s", TAG+="uaccess"' "$1" "$2"
}

# The build's rule, from the cache values.
name=$(basename "$rule_file")
expect "file name $name sorts before 73-seat-late.rules" \
    bash -c "[[ '$name' =~ ^[0-6][0-9]-.*\.rules$|^7[0-2]-.*\.rules$ ]]"
expect_equal "the one rule line" "$(grep -v '^#' "$rule_file")" \
    "$(rule_line "$(udev_digits "$vendor")" "$(udev_digits "$product")")"
expect "no MODE" bash -c "! grep -q MODE '$rule_file'"
expect "no GROUP" bash -c "! grep -q GROUP '$rule_file'"

# The writer, on the spellings a cache value may take.
while read -r vendor_id product_id vendor_digits product_digits; do
    cmake -DVENDOR_ID="$vendor_id" -DPRODUCT_ID="$product_id" -DOUTPUT="$work/rule" \
        -P "$writer" >"$work/log" 2>&1
    expect_equal "rule for $vendor_id:$product_id" "$(grep -v '^#' "$work/rule")" \
        "$(rule_line "$vendor_digits" "$product_digits")"
done <<'TABLE'
0x1209 0x4B53 1209 4b53
0XABCD 0xef   abcd 00ef
1      4660   0001 1234
0x0000 65535  0000 ffff
0x00FF 00255  00ff 00ff
TABLE

# Values that are no USB ID stop the configuration.
for bad in 65536 0x10000 0x zz 1+1 -1 ""; do
    rm -f "$work/rule"
    cmake -DVENDOR_ID="$bad" -DPRODUCT_ID=0x0001 -DOUTPUT="$work/rule" -P "$writer" >"$work/log" 2>&1
    expect "vendor ID '$bad' refused" bash -c "[ ! -e '$work/rule' ] && grep -q 'USB ID' '$work/log'"
done
finish
