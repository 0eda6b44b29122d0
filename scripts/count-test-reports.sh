#!/usr/bin/env bash
# Usage: scripts/count-test-reports.sh FILE...
# Prints "PASSED FAILED SKIPPED": the tests that the runners whose output is in FILE
# reported, added up. It reads CTest's closing lines (CTest counts its skipped tests in
# its total, so they come off the passed ones; disabled tests are in no total and count
# as skipped) and lines "NAME: N passed, M failed, K skipped" such as the Windows tests
# print. Output that holds no report counts nothing.
set -euo pipefail
[ $# -gt 0 ] || { sed -n '2,7s/^# \{0,1\}//p' "$0" >&2; exit 2; }
# A test's own output (--output-on-failure) may hold lines like CTest's: only the last
# summary before CTest's total time, and only the lines of its "did not run" list, count.
awk '
/^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+$/ {
    pending_total = $NF; pending_bad = $4; pending = 1; next
}
/^Total Test time \(real\)/ {
    if (pending) { total += pending_total; bad += pending_bad }
    pending = 0; next
}
/^$/ { in_list = 0; next }
/^The following tests did not run:$/ { in_list = 1; next }
in_list && /^\t *[0-9]+ - .* \(Skipped\)$/ { skip++; next }
in_list && /^\t *[0-9]+ - .* \(Disabled\)$/ { disabled++; next }
/^[a-z][a-z ]*: [0-9]+ passed, [0-9]+ failed, [0-9]+ skipped$/ {
    own_pass += $(NF - 5); own_fail += $(NF - 3); own_skip += $(NF - 1)
}
END { print total - bad - skip + own_pass, bad + own_fail, skip + disabled + own_skip }
' "$@"
