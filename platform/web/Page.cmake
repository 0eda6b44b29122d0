# The page's program: show.js and show.wasm, with the data in show.data, preloaded from
# LARKSPUR_WEB_DATA (data/ and fonts/ as the show reads them), and index.html beside.
# main runs when the page asks (the reader's click), as often as the page makes a new
# instance; the loop's waits for animation frames unwind the stack (Asyncify) and only
# the direct calls that lead to them need to be able to.
if(NOT LARKSPUR_WEB_DATA)
    message(FATAL_ERROR "Set LARKSPUR_WEB_DATA to the folder of the page's data")
endif()
# The test page is the same program with the seam of tests/web/ added, in test/.
add_executable(larkspur-test-page ${CMAKE_SOURCE_DIR}/app/Main.cpp
    ${CMAKE_SOURCE_DIR}/tests/web/ShowTimeSeam.cpp)
target_link_libraries(larkspur-test-page PRIVATE larkspur_core)
set_target_properties(larkspur-test-page PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test)
set_target_properties(larkspur PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
foreach(page larkspur larkspur-test-page)
    set_target_properties(${page} PROPERTIES OUTPUT_NAME show SUFFIX ".js")
    target_link_options(${page} PRIVATE
        -sASYNCIFY -sASYNCIFY_IGNORE_INDIRECT=1 -sASYNCIFY_STACK_SIZE=65536
        -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=64MB
        -sINVOKE_RUN=0 -sEXIT_RUNTIME=1 -sMODULARIZE=1 -sEXPORT_NAME=createLarkspur
        -sEXPORTED_RUNTIME_METHODS=[callMain] -sENVIRONMENT=web
        -sMIN_WEBGL_VERSION=1 -sMAX_WEBGL_VERSION=1 -sFILESYSTEM=1
        --preload-file ${LARKSPUR_WEB_DATA}@/)
    set_property(TARGET ${page} APPEND PROPERTY LINK_DEPENDS ${LARKSPUR_WEB_DATA}/.complete)
    add_custom_command(TARGET ${page} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_CURRENT_LIST_DIR}/index.html
            $<TARGET_FILE_DIR:${page}>/index.html)
endforeach()
# The test page's tests take files away or spoil them before the show starts.
target_link_options(larkspur-test-page PRIVATE -sEXPORTED_RUNTIME_METHODS=[callMain,FS])
