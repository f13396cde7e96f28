#!/usr/bin/env bash
# Checks what only this project knows of the generated man page (mandoc
# -T lint judges the rest): its title names the version and a date, it gives
# the identity texts as configured, and its key and modifier lists are the
# program's.
#   man_page_test.sh PAGE VERSION KEY_NAMES_SOURCE PROGRAM MANUFACTURER PRODUCT
set -u
page=$1
# shellcheck source=check.sh
source "$(dirname "$0")/check.sh"
expect "title names the version" \
    grep -qxE "\.TH TRELKEY 1 [0-9]{4}-[0-9]{2}-[0-9]{2} \"trelkey $2\" \"User Commands\"" "$page"

# The page as a reader sees it, one line each.
text=$(groff -man -Tutf8 -P-cbou -rLL=200n "$page")
expect "identity texts" grep -qF "manufacturer \"$5\", product \"$6\")" <<<"$(tr -s ' \n' ' ' <<<"$text")"

# Modifiers: every name in the program's table, with its bit.
modifier_rows=$(sed -n '/MODIFIER_ROWS\[\]/,/};/p' "$3" | grep -o '{"[A-Z_]*", 0x[0-9A-Fa-f]*}' | tr -d '{}",')
expect_equal "modifier table rows" "$(wc -l <<<"$modifier_rows")" 6
while read -r name bit; do
    expect "modifier $name $bit" grep -qE "^ +$name +$bit$" <<<"$text"
done <<<"$modifier_rows"

# Keys: the page gives ranges; the usage text lists every name.
expect_equal "usage keys are the ranges the page names" "$("$4" | grep -o 'KEY_[A-Z0-9]*' | sort -u)" \
    "$(printf 'KEY_%s\n' {A..Z} {0..9} F{1..12} | sort)"
expect "key ranges" grep -qF "KEY_A to KEY_Z, KEY_0 to KEY_9, KEY_F1 to KEY_F12" <<<"$text"
finish
