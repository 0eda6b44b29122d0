#!/usr/bin/env bash
# Configures and builds Larkspur with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-sanitize/ (no benchmarks), under nice: everything, or only the targets given.
# Shared by sanitized-tests.sh and sanitized-show.sh so that both use one build.
set -euo pipefail
cd "$(dirname "$0")/.."
# The sanitized tests and the sanitized show may be built at the same moment (CI runs
# them side by side): one configure and build at a time in the folder.
mkdir -p build-sanitize
exec 9>build-sanitize/.build-lock
flock 9
# Line tables only: enough for the sanitizers' stack traces, and the build takes about
# a fifth less time than with full debugging information.
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPUR_SANITIZE=ON -DLARKSPUR_TESTS=ON
    -DLARKSPUR_BENCH=OFF -DLARKSPUR_WERROR=ON
    "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
source scripts/ccache-options.sh
options+=("${ccache_options[@]}")
cmake -S . -B build-sanitize -G Ninja "${options[@]}" >/dev/null
if [ "$#" -gt 0 ]; then
    nice -n 10 cmake --build build-sanitize -j "$(nproc)" --target "$@"
else
    nice -n 10 cmake --build build-sanitize -j "$(nproc)"
fi
