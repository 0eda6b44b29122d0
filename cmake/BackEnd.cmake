# The back end the programs are built for. A folder with back ends keeps what every
# platform shares at its top and one subfolder per back end, named as LARKSPUR_PLATFORM
# names it: platform/sdl/ (Linux: SDL2, RandR, dlopen) beside platform/windows/ (the
# system's own calls) and platform/web/ (a browser page: WebGL, Web Audio).
if(EMSCRIPTEN)
    set(larkspur_default_platform web)
elseif(WIN32)
    set(larkspur_default_platform windows)
else()
    set(larkspur_default_platform sdl)
endif()
set(LARKSPUR_PLATFORM ${larkspur_default_platform} CACHE STRING "The back end: sdl, windows or web")
set_property(CACHE LARKSPUR_PLATFORM PROPERTY STRINGS sdl windows web)
if(NOT IS_DIRECTORY ${CMAKE_SOURCE_DIR}/platform/${LARKSPUR_PLATFORM})
    message(FATAL_ERROR "LARKSPUR_PLATFORM=${LARKSPUR_PLATFORM} names no back end under platform/")
endif()

# Adds the sources of the calling folder's chosen back end (its LARKSPUR_PLATFORM
# subfolder, if it has one) to `target`, but for the file names given after EXCLUDE.
function(larkspur_back_end_sources target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" EXCLUDE)
    file(GLOB sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/${LARKSPUR_PLATFORM}/*.c
        ${CMAKE_CURRENT_SOURCE_DIR}/${LARKSPUR_PLATFORM}/*.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/${LARKSPUR_PLATFORM}/*.def)
    foreach(name ${arg_EXCLUDE})
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${LARKSPUR_PLATFORM}/${name})
    endforeach()
    target_sources(${target} PRIVATE ${sources})
endfunction()
