#!/usr/bin/env bash
# trelkey.exe, the x86-64 and the i686 build, under wine inside the device
# lab's guest (boot.sh), through wine's SetupAPI, hid.dll and its HID bus
# (winebus.sys over hidraw), against real USB HID devices (lab.py wine).
#   wine_test.sh SOURCE_DIR BUILD_DIR PYTHON
# Builds both programs in BUILD_DIR for the identity wine reports for the
# lab's device, makes a wine prefix there, and boots the guest. Exits 77
# (skipped) when wine, wine32 or the cross compilers are missing.
set -u
here=$(dirname "$(readlink -f "$0")")
if [ "$1" = guest ]; then
    # wine reads the kernel's texts in the locale's character set.
    export WINEPREFIX=$3 WINEDEBUG=-all LANG=C.UTF-8
    status=0
    for exe in "${@:4}"; do
        echo "${exe%/src/*}:"
        "$2" "$here/lab.py" wine "$exe" - - || status=1
    done
    exit "$status"
fi
source=$1 dir=$2 python=$3
missing=()
command -v wine >/dev/null || missing+=("wine (apt-get install wine wine64)")
[ -x /usr/lib/wine/wine ] ||
    missing+=("wine32 (dpkg --add-architecture i386, apt-get install wine32:i386)")
for arch in x86_64 i686; do
    command -v "$arch-w64-mingw32-g++-posix" >/dev/null ||
        missing+=("$arch-w64-mingw32-g++-posix (apt-get install mingw-w64)")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "skipped: trelkey.exe under wine in the device lab needs ${missing[*]}"
    exit 77
fi
mkdir -p "$dir"
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
exec bash "$here/boot.sh" bash "$here/wine_test.sh" guest "$python" "$WINEPREFIX" "${exes[@]}"
