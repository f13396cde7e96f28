# Cross-compiles trelkey for 64-bit Windows with MinGW-w64 (Debian packages
# g++-mingw-w64-x86-64-posix and mingw-w64). When wine is installed, programs
# built here run under it, so ctest runs the Windows tests.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TRELKEY_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TRELKEY_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRELKEY_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TRELKEY_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TRELKEY_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A self-contained executable: the C++ runtime, libgcc and winpthread are
# linked in, so only system DLLs are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(TRELKEY_WINE wine)
if(TRELKEY_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      env "TRELKEY_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix"
      "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
endif()
