# Cross-compiles trelkey for 64-bit Windows (Debian packages
# g++-mingw-w64-x86-64-posix and mingw-w64; wine and wine64 run the tests).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TRELKEY_MINGW_PREFIX x86_64-w64-mingw32)
set(TRELKEY_WINE_BITS 64)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake")
