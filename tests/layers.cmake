# The whole-show run skips (exit 77) while the program or its media are not built yet.
if(TEST e2e_show_full)
    set_tests_properties(e2e_show_full PROPERTIES SKIP_RETURN_CODE 77)
endif()
# The timeline model needs no GL context: a quick unit test.
set_tests_properties(test_timeline PROPERTIES LABELS unit)
