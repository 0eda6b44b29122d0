# The Windows library build's scripts, checked without building anything for Windows:
# the deb-src entry install-deps.sh derives, and build-libs.sh's bookkeeping. The check
# of the built libraries themselves (tests/windows/libs/run.sh) needs the cross-built
# prefix and Wine, so it runs with the Windows build, not here.
foreach(check deb-src-entries build-libs-steps)
    string(REPLACE "-" "_" name "script_${check}")
    add_test(NAME ${name} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/libs/${check}.sh)
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
    larkspur_label_test(${name} unit)
endforeach()
