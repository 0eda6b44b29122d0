# The counter of gaps in a recording of the show's sound (bench/sound-gaps.sh).
add_executable(larkspur-sound-gaps ${CMAKE_CURRENT_SOURCE_DIR}/SoundGaps.cpp)
set_target_properties(larkspur-sound-gaps PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
