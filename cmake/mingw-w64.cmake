# Cross-compiling for 64-bit Windows with the MinGW-w64 toolchain of Debian
# (the POSIX threading flavour, which has std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZELK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZELK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZELK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Programs carry their C++ runtime (libstdc++, libgcc, winpthread) inside, so
# they run from any folder, and under Wine, without DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Eigen is headers only: the build machine's copy serves the target as well.
if(NOT DEFINED Eigen3_DIR AND EXISTS /usr/share/eigen3/cmake/Eigen3Config.cmake)
    set(Eigen3_DIR /usr/share/eigen3/cmake CACHE PATH "Eigen's CMake package")
endif()
