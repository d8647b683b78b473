# Cross build for 64-bit IBM Z (big-endian) Linux with Debian's cross
# compiler (g++-s390x-linux-gnu); ctest runs the tests under qemu-user
# (qemu-user):
#
#   cmake -S . -B build-s390x --toolchain cmake/s390x-linux-gnu.cmake
#   cmake --build build-s390x -j2 && ctest --test-dir build-s390x

set(cross_triple s390x-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-linux-cross.cmake)
