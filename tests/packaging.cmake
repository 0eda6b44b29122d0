# The installed show's tests. Installing into the system and building the package in a
# Release folder of its own make the package test slow; both need a virtual screen.
if(TEST e2e_install)
    set_tests_properties(e2e_install PROPERTIES LABELS "e2e" SKIP_RETURN_CODE 77)
endif()
if(TEST e2e_install_package)
    set_tests_properties(e2e_install_package PROPERTIES
        LABELS "e2e;slow" SKIP_RETURN_CODE 77 TIMEOUT 1800)
endif()

# The menu entry and the software-centre metadata, as the build configured them.
set(generated ${CMAKE_BINARY_DIR}/packaging)
add_test(NAME packaging_desktop_entry
    COMMAND desktop-file-validate ${generated}/${LARKSPUR_APP_ID}.desktop)
add_test(NAME packaging_metainfo
    COMMAND appstreamcli validate --no-net ${generated}/${LARKSPUR_APP_ID}.metainfo.xml)
