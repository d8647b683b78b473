# What `cmake --install` puts where, and the packages cpack makes of it:
#
#   cd build && cpack -G DEB   # streamtrim_<version>_<debian arch>.deb
#   cd build && cpack -G RPM   # streamtrim-<version>-1.<cpu>.rpm
#   cd build && cpack -G TGZ   # streamtrim-<version>-linux-<cpu>.tar.gz
#   cd build-windows && cpack -G ZIP
#
# On Linux, macOS and the BSDs the programs go to bin/, the man pages,
# compressed with gzip -n as Debian wants them, to share/man/man1 and the
# README, the user's guide and the licence to share/doc/streamtrim (the
# licence is the .deb's copyright file and the RPM's %license file). The guide
# goes to doc/ beside the README, as in the sources, so that the README's
# links to it lead somewhere. A Windows build puts everything in one folder:
# the two programs, the README with doc/user-guide.md, the licence and the man
# pages rendered as plain text (by groff, when the build machine has it; the man
# pages themselves otherwise). Every folder is made 0755, whatever the umask
# of whoever installs or packages, and the tarball's entries are root's
# (cmake/package_archive.cmake).
#
# The man pages' title lines hold placeholders, @PROJECT_VERSION@ and
# @RELEASE_DATE@: the pages installed are copies in the build folder's doc/
# that name the project version and the release date
# (cmake/changelog.cmake), so that a new version cannot ship pages that name
# the previous one.

include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The release workflow gives both (through .ci/build-release): the repository
# it builds from and the maintainer its repository names. The defaults are
# placeholders, for builds no release makes.
set(STREAMTRIM_PACKAGE_MAINTAINER
    "streamtrim maintainers <maintainers@users.noreply.c-seed-04ab61d2.example>"
    CACHE STRING "Maintainer named in the packages")
set(STREAMTRIM_HOMEPAGE "https://c-seed-04ab61d2.example/streamtrim/streamtrim"
    CACHE STRING "The project's home, named in the packages (the RPM's URL, the .deb's Homepage)")
set(CPACK_RPM_PACKAGE_RELEASE 1)
include(${CMAKE_CURRENT_LIST_DIR}/changelog.cmake)

set(man_pages streamtrim streamtrim-verify)
foreach(page ${man_pages})
  set(source ${PROJECT_SOURCE_DIR}/doc/${page}.1)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  file(READ ${source} text)
  string(REGEX MATCH "^[^\n]*" title "${text}")
  if(NOT title MATCHES "^\\.TH .*\"@RELEASE_DATE@\" \"streamtrim @PROJECT_VERSION@\"")
    message(FATAL_ERROR "${source}: the title line does not name \"@RELEASE_DATE@\" and "
                        "\"streamtrim @PROJECT_VERSION@\", which the build fills in: ${title}")
  endif()
  string(REPLACE "@PROJECT_VERSION@" "${PROJECT_VERSION}" text "${text}")
  string(REPLACE "@RELEASE_DATE@" "${STREAMTRIM_RELEASE_DATE}" text "${text}")
  file(WRITE ${CMAKE_BINARY_DIR}/doc/${page}.1.new "${text}")
  configure_file(${CMAKE_BINARY_DIR}/doc/${page}.1.new ${CMAKE_BINARY_DIR}/doc/${page}.1 COPYONLY)
endforeach()

# The licence every package carries: the project's, then the names, versions
# and licence texts of the compression libraries the programs hold
# (cmake/compression_libraries.cmake).
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/LICENSE)
file(WRITE ${CMAKE_BINARY_DIR}/packaging/LICENSE.new "${licence}${STREAMTRIM_COMPRESSION_LICENCE_TEXT}")
configure_file(${CMAKE_BINARY_DIR}/packaging/LICENSE.new ${CMAKE_BINARY_DIR}/packaging/LICENSE COPYONLY)
set(licence ${CMAKE_BINARY_DIR}/packaging/LICENSE)

if(WIN32)
  install(TARGETS streamtrim streamtrim-verify RUNTIME DESTINATION .)
  install(FILES README.md ${licence} DESTINATION .)
  install(FILES doc/user-guide.md DESTINATION doc)
  find_program(STREAMTRIM_GROFF groff)
  set(man_texts)
  foreach(page ${man_pages})
    if(STREAMTRIM_GROFF)
      # -Tascii with -P-cbou: no overstriking, no escape sequences.
      add_custom_command(
        OUTPUT ${CMAKE_BINARY_DIR}/doc/${page}.txt
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
        COMMAND ${STREAMTRIM_GROFF} -man -Tascii -P-cbou ${CMAKE_BINARY_DIR}/doc/${page}.1
                > ${CMAKE_BINARY_DIR}/doc/${page}.txt
        DEPENDS ${CMAKE_BINARY_DIR}/doc/${page}.1
        COMMENT "Rendering the man page ${page}(1) as text")
      list(APPEND man_texts ${CMAKE_BINARY_DIR}/doc/${page}.txt)
    else()
      list(APPEND man_texts ${CMAKE_BINARY_DIR}/doc/${page}.1)
    endif()
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_texts})
  install(FILES ${man_texts} DESTINATION .)
else()
  install(TARGETS streamtrim streamtrim-verify RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md ${licence} DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES doc/user-guide.md DESTINATION ${CMAKE_INSTALL_DOCDIR}/doc)
  find_program(STREAMTRIM_GZIP gzip)
  set(man_files)
  foreach(page ${man_pages})
    if(STREAMTRIM_GZIP)
      # -n: no name or time stamp in the header, so the package is the same
      # whenever it is built.
      add_custom_command(
        OUTPUT ${CMAKE_BINARY_DIR}/doc/${page}.1.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
        COMMAND ${STREAMTRIM_GZIP} -9 -n -c ${CMAKE_BINARY_DIR}/doc/${page}.1
                > ${CMAKE_BINARY_DIR}/doc/${page}.1.gz
        DEPENDS ${CMAKE_BINARY_DIR}/doc/${page}.1
        COMMENT "Compressing the man page ${page}(1)")
      list(APPEND man_files ${CMAKE_BINARY_DIR}/doc/${page}.1.gz)
    else()
      list(APPEND man_files ${CMAKE_BINARY_DIR}/doc/${page}.1)
    endif()
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_files})
  install(FILES ${man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(STREAMTRIM_STATIC AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
  include(${CMAKE_CURRENT_LIST_DIR}/package_c_library.cmake)
endif()

set(CPACK_PACKAGE_NAME streamtrim)
set(CPACK_PACKAGE_VENDOR "streamtrim maintainers")
set(CPACK_PACKAGE_CONTACT "${STREAMTRIM_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "cut over-large query results out of TPC-H query-stream logs")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "streamtrim cuts the results of TPC-H queries 11, 16 and 20 that have more"
  "than 10000 rows out of a query-stream log, keeping the first and last 1000"
  "rows and 1000 rows drawn by its own deterministic sequence, numbered, with"
  "every gap marked; everything else is copied unchanged. streamtrim-verify"
  "checks a cut log, alone or against its original.")
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_STRIP_FILES ON)

# The target CPU, whatever the toolchain file calls it, as uname -m names it
# (the tarball's and the RPM's) and as Debian does. cpack would otherwise
# label a package with the build machine's CPU.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|x64)$")
  set(package_cpu x86_64)
  set(debian_architecture amd64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$")
  set(package_cpu aarch64)
  set(debian_architecture arm64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(ppc64le|powerpc64le)$")
  set(package_cpu ppc64le)
  set(debian_architecture ppc64el)
elseif(CMAKE_SYSTEM_PROCESSOR STREQUAL "s390x")
  set(package_cpu s390x)
  set(debian_architecture s390x)
else()
  string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" package_cpu)
  set(debian_architecture)
endif()
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_SYSTEM_NAME linux-${package_cpu})
else()
  string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CPACK_SYSTEM_NAME)
endif()
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
if(debian_architecture)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${debian_architecture})
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${STREAMTRIM_PACKAGE_MAINTAINER}")
# A static build needs no library. Otherwise the package names the shared
# libraries the programs need, with their versions as dpkg-shlibdeps finds
# them; it knows only the libraries of the machine that runs cpack, so a cross
# build names them without versions.
find_program(STREAMTRIM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(STREAMTRIM_STATIC)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
elseif(STREAMTRIM_DPKG_SHLIBDEPS AND NOT CMAKE_CROSSCOMPILING)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${STREAMTRIM_HOMEPAGE}")
# Debian keeps a package's licence as /usr/share/doc/PACKAGE/copyright and
# its changelog as changelog.gz there: cmake/package_licence.cmake puts them in
# the .deb once cpack has installed its files. cmake/package_archive.cmake
# makes the tarball's entries root's.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_licence.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package_archive.cmake)
set(CPACK_STREAMTRIM_DOCDIR ${CMAKE_INSTALL_DOCDIR})
set(CPACK_STREAMTRIM_DEBIAN_CHANGELOG ${CMAKE_BINARY_DIR}/packaging/changelog)

# rpm's usual name-version-release.cpu.rpm; a package installed where rpm
# puts it (no Prefix), owning its own files and folder but none of the
# system's, its licence marked as one, its %changelog made from CHANGELOG.md.
# rpm finds the libraries a dynamic build needs by itself; a static one
# requires nothing but rpm's own features. With SOURCE_DATE_EPOCH set (as
# .ci/build-release sets it), the build time and every file's time are that
# time and the build host a fixed name: the package is the same bytes
# whoever builds it, wherever and whenever.
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_URL "${STREAMTRIM_HOMEPAGE}")
set(CPACK_RPM_CHANGELOG_FILE ${CMAKE_BINARY_DIR}/packaging/changelog.rpm)
set(CPACK_RPM_PACKAGE_ARCHITECTURE ${package_cpu})
# The static programs hold zstd (taken under its BSD licence) and zlib.
if(STREAMTRIM_STATIC)
  set(CPACK_RPM_PACKAGE_LICENSE "MIT AND BSD-3-Clause AND Zlib")
else()
  set(CPACK_RPM_PACKAGE_LICENSE MIT)
endif()
set(CPACK_RPM_PACKAGE_GROUP "Applications/Text")
set(CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
# rpm's summaries start with a capital, Debian's do not.
set(CPACK_RPM_PACKAGE_SUMMARY "Cut over-large query results out of TPC-H query-stream logs")
set(CPACK_PACKAGE_RELOCATABLE OFF)
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
    /usr/${CMAKE_INSTALL_MANDIR} /usr/${CMAKE_INSTALL_MANDIR}/man1)
set(CPACK_RPM_USER_FILELIST "%license /usr/${CMAKE_INSTALL_DOCDIR}/LICENSE")
string(JOIN "\n" CPACK_RPM_SPEC_MORE_DEFINE
  "%define _build_id_links none"
  "%define use_source_date_epoch_as_buildtime 1"
  "%define clamp_mtime_to_source_date_epoch 1"
  "%define _buildhost reproducible"
  "%define packager ${STREAMTRIM_PACKAGE_MAINTAINER}")
# rpm would have a static PIE require rtld(GNU_HASH), the dynamic loader's
# feature, for the hash table the linker leaves in it; no loader ever reads it.
if(STREAMTRIM_STATIC)
  set(CPACK_RPM_PACKAGE_AUTOREQ OFF)
endif()

include(CPack)
