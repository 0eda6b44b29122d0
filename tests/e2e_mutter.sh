#!/usr/bin/env bash
# Natively on GNOME's compositor (mutter headless, one 1920 x 1080 virtual monitor): the
# show plays to its natural end with status 0, SIGTERM ends it with 0, and neither run
# says anything on standard error.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"
source "$here/servers/servers.sh"
export SDL_AUDIODRIVER=dummy

start_test_server mutter

run_show() {
    (cd "$WORK" && exec env -u DISPLAY SDL_VIDEODRIVER=wayland timeout -k 5 150 "$SHOW") \
        >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" </dev/null &
    SHOW_PID=$!
    on_exit "kill -KILL $SHOW_PID 2>/dev/null"
}

run_show
sleep 8
kill -0 "$SHOW_PID" 2>/dev/null || fail "the show ended early: $(cat "$WORK/stderr.txt")"
kill -TERM "$SHOW_PID"
wait_for_child_end "$SHOW_PID" 20 || fail "SIGTERM did not end the show"
[ "$STATUS" = 0 ] || fail "SIGTERM ended the show with $STATUS: $(cat "$WORK/stderr.txt")"
[ ! -s "$WORK/stderr.txt" ] || fail "the show wrote to standard error: $(head -5 "$WORK/stderr.txt")"

run_show
wait_for_child_end "$SHOW_PID" 130 || fail "the show did not end by itself"
[ "$STATUS" = 0 ] || fail "the show ended with $STATUS: $(cat "$WORK/stderr.txt")"
[ ! -s "$WORK/stderr.txt" ] || fail "the show wrote to standard error: $(head -5 "$WORK/stderr.txt")"
echo "PASS"
