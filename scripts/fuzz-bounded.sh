#!/usr/bin/env bash
# Builds the picture reader fuzz targets with clang (ASan + UBSan) into build-fuzz/ and
# runs each for a bounded time, one after the other, under nice. Exits non-zero when any
# target reports a crash, leak, timeout, out-of-memory or sanitizer error.
#
#   FUZZ_SECONDS   seconds per target (default 60); a longer run: FUZZ_SECONDS=1800
#   FUZZ_TARGETS   targets to run (default: every fuzz target of the picture readers)
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

failed=0
for target in $targets; do
    corpus="build-fuzz/corpus/$target"
    artifacts="build-fuzz/artifacts/$target"
    log="build-fuzz/$target.log"
    mkdir -p "$corpus" "$artifacts"
    status=0
    nice -n 10 "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    if [ "$status" -ne 0 ] || grep -q "runtime error:\|ERROR: AddressSanitizer\|ERROR: LeakSanitizer" "$log"; then
        echo "$target: FINDING after ${runs:-?} executions (exit $status)"
        tail -n 60 "$log"
        failed=1
    else
        echo "$target: ${runs:-?} executions in ${seconds} s, no finding"
    fi
done
exit "$failed"
