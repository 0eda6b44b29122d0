#!/usr/bin/env bash
# A close request from the window manager (WM_DELETE_WINDOW) ends the show with status 0.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"
export SDL_AUDIODRIVER=dummy

if [ "${1:-}" = "--inside" ]; then
    source "$here/e2e/in_display.sh"
    start_show
    wait_for_viewable Larkspur >/dev/null || fail "no window titled Larkspur: $(cat "$WORK/stderr.txt")"
    "$LARKSPUR_BUILD_DIR/wm_close_request" Larkspur || fail "the window does not take close requests"
    wait_for_end
    [ "$STATUS" = 0 ] || fail "the show ended with status $STATUS: $(cat "$WORK/stderr.txt")"
    inside_passed
fi

require_x
require_song
[ -x "$LARKSPUR_BUILD_DIR/wm_close_request" ] || skip "wm_close_request is not built"
make_workdir
export WORK
under_xvfb "$0" --inside
echo "PASS"
