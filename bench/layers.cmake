# The first-frame probe that bench_frame preloads into the real program.
add_library(first_frame_probe SHARED ${CMAKE_CURRENT_SOURCE_DIR}/first_frame_probe.cpp)
target_link_libraries(first_frame_probe PRIVATE ${CMAKE_DL_LIBS})
set_target_properties(first_frame_probe PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_dependencies(bench_frame first_frame_probe larkspur)
