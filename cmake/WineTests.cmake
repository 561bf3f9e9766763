# Tests are Windows executables. Built on Linux they run under Wine, in one
# Wine prefix of this checkout's own (WINE_TEST_PREFIX), with one persistent
# Wine server kept up for the whole CTest run by the wine_server fixture.
# Built on Windows they run directly.

set(WINE_TEST_PREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH
  "Wine prefix the test run uses (made on first use)")
set(WT_WINE_SH ${PROJECT_SOURCE_DIR}/testing/wine/winetest.sh)
set(WT_DEFAULT_TEST_TIMEOUT 240)

if(CMAKE_HOST_WIN32)
  set(WT_TEST_LAUNCHER "")
else()
  set(WT_TEST_LAUNCHER ${WT_WINE_SH} run ${WINE_TEST_PREFIX})
  # The two architectures' trees share one prefix; the lock keeps their
  # set-up and clean-up steps from running at the same time.
  add_test(NAME ${WT_ARCH}/wine_server_start COMMAND ${WT_WINE_SH} start ${WINE_TEST_PREFIX})
  set_tests_properties(${WT_ARCH}/wine_server_start PROPERTIES
    FIXTURES_SETUP wine_server TIMEOUT 300 RESOURCE_LOCK wine_prefix_setup)
  add_test(NAME ${WT_ARCH}/wine_server_stop COMMAND ${WT_WINE_SH} stop ${WINE_TEST_PREFIX})
  set_tests_properties(${WT_ARCH}/wine_server_stop PROPERTIES
    FIXTURES_CLEANUP wine_server TIMEOUT 120 RESOURCE_LOCK wine_prefix_setup)
endif()

# wt_add_gtest(<target> [TIMEOUT seconds] [RESOURCE_LOCK name...] [OWN_PREFIX])
# Registers one GoogleTest executable as one CTest test named <arch>/<target>
# (so CTest's summary counts executables, GoogleTest prints the cases, and the
# two architectures' tests can run in one CTest run). OWN_PREFIX runs it in a
# Wine prefix and server of its own (<build>/<target>-prefix), apart from
# every other test.
function(wt_add_gtest target)
  cmake_parse_arguments(ARG "OWN_PREFIX" "TIMEOUT" "RESOURCE_LOCK" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT ${WT_DEFAULT_TEST_TIMEOUT})
  endif()
  # 32-bit test programs must not reach GoogleTest's OutputDebugStringA (see
  # testing/src/quiet_printer.cpp); the printer is harmless everywhere else.
  if(TARGET wtquietprinter)
    target_link_libraries(${target} PRIVATE wtquietprinter)
  endif()
  set(name ${WT_ARCH}/${target})
  set(launcher ${WT_TEST_LAUNCHER})
  if(ARG_OWN_PREFIX AND NOT CMAKE_HOST_WIN32)
    set(launcher ${WT_WINE_SH} alone ${CMAKE_BINARY_DIR}/${target}-prefix)
  endif()
  add_test(NAME ${name} COMMAND ${launcher} $<TARGET_FILE:${target}>)
  # Judged by GoogleTest's own summary, not by the exit code alone: a test
  # program that dies half way (an emulated 32-bit process can) may still
  # leave an exit code of 0 behind.
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  if(NOT CMAKE_HOST_WIN32 AND NOT ARG_OWN_PREFIX)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_server)
  endif()
  if(ARG_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
endfunction()
