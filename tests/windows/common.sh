# shellcheck shell=bash
# Shared by the Windows tests (sourced, not run; scripts/windows-tests.sh runs them). Each
# test writes its verdict to $RESULTS/NAME: "PASS", "FAIL reason" or "SKIP reason". A test
# with no verdict file has failed, so a script that stops early can never pass.
# Every wait is bounded; every server and Wine process started here is ended on exit.
#
# Given by the harness: SHOW_DIR (the unpacked zip), WINEPREFIX (ready), RESULTS (a folder
# for verdicts and figures), LINUX_BUILD (the Linux build folder, which may lack things).

WIN_HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$WIN_HERE/../servers/servers.sh"
source "$WIN_HERE/../e2e/in_display.sh"
: "${SHOW_DIR:?}" "${WINEPREFIX:?}" "${RESULTS:?}" "${LINUX_BUILD:?}"
export WINEPREFIX
export WINEDEBUG=-all
# No installer prompts for .NET or the HTML engine, no menu entries written to the host.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="

holds() { awk "BEGIN { exit !($1) }"; }
now() { date +%s.%N; }
since() { awk "BEGIN { printf \"%.1f\", $(now) - $1 }"; }

verdict() { # NAME PASS|FAIL|SKIP [reason]
    local name="$1" what="$2"
    shift 2
    echo "$what${*:+ $*}" >"$RESULTS/$name"
    echo "$name: $what${*:+ $*}"
}

# For scripts that hold one test, named TEST: a failure ends the script.
fail() {
    verdict "$TEST" FAIL "$*"
    exit 1
}

passed() {
    verdict "$TEST" PASS
    exit 0
}

# Ends whatever still runs in our Wine prefix (only ours: the server is per prefix) and
# waits for its server to go, so the next test starts from a quiet prefix.
end_wine() {
    timeout 20 wineserver -k 2>/dev/null || true
    timeout 20 wineserver -w 2>/dev/null || true
}

# Xvfb on the first free display of :60 to :69, one 640 x 480 screen; exports DISPLAY.
start_xvfb() {
    local n pid
    for n in $(seq 60 69); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
        pid=$!
        for _ in $(seq 1 100); do
            if DISPLAY=":$n" xwininfo -root >/dev/null 2>&1; then
                on_exit "end_process $pid"
                export DISPLAY=":$n"
                return 0
            fi
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        end_process "$pid"
    done
    return 1
}

# The servers every Wine run here needs: a display (Xvfb unless told "xorg") and a
# PulseAudio null sink, for without any sound device the show cannot start. Sets
# ON_XORG to 1 when the display is the real server with modes.
start_servers() {
    ON_XORG=0
    start_pulse || fail "PulseAudio did not start: $(tail -3 "$PULSE_RUNTIME/log")"
    if [ "${1:-}" = xorg ] && [ -z "$(xorg_missing)" ]; then
        start_xorg_dummy 60 69 || fail "Xorg did not start: $(tail -5 "$XORG_LOG")"
        ON_XORG=1
    else
        start_xvfb || fail "Xvfb did not start on any of :60 to :69"
    fi
    # Registered after the servers, so it runs before they are ended.
    on_exit end_wine
}

# Wine's name for a file of ours: the prefix maps the whole file system to Z:.
windows_path() {
    echo "Z:${1//\//\\}"
}

# Starts larkspur.exe (or PROGRAM) from the unpacked folder, as a double click would,
# with any VAR=value given; at most LIMIT seconds (default 60). Sets SHOW_PID and STARTED.
start_wine_show() {
    local limit="${LIMIT:-60}" program="${PROGRAM:-larkspur.exe}"
    STARTED="$(now)"
    (cd "$SHOW_DIR" && exec env "$@" timeout -k 5 "$limit" wine "$program") \
        >"$RESULTS/$TEST.stdout" 2>"$RESULTS/$TEST.stderr" </dev/null &
    SHOW_PID=$!
    on_exit "kill -KILL $SHOW_PID 2>/dev/null"
}

# The show's window, once viewable; fails the test when it does not come.
show_window() {
    local id
    id="$(wait_for_viewable Larkspur)" ||
        fail "no window titled Larkspur appeared: $(tail -c 300 "$RESULTS/$TEST.stderr")"
    echo "$id"
}

# Mean brightness and spread of a picture, 0 to 1: "0.31 0.12".
brightness() {
    convert "$1" -colorspace Gray -format '%[fx:mean] %[fx:standard_deviation]' info: 2>/dev/null ||
        echo "0 0"
}

# How alike two pictures are, as the normalised cross-correlation of their grey levels
# at 640 x 480: near 1 for the same picture at any brightness, near 0 for unrelated ones.
likeness() {
    local a b figure=""
    a="$(mktemp --suffix=.png)"
    b="$(mktemp --suffix=.png)"
    # compare's status says "they differ", which is not a failure here.
    if convert "$1" -resize '640x480!' -colorspace Gray "$a" &&
        convert "$2" -resize '640x480!' -colorspace Gray "$b"; then
        figure="$(compare -metric NCC "$a" "$b" null: 2>&1 || true)"
    fi
    rm -f "$a" "$b"
    if [[ "$figure" =~ ^-?[0-9.]+(e[-+]?[0-9]+)?$ ]]; then echo "$figure"; else echo 0; fi
}

# A frame statistics line, "frames F in S s (X fps), first frame N ms after start", as
# "F S X N"; nothing when the file has no line of that form. A Windows program's text
# file ends its line with CR LF.
read_frame_stats() {
    [ -f "$1" ] || return 0
    tr -d '\r' <"$1" | sed -n 's/^frames \([0-9][0-9]*\) in \([0-9][0-9]*\.[0-9]\) s (\([0-9][0-9]*\.[0-9]\) fps), first frame \([0-9][0-9]*\) ms after start$/\1 \2 \3 \4/p' |
        head -1
}
