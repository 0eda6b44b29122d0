#!/usr/bin/env bash
# The real show under a virtual display: its window is 640 x 480 at the top left, and
# Escape ends the show with status 0.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"
export SDL_AUDIODRIVER=dummy

if [ "${1:-}" = "--inside" ]; then
    source "$here/e2e/in_display.sh"
    start_show
    id="$(wait_for_viewable Larkspur)" || fail "no window titled Larkspur: $(cat "$WORK/stderr.txt")"
    info="$(xwininfo -id "$id")"
    grep -q "Width: 640" <<<"$info" || fail "window is not 640 wide: $info"
    grep -q "Height: 480" <<<"$info" || fail "window is not 480 high: $info"
    grep -q "Absolute upper-left X:  0" <<<"$info" || fail "window is not at the left: $info"
    grep -q "Absolute upper-left Y:  0" <<<"$info" || fail "window is not at the top: $info"
    grep -q "Map State: IsViewable" <<<"$info" || fail "window is not shown: $info"
    xdotool windowfocus --sync "$id"
    # Held, as a hand holds it: the loop looks at the key after each frame, so a tap
    # shorter than one frame could come and go unseen.
    xdotool keydown Escape
    wait_for_end
    xdotool keyup Escape || true
    [ "$STATUS" = 0 ] || fail "the show ended with status $STATUS: $(cat "$WORK/stderr.txt")"
    [ ! -s "$WORK/stderr.txt" ] || fail "the show wrote: $(cat "$WORK/stderr.txt")"
    inside_passed
fi

require_x
require_song
make_workdir
export WORK
under_xvfb "$0" --inside
echo "PASS"
