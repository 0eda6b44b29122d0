# The PNG fuzz target finds the bridge library beside itself.
if(TARGET fuzz_png)
    add_dependencies(fuzz_png larkspur-png)
    add_custom_command(TARGET fuzz_png POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:larkspur-png>
                $<TARGET_FILE_DIR:fuzz_png>)
endif()
