#!/usr/bin/env bash
# The whole show under Wine, once, shared by four tests: on the real X server with modes
# (as root) and a PulseAudio null sink,
#   display_mode  the desktop is 640 x 480 while the show runs and its own mode after,
#                 both after Escape (a short run before) and after the natural end;
#   sound_pulse   the first 10 s played into the sink are the song as libopenmpt renders it;
#   whole_show    the show ends by itself about 84 s after its window appears, status 0,
#                 having closed its sound device first (Wine's winmm trace says so): Wine
#                 ends threads still busy with sound by a signal, which now and then
#                 crashes the process, so a status 0 alone does not show the end is sound;
#   frame_stats   the frame statistics line is written, well formed and plausible.
# Its figures go to $RESULTS/wine.figures and wine.window for the timing table.
set -euo pipefail
TEST=whole_show
source "$(dirname "$0")/common.sh"
MATCH="$LINUX_BUILD/larkspur-sound-match"
ALL="display_mode sound_pulse whole_show frame_stats"

# Whatever stops the run fails every test not yet decided.
fail() {
    local name
    for name in $ALL; do
        [ -e "$RESULTS/$name" ] || verdict "$name" FAIL "$*"
    done
    exit 1
}

start_servers xorg
desktop=""
escape_mode=""
if [ "$ON_XORG" = 1 ]; then
    desktop="$(desktop_size)"
    [ "$desktop" = 1280x1024 ] || fail "the desktop starts at $desktop, want 1280x1024"
    # Escape: the show gives the mode back itself, through the real user32.
    start_wine_show
    id="$(show_window)"
    if ! wait_for_desktop 640x480 10; then
        escape_mode="the desktop was $(desktop_size) while the show ran, want 640x480"
    fi
    timeout 10 xdotool windowfocus --sync "$id" || true
    timeout 10 xdotool keydown Escape
    wait_for_end 15
    timeout 10 xdotool keyup Escape || true
    [ "$STATUS" = 0 ] || escape_mode="${escape_mode:-Escape ended the show with status $STATUS}"
    if [ -z "$escape_mode" ] && ! wait_for_desktop "$desktop" 10; then
        escape_mode="after Escape the desktop is $(desktop_size), want $desktop"
    fi
    echo "after Escape: ${escape_mode:-the desktop is $desktop again}"
    end_wine
    xrandr -s "$desktop" 2>/dev/null || true
else
    verdict display_mode SKIP "$(xorg_missing); the show runs on Xvfb instead"
fi

parec -d show.monitor --format=s16le --rate=44100 --channels=2 --file-format=wav \
    "$RESULTS/wine-heard.wav" &
recorder=$!
on_exit "end_process $recorder"
sleep 0.5
stats="$RESULTS/wine-stats.txt"
PROGRAM=larkspur-measured.exe LIMIT=130 start_wine_show LARKSPUR_FRAME_STATS="$(windows_path "$stats")" WINEDEBUG=-all,+winmm
show_window >/dev/null
appeared="$(now)"
awk "BEGIN { printf \"%.1f\n\", $appeared - $STARTED }" >"$RESULTS/wine.window"
echo "window seen $(cat "$RESULTS/wine.window") s after the launch"

if [ "$ON_XORG" = 1 ]; then
    if wait_for_desktop 640x480 10; then
        during=640x480
    else
        during="$(desktop_size)"
    fi
    echo "the desktop during the show: $during"
fi

# Start-up, then more than the 10 s compared; the comparison itself waits for the end,
# so its work does not take frames from the show being timed.
sleep "$(awk "BEGIN { t = 14 - ($(now) - $appeared); print (t > 0 ? t : 0) }")"
end_process "$recorder"
kill -0 "$SHOW_PID" 2>/dev/null || echo "the show ended before 14 s"

wait_for_end 110
seconds="$(since "$appeared")"
echo "the show ended with status $STATUS, $seconds s after its window appeared"

if [ "$ON_XORG" = 1 ]; then
    if [ -n "$escape_mode" ]; then
        verdict display_mode FAIL "$escape_mode"
    elif [ "$during" != 640x480 ]; then
        verdict display_mode FAIL "the desktop was $during while the show ran, want 640x480"
    elif ! wait_for_desktop "$desktop" 10; then
        # Windows gives a full-screen mode back when the process that set it ends; Wine
        # does not, so a show that ends without giving it back leaves the desktop so.
        verdict display_mode FAIL "after the natural end the desktop is $(desktop_size), want $desktop"
    else
        verdict display_mode PASS
    fi
fi

if [ "$STATUS" = 124 ]; then
    verdict whole_show FAIL "the show did not end by itself within 124 s of its window"
elif [ "$STATUS" != 0 ]; then
    verdict whole_show FAIL "the show ended with status $STATUS after $seconds s, want 0"
# 84 s of music from the song's start, plus start-up slack and a slow last frame.
elif holds "$seconds < 83 || $seconds > 100"; then
    verdict whole_show FAIL "the show ran $seconds s, want about 84"
elif ! grep -q 'trace:winmm:waveOutClose' "$RESULTS/$TEST.stderr"; then
    verdict whole_show FAIL "the show ended with its sound device still open"
else
    verdict whole_show PASS
fi

figures="$(read_frame_stats "$stats")"
if [ -z "$figures" ]; then
    verdict frame_stats FAIL "no frame statistics line: $(head -c 200 "$stats" 2>/dev/null || echo "no file")"
else
    echo "$figures" >"$RESULTS/wine.figures"
    read -r frames total fps first <<<"$figures"
    echo "frame statistics: $(cat "$stats")"
    # The show's clock starts after Wine has started it, and Wine takes a while to end a
    # process after the show's last word: seconds, not tens of them, either way. The rate
    # is frames per second to the rounding of the seconds printed.
    if [ "$frames" = 0 ]; then
        verdict frame_stats FAIL "no frames counted"
    elif holds "$total < $seconds - 10 || $total > $seconds + 20"; then
        verdict frame_stats FAIL "the show counted $total s, the harness saw $seconds s of window"
    elif holds "($fps - $frames / $total)^2 > 0.04"; then
        verdict frame_stats FAIL "$fps fps is not $frames frames in $total s"
    elif holds "$first >= $total * 1000"; then
        verdict frame_stats FAIL "the first frame came at $first ms, after the end"
    else
        verdict frame_stats PASS
    fi
fi

if [ ! -x "$MATCH" ]; then
    verdict sound_pulse FAIL "larkspur-sound-match is not built in $LINUX_BUILD"
elif [ ! -s "$RESULTS/wine-heard.wav" ]; then
    verdict sound_pulse FAIL "nothing was recorded from the sink"
elif "$MATCH" "$SHOW_DIR/data/theme.xm" "$RESULTS/wine-heard.wav" 10; then
    verdict sound_pulse PASS
else
    verdict sound_pulse FAIL "the recording is not the song"
fi

for name in $ALL; do
    [ "$(head -c 4 "$RESULTS/$name")" != FAIL ] || exit 1
done
