#!/usr/bin/env bash
# trelkey.exe, the x86-64 and the i686 build, under wine inside the device
# lab's guest (boot.sh), through wine's SetupAPI, hid.dll and its HID bus
# (winebus.sys over hidraw), against real USB HID devices (lab.py wine).
#   wine_test.sh SOURCE_DIR BUILD_DIR PYTHON
# Builds both programs in BUILD_DIR for the identity wine reports for the
# lab's device, makes a wine prefix there, and boots the guest. Exits 77
# (skipped) when wine, wine32 or the cross compilers are missing.
set -u
source=$1 dir=$2 python=$3
missing=()
for need in wine /usr/lib/wine/wine {x86_64,i686}-w64-mingw32-g++-posix; do  # the second is wine32's
    command -v "$need" >/dev/null || missing+=("$need")
done
[ ${#missing[@]} -eq 0 ] || { echo "skipped: trelkey.exe under wine in the device lab needs ${missing[*]}" \
    "(dpkg --add-architecture i386, apt-get install wine wine64 wine32:i386 mingw-w64)"; exit 77; }
exes=()
for preset in windows windows-i686; do
    # wine's hidraw bus gives "hidraw" as the maker and the kernel's HID name
    # as the product: for the lab's device, "Trelkéy ?? Kestavo".
    (cd "$source" && cmake --preset "$preset" -B "$dir/$preset" -DTRELKEY_BUILD_TESTS=OFF \
        -DTRELKEY_MANUFACTURER=hidraw "-DTRELKEY_PRODUCT=Trelkéy ?? Kestavo" >/dev/null &&
        cmake --build "$dir/$preset" -j2 >/dev/null) || exit 1
    exes+=("$dir/$preset/src/trelkey.exe")
done
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
