# The installed show's tests; both need a virtual screen. Installing into the system and
# building the package in a Release folder of its own make the package test slow.
if(TEST e2e_install)
    set_tests_properties(e2e_install PROPERTIES SKIP_RETURN_CODE 77)
endif()
if(TEST e2e_install_package)
    set_tests_properties(e2e_install_package PROPERTIES
        SKIP_RETURN_CODE 77 TIMEOUT 1800)
endif()

# The menu entry and the software-centre metadata, as the build configured them.
set(generated ${CMAKE_BINARY_DIR}/packaging)
add_test(NAME packaging_desktop_entry
    COMMAND desktop-file-validate ${generated}/${LARKSPUR_APP_ID}.desktop)
add_test(NAME packaging_metainfo
    COMMAND appstreamcli validate --no-net ${generated}/${LARKSPUR_APP_ID}.metainfo.xml)

# The installed commands' --help, --version and manual pages, and the launchers under any
# PATH; the recorder draws one still offscreen.
add_test(NAME packaging_help COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/packaging_help.sh)
set_tests_properties(packaging_help PROPERTIES
    ENVIRONMENT "LARKSPUR_BUILD_DIR=${CMAKE_BINARY_DIR};LARKSPUR_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
    TIMEOUT 120)
list(APPEND LARKSPUR_GL_TESTS packaging_help)
