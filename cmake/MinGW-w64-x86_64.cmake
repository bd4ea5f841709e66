# 64-bit Windows from Debian with MinGW-w64. The -posix compilers: the win32 thread model of
# GCC 12 has no std::thread or std::mutex. The runtime is linked statically, so an .exe needs
# no DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_SYSTEM_VERSION 10.0)

set(QUENBY_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUENBY_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUENBY_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUENBY_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUENBY_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Test programs (and gtest_discover_tests) run under Wine, in a prefix inside the build folder:
# never the user's own, and without Wine's menu builder, which writes menu entries into HOME.
# Debian keeps wine64 out of PATH unless the "wine" wrapper is installed.
find_program(QUENBY_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QUENBY_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR
        /usr/bin/env WINEPREFIX=${CMAKE_BINARY_DIR}/wine-prefix WINEDEBUG=-all
        WINEDLLOVERRIDES=winemenubuilder.exe=d ${QUENBY_WINE})
endif()
