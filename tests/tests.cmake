# morvane_add_test(NAME <name> SOURCES <files...> [LIBS <libs...>] [LABELS <labels...>] [TIMEOUT <s>])
# One test executable, one ctest entry. Under the mingw build ctest runs it with
# Wine (CMAKE_CROSSCOMPILING_EMULATOR).
function(morvane_add_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} morvane_test_main GTest::gmock GTest::gtest)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}"
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()
