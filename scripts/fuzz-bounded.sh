#!/usr/bin/env bash
# Builds the picture reader fuzz targets with clang (ASan + UBSan) into build-fuzz/ and
# runs each for a bounded time, FUZZ_JOBS at a time, under nice. Exits non-zero when any
# target reports a crash, leak, timeout, out-of-memory or sanitizer error.
#
#   FUZZ_SECONDS   seconds per target (default 60); a longer run: FUZZ_SECONDS=1800
#   FUZZ_TARGETS   targets to run (default: every fuzz target of the picture readers)
#   FUZZ_JOBS      targets run at once (default: one per core; each uses one)
#
# New inputs found go to build-fuzz/corpus/<target>/ (the seeds in fuzz/corpus/ stay as
# they are); a finding is saved in build-fuzz/artifacts/<target>/ and its log printed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
targets="${FUZZ_TARGETS:-fuzz_bmp fuzz_tga fuzz_jpeg fuzz_png}"

options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPUR_FUZZ=ON -DLARKSPUR_TESTS=OFF
    -DLARKSPUR_BENCH=OFF -DLARKSPUR_WERROR=ON)
source scripts/ccache-options.sh
options+=("${ccache_options[@]}")
CXX=clang++ CC=clang cmake -S . -B build-fuzz -G Ninja "${options[@]}" >/dev/null
# shellcheck disable=SC2086
cmake --build build-fuzz --target $targets -j "$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"

# One target's run; its verdict goes to its own file, printed in order at the end.
fuzz_target() { # TARGET
    local target=$1 corpus="build-fuzz/corpus/$1" artifacts="build-fuzz/artifacts/$1"
    local log="build-fuzz/$1.log" status=0 runs
    mkdir -p "$corpus" "$artifacts"
    nice -n 10 "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    if [ "$status" -ne 0 ] || grep -q "runtime error:\|ERROR: AddressSanitizer\|ERROR: LeakSanitizer" "$log"; then
        { echo "$target: FINDING after ${runs:-?} executions (exit $status)"; tail -n 60 "$log"; } \
            >"build-fuzz/$target.verdict"
        return 1
    fi
    echo "$target: ${runs:-?} executions in ${seconds} s, no finding" >"build-fuzz/$target.verdict"
}

jobs="${FUZZ_JOBS:-$(nproc)}"
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || { echo "FUZZ_JOBS must be a whole number from 1" >&2; exit 2; }
failed=0
running=0
for target in $targets; do
    rm -f "build-fuzz/$target.verdict"
    if [ "$running" -ge "$jobs" ]; then
        wait -n || failed=1
        running=$((running - 1))
    fi
    fuzz_target "$target" &
    running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
    wait -n || failed=1
    running=$((running - 1))
done
for target in $targets; do
    cat "build-fuzz/$target.verdict" 2>/dev/null || { echo "$target: no verdict"; failed=1; }
done
exit "$failed"
