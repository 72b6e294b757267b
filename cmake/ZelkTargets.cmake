# Project-wide compile settings, applied per target so that nothing leaks into
# third-party code.

if(ZELK_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# The fuzzing build instruments everything for coverage and the sanitizers;
# only the fuzz targets themselves link libFuzzer's driver.
if(ZELK_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "ZELK_FUZZ needs clang: configure with CXX=clang++")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

function(zelk_target_settings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /utf-8)
        if(ZELK_WERROR)
            target_compile_options(${target} PRIVATE /WX)
        endif()
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                               -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
                               -Woverloaded-virtual -Wnull-dereference -Wformat=2)
        if(ZELK_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    endif()
endfunction()

# zelk_add_library(name [QT] SOURCES ... [DEPS ...]) : one library per source
# folder. Only targets marked QT get Qt's code generators.
function(zelk_add_library name)
    cmake_parse_arguments(ARG "QT" "" "SOURCES;DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    if(NOT ARG_QT)
        set_target_properties(${name} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    endif()
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    zelk_target_settings(${name})
endfunction()
