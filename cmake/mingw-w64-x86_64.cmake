# Cross-builds the Windows programs (64-bit) with Debian's MinGW-w64:
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KORVANE_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KORVANE_MINGW}-gcc)
set(CMAKE_CXX_COMPILER ${KORVANE_MINGW}-g++)
set(CMAKE_RC_COMPILER ${KORVANE_MINGW}-windres)

# Libraries and headers come from the MinGW tree only, never from the
# build machine's /usr; programs (cmake's helpers) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KORVANE_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and test discovery run the programs under Wine.
find_program(KORVANE_WINE NAMES wine wine64)
if(KORVANE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVANE_WINE})
endif()
