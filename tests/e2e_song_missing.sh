#!/usr/bin/env bash
# Without data/theme.xm the show says so in a box captioned "Error!", opens no window and
# ends with status 1: once where the box can only go to standard error, once on a display
# where it is shown and dismissed.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"
export SDL_AUDIODRIVER=dummy

if [ "${1:-}" = "--inside" ]; then
    source "$here/e2e/in_display.sh"
    start_show
    id="$(wait_for_window "Error!")" || fail "no box captioned Error!: $(cat "$WORK/stderr.txt")"
    [ -z "$(window_named Larkspur)" ] || fail "a show window exists beside the box"
    xdotool windowfocus --sync "$id"
    xdotool key Return
    wait_for_end
    [ "$STATUS" = 1 ] || fail "the show ended with status $STATUS after the box"
    [ ! -s "$WORK/stderr.txt" ] || fail "the box was not shown: $(cat "$WORK/stderr.txt")"
    inside_passed
fi

make_workdir theme.xm
run_without_display
[ "$STATUS" = 1 ] || fail "status $STATUS"
[ "$ERRORS" = "Error!: Error! Loading Song: File not found" ] || fail "wrote: $ERRORS"

require_x
export WORK
under_xvfb "$0" --inside
echo "PASS"
