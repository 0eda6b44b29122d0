#!/usr/bin/env bash
# Builds the libraries the Windows show links (zlib, libpng, libjpeg-turbo, libopenmpt)
# from Debian's own source packages with the MinGW-w64 toolchain, as static libraries
# with their headers and pkg-config files, into PREFIX:
#   PREFIX/include, PREFIX/lib/{libz.a,libpng16.a,libjpeg.a,libopenmpt.a},
#   PREFIX/lib/pkgconfig/*.pc, and PREFIX/.complete, written last.
# The sources are fetched with `apt-get source` (needs a deb-src entry; see
# scripts/install-deps.sh windows, no root needed here) into PREFIX-src, which is kept.
# .complete holds the source versions and the hash of this script, which alone says how
# they are built; when it already matches, nothing is done.
#
# Usage: build-libs.sh PREFIX
set -euo pipefail

if [ "$#" -ne 1 ] || [ -z "$1" ]; then
    echo "usage: $0 PREFIX" >&2
    exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
prefix=$(realpath -m "$1")
cache="$prefix-src"
work="$cache/build"
triple=x86_64-w64-mingw32
packages=(zlib libpng1.6 libjpeg-turbo libopenmpt)

fail() {
    echo "build-libs: $*" >&2
    exit 1
}

# Runs one build step with its output in a log; on failure shows the log's end and
# names the step in one line.
step() {
    local name=$1 log=$2
    shift 2
    if ! "$@" >>"$log" 2>&1; then
        tail -n 25 "$log" >&2
        fail "$name failed (full log: $log)"
    fi
}

# One build of a prefix at a time; a second run waits, then finds it up to date.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9

for tool in "$triple-gcc-posix" "$triple-g++-posix" "$triple-ar" "$triple-ranlib" \
    apt-get apt-cache dpkg-source cmake make pkg-config; do
    command -v "$tool" >/dev/null || fail "$tool is missing; run scripts/install-deps.sh windows"
done

# Every version of a source package apt knows, newest first.
versions_of() {
    local pkg=$1 sorted=() v i
    while read -r v; do
        i=${#sorted[@]}
        sorted+=("$v")
        while [ "$i" -gt 0 ] && dpkg --compare-versions "${sorted[i - 1]}" lt "$v"; do
            sorted[i]=${sorted[i - 1]}
            sorted[i - 1]=$v
            i=$((i - 1))
        done
    done < <(apt-cache showsrc --only-source "$pkg" 2>/dev/null |
        awk '/^Version:/ { print $2 }' | sort -u)
    printf '%s\n' "${sorted[@]}"
}

# The newest version of a package whose source can be had: already unpacked in the
# cache, or fetched now. A version the archive answers 404 for (seen with mirrors that
# keep the security archive's binaries only) is remembered and passed over, so an
# older Debian 12 version is used instead of failing; any other error stops the build.
fetch() {
    local pkg=$1 v dir log
    mkdir -p "$cache/downloads"
    touch "$cache/unavailable"
    log="$cache/fetch-$pkg.log"
    : >"$log"
    local listed
    listed=$(versions_of "$pkg")
    [ -n "$listed" ] || fail "apt knows no source package $pkg (no deb-src entry? run scripts/install-deps.sh windows)"
    while read -r v; do
        dir="$cache/$pkg-${v#*:}"
        if [ -f "$dir.unpacked" ]; then
            echo "$v"
            return
        fi
        grep -qxF "$pkg=$v" "$cache/unavailable" && continue
        if ! (cd "$cache/downloads" &&
            apt-get source -q --download-only --only-source "$pkg=$v") >>"$log" 2>&1; then
            if grep -q "404 *Not Found" "$log"; then
                echo "build-libs: $pkg $v is listed but its source is not served; trying an older one" >&2
                echo "$pkg=$v" >>"$cache/unavailable"
                : >"$log"
                continue
            fi
            tail -n 10 "$log" >&2
            fail "apt-get source $pkg=$v failed (full log: $log)"
        fi
        rm -rf "$dir"
        step "unpacking $pkg $v" "$log" \
            dpkg-source --no-check -x "$cache/downloads/${pkg}_${v#*:}.dsc" "$dir"
        touch "$dir.unpacked"
        echo "$v"
        return
    done <<<"$listed"
    fail "no version of $pkg could be fetched (full log: $log)"
}

declare -A version
for pkg in "${packages[@]}"; do
    version[$pkg]=$(fetch "$pkg") || exit 1
done

stamp=$(
    for pkg in "${packages[@]}"; do
        echo "$pkg ${version[$pkg]}"
    done
    echo "build-libs.sh $(sha256sum <"$here/build-libs.sh" | cut -d' ' -f1)"
)
if [ -f "$prefix/.complete" ] && [ "$(cat "$prefix/.complete")" = "$stamp" ]; then
    echo "build-libs: $prefix is up to date"
    exit 0
fi

# From here on the prefix is rebuilt from nothing: a stale or half-built one must not
# keep its .complete.
rm -rf "$prefix" "$work"
mkdir -p "$prefix/include" "$prefix/lib/pkgconfig" "$work"

export CC="$triple-gcc-posix" CXX="$triple-g++-posix"
export AR="$triple-ar" RANLIB="$triple-ranlib" RC="$triple-windres" STRIP="$triple-strip"
export CFLAGS="-O2" CXXFLAGS="-O2" CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib"
# Only the prefix's own .pc files: nothing of the build machine may leak in.
export PKG_CONFIG=pkg-config PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH=""
jobs=(-j"$(nproc)")
run() { nice -n 10 "$@"; }
# configure scripts run where they lie.
run_in() { (cd "$1" && shift && run "$@"); }

# A fresh copy of the unpacked source to build in, so every build starts clean.
source_copy() {
    local pkg=$1
    rm -rf "$work/$pkg"
    local v=${version[$pkg]}
    cp -a "$cache/$pkg-${v#*:}" "$work/$pkg"
    echo "$work/$pkg"
}

build_zlib() {
    local dir log="$work/zlib.log"
    dir=$(source_copy zlib)
    # zlib's configure takes the target from CHOST and, with --static, makes libz.a only.
    step "zlib configure" "$log" \
        run_in "$dir" env CHOST="$triple" ./configure --static --prefix="$prefix"
    step "zlib build" "$log" run make -C "$dir" "${jobs[@]}" libz.a
    step "zlib install" "$log" run make -C "$dir" install
}

build_libpng() {
    local dir log="$work/libpng1.6.log"
    dir=$(source_copy libpng1.6)
    step "libpng configure" "$log" \
        run_in "$dir" ./configure --host="$triple" --prefix="$prefix" \
        --enable-static --disable-shared
    step "libpng build" "$log" run make -C "$dir" "${jobs[@]}"
    step "libpng install" "$log" run make -C "$dir" install
}

build_libjpeg() {
    local dir log="$work/libjpeg-turbo.log"
    dir=$(source_copy libjpeg-turbo)
    # No SIMD: that would need nasm, and the show decodes only a few pictures at start.
    # The default libjpeg 6.2 interface, as Debian's libjpeg62-turbo.
    step "libjpeg-turbo configure" "$log" \
        cmake -S "$dir" -B "$dir/out" -G "Unix Makefiles" \
        -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64 \
        -DCMAKE_C_COMPILER="$CC" -DCMAKE_RC_COMPILER="$RC" -DCMAKE_AR="$(command -v "$AR")" \
        -DCMAKE_RANLIB="$(command -v "$RANLIB")" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR="$prefix/lib" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=OFF \
        -DWITH_JPEG8=OFF -DWITH_JAVA=OFF
    step "libjpeg-turbo build" "$log" run cmake --build "$dir/out" -- "${jobs[@]}"
    step "libjpeg-turbo install" "$log" run cmake --install "$dir/out"
}

build_libopenmpt() {
    local dir log="$work/libopenmpt.log"
    dir=$(source_copy libopenmpt)
    # The library alone: no player, examples, tests or documents, and none of the
    # optional decoders and outputs; zlib (from the prefix) for compressed modules.
    step "libopenmpt configure" "$log" \
        run_in "$dir" ./configure --host="$triple" --prefix="$prefix" \
        --enable-static --disable-shared \
        --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
        --with-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
        --without-portaudio --without-portaudiocpp --without-pulseaudio \
        --without-sndfile --without-flac
    step "libopenmpt build" "$log" run make -C "$dir" "${jobs[@]}"
    step "libopenmpt install" "$log" run make -C "$dir" install
}

start=$SECONDS
build_zlib
build_libpng
build_libjpeg
build_libopenmpt

# The programs, manuals and libtool files are of no use to the cross build.
rm -rf "$prefix/bin" "$prefix/share"
rm -f "$prefix"/lib/*.la
for lib in libz.a libpng16.a libjpeg.a libopenmpt.a; do
    [ -f "$prefix/lib/$lib" ] || fail "$lib is missing from $prefix/lib after the build"
done
printf '%s\n' "$stamp" >"$prefix/.complete"
echo "build-libs: built $prefix in $((SECONDS - start)) s"
