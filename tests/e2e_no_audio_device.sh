#!/usr/bin/env bash
# With no sound output to open the show reports it and ends with status 1, no window.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"

require_song
make_workdir
run_without_display SDL_AUDIODRIVER=larkspur_no_such_driver
[ "$STATUS" = 1 ] || fail "status $STATUS"
[ "$ERRORS" = "Error!: Error! Initializing: Error initializing output device." ] ||
    fail "wrote: $ERRORS"
echo "PASS"
