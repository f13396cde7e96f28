#!/usr/bin/env bash
# Checks what only this project knows of the generated man page (mandoc
# -T lint judges the rest): its title names the version and a date, and the
# page as a reader sees it gives the identity texts as configured and the
# key and modifier names with the modifiers' bits.
#   man_page_test.sh PAGE VERSION MANUFACTURER PRODUCT
set -u
# shellcheck source=check.sh
source "$(dirname "$0")/check.sh"
expect "title names the version" \
    grep -qxE "\.TH TRELKEY 1 [0-9]{4}-[0-9]{2}-[0-9]{2} \"trelkey $2\" \"User Commands\"" "$1"
# The rendered page on one line, blanks squeezed.
text=$(groff -man -Tutf8 -P-cbou -rLL=200n "$1" | tr -s ' \n' ' ')
for part in "manufacturer \"$3\", product \"$4\")" "KEY_A 0x04, KEY_B 0x05," \
    "KEY_0 0x27, KEY_ENTER 0x28, KEY_ESC 0x29," "KEY_INSERT 0x49," "KEY_F24 0x73." \
    "CTRL_LEFT 0x01 SHIFT_LEFT 0x02 ALT_LEFT 0x04 GUI_LEFT 0x08 CTRL_RIGHT 0x10 SHIFT_RIGHT 0x20 ALT_RIGHT 0x40 GUI_RIGHT 0x80"; do
    expect "shows: $part" grep -qF "$part" <<<"$text"
done
finish
