# mingw-w64 for 32-bit Windows: the product.
set(MORVANE_MINGW_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
