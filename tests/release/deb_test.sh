#!/usr/bin/env bash
# Checks what only this project knows of the .deb (lintian judges the rest by
# Debian's policy): the files it holds and that it needs the C library alone.
# Then installs it as a user would and tries it (its rule is the built rule,
# the one the device lab tries on udev; the program is on PATH, man finds its
# page, bash-completion loads its completion, -r without a device), purges it
# and checks that nothing is left. Run as root.
#   deb_test.sh DEB RULE_FILE
set -u
# shellcheck source=check.sh
source "$(dirname "$0")/check.sh"
expect_equal "files" "$(dpkg-deb -c "$1" | awk '$1 !~ /^d/ {print $6}' | sort)" \
    "./usr/bin/trelkey
./usr/lib/udev/rules.d/70-trelkey.rules
./usr/share/bash-completion/completions/trelkey
./usr/share/doc/trelkey/changelog.gz
./usr/share/doc/trelkey/copyright
./usr/share/man/man1/trelkey.1.gz"
depends=$(dpkg-deb -f "$1" Depends)
expect "Depends is libc6 alone: $depends" grep -qxE 'libc6 \(>= [0-9.]+\)' <<<"$depends"

if dpkg -s trelkey >/dev/null 2>&1; then apt-get purge -y trelkey >/dev/null; fi
apt-get install -y "$1" >/dev/null || { echo "FAIL apt-get install $1"; exit 1; }
expect "installed rule is the built rule" cmp /usr/lib/udev/rules.d/70-trelkey.rules "$2"
expect_equal "program on PATH" "$(command -v trelkey)" /usr/bin/trelkey
expect_equal "man -w trelkey" "$(man -w trelkey)" /usr/share/man/man1/trelkey.1.gz
# bash-completion loads the installed file on the first <tab> after "trelkey".
# shellcheck disable=SC2016 # the variables of the bash that loads the completion
expect_equal "installed completion of trelkey -s KEY_A,CT" "$(bash -c '
    source /usr/share/bash-completion/bash_completion
    _completion_loader trelkey
    COMP_WORDS=(trelkey -s KEY_A,CT) COMP_CWORD=2
    $(complete -p trelkey | sed -n "s/.* -F \([^ ]*\) .*/\1/p") trelkey KEY_A,CT -s
    echo "${COMPREPLY[*]}"')" "KEY_A,CTRL_LEFT KEY_A,CTRL_RIGHT"
# No device is attached here: the message ends in a blank, the status is 2.
expect_equal "trelkey -r without a device" "$(trelkey -r 2>&1 >/dev/null; echo "status $?")" \
    "Device open error. 
status 2"

apt-get purge -y trelkey >/dev/null
expect_equal "purged: no dpkg state" "$(dpkg-query -W -f='${db:Status-Abbrev}' trelkey 2>/dev/null)" ""
expect_equal "purged: files left" \
    "$(ls -d /usr/bin/trelkey /usr/lib/udev/rules.d/70-trelkey.rules /usr/share/doc/trelkey 2>/dev/null)" ""
finish
