# The picture reader benchmark writes its PNG with libpng and finds the bridge beside
# itself.
if(TARGET bench_textures)
    target_link_libraries(bench_textures PRIVATE PkgConfig::LIBPNG)
    add_dependencies(bench_textures larkspur-png)
    add_custom_command(TARGET bench_textures POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:larkspur-png>
                $<TARGET_FILE_DIR:bench_textures>)
endif()
