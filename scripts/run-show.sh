#!/usr/bin/env bash
# Sets up a fresh machine, builds the show with its default media and runs it. Without a
# display or a sound device the live show cannot run: it is recorded to a video file
# instead, and the script says where.
set -euo pipefail
cd "$(dirname "$0")/.."
# What building and running the show needs, no test tool and no server: the desktop has
# its own display and sound.
bash scripts/install-deps.sh run
# The program, its PNG bridge and media, and the recorder for the fallback below; not the
# tests or benchmarks.
bash scripts/build.sh --no-tests larkspur larkspur-png song pictures larkspur-capture
cd build

has_display() {
    [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]
}

has_sound() {
    local runtime="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}"
    [ -n "${PULSE_SERVER:-}" ] || [ -S "$runtime/pulse/native" ] || [ -S "$runtime/pipewire-0" ] ||
        compgen -G "/dev/snd/pcmC*D*p" >/dev/null
}

if has_display && has_sound; then
    exec ./larkspur
fi

missing=()
has_display || missing+=("no display (DISPLAY is not set)")
has_sound || missing+=("no sound device")
echo "Cannot run the show live here: $(IFS=';'; echo "${missing[*]}" | sed 's/;/, /g')."
echo "Recording it to a video file instead (84 s of show; this takes a while)..."
bash ../scripts/install-deps.sh record
./larkspur-capture --output "$PWD/larkspur.mp4"
echo "The show is recorded in $PWD/larkspur.mp4 (H.264 + AAC, 640 x 480, 60 fps)."
