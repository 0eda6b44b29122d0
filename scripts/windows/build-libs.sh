#!/usr/bin/env bash
# Builds the libraries the Windows show links (zlib, libpng, libjpeg-turbo, libopenmpt)
# from Debian's own source packages with the MinGW-w64 toolchain, as static libraries
# with their headers and pkg-config files, into PREFIX:
#   PREFIX/include, PREFIX/lib/{libz.a,libpng16.a,libjpeg.a,libopenmpt.a},
#   PREFIX/lib/pkgconfig/*.pc, and PREFIX/.complete, written last.
# With --web the same libraries, and FreeType and GLU's tessellator and mipmap builder
# besides (PREFIX/lib/{libfreetype.a,libGLU.a}), are built with emcc for the browser.
# The sources are fetched with `apt-get source` (needs a deb-src entry; see
# scripts/install-deps.sh windows or web, no root needed here) into PREFIX-src, which is
# kept. .complete holds the target, the source versions and the hash of this script,
# which alone says how they are built; when it already matches, nothing is done.
#
# Usage: build-libs.sh [--web] PREFIX
set -euo pipefail

target=windows
if [ "${1:-}" = "--web" ]; then
    target=web
    shift
fi
if [ "$#" -ne 1 ] || [ -z "$1" ]; then
    echo "usage: $0 [--web] PREFIX" >&2
    exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
prefix=$(realpath -m "$1")
cache="$prefix-src"
work="$cache/build"
triple=x86_64-w64-mingw32
packages=(zlib libpng1.6 libjpeg-turbo libopenmpt)
if [ "$target" = web ]; then
    # Emscripten's configure and CMake wrappers find Debian's acorn only through here.
    export NODE_PATH=/usr/share/nodejs
    packages+=(freetype libglu)
fi

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

if [ "$target" = web ]; then
    compilers=(emcc em++ emar emranlib)
else
    compilers=("$triple-gcc-posix" "$triple-g++-posix" "$triple-ar" "$triple-ranlib")
fi
for tool in "${compilers[@]}" apt-get apt-cache dpkg-source cmake make pkg-config; do
    command -v "$tool" >/dev/null || fail "$tool is missing; run scripts/install-deps.sh $target"
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

# Some mirrors serve a version's upstream tarball but not Debian's changes to it (a
# .diff.gz or .debian.tar); when only those are missing and the version is the last one
# listed, its upstream source is unpacked as it stands and the build says so.
upstream_only() {
    local pkg=$1 v=$2 dir=$3 log=$4 orig
    grep -q "^E: Failed to fetch .* 404 *Not Found" "$log" || return 1
    grep "^E: Failed to fetch http" "$log" | grep -qvE '\.(diff\.gz|debian\.tar\.[a-z0-9]+) ' && return 1
    [ "$(versions_of "$pkg" | tail -n 1)" = "$v" ] || return 1
    orig=$(find "$cache/downloads" -maxdepth 1 -name "${pkg}_${v#*:}" -prune -o \
        -name "${pkg}_$(echo "${v#*:}" | sed 's/-[^-]*$//').orig.tar.*" -print | head -n 1)
    [ -n "$orig" ] || return 1
    echo "build-libs: Debian's changes to $pkg $v are not served; building its upstream source" >&2
    rm -rf "$dir"
    mkdir -p "$dir"
    step "unpacking $pkg $v" "$log" tar -xf "$orig" -C "$dir" --strip-components=1
    touch "$dir.unpacked"
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
    [ -n "$listed" ] || fail "apt knows no source package $pkg (no deb-src entry? run scripts/install-deps.sh $target)"
    while read -r v; do
        dir="$cache/$pkg-${v#*:}"
        if [ -f "$dir.unpacked" ]; then
            echo "$v"
            return
        fi
        grep -qxF "$pkg=$v" "$cache/unavailable" && continue
        if ! (cd "$cache/downloads" &&
            apt-get source -q --download-only --only-source "$pkg=$v") >>"$log" 2>&1; then
            if upstream_only "$pkg" "$v" "$dir" "$log"; then
                echo "$v"
                return
            fi
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
    [ "$target" = windows ] || echo "target $target"
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

if [ "$target" = web ]; then
    host=wasm32-unknown-emscripten
    # libopenmpt's config.sub predates the emscripten system name; the CPU is enough.
    openmpt_host=wasm32-unknown-none
    export CC=emcc CXX=em++ AR=emar RANLIB=emranlib
    # The show catches the player's exceptions (a damaged song), so they must unwind.
    export CFLAGS="-O2" CXXFLAGS="-O2 -fexceptions" LDFLAGS="-L$prefix/lib -fexceptions"
    cmake_target=(-DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
    # CMake's size probe misreads wasm32's size_t (as 7); the size is known.
    jpeg_target=(-DHAVE_SIZE_T=TRUE -DSIZE_T=4)
else
    host=$triple
    openmpt_host=$triple
    export CC="$triple-gcc-posix" CXX="$triple-g++-posix"
    export AR="$triple-ar" RANLIB="$triple-ranlib" RC="$triple-windres" STRIP="$triple-strip"
    export CFLAGS="-O2" CXXFLAGS="-O2" LDFLAGS="-L$prefix/lib"
    jpeg_target=()
    cmake_target=(-DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=x86_64
        -DCMAKE_C_COMPILER="$CC" -DCMAKE_RC_COMPILER="$RC" -DCMAKE_AR="$(command -v "$AR")"
        -DCMAKE_RANLIB="$(command -v "$RANLIB")")
fi
export CPPFLAGS="-I$prefix/include"
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
        run_in "$dir" env CHOST="$host" ./configure --static --prefix="$prefix"
    step "zlib build" "$log" run make -C "$dir" "${jobs[@]}" libz.a
    step "zlib install" "$log" run make -C "$dir" install
}

build_libpng() {
    local dir log="$work/libpng1.6.log"
    dir=$(source_copy libpng1.6)
    step "libpng configure" "$log" \
        run_in "$dir" ./configure --host="$host" --prefix="$prefix" \
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
        "${cmake_target[@]}" "${jpeg_target[@]}" -DCMAKE_BUILD_TYPE=Release \
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
        run_in "$dir" ./configure --host="$openmpt_host" --prefix="$prefix" \
        --enable-static --disable-shared \
        --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc \
        --with-zlib --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile \
        --without-portaudio --without-portaudiocpp --without-pulseaudio \
        --without-sndfile --without-flac
    step "libopenmpt build" "$log" run make -C "$dir" "${jobs[@]}"
    step "libopenmpt install" "$log" run make -C "$dir" install
}

build_freetype() {
    local dir log="$work/freetype.log"
    dir=$(source_copy freetype)
    # Outlines of TrueType faces only: none of the optional decoders, and zlib from the
    # prefix (else FreeType builds in a copy of its own, which clashes with it).
    step "freetype configure" "$log" \
        cmake -S "$dir" -B "$dir/out" -G "Unix Makefiles" "${cmake_target[@]}" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_INSTALL_LIBDIR="$prefix/lib" -DBUILD_SHARED_LIBS=OFF \
        -DFT_REQUIRE_ZLIB=ON -DZLIB_LIBRARY="$prefix/lib/libz.a" \
        -DZLIB_INCLUDE_DIR="$prefix/include" -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
        -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
    step "freetype build" "$log" run cmake --build "$dir/out" -- "${jobs[@]}"
    step "freetype install" "$log" run cmake --install "$dir/out"
}

# GLU's tessellator and mipmap builder, the two parts of GLU the show uses; they call
# only GL 1.1, which the web back end serves.
build_libglu() {
    local dir log="$work/libglu.log" objects=() file
    dir=$(source_copy libglu)
    mkdir -p "$dir/out" "$prefix/include/GL"
    for file in "$dir"/src/libtess/*.c "$dir"/src/libutil/mipmap.c "$dir"/src/libutil/error.c; do
        # The heap is a part of priorityq.c, which includes it.
        [ "$(basename "$file")" != priorityq-heap.c ] || continue
        objects+=("$dir/out/$(basename "$file" .c).o")
        step "libglu $(basename "$file")" "$log" \
            run "$CC" $CFLAGS -DNDEBUG -I"$dir/include" -I"$dir/src/include" -c "$file" \
            -o "${objects[-1]}"
    done
    step "libglu archive" "$log" run "$AR" rcs "$prefix/lib/libGLU.a" "${objects[@]}"
    cp "$dir/include/GL/glu.h" "$prefix/include/GL/"
}

start=$SECONDS
libraries=(libz.a libpng16.a libjpeg.a libopenmpt.a)
build_zlib
build_libpng
build_libjpeg
build_libopenmpt
if [ "$target" = web ]; then
    libraries+=(libfreetype.a libGLU.a)
    build_freetype
    build_libglu
fi

# The programs, manuals and libtool files are of no use to the cross build.
rm -rf "$prefix/bin" "$prefix/share"
rm -f "$prefix"/lib/*.la
for lib in "${libraries[@]}"; do
    [ -f "$prefix/lib/$lib" ] || fail "$lib is missing from $prefix/lib after the build"
done
printf '%s\n' "$stamp" >"$prefix/.complete"
echo "build-libs: built $prefix in $((SECONDS - start)) s"
