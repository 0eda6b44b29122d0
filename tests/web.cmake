# The page in headless Chromium: the checks of tests/web/run.sh, on the test page that
# scripts/build-web.sh makes in build-web/test (skipped until it is made). They compare
# with this build's recorder and sound matcher. One browser at a time.
foreach(check frames missing-picture sound escape end bad-song)
    string(REPLACE "-" "_" name "e2e_web_${check}")
    add_test(NAME ${name} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/web/run.sh ${check})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "LARKSPUR_BUILD_DIR=${CMAKE_BINARY_DIR};LARKSPUR_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
        SKIP_RETURN_CODE 77
        RESOURCE_LOCK web_browser
        TIMEOUT 600)
    larkspur_label_test(${name} e2e)
endforeach()
