#!/usr/bin/env bash
# trelkey.exe, the x86-64 and the i686 build, under wine inside the device
# lab's guest (boot.sh), through wine's SetupAPI, hid.dll and its HID bus
# (winebus.sys over hidraw), against real USB HID devices (lab.py wine).
#   wine_test.sh WINDOWS_BUILDS_DIR DIR PYTHON
# The programs are the trelkey_lab builds of the Windows build trees in
# WINDOWS_BUILDS_DIR/<arch> (tests/windows); a build that windows-builds.sh
# reported skipped is left out, saying why, and with neither the test is
# skipped (77). The wine prefix is made in DIR.
set -u
builds=$1 dir=$2 python=$3
exes=()
for arch in x86_64 i686; do
    if [ -f "$builds/$arch/skipped" ]; then cat "$builds/$arch/skipped"; continue; fi
    exes+=("$builds/$arch/tests/windows/trelkey_lab.exe")
done
[ ${#exes[@]} -gt 0 ] || exit 77
mkdir -p "$dir"
export WINEPREFIX=$dir/prefix WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # winebus starts its udev (hidraw) bus only when its SDL bus is off.
    { wine wineboot -i && wine reg add 'HKLM\System\CurrentControlSet\Services\winebus' \
        /v "Enable SDL" /t REG_DWORD /d 0 /f && wineserver -w; } >/dev/null 2>&1 ||
        { echo "wine could not make its prefix in $WINEPREFIX"; exit 1; }
fi
# In the guest wine reads the kernel's texts in the locale's character set.
exec bash "$(dirname "$0")/boot.sh" env "WINEPREFIX=$WINEPREFIX" WINEDEBUG=-all LANG=C.UTF-8 \
    "$python" "$(dirname "$0")/lab.py" wine - - "${exes[@]}"
