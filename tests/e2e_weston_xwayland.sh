#!/usr/bin/env bash
# Through Xwayland on Weston (a private 1920 x 1080 X server under it gives it a seat):
# 12 s in, the output shows the show's 4:3 picture, 1440 x 1080, centred between black
# bars; the show plays to its natural end and ends with status 0, saying nothing on
# standard error.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"
source "$here/servers/servers.sh"
export SDL_AUDIODRIVER=dummy

start_test_server weston-xwayland

# With both displays there SDL takes X11, which here is Xwayland.
(cd "$WORK" && exec env DISPLAY="$XWAYLAND_DISPLAY" timeout -k 5 150 "$SHOW") \
    >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" </dev/null &
show=$!
on_exit "kill -KILL $show 2>/dev/null"
sleep 12
kill -0 "$show" 2>/dev/null || fail "the show ended early: $(cat "$WORK/stderr.txt")"
weston_screenshot "$WORK/shot.png" || fail "no screenshot"
keep_screenshot "$WORK/shot.png" weston-xwayland
check_letterbox "$WORK/shot.png"
wait_for_child_end "$show" 120 || fail "the show did not end by itself"
[ "$STATUS" = 0 ] || fail "the show ended with $STATUS: $(cat "$WORK/stderr.txt")"
[ ! -s "$WORK/stderr.txt" ] || fail "the show wrote to standard error: $(head -5 "$WORK/stderr.txt")"
echo "PASS"
