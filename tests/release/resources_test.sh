#!/usr/bin/env bash
# Checks from the built file that a Windows executable is a console program
# that carries its application manifest (run as invoker, supported systems)
# and a version resource naming the product and the project version.
#   resources_test.sh OBJDUMP OBJCOPY PROGRAM.exe VERSION MANIFEST
set -u
objdump=$1 objcopy=$2 program=$3 version=$4 manifest=$5
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=check.sh
source "$here/check.sh"
use_work_dir

headers=$("$objdump" -p "$program")
expect "console subsystem" grep -qP '^Subsystem\s+00000003\s+\(Windows CUI\)' <<<"$headers"

# Resource types in the directory: 0x10 version, 0x18 manifest; the manifest
# must have ID 1, the one Windows reads when it starts a process.
directory=$(sed -n '/The .rsrc Resource Directory section/,/Resources start/p' <<<"$headers")
type_ids=$(grep -oP '^[0-9a-f]+   Entry: ID: \K0x[0-9a-f]+' <<<"$directory" | sort | tr '\n' ' ')
expect "resource types are version and manifest: $type_ids" test "$type_ids" = "0x000010 0x000018 "
manifest_id=$(grep -A2 -P '^[0-9a-f]+   Entry: ID: 0x000018' <<<"$directory" |
    grep -oP '^[0-9a-f]+     Entry: ID: \K0x[0-9a-f]+')
expect "manifest resource ID 1 (got $manifest_id)" test "$manifest_id" = 0x000001

# The resource section as one string of hex digits.
"$objcopy" -O binary --only-section=.rsrc "$program" "$work/rsrc"
hex() { od -An -v -tx1 | tr -d ' \n'; }
rsrc=$(hex <"$work/rsrc")

# UTF-16LE hex of text, without terminator.
utf16() { printf '%s' "$1" | sed 's/./&\n/g' | while IFS= read -r c; do
    [ -n "$c" ] && printf '%02x00' "'$c"; done; }

# A String entry of the StringFileInfo block: length, value length in
# characters with terminator, type 1 (text), key, padding, value.
string_entry() {
    local key=$1 value=$2
    local value_words=$((${#value} + 1))
    printf '[0-9a-f]{4}%02x%02x0100%s0000(0000)?%s0000' \
        $((value_words & 255)) $((value_words >> 8)) "$(utf16 "$key")" "$(utf16 "$value")"
}
for pair in "ProductName=trelkey" "FileVersion=$version" "ProductVersion=$version" \
    "OriginalFilename=trelkey.exe"; do
    expect "version string $pair" grep -qE "$(string_entry "${pair%%=*}" "${pair#*=}")" <<<"$rsrc"
done
expect "FileDescription is present and not empty" \
    grep -qE "$(utf16 FileDescription)0000(0000)?([0-9a-f]{2}00){10,}0000" <<<"$rsrc"

# The fixed part: signature, structure version 1.0, then file and product
# version as major.minor, patch.0 in little-endian 32-bit words.
IFS=. read -r major minor patch <<<"$version"
le32() { printf '%02x%02x%02x%02x' $(($1 & 255)) $((($1 >> 8) & 255)) $((($1 >> 16) & 255)) $(($1 >> 24)); }
numbers=$(le32 $(((major << 16) | minor)))$(le32 $(((${patch:-0}) << 16)))
expect "fixed file and product version $version" grep -q "bd04effe00000100$numbers$numbers" <<<"$rsrc"

# The manifest is embedded byte for byte, and it asks for no elevation and
# names the systems it supports.
expect "manifest embedded" grep -q "$(hex <"$manifest")" <<<"$rsrc"
expect "manifest runs as invoker" \
    grep -q '<requestedExecutionLevel level="asInvoker" uiAccess="false"/>' "$manifest"
expect "manifest supports Windows 10 and 11" \
    grep -q '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' "$manifest"
expect "manifest supports Windows 7" \
    grep -q '<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>' "$manifest"

finish
