#!/usr/bin/env bash
# Builds the Windows show from a clean clone, in one go:
#   build-windows/deps/               the libraries, from Debian's source packages
#   build/data/                       the song and pictures, by the Linux build's generators
#   build-windows/                    larkspur.exe and libpng.dll, cross-built with MinGW-w64
#   build-windows/larkspur-win64.zip  both, with data/, at the zip's top level
# A prefix built elsewhere can stand in for the first step:
#   LARKSPUR_WINDOWS_DEPS=/path/to/deps bash scripts/build-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

fail() {
    echo "build-windows: $*" >&2
    exit 1
}

bash scripts/install-deps.sh windows

if [ -n "${LARKSPUR_WINDOWS_DEPS:-}" ]; then
    deps=$(realpath "$LARKSPUR_WINDOWS_DEPS")
    [ -f "$deps/.complete" ] || fail "$deps holds no finished library build (.complete is missing)"
else
    deps=$root/build-windows/deps
    [ -f scripts/windows/build-libs.sh ] || fail "scripts/windows/build-libs.sh is missing"
    bash scripts/windows/build-libs.sh "$deps"
fi

source scripts/ccache-options.sh

# The media are made on this machine, by the same generators as the Linux build's.
bash scripts/build.sh --no-tests pictures song

cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLARKSPUR_WERROR=ON \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DLARKSPUR_WINDOWS_DEPS="$deps" "${ccache_options[@]}" >/dev/null
# larkspur-measured.exe, the show writing frame statistics, stays beside the zip for the
# tests that time it.
cmake --build build-windows -j "$(nproc)" --target larkspur larkspur-measured larkspur-png

# The zip must run on a bare Windows: nothing may be imported but the system's own DLLs.
system_dlls=" $(grep -v '^#' scripts/windows/system-dlls.txt | tr '\n' ' ') "
for binary in build-windows/larkspur.exe build-windows/libpng.dll; do
    while read -r dll; do
        lower=$(echo "$dll" | tr '[:upper:]' '[:lower:]')
        case "$system_dlls" in
        *" $lower "*) ;;
        *) fail "$binary imports $dll, which Windows does not provide" ;;
        esac
    done < <(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\s*DLL Name: //p')
done

stage=build-windows/zip
rm -rf "$stage" build-windows/larkspur-win64.zip
mkdir -p "$stage/data"
x86_64-w64-mingw32-strip -o "$stage/larkspur.exe" build-windows/larkspur.exe
x86_64-w64-mingw32-strip -o "$stage/libpng.dll" build-windows/libpng.dll
for file in $(grep -v '^#' app/MediaFiles.txt); do
    [ -f "build/data/$file" ] || fail "build/data/$file was not made"
    cp "build/data/$file" "$stage/data/"
done
(cd "$stage" && zip -q -X -r ../larkspur-win64.zip larkspur.exe libpng.dll data)
echo "build-windows: $root/build-windows/larkspur-win64.zip"
