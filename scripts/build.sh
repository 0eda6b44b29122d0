#!/usr/bin/env bash
# Configures and builds Larkspur into build/ the way its developers and CI do: warnings
# are errors and the thread tests are also built under ThreadSanitizer. Builds everything
# (the program, its media, tests and benchmarks), or only the targets given:
#   bash scripts/build.sh
#   bash scripts/build.sh larkspur test_frame
# A plain `cmake -S . -B build && cmake --build build` builds without -Werror.
set -euo pipefail
cd "$(dirname "$0")/.."
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPUR_WERROR=ON -DLARKSPUR_TSAN_TESTS=ON)
if command -v ccache >/dev/null; then
    options+=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build -G Ninja "${options[@]}" >/dev/null
if [ "$#" -gt 0 ]; then
    cmake --build build --target "$@"
else
    cmake --build build
fi
