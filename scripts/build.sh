#!/usr/bin/env bash
# Configures and builds Larkspur into build/ the way its developers and CI do: warnings
# are errors and the thread tests are also built under ThreadSanitizer. Builds everything
# (the program, its media, tests and benchmarks), or only the targets given. With
# --no-tests first, a build/ configured afresh leaves the tests and benchmarks out, so
# that their libraries need not be installed (one configured already keeps its choice):
#   bash scripts/build.sh
#   bash scripts/build.sh larkspur test_frame
#   bash scripts/build.sh --no-tests larkspur larkspur-capture
# A plain `cmake -S . -B build && cmake --build build` builds without -Werror.
set -euo pipefail
cd "$(dirname "$0")/.."
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPUR_WERROR=ON -DLARKSPUR_TSAN_TESTS=ON)
if [ "${1:-}" = "--no-tests" ]; then
    shift
    [ -f build/CMakeCache.txt ] || options+=(-DLARKSPUR_TESTS=OFF -DLARKSPUR_BENCH=OFF)
else
    options+=(-DLARKSPUR_TESTS=ON -DLARKSPUR_BENCH=ON)
fi
source scripts/ccache-options.sh
options+=("${ccache_options[@]}")
cmake -S . -B build -G Ninja "${options[@]}" >/dev/null
# Ninja's default runs two more jobs than there are cores.
if [ "$#" -gt 0 ]; then
    cmake --build build -j "$(nproc)" --target "$@"
else
    cmake --build build -j "$(nproc)"
fi
