#!/usr/bin/env bash
# A data/theme.xm that is no music module: the show reports the format and ends with 1.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"

make_workdir theme.xm
printf 'This is not a music module.\n' >"$WORK/data/theme.xm"
run_without_display SDL_AUDIODRIVER=dummy
[ "$STATUS" = 1 ] || fail "status $STATUS"
[ "$ERRORS" = "Error!: Error! Loading Song: Unknown file format" ] || fail "wrote: $ERRORS"
echo "PASS"
