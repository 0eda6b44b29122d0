#!/usr/bin/env bash
# The whole show, end to end: the real program runs all 84 seconds and ends by itself with
# status 0. Screenshots of a few moments (title, zoom and spin, glyph stack, shimmer,
# credits) are kept in artifacts/. As root it runs on a real X server whose 1280 x 1024
# desktop it switches to 640 x 480 and must give back at its end, and plays to a real sound
# server; elsewhere on a virtual X screen with SDL's dummy audio output.
# Exits 77 (skipped) while the program or its media are not there yet.
set -uo pipefail

build="${LARKSPUR_BUILD_DIR:-$(pwd)}"
program="$build/larkspur"
artifacts="$build/artifacts"
skip() { echo "SKIP: $*"; exit 77; }
calc() { awk "BEGIN { print $1 }"; }
holds() { awk "BEGIN { exit !($1) }"; }

[ -x "$program" ] || skip "no program at $program"
for f in $(grep -v '^#' "$(dirname "$0")/../app/MediaFiles.txt"); do
    [ -s "$build/data/$f" ] || skip "media missing: data/$f"
done
for tool in xvfb-run xwd convert xdotool; do
    command -v "$tool" >/dev/null || skip "$tool not installed"
done

mkdir -p "$artifacts"
rm -f "$artifacts"/show-*.png
log="$artifacts/e2e_show_full.log"

# Runs inside the virtual screen: starts the show, anchors every moment to the window's
# appearance (the song starts right after), takes the screenshots, waits for the end.
inner() {
    set -uo pipefail
    cd "$build" || exit 1
    if [ -n "${FULL_SHOW_SOUND_SERVER:-}" ]; then
        ./larkspur &
    else
        SDL_AUDIODRIVER=dummy ./larkspur &
    fi
    local pid=$!
    local appeared
    if ! timeout 30 xdotool search --sync --onlyvisible --name '^Larkspur$' >/dev/null 2>&1; then
        echo "the show window never appeared"
        kill "$pid" 2>/dev/null
        wait "$pid"
        exit 1
    fi
    appeared=$(date +%s.%N)
    shot() { # seconds-after-window name
        local now wait
        now=$(date +%s.%N)
        wait=$(calc "$1 - ($now - $appeared)")
        if holds "$wait > 0"; then sleep "$wait"; fi
        if kill -0 "$pid" 2>/dev/null; then
            xwd -root -silent | convert xwd:- "$artifacts/show-$2.png"
        fi
    }
    # The title brightens until 2560 ms of show time, then drops to black; the window is
    # seen up to half a second late, so stay well before that. Two tries: on a loaded
    # machine either may fall on a frame not yet shown.
    shot 1.2 01s-title
    shot 1.8 02s-title
    echo "desktop=$(xrandr 2>/dev/null | sed -n 's/.*current \([0-9]*\) x \([0-9]*\),.*/\1x\2/p')"
    shot 11.1 11s-zoom-spin
    shot 13.0 13s-spinning-glyph-stack
    shot 20.0 20s-shimmer
    shot 40.0 40s-credits
    wait "$pid"
    local status=$?
    local ended
    ended=$(date +%s.%N)
    echo "status=$status seconds=$(calc "$ended - $appeared")"
}
if [ "${1:-}" = "--inner" ]; then
    inner
    exit $?
fi

# The real servers where they can be had (as root, installed); the stand-ins otherwise.
source "$(dirname "$0")/servers/servers.sh"
on_real_x=0
if [ -z "$(xorg_missing)" ] && start_xorg_dummy; then
    on_real_x=1
    if [ -z "$(pulse_missing)" ] && start_pulse; then
        export FULL_SHOW_SOUND_SERVER=1
    fi
fi

echo "running the whole show (about 85 s)"
if [ "$on_real_x" = 1 ]; then
    sound="SDL's dummy output"
    [ -z "${FULL_SHOW_SOUND_SERVER:-}" ] || sound="PulseAudio"
    echo "on Xorg at $DISPLAY, sound through $sound"
    bash "$0" --inner >"$log" 2>&1
else
    # xvfb-run goes through sh, which drops exported functions: run this script again inside.
    xvfb-run -a -s "-screen 0 640x480x24" bash "$0" --inner >"$log" 2>&1
fi
cat "$log"

result=$(grep -o 'status=[0-9]* seconds=[0-9.]*' "$log" | tail -1)
[ -n "$result" ] || { echo "FAIL: no result"; exit 1; }
status=${result#status=}
status=${status%% *}
seconds=${result#*seconds=}
fail=0
if [ "$status" != 0 ]; then
    echo "FAIL: exit status $status, want 0"
    fail=1
fi
# 84 s of music from the song's start, plus start-up slack and a slow last frame.
if holds "$seconds < 83 || $seconds > 100"; then
    echo "FAIL: the show ran $seconds s, want about 84"
    fail=1
fi
if [ "$on_real_x" = 1 ]; then
    grep -qx "desktop=640x480" "$log" || { echo "FAIL: the desktop was not 640 x 480 during the show"; fail=1; }
    if ! wait_for_desktop 1280x1024 10; then
        echo "FAIL: after the show the desktop is $(desktop_size), want 1280x1024"
        fail=1
    fi
fi
# Every moment must show something; the title at ~2 s is still dim, so the bar is low.
# The title counts once, by the brighter of its two shots.
brightness() { convert "$1" -colorspace Gray -format '%[fx:mean]' info: 2>/dev/null || echo 0; }
title=0
for png in "$artifacts"/show-0[12]s-title.png; do
    [ -e "$png" ] || continue
    mean=$(brightness "$png")
    echo "$(basename "$png"): mean brightness $mean"
    if holds "$mean > $title"; then title=$mean; fi
done
if holds "$title < 0.02"; then
    echo "FAIL: the title is black"
    fail=1
fi
for png in "$artifacts"/show-*.png; do
    [ -e "$png" ] || { echo "FAIL: no screenshots"; fail=1; break; }
    case "$png" in *-title.png) continue ;; esac
    mean=$(brightness "$png")
    echo "$(basename "$png"): mean brightness $mean"
    if holds "$mean < 0.02"; then
        echo "FAIL: $(basename "$png") is black"
        fail=1
    fi
done
count=$(ls "$artifacts"/show-*.png 2>/dev/null | wc -l)
[ "$count" -eq 6 ] || { echo "FAIL: $count of 6 screenshots"; fail=1; }
exit $fail
