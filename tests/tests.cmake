# morvane_add_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [LABELS <labels...>] [TIMEOUT <s>]
#                  [SINGLE_THREADED] [PORTABLE])
# One test executable, one ctest entry. Under the mingw build ctest runs it with
# Wine (CMAKE_CROSSCOMPILING_EMULATOR).
#
# Two kinds of test can be left out of a build that adds nothing to them
# (building them costs more than running them):
#   SINGLE_THREADED  the code under test runs on the test's one thread only, so
#                    ThreadSanitizer has nothing to watch in it; a TSan build
#                    sets MORVANE_SINGLE_THREADED_TESTS=OFF (label
#                    single-threaded).
#   PORTABLE         byte-level code that reads and writes through no platform
#                    call and no code page, so it gives the same results on
#                    every platform; the x86_64 Wine stand-in for the Windows
#                    tests sets MORVANE_PORTABLE_TESTS=OFF (label portable).
# The native and ASan+UBSan builds, and the i686 Windows build where Wine runs
# it, build every test.
#
# The protocol tests replay captures from MORVANE_FIXTURES_DIR (by default
# shared/fixtures beside the clone). Without it they skip, unless
# MORVANE_REQUIRE_FIXTURES is on, as the Makefile's test targets set it: then
# the configure step stops and says where it looked.
set(MORVANE_FIXTURES_DIR "${PROJECT_SOURCE_DIR}/../shared/fixtures" CACHE PATH
  "The folder of captured datagrams the protocol tests replay")
option(MORVANE_REQUIRE_FIXTURES "Fail, rather than skip, when the capture fixtures are missing" OFF)
get_filename_component(MORVANE_FIXTURES_PATH "${MORVANE_FIXTURES_DIR}" ABSOLUTE)
if(NOT EXISTS "${MORVANE_FIXTURES_PATH}/SOURCES.md")
  if(MORVANE_REQUIRE_FIXTURES)
    message(FATAL_ERROR "The capture fixtures are missing: no ${MORVANE_FIXTURES_PATH}/SOURCES.md. "
      "Put shared/fixtures beside the clone, or set MORVANE_FIXTURES_DIR to their folder.")
  endif()
  message(WARNING "No capture fixtures at ${MORVANE_FIXTURES_PATH}: the protocol tests that replay them will skip.")
endif()
add_compile_definitions(MORVANE_FIXTURES_DIR="${MORVANE_FIXTURES_PATH}"
  MORVANE_REQUIRE_FIXTURES=$<BOOL:${MORVANE_REQUIRE_FIXTURES}>)

option(MORVANE_SINGLE_THREADED_TESTS "Build the tests whose code under test runs on one thread" ON)
option(MORVANE_PORTABLE_TESTS "Build the tests of byte-level code whose results are the same on every platform" ON)

# What each long test took on 2 cores (seconds, rounded up), for ctest -j:
# with no timings of its own yet (a fresh build folder), ctest starts the
# tests of highest COST first, so that the longest one does not start last
# and run alone at the end.
set(MORVANE_TEST_COSTS
  e2e_irc 85 e2e_irc_channels 36 e2e_kinds 30 e2e_irc_services 30 e2e_irc_manners 29
  integration_host_reentry_test 25 e2e_gamesim_gamedig 15
  e2e_host_tcp_probe 14 soak_test 14 e2e_gamesim_qstat 11 e2e_minecraft_peer 11
  integration_stop_stress_test 10 unit_protocol_replay_test 10 unit_game_scan_round_test 9
  unit_game_scan_test 4 layers 3)

# morvane_test_cost(<test name>): the COST above, if the test has one.
function(morvane_test_cost name)
  list(FIND MORVANE_TEST_COSTS ${name} at)
  if(at GREATER -1)
    math(EXPR at "${at} + 1")
    list(GET MORVANE_TEST_COSTS ${at} cost)
    set_tests_properties(${name} PROPERTIES COST ${cost})
  endif()
endfunction()

function(morvane_add_test)
  cmake_parse_arguments(T "SINGLE_THREADED;PORTABLE" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(T_SINGLE_THREADED)
    if(NOT MORVANE_SINGLE_THREADED_TESTS)
      return()
    endif()
    list(APPEND T_LABELS single-threaded)
  endif()
  if(T_PORTABLE)
    if(NOT MORVANE_PORTABLE_TESTS)
      return()
    endif()
    list(APPEND T_LABELS portable)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} morvane_test_main GTest::gmock GTest::gtest)
  # A test's own code is compiled without optimisation and with line tables
  # only (enough for a sanitizer's or a debugger's stack): GoogleTest's macros
  # make large functions, which take the optimiser and full debug information
  # longer than anything else in the build. The code under test keeps the
  # build's own flags.
  target_compile_options(${T_NAME} PRIVATE -O0 $<$<CONFIG:Debug,RelWithDebInfo>:-g1>)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # A run whose tests all passed but some skipped (test_main prints the count)
  # is reported by ctest as skipped, not passed.
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}"
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR} SKIP_REGULAR_EXPRESSION "morvane-tests: skipped [0-9]+ test")
  morvane_test_cost(${T_NAME})
endfunction()
