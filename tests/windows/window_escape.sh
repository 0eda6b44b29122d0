#!/usr/bin/env bash
# larkspur.exe under Wine on a virtual screen: a window titled "Larkspur" appears, the
# second title picture is on screen about 6 s in, and Escape ends the show with status 0.
set -euo pipefail
TEST=window_escape
source "$(dirname "$0")/common.sh"

start_servers
start_wine_show
id="$(show_window)"
appeared="$(now)"
# The second title picture is bright from 5.1 s to 7.6 s of show time and the window is
# seen a little after the show's clock starts: three tries across that span, judged by
# the brightest, so one shot that falls on a dark frame of a loaded machine does not count.
best_mean=0
best_spread=0
for at in 5.6 6.2 6.8; do
    wait="$(awk "BEGIN { print $at - ($(now) - $appeared) }")"
    if holds "$wait > 0"; then sleep "$wait"; fi
    kill -0 "$SHOW_PID" 2>/dev/null || fail "the show ended by itself at ${at} s"
    shot="$RESULTS/$TEST-${at}s.png"
    xwd -root -silent | convert xwd:- "$shot"
    read -r mean spread <<<"$(brightness "$shot")"
    echo "screenshot at $at s: mean brightness $mean, spread $spread"
    if holds "$mean > $best_mean"; then
        best_mean=$mean
        best_spread=$spread
    fi
done
# Black (no pictures, a blank window) and one flat colour both fail, as on Linux.
holds "$best_mean > 0.03 && $best_spread > 0.02" ||
    fail "the title picture is not on screen (mean $best_mean, spread $best_spread)"

timeout 10 xdotool windowfocus --sync "$id" || true
# Held as a hand holds it: the show looks at the key once per frame.
timeout 10 xdotool keydown Escape
wait_for_show 15
timeout 10 xdotool keyup Escape || true
[ "$STATUS" != 124 ] || fail "Escape did not end the show"
[ "$STATUS" = 0 ] || fail "after Escape the status is $STATUS, want 0"
passed
