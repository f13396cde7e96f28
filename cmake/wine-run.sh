#!/usr/bin/env bash
# Runs a Windows program under wine with a private prefix inside the build
# tree (TRELKEY_WINEPREFIX) and wine's own messages silenced. The first start
# creates the prefix; a lock keeps parallel first starts from racing.
set -u
: "${TRELKEY_WINEPREFIX:?}"
export WINEPREFIX=$TRELKEY_WINEPREFIX
export WINEDEBUG=-all
# No Mono or Gecko: the tests need neither, and their installers would stall
# the first start on a machine without them.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            wineboot -i >/dev/null 2>&1
            wineserver -w
        fi
    ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
