#!/usr/bin/env bash
# Checks the cross-built Windows libraries against the build machine's own: LibsCheck is
# built twice from one source, for Windows against PREFIX (run under Wine) and for
# Linux against the system's libraries, and both read the show's song and pictures.
# Any difference in what they print fails the check.
#
# Usage: tests/windows/libs/run.sh [PREFIX [LINUX_BUILD_DIR]]
#   PREFIX           made by scripts/windows/build-libs.sh (default build-windows/deps)
#   LINUX_BUILD_DIR  a Linux build holding data/theme.xm and data/*.jpg (default build)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
prefix=$(realpath -m "${1:-$root/build-windows/deps}")
linux_build=$(realpath -m "${2:-$root/build}")
out="$(dirname "$prefix")/libs-check"
triple=x86_64-w64-mingw32

fail() {
    echo "libs check: $*" >&2
    exit 1
}

[ -f "$prefix/.complete" ] || fail "$prefix is not a finished prefix; run scripts/windows/build-libs.sh"
for f in theme.xm d1.jpg; do
    [ -f "$linux_build/data/$f" ] || fail "$linux_build/data/$f is missing; build the Linux targets song and pictures"
done
for tool in "$triple-g++-posix" g++ pkg-config wine convert; do
    command -v "$tool" >/dev/null || fail "$tool is missing; run scripts/install-deps.sh test windows"
done

rm -rf "$out/run"
mkdir -p "$out/run"
cp "$linux_build/data/theme.xm" "$linux_build/data/d1.jpg" "$out/run/"
# A PNG made elsewhere, with what the show's PNG loader may meet: 16 bits a channel,
# an alpha channel and interlacing.
convert "$linux_build/data/d1.jpg" -resize 160x120 -alpha set -depth 16 -interlace PNG \
    "$out/run/picture.png"

libs="libopenmpt libpng libjpeg zlib"
# shellcheck disable=SC2046,SC2086
PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH="" \
    "$triple-g++-posix" -std=c++17 -O2 -o "$out/LibsCheck.exe" "$here/LibsCheck.cpp" \
    $(PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" pkg-config --static --cflags --libs $libs) \
    -static -static-libgcc -static-libstdc++ ||
    fail "cross-building LibsCheck against $prefix failed"
# shellcheck disable=SC2046,SC2086
g++ -std=c++17 -O2 -o "$out/LibsCheck" "$here/LibsCheck.cpp" $(pkg-config --cflags --libs $libs) ||
    fail "building LibsCheck for Linux failed"

export WINEPREFIX="$out/wineprefix" WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >"$out/wineboot.log" 2>&1 || fail "wineboot -i failed (log: $out/wineboot.log)"
    wineserver -w
fi

cd "$out/run"
set +e
"$out/LibsCheck" theme.xm d1.jpg picture.png >"$out/linux.txt" 2>&1
linux_status=$?
wine "$out/LibsCheck.exe" theme.xm d1.jpg picture.png 2>&1 | tr -d '\r' >"$out/windows.txt"
windows_status=${PIPESTATUS[0]}
set -e

[ "$linux_status" -eq 0 ] || fail "the Linux LibsCheck failed ($linux_status): $(cat "$out/linux.txt")"
[ "$windows_status" -eq 0 ] ||
    fail "LibsCheck.exe under Wine failed ($windows_status): $(cat "$out/windows.txt")"
if ! diff -u "$out/linux.txt" "$out/windows.txt"; then
    fail "the Windows libraries differ from the Linux ones (above: - Linux, + Windows)"
fi
cat "$out/windows.txt"
echo "libs check: the Windows libraries agree with the Linux ones"
