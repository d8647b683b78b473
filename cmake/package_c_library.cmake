# The C library inside the static Linux programs (STREAMTRIM_STATIC), named
# as distributions name a static library a package holds, for the GNU C
# library's licence (the LGPL): whoever receives the programs may have that
# library's exact source.
#
#   STREAMTRIM_C_LIBRARY_SOURCE   the Debian source package and version of the
#                                 libc.a the compiler links, as dpkg knows it:
#                                 "glibc (= 2.36-9+deb12u14)" from libc6-dev,
#                                 "cross-toolchain-base (= 66)" from a cross
#                                 compiler's libc6-dev-arm64-cross
#   the .deb's Built-Using        that, as Debian's policy has it
#   the RPM's Provides            bundled(glibc) = the library's upstream version,
#                                 as Fedora names a library a package holds
#   C-LIBRARY-SOURCE              installed beside the README: what the programs
#                                 hold, where its source is and a written offer
#                                 of it (.ci/check-packages checks all four)
#
# Needs STREAMTRIM_PACKAGE_MAINTAINER and STREAMTRIM_HOMEPAGE. A machine
# without dpkg cannot tell the source: the release is built on Debian or
# Ubuntu (.ci/build-release), so that is an error.

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libc.a
                OUTPUT_VARIABLE c_library OUTPUT_STRIP_TRAILING_WHITESPACE)
file(REAL_PATH "${c_library}" c_library)
find_program(STREAMTRIM_DPKG_QUERY dpkg-query)
if(NOT EXISTS "${c_library}" OR NOT STREAMTRIM_DPKG_QUERY)
  message(FATAL_ERROR "The static programs' C library (${c_library}) is not a Debian package's: "
                      "its source cannot be named, as its licence asks")
endif()
execute_process(COMMAND ${STREAMTRIM_DPKG_QUERY} -S "${c_library}"
                OUTPUT_VARIABLE owner RESULT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REGEX REPLACE ":.*" "" owner_package "${owner}")
if(NOT status EQUAL 0 OR owner_package STREQUAL "")
  message(FATAL_ERROR "No Debian package holds ${c_library}: its source cannot be named")
endif()
execute_process(COMMAND ${STREAMTRIM_DPKG_QUERY} -W -f=\${source:Package}|\${source:Version}|\${Version}
                        ${owner_package}
                OUTPUT_VARIABLE fields OUTPUT_STRIP_TRAILING_WHITESPACE)
string(REPLACE "|" ";" fields "${fields}")
list(GET fields 0 source_package)
list(GET fields 1 source_version)
list(GET fields 2 binary_version)
# The upstream version: the binary package's, without its epoch and Debian
# revision (2.36-9+deb12u14 and 2.36-8cross1 are both 2.36).
string(REGEX REPLACE "^[0-9]+:" "" upstream_version "${binary_version}")
string(REGEX REPLACE "-[^-]*$" "" upstream_version "${upstream_version}")
set(STREAMTRIM_C_LIBRARY_SOURCE "${source_package} (= ${source_version})"
    CACHE INTERNAL "The Debian source package of the static programs' C library")
set(STREAMTRIM_C_LIBRARY_VERSION "${upstream_version}" CACHE INTERNAL "The C library's upstream version")

# Where that exact source stays available: Debian's snapshot archive keeps
# every version of every source package, Launchpad every Ubuntu one.
file(STRINGS /etc/os-release distribution REGEX "^ID=")
string(REPLACE "+" "%2B" escaped_version "${source_version}")
if(distribution STREQUAL "ID=ubuntu")
  set(source_place "https://launchpad.net/ubuntu/+source/${source_package}/${escaped_version}")
else()
  set(source_place "https://snapshot.debian.org/package/${source_package}/${escaped_version}/")
endif()

string(JOIN "\n" offer
  "The C library in these programs"
  ""
  "streamtrim and streamtrim-verify, as this package holds them, are linked"
  "statically with the GNU C library ${upstream_version}, which is under the GNU Lesser"
  "General Public License (LGPL), version 2.1 or later. They hold it as the"
  "Debian package ${owner_package} ${binary_version} built it, from the source package"
  ""
  "    ${STREAMTRIM_C_LIBRARY_SOURCE}"
  ""
  "That exact source is at"
  ""
  "    ${source_place}"
  ""
  "and, for three years from this release, its maintainers"
  ""
  "    ${STREAMTRIM_PACKAGE_MAINTAINER}"
  ""
  "will send it to anyone who asks, for no more than the cost of sending it."
  "The programs' own source, to link them again with a changed C library, is"
  "the release's tagged source, from"
  ""
  "    ${STREAMTRIM_HOMEPAGE}"
  ""
  "whose .ci/build-release builds this package."
  "")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/C-LIBRARY-SOURCE.new "${offer}")
configure_file(${CMAKE_BINARY_DIR}/packaging/C-LIBRARY-SOURCE.new ${CMAKE_BINARY_DIR}/packaging/C-LIBRARY-SOURCE
               COPYONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/C-LIBRARY-SOURCE DESTINATION ${CMAKE_INSTALL_DOCDIR})

# CPack's .deb generator has no variable for Built-Using: the field rides on
# the line of the one before it, Source, which it writes as it is given.
# The compression libraries the programs hold are named beside it
# (cmake/compression_libraries.cmake).
set(built_using "${STREAMTRIM_C_LIBRARY_SOURCE}")
if(NOT STREAMTRIM_COMPRESSION_SOURCES STREQUAL "")
  string(APPEND built_using ", ${STREAMTRIM_COMPRESSION_SOURCES}")
endif()
set(CPACK_DEBIAN_PACKAGE_SOURCE "streamtrim\nBuilt-Using: ${built_using}")
set(CPACK_RPM_PACKAGE_PROVIDES "bundled(glibc) = ${upstream_version}, ${STREAMTRIM_COMPRESSION_BUNDLED}")
