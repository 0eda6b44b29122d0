# The show shell's test helpers: a stand-in for the window manager's close request.
pkg_check_modules(X11 REQUIRED IMPORTED_TARGET x11)
add_executable(spine_wm_close ${CMAKE_CURRENT_SOURCE_DIR}/spine/WindowManagerClose.cpp)
target_link_libraries(spine_wm_close PRIVATE PkgConfig::X11)
set_target_properties(spine_wm_close PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
