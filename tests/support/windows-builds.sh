#!/usr/bin/env bash
# The Windows builds, in the Linux build tree, and their tests under wine.
#   windows-builds.sh build ARCH SOURCE_DIR BUILD_DIR
#     cross-builds trelkey and its tests for ARCH (x86_64 or i686) with the
#     windows or windows-i686 preset in BUILD_DIR, and runs a probe program
#     under wine, in the build's own wine prefix. Exits 77 (skipped) when the
#     cross compiler is missing.
#   windows-builds.sh test BUILD_DIR REGEX
#     runs that build's tests matching REGEX under wine, or reports them
#     skipped: no build, no wine, no wine32, or a machine that runs no 32-bit
#     programs. A probe that fails for any other reason fails the build step.
#     An i686 test that fails is run once more, and fails only when it fails
#     again: wine32 kills the i686 GoogleTest program with SIGSEGV as it
#     exits, after its report of passing, in about one run of a hundred. The
#     x86-64 tests run once.
set -u
if [ "$1" = test ]; then
    if [ -f "$2/skipped" ]; then cat "$2/skipped"; exit 77; fi
    repeat=()
    [[ $2 != */i686 ]] || repeat=(--repeat until-pass:2)
    exec ctest --test-dir "$2" -R "$3" --output-on-failure --no-tests=error -j2 "${repeat[@]}"
fi
arch=$2 dir=$4
mkdir -p "$dir"
rm -f "$dir/skipped"
skip() { echo "skipped: Windows $arch tests: $*" | tee "$dir/skipped"; }
if ! command -v "$arch-w64-mingw32-g++-posix" >/dev/null || [ ! -f /usr/src/googletest/CMakeLists.txt ]; then
    skip "the cross compiler or GoogleTest's sources are not installed (apt-get install g++-mingw-w64-${arch//_/-}-posix mingw-w64 googletest)"
    exit 77
fi
preset=windows
[ "$arch" = x86_64 ] || preset=windows-$arch
cd "$3" || exit 1
cmake --preset "$preset" -B "$dir" -DTRELKEY_WINEPREFIX="$dir/wineprefix" && cmake --build "$dir" -j"$(nproc)" || exit 1
command -v wine >/dev/null || { skip "wine is not installed (apt-get install wine wine64)"; exit 0; }
# Debian's 32-bit loader, from wine32:i386. CI names apt's reason when it
# could not install it.
loader=/usr/lib/wine/wine
if [ "$arch" = i686 ] && [ -x /usr/lib/wine/wine64 ] && [ ! -e "$loader" ]; then
    skip "${TRELKEY_NO_WINE32:-wine32 is not installed (dpkg --add-architecture i386, apt-get update, apt-get install wine32:i386)}"
    exit 0
fi
ctest --test-dir "$dir" -R '^wine_probe$' --output-on-failure && exit 0
# 64-bit programs run wherever wine is installed, and 32-bit ones wherever
# the 32-bit loader starts: a failure is an error.
error=$("$loader" --version 2>&1 >/dev/null)
if [ "$arch" = x86_64 ] || [[ $error != *"Exec format error"* ]]; then
    echo "wine did not run the probe; $loader --version: $error"
    exit 1
fi
skip "this machine cannot run 32-bit programs ($loader: Exec format error)"
