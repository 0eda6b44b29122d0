# Real X and sound servers for the end-to-end tests, started by the tests themselves.
# Sourced, not run. Needs root (Xorg with a config file of ours, PulseAudio as a user
# daemon); callers skip with status 77 when that is not given. Every server started
# here is ended by its process id when the script exits, however it exits.

SERVERS_HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
SERVER_CLEANUPS=()

# Runs the clean-ups, newest first. Set as the EXIT trap by the first server started;
# a caller with its own EXIT trap calls this from it.
stop_servers() {
    local i
    for ((i = ${#SERVER_CLEANUPS[@]} - 1; i >= 0; i--)); do
        eval "${SERVER_CLEANUPS[$i]}" || true
    done
    SERVER_CLEANUPS=()
}

on_exit() {
    SERVER_CLEANUPS+=("$1")
}

# Ends a process by id: politely, then for sure, and waits for it.
end_process() {
    local pid="$1"
    kill -TERM "$pid" 2>/dev/null || return 0
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# Why the real X server cannot be had here, or nothing.
xorg_missing() {
    [ "$(id -u)" = 0 ] || { echo "not root"; return; }
    command -v Xorg >/dev/null || { echo "Xorg is not installed"; return; }
    command -v xrandr >/dev/null || { echo "xrandr is not installed"; return; }
    [ -e /usr/lib/xorg/modules/drivers/dummy_drv.so ] || echo "the dummy video driver is not installed"
}

# Starts Xorg on the dummy driver on the first free display of :40 to :59 (or of FIRST to
# LAST, for callers that keep to displays of their own) and exports DISPLAY. Returns 1
# when no server came up (the log is in $XORG_LOG).
start_xorg_dummy() {
    local n pid first="${1:-40}" last="${2:-59}"
    XORG_LOG="$(mktemp)"
    on_exit "rm -f '$XORG_LOG'"
    for n in $(seq "$first" "$last"); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xorg ":$n" -config "$SERVERS_HERE/xorg-dummy.conf" -noreset -nolisten tcp \
            -logfile "$XORG_LOG" >/dev/null 2>&1 </dev/null &
        pid=$!
        for _ in $(seq 1 100); do
            if DISPLAY=":$n" xrandr >/dev/null 2>&1; then
                on_exit "end_process $pid"
                export DISPLAY=":$n"
                XORG_PID=$pid
                return 0
            fi
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        end_process "$pid"
    done
    return 1
}

# The desktop's size as xrandr reports it: "1280x1024".
desktop_size() {
    xrandr 2>/dev/null | awk '/^Screen 0:/ { for (i = 1; i < NF; i++) if ($i == "current") { sub(",", "", $(i + 3)); print $(i + 1) "x" $(i + 3); exit } }'
}

# Waits up to the given seconds (default 10) for the desktop to have the given size.
wait_for_desktop() {
    local want="$1" tenths=$((${2:-10} * 10))
    for _ in $(seq 1 "$tenths"); do
        [ "$(desktop_size)" = "$want" ] && return 0
        sleep 0.1
    done
    return 1
}

# Why the real sound server cannot be had here, or nothing.
pulse_missing() {
    [ "$(id -u)" = 0 ] || { echo "not root"; return; }
    command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed"; return; }
    command -v parec >/dev/null || { echo "parec is not installed"; return; }
    command -v pactl >/dev/null || echo "pactl is not installed"
}

# Starts a private PulseAudio with one null sink named "show" and exports the runtime
# folder that leads SDL and the Pulse tools to it. Returns 1 when it did not come up.
start_pulse() {
    local pid
    PULSE_RUNTIME="$(mktemp -d)"
    chmod 700 "$PULSE_RUNTIME"
    on_exit "rm -rf '$PULSE_RUNTIME'"
    export XDG_RUNTIME_DIR="$PULSE_RUNTIME"
    # Its own home too: nothing of a real user's configuration or cookie is touched.
    export HOME="$PULSE_RUNTIME"
    pulseaudio -n --exit-idle-time=-1 --daemonize=no --use-pid-file=no \
        --load="module-null-sink sink_name=show" --load=module-native-protocol-unix \
        >"$PULSE_RUNTIME/log" 2>&1 </dev/null &
    pid=$!
    for _ in $(seq 1 100); do
        if pactl info >/dev/null 2>&1; then
            on_exit "end_process $pid"
            PULSE_PID=$pid
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    end_process "$pid"
    return 1
}

trap stop_servers EXIT
