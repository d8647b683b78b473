# Cross build for 64-bit ARM Linux with Debian's cross compiler
# (g++-aarch64-linux-gnu); ctest runs the tests under qemu-user (qemu-user):
#
#   cmake -S . -B build-aarch64 --toolchain cmake/aarch64-linux-gnu.cmake
#   cmake --build build-aarch64 -j2 && ctest --test-dir build-aarch64

set(cross_triple aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-linux-cross.cmake)
