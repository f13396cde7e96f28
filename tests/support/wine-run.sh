#!/usr/bin/env bash
# Runs a Windows program under wine with the build's own prefix
# (TRELKEY_WINEPREFIX) and wine's own messages silenced. The first start
# makes the prefix; a lock keeps parallel first starts from racing.
#
# TRELKEY_WINE_BITS=64 runs the program on wine's 64-bit loader itself:
# /usr/bin/wine prefers the 32-bit loader whenever wine32 is installed, and
# that loader cannot even start on a kernel that runs no 32-bit programs, which
# would stop the 64-bit tests too. The prefix is made by the 64-bit loader for
# the same reason; it runs 32-bit programs as well where wine32 works. Its
# winebus serves hidraw devices: the device lab runs the x86-64 build's
# programs in its prefix.
set -u
# No Mono or Gecko: the tests need neither, and their installers would stall
# the first start on a machine without them.
export WINEPREFIX=${TRELKEY_WINEPREFIX:?} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=wine boot=wine
if [ -x /usr/lib/wine/wine64 ]; then
    boot=/usr/lib/wine/wine64
    [ "${TRELKEY_WINE_BITS:-}" = 64 ] && wine=$boot && export WINELOADER=$boot
fi
mkdir -p "$(dirname "$WINEPREFIX")"
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    WINELOADER=$boot "$boot" wineboot -i >/dev/null 2>&1
    # winebus starts its udev (hidraw) bus only when its SDL bus is off.
    "$boot" reg add 'HKLM\System\CurrentControlSet\Services\winebus' /v "Enable SDL" /t REG_DWORD \
        /d 0 /f >/dev/null 2>&1
    wineserver -w
fi
exec 9>&-
exec "$wine" "$@"
