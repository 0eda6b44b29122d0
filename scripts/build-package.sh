#!/usr/bin/env bash
# Builds the Debian package of the show in one go and prints the package's path.
# Usage: bash scripts/build-package.sh [BUILD_DIR]     (default: build-package/)
# Installs what the build needs (scripts/install-deps.sh package), then builds only the show, the
# recorder and their media, in Release, into a folder of its own: no tests, no benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="$(realpath -m "${1:-build-package}")"

bash scripts/install-deps.sh package >&2

source scripts/ccache-options.sh
# Debian's hardening flags, all of them: also binding every symbol at start-up (-z now),
# so that the relocations can be made read-only. Given as options rather than through
# the environment, which CMake reads only when it first configures a folder.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
flags=(-DCMAKE_C_FLAGS="$CFLAGS $CPPFLAGS" -DCMAKE_CXX_FLAGS="$CXXFLAGS $CPPFLAGS"
    -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS"
    -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS")

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "${flags[@]}" \
    -DLARKSPUR_TESTS=OFF -DLARKSPUR_BENCH=OFF -DLARKSPUR_SANITIZE=OFF -DLARKSPUR_FUZZ=OFF \
    "${ccache_options[@]}" >&2
nice -n 10 cmake --build "$dir" -j "$(nproc)" >&2

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")"
package="$dir/larkspur_${version}_$(dpkg --print-architecture).deb"
rm -f "$package"
(cd "$dir" && cpack -G DEB) >&2
[ -f "$package" ] || { echo "build-package: cpack made no $package" >&2; exit 1; }
echo "$package"
