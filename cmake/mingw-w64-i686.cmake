# Cross-compiles trelkey for 32-bit Windows (Debian packages
# g++-mingw-w64-i686-posix and mingw-w64; the tests need wine32:i386, and a
# kernel and CPU that run 32-bit programs).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TRELKEY_MINGW_PREFIX i686-w64-mingw32)
set(TRELKEY_WINE_BITS 32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake")
