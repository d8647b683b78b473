# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler
# (g++-mingw-w64-x86-64-posix); ctest runs the tests under wine (wine64):
#
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake
#   cmake --build build-windows -j2 && ctest --test-dir build-windows
#
# The programs are linked statically, so that each .exe needs no DLL but
# those every Windows has.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libstdc++, libgcc or winpthread DLL beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# wine keeps its Windows installation (the prefix) in a folder of the build
# tree, made on its first start; WINEDEBUG=-all keeps its diagnostics out of
# the tests' output.
set(STREAMTRIM_WINEPREFIX "${CMAKE_BINARY_DIR}/wine"
    CACHE PATH "wine prefix for running the programs of this build")
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env WINEPREFIX=${STREAMTRIM_WINEPREFIX} WINEDEBUG=-all /usr/lib/wine/wine64)
