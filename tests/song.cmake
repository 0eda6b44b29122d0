# The song tests: the unit test links the generator's library; the player test runs the
# generator itself for the determinism check.
if(TARGET test_song)
    target_link_libraries(test_song PRIVATE larkspur_song)
endif()
if(TEST e2e_song)
    set_property(TEST e2e_song APPEND PROPERTY ENVIRONMENT
        "LARKSPUR_MAKE_SONG=$<TARGET_FILE:make_song>")
endif()
