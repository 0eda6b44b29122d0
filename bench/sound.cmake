# The counter of gaps in a recording of the show's sound (bench/sound-gaps.sh).
add_executable(larkspur-sound-gaps ${CMAKE_CURRENT_SOURCE_DIR}/SoundGaps.cpp)
set_target_properties(larkspur-sound-gaps PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)

# How far the picture runs ahead of the sound (bench/av-offset.sh): it records a sink's
# monitor with the server's timing, so it needs libpulse's simple API.
pkg_check_modules(PULSE_SIMPLE IMPORTED_TARGET libpulse-simple)
if(PULSE_SIMPLE_FOUND)
    add_executable(larkspur-av-offset ${CMAKE_CURRENT_SOURCE_DIR}/AvOffsetMain.cpp)
    target_include_directories(larkspur-av-offset PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(larkspur-av-offset PRIVATE PkgConfig::PULSE_SIMPLE)
    set_target_properties(larkspur-av-offset PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endif()
