#!/usr/bin/env bash
# Builds the show with AddressSanitizer and UndefinedBehaviorSanitizer into build-sanitize/
# and runs the whole show end to end under a virtual screen (tests/e2e_show_full.sh).
# Fails on any sanitizer report, on a failed run, and when the run cannot take place.
# Leak checking is off: the show deliberately keeps its textures, fonts and song until the
# process ends, and the GL and X client libraries leave their own allocations at exit.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$(pwd)/build-sanitize"

# Only what the show needs: the program, its PNG bridge and its media.
bash scripts/sanitized-build.sh larkspur larkspur-png song pictures

source scripts/sanitizer-reports.sh
reports="$dir/artifacts/sanitizer"
sanitizer_logs_at "$reports" 0

status=0
LARKSPUR_BUILD_DIR="$dir" bash tests/e2e_show_full.sh || status=$?

clean=1
sanitizer_reports_clean "$reports" || clean=0
if [ "$status" -eq 77 ]; then
    echo "FAIL: the sanitized show could not run (program or media missing)"
    exit 1
fi
if [ "$clean" -ne 1 ] || [ "$status" -ne 0 ]; then
    echo "FAIL: sanitized whole-show run (status $status, reports: $((1 - clean)))"
    exit 1
fi
echo "sanitized whole-show run clean"
