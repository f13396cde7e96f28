#!/usr/bin/env bash
# The Windows builds, in the Linux build tree, and their tests under wine.
#   windows-builds.sh build ARCH SOURCE_DIR BUILD_DIR
#     cross-builds trelkey and its tests for ARCH (x86_64 or i686) with the
#     windows or windows-i686 preset in BUILD_DIR, and runs a probe program
#     under wine. Exits 77 (skipped) when the cross compiler is missing.
#   windows-builds.sh test BUILD_DIR REGEX
#     runs that build's tests matching REGEX under wine, or reports them
#     skipped: no build, no wine, no wine32, or a machine that runs no 32-bit
#     programs. A probe that fails for any other reason, in a new wine prefix
#     too, fails the build step.
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
prefix=$(dirname "$dir")/wineprefix
cmake --preset "$preset" -B "$dir" -DTRELKEY_WINEPREFIX="$prefix" &&
    cmake --build "$dir" -j"$(nproc)" || exit 1
probe() { ctest --test-dir "$dir" -R '^wine_probe$' --output-on-failure >"$dir/probe.log"; }
# Debian's 32-bit loader, from wine32:i386.
loader=/usr/lib/wine/wine
if ! command -v wine >/dev/null; then
    skip "wine is not installed (apt-get install wine wine64)"
elif ! probe; then
    cat "$dir/probe.log"
    # 64-bit programs run wherever wine is installed: a failure is an error.
    [ "$arch" = x86_64 ] && exit 1
    if [ -x /usr/lib/wine/wine64 ] && [ ! -e "$loader" ]; then
        skip "wine32 is not installed (dpkg --add-architecture i386, apt-get update, apt-get install wine32:i386)"
        exit 0
    fi
    # A prefix made while wine32 was missing or could not start has no
    # 32-bit half; only a new one tells whether the machine is the cause.
    echo "The probe did not run; trying again in a new wine prefix."
    rm -f "$prefix/trelkey-wine-packages"
    probe && exit 0
    cat "$dir/probe.log"
    error=$("$loader" --version 2>&1 >/dev/null)
    case $error in
    *"Exec format error"*)
        skip "this machine cannot run 32-bit programs ($loader: Exec format error), in a new wine prefix too" ;;
    *)
        echo "wine runs no 32-bit program here although its 32-bit loader starts; $loader --version: $error"
        exit 1 ;;
    esac
fi
exit 0
