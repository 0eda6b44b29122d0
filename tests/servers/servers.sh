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

# --- Wayland compositors and PipeWire ---

# Re-runs the calling test script inside a private mount and network namespace with its
# own /tmp: Weston's Xwayland takes the first free X display from :0 up, and must not
# take or meet another one. A checkout or build under /tmp stays where it was: its top
# folder is bound into the new /tmp (through /mnt, which only this namespace sees).
# Call first; returns only inside.
enter_private_tmp() {
    [ "${LARKSPUR_PRIVATE_TMP:-}" = 1 ] && return 0
    command -v unshare >/dev/null || skip "unshare is not installed"
    [ "$(id -u)" = 0 ] || skip "not root"
    local keep=() path
    for path in "$(cd "$(dirname "$0")" && pwd -P)" "${LARKSPUR_SOURCE_DIR:-}" \
        "${LARKSPUR_BUILD_DIR:-}" "$(pwd -P)"; do
        case "$path" in
        /tmp/?*) path="${path#/tmp/}" && keep+=("${path%%/*}") ;;
        esac
    done
    LARKSPUR_PRIVATE_TMP=1 exec unshare --mount --net --fork bash -c '
        keep=("${@:2:$1}")
        shift $(($1 + 1))
        mount --make-rprivate / && mount --bind /tmp /mnt && mount -t tmpfs none /tmp &&
            mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix || exit 77
        for top in "${keep[@]}"; do
            mkdir -p "/tmp/$top" && mount --bind "/mnt/$top" "/tmp/$top" || exit 1
        done
        umount -l /mnt || exit 1
        exec bash "$@"' bash "${#keep[@]}" "${keep[@]}" "$0" "$@"
}

# A private runtime folder (0700) and home for a compositor or sound server and its
# clients; exported.
private_runtime() {
    SESSION_DIR="$(mktemp -d)"
    chmod 700 "$SESSION_DIR"
    on_exit "rm -rf '$SESSION_DIR'"
    export XDG_RUNTIME_DIR="$SESSION_DIR" HOME="$SESSION_DIR" XDG_CONFIG_HOME="$SESSION_DIR/config"
    mkdir -p "$XDG_CONFIG_HOME"
}

# Waits up to the given tenths of a second for a path to exist while a process lives.
wait_for_path() {
    local path="$1" pid="$2" tenths="${3:-100}"
    for _ in $(seq 1 "$tenths"); do
        [ -e "$path" ] && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

weston_missing() {
    [ "$(id -u)" = 0 ] || { echo "not root"; return; }
    local tool
    for tool in Xvfb weston weston-screenshooter xdotool convert; do
        command -v "$tool" >/dev/null || { echo "$tool is not installed"; return; }
    done
}

# Weston on its X11 back end inside a private 1920 x 1080 Xvfb on :N (the seat that
# lets key presses through), with Xwayland when "xwayland" is given. Exports
# WAYLAND_DISPLAY; sets KEYS_DISPLAY (where xdotool types) and, with Xwayland,
# XWAYLAND_DISPLAY. Needs private_runtime first. Returns 1 when it did not come up.
start_weston() {
    local xvfb_pid pid n=90 extra=()
    [ "${1:-}" = xwayland ] && extra+=(--xwayland)
    Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >"$SESSION_DIR/xvfb.log" 2>&1 </dev/null &
    xvfb_pid=$!
    on_exit "end_process $xvfb_pid"
    for _ in $(seq 1 100); do
        DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1 && break
        sleep 0.1
    done
    KEYS_DISPLAY=":$n"
    DISPLAY=":$n" weston --backend=x11-backend.so --use-pixman --width=1920 --height=1080 \
        --socket=larkspur-weston --debug --idle-time=0 --log="$SESSION_DIR/weston.log" \
        "${extra[@]}" >"$SESSION_DIR/weston.out" 2>&1 </dev/null &
    pid=$!
    on_exit "end_process $pid"
    wait_for_path "$XDG_RUNTIME_DIR/larkspur-weston" "$pid" || return 1
    export WAYLAND_DISPLAY=larkspur-weston
    if [ "${1:-}" = xwayland ]; then
        for _ in $(seq 1 100); do
            XWAYLAND_DISPLAY="$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' \
                "$SESSION_DIR/weston.log" | tail -1)"
            [ -n "$XWAYLAND_DISPLAY" ] && return 0
            sleep 0.1
        done
        return 1
    fi
}

# A screenshot of the whole Weston output into the given PNG file.
weston_screenshot() {
    local out="$1" shots="$SESSION_DIR/shots"
    rm -rf "$shots" && mkdir "$shots"
    (cd "$shots" && timeout 20 weston-screenshooter) >/dev/null 2>&1 || return 1
    mv "$shots"/wayland-screenshot-*.png "$out" 2>/dev/null
}

# Re-runs the calling test script under a session bus of its own (mutter and wireplumber
# need one). Call before starting anything; returns only inside.
enter_session_bus() {
    [ "${LARKSPUR_SESSION_BUS:-}" = 1 ] && return 0
    LARKSPUR_SESSION_BUS=1 exec dbus-run-session -- bash "$0" "$@"
}

# mutter, GNOME's compositor, headless with one 1920 x 1080 virtual monitor and no X.
# Exports WAYLAND_DISPLAY. Needs private_runtime first. Returns 1 when it did not come up.
start_mutter() {
    local pid
    mutter --wayland --headless --virtual-monitor 1920x1080 --wayland-display=larkspur-mutter \
        --no-x11 >"$SESSION_DIR/mutter.log" 2>&1 </dev/null &
    pid=$!
    on_exit "end_process $pid"
    wait_for_path "$XDG_RUNTIME_DIR/larkspur-mutter" "$pid" 200 || return 1
    export WAYLAND_DISPLAY=larkspur-mutter
}

mutter_missing() {
    [ "$(id -u)" = 0 ] || { echo "not root"; return; }
    command -v mutter >/dev/null || { echo "mutter is not installed"; return; }
    command -v dbus-run-session >/dev/null || echo "dbus-run-session is not installed"
}

pipewire_missing() {
    [ "$(id -u)" = 0 ] || { echo "not root"; return; }
    local tool
    for tool in pipewire wireplumber pipewire-pulse dbus-run-session parec pactl; do
        command -v "$tool" >/dev/null || { echo "$tool is not installed"; return; }
    done
}

# PipeWire with one null sink named "show", its session manager and its Pulse server.
# Needs private_runtime first and a session bus (run under dbus-run-session): without
# one wireplumber sets no default sink. Returns 1 when it did not come up.
start_pipewire() {
    local pid
    mkdir -p "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d"
    cat >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/10-null-sink.conf" <<'CONF'
context.objects = [
    { factory = adapter
      args = { factory.name = support.null-audio-sink  node.name = "show"
               media.class = Audio/Sink  object.linger = true
               audio.position = [ FL FR ]  audio.rate = 48000  monitor.channel-volumes = true } }
]
CONF
    pipewire >"$SESSION_DIR/pipewire.log" 2>&1 </dev/null &
    pid=$!
    on_exit "end_process $pid"
    wait_for_path "$XDG_RUNTIME_DIR/pipewire-0" "$pid" || return 1
    wireplumber >"$SESSION_DIR/wireplumber.log" 2>&1 </dev/null &
    on_exit "end_process $!"
    pipewire-pulse >"$SESSION_DIR/pipewire-pulse.log" 2>&1 </dev/null &
    pid=$!
    on_exit "end_process $pid"
    for _ in $(seq 1 100); do
        pactl info 2>/dev/null | grep -q "Default Sink: show" && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# Copies a screenshot to screenshots/ in the build folder, named, to look at afterwards.
keep_screenshot() {
    mkdir -p "$LARKSPUR_BUILD_DIR/screenshots"
    cp "$1" "$LARKSPUR_BUILD_DIR/screenshots/$2.png"
}

# A 1920 x 1080 screenshot holds the show's picture 4:3 in its middle: the 240 columns on
# either side are black, the picture reaches both of its own edges (a 4:3 frame stretched
# wider would light the bars; one drawn narrower would leave its edges dark).
check_letterbox() {
    local shot="$1" size left right lit
    size="$(convert "$shot" -format '%wx%h' info:)"
    [ "$size" = 1920x1080 ] || fail "the screenshot is $size"
    # Weston draws its pointer at the top left, where the pointer of its X server is.
    left="$(convert "$shot" -crop 240x1040+0+40 +repage -format '%[fx:maxima]' info:)"
    right="$(convert "$shot" -crop 240x1080+1680+0 +repage -format '%[fx:maxima]' info:)"
    awk -v l="$left" -v r="$right" 'BEGIN { exit !(l < 0.02 && r < 0.02) }' ||
        fail "the bars are not black (brightest $left left, $right right)"
    # The lit part: inside the picture and reaching close to both of its edges (the
    # show's backdrop leaves a dark margin of about 2 % on either side of its 4:3 frame).
    lit="$(convert "$shot" -crop 1920x1040+0+40 +repage -fuzz 2% -trim -format '%X %w' info:)"
    awk -v x="${lit%% *}" -v w="${lit##* }" 'BEGIN { x += 0
        exit !(x >= 240 && x <= 290 && x + w >= 1630 && x + w <= 1680) }' ||
        fail "the picture spans $lit (offset, width), not 240 to 1680"
}

# Escape through Weston's seat, held long enough for a frame of the show to see it.
press_escape() {
    DISPLAY="$KEYS_DISPLAY" xdotool keydown Escape
    sleep 0.5
    DISPLAY="$KEYS_DISPLAY" xdotool keyup Escape || true
}

# Waits up to the given seconds for the child PID to end; sets STATUS. 1 when it did not.
# (Not in_display.sh's wait_for_end, which waits for the show it started.)
wait_for_child_end() {
    local pid="$1" tenths=$((${2:-30} * 10))
    for _ in $(seq 1 "$tenths"); do
        if ! kill -0 "$pid" 2>/dev/null; then
            set +e
            wait "$pid"
            STATUS=$?
            set -e
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Keeps the processors busy until stop_cpu_load or the end of the script: one busy loop
# for each, or the number given (more than there are processors makes the show wait for
# one too).
CPU_LOAD_PIDS=()
start_cpu_load() {
    local i
    [ "${#CPU_LOAD_PIDS[@]}" -gt 0 ] || on_exit stop_cpu_load
    for i in $(seq 1 "${1:-$(nproc)}"); do
        (while :; do :; done) &
        CPU_LOAD_PIDS+=("$!")
    done
}

# Ends the busy loops; waiting for each keeps the shell from reporting it "Killed".
stop_cpu_load() {
    local pid
    for pid in "${CPU_LOAD_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    CPU_LOAD_PIDS=()
}

# The start of every test on a real server, one of pulse, pipewire, weston,
# weston-xwayland and mutter: the song, root and the server's tools (or a skip that
# says which is missing), the private /tmp or session bus the server needs, a working
# folder, and the server itself. A server that does not come up skips the test: that
# says something about the machine, not about the show. May re-run the test script in
# a namespace or under a session bus, without arguments (those scripts take none).
start_test_server() {
    local kind="$1" why
    require_song
    case "$kind" in
    pulse) why="$(pulse_missing)" ;;
    pipewire) why="$(pipewire_missing)" ;;
    weston | weston-xwayland) why="$(weston_missing)" ;;
    mutter) why="$(mutter_missing)" ;;
    *) fail "no such server: $kind" ;;
    esac
    if [ -z "$why" ] && [ "$kind" = weston-xwayland ] && ! command -v Xwayland >/dev/null; then
        why="Xwayland is not installed"
    fi
    [ -z "$why" ] || skip "$why"
    case "$kind" in
    weston*) enter_private_tmp ;;
    pipewire | mutter) enter_session_bus ;;
    esac
    make_workdir
    on_exit "rm -rf '$WORK'"
    trap stop_servers EXIT
    if [ "$kind" = pulse ]; then
        start_pulse || skip "PulseAudio did not start: $(tail -5 "$PULSE_RUNTIME/log" 2>&1)"
        return 0
    fi
    private_runtime
    case "$kind" in
    pipewire)
        start_pipewire || skip "PipeWire did not start: $(tail -5 "$SESSION_DIR/pipewire.log" 2>&1)" ;;
    weston)
        start_weston || skip "Weston did not start: $(tail -5 "$SESSION_DIR/weston.log" 2>&1)" ;;
    weston-xwayland)
        start_weston xwayland ||
            skip "Weston with Xwayland did not start: $(tail -5 "$SESSION_DIR/weston.log" 2>&1)" ;;
    mutter)
        start_mutter || skip "mutter did not start: $(tail -5 "$SESSION_DIR/mutter.log" 2>&1)" ;;
    esac
}

trap stop_servers EXIT
