# morvane_add_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [LABELS <labels...>] [TIMEOUT <s>])
# One test executable, one ctest entry. Under the mingw build ctest runs it with
# Wine (CMAKE_CROSSCOMPILING_EMULATOR).
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

function(morvane_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
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
endfunction()
