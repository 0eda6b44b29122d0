#!/usr/bin/env bash
# A display server that takes the connection and never answers (here a stopped Xvfb):
# the show gives up on it after a bounded wait with the window-creation text on standard
# error (no box can be shown there) and status 1; SIGTERM and SIGINT end it at once while
# it waits.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"
export SDL_AUDIODRIVER=dummy

require_song
command -v Xvfb >/dev/null || skip "Xvfb is not installed"
make_workdir
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

Xvfb -displayfd 3 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 </dev/null &
XVFB_PID=$!
trap 'kill -CONT $XVFB_PID 2>/dev/null; kill -KILL $XVFB_PID 2>/dev/null; rm -rf "$WORK"' EXIT
for _ in $(seq 1 100); do
    [ -s "$WORK/display" ] && break
    sleep 0.1
done
[ -s "$WORK/display" ] || skip "Xvfb did not start"
export DISPLAY=":$(cat "$WORK/display")"
kill -STOP "$XVFB_PID"

start_silent() {
    (cd "$WORK" && exec "$SHOW") >/dev/null 2>"$WORK/stderr.txt" </dev/null &
    SHOW_PID=$!
}

# Seconds, at most LIMIT, until the show ends; sets STATUS (124 when it had to be killed).
wait_at_most() {
    local limit="$1" tenths=0
    while kill -0 "$SHOW_PID" 2>/dev/null && [ "$tenths" -lt "$((limit * 10))" ]; do
        sleep 0.1
        tenths=$((tenths + 1))
    done
    kill -KILL "$SHOW_PID" 2>/dev/null && echo "killed after $limit s"
    set +e
    wait "$SHOW_PID"
    STATUS=$?
    set -e
    WAITED=$((tenths / 10))
}

start_silent
wait_at_most 40
[ "$STATUS" = 1 ] || fail "silent display: status $STATUS after $WAITED s: $(cat "$WORK/stderr.txt")"
[ "$(cat "$WORK/stderr.txt")" = "Error: Window Creation Error. (the display server does not answer)" ] ||
    fail "silent display: wrote: $(cat "$WORK/stderr.txt")"
[ "$WAITED" -ge 5 ] || fail "gave up after $WAITED s, before the server had a fair chance"
echo "ok: gave up after $WAITED s"

for signal in TERM INT; do
    start_silent
    sleep 2
    kill -s "$signal" "$SHOW_PID"
    wait_at_most 5
    want=$((128 + $(kill -l "$signal")))
    [ "$STATUS" = "$want" ] || fail "SIG$signal while waiting for the display: status $STATUS, want $want"
    echo "ok: SIG$signal"
done
echo "PASS"
