# What both mingw-w64 toolchains share; each names its processor first
# (MORVANE_MINGW_PROCESSOR: i686 or x86_64). The posix thread model.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${MORVANE_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${MORVANE_MINGW_PROCESSOR}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${MORVANE_MINGW_PROCESSOR}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${MORVANE_MINGW_PROCESSOR}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MORVANE_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# ctest runs the test programs with Wine; scripts/wine-ctest prepares the
# prefix and the environment (see there) and should be used to run ctest.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
