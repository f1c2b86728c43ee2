# mingw-w64 for 64-bit Windows: the tests' stand-in where Wine runs no
# 32-bit programs (scripts/test-windows).
set(MORVANE_MINGW_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
