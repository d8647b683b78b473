# Run by cpack once it has made a package, before it copies it out of its
# staging folder. A tarball made by cpack's archive generator records the
# owner of every file it holds, the user who built it, and its folders have
# the modes that user's umask gave them: a tarball built by uid 1001 and
# unpacked by root would hand uid 1001 every folder it unpacks into. The
# tarball is made again from the same files with tar, every entry root's
# (root:root, 0/0) and 0755 or 0644 (0755 for folders and programs), in the
# order of their names, dated SOURCE_DATE_EPOCH when it is set as cpack
# dates them, compressed with gzip -9n (no name or time in its header).
#
# GNU tar (Linux) and bsdtar (macOS, the BSDs) both take the list of entries
# and the owner; the modes are set on the staged files first, for bsdtar has
# no option to set them.
#
# A .deb's ar members get the modes cpack's umask gives them: made under
# another umask than 022, it is not the release's bytes (.ci/build-release
# sets 022), which is said.
if(CPACK_GENERATOR STREQUAL "DEB")
  execute_process(COMMAND sh -c umask OUTPUT_VARIABLE umask OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT umask STREQUAL "0022")
    message(WARNING "cpack ran under umask ${umask}: the .deb's members have its modes, and its "
                    "bytes differ from a build under umask 022 (.ci/build-release sets 022)")
  endif()
endif()
if(NOT CPACK_GENERATOR STREQUAL "TGZ")
  return()
endif()
find_program(tar_program NAMES gtar tar REQUIRED)
find_program(gzip_program gzip REQUIRED)
execute_process(COMMAND ${tar_program} --version OUTPUT_VARIABLE tar_version ERROR_QUIET)
foreach(tarball IN LISTS CPACK_PACKAGE_FILES)
  if(NOT tarball MATCHES "\\.tar\\.gz$")
    continue()
  endif()
  get_filename_component(top "${tarball}" NAME)
  string(REGEX REPLACE "\\.tar\\.gz$" "" top "${top}")
  get_filename_component(folder "${tarball}" DIRECTORY)
  if(NOT IS_DIRECTORY "${folder}/${top}")
    message(FATAL_ERROR "${folder}/${top}: not the staged files of ${tarball}")
  endif()
  file(GLOB_RECURSE entries LIST_DIRECTORIES true RELATIVE "${folder}" "${folder}/${top}/*")
  list(APPEND entries "${top}")
  list(SORT entries)
  foreach(entry IN LISTS entries)
    if(IS_SYMLINK "${folder}/${entry}")
      message(FATAL_ERROR "${folder}/${entry}: a symbolic link, which the tarball does not hold")
    endif()
    if(IS_DIRECTORY "${folder}/${entry}")
      set(executable TRUE)
    else()
      execute_process(COMMAND test -x "${folder}/${entry}" RESULT_VARIABLE not_executable)
      set(executable FALSE)
      if(not_executable EQUAL 0)
        set(executable TRUE)
      endif()
    endif()
    if(executable)
      file(CHMOD "${folder}/${entry}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
           GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    else()
      file(CHMOD "${folder}/${entry}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    endif()
  endforeach()
  string(REPLACE ";" "\n" entry_list "${entries}")
  file(WRITE "${folder}/${top}.entries" "${entry_list}\n")
  if(tar_version MATCHES "GNU tar")
    set(owner_options --owner=root:0 --group=root:0)
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
      list(APPEND owner_options "--mtime=@$ENV{SOURCE_DATE_EPOCH}")
    endif()
  else()
    set(owner_options --uid 0 --gid 0 --uname root --gname root)
  endif()
  execute_process(
    COMMAND ${tar_program} -c -f - --format=ustar --no-recursion -T "${top}.entries" ${owner_options}
    COMMAND ${gzip_program} -9 -n
    WORKING_DIRECTORY "${folder}"
    OUTPUT_FILE "${tarball}.new"
    RESULTS_VARIABLE statuses)
  if(NOT statuses STREQUAL "0;0")
    message(FATAL_ERROR "tar or gzip could not make ${tarball} again: ${statuses}")
  endif()
  file(RENAME "${tarball}.new" "${tarball}")
  file(REMOVE "${folder}/${top}.entries")
endforeach()
