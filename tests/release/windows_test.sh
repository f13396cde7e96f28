#!/usr/bin/env bash
# What only this project knows of a Windows build: trelkey.exe imports system
# DLLs alone, is a console program, and carries its manifest as resource 1
# (the one Windows reads at process start) and its version; the zip holds
# the program and the configuration page with a README.txt (UTF-8, with a
# byte-order mark) and LICENSE.txt in CRLF lines.
#   windows_test.sh OBJDUMP PROGRAM.exe MANIFEST CPACK_CONFIG VERSION PLATFORM
set -u
objdump=$1 exe=$2 version=$5
# shellcheck source=check.sh
source "$(dirname "$0")/check.sh"
use_work_dir

headers=$("$objdump" -p "$exe")
expect_equal "imports" "$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr '[:upper:]' '[:lower:]' |
    sort -u | paste -sd ' ')" "kernel32.dll msvcrt.dll setupapi.dll"
expect "console subsystem" grep -qP '^Subsystem\s+00000003\s+\(Windows CUI\)' <<<"$headers"
# The resource directory: type 0x18 (manifest) holds one entry, ID 1.
expect "manifest is resource 1" grep -qzP '\n\s*\S+\s+Entry: ID: 0x000018[^\n]*\n[^\n]*\n\s*\S+\s+Entry: ID: 0x000001' <<<"$headers"
"${objdump%objdump}objcopy" -O binary --only-section=.rsrc "$exe" "$work/rsrc"
hex() { od -An -v -tx1 | tr -d ' \n'; }
expect "manifest embedded byte for byte" grep -q "$(hex <"$3")" <<<"$(hex <"$work/rsrc")"
# Without the NULs of UTF-16 the version strings read as plain text.
for string in ProductNametrelkey FileVersion"$version" ProductVersion"$version"; do
    expect "version string $string" grep -qaF "$string" < <(tr -d '\000' <"$work/rsrc")
done

cpack --config "$4" -G ZIP -B "$work" >"$work/cpack.log" || { cat "$work/cpack.log"; exit 1; }
top=trelkey-$version-$6
expect_equal "zip contents" "$(cd "$work" && cmake -E tar tf "$top.zip" | grep -v '/$' | sort)" \
    "$(printf '%s\n' "$top/LICENSE.txt" "$top/README.txt" "$top/trelkey.exe" "$top/trelkey.html")"
(cd "$work" && cmake -E tar xf "$top.zip")
expect_equal "lines not in CRLF" "$(cd "$work/$top" && grep -vc $'\r$' README.txt LICENSE.txt)" \
    $'README.txt:0\nLICENSE.txt:0'
expect "README names the version" grep -q "trelkey $version for Windows" "$work/$top/README.txt"
# Notepad on Windows 7 reads a file without a byte-order mark in the ANSI
# code page, and the device's texts in it are UTF-8.
expect_equal "README starts with UTF-8's byte-order mark" "$(head -c 3 "$work/$top/README.txt" | hex)" efbbbf
expect "README is UTF-8" iconv -f UTF-8 -t UTF-8 -o /dev/null "$work/$top/README.txt"
finish
