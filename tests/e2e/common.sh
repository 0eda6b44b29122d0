# Shared by the shell's end-to-end tests: a working folder with the show's media, the
# show under a virtual X display, and the checks on how it ended.
# Sourced, not run. Every wait is bounded; nothing here can hang a test run.

SHOW="$LARKSPUR_BUILD_DIR/larkspur"
SKIP=77

skip() {
    echo "SKIP: $*"
    exit "$SKIP"
}

fail() {
    echo "FAIL: $*"
    exit 1
}

# A fresh working folder whose data/ links the built media, except the names given.
make_workdir() {
    WORK="$(mktemp -d)"
    trap 'rm -rf "$WORK"' EXIT
    mkdir "$WORK/data"
    local f name skipped
    for f in "$LARKSPUR_BUILD_DIR"/data/*; do
        [ -e "$f" ] || continue
        name="$(basename "$f")"
        skipped=0
        for s in "$@"; do
            [ "$name" = "$s" ] && skipped=1
        done
        [ "$skipped" = 1 ] || ln -s "$f" "$WORK/data/$name"
    done
}

require_song() {
    [ -f "$LARKSPUR_BUILD_DIR/data/theme.xm" ] || skip "no data/theme.xm in the build"
}

require_x() {
    command -v xvfb-run >/dev/null || skip "xvfb-run is not installed"
    command -v xdotool >/dev/null || skip "xdotool is not installed"
}

# Runs the show with no display at all: a message box can only go to standard error.
# Sets STATUS and ERRORS.
run_without_display() {
    local err="$WORK/stderr.txt"
    set +e
    (cd "$WORK" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 "$@" \
        timeout -k 5 60 "$SHOW" >/dev/null 2>"$err")
    STATUS=$?
    set -e
    ERRORS="$(cat "$err")"
}

# Runs a script of ours under a fresh virtual display of 640 x 480, 24 bits. The script
# marks its success with a file: xvfb-run's own status also reports trouble in its
# clean-up, which says nothing about the show.
under_xvfb() {
    local status
    set +e
    timeout -k 10 240 xvfb-run -a -s "-screen 0 640x480x24 -nolisten tcp" bash "$@"
    status=$?
    set -e
    [ -f "$WORK/inside.ok" ] || fail "inside the virtual display (status $status)"
}

# Called by the script inside the display when all its checks have passed.
inside_passed() {
    touch "$WORK/inside.ok"
    exit 0
}
