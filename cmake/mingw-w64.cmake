# Cross-compiling trelkey for Windows with MinGW-w64, shared by the toolchain
# files of each architecture (mingw-w64-x86_64.cmake, mingw-w64-i686.cmake),
# which set TRELKEY_MINGW_PREFIX, CMAKE_SYSTEM_PROCESSOR and TRELKEY_WINE_BITS
# first. When wine is installed, programs built here run under it, so ctest
# runs the Windows tests.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TRELKEY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRELKEY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TRELKEY_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TRELKEY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A self-contained executable: the C++ runtime, libgcc and winpthread are
# linked in, so only system DLLs are imported. The linker writes no time in
# the PE header (it would by default), so a build does not depend on when it
# ran; CPack's strip dates the packaged program with SOURCE_DATE_EPOCH.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")

find_program(TRELKEY_WINE wine)
if(TRELKEY_WINE)
  # The build's own prefix (it takes 700 MB), made at the first start.
  set(TRELKEY_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of the tests")
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env "TRELKEY_WINEPREFIX=${TRELKEY_WINEPREFIX}" "TRELKEY_WINE_BITS=${TRELKEY_WINE_BITS}"
      "${CMAKE_CURRENT_LIST_DIR}/../tests/support/wine-run.sh")
endif()
