#!/usr/bin/env bash
# The Windows builds, in the Linux build tree, and their tests under wine.
#   windows-builds.sh build ARCH SOURCE_DIR BUILD_DIR
#     cross-builds trelkey and its tests for ARCH (x86_64 or i686) with the
#     windows or windows-i686 preset in BUILD_DIR, and runs a probe program
#     under wine. Exits 77 (skipped) when the cross compiler is missing.
#   windows-builds.sh test BUILD_DIR REGEX
#     runs that build's tests matching REGEX under wine, or reports them
#     skipped: no build, no wine, or wine cannot run the probe (a 32-bit one
#     where the machine runs no 32-bit programs).
set -u
step=$1
if [ "$step" = test ]; then
    dir=$2
    if [ -f "$dir/skipped" ]; then cat "$dir/skipped"; exit 77; fi
    exec ctest --test-dir "$dir" -R "$3" --output-on-failure --no-tests=error -j2
fi
arch=$2 source=$3 dir=$4
mkdir -p "$dir"
rm -f "$dir/skipped"
skip() {
    echo "skipped: Windows $arch tests: $*" | tee "$dir/skipped"
}
missing=""
for tool in "$arch-w64-mingw32-g++-posix" "$arch-w64-mingw32-windres"; do
    command -v "$tool" >/dev/null || missing+=" $tool"
done
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=" googletest-sources"
if [ -n "$missing" ]; then
    skip "not installed:$missing (apt-get install g++-mingw-w64-${arch//_/-}-posix mingw-w64 googletest)"
    exit 77
fi
preset=windows
[ "$arch" = x86_64 ] || preset=windows-$arch
cd "$source" || exit 1
cmake --preset "$preset" -B "$dir" -DTRELKEY_WINEPREFIX="$(dirname "$dir")/wineprefix" &&
    cmake --build "$dir" -j"$(nproc)" || exit 1
if ! command -v wine >/dev/null; then
    skip "wine is not installed (apt-get install wine wine64)"
elif ! ctest --test-dir "$dir" -R '^wine_probe$' --output-on-failure >"$dir/probe.log"; then
    cat "$dir/probe.log"
    # 64-bit programs run wherever wine is installed: a failure is an error.
    [ "$arch" = x86_64 ] && exit 1
    reason="this machine cannot run 32-bit programs under wine (probe failed)"
    # Debian's layout: the 64-bit loader without the 32-bit one (wine32:i386).
    [ -x /usr/lib/wine/wine64 ] && [ ! -e /usr/lib/wine/wine ] &&
        reason+="; wine32 is not installed (dpkg --add-architecture i386, apt-get install wine32:i386)"
    skip "$reason"
fi
exit 0
