#!/usr/bin/env bash
# On a real X server with display modes: the show switches a 1280 x 1024 desktop to
# 640 x 480 and the desktop is 1280 x 1024 again however the show ends, whether it ends
# itself (Escape, a close request, SIGTERM, SIGINT) or is ended without a say (SIGHUP,
# SIGSEGV, SIGABRT, SIGKILL). Signals go to the show's whole process group, as a
# terminal sends them. A mode the user picks while the show runs is left alone. Two shows
# at once, ended in any order, leave the desktop as it was before the first; a guardian
# killed while its show runs is replaced at once; a guardian whose server goes away says
# nothing of X's.
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

# Bounds for what should take a moment: wide, because a shared machine may be slow, and a
# guardian or desktop that never gets there still fails.
SETTLE_SECONDS=30
no_guardian_left() {
    for _ in $(seq 1 $((SETTLE_SECONDS * 10))); do
        [ -z "$(guardians_left)" ] && return 0
        sleep 0.1
    done
    return 1
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
    wait_for_desktop 1280x1024 "$SETTLE_SECONDS" || fail "$ending: the desktop stays at $(desktop_size)"
    no_guardian_left || fail "$ending: a guardian outlives the show"
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
xrandr -s 1280x1024
wait_for_desktop 1280x1024 "$SETTLE_SECONDS" || fail "the desktop does not go back to 1280x1024"

# Two shows on the display, the second started while the first runs, ended in either
# order, each in its own way: the desktop ends as it was before the first.
# Escape is held until the show has ended; repeated, it would reach the other show too.
xset r off
start_second() {
    (cd "$WORK" && exec setsid "$SHOW") >"$WORK/stdout2.txt" 2>"$WORK/stderr2.txt" </dev/null &
    SECOND_PID=$!
    on_exit "kill -KILL $SECOND_PID 2>/dev/null"
    for _ in $(seq 1 $((SETTLE_SECONDS * 10))); do
        [ "$(guardians_left | wc -l)" = 2 ] && return 0
        sleep 0.1
    done
    fail "the second show has no guardian: $(cat "$WORK/stderr2.txt")"
}

# Ends a show by pid: escape | TERM | KILL; waits for it.
end_show() {
    local pid="$1" how="$2" id
    case "$how" in
    escape)
        id="$(timeout 10 xdotool search --pid "$pid" --name '^Larkspur$' | head -1)" || true
        [ -n "$id" ] || fail "no window of show $pid"
        timeout 10 xdotool windowraise "$id" windowfocus --sync "$id" || true
        timeout 10 xdotool keydown Escape
        ;;
    *) kill "-$how" "$pid" ;;
    esac
    for _ in $(seq 1 $((SETTLE_SECONDS * 10))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    [ "$how" != escape ] || timeout 10 xdotool keyup Escape || true
    kill -KILL "$pid" 2>/dev/null && fail "show $pid did not end after $how"
    wait "$pid" 2>/dev/null || true
}

two_shows() {
    local first_end="$1" which="$2" second_end="$3" first second
    start_show_alone
    start_second
    first=$SHOW_PID second=$SECOND_PID
    [ "$which" = first ] || { first=$SECOND_PID; second=$SHOW_PID; }
    end_show "$first" "$first_end"
    sleep 1
    end_show "$second" "$second_end"
    wait_for_desktop 1280x1024 "$SETTLE_SECONDS" ||
        fail "two shows ($which ended first by $first_end, the other by $second_end): the desktop stays at $(desktop_size)"
    no_guardian_left || fail "two shows: a guardian outlives them"
    echo "ok: two shows, the $which ended by $first_end, the other by $second_end"
}

# Escape goes only to a show left alone: two full-screen windows with no window manager
# take the keyboard from each other. SIGTERM takes Escape's path through the window's close.
two_shows KILL first escape
two_shows TERM second KILL
two_shows TERM first escape
two_shows KILL second TERM

# The guardian killed while the show runs: the show notices, reaps it and starts another,
# so killing the show a second later still gives the desktop back.
start_show_alone
old_guardian="$(guardians_left)"
[ -n "$old_guardian" ] || fail "no guardian while the show runs"
kill -KILL "$old_guardian"
for _ in $(seq 1 $((SETTLE_SECONDS * 10))); do
    new_guardian="$(guardians_left)"
    [ -e "/proc/$old_guardian" ] || [ -z "$new_guardian" ] || break
    sleep 0.1
done
if [ -e "/proc/$old_guardian" ]; then
    fail "the killed guardian is left a zombie: $(ps -o stat= -p "$old_guardian")"
fi
[ -n "$new_guardian" ] || fail "no new guardian took the killed one's place"
kill -KILL "$SHOW_PID"
wait_for_show
wait_for_desktop 1280x1024 "$SETTLE_SECONDS" || fail "guardian killed, then the show: the desktop stays at $(desktop_size)"
echo "ok: a killed guardian is replaced"

# The server goes away under a guardian: it ends without X's own complaint.
mkfifo "$WORK/guardian-input"
"$GUARDIAN" 640 480 <"$WORK/guardian-input" >"$WORK/guardian-ready" 2>"$WORK/guardian-errors" &
GUARDIAN_PID=$!
exec 7>"$WORK/guardian-input"
for _ in $(seq 1 $((SETTLE_SECONDS * 10))); do
    [ -s "$WORK/guardian-ready" ] && break
    sleep 0.1
done
[ "$(cat "$WORK/guardian-ready")" = R ] || fail "the guardian did not get ready"
kill -KILL "$XORG_PID"
wait "$XORG_PID" 2>/dev/null || true
exec 7>&-
set +e
wait "$GUARDIAN_PID"
set -e
[ ! -s "$WORK/guardian-errors" ] || fail "the guardian wrote: $(cat "$WORK/guardian-errors")"
echo "ok: the guardian is quiet when the display goes"
echo "PASS"
