#!/usr/bin/env bash
# Installs every Debian 12 package Larkspur needs to build, run and test.
# Safe to run again; needs root (or sudo).
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev
    # rebuilds of the several build folders (plain, sanitized, fuzz, package) share one cache
    ccache
    # the Windows build's download is a zip
    zip
    # the Debian package: CPack's dependency scan (file, dpkg-shlibdeps) and its checks
    file dpkg-dev lintian desktop-file-utils appstream
    # libraries the show links
    libsdl2-dev libopenmpt-dev libjpeg-dev libpng-dev libfreetype-dev libfontconfig-dev
    libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri mesa-utils
    # fonts the outline builder draws from
    fontconfig fonts-liberation2 fonts-symbola
    # tests, benchmarks and media checks
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    # (imagemagick also draws the icons at build time)
    xvfb xauth xdotool x11-apps imagemagick openmpt123 xmp sox ffmpeg
    # the X11 message box draws with the core fonts; the shell tests find windows with Xlib and xwininfo
    xfonts-base libx11-dev x11-utils
    # zenity, as GNOME desktops ship it: SDL's message box tries it first
    zenity
    # the display guardian restores the X display's mode through RandR
    libxrandr-dev
    # real servers for the end-to-end tests: an X server with display modes, a sound server
    xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils pulseaudio pulseaudio-utils procps
    # the Windows cross build, and Wine to run its tests
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
    wine wine64 fonts-wine
    # (the Windows libraries come from Debian's source packages: apt-get source and
    # dpkg-dev unpack and patch them; their configure scripts ship generated, so no
    # autotools; libjpeg-turbo is built without SIMD, so no nasm)
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ "${#missing[@]}" -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update
    $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The Windows libraries are built from Debian's own source packages, so apt needs a
# deb-src entry: one that mirrors this machine's Debian entries, added only when it has
# none yet.
deb_src_file=/etc/apt/sources.list.d/larkspur-deb-src.sources
entries=$("$(dirname "$0")/windows/deb-src-entries.sh")
if [ -n "$entries" ]; then
    printf '# Added by install-deps.sh (Larkspur) for apt-get source.\n%s\n' "$entries" |
        $SUDO tee "$deb_src_file" >/dev/null
    $SUDO apt-get update
fi
