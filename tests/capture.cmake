# The recorder's tests: the GoogleTest programs drive its library directly; the shell
# tests run the program (they need the show's media in build/data and exit 77 without).
foreach(name test_capture test_capture_files test_capture_frames test_capture_runs test_capture_size
             test_capture_skip test_capture_edges test_capture_late test_sampled_region)
    if(TARGET ${name})
        target_link_libraries(${name} PRIVATE larkspur_capture)
    endif()
endforeach()
foreach(name e2e_capture e2e_capture_safety)
    if(TEST ${name})
        set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
    endif()
endforeach()
