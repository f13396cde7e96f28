#!/usr/bin/env bash
# Builds the Windows .zip from the cross build tree with CPack and checks its
# contents: trelkey.exe, and a README.txt and LICENSE.txt with CRLF line
# endings. PLATFORM is win64 or win32, as in the zip's name.
#   zip_test.sh CPACK_CONFIG VERSION PLATFORM
set -u
config=$1 version=$2 platform=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=check.sh
source "$here/check.sh"
use_work_dir
build_package ZIP "$config"
top=trelkey-$version-$platform
zip=$work/$top.zip
expect "package file name" test -f "$zip" || finish

# CMake reads zip files itself, so no unzip is needed.
listing=$(cd "$work" && cmake -E tar tf "$zip" | grep -v '/$' | sort)
expect_equal "contents" "$listing" "$(printf '%s\n' "$top/LICENSE.txt" "$top/README.txt" "$top/trelkey.exe")"

mkdir "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip")
readme=$work/unpacked/$top/README.txt
lines=$(wc -l <"$readme")
crlf_lines=$(grep -c $'\r$' "$readme")
expect "README has lines" test "$lines" -gt 20
expect_equal "every README line ends in CRLF" "$crlf_lines" "$lines"
expect "README names the version" grep -q "trelkey $version for Windows" "$readme"
expect "README shows -r" grep -q "trelkey -r" "$readme"
expect "no unreplaced @VARIABLE@" bash -c "! grep -q '@[A-Z_]*@' '$readme'"
license=$work/unpacked/$top/LICENSE.txt
expect "LICENSE.txt is the MIT licence in CRLF lines" \
    grep -qx $'Copyright (c) 2026 The trelkey developers\r' "$license"
exe=$work/unpacked/$top/trelkey.exe
expect "trelkey.exe is a PE file" bash -c "[ \"\$(head -c 2 '$exe')\" = MZ ]"
expect "packaged trelkey.exe keeps its manifest" grep -qa 'level="asInvoker"' "$exe"
# Without the NULs of UTF-16 the version strings read as plain text.
expect "packaged trelkey.exe keeps its version" grep -qa "ProductVersion$version" <<<"$(tr -d '\000' <"$exe")"
finish
