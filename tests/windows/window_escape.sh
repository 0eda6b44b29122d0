#!/usr/bin/env bash
# larkspur.exe under Wine on a virtual screen: a window titled "Larkspur" appears, 640 x 480
# at the top left, a title picture is on screen in its first seconds, and Escape ends the
# show with status 0.
set -euo pipefail
TEST=window_escape
source "$(dirname "$0")/common.sh"

start_servers
start_wine_show
id="$(show_window)"
appeared="$(now)"
# The borderless pop-up covers the screen from its top left corner, as on Linux.
info="$(xwininfo -id "$id")"
for want in "Width: 640" "Height: 480" "Absolute upper-left X:  0" "Absolute upper-left Y:  0"; do
    grep -q "$want" <<<"$info" || fail "the window is not 640 x 480 at 0, 0: $(grep -E 'Width|Height|Absolute' <<<"$info" | tr -s ' \n' ' ')"
done
# The title pictures pulse up from black for the first 10 s of show time. How far the
# show's clock has run when its window is seen varies with the machine's load, more
# under Wine, so several shots up to about 6 s in; one of them must be a title picture:
# not black or one flat colour (as on Linux), and alike to l1.jpg or l2.jpg, which fill
# the window. The show's other pictures score below 0.1 there, and so does a picture
# decoded upside down or garbled.
titles=0
for at in 1.5 3.5 5.6 6.2; do
    wait="$(awk "BEGIN { print $at - ($(now) - $appeared) }")"
    if holds "$wait > 0"; then sleep "$wait"; fi
    kill -0 "$SHOW_PID" 2>/dev/null || fail "the show ended by itself before ${at} s"
    shot="$RESULTS/$TEST-${at}s.png"
    xwd -root -silent | convert xwd:- "$shot"
    read -r mean spread <<<"$(brightness "$shot")"
    alike="$(likeness "$shot" "$SHOW_DIR/data/l1.jpg")"
    alike2="$(likeness "$shot" "$SHOW_DIR/data/l2.jpg")"
    if holds "$alike2 > $alike"; then alike=$alike2; fi
    echo "screenshot at $at s: mean brightness $mean, spread $spread, likeness to a title picture $alike"
    if holds "$mean > 0.03 && $spread > 0.02 && $alike > 0.4"; then titles=$((titles + 1)); fi
done
[ "$titles" -gt 0 ] || fail "no screenshot shows a title picture (see $RESULTS/$TEST-*.png)"

timeout 10 xdotool windowfocus --sync "$id" || true
# Held as a hand holds it: the show looks at the key once per frame.
timeout 10 xdotool keydown Escape
wait_for_end 15
timeout 10 xdotool keyup Escape || true
[ "$STATUS" != 124 ] || fail "Escape did not end the show"
[ "$STATUS" = 0 ] || fail "after Escape the status is $STATUS, want 0"
passed
