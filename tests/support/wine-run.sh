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
set -u
: "${TRELKEY_WINEPREFIX:?}"
export WINEPREFIX=$TRELKEY_WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko: the tests need neither, and their installers would stall
# the first start on a machine without them.
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=wine boot=wine
if [ -x /usr/lib/wine/wine64 ]; then
    boot=/usr/lib/wine/wine64
    [ "${TRELKEY_WINE_BITS:-}" = 64 ] && wine=$boot && export WINELOADER=$boot
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            WINELOADER=$boot "$boot" wineboot -i >/dev/null 2>&1
            wineserver -w
        fi
    ) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
