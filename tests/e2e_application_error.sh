#!/usr/bin/env bash
# A picture that fails while it is decoded is an error nothing catches: the box captioned
# "Application Error" names the error's kind, the module and an address, and the show
# ends with status 1. Run on SDL's offscreen video without a display, so the window and
# its context exist but the box can only go to standard error.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"

require_song
make_workdir d0.jpg
# The start of a JPEG, then damage: the reader gets past the file type and fails inside.
{
    printf '\377\330\377\340\000\020JFIF\000\001\001\000\000\001\000\001\000\000'
    printf '\377\333\000\103\000'
    head -c 64 /dev/zero
    printf '\377\300\000\021\010\001\000\001\000\003\001\042\000\002\021\001\003\021\001'
    printf '\377\332\000\014\003\001\000\002\021\003\021\000\077\000'
    head -c 2000 /dev/zero | tr '\000' '\377'
} >"$WORK/data/d0.jpg"
run_without_display SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=offscreen
[ "$STATUS" = 1 ] || fail "status $STATUS, wrote: $ERRORS"
grep -Eq "^Application Error: Exception [^ ]+ in module larkspur at 0x[0-9a-f]+\.$" <<<"$ERRORS" ||
    fail "wrote: $ERRORS"
echo "PASS"
