#!/usr/bin/env bash
# trelkey.exe under wine inside the device lab's guest (boot.sh), through
# wine's SetupAPI, hid.dll and its HID bus (winebus.sys over hidraw), against
# real USB HID devices (lab.py wine).
#   wine_test.sh BUILD_DIR DIR PYTHON
# The programs are the trelkey_lab_* builds of the x86-64 Windows build tree
# BUILD_DIR (tests/windows); when windows-builds.sh reported it skipped, so is
# this test (77). The wine prefix is made in DIR, here: a first start of wine
# takes several times as long in the guest.
set -u
build=$1 dir=$2 python=$3
if [ -f "$build/skipped" ]; then cat "$build/skipped"; exit 77; fi
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
    "$python" "$(dirname "$0")/lab.py" wine - - "$build"/tests/windows/trelkey_lab_4B5{3,4,5}.exe
