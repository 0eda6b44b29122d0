#!/usr/bin/env bash
# Natively on Wayland (Weston over a private 1920 x 1080 X server, which gives it a seat):
# 12 s in, the whole output shows the show's 4:3 picture, 1440 x 1080, centred between
# black bars; Escape ends the show with status 0; nothing is said on standard error.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"
source "$here/servers/servers.sh"
export SDL_AUDIODRIVER=dummy

start_test_server weston

(cd "$WORK" && exec env -u DISPLAY SDL_VIDEODRIVER=wayland timeout -k 5 60 "$SHOW") \
    >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" </dev/null &
show=$!
on_exit "kill -KILL $show 2>/dev/null"
sleep 12
kill -0 "$show" 2>/dev/null || fail "the show ended early: $(cat "$WORK/stderr.txt")"
weston_screenshot "$WORK/shot.png" || fail "no screenshot"
keep_screenshot "$WORK/shot.png" weston-native
check_letterbox "$WORK/shot.png"
press_escape
wait_for_child_end "$show" 20 || fail "Escape did not end the show"
[ "$STATUS" = 0 ] || fail "the show ended with $STATUS after Escape: $(cat "$WORK/stderr.txt")"
[ ! -s "$WORK/stderr.txt" ] || fail "the show wrote to standard error: $(head -5 "$WORK/stderr.txt")"
echo "PASS"
