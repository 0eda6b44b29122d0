#!/usr/bin/env bash
# larkspur-capture end to end: a short recording that ordinary tools can read, the same
# stills on two runs, the end of the show ending the recording, and clear errors for a
# missing picture, an output it cannot write, a missing encoder and a bad option.
set -uo pipefail
build="${LARKSPUR_BUILD_DIR:?}"
capture="$build/larkspur-capture"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy

if [ ! -x "$capture" ]; then
    echo "larkspur-capture is not built"; exit 1
fi
for f in $(grep -v '^#' "$(dirname "$0")/../app/MediaFiles.txt"); do
    if [ ! -r "$build/data/$f" ]; then
        echo "skipped: the show's media are not in $build/data"; exit 77
    fi
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# Runs the recorder from the build folder; stderr goes to $work/err, status to $status.
run() {
    (cd "$build" && "$capture" --quiet "$@") >"$work/out" 2>"$work/err"
    status=$?
}

# --- A short recording plays: picture and sound of the same length. ---
if command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null; then
    run --start 13500 --end 15000 --output "$work/short.mp4"
    [ "$status" -eq 0 ] || fail "short recording exited with $status: $(cat "$work/err")"
    probe() { ffprobe -v error -select_streams "$1" -show_entries "stream=$2" -of csv=p=0 "$work/short.mp4"; }
    [ "$(probe v codec_name,width,height,r_frame_rate)" = "h264,640,480,60/1" ] ||
        fail "video stream is $(probe v codec_name,width,height,r_frame_rate)"
    [ "$(probe v nb_frames)" = "90" ] || fail "expected 90 frames, got $(probe v nb_frames)"
    [ "$(probe a codec_name,sample_rate,channels)" = "aac,44100,2" ] ||
        fail "audio stream is $(probe a codec_name,sample_rate,channels)"
    awk -v v="$(probe v duration)" -v a="$(probe a duration)" \
        'BEGIN { d = v - a; if (d < 0) d = -d; exit !(v > 1.49 && v < 1.51 && d < 0.03) }' ||
        fail "video $(probe v duration) s and audio $(probe a duration) s should both be 1.5 s"
    # Decodes from end to end without an error.
    ffmpeg -v error -i "$work/short.mp4" -f null - 2>"$work/decode" && [ ! -s "$work/decode" ] ||
        fail "the recording does not decode cleanly: $(cat "$work/decode")"
else
    echo "no ffmpeg/ffprobe: recording checks left out"
fi

# --- The same stills on every run, including the shimmer's random tiling. ---
run --fps 20 --stills 0,8001,12500,15000 --output "$work/a"
[ "$status" -eq 0 ] || fail "stills exited with $status: $(cat "$work/err")"
run --fps 20 --stills 0,8001,12500,15000 --output "$work/b"
for t in 00000 08001 12500 15000; do
    [ -s "$work/a/still-$t.png" ] || fail "still-$t.png missing"
    cmp -s "$work/a/still-$t.png" "$work/b/still-$t.png" || fail "still-$t.png differs between runs"
done
# PNG header: width 640, height 480, 8 bits, colour type 2 (RGB).
header="$(od -An -tx1 -j16 -N10 "$work/a/still-15000.png" | tr -d ' \n')"
[ "$header" = "00000280000001e00802" ] || fail "still is not a 640 x 480 RGB PNG: $header"

run --fps 20 --stills 15000 --scale 2 --output "$work/small"
header="$(od -An -tx1 -j16 -N10 "$work/small/still-15000.png" | tr -d ' \n')"
[ "$header" = "00000140000000f00802" ] || fail "--scale 2 still is not 320 x 240: $header"

# --- A larger size: the same pictures on every run, at that size, smoothed. ---
run --fps 5 --size 1280x960 --stills 8001,15000 --output "$work/big-a"
[ "$status" -eq 0 ] || fail "1280x960 stills exited with $status: $(cat "$work/err")"
run --fps 5 --size 1280x960 --stills 8001,15000 --output "$work/big-b"
for t in 08001 15000; do
    cmp -s "$work/big-a/still-$t.png" "$work/big-b/still-$t.png" ||
        fail "1280x960 still-$t.png differs between runs"
done
header="$(od -An -tx1 -j16 -N10 "$work/big-a/still-15000.png" | tr -d ' \n')"
[ "$header" = "00000500000003c00802" ] || fail "still is not a 1280 x 960 RGB PNG: $header"

# --- The end of the show ends the recording, not the process, with status 0. ---
if command -v ffmpeg >/dev/null; then
    run --fps 10 --start 83000 --output "$work/end.mp4"
    [ "$status" -eq 0 ] || fail "recording to the end exited with $status: $(cat "$work/err")"
    grep -q "warning" "$work/err" && fail "unexpected warning: $(cat "$work/err")"
    grep -q "10 frames" "$work/err" || fail "expected 10 frames from 83000: $(cat "$work/err")"
fi

# --- Clear errors, never a crash. ---
mkdir -p "$work/show/data"
cp "$build"/data/* "$work/show/data/"
rm "$work/show/data/d3.jpg"
(cd "$work/show" && "$capture" --quiet --output "$work/x.mp4") 2>"$work/err"
status=$?
[ "$status" -eq 1 ] || fail "missing picture: status $status"
grep -q "data/d3.jpg" "$work/err" || fail "missing picture not named: $(cat "$work/err")"

run --output "$work/no/such/folder/x.mp4"
[ "$status" -eq 1 ] || fail "unwritable output: status $status"
grep -q "cannot write the video to $work/no/such/folder/x.mp4" "$work/err" ||
    fail "unwritable output not explained: $(cat "$work/err")"

(cd "$build" && PATH=/nonexistent "$capture" --quiet --output "$work/x.mp4") 2>"$work/err"
status=$?
[ "$status" -eq 1 ] || fail "missing encoder: status $status"
grep -q "no video encoder" "$work/err" || fail "missing encoder not explained: $(cat "$work/err")"
[ -e "$work/x.mp4" ] && fail "a failed run left an output file"

for bad in "--fps 0" "--size 641x480" "--size 0x480" "--size 3842x2160" "--size 1920" \
    "--size 1920x1080x2" "--samples 3"; do
    # shellcheck disable=SC2086 # the option and its value are two words
    run $bad
    [ "$status" -eq 2 ] || fail "bad option $bad: status $status"
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "bad option $bad: not one line: $(cat "$work/err")"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"; exit 1
fi
echo "all capture checks passed"
