# The hardening Linux distributions build their programs with, for the
# release programs (STREAMTRIM_HARDEN, on with STREAMTRIM_STATIC on Linux):
#
#   -fstack-protector-strong   a canary in every function with a local array
#                              or a local whose address is taken
#   -D_FORTIFY_SOURCE=3        the C library's checked copies of memcpy and
#                              the like where the size is known, even only at
#                              run time (2, sizes known when compiling, where
#                              the compiler lacks __builtin_dynamic_object_size)
#   -fstack-clash-protection   no stack growth that jumps over the guard page
#   -fcf-protection            (x86-64) the control-flow marks of Intel CET:
#                              ENDBR64 in the tool's functions only, for the
#                              static programs lack the IBT and SHSTK
#                              properties (Debian's static C library has
#                              neither, so the linker drops them)
#   -Wl,-z,relro,-z,now        relocations done at start-up, then read-only
#
# The flags go to streamtrim_core, whose users (the checker's code, both
# programs, the tests) take them; the link options to the two programs.
# .ci/check-packages reads the programs and fails when one lacks RELRO,
# immediate binding, the stack protector or ENDBR64, or carries IBT or SHSTK
# (which the developer's guide says it does not).
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)

set(hardening_flags -fstack-protector-strong -fstack-clash-protection)
if(STREAMTRIM_CPU STREQUAL "x86_64")
  list(APPEND hardening_flags -fcf-protection)
endif()
foreach(flag ${hardening_flags})
  string(MAKE_C_IDENTIFIER "STREAMTRIM_HAVE${flag}" have_flag)
  check_cxx_compiler_flag(${flag} ${have_flag})
  if(NOT ${have_flag})
    message(FATAL_ERROR "The compiler does not take ${flag}, which the release programs are built with")
  endif()
endforeach()

check_cxx_source_compiles("int main() { char b[4]; return static_cast<int>(__builtin_dynamic_object_size(b, 0)); }"
                          STREAMTRIM_HAVE_DYNAMIC_OBJECT_SIZE)
if(STREAMTRIM_HAVE_DYNAMIC_OBJECT_SIZE)
  set(fortify_level 3)
else()
  set(fortify_level 2)
endif()
message(STATUS "Hardened: ${hardening_flags} -D_FORTIFY_SOURCE=${fortify_level} -Wl,-z,relro,-z,now")

# FORTIFY needs optimisation (the C library warns without it); a compiler
# that defines _FORTIFY_SOURCE by itself (Ubuntu's) is overruled, not warned
# about.
target_compile_options(streamtrim_core PUBLIC ${hardening_flags}
  $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=${fortify_level}>)
foreach(program streamtrim streamtrim-verify)
  target_link_options(${program} PRIVATE LINKER:-z,relro,-z,now)
endforeach()
