# What every cross build for Linux with one of Debian's cross compilers
# shares; the toolchain file of each CPU sets cross_triple (Debian's name of
# the target, e.g. aarch64-linux-gnu) and CMAKE_SYSTEM_PROCESSOR (as uname -m
# names the CPU, and so qemu-user its emulator), then includes this file.

set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${cross_triple}-gcc)
set(CMAKE_CXX_COMPILER ${cross_triple}-g++)

# Headers and libraries of the target only; programs of this machine.
set(CMAKE_FIND_ROOT_PATH /usr/${cross_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Runs the sample log's generator during the build, and the tests, with the
# target's shared libraries (a static program needs none).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${CMAKE_SYSTEM_PROCESSOR} -L /usr/${cross_triple})
