# Tests on the real X and sound servers (tests/servers/), and the display guardian's logic.
add_executable(larkspur-sound-match ${CMAKE_CURRENT_SOURCE_DIR}/servers/SoundMatch.cpp)
target_link_libraries(larkspur-sound-match PRIVATE PkgConfig::OPENMPT)
set_target_properties(larkspur-sound-match PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

target_link_libraries(test_screen_layout PRIVATE larkspur_screen_layout)

set_tests_properties(e2e_display_restore e2e_sound_pulse e2e_start_failures e2e_weston_native
    e2e_weston_xwayland e2e_mutter e2e_sound_pipewire PROPERTIES SKIP_RETURN_CODE 77)
# The compositors run in namespaces and runtime folders of their own, with no X display
# or sound device shared with the other tests: they need not wait for the virtual screen,
# only for each other.
set_tests_properties(e2e_weston_native e2e_weston_xwayland e2e_mutter PROPERTIES
    RESOURCE_LOCK wayland_compositor)
