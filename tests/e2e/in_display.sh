# Helpers for scripts that run inside the virtual display (sourced there).

# The id of the top-level window with exactly this title, or nothing.
window_named() {
    xwininfo -root -children 2>/dev/null | awk -v want="\"$1\":" '$2 == want { print $1; exit }'
}

# Waits up to thirty seconds for a window with this title; prints its id.
wait_for_window() {
    local id=""
    for _ in $(seq 1 300); do
        id="$(window_named "$1")"
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        kill -0 "$SHOW_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Waits up to ten seconds for the window with this title to be mapped; prints its id.
wait_for_viewable() {
    local id
    id="$(wait_for_window "$1")" || return 1
    for _ in $(seq 1 100); do
        if xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable"; then
            echo "$id"
            return 0
        fi
        kill -0 "$SHOW_PID" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Waits up to SECONDS (thirty unless given) for the show to end; sets STATUS (124 when
# it did not, and the show is killed).
wait_for_end() {
    local tenths=$((${1:-30} * 10))
    STATUS=124
    for _ in $(seq 1 "$tenths"); do
        if ! kill -0 "$SHOW_PID" 2>/dev/null; then
            set +e
            wait "$SHOW_PID"
            STATUS=$?
            set -e
            return 0
        fi
        sleep 0.1
    done
    kill -KILL "$SHOW_PID" 2>/dev/null || true
    return 0
}

start_show() {
    (cd "$WORK" && exec timeout -k 5 120 "$SHOW") >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" &
    SHOW_PID=$!
}
