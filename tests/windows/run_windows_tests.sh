#!/usr/bin/env bash
# Cross-builds trelkey.exe and runs its tests under wine, or reports them as
# skipped (exit 77) when the cross compiler or wine is not installed.
#   run_windows_tests.sh SOURCE_DIR
set -u
cd "$1" || exit 1
missing=""
for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-objdump wine; do
    command -v "$tool" >/dev/null || missing+=" $tool"
done
if [ ! -f /usr/src/googletest/CMakeLists.txt ]; then missing+=" googletest-sources"; fi
if [ -n "$missing" ]; then
    echo "Windows tests skipped: not installed:$missing"
    echo "Install with: apt-get install g++-mingw-w64-x86-64-posix mingw-w64 wine wine64 googletest"
    exit 77
fi
cmake --workflow --preset windows-test
