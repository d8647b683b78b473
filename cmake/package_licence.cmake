# Run by cpack once it has installed a package's files into its staging
# folder (CPACK_STREAMTRIM_DOCDIR is the documentation's folder below the
# prefix). A .deb keeps its documentation as Debian has it: the licence is
# the package's copyright file, /usr/share/doc/streamtrim/copyright, and the
# changelog made from CHANGELOG.md (CPACK_STREAMTRIM_DEBIAN_CHANGELOG) is
# changelog.gz beside it, compressed with gzip -9n (no name or time in its
# header). Every other package keeps the licence as LICENSE.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(doc "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_STREAMTRIM_DOCDIR}")
  if(NOT EXISTS "${doc}/LICENSE")
    message(FATAL_ERROR "${doc}/LICENSE: not installed, so the package would have no copyright file")
  endif()
  file(RENAME "${doc}/LICENSE" "${doc}/copyright")
  find_program(gzip_program gzip REQUIRED)
  execute_process(COMMAND ${gzip_program} -9 -n -c "${CPACK_STREAMTRIM_DEBIAN_CHANGELOG}"
                  OUTPUT_FILE "${doc}/changelog.gz" RESULT_VARIABLE gzip_status)
  if(NOT gzip_status EQUAL 0)
    message(FATAL_ERROR "gzip could not compress ${CPACK_STREAMTRIM_DEBIAN_CHANGELOG}: ${gzip_status}")
  endif()
  file(CHMOD "${doc}/changelog.gz" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()

# With SOURCE_DATE_EPOCH set, every staged file and folder is dated by it,
# whatever its own time: rpm only clamps later times to it, and a file older
# than the commit (a source file a checkout left untouched, a man page built
# before the commit was made) would keep its own.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  string(TIMESTAMP stamp "%Y-%m-%dT%H:%M:%SZ" UTC)
  file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
  if(staged)
    execute_process(COMMAND touch -h -d ${stamp} ${staged} RESULT_VARIABLE touch_status)
    if(NOT touch_status EQUAL 0)
      message(FATAL_ERROR "touch could not date the staged files by SOURCE_DATE_EPOCH: ${touch_status}")
    endif()
  endif()
endif()
