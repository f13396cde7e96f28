#!/usr/bin/env bash
# Checks the generated man page: groff (and man-db, when installed) format it
# without a single warning, it has the sections a user looks for, it names
# the version and the identity texts as configured, and its key and modifier
# lists match the program's.
#   man_page_test.sh PAGE VERSION KEY_NAMES_SOURCE PROGRAM MANUFACTURER PRODUCT
set -u
page=$1 version=$2 key_source=$3 program=$4 manufacturer=$5 product=$6
here=$(cd "$(dirname "$0")" && pwd)
source "$here/check.sh"
skip_without groff

warnings=$(groff -man -ww -z "$page" 2>&1)
expect_equal "groff warnings" "$warnings" ""
if command -v man >/dev/null; then
    warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    expect_equal "man warnings" "$warnings" ""
fi

for section in NAME SYNOPSIS DESCRIPTION OPTIONS "KEY AND MODIFIER NAMES" \
    "EXIT STATUS" EXAMPLES FILES NOTES; do
    expect "section $section" grep -qx "\.SH \"\?$section\"\?" "$page"
done
expect_equal "title line" "$(head -1 "$page")" ".TH TRELKEY 1 \"\" \"trelkey $version\" \"User Commands\""
expect "no unreplaced @VARIABLE@" bash -c "! grep -q '@[A-Z_]*@' '$page'"

# The page as a reader sees it, one line each.
text=$(groff -man -Tutf8 -P-cbou -rLL=200n "$page" 2>/dev/null)
has_line() { grep -qE "$1" <<<"$text"; }

# Modifiers: every name in the program's table, with its bit.
modifier_rows=$(sed -n '/MODIFIER_ROWS\[\]/,/};/p' "$key_source" |
    grep -o '{"[A-Z_]*", 0x[0-9A-Fa-f]*}' | tr -d '{}",')
expect_equal "modifier table rows" "$(wc -l <<<"$modifier_rows")" 6
while read -r name bit; do
    expect "modifier $name $bit" has_line "^ +$name +$bit$"
done <<<"$modifier_rows"

# Keys: the page gives ranges; the usage text lists every name.
usage_keys=$("$program" | grep -o 'KEY_[A-Z0-9]*' | sort -u | tr '\n' ' ')
range_keys=$(printf 'KEY_%s\n' {A..Z} {0..9} F{1..12} | sort | tr '\n' ' ')
expect_equal "usage keys are the ranges the page names" "$usage_keys" "$range_keys"
expect "key ranges" has_line "KEY_A to KEY_Z, KEY_0 to KEY_9, KEY_F1 to KEY_F12"

for status in 0 1 2; do
    expect "exit status $status" has_line "^ +$status +[A-Z]"
done
for message in "Device open error." "Device read error." "Device write error."; do
    expect "message $message" grep -qF "\"$message\"" <<<"$(tr -s ' \n' ' ' <<<"$text")"
done
expect "identity texts" grep -qF "manufacturer \"$manufacturer\", product \"$product\")" \
    <<<"$(tr -s ' \n' ' ' <<<"$text")"
expect "udev rule in FILES" has_line "/usr/lib/udev/rules.d/70-trelkey.rules"
expect "0xNN form" has_line "exactly \"0x\" \(lower-case x\) followed by two"
finish
