# The show shell's test helpers: a stand-in for the window manager's close request.
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
add_executable(wm_close_request ${CMAKE_CURRENT_SOURCE_DIR}/e2e/WindowManagerClose.cpp)
target_link_libraries(wm_close_request PRIVATE PkgConfig::X11)
set_target_properties(wm_close_request PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The shell's end-to-end tests report a missing prerequisite with status 77.
file(GLOB e2e CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/e2e_*.sh)
foreach(script ${e2e})
    get_filename_component(name ${script} NAME_WE)
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
endforeach()

# The frame statistics are the measured build's, not the show library's.
target_link_libraries(test_frame_stats PRIVATE larkspur_frame_stats)

# The shipped show reads no variable of ours; the measured build's name for its file shows
# that the search finds such a name where one is.
add_test(NAME shipped_show_reads_no_variable COMMAND sh -c
    "grep -aq LARKSPUR_FRAME_STATS \"$1\" && ! grep -ao 'LARKSPUR_[A-Z_]*' \"$2\""
    _ $<TARGET_FILE:larkspur-measured> $<TARGET_FILE:larkspur>)
larkspur_label_test(shipped_show_reads_no_variable unit)
