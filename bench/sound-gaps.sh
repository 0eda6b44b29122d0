#!/usr/bin/env bash
# Gaps in the show's sound as it reaches a real sound server, over the whole show, with
# the processors kept busy beside it. As root; starts its own server.
#   bench/sound-gaps.sh pulse|pipewire [MIN_MS [LOOPS [PROGRAM...]]]
# (from the source folder, after a build). Prints the gaps (runs of exact silence of
# MIN_MS or more, default 2) in what the sink's monitor heard, and in libopenmpt's render
# of the song for the song's own silences. LOOPS busy loops run beside the show (default
# one for each processor; more than that make the show's threads wait their turn too).
# Each PROGRAM (default the build's larkspur; it may start with VARIABLE=value words, as
# for env) plays the whole show in turn under the same server and load, so that two
# builds or settings compare in one run.
set -euo pipefail
server="${1:?pulse or pipewire}"
min_ms="${2:-2}"
loops="${3:-$(nproc)}"
source "$(dirname "$0")/sound-bench.sh" "$@"
bench_programs "$SHOW" "${@:4}"
GAPS="$LARKSPUR_BUILD_DIR/bench/larkspur-sound-gaps"
make_workdir
on_exit "rm -rf '$WORK'"
trap stop_servers EXIT
case "$server" in
pulse) start_pulse || fail "PulseAudio did not start" ;;
pipewire) private_runtime && start_pipewire || fail "PipeWire did not start" ;;
*) fail "no such server: $server" ;;
esac
cp "$LARKSPUR_BUILD_DIR/data/theme.xm" "$WORK/song.xm"
openmpt123 --quiet --render --force "$WORK/song.xm" >/dev/null 2>&1
echo "server $server, min $min_ms ms, $loops busy loops on $(nproc) processors beside the show"
echo "song:   $(sox "$WORK/song.xm.wav" -t raw -r 44100 -e signed -b 16 -c 2 - | "$GAPS" "$min_ms")"
start_cpu_load "$loops"
for program in "${programs[@]}"; do
    echo "$program, load before:$(uptime | sed 's/.*load average://')"
    parec -d show.monitor --raw --format=s16le --rate=44100 --channels=2 >"$WORK/heard.raw" &
    recorder=$!
    sleep 0.5
    (cd "$WORK" && exec timeout -k 5 200 env -u SDL_AUDIODRIVER SDL_VIDEODRIVER=offscreen \
        $program) >/dev/null 2>"$WORK/stderr.txt" </dev/null ||
        fail "the show failed: $(cat "$WORK/stderr.txt")"
    sleep 1
    end_process "$recorder"
    echo "heard:  $("$GAPS" "$min_ms" <"$WORK/heard.raw")"
done
