# Cross build for 64-bit Windows with MinGW-w64 (Debian's
# g++-mingw-w64-x86-64-posix); programs built here run under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CAPLIB_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CAPLIB_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CAPLIB_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${CAPLIB_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${CAPLIB_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The compiler's runtime (libstdc++, libgcc, winpthread) is linked in, so
# that caplib.dll and the test programs need no MinGW DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

find_program(CAPLIB_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(CAPLIB_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CAPLIB_WINE})
endif()
