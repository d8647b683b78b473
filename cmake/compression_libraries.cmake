# zlib and libzstd, with which both programs read gzip and zstd logs
# directly: the target streamtrim_compression_libraries carries their headers
# and libraries to whatever links it. The whole libraries come in, encoders
# too (the tests make compressed logs with them); a static program takes
# only the objects it uses, the decoders. This file is the one place that
# knows where they come from, one section per system below, and it tells the
# packages what they hold:
#
#   STREAMTRIM_COMPRESSION_LICENCE_TEXT   the libraries' names, versions and
#                                         licence texts, which follow the
#                                         project's own licence in every
#                                         package (cmake/install.cmake)
#   STREAMTRIM_COMPRESSION_SOURCES        their Debian source packages with
#                                         versions, where Debian's packages
#                                         give them, for the .deb's
#                                         Built-Using (cmake/package_c_library.cmake)
#   STREAMTRIM_COMPRESSION_BUNDLED        the RPM's bundled(...) provides

include(${CMAKE_CURRENT_LIST_DIR}/debian_packages.cmake)

# A static library found by its file name: a plain search finds the shared
# library (or MinGW's DLL import library, libz.dll.a) first, which a program
# that must need no library of the system cannot take.
macro(compression_find_static variable file)
  # A shared library found by an earlier configuration is searched again.
  if(NOT ${variable} MATCHES "(^|/)${file}$")
    unset(${variable} CACHE)
  endif()
  find_library(${variable} NAMES ${file} ${ARGN})
  if(NOT ${variable})
    message(FATAL_ERROR "${file} not found: install the library's static development package "
                        "(libzstd-dev, zlib1g-dev, libz-mingw-w64-dev, mingw-w64-x86_64-zstd ...)")
  endif()
endmacro()

# The Debian package that installed a file, its copyright file and its source
# package with version, for the licence and Built-Using; nothing where dpkg
# does not know the file.
function(compression_debian_owner library file)
  find_program(STREAMTRIM_DPKG_QUERY dpkg-query)
  if(NOT STREAMTRIM_DPKG_QUERY)
    return()
  endif()
  file(REAL_PATH "${file}" real)
  foreach(path "${file}" "${real}")
    execute_process(COMMAND ${STREAMTRIM_DPKG_QUERY} -S "${path}" OUTPUT_VARIABLE owner
                    RESULT_VARIABLE status ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(status EQUAL 0)
      break()
    endif()
  endforeach()
  string(REGEX REPLACE "[:,].*" "" package "${owner}")
  if(NOT status EQUAL 0 OR package STREQUAL "")
    return()
  endif()
  execute_process(COMMAND ${STREAMTRIM_DPKG_QUERY} -W "-f=\${source:Package} (= \${source:Version})" ${package}
                  OUTPUT_VARIABLE source OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(${library}_licence_file /usr/share/doc/${package}/copyright PARENT_SCOPE)
  set(${library}_debian_source "${source}" PARENT_SCOPE)
endfunction()

# libzstd compiled from its source: the whole library, as Debian builds it
# (the legacy formats from v0.5 on), without threads or assembly (the
# assembly serves x86-64 Linux and macOS only, and its one use would be an
# Intel Mac's Huffman decoding).
function(compression_zstd_from_source source)
  file(GLOB sources ${source}/lib/common/*.c ${source}/lib/compress/*.c ${source}/lib/decompress/*.c
       ${source}/lib/legacy/zstd_v05.c ${source}/lib/legacy/zstd_v06.c ${source}/lib/legacy/zstd_v07.c)
  if(NOT EXISTS ${source}/lib/zstd.h OR NOT sources)
    message(FATAL_ERROR "${source}: no zstd library sources (lib/zstd.h, lib/common, lib/compress, lib/decompress)")
  endif()
  add_library(zstd_from_source STATIC ${sources})
  target_compile_definitions(zstd_from_source PRIVATE ZSTD_DISABLE_ASM ZSTD_LEGACY_SUPPORT=5 XXH_NAMESPACE=ZSTD_)
  # Its own code, not ours: our warnings are not for it.
  target_compile_options(zstd_from_source PRIVATE -w)
  set(STREAMTRIM_ZSTD_INCLUDE_DIR ${source}/lib PARENT_SCOPE)
  set(STREAMTRIM_ZSTD_LIBRARY zstd_from_source PARENT_SCOPE)
endfunction()

# zlib compiled from its source, as its own build makes libz.
function(compression_zlib_from_source source)
  set(sources)
  foreach(name adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate
               inftrees trees uncompr zutil)
    list(APPEND sources ${source}/${name}.c)
  endforeach()
  if(NOT EXISTS ${source}/zlib.h)
    message(FATAL_ERROR "${source}: no zlib sources (zlib.h)")
  endif()
  add_library(zlib_from_source STATIC ${sources})
  target_compile_definitions(zlib_from_source PRIVATE HAVE_UNISTD_H HAVE_STDARG_H)
  target_compile_options(zlib_from_source PRIVATE -w)
  set(STREAMTRIM_ZLIB_INCLUDE_DIR ${source} PARENT_SCOPE)
  set(STREAMTRIM_ZLIB_LIBRARY zlib_from_source PARENT_SCOPE)
endfunction()

# The version the machine's libzstd-dev was built from, which a source build
# takes where the archive still has it.
execute_process(COMMAND dpkg-query -W -f=\${source:Version} libzstd-dev OUTPUT_VARIABLE machine_zstd_source
                ERROR_QUIET)
execute_process(COMMAND dpkg-query -W -f=\${source:Version} zlib1g-dev OUTPUT_VARIABLE machine_zlib_source
                ERROR_QUIET)

if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_CROSSCOMPILING AND STREAMTRIM_DEBIAN_PACKAGES_ROOT)
  # Linux on a foreign CPU (cmake/debian-linux-cross.cmake): Debian's
  # libzstd-dev and zlib1g-dev of that CPU, fetched into the folder the
  # toolchain file searches. Their static libraries, tests included: the
  # shared ones would need the CPU's runtime packages under qemu as well.
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    set(debian_architecture arm64)
  elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "ppc64le")
    set(debian_architecture ppc64el)
  else()
    set(debian_architecture ${CMAKE_SYSTEM_PROCESSOR})
  endif()
  debian_fetch_binary(${STREAMTRIM_DEBIAN_PACKAGES_ROOT} ${debian_architecture} libzstd-dev zlib1g-dev)
  compression_find_static(STREAMTRIM_ZSTD_LIBRARY libzstd.a)
  compression_find_static(STREAMTRIM_ZLIB_LIBRARY libz.a)
  find_path(STREAMTRIM_ZSTD_INCLUDE_DIR zstd.h REQUIRED)
  find_path(STREAMTRIM_ZLIB_INCLUDE_DIR zlib.h REQUIRED)
  foreach(library zstd zlib)
    if(library STREQUAL "zstd")
      set(package libzstd-dev)
    else()
      set(package zlib1g-dev)
    endif()
    set(${library}_licence_file ${STREAMTRIM_DEBIAN_PACKAGES_ROOT}/usr/share/doc/${package}/copyright)
    file(GLOB deb ${STREAMTRIM_DEBIAN_PACKAGES_ROOT}/.debs/${package}_*.deb)
    execute_process(COMMAND dpkg-deb --show "--showformat=\${source:Package} (= \${source:Version})" ${deb}
                    OUTPUT_VARIABLE ${library}_debian_source)
  endforeach()
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  # Linux, this machine's CPU: the system's libraries; the static release
  # programs (STREAMTRIM_STATIC) take Debian's libzstd.a and libz.a.
  if(STREAMTRIM_STATIC)
    compression_find_static(STREAMTRIM_ZSTD_LIBRARY libzstd.a)
    compression_find_static(STREAMTRIM_ZLIB_LIBRARY libz.a)
  else()
    find_library(STREAMTRIM_ZSTD_LIBRARY zstd REQUIRED)
    find_library(STREAMTRIM_ZLIB_LIBRARY z REQUIRED)
  endif()
  find_path(STREAMTRIM_ZSTD_INCLUDE_DIR zstd.h REQUIRED)
  find_path(STREAMTRIM_ZLIB_INCLUDE_DIR zlib.h REQUIRED)
  compression_debian_owner(zstd ${STREAMTRIM_ZSTD_INCLUDE_DIR}/zstd.h)
  compression_debian_owner(zlib ${STREAMTRIM_ZLIB_INCLUDE_DIR}/zlib.h)
elseif(WIN32 AND CMAKE_CROSSCOMPILING)
  # Windows with Debian's MinGW-w64: zlib is libz-mingw-w64-dev's libz.a
  # (not libz.dll.a, which would need zlib1.dll beside the programs). MinGW
  # has no zstd package: Debian's source package libzstd, compiled here.
  compression_find_static(STREAMTRIM_ZLIB_LIBRARY libz.a)
  find_path(STREAMTRIM_ZLIB_INCLUDE_DIR zlib.h REQUIRED)
  compression_debian_owner(zlib ${STREAMTRIM_ZLIB_INCLUDE_DIR}/zlib.h)
  enable_language(C)
  debian_fetch_source(zstd_source libzstd ${machine_zstd_source})
  compression_zstd_from_source(${zstd_source})
  set(zstd_licence_file ${zstd_source}/LICENSE)
elseif(WIN32)
  # Windows in MSYS2 (the hosted runners): its mingw-w64-x86_64-zstd and
  # mingw-w64-x86_64-zlib, whose static libraries keep the programs free of
  # their DLLs.
  compression_find_static(STREAMTRIM_ZSTD_LIBRARY libzstd.a)
  compression_find_static(STREAMTRIM_ZLIB_LIBRARY libz.a)
  find_path(STREAMTRIM_ZSTD_INCLUDE_DIR zstd.h REQUIRED)
  find_path(STREAMTRIM_ZLIB_INCLUDE_DIR zlib.h REQUIRED)
  get_filename_component(prefix ${STREAMTRIM_ZSTD_INCLUDE_DIR} DIRECTORY)
  set(zstd_licence_file ${prefix}/share/licenses/zstd/LICENSE)
elseif(APPLE AND CMAKE_CROSSCOMPILING)
  # macOS with zig (cmake/zig-macos.cmake): Debian's source packages libzstd
  # and zlib, compiled here. Never a search of / for them: it would find
  # this machine's headers.
  enable_language(C)
  debian_fetch_source(zstd_source libzstd ${machine_zstd_source})
  debian_fetch_source(zlib_source zlib ${machine_zlib_source})
  compression_zstd_from_source(${zstd_source})
  compression_zlib_from_source(${zlib_source})
  set(zstd_licence_file ${zstd_source}/LICENSE)
  set(zlib_licence_file ${zlib_source}/LICENSE)
elseif(APPLE)
  # macOS on the hosted runners: zlib is the system's, which every macOS has
  # (in every architecture); zstd is Homebrew's (brew install zstd), linked
  # from its libzstd.a so that the programs do not need Homebrew. Homebrew's
  # library holds the runner's CPU only: a build for several architectures
  # compiles the source Homebrew fetches for the same formula instead.
  find_library(STREAMTRIM_ZLIB_LIBRARY z REQUIRED)
  find_path(STREAMTRIM_ZLIB_INCLUDE_DIR zlib.h REQUIRED)
  execute_process(COMMAND brew --prefix zstd OUTPUT_VARIABLE brew_zstd OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT IS_DIRECTORY "${brew_zstd}")
    message(FATAL_ERROR "Homebrew's zstd not found: brew install zstd")
  endif()
  set(zstd_licence_file ${brew_zstd}/LICENSE)
  list(LENGTH CMAKE_OSX_ARCHITECTURES architecture_count)
  if(architecture_count GREATER 1)
    set(tarball_folder ${CMAKE_BINARY_DIR}/homebrew-source)
    if(NOT EXISTS ${tarball_folder}/.fetched)
      execute_process(COMMAND brew fetch --quiet --build-from-source zstd RESULT_VARIABLE status)
      execute_process(COMMAND brew --cache --build-from-source zstd OUTPUT_VARIABLE tarball
                      OUTPUT_STRIP_TRAILING_WHITESPACE)
      if(NOT status EQUAL 0 OR NOT EXISTS "${tarball}")
        message(FATAL_ERROR "Homebrew could not fetch zstd's source (brew fetch --build-from-source zstd)")
      endif()
      file(REMOVE_RECURSE ${tarball_folder})
      file(ARCHIVE_EXTRACT INPUT ${tarball} DESTINATION ${tarball_folder})
      file(TOUCH ${tarball_folder}/.fetched)
    endif()
    file(GLOB zstd_source LIST_DIRECTORIES true ${tarball_folder}/zstd-*)
    enable_language(C)
    compression_zstd_from_source(${zstd_source})
  else()
    find_path(STREAMTRIM_ZSTD_INCLUDE_DIR zstd.h PATHS ${brew_zstd}/include NO_DEFAULT_PATH REQUIRED)
    find_library(STREAMTRIM_ZSTD_LIBRARY NAMES libzstd.a PATHS ${brew_zstd}/lib NO_DEFAULT_PATH REQUIRED)
  endif()
else()
  # Every other system (the BSDs): the system's libraries (FreeBSD: pkg
  # install zstd).
  find_library(STREAMTRIM_ZSTD_LIBRARY zstd REQUIRED)
  find_library(STREAMTRIM_ZLIB_LIBRARY z REQUIRED)
  find_path(STREAMTRIM_ZSTD_INCLUDE_DIR zstd.h REQUIRED)
  find_path(STREAMTRIM_ZLIB_INCLUDE_DIR zlib.h REQUIRED)
endif()

add_library(streamtrim_compression_libraries INTERFACE)
target_include_directories(streamtrim_compression_libraries SYSTEM INTERFACE
  ${STREAMTRIM_ZSTD_INCLUDE_DIR} ${STREAMTRIM_ZLIB_INCLUDE_DIR})
target_link_libraries(streamtrim_compression_libraries INTERFACE
  ${STREAMTRIM_ZSTD_LIBRARY} ${STREAMTRIM_ZLIB_LIBRARY})

# What the packages say of the libraries: their versions from the headers
# compiled against, their licences from the packages or sources they came
# from (zlib's is also the head of zlib.h, where no file holds it).
file(STRINGS ${STREAMTRIM_ZSTD_INCLUDE_DIR}/zstd.h zstd_version_lines
     REGEX "^#define ZSTD_VERSION_(MAJOR|MINOR|RELEASE) ")
string(REGEX REPLACE "[^;]* ([0-9]+)(;|$)" "\\1." zstd_version "${zstd_version_lines}")
string(REGEX REPLACE "\\.$" "" zstd_version "${zstd_version}")
file(STRINGS ${STREAMTRIM_ZLIB_INCLUDE_DIR}/zlib.h zlib_version_line REGEX "^#define ZLIB_VERSION ")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" zlib_version "${zlib_version_line}")

set(zstd_title "zstd (libzstd) ${zstd_version}: BSD licence (BSD-3-Clause; zstd may also be had under GPL-2.0)")
set(zlib_title "zlib ${zlib_version}: the zlib licence")
# A library is held when it is linked from a static library or compiled
# here; a dynamic build uses the system's shared ones.
set(held "")
foreach(library ${STREAMTRIM_ZSTD_LIBRARY} ${STREAMTRIM_ZLIB_LIBRARY})
  if(TARGET ${library} OR library MATCHES "\\.a$")
    set(held "${held}x")
  endif()
endforeach()
if(held STREQUAL "xx")
  set(use "libraries, which the programs hold (linked statically)")
else()
  set(use "libraries, which the programs load from the system")
endif()
set(STREAMTRIM_COMPRESSION_LICENCE_TEXT "")
string(APPEND STREAMTRIM_COMPRESSION_LICENCE_TEXT
  "\n\nLibraries in the programs\n\n"
  "streamtrim and streamtrim-verify read zstd and gzip logs with these two\n"
  "${use}:\n\n"
  "    ${zstd_title}\n"
  "    ${zlib_title}\n\n"
  "Their licences follow, as the packages or sources they were built from\n"
  "give them.\n")
foreach(library zstd zlib)
  set(text "")
  if(DEFINED ${library}_licence_file AND EXISTS "${${library}_licence_file}")
    file(READ "${${library}_licence_file}" text)
  elseif(library STREQUAL "zlib")
    file(READ ${STREAMTRIM_ZLIB_INCLUDE_DIR}/zlib.h header)
    string(REGEX MATCH "/\\*[^*]*\\*/" text "${header}")
  endif()
  if(text STREQUAL "")
    message(WARNING "No licence text of ${library} found (${${library}_licence_file}): the packages "
                    "name its licence without its text")
  endif()
  string(APPEND STREAMTRIM_COMPRESSION_LICENCE_TEXT
    "\n\n---- ${${library}_title} ----\n\n${text}")
endforeach()

set(STREAMTRIM_COMPRESSION_BUNDLED "bundled(zstd) = ${zstd_version}, bundled(zlib) = ${zlib_version}")
set(STREAMTRIM_COMPRESSION_SOURCES "")
if(zstd_debian_source AND zlib_debian_source)
  set(STREAMTRIM_COMPRESSION_SOURCES "${zstd_debian_source}, ${zlib_debian_source}")
endif()
set(STREAMTRIM_COMPRESSION_SOURCES "${STREAMTRIM_COMPRESSION_SOURCES}"
    CACHE INTERNAL "The Debian source packages of the libraries the static programs hold")
