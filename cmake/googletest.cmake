# GoogleTest is built from the sources Debian ships in libgtest-dev, so that the
# same library serves the native, sanitizer and mingw builds.
set(MORVANE_GTEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources")
if(NOT EXISTS "${MORVANE_GTEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${MORVANE_GTEST_SOURCE}: run scripts/install-deps")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
# GoogleTest's own sources are not held to our warning flags, and, like the
# tests' own code, are compiled without optimisation and with line tables only:
# gtest-all.cc is the largest file of any build (20 s at -O2 -g), and the
# tests spend their time waiting, not in GoogleTest.
set(_morvane_saved_options "${COMPILE_OPTIONS}")
add_subdirectory(${MORVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/_googletest EXCLUDE_FROM_ALL SYSTEM)
foreach(t gtest gtest_main gmock gmock_main)
  if(TARGET ${t})
    target_compile_options(${t} PRIVATE -Wno-error -O0 $<$<CONFIG:Debug,RelWithDebInfo>:-g1>)
  endif()
endforeach()
