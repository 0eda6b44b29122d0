# The recorder's tests: the GoogleTest program drives its library directly; the shell
# test runs the program (it needs the show's media in build/data and exits 77 without).
if(TARGET test_capture)
    target_link_libraries(test_capture PRIVATE larkspur_capture)
endif()
if(TEST e2e_capture)
    set_tests_properties(e2e_capture PROPERTIES SKIP_RETURN_CODE 77)
endif()
