#!/usr/bin/env bash
# trelkey.exe under wine inside the device lab's guest (boot.sh), through
# wine's SetupAPI, hid.dll and its HID bus (winebus.sys over hidraw), against
# real USB HID devices (lab.py wine).
#   wine_test.sh BUILD_DIR
# The programs are the trelkey_lab_* builds of the x86-64 Windows build tree
# BUILD_DIR (tests/windows), run in its wine prefix, which its probe made (the
# guest writes to a copy); when windows-builds.sh reported the build skipped,
# so is this test (77).
set -u
build=$1
if [ -f "$build/skipped" ]; then cat "$build/skipped"; exit 77; fi
# In the guest wine reads the kernel's texts in the locale's character set.
# No Mono or Gecko, as in the build's other wine runs.
exec bash "$(dirname "$0")/boot.sh" env "WINEPREFIX=$build/wineprefix" WINEDEBUG=-all LANG=C.UTF-8 \
    WINEDLLOVERRIDES="mscoree,mshtml=" WINELOADER=/usr/lib/wine/wine64 \
    /usr/bin/python3 "$(dirname "$0")/lab.py" wine - - "$build"/tests/windows/trelkey_lab_4B5{3,4,5}.exe
