# Cross-build Windows x86-64 DLLs and executables with Debian's MinGW-w64
# (package g++-mingw-w64-x86-64). The posix-threads flavour provides
# std::thread. With wine installed, CTest runs the Windows test programs
# through it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTRANE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTRANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRANE_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTRANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(KESTRANE_WINE NAMES wine wine64)
if(KESTRANE_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR "${KESTRANE_WINE}")
endif()
