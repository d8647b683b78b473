# Run by cpack once it has installed a package's files into its staging
# folder (CPACK_STREAMTRIM_DOCDIR is the documentation's folder below the
# prefix): in a .deb the licence is the package's copyright file,
# /usr/share/doc/streamtrim/copyright, as Debian has it. Every other package
# keeps it as LICENSE.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(doc "${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}/${CPACK_STREAMTRIM_DOCDIR}")
  if(NOT EXISTS "${doc}/LICENSE")
    message(FATAL_ERROR "${doc}/LICENSE: not installed, so the package would have no copyright file")
  endif()
  file(RENAME "${doc}/LICENSE" "${doc}/copyright")
endif()
