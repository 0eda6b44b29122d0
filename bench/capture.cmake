# The recorder's benchmark drives its library directly.
if(TARGET bench_capture)
    target_link_libraries(bench_capture PRIVATE larkspur_capture)
endif()
