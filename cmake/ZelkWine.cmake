# Runs the cross-built Windows programs (the tests, and the programs they
# start) under Wine: CTest and test discovery go through a small wrapper that
# keeps Wine's state in a prefix of this build folder and prepares it on first
# use, so nothing leaks between builds or into the user's own ~/.wine.
if(NOT (CMAKE_CROSSCOMPILING AND WIN32))
    message(FATAL_ERROR "ZELK_WINE needs the Windows cross build (cmake/mingw-w64.cmake)")
endif()

find_program(ZELK_WINE_PROGRAM NAMES wine64 wine PATHS /usr/lib/wine /usr/lib/wine64 NO_CMAKE_FIND_ROOT_PATH)
find_program(ZELK_WINE_SERVER NAMES wineserver PATHS /usr/lib/wine /usr/lib/wine64 NO_CMAKE_FIND_ROOT_PATH)
if(NOT ZELK_WINE_PROGRAM OR NOT ZELK_WINE_SERVER)
    message(FATAL_ERROR "Wine was not found: install wine64")
endif()

set(ZELK_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(ZELK_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${ZELK_WINE_RUN}
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE
               @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELK_WINE_RUN})
