# The release's date and the packages' changelogs, made from CHANGELOG.md
# when the build is configured (Keep a Changelog's form: "## [VERSION] -
# YYYY-MM-DD" headings, newest first, "- " items that may go on over
# indented lines; a section without a version and date, such as
# "[Unreleased]", is left out):
#
#   STREAMTRIM_RELEASE_DATE    YYYY-MM-DD: the day of SOURCE_DATE_EPOCH when it
#                              is set (as .ci/build-release sets it, from the
#                              commit), else the top entry's; never the day of
#                              the build, so that the man pages are the same
#                              whenever they are built
#   packaging/changelog.rpm    the RPM's %changelog (CPACK_RPM_CHANGELOG_FILE)
#   packaging/changelog        the Debian package's changelog, in dpkg's form,
#                              compressed into changelog.gz by
#                              cmake/package_licence.cmake
#
# Needs STREAMTRIM_PACKAGE_MAINTAINER (named in every entry) and
# CPACK_RPM_PACKAGE_RELEASE.

set(changelog_source ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${changelog_source})

# The day of the week of a date (0 for Sunday), by Sakamoto's method.
function(changelog_weekday out year month day)
  set(offsets 0 3 2 5 0 3 5 1 4 6 2 4)
  math(EXPR index "${month} - 1")
  list(GET offsets ${index} offset)
  if(month LESS 3)
    math(EXPR year "${year} - 1")
  endif()
  math(EXPR weekday "(${year} + ${year} / 4 - ${year} / 100 + ${year} / 400 + ${offset} + ${day}) % 7")
  set(${out} ${weekday} PARENT_SCOPE)
endfunction()

# Words of text in lines of at most width characters, the first after
# first_prefix, the others after next_prefix.
function(changelog_wrap out text first_prefix next_prefix width)
  string(REPLACE " " ";" words "${text}")
  set(wrapped "")
  set(line "${first_prefix}")
  set(empty TRUE)
  foreach(word IN LISTS words)
    # A held bracket or semicolon is one character of the text.
    string(REGEX REPLACE "<changelog-[a-z][a-z]>" "x" counted "${line} ${word}")
    string(LENGTH "${counted}" length)
    if(NOT empty AND length GREATER width)
      string(APPEND wrapped "${line}\n")
      set(line "${next_prefix}${word}")
    elseif(empty)
      string(APPEND line "${word}")
    else()
      string(APPEND line " ${word}")
    endif()
    set(empty FALSE)
  endforeach()
  set(${out} "${wrapped}${line}\n" PARENT_SCOPE)
endfunction()

# Lines become list elements: brackets and semicolons, which a CMake list
# would treat as its own, are held as tokens until the text is written.
file(READ ${changelog_source} changelog_text)
string(REPLACE "[" "<changelog-lb>" changelog_text "${changelog_text}")
string(REPLACE "]" "<changelog-rb>" changelog_text "${changelog_text}")
string(REPLACE ";" "<changelog-sc>" changelog_text "${changelog_text}")
string(REPLACE "\r" "" changelog_text "${changelog_text}")
string(REPLACE "\n" ";" changelog_lines "${changelog_text}")

set(month_names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(weekday_names Sun Mon Tue Wed Thu Fri Sat)
set(changelog_rpm "")
set(changelog_debian "")
set(entry_version "")
set(entry_items "")
set(item "")
set(STREAMTRIM_CHANGELOG_VERSION "")
set(changelog_top_date "")

macro(changelog_end_item)
  if(NOT item STREQUAL "")
    list(APPEND entry_items "${item}")
    set(item "")
  endif()
endmacro()

macro(changelog_end_entry)
  changelog_end_item()
  if(NOT entry_version STREQUAL "")
    if(entry_items STREQUAL "")
      message(FATAL_ERROR "${changelog_source}: the entry of ${entry_version} has no item")
    endif()
    list(GET month_names ${entry_month_index} month_name)
    list(GET weekday_names ${entry_weekday} weekday_name)
    string(APPEND changelog_rpm
      "* ${weekday_name} ${month_name} ${entry_day} ${entry_year} ${STREAMTRIM_PACKAGE_MAINTAINER}"
      " - ${entry_version}-${CPACK_RPM_PACKAGE_RELEASE}\n")
    if(NOT changelog_debian STREQUAL "")
      string(APPEND changelog_debian "\n")
    endif()
    string(APPEND changelog_debian "streamtrim (${entry_version}) unstable; urgency=medium\n\n")
    foreach(entry_item IN LISTS entry_items)
      string(APPEND changelog_rpm "- ${entry_item}\n")
      changelog_wrap(wrapped "${entry_item}" "  * " "    " 78)
      string(APPEND changelog_debian "${wrapped}")
    endforeach()
    string(APPEND changelog_rpm "\n")
    string(APPEND changelog_debian "\n -- ${STREAMTRIM_PACKAGE_MAINTAINER}  ${weekday_name}, ${entry_day}"
           " ${month_name} ${entry_year} 00:00:00 +0000\n")
  endif()
  set(entry_version "")
  set(entry_items "")
endmacro()

foreach(line IN LISTS changelog_lines)
  if(line MATCHES "^## <changelog-lb>([0-9]+\\.[0-9]+\\.[0-9]+)<changelog-rb> - ([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
    changelog_end_entry()
    set(entry_version ${CMAKE_MATCH_1})
    set(entry_year ${CMAKE_MATCH_2})
    set(entry_month_digits ${CMAKE_MATCH_3})
    set(entry_day ${CMAKE_MATCH_4})
    # Leading zeros would make math() read octal.
    string(REGEX REPLACE "^0" "" entry_month "${entry_month_digits}")
    string(REGEX REPLACE "^0" "" entry_day_number "${entry_day}")
    if(entry_month LESS 1 OR entry_month GREATER 12 OR entry_day_number LESS 1 OR entry_day_number GREATER 31)
      message(FATAL_ERROR "${changelog_source}: ${line}: not a date")
    endif()
    math(EXPR entry_month_index "${entry_month} - 1")
    changelog_weekday(entry_weekday ${entry_year} ${entry_month} ${entry_day_number})
    if(STREAMTRIM_CHANGELOG_VERSION STREQUAL "")
      set(STREAMTRIM_CHANGELOG_VERSION ${entry_version})
      set(changelog_top_date "${entry_year}-${entry_month_digits}-${entry_day}")
    endif()
  elseif(line MATCHES "^## ")
    changelog_end_entry()
  elseif(line MATCHES "^- (.*)$")
    changelog_end_item()
    set(item "${CMAKE_MATCH_1}")
  elseif(NOT item STREQUAL "" AND line MATCHES "^  +(.*)$")
    string(APPEND item " ${CMAKE_MATCH_1}")
  else()
    changelog_end_item()
  endif()
endforeach()
changelog_end_entry()

if(STREAMTRIM_CHANGELOG_VERSION STREQUAL "")
  message(FATAL_ERROR "${changelog_source}: no entry \"## [VERSION] - YYYY-MM-DD\"")
endif()
if(NOT STREAMTRIM_CHANGELOG_VERSION STREQUAL PROJECT_VERSION)
  message(WARNING "${changelog_source}: the top entry is ${STREAMTRIM_CHANGELOG_VERSION}, "
                  "the project version ${PROJECT_VERSION}")
endif()
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  string(TIMESTAMP STREAMTRIM_RELEASE_DATE "%Y-%m-%d" UTC)
else()
  set(STREAMTRIM_RELEASE_DATE ${changelog_top_date})
endif()

# Written only when they change, so that a new configuration rebuilds nothing.
foreach(kind rpm debian)
  set(text "${changelog_${kind}}")
  string(REPLACE "<changelog-lb>" "[" text "${text}")
  string(REPLACE "<changelog-rb>" "]" text "${text}")
  string(REPLACE "<changelog-sc>" ";" text "${text}")
  set(changelog_${kind} "${text}")
endforeach()
string(STRIP "${changelog_rpm}" changelog_rpm)
file(WRITE ${CMAKE_BINARY_DIR}/packaging/changelog.rpm.new "${changelog_rpm}\n")
file(WRITE ${CMAKE_BINARY_DIR}/packaging/changelog.new "${changelog_debian}")
configure_file(${CMAKE_BINARY_DIR}/packaging/changelog.rpm.new ${CMAKE_BINARY_DIR}/packaging/changelog.rpm COPYONLY)
configure_file(${CMAKE_BINARY_DIR}/packaging/changelog.new ${CMAKE_BINARY_DIR}/packaging/changelog COPYONLY)
