# Debian packages fetched by name into a folder of the build, for what the
# machine has no package of: a foreign CPU's libraries (fetched, never
# installed: multiarch would have to move the machine's own packages to the
# same versions, and failed for s390x) and source packages to compile for
# Windows and macOS. apt runs with a private state (its lists, its cache and
# an empty list of installed packages) in the build folder, so the machine's
# setup is never touched and no root is needed; the machine's own sources
# lists say where the packages are. What was fetched stays in the build
# folder with a stamp, and a new configuration does not fetch it again. A
# failure stops the configuration with one line naming the package.
#
#   debian_fetch_binary(ROOT ARCHITECTURE PACKAGE...)
#       dpkg-deb -x each PACKAGE:ARCHITECTURE into ROOT, at the version the
#       machine has of PACKAGE where that version is still to be had
#   debian_fetch_source(FOLDER_VARIABLE PACKAGE [VERSION...])
#       the source package unpacked by dpkg-source; the first VERSION that
#       downloads, else the newest that does; FOLDER_VARIABLE is set to its
#       folder and PACKAGE_version to the version fetched
#
# Needs apt-get, dpkg-deb and dpkg-source (dpkg-dev).

set(debian_packages_folder ${CMAKE_BINARY_DIR}/debian-packages)

# apt-get (or apt-cache) with a private state in FOLDER; its options and
# command follow. Sets apt_status, apt_output and apt_error (apt's first
# error line) in the caller.
function(debian_apt folder tool)
  file(MAKE_DIRECTORY ${folder}/lists/partial ${folder}/cache/archives/partial)
  file(TOUCH ${folder}/status)
  set(options -o Dir::State::Lists=${folder}/lists -o Dir::Cache=${folder}/cache
              -o Dir::State::status=${folder}/status -o Debug::NoLocking=1 -q)
  # As root apt would hand the downloads to its user _apt, which may not
  # write into the build folder.
  execute_process(COMMAND id -u OUTPUT_VARIABLE user OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(user STREQUAL "0")
    list(APPEND options -o APT::Sandbox::User=root)
  endif()
  execute_process(COMMAND ${tool} ${options} ${ARGN} WORKING_DIRECTORY ${folder}
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE error)
  string(REGEX MATCH "(^|\n)E: [^\n]*" first_error "${error}")
  string(STRIP "${first_error}" first_error)
  if(first_error STREQUAL "" AND NOT status EQUAL 0)
    set(first_error "apt-get ended with ${status}")
  endif()
  set(apt_status ${status} PARENT_SCOPE)
  set(apt_error "${first_error}" PARENT_SCOPE)
  set(apt_output "${output}" PARENT_SCOPE)
endfunction()

function(debian_fetch_binary root architecture)
  set(stamp ${root}/.fetched)
  set(wanted "${architecture} ${ARGN}")
  if(EXISTS ${stamp})
    file(READ ${stamp} fetched)
    if(fetched STREQUAL wanted)
      return()
    endif()
  endif()
  set(apt ${debian_packages_folder}/apt-${architecture})
  set(options -o APT::Architecture=${architecture} -o APT::Architectures::=${architecture})
  # Ubuntu keeps every CPU but x86 in another archive (ports), which the
  # machine's lists do not name.
  file(STRINGS /etc/os-release distribution REGEX "^(ID|VERSION_CODENAME)=")
  if("ID=ubuntu" IN_LIST distribution AND NOT architecture MATCHES "^(amd64|i386)$")
    list(FILTER distribution INCLUDE REGEX "^VERSION_CODENAME=")
    string(REPLACE "VERSION_CODENAME=" "" codename "${distribution}")
    set(keyring /usr/share/keyrings/ubuntu-archive-keyring.gpg)
    set(signed "")
    if(EXISTS ${keyring})
      set(signed "[signed-by=${keyring}] ")
    endif()
    file(WRITE ${apt}/sources.list "deb ${signed}http://ports.ubuntu.com/ubuntu-ports "
                                   "${codename} ${codename}-updates ${codename}-security main universe\n")
    list(APPEND options -o Dir::Etc::SourceList=${apt}/sources.list -o Dir::Etc::SourceParts=-)
  endif()
  debian_apt(${apt} apt-get ${options} update)
  if(NOT apt_status EQUAL 0)
    message(FATAL_ERROR "The ${architecture} packages ${ARGN} cannot be fetched: apt-get update failed: ${apt_error}")
  endif()
  file(REMOVE_RECURSE ${root})
  foreach(package ${ARGN})
    # The machine's own version, so that every CPU's programs hold the same
    # library; the newest, where the archive no longer has it.
    execute_process(COMMAND dpkg-query -W -f=\${Version} ${package}
                    OUTPUT_VARIABLE version ERROR_QUIET RESULT_VARIABLE status)
    set(requests ${package}:${architecture})
    if(status EQUAL 0 AND NOT version STREQUAL "")
      list(PREPEND requests ${package}:${architecture}=${version})
    endif()
    foreach(request ${requests})
      file(GLOB stale ${apt}/${package}_*.deb)
      if(stale)
        file(REMOVE ${stale})
      endif()
      debian_apt(${apt} apt-get ${options} download ${request})
      set(asked ${request})
      if(apt_status EQUAL 0)
        break()
      endif()
    endforeach()
    file(GLOB deb ${apt}/${package}_*_${architecture}.deb)
    if(NOT apt_status EQUAL 0 OR NOT deb)
      message(FATAL_ERROR "The ${architecture} package ${package} cannot be fetched (apt-get download ${asked}): ${apt_error}")
    endif()
    execute_process(COMMAND dpkg-deb -x ${deb} ${root} RESULT_VARIABLE status ERROR_VARIABLE error)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "${deb} cannot be unpacked: ${error}")
    endif()
    # Kept for what the packages say of their source (Built-Using).
    file(COPY ${deb} DESTINATION ${root}/.debs)
  endforeach()
  file(REMOVE_RECURSE ${apt})
  file(WRITE ${stamp} "${wanted}")
  string(JOIN " " names ${ARGN})
  message(STATUS "Fetched the ${architecture} packages ${names} into ${root}")
endfunction()

function(debian_fetch_source folder_variable package)
  set(folder ${debian_packages_folder}/source-${package})
  set(stamp ${folder}/.fetched)
  if(EXISTS ${stamp})
    file(READ ${stamp} fetched)
    set(${folder_variable} ${folder}/${package} PARENT_SCOPE)
    set(${package}_version ${fetched} PARENT_SCOPE)
    return()
  endif()
  # apt-get source wants deb-src lines: those of the machine's own lists,
  # in a list of their own.
  set(apt ${folder}/apt)
  file(REMOVE_RECURSE ${folder})
  file(MAKE_DIRECTORY ${apt}/sources)
  file(GLOB lists /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources)
  foreach(list ${lists})
    file(READ ${list} text)
    string(REGEX REPLACE "(^|\n)deb([ \t])" "\\1deb-src\\2" text "${text}")
    string(REGEX REPLACE "(^|\n)Types:[^\n]*" "\\1Types: deb-src" text "${text}")
    get_filename_component(name ${list} NAME)
    file(WRITE ${apt}/sources/${name} "${text}")
  endforeach()
  set(options -o Dir::Etc::SourceList=- -o Dir::Etc::SourceParts=${apt}/sources)
  debian_apt(${apt} apt-get ${options} update)
  if(NOT apt_status EQUAL 0)
    message(FATAL_ERROR "The source package ${package} cannot be fetched: apt-get update failed: ${apt_error}")
  endif()
  # The versions asked for first, then every version the archive names,
  # newest first: a security update's source may not be on the mirror yet.
  debian_apt(${apt} apt-cache ${options} showsrc --only-source ${package})
  string(REGEX MATCHALL "\nVersion: [^\n]*" known "\n${apt_output}")
  string(REPLACE "\nVersion: " "" known "${known}")
  list(SORT known COMPARE NATURAL ORDER DESCENDING)
  set(versions ${ARGN} ${known})
  list(REMOVE_DUPLICATES versions)
  set(fetched "")
  set(first_error "")
  foreach(version ${versions} newest)
    set(request ${package}=${version})
    if(version STREQUAL "newest")
      set(request ${package})
    endif()
    debian_apt(${apt} apt-get ${options} source --download-only ${request})
    file(GLOB dsc ${apt}/${package}_*.dsc)
    if(apt_status EQUAL 0 AND dsc)
      set(fetched ${version})
      break()
    endif()
    if(first_error STREQUAL "")
      set(first_error "${apt_error}")
    endif()
  endforeach()
  if(fetched STREQUAL "newest")
    string(REGEX REPLACE "^.*/${package}_(.*)\\.dsc$" "\\1" fetched "${dsc}")
  endif()
  if(fetched STREQUAL "")
    message(FATAL_ERROR "The source package ${package} cannot be fetched (apt-get source ${package}): ${first_error}")
  endif()
  string(REGEX REPLACE "^[0-9]+:" "" file_version "${fetched}")
  execute_process(COMMAND dpkg-source --no-check -x ${package}_${file_version}.dsc ${folder}/${package}
                  WORKING_DIRECTORY ${apt} RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "The source package ${package} ${fetched} cannot be unpacked: ${error}")
  endif()
  file(REMOVE_RECURSE ${apt})
  file(WRITE ${stamp} "${fetched}")
  message(STATUS "Fetched the source package ${package} ${fetched} into ${folder}/${package}")
  set(${folder_variable} ${folder}/${package} PARENT_SCOPE)
  set(${package}_version ${fetched} PARENT_SCOPE)
endfunction()
