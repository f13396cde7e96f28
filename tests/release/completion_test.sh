#!/usr/bin/env bash
# Loads the bash completion and calls it on a table of command lines,
# comparing COMPREPLY.
#   completion_test.sh COMPLETION_FILE
set -u
# shellcheck source=check.sh
source "$(dirname "$0")/check.sh"
# shellcheck source=/dev/null
source "$1"
expect_equal "registered for trelkey" "$(complete -p trelkey)" "complete -F _trelkey trelkey"
export LC_ALL=C

# command line (words separated by '|', last word being completed) => completions
while IFS='=' read -r line expected; do
    IFS='|' read -r -a COMP_WORDS <<<"$line"
    [ "${line: -1}" = '|' ] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMPREPLY=()
    _trelkey trelkey "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    expect_equal "complete '$line'" "$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' ')" \
        "$expected"
done <<'TABLE'
trelkey|=-r -s
trelkey|-x=
trelkey|-r|KEY_=
trelkey|-s|=KEY_0 KEY_1 KEY_2 KEY_3 KEY_4 KEY_5 KEY_6 KEY_7 KEY_8 KEY_9 KEY_A KEY_B KEY_C KEY_D KEY_E KEY_F KEY_F1 KEY_F10 KEY_F11 KEY_F12 KEY_F2 KEY_F3 KEY_F4 KEY_F5 KEY_F6 KEY_F7 KEY_F8 KEY_F9 KEY_G KEY_H KEY_I KEY_J KEY_K KEY_L KEY_M KEY_N KEY_O KEY_P KEY_Q KEY_R KEY_S KEY_T KEY_U KEY_V KEY_W KEY_X KEY_Y KEY_Z
trelkey|-s|KEY_B,=KEY_B,ALT_LEFT KEY_B,ALT_RIGHT KEY_B,CTRL_LEFT KEY_B,CTRL_RIGHT KEY_B,SHIFT_LEFT KEY_B,SHIFT_RIGHT
trelkey|-s|key_f1=KEY_F1 KEY_F10 KEY_F11 KEY_F12
trelkey|-s|CTRL=
trelkey|-s|key_a,alt_r=key_a,ALT_RIGHT
trelkey|-s|KEY_A,CTRL_LEFT,=
trelkey|-s|KEY_A|KEY_B,CTRL_LEFT|KEY_C|KEY_F2=KEY_F2
trelkey|-s|KEY_A|KEY_B|KEY_C|KEY_D|KEY_=
TABLE
finish
