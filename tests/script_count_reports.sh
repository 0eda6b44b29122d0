#!/usr/bin/env bash
# CI's count of tests, from real CTest output of a scratch project (two passing, one
# skipped, one failing, one disabled; labelled) run twice, beside a Windows tests line: skipped and
# disabled tests are never counted as passed, both runs and the line are added up, and
# output with no report counts nothing.
set -euo pipefail
source_dir="${LARKSPUR_SOURCE_DIR:?}"
count="$source_dir/scripts/count-test-reports.sh"
fail() {
    echo "FAIL: $*"
    exit 1
}
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cat >"$work/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(scratch NONE)
enable_testing()
add_test(NAME passes COMMAND true)
add_test(NAME passes_too COMMAND true)
add_test(NAME skips COMMAND sh -c "exit 77")
set_tests_properties(skips PROPERTIES SKIP_RETURN_CODE 77)
add_test(NAME fails COMMAND sh -c "echo '100% tests passed, 0 tests failed out of 9'; exit 1")
add_test(NAME disabled COMMAND true)
set_tests_properties(disabled PROPERTIES DISABLED TRUE)
# Labels put their time summary between CTest's count and its total time.
set_tests_properties(passes skips fails PROPERTIES LABELS unit)
CMAKE
cmake -S "$work" -B "$work/build" >/dev/null
(cd "$work/build" && ctest --output-on-failure >"$work/one.txt" 2>&1) && fail "the scratch tests all passed"
(cd "$work/build" && ctest -R passes >"$work/two.txt" 2>&1) || fail "the passing scratch tests failed"

[ "$(bash "$count" "$work/one.txt")" = "2 1 2" ] ||
    fail "one CTest run counted as $(bash "$count" "$work/one.txt"), want 2 1 2: $(cat "$work/one.txt")"
{
    cat "$work/one.txt" "$work/two.txt"
    echo "PASS zip_contents (3 s)"
    echo "windows tests: 7 passed, 1 failed, 2 skipped"
} >"$work/all.txt"
[ "$(bash "$count" "$work/all.txt")" = "11 2 4" ] ||
    fail "two runs and a Windows line counted as $(bash "$count" "$work/all.txt"), want 11 2 4"
echo "nothing to report here" >"$work/none.txt"
[ "$(bash "$count" "$work/none.txt")" = "0 0 0" ] || fail "no report counted as $(bash "$count" "$work/none.txt")"
echo PASS
