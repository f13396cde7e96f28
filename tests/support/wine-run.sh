#!/usr/bin/env bash
# Runs a Windows program under wine with a private prefix (TRELKEY_WINEPREFIX)
# and wine's own messages silenced. The first start creates the prefix; a
# lock keeps parallel first starts from racing.
#
# TRELKEY_WINE_BITS=64 runs the program on wine's 64-bit loader itself:
# /usr/bin/wine prefers the 32-bit loader whenever wine32 is installed, and
# that loader cannot even start on a kernel that runs no 32-bit programs, which
# would stop the 64-bit tests too. The prefix is made by the 64-bit loader for
# the same reason; it runs 32-bit programs as well where wine32 works.
#
# The prefix holds the list of wine's installed packages it was made with and
# is made again when that list changed: one made before wine32 was installed
# has no 32-bit half. Removing the list forces a new prefix. Each program
# holds the lock shared while it runs (wineserver inherits it), so a new
# prefix is never made under a running one.
set -u
# No Mono or Gecko: the tests need neither, and their installers would stall
# the first start on a machine without them.
export WINEPREFIX=${TRELKEY_WINEPREFIX:?} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=wine boot=wine
if [ -x /usr/lib/wine/wine64 ]; then
    boot=/usr/lib/wine/wine64
    [ "${TRELKEY_WINE_BITS:-}" = 64 ] && wine=$boot && export WINELOADER=$boot
fi
packages=$(dpkg-query -W -f='${binary:Package} ${Version} ${db:Status-Abbrev}\n' \
    'wine*' 'libwine*' 2>/dev/null)
list=$WINEPREFIX/trelkey-wine-packages
current() { [ -f "$list" ] && [ "$(cat "$list")" = "$packages" ]; }
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
if ! current; then
    flock 9
    if ! current; then
        wineserver -k >/dev/null 2>&1
        rm -rf "$WINEPREFIX"
        WINELOADER=$boot "$boot" wineboot -i >/dev/null 2>&1
        wineserver -w
        [ -f "$WINEPREFIX/system.reg" ] && printf '%s\n' "$packages" >"$list"
    fi
fi
flock -s 9
exec "$wine" "$@"
