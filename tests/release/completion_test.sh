#!/usr/bin/env bash
# Loads the bash completion as bash does and calls it on a table of command
# lines, comparing COMPREPLY; the key and modifier names it offers must be
# the ones the program's usage text lists.
#   completion_test.sh COMPLETION_FILE PROGRAM
set -u
completion=$1 program=$2
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=check.sh
source "$here/check.sh"

# The completion is loaded into a shell that has no bash-completion
# library, and with bash's own word breaks (which hold ':' and '=', not ',').
COMP_WORDBREAKS=$' \t\n"\'><=;|&(:'
# shellcheck source=/dev/null
source "$completion"
expect_equal "registered for trelkey" "$(complete -p trelkey)" "complete -F _trelkey trelkey"
function_name=$(complete -p trelkey | sed -n 's/.* -F \([^ ]*\) .*/\1/p')

# complete_line WORDS...: the completions of the last word, one line, sorted.
complete_line() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    "$function_name" trelkey "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
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
trelkey|-s|KEY_QQ=
trelkey|-s|CTRL=
trelkey|-s|key_a,alt_r=key_a,ALT_RIGHT
trelkey|-s|0x28,SHIFT=0x28,SHIFT_LEFT 0x28,SHIFT_RIGHT
trelkey|-s|KEY_A,KEY=
trelkey|-s|KEY_A,CTRL_LEFT,=
trelkey|-s|KEY_A|KEY_B,CTRL_LEFT|KEY_C|KEY_F2=KEY_F2
trelkey|-s|KEY_A|KEY_B|KEY_C|KEY_D|KEY_=
TABLE

# Every key name after -s and every modifier after a comma: the names the
# program's usage text lists.
usage=$("$program")
usage_keys=$(grep -o 'KEY_[A-Z0-9]*' <<<"$usage" | sort -u | tr '\n' ' ' | sed 's/ $//')
usage_modifiers=$(grep -oE '\b(CTRL|SHIFT|ALT)_(LEFT|RIGHT)\b' <<<"$usage" | sort -u | sed 's/^/KEY_B,/' |
    tr '\n' ' ' | sed 's/ $//')
expect_equal "usage lists 48 keys and 6 modifiers" "$(wc -w <<<"$usage_keys $usage_modifiers")" 54
expect_equal "all keys" "$(complete_line trelkey -s "")" "$usage_keys"
expect_equal "all modifiers" "$(complete_line trelkey -s KEY_B,)" "$usage_modifiers"
finish
