#!/usr/bin/env bash
# Checks what only this project knows of the .deb (lintian judges the rest by
# Debian's policy): the files it installs, that it needs the C library alone,
# and that its rule is the built rule, the one the device lab tries on udev.
#   deb_test.sh DEB RULE_FILE
set -u
deb=$1
# shellcheck source=check.sh
source "$(dirname "$0")/check.sh"
use_work_dir

expect_equal "files" "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)" \
    "./usr/bin/trelkey
./usr/lib/udev/rules.d/70-trelkey.rules
./usr/share/bash-completion/completions/trelkey
./usr/share/doc/trelkey/changelog.gz
./usr/share/doc/trelkey/copyright
./usr/share/man/man1/trelkey.1.gz"
depends=$(dpkg-deb -f "$deb" Depends)
expect "Depends is libc6 alone: $depends" grep -qxE 'libc6 \(>= [0-9.]+\)' <<<"$depends"
dpkg-deb -x "$deb" "$work"
expect "rule is the built rule" cmp "$work/usr/lib/udev/rules.d/70-trelkey.rules" "$2"
finish
