#!/usr/bin/env bash
# On PipeWire with a null sink: the first 10 s that the show plays, recorded from the
# sink's monitor, are the song (the matcher's normalised cross-correlation above 0.9),
# through PipeWire's Pulse server with no variable set, and through SDL's own PipeWire
# back end with both processors kept busy beside it.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/e2e/common.sh"
source "$here/servers/servers.sh"
MATCH="$LARKSPUR_BUILD_DIR/larkspur-sound-match"

[ -x "$MATCH" ] || skip "larkspur-sound-match is not built"
start_test_server pipewire

# Records the show's first seconds with the given environment; checks them.
heard_matches() {
    local name="$1" recorder show
    shift
    parec -d show.monitor --format=s16le --rate=44100 --channels=2 --file-format=wav \
        "$WORK/$name.wav" &
    recorder=$!
    on_exit "end_process $recorder"
    sleep 0.5
    (cd "$WORK" && exec env -u SDL_AUDIODRIVER "$@" SDL_VIDEODRIVER=offscreen \
        timeout -k 5 60 "$SHOW") >"$WORK/stdout.txt" 2>"$WORK/stderr.txt" </dev/null &
    show=$!
    on_exit "end_process $show"
    sleep 14
    kill -0 "$show" 2>/dev/null || fail "$name: the show ended early: $(cat "$WORK/stderr.txt")"
    end_process "$show"
    end_process "$recorder"
    [ -s "$WORK/$name.wav" ] || fail "$name: nothing was recorded"
    "$MATCH" "$LARKSPUR_BUILD_DIR/data/theme.xm" "$WORK/$name.wav" 10 ||
        fail "$name: the recording is not the song"
}

heard_matches pulse-side
start_cpu_load
heard_matches native-loaded SDL_AUDIODRIVER=pipewire
echo "PASS"
