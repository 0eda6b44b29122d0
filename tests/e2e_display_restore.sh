#!/usr/bin/env bash
# On a real X server with display modes: the show switches a 1280 x 1024 desktop to
# 640 x 480 and the desktop is 1280 x 1024 again however the show ends, whether it ends
# itself (Escape, a close request, SIGTERM, SIGINT) or is ended without a say (SIGHUP,
# SIGSEGV, SIGABRT, SIGKILL). Signals go to the show's whole process group, as a
# terminal sends them. A mode the user picks while the show runs is left alone.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"
source "$here/servers/servers.sh"
export SDL_AUDIODRIVER=dummy
GUARDIAN="$LARKSPUR_BUILD_DIR/larkspur-display-guardian"

require_song
command -v xdotool >/dev/null || skip "xdotool is not installed"
[ -x "$LARKSPUR_BUILD_DIR/wm_close_request" ] || skip "wm_close_request is not built"
[ -x "$GUARDIAN" ] || skip "the display guardian is not built"
why="$(xorg_missing)"
[ -z "$why" ] || skip "$why"
make_workdir
on_exit "rm -rf '$WORK'"
trap stop_servers EXIT
start_xorg_dummy || skip "Xorg did not start: $(tail -5 "$XORG_LOG")"
[ "$(desktop_size)" = 1280x1024 ] || fail "the desktop starts at $(desktop_size)"

# The show in a session of its own, so its process group is its id.
start_show_alone() {
    (cd "$WORK" && exec setsid "$SHOW") >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" </dev/null &
    SHOW_PID=$!
    on_exit "kill -KILL $SHOW_PID 2>/dev/null"
    wait_for_desktop 640x480 30 ||
        fail "the desktop is $(desktop_size) while the show runs: $(cat "$WORK/stderr.txt")"
}

# Waits up to thirty seconds for the show to end; sets STATUS.
wait_for_show() {
    for _ in $(seq 1 300); do
        kill -0 "$SHOW_PID" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$SHOW_PID" 2>/dev/null && fail "the show did not end"
    set +e
    wait "$SHOW_PID"
    STATUS=$?
    set -e
}

guardians_left() {
    pgrep -f "^$GUARDIAN( |$)" || true
}

# ending: escape | close | a signal name; want: the show's exit status.
check_end() {
    local ending="$1" want="$2" id
    start_show_alone
    case "$ending" in
    escape)
        id="$(timeout 10 xdotool search --name '^Larkspur$' | head -1)" || true
        [ -n "$id" ] || fail "no window titled Larkspur"
        timeout 10 xdotool windowfocus --sync "$id" || true
        timeout 10 xdotool keydown Escape
        ;;
    close)
        "$LARKSPUR_BUILD_DIR/wm_close_request" Larkspur || fail "the window does not take close requests"
        ;;
    *)
        kill "-$ending" -- "-$SHOW_PID"
        ;;
    esac
    wait_for_show
    [ "$ending" != escape ] || timeout 10 xdotool keyup Escape || true
    [ "$STATUS" = "$want" ] || fail "$ending: status $STATUS, want $want: $(cat "$WORK/stderr.txt")"
    wait_for_desktop 1280x1024 10 || fail "$ending: the desktop stays at $(desktop_size)"
    for _ in $(seq 1 50); do
        [ -z "$(guardians_left)" ] && break
        sleep 0.1
    done
    [ -z "$(guardians_left)" ] || fail "$ending: a guardian outlives the show"
    echo "ok: $ending"
}

check_end escape 0
check_end close 0
check_end TERM 0
check_end INT 0
check_end HUP 129
check_end SEGV 139
check_end ABRT 134
check_end KILL 137

# The user picks another mode while the show runs: it stays after the show is killed.
start_show_alone
xrandr -s 800x600
kill -KILL -- "-$SHOW_PID"
wait_for_show
sleep 1
[ -z "$(guardians_left)" ] || sleep 2
[ "$(desktop_size)" = 800x600 ] || fail "the user's mode became $(desktop_size)"
echo "ok: the user's mode stays"
echo "PASS"
