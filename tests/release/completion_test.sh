#!/usr/bin/env bash
# Loads the bash completion and calls it on a table of command lines,
# comparing COMPREPLY; the key and modifier names it offers must be the ones
# the program's usage text lists.
#   completion_test.sh COMPLETION_FILE PROGRAM
set -u
# shellcheck source=check.sh
source "$(dirname "$0")/check.sh"
# shellcheck source=/dev/null
source "$1"
expect_equal "registered for trelkey" "$(complete -p trelkey)" "complete -F _trelkey trelkey"

# complete_line WORDS...: the completions of the last word, one line, sorted.
complete_line() {
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=()
    _trelkey trelkey "${@: -1}" "${@: -2:1}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd ' '
}

# command line (words separated by '|', last word being completed) => completions
while IFS='=' read -r line expected; do
    IFS='|' read -r -a words <<<"$line"
    [ "${line: -1}" = '|' ] && words+=("")
    expect_equal "complete '${line}'" "$(complete_line "${words[@]}")" "$expected"
done <<'TABLE'
trelkey|=-r -s
trelkey|-x=
trelkey|-r|KEY_=
trelkey|-s|key_f1=KEY_F1 KEY_F10 KEY_F11 KEY_F12
trelkey|-s|CTRL=
trelkey|-s|key_a,alt_r=key_a,ALT_RIGHT
trelkey|-s|KEY_A,CTRL_LEFT,=
trelkey|-s|KEY_A|KEY_B,CTRL_LEFT|KEY_C|KEY_F2=KEY_F2
trelkey|-s|KEY_A|KEY_B|KEY_C|KEY_D|KEY_=
TABLE

# Every key name after -s and every modifier after a comma: the names the
# program's usage text lists.
usage=$("$2")
names() { grep -oE "$1" <<<"$usage" | sort -u | sed "s/^/$2/" | paste -sd ' '; }
keys=$(names 'KEY_[A-Z0-9]*' '') modifiers=$(names '\b(CTRL|SHIFT|ALT)_(LEFT|RIGHT)\b' KEY_B,)
expect_equal "usage lists 48 keys and 6 modifiers" "$(wc -w <<<"$keys $modifiers")" 54
expect_equal "all keys" "$(complete_line trelkey -s "")" "$keys"
expect_equal "all modifiers" "$(complete_line trelkey -s KEY_B,)" "$modifiers"
finish
