#!/usr/bin/env bash
# How far the show's picture runs ahead of its sound on a real sound server, against the
# latency the server reports. As root; starts its own server.
#   bench/av-offset.sh pulse|pipewire [SECONDS [PROGRAM...]]     (after a build)
# Each PROGRAM (default the build's larkspur-measured; it may start with VARIABLE=value
# words, as for env; it must write frame times) plays the first SECONDS (default 20) of
# the show while the sink's monitor is recorded with the server's timing. A picture
# shows the music at its show time; the sound heard as it is handed to the screen is
# found in the recording. Prints, for each program, how far the picture is ahead
# (negative: behind) and the stream's latency as the server reports it half-way.
set -euo pipefail
server="${1:?pulse or pipewire}"
seconds="${2:-20}"
source "$(dirname "$0")/sound-bench.sh" "$@"
bench_programs "$LARKSPUR_BUILD_DIR/larkspur-measured" "${@:3}"
OFFSET="$LARKSPUR_BUILD_DIR/bench/larkspur-av-offset"
[ -x "$OFFSET" ] || fail "larkspur-av-offset is not built (it needs libpulse-dev)"
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
sox "$WORK/song.xm.wav" -t raw -r 44100 -e signed -b 16 -c 2 "$WORK/song.raw"
echo "server $server, the first $seconds s of the show"
for program in "${programs[@]}"; do
    echo "$program, load:$(uptime | sed 's/.*load average://')"
    rm -f "$WORK/frames.txt"
    "$OFFSET" record show.monitor "$WORK/heard.raw" "$WORK/stamps.txt" &
    recorder=$!
    sleep 0.5
    (cd "$WORK" && exec timeout -k 5 200 env -u SDL_AUDIODRIVER SDL_VIDEODRIVER=offscreen \
        LARKSPUR_FRAME_TIMES="$WORK/frames.txt" $program) \
        >/dev/null 2>"$WORK/stderr.txt" </dev/null &
    show=$!
    sleep "$((seconds / 2))"
    echo "server: $(pactl list sink-inputs | grep -E 'Buffer Latency|Sink Latency' | tr -s '\t\n' '  ')"
    sleep "$((seconds - seconds / 2))"
    end_process "$show"
    end_process "$recorder"
    [ -s "$WORK/frames.txt" ] || fail "no frame times: $(cat "$WORK/stderr.txt")"
    [ -z "${LARKSPUR_KEEP:-}" ] || cp "$WORK"/{frames.txt,stamps.txt,heard.raw,song.raw} "$LARKSPUR_KEEP/"
    "$OFFSET" offset "$WORK/song.raw" "$WORK/heard.raw" "$WORK/stamps.txt" "$WORK/frames.txt" \
        2000 "$(((seconds - 2) * 1000))"
done
