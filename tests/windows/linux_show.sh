#!/usr/bin/env bash
# The Linux build's whole show on the same kind of servers as the Wine run, for the
# timing table beside it: it ends by itself with status 0 and writes its frame
# statistics to $RESULTS/linux.figures (and the window's time to linux.window).
set -euo pipefail
TEST=linux_show
source "$(dirname "$0")/common.sh"

[ -x "$LINUX_BUILD/larkspur" ] || { verdict "$TEST" SKIP "no larkspur in $LINUX_BUILD"; exit 0; }
[ -s "$LINUX_BUILD/data/theme.xm" ] || { verdict "$TEST" SKIP "no data/theme.xm in $LINUX_BUILD"; exit 0; }
start_servers xorg
stats="$RESULTS/linux-stats.txt"
STARTED="$(now)"
# Its own folder is where its media are, as the Linux end-to-end tests run it.
(cd "$LINUX_BUILD" && exec env LARKSPUR_FRAME_STATS="$stats" timeout -k 5 130 ./larkspur-measured) \
    >"$RESULTS/$TEST.stdout" 2>"$RESULTS/$TEST.stderr" </dev/null &
SHOW_PID=$!
on_exit "kill -KILL $SHOW_PID 2>/dev/null"
show_window >/dev/null
appeared="$(now)"
awk "BEGIN { printf \"%.1f\n\", $appeared - $STARTED }" >"$RESULTS/linux.window"
wait_for_end 110
seconds="$(since "$appeared")"
echo "the show ended with status $STATUS, $seconds s after its window appeared"
[ "$STATUS" = 0 ] || fail "the Linux show ended with status $STATUS: $(tail -c 300 "$RESULTS/$TEST.stderr")"
figures="$(read_frame_stats "$stats")"
[ -n "$figures" ] || fail "the Linux show wrote no frame statistics line: $(head -c 200 "$stats" 2>/dev/null || echo "no file")"
echo "$figures" >"$RESULTS/linux.figures"
echo "frame statistics: $(cat "$stats")"
passed
