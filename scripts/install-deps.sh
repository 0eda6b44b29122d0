#!/usr/bin/env bash
# Installs the Debian 12 packages that one kind of work on Larkspur needs; nothing more.
#   bash scripts/install-deps.sh PROFILE...          install what the profiles need
#   bash scripts/install-deps.sh --list PROFILE...   print those packages, install nothing
# Profiles:
#   run      build the show and the recorder, run the show (compiler, CMake, libraries, fonts)
#   record   what the recorder's videos need besides (ffmpeg)
#   package  build the Debian package (run, plus its dependency scan and the icons)
#   test     every Linux test: run, record and package, plus the test tools, the sanitizer
#            and fuzzer toolchain, real display and sound servers, and the package checks
#   windows  cross-build the Windows show and run its tests under Wine (run, plus
#            MinGW-w64 and Wine); also adds a deb-src entry to apt's sources when apt has
#            none, so that apt-get source can fetch the libraries' sources, and says so.
#            Only this profile and web change apt's configuration.
#   web      build the show for a web browser with emcc and test it in headless Chromium
#            (run, plus Emscripten and Chromium); adds the same deb-src entry as windows.
# Safe to run again; needs root (or sudo) only when something is missing.
# LARKSPUR_APT_ETC (default /etc/apt) is the apt configuration read and written.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

usage() {
    sed -n '2,15s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

# One function a profile: the packages it adds, with why.
packages_run() {
    # the compiler and build tools
    echo build-essential cmake ninja-build pkg-config
    # libraries the show links, and the display guardian's RandR
    echo libsdl2-dev libopenmpt-dev libjpeg-dev libpng-dev libfreetype-dev libfontconfig-dev
    echo libgl1-mesa-dev libglu1-mesa-dev libgl1-mesa-dri libx11-dev libxrandr-dev
    # fonts the outline builder draws from
    echo fontconfig fonts-liberation2 fonts-symbola
}

packages_record() {
    # the recorder draws with Mesa through EGL, without a display, and encodes with ffmpeg
    echo libegl-mesa0 ffmpeg
}

packages_package() {
    # CPack's dependency scan (file, dpkg-shlibdeps), Debian's build flags; the icons
    echo file dpkg-dev imagemagick
}

packages_test() {
    packages_record
    packages_package
    # rebuilds of the several build folders (plain, sanitized, fuzz, package) share a cache
    echo ccache
    # the format check, and the fuzzers and sanitizers' clang runtime
    echo clang clang-format libclang-rt-14-dev
    # test and benchmark libraries
    echo libgtest-dev libgmock-dev googletest libbenchmark-dev
    # a virtual screen driven like a user drives it; screenshots and their comparison
    echo xvfb xauth xdotool x11-apps x11-utils imagemagick mesa-utils
    # the X11 message box draws with the core fonts; GNOME's message box, as users have it
    echo xfonts-base zenity
    # the song and the recordings checked by other players and tools
    echo openmpt123 xmp sox
    # real servers: an X server with display modes, a sound server
    echo xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils pulseaudio pulseaudio-utils procps
    # Wayland compositors (Weston with Xwayland, GNOME's mutter) and PipeWire, as desktops have them
    echo weston xwayland mutter dbus pipewire pipewire-pulse pipewire-bin wireplumber
    # the package's checks
    echo lintian desktop-file-utils appstream
}

packages_windows() {
    # the cross compiler and its tools; Wine to run the tests; the download is a zip
    echo g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
    echo wine wine64 fonts-wine zip
    # apt-get source and dpkg-source unpack and patch the libraries' Debian sources (their
    # configure scripts ship generated, so no autotools; libjpeg-turbo is built without
    # SIMD, so no nasm)
    echo dpkg-dev
}

packages_web() {
    # the WebAssembly compiler (its system libraries come built in the package) and the
    # browser the page's tests run in; the tests drive it over its DevTools socket
    echo emscripten chromium python3-websocket
    # apt-get source and dpkg-source unpack the libraries' Debian sources, as for windows
    echo dpkg-dev
}

list=0
if [ "${1:-}" = "--list" ]; then
    list=1
    shift
fi
[ $# -gt 0 ] || usage
words=()
for profile in "$@"; do
    case "$profile" in
    run) ;;
    record | package | test | windows | web) words+=($(packages_run)) ;;
    *)
        echo "install-deps: unknown profile \"$profile\"" >&2
        usage
        ;;
    esac
    words+=($("packages_$profile"))
done
# Each package once, in the order first named.
packages=()
declare -A seen=()
for p in "${words[@]}"; do
    if [ -z "${seen[$p]:-}" ]; then
        seen[$p]=1
        packages+=("$p")
    fi
done

if [ "$list" = 1 ]; then
    printf '%s\n' "${packages[@]}"
    exit 0
fi

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

apt_etc="${LARKSPUR_APT_ETC:-/etc/apt}"
wrote=""
for profile in "$@"; do
    [ "$profile" = windows ] || [ "$profile" = web ] || continue
    # The Windows and web libraries are built from Debian's own source packages, so apt needs a
    # deb-src entry: one that mirrors this machine's Debian entries, added only when it
    # has none yet.
    entries=$("$here/windows/deb-src-entries.sh" "$apt_etc")
    if [ -n "$entries" ]; then
        wrote="$apt_etc/sources.list.d/larkspur-deb-src.sources"
        printf '# Added by install-deps.sh (Larkspur) for apt-get source.\n%s\n' "$entries" |
            $SUDO tee "$wrote" >/dev/null
        echo "install-deps: wrote $wrote (deb-src entries mirroring this machine's Debian" \
            "entries, for apt-get source); remove it when no longer needed"
    fi
    break
done

export DEBIAN_FRONTEND=noninteractive
if [ "${#missing[@]}" -gt 0 ] || [ -n "$wrote" ]; then
    $SUDO apt-get update
fi
if [ "${#missing[@]}" -gt 0 ]; then
    echo "install-deps: installing ${#missing[@]} packages: ${missing[*]}"
    $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
else
    echo "install-deps: every package of $* is installed"
fi
