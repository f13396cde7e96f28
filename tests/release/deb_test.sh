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
# bash-completion loads the installed file on the first <tab> after "trelkey".
# A table of command lines (words separated by '|', the last one being
# completed) and their completions, sorted; the lines completed otherwise.
# trelkey -l answers as with two units attached.
# shellcheck disable=SC2016 # the variables of the bash that loads the completion
wrong=$(LC_ALL=C bash -c '
    source /usr/share/bash-completion/bash_completion
    _completion_loader trelkey
    trelkey() { [ "$*" = -l ] && printf "1-1.2 /dev/hidraw3\n1-1.3 /dev/hidraw5 (Permission denied)\n"; }
    function=$(complete -p trelkey | sed -n "s/.* -F \([^ ]*\) .*/\1/p")
    while IFS="=" read -r line expected; do
        IFS="|" read -r -a COMP_WORDS <<<"$line"
        [ "${line: -1}" = "|" ] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMPREPLY=()
        "$function" trelkey "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        got=$(printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " ")
        [ "$got" = "$expected" ] || echo "$line: $got"
    done' <<'TABLE'
trelkey|=--version -d -l -r -s
trelkey|-d|=1-1.2 1-1.3
trelkey|-r|-d|1-1.=1-1.2 1-1.3
trelkey|-d|1-1.3|=-r -s
trelkey|-d|1-1.3|-s|KEY_F1=KEY_F1 KEY_F10 KEY_F11 KEY_F12
trelkey|-x|=
trelkey|-r|KEY_=
trelkey|-s|=KEY_0 KEY_1 KEY_2 KEY_3 KEY_4 KEY_5 KEY_6 KEY_7 KEY_8 KEY_9 KEY_A KEY_B KEY_C KEY_D KEY_E KEY_F KEY_F1 KEY_F10 KEY_F11 KEY_F12 KEY_F2 KEY_F3 KEY_F4 KEY_F5 KEY_F6 KEY_F7 KEY_F8 KEY_F9 KEY_G KEY_H KEY_I KEY_J KEY_K KEY_L KEY_M KEY_N KEY_O KEY_P KEY_Q KEY_R KEY_S KEY_T KEY_U KEY_V KEY_W KEY_X KEY_Y KEY_Z
trelkey|-s|KEY_B,=KEY_B,ALT_LEFT KEY_B,ALT_RIGHT KEY_B,CTRL_LEFT KEY_B,CTRL_RIGHT KEY_B,SHIFT_LEFT KEY_B,SHIFT_RIGHT
trelkey|-s|key_a,alt_r=key_a,ALT_RIGHT
trelkey|-s|KEY_A,CTRL_LEFT,=
trelkey|-s|KEY_A|KEY_B,CTRL_LEFT|KEY_C|KEY_F2=KEY_F2
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
