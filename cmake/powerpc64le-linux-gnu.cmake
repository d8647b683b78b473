# Cross build for 64-bit little-endian IBM POWER Linux with Debian's cross
# compiler (g++-powerpc64le-linux-gnu); ctest runs the tests under qemu-user
# (qemu-user):
#
#   cmake -S . -B build-ppc64le --toolchain cmake/powerpc64le-linux-gnu.cmake
#   cmake --build build-ppc64le -j2 && ctest --test-dir build-ppc64le

set(cross_triple powerpc64le-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/debian-linux-cross.cmake)
