# What every cross build for Linux with one of Debian's cross compilers
# shares; the toolchain file of each CPU sets cross_triple (Debian's name of
# the target, e.g. aarch64-linux-gnu) and CMAKE_SYSTEM_PROCESSOR (as uname -m
# names the CPU, and so qemu-user its emulator), then includes this file.

set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${cross_triple}-gcc)
set(CMAKE_CXX_COMPILER ${cross_triple}-g++)

# Headers and libraries of the target only: the cross compiler's, and the
# target's Debian packages a build fetches and unpacks into a folder of its
# own (cmake/compression_libraries.cmake), searched where Debian puts them
# (usr/include, usr/lib/TRIPLE); programs of this machine.
set(STREAMTRIM_DEBIAN_PACKAGES_ROOT ${CMAKE_BINARY_DIR}/debian-packages/${cross_triple})
set(CMAKE_FIND_ROOT_PATH /usr/${cross_triple} ${STREAMTRIM_DEBIAN_PACKAGES_ROOT})
set(CMAKE_LIBRARY_ARCHITECTURE ${cross_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Runs the sample log's generator during the build, and the tests, with the
# target's shared libraries (a static program needs none).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${CMAKE_SYSTEM_PROCESSOR} -L /usr/${cross_triple})
