# The picture tests run the generator itself and read what the build drew.
if(TARGET test_pictures)
    target_compile_definitions(test_pictures PRIVATE
        MAKE_PICTURES_PATH="$<TARGET_FILE:make_pictures>")
    add_dependencies(test_pictures make_pictures pictures)
endif()
