# Sourced by the sanitized runs: the one place that says where the sanitizers write and
# how their reports are shown.

# Points both sanitizers at log files named after $1 (a path prefix) and removes old
# ones; $2 is 1 to check leaks, 0 not to.
sanitizer_logs_at() {
    local prefix="$1" leaks="$2"
    mkdir -p "$(dirname "$prefix")"
    rm -f "$prefix".*
    export ASAN_OPTIONS="detect_leaks=$leaks:halt_on_error=1:log_path=$prefix"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$prefix"
}

# Prints every report written under the prefix $1; fails when there was one.
sanitizer_reports_clean() {
    local prefix="$1" found=0 report
    for report in "$prefix".*; do
        [ -e "$report" ] || continue
        echo "== sanitizer report $report"
        cat "$report"
        found=1
    done
    [ "$found" -eq 0 ]
}
