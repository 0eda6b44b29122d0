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

source scripts/sanitizer-reports.sh
reports="$dir/artifacts/sanitizer-tests"
sanitizer_logs_at "$reports" 0

status=0
cd "$dir"
LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0" \
    ASAN_OPTIONS="${ASAN_OPTIONS/detect_leaks=0/detect_leaks=1}" \
    ctest --output-on-failure -j "$(nproc)" -L unit "$@" || status=$?
ctest --output-on-failure -j "$(nproc)" -L gl "$@" || status=$?

clean=1
sanitizer_reports_clean "$reports" || clean=0
if [ "$clean" -ne 1 ] || [ "$status" -ne 0 ]; then
    echo "FAIL: sanitized unit and GL tests (status $status, reports: $((1 - clean)))"
    exit 1
fi
echo "sanitized unit and GL tests clean"
