#!/usr/bin/env bash
# Builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-sanitize/ and runs the unit and GL tests there, two at a time. Fails on a failed
# test and on any sanitizer report; arguments go to ctest.
# Leaks are checked in the unit tests, which free what they take, apart from what
# fontconfig keeps (scripts/leak-suppressions.txt). Not in the GL tests: the layers keep
# their textures, fonts and song for the life of the process, as the show does, and Mesa
# and the X client libraries leave their own allocations at exit.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$(pwd)/build-sanitize"
suppressions="$(pwd)/scripts/leak-suppressions.txt"
bash scripts/sanitized-build.sh

reports="$dir/artifacts/sanitizer-tests"
mkdir -p "$dir/artifacts"
rm -f "$reports".*
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$reports"

status=0
cd "$dir"
LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0" \
    ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:log_path=$reports" \
    ctest --output-on-failure -j2 -L unit "$@" || status=$?
ASAN_OPTIONS="detect_leaks=0:halt_on_error=1:log_path=$reports" \
    ctest --output-on-failure -j2 -L gl "$@" || status=$?

found=0
for report in "$reports".*; do
    [ -e "$report" ] || continue
    echo "== sanitizer report $report"
    cat "$report"
    found=1
done
if [ "$found" -ne 0 ] || [ "$status" -ne 0 ]; then
    echo "FAIL: sanitized unit and GL tests (status $status, reports: $found)"
    exit 1
fi
echo "sanitized unit and GL tests clean"
