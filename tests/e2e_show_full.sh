#!/usr/bin/env bash
# The whole show, end to end: the real program under a virtual X screen with SDL's dummy
# audio output runs all 84 seconds and ends by itself with status 0. Screenshots of a few
# moments (title, zoom and spin, glyph stack, shimmer, credits) are kept in artifacts/.
# Exits 77 (skipped) while the program or its media are not there yet.
set -uo pipefail

build="${LARKSPUR_BUILD_DIR:-$(pwd)}"
program="$build/larkspur"
artifacts="$build/artifacts"
skip() { echo "SKIP: $*"; exit 77; }
calc() { awk "BEGIN { print $1 }"; }
holds() { awk "BEGIN { exit !($1) }"; }

[ -x "$program" ] || skip "no program at $program"
for f in theme.xm d0.jpg d1.jpg d2.jpg d3.jpg d4.jpg d5.jpg d6.jpg d7.jpg r.jpg l1.jpg l2.jpg; do
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
    SDL_AUDIODRIVER=dummy ./larkspur &
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
    # seen up to half a second late, so stay well before that.
    shot 1.8 02s-title
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

echo "running the whole show (about 85 s)"
# xvfb-run goes through sh, which drops exported functions: run this script again inside.
xvfb-run -a -s "-screen 0 640x480x24" bash "$0" --inner >"$log" 2>&1
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
# Every moment must show something; the title at ~2 s is still dim, so the bar is low.
for png in "$artifacts"/show-*.png; do
    [ -e "$png" ] || { echo "FAIL: no screenshots"; fail=1; break; }
    mean=$(convert "$png" -colorspace Gray -format '%[fx:mean]' info:)
    echo "$(basename "$png"): mean brightness $mean"
    if holds "$mean < 0.02"; then
        echo "FAIL: $(basename "$png") is black"
        fail=1
    fi
done
count=$(ls "$artifacts"/show-*.png 2>/dev/null | wc -l)
[ "$count" -eq 5 ] || { echo "FAIL: $count of 5 screenshots"; fail=1; }
exit $fail
