# Reproducible builds: one commit gives the same bytes in any folder, at any
# time, for anyone who builds it (scripts/check-reproducible proves it).
#
# What would otherwise differ between two builds with mingw-w64:
# - ld writes the link time into the PE header and into a DLL's export
#   directory, and the PE checksum covers it. ld takes SOURCE_DATE_EPOCH from
#   its environment instead of the clock when it is set; the build sets it
#   for the deliverables' links (a linker launcher, WT_LINK_LAUNCHER, which
#   wt_deliverable() applies), from SOURCE_DATE_EPOCH as given, else the
#   commit's date, else 0. A new commit changes their link command, so ninja
#   links them again (only them: test programs keep the link time). strip
#   stamps its output the same way: the install script sets
#   SOURCE_DATE_EPOCH before it strips anything.
# - __FILE__ in an assertion or a log would carry the folder the sources sit
#   in; the source folder is cut off every macro path.
# - ar's member times, uids and modes: written as zeros (D), whatever the
#   distribution's default.
# windres and windmc write no time or path into their output.
#
# WT_SOURCE_DATE_EPOCH (in the cache, for scripts/release, which stamps the
# archive entries with it) and WT_SOURCE_DATE_ORIGIN tell what was taken;
# WT_SOURCE_COMMIT is the commit configured ("unknown" outside a git
# checkout): scripts/release --no-build refuses a build of another one.

# The commit of this project's own checkout, and its date: sources unpacked
# inside some other repository's work tree must not take that one's.
set(commit unknown)
set(commit_date "")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --show-prefix
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    RESULT_VARIABLE rc OUTPUT_VARIABLE prefix ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(rc EQUAL 0 AND prefix STREQUAL "")
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%H/%ct
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
      RESULT_VARIABLE rc OUTPUT_VARIABLE head ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(rc EQUAL 0 AND head MATCHES "^([0-9a-f]+)/([0-9]+)$")
      set(commit ${CMAKE_MATCH_1})
      set(commit_date ${CMAKE_MATCH_2})
    endif()
  endif()
endif()

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  if(NOT epoch MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a count of seconds, not '${epoch}'")
  endif()
  set(origin "SOURCE_DATE_EPOCH")
elseif(commit_date)
  set(epoch ${commit_date})
  set(origin "commit date")
else()
  set(epoch 0)
  set(origin "no commit (0)")
endif()
set(WT_SOURCE_DATE_EPOCH ${epoch} CACHE INTERNAL "Seconds since 1970 that the build stamps")
set(WT_SOURCE_DATE_ORIGIN "${origin}" CACHE INTERNAL "Where WT_SOURCE_DATE_EPOCH came from")
set(WT_SOURCE_COMMIT ${commit} CACHE INTERNAL "The commit the build was configured at")
message(STATUS "Time stamp of the built files: ${epoch} (${origin})")

set(WT_LINK_LAUNCHER "")
if(MINGW)
  set(WT_LINK_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch})
  foreach(lang C CXX)
    set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
  endforeach()
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-fmacro-prefix-map=${PROJECT_SOURCE_DIR}/=>)
  # The first install rule: the subdirectories' rules (and their strip
  # steps) run after it.
  install(CODE "set(ENV{SOURCE_DATE_EPOCH} \"${epoch}\")")
endif()
