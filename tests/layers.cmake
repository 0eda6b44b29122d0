# The whole-show run skips (exit 77) while the program or its media are not built yet.
if(TEST e2e_show_full)
    set_tests_properties(e2e_show_full PROPERTIES SKIP_RETURN_CODE 77)
endif()
