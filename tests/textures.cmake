# Picture reader tests: the PNG bridge library is copied beside the test programs, where
# the binding looks for it; test_png_absent lives in a folder of its own without it.
file(GLOB texture_test_sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/test_texture*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/test_bmp*.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/test_tga*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/test_png*.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/test_jpeg*.cpp)
foreach(source ${texture_test_sources})
    get_filename_component(name ${source} NAME_WE)
    if(name STREQUAL "test_png_absent")
        set_target_properties(${name} PROPERTIES
            RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/without-png)
        continue()
    endif()
    add_dependencies(${name} larkspur-png)
    add_custom_command(TARGET ${name} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:larkspur-png>
                $<TARGET_FILE_DIR:${name}>)
endforeach()

# The PNG tests write their pictures with libpng itself.
foreach(name test_png_reader test_texture_golden)
    if(TARGET ${name})
        target_link_libraries(${name} PRIVATE PkgConfig::LIBPNG)
    endif()
endforeach()
