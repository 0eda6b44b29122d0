#!/usr/bin/env bash
# Without data/theme.xm, larkspur.exe under Wine shows the box captioned "Error!" that
# reads "Error! Loading Song: File not found" and no show window; Return dismisses it
# and the status is the Linux build's for the same fault.
set -euo pipefail
TEST=song_missing
source "$(dirname "$0")/common.sh"
WANT_TEXT="Error! Loading Song: File not found"

# The Linux build's status, where the box can only go to standard error; 1 when that
# build is not there to ask.
want=1
if [ -x "$LINUX_BUILD/larkspur" ]; then
    linux="$(mktemp -d)"
    on_exit "rm -rf '$linux'"
    set +e
    (cd "$linux" && env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
        timeout -k 5 60 "$LINUX_BUILD/larkspur" >/dev/null 2>"$linux/err")
    want=$?
    set -e
    [ "$want" != 124 ] || fail "the Linux build did not end without its song"
    echo "the Linux build ends with status $want: $(cat "$linux/err")"
fi

mv "$SHOW_DIR/data/theme.xm" "$SHOW_DIR/data/theme.xm.away"
on_exit "mv '$SHOW_DIR/data/theme.xm.away' '$SHOW_DIR/data/theme.xm'"
start_servers
# Wine's trace of the message box has the text that X cannot give.
start_wine_show WINEDEBUG=-all,+msgbox
id="$(wait_for_window "Error!")" ||
    fail "no box captioned Error! appeared: $(tail -c 300 "$RESULTS/$TEST.stderr")"
[ -z "$(window_named Larkspur)" ] || fail "a show window exists beside the box"
grep -qF "MSGBOX_OnInit L\"$WANT_TEXT\"" "$RESULTS/$TEST.stderr" ||
    fail "the box does not read \"$WANT_TEXT\": $(grep -o 'MSGBOX_OnInit.*' "$RESULTS/$TEST.stderr" | head -1)"
# Drawn, not an empty frame: a box of text and a button on the dialog colour.
for _ in $(seq 1 50); do
    xwininfo -id "$id" 2>/dev/null | grep -q "Map State: IsViewable" && break
    sleep 0.1
done
sleep 0.5
xwd -id "$id" -silent | convert xwd:- "$RESULTS/$TEST-box.png"
read -r mean spread <<<"$(brightness "$RESULTS/$TEST-box.png")"
echo "the box: mean brightness $mean, spread $spread"
holds "$mean > 0.3 && $spread > 0.05" || fail "the box is not drawn (mean $mean, spread $spread)"

timeout 10 xdotool windowfocus --sync "$id" || true
timeout 10 xdotool key Return
wait_for_end 15
[ "$STATUS" != 124 ] || fail "Return did not dismiss the box and end the show"
[ "$STATUS" = "$want" ] || fail "the status after the box is $STATUS, the Linux build's is $want"
passed
