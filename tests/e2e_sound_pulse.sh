#!/usr/bin/env bash
# On a real sound server (PulseAudio with a null sink, found by SDL with no variable set):
# the first 10 s that the show plays, recorded from the sink's monitor, are the song as
# libopenmpt renders it (normalised cross-correlation above 0.9) and are not silence; the
# server lists the stream under the show's name, not SDL's default.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"
source "$here/servers/servers.sh"
MATCH="$LARKSPUR_BUILD_DIR/larkspur-sound-match"

[ -x "$MATCH" ] || skip "larkspur-sound-match is not built"
start_test_server pulse
unset SDL_AUDIODRIVER

parec -d show.monitor --format=s16le --rate=44100 --channels=2 --file-format=wav \
    "$WORK/heard.wav" &
recorder=$!
on_exit "end_process $recorder"
sleep 0.5
# The picture is not what is tested here: SDL draws it into memory, as asked.
(cd "$WORK" && exec env SDL_VIDEODRIVER=offscreen timeout -k 5 60 "$SHOW") \
    >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" &
show=$!
on_exit "end_process $show"
# Start-up, then more than the 10 s compared.
sleep 16
kill -0 "$show" 2>/dev/null || fail "the show ended early: $(cat "$WORK/stderr.txt")"
pactl list sink-inputs >"$WORK/streams.txt" 2>&1 || fail "pactl could not list the streams"
for property in application.name media.name; do
    grep -qF "$property = \"Larkspur\"" "$WORK/streams.txt" ||
        fail "the stream's $property is not \"Larkspur\": $(grep -E 'application.name|media.name' "$WORK/streams.txt")"
done
end_process "$show"
end_process "$recorder"
[ -s "$WORK/heard.wav" ] || fail "nothing was recorded"
"$MATCH" "$LARKSPUR_BUILD_DIR/data/theme.xm" "$WORK/heard.wav" 10 ||
    fail "the recording is not the song"
echo "PASS"
