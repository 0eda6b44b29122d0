#!/usr/bin/env bash
# Start-up failures end the show with status 1, never as a success:
# - with no display at all the show does not fall back to drawing into memory unseen: it
#   fails at window creation (the box can only go to standard error);
# - with no OpenGL to be had the rendering context fails inside window creation;
# - SIGTERM while a start-up box is up ends the program and takes the box with it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"
export SDL_AUDIODRIVER=dummy

if [ "${1:-}" = "--inside" ]; then
    source "$here/e2e/in_display.sh"
    # zenity's box where it is installed, SDL's own X box (drawn by a forked copy of the
    # show) where it is not: either way the box goes with the show.
    for path in "$PATH" /nonexistent; do
        # Not under timeout, which would pass the signal on and then kill the show itself.
        (cd "$WORK" && PATH="$path" exec "$SHOW") >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" &
        SHOW_PID=$!
        wait_for_window "Error!" >/dev/null || fail "no box captioned Error!: $(cat "$WORK/stderr.txt")"
        kill -TERM "$SHOW_PID"
        wait_for_end
        [ "$STATUS" = 143 ] || fail "SIGTERM while the box was up: status $STATUS, want 143"
        for _ in $(seq 1 50); do
            [ -z "$(window_named "Error!")" ] && break
            sleep 0.1
        done
        [ -z "$(window_named "Error!")" ] || fail "the box outlives the show (PATH=$path)"
    done
    inside_passed
fi

require_song
make_workdir
# A private runtime folder keeps other display systems' complaints out of standard error.
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Run for at most 30 s: a show that ran unseen would end by the time limit instead.
set +e
(cd "$WORK" && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
    timeout -k 5 30 "$SHOW" >/dev/null 2>"$WORK/stderr.txt")
STATUS=$?
set -e
ERRORS="$(cat "$WORK/stderr.txt")"
[ "$STATUS" = 1 ] || fail "no display: status $STATUS, wrote: $ERRORS"
[ "$ERRORS" = "Error: Window Creation Error. (no display to show the window on)" ] ||
    fail "no display: wrote: $ERRORS"

run_without_display SDL_VIDEODRIVER=offscreen SDL_VIDEO_EGL_DRIVER=/nonexistent/libEGL.so.1 \
    SDL_VIDEO_GL_DRIVER=/nonexistent/libGL.so.1
[ "$STATUS" = 1 ] || fail "no OpenGL: status $STATUS, wrote: $ERRORS"
case "$ERRORS" in
"Error: Cant't Find A Suitable PixelFormat. ("?*")") ;;
*) fail "no OpenGL: wrote: $ERRORS" ;;
esac

require_x
rm "$WORK/data/theme.xm"
export WORK
under_xvfb "$0" --inside
echo "PASS"
