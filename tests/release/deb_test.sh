#!/usr/bin/env bash
# Checks what only this project knows of the .deb (lintian judges the rest by
# Debian's policy, the copyright file, changelog and man page among it): that
# it needs the C library alone. Then installs it as a user would and tries it
# (its rule is the built rule, the one the device lab tries on udev; the
# program is on PATH, man finds its page, bash-completion loads its
# completion and completes a table of command lines, -r without a device),
# and purges it.
# Run as root.
#   deb_test.sh DEB RULE_FILE
set -u
# shellcheck source=check.sh
source "$(dirname "$0")/check.sh"
depends=$(dpkg-deb -f "$1" Depends)
expect "Depends is libc6 alone: $depends" grep -qxE 'libc6 \(>= [0-9.]+\)' <<<"$depends"

if dpkg -s trelkey >/dev/null 2>&1; then apt-get purge -y trelkey >/dev/null; fi
apt-get install -y "$1" >/dev/null || { echo "FAIL apt-get install $1"; exit 1; }
expect "installed rule is the built rule" cmp /usr/lib/udev/rules.d/70-trelkey.rules "$2"
expect_equal "program on PATH" "$(command -v trelkey)" /usr/bin/trelkey
expect_equal "man -w trelkey" "$(man -w trelkey)" /usr/share/man/man1/trelkey.1.gz
expect "the configuration page installed" grep -q "const VENDOR_ID = 0x" /usr/share/trelkey/trelkey.html
# bash-completion loads the installed file on the first <tab> after "trelkey".
# A table of command lines (words separated by '|', the last one being
# completed) and their completions, sorted, then "(nospace)" when no blank
# is to follow; the lines completed otherwise. trelkey -l answers as with two
# units attached.
# shellcheck disable=SC2016 # the variables of the bash that loads the completion
wrong=$(LC_ALL=C bash -c '
    source /usr/share/bash-completion/bash_completion
    _completion_loader trelkey
    trelkey() { [ "$*" = -l ] && printf "1-1.2 /dev/hidraw3\n1-1.3 /dev/hidraw5 (Permission denied)\n"; }
    compopt() { [ "$*" = "-o nospace" ] && nospace=" (nospace)"; }
    function=$(complete -p trelkey | sed -n "s/.* -F \([^ ]*\) .*/\1/p")
    while IFS="=" read -r line expected; do
        IFS="|" read -r -a COMP_WORDS <<<"$line"
        [ "${line: -1}" = "|" ] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMPREPLY=() nospace=""
        "$function" trelkey "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        got=$(printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " ")$nospace
        [ "$got" = "$expected" ] || echo "$line: $got"
    done' <<'TABLE'
trelkey|=--version -d -i -l -r -s
trelkey|-i|=
trelkey|-i|1a86:e026|-s|key_ent=KEY_ENTER (nospace)
trelkey|-d|=1-1.2 1-1.3
trelkey|-r|-d|1-1.=1-1.2 1-1.3
trelkey|-d|1-1.3|=-r -s
trelkey|-d|1-1.3|-s|KEY_F1=KEY_F1 KEY_F10 KEY_F11 KEY_F12 KEY_F13 KEY_F14 KEY_F15 KEY_F16 KEY_F17 KEY_F18 KEY_F19 (nospace)
trelkey|-x|=
trelkey|-r|KEY_=
trelkey|-s|key_ent=KEY_ENTER (nospace)
trelkey|-s|KEY_A|kee=KEEP
trelkey|-s|KEEP,=
trelkey|-s|KEY_B,=KEY_B,ALT_LEFT KEY_B,ALT_RIGHT KEY_B,CTRL_LEFT KEY_B,CTRL_RIGHT KEY_B,GUI_LEFT KEY_B,GUI_RIGHT KEY_B,SHIFT_LEFT KEY_B,SHIFT_RIGHT
trelkey|-s|key_a,alt_r=key_a,ALT_RIGHT
trelkey|-s|KEY_A,CTRL_LEFT,,sh=KEY_A,CTRL_LEFT,,SHIFT_LEFT KEY_A,CTRL_LEFT,,SHIFT_RIGHT
trelkey|-s|,c=
trelkey|-s|KEY_A|KEY_B,CTRL_LEFT|KEY_C|KEY_F2=KEY_F2 KEY_F20 KEY_F21 KEY_F22 KEY_F23 KEY_F24 (nospace)
trelkey|-s|KEY_A|KEY_B|KEY_C|KEY_D|KEY_=
TABLE
)
expect_equal "installed completion, lines completed otherwise" "$wrong" ""
expect_equal "trelkey --version" "$(trelkey --version)" "trelkey $(dpkg-deb -f "$1" Version)"
# No device is attached here: the message ends in a blank, the status is 2.
expect_equal "trelkey -r without a device" "$(trelkey -r 2>&1 >/dev/null; echo "status $?")" \
    "Device open error. 
trelkey: no unit found with ID 1209:4b53, manufacturer \"Kestavo\", product \"Kestavo\"
status 2"

expect "purged (its postrm succeeds)" apt-get purge -y trelkey >/dev/null
finish
