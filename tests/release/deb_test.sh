#!/usr/bin/env bash
# Checks what only this project knows of the .deb (lintian judges the rest by
# Debian's policy): the files it installs, its version, that it needs the C
# library alone and recommends bash-completion, and that its rule is the
# built rule.
#   deb_test.sh DEB VERSION RULE_FILE
set -u
deb=$1 version=$2 rule_file=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=check.sh
source "$here/check.sh"
use_work_dir

expect_equal "files" "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)" \
    "./usr/bin/trelkey
./usr/lib/udev/rules.d/70-trelkey.rules
./usr/share/bash-completion/completions/trelkey
./usr/share/doc/trelkey/changelog.gz
./usr/share/doc/trelkey/copyright
./usr/share/man/man1/trelkey.1.gz"
field() { dpkg-deb -f "$deb" "$1"; }
expect_equal "Version" "$(field Version)" "$version"
expect "Depends is libc6 alone: $(field Depends)" grep -qxE 'libc6 \(>= [0-9.]+\)' <<<"$(field Depends)"
expect_equal "Recommends" "$(field Recommends)" bash-completion
dpkg-deb -x "$deb" "$work/root"
expect "rule is the built rule" cmp "$work/root/usr/lib/udev/rules.d/70-trelkey.rules" "$rule_file"
finish
