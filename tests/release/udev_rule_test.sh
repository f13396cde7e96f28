#!/usr/bin/env bash
# Checks the udev rule built from the identity settings: its file name, and
# one rule line for the very IDs the program is compiled with (how a setting
# is read is checked by identity_settings_test.cmake).
#   udev_rule_test.sh RULE_FILE IDENTITY_SOURCE
set -u
rule_file=$1 identity_source=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=check.sh
source "$here/check.sh"

# An ID of the program, 0xXXXX in its generated source, as udev reads it from
# sysfs: four lower-case hex digits.
program_id() {
    sed -n "s/^const unsigned short $1 = 0x\([0-9A-F]\{4\}\);$/\1/p" "$identity_source" |
        tr 'A-F' 'a-f'
}

name=$(basename "$rule_file")
expect "file name $name sorts before 73-seat-late.rules" \
    bash -c "[[ '$name' =~ ^[0-6][0-9]-.*\.rules$|^7[0-2]-.*\.rules$ ]]"
expect_equal "the one rule line" "$(grep -v '^#' "$rule_file")" \
    "$(printf 'SUBSYSTEM=="hidraw", ATTRS{idVendor}=="%s", ATTRS{idProduct}=="%s", TAG+="uaccess"' \
        "$(program_id DEVICE_VENDOR_ID)" "$(program_id DEVICE_PRODUCT_ID)")"
expect "no MODE" bash -c "! grep -q MODE '$rule_file'"
expect "no GROUP" bash -c "! grep -q GROUP '$rule_file'"
finish
