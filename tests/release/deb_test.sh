#!/usr/bin/env bash
# Builds the .deb from the build tree with CPack and checks what dpkg sees:
# the files with their modes and owners, the control fields, the maintainer
# scripts, and that the packaged program and rule are the built ones.
#   deb_test.sh CPACK_CONFIG VERSION RULE_FILE
set -u
config=$1 version=$2 rule_file=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/check.sh"
skip_without dpkg-deb dpkg-shlibdeps
use_work_dir
build_package DEB "$config"
architecture=$(dpkg --print-architecture)
deb=$work/trelkey_${version}_${architecture}.deb
expect "package file name" test -f "$deb" || finish

# Mode, owner and path of each file (directories left out).
listing=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1, $2, $6}' | sort)
expected_listing=$(sort <<'LISTING'
-rw-r--r-- root/root ./usr/lib/udev/rules.d/70-trelkey.rules
-rw-r--r-- root/root ./usr/share/bash-completion/completions/trelkey
-rw-r--r-- root/root ./usr/share/doc/trelkey/copyright
-rw-r--r-- root/root ./usr/share/man/man1/trelkey.1.gz
-rwxr-xr-x root/root ./usr/bin/trelkey
LISTING
)
expect_equal "contents" "$listing" "$expected_listing"

field() { dpkg-deb -f "$deb" "$1"; }
expect_equal "Package" "$(field Package)" trelkey
expect_equal "Version" "$(field Version)" "$version"
expect_equal "Architecture" "$(field Architecture)" "$architecture"
expect_equal "Section" "$(field Section)" utils
expect_equal "Recommends" "$(field Recommends)" bash-completion
expect "Maintainer has an address" grep -qE '^[^<]+ <[^@>]+@[^>]+>$' <<<"$(field Maintainer)"
expect "Description" grep -q "trigger-to-keystroke" <<<"$(field Description)"
expect "long description" grep -qx " keystroke device: a one- or four-channel unit that types a keyboard key," \
    <<<"$(field Description)"
expect "cpack gave no warning" bash -c "! grep -qi warning '$work/cpack.log'"

dpkg-deb -e "$deb" "$work/control"
for script in postinst postrm; do
    expect "$script is executable" test -x "$work/control/$script"
    expect "$script reloads udev" grep -q "udevadm control --reload-rules" "$work/control/$script"
    expect "$script is valid sh" sh -n "$work/control/$script"
done
expect "postinst acts on configure" grep -q '"$1" = configure' "$work/control/postinst"
expect "postrm acts on remove" grep -q '"$1" = remove' "$work/control/postrm"

dpkg-deb -x "$deb" "$work/root"
# Depends comes from the libraries the program needs: libc alone in a plain
# build (the C++ runtime is linked in), more in a sanitizer build.
depends=$(field Depends)
needed=$(readelf -d "$work/root/usr/bin/trelkey" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
echo "program needs: $needed; Depends: $depends"
expect "Depends names libc6 with a version" grep -qE '(^|, )libc6 \(>= [0-9.]+\)(,|$)' <<<"$depends"
if [ "$needed" = "libc.so.6 " ]; then
    expect "Depends is libc6 alone" grep -qxE 'libc6 \(>= [0-9.]+\)' <<<"$depends"
fi
expect "rule is the built rule" cmp -s "$work/root/usr/lib/udev/rules.d/70-trelkey.rules" "$rule_file"
copyright=$work/root/usr/share/doc/trelkey/copyright
expect_equal "copyright file: format, holder, licence" "$(sed -n '1p;4,7p' "$copyright" 2>&1)" \
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Files: *
Copyright: 2026 The trelkey developers
License: Expat
 Permission is hereby granted, free of charge, to any person obtaining a copy"
expect "man page is gzip" gzip -t "$work/root/usr/share/man/man1/trelkey.1.gz"
expect "man page names the version" zgrep -q "trelkey $version" "$work/root/usr/share/man/man1/trelkey.1.gz"
expect "program is stripped" bash -c "! readelf -S '$work/root/usr/bin/trelkey' | grep -q '\.debug_info'"
"$work/root/usr/bin/trelkey" >"$work/usage" 2>&1
expect_equal "packaged program runs (usage, status 1)" "$?:$(head -c 15 "$work/usage")" "1:Usage : trelkey"
finish
