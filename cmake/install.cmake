# What `cmake --install` puts where, and the packages cpack makes of it:
#
#   cd build && cpack -G DEB   # streamtrim_<version>_<arch>.deb
#   cd build && cpack -G TGZ   # streamtrim-<version>-<system>-<arch>.tar.gz
#   cd build-windows && cpack -G ZIP
#
# On Linux, macOS and the BSDs the programs go to bin/, the man pages,
# compressed with gzip -n as Debian wants them, to share/man/man1 and the
# README to share/doc/streamtrim. A Windows build puts everything in one
# folder: the two programs, the README and the man pages rendered as plain
# text (by groff, when the build machine has it; the man page sources
# otherwise).

include(GNUInstallDirs)

set(man_pages streamtrim streamtrim-verify)

if(WIN32)
  install(TARGETS streamtrim streamtrim-verify RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  find_program(STREAMTRIM_GROFF groff)
  set(man_texts)
  foreach(page ${man_pages})
    if(STREAMTRIM_GROFF)
      # -Tascii with -P-cbou: no overstriking, no escape sequences.
      add_custom_command(
        OUTPUT ${CMAKE_BINARY_DIR}/doc/${page}.txt
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
        COMMAND ${STREAMTRIM_GROFF} -man -Tascii -P-cbou ${PROJECT_SOURCE_DIR}/doc/${page}.1
                > ${CMAKE_BINARY_DIR}/doc/${page}.txt
        DEPENDS ${PROJECT_SOURCE_DIR}/doc/${page}.1
        COMMENT "Rendering the man page ${page}(1) as text")
      list(APPEND man_texts ${CMAKE_BINARY_DIR}/doc/${page}.txt)
    else()
      list(APPEND man_texts ${PROJECT_SOURCE_DIR}/doc/${page}.1)
    endif()
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_texts})
  install(FILES ${man_texts} DESTINATION .)
else()
  install(TARGETS streamtrim streamtrim-verify RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  find_program(STREAMTRIM_GZIP gzip)
  set(man_files)
  foreach(page ${man_pages})
    if(STREAMTRIM_GZIP)
      # -n: no name or time stamp in the header, so the package is the same
      # whenever it is built.
      add_custom_command(
        OUTPUT ${CMAKE_BINARY_DIR}/doc/${page}.1.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/doc
        COMMAND ${STREAMTRIM_GZIP} -9 -n -c ${PROJECT_SOURCE_DIR}/doc/${page}.1
                > ${CMAKE_BINARY_DIR}/doc/${page}.1.gz
        DEPENDS ${PROJECT_SOURCE_DIR}/doc/${page}.1
        COMMENT "Compressing the man page ${page}(1)")
      list(APPEND man_files ${CMAKE_BINARY_DIR}/doc/${page}.1.gz)
    else()
      list(APPEND man_files ${PROJECT_SOURCE_DIR}/doc/${page}.1)
    endif()
  endforeach()
  add_custom_target(man_pages ALL DEPENDS ${man_files})
  install(FILES ${man_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(STREAMTRIM_PACKAGE_MAINTAINER
    "streamtrim maintainers <maintainers@users.noreply.c-seed-04ab61d2.example>"
    CACHE STRING "Maintainer named in the packages")

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
string(TOLOWER "${CMAKE_SYSTEM_NAME}-${CMAKE_SYSTEM_PROCESSOR}" CPACK_SYSTEM_NAME)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${STREAMTRIM_PACKAGE_MAINTAINER}")
# The shared libraries the programs need, with their versions as
# dpkg-shlibdeps finds them; it knows only the libraries of the machine that
# runs cpack, so a cross build names them without versions.
find_program(STREAMTRIM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(STREAMTRIM_DPKG_SHLIBDEPS AND NOT CMAKE_CROSSCOMPILING)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()

include(CPack)
