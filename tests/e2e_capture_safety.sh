#!/usr/bin/env bash
# larkspur-capture in a hostile setting: an output that is not a plain file, a failing
# encoder, signals and SIGKILL in the middle of a recording, closed standard streams,
# FIFOs, a full disk, output names that look like ffmpeg syntax, missing font faces.
# Each check looks at what is left on disk afterwards. The full-disk checks need root
# (to mount a small tmpfs) and are left out without it.
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
if ! command -v ffmpeg >/dev/null || ! command -v ffprobe >/dev/null; then
    echo "skipped: no ffmpeg/ffprobe"; exit 77
fi

work="$(mktemp -d)"
mounts=()
cleanup() {
    for m in "${mounts[@]}"; do umount "$m" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The soundtrack must never show up here.
export TMPDIR="$work/tmp"
mkdir -p "$TMPDIR" "$work/out"

# Runs the recorder (with a time limit: a hang is a failure) from the build folder;
# stderr in $work/err, status in $status.
limit=60
run() {
    (cd "$build" && timeout -k 5 "$limit" "$capture" --quiet "$@") >"$work/stdout" 2>"$work/err"
    status=$?
}
# A tiny recording: two frames at 1 fps.
tiny=(--fps 1 --end 2000)
one_line_error() {
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "$1: expected one line, got: $(cat "$work/err")"
}
nothing_left_in() {
    local left
    left="$(find "$1" -mindepth 1 \( -name '*partial*' -o -name '*.wav' \) | head -3)"
    [ -z "$left" ] || fail "$2: left behind: $left"
}

# --- An encoder that fails leaves the user's file alone (no extension, "-"). ---
fake="$work/fake-bin"
mkdir -p "$fake"
printf '#!/bin/sh\necho "fake encoder failing" >&2\nexit 1\n' >"$fake/ffmpeg"
chmod +x "$fake/ffmpeg"
for name in notes -; do
    printf 'keep me\n' >"$work/out/$name"
    (cd "$work/out" && PATH="$fake:$PATH" timeout -k 5 60 "$capture" --quiet --show-dir "$build" \
        "${tiny[@]}" --output "$name") >/dev/null 2>"$work/err"
    status=$?
    [ "$status" -eq 1 ] || fail "failing encoder, output $name: status $status"
    grep -q "the encoder $fake/ffmpeg failed with exit status 1" "$work/err" ||
        fail "failing encoder not named: $(cat "$work/err")"
    [ "$(cat "$work/out/$name" 2>/dev/null)" = "keep me" ] ||
        fail "failing encoder: the existing file $name was changed or removed"
    nothing_left_in "$work/out" "failing encoder, output $name"
done

# --- The ffmpeg a recording would run is the one --help names: absolute PATH entries only. ---
(cd "$fake" && PATH=":$fake:$PATH" "$capture" --help) | grep -qx "Encoder: $fake/ffmpeg" ||
    fail "--help does not name $fake/ffmpeg"
(cd "$fake" && PATH=":/nonexistent" "$capture" --help) | grep -q "^Encoder: none" ||
    fail "--help names an ffmpeg from the working directory"

# --- What is not a regular file is refused at once and left as it was. ---
mkdir "$work/out/folder"
mkfifo "$work/out/fifo"
ln -s "$work/out/notes" "$work/out/link"
for name in folder fifo link; do
    run "${tiny[@]}" --output "$work/out/$name"
    [ "$status" -eq 1 ] || fail "output $name: status $status"
    grep -q "cannot write the video to $work/out/$name: it is a" "$work/err" ||
        fail "output $name not explained: $(cat "$work/err")"
    one_line_error "output $name"
done
[ -d "$work/out/folder" ] && [ -p "$work/out/fifo" ] && [ -L "$work/out/link" ] ||
    fail "a refused output was changed"
[ "$(cat "$work/out/notes")" = "keep me" ] || fail "the file behind the link was changed"
if [ "$(id -u)" -eq 0 ]; then
    mknod "$work/out/null" c 1 3
    run "${tiny[@]}" --output "$work/out/null"
    [ "$status" -eq 1 ] && grep -q "it is a device" "$work/err" ||
        fail "device node as output: status $status, $(cat "$work/err")"
    [ -c "$work/out/null" ] || fail "the device node was removed"
fi
mkdir "$work/out/stills" && mkfifo "$work/out/stills/still-00000.png"
run --stills 0 --output "$work/out/stills"
[ "$status" -eq 1 ] && grep -q "still-00000.png: it is a FIFO" "$work/err" ||
    fail "FIFO in place of a still: status $status, $(cat "$work/err")"
nothing_left_in "$work/out" "refused outputs"

# --- A FIFO in place of a data file is refused, not waited on for ever. ---
mkdir -p "$work/show/data"
cp "$build"/data/* "$work/show/data/"
limit=20
for f in d3.jpg theme.xm; do
    mv "$work/show/data/$f" "$work/show/data/$f.real"
    mkfifo "$work/show/data/$f"
    run --show-dir "$work/show" --stills 0 --output "$work/out/fifo-stills"
    [ "$status" -eq 1 ] || fail "FIFO as data/$f: status $status (124: it hung)"
    grep -q "data/$f" "$work/err" || fail "FIFO as data/$f not named: $(cat "$work/err")"
    rm "$work/show/data/$f"
    mv "$work/show/data/$f.real" "$work/show/data/$f"
done
limit=60

# --- Output names that look like ffmpeg syntax are plain files in the working folder. ---
# Relative names, from a folder holding its own data/.
names="$work/show"
for name in "file:x.mp4" "pipe:1" "-y"; do
    (cd "$names" && timeout -k 5 60 "$capture" --quiet "${tiny[@]}" "--output=$name") \
        >"$work/stdout" 2>"$work/err"
    status=$?
    [ "$status" -eq 0 ] || fail "output $name: status $status, $(cat "$work/err")"
    [ -f "$names/$name" ] || fail "output $name: no such file in the working folder"
    [ -s "$work/stdout" ] && fail "output $name: the video went to standard output"
    format="$(ffprobe -v error -show_entries format=format_name -of csv=p=0 "file:$names/$name")"
    case "$format" in *mp4*) ;; *) fail "output $name is not MP4: $format" ;; esac
done
[ -e "$names/x.mp4" ] && fail "file:x.mp4 was taken as a protocol"
nothing_left_in "$names" "odd names"

# --- Closed standard output and error: the video is the same as with them open. ---
run --start 2000 --end 4000 --fps 10 --output "$work/out/open.mp4"
[ "$status" -eq 0 ] || fail "reference recording: status $status, $(cat "$work/err")"
# No --quiet: the progress lines have nowhere to go but must not land in the video.
(cd "$build" && timeout -k 5 60 "$capture" --start 2000 --end 4000 --fps 10 \
    --output "$work/out/closed.mp4" >&- 2>&-)
status=$?
[ "$status" -eq 0 ] || fail "closed standard streams: status $status"
cmp -s "$work/out/open.mp4" "$work/out/closed.mp4" ||
    fail "with standard output and error closed the video differs"
# Written through the descriptor, the index still comes before the media data.
offsets="$(grep -obaE 'moov|mdat' "$work/out/open.mp4" | head -2 | tr '\n' ' ')"
case "$offsets" in *moov*mdat*) ;; *) fail "the index is not first: $offsets" ;; esac

# --- Interrupted and killed recordings. ---
# The process's child, if it has one (the recorder's only child is ffmpeg): its pid in
# $child.
has_child() {
    local stat ppid pid
    for stat in /proc/[0-9]*/stat; do
        { read -r pid _ _ ppid _ <"$stat"; } 2>/dev/null && [ "$ppid" = "$1" ] &&
            child="$pid" && return 0
    done
    return 1
}
# Starts a whole-show recording in its own process group and waits until ffmpeg runs.
start_long() {
    rm -f "$work/out/long.mp4"
    (cd "$build" && exec setsid "$capture" --quiet --output "$work/out/long.mp4") \
        2>"$work/err" &
    pid=$!
    for _ in $(seq 600); do
        has_child "$pid" && break
        sleep 0.1
    done
    sleep 1 # some frames on their way
}
# Waits up to 30 s for the recorder to end; its status in $status (124: still running).
wait_long() {
    for _ in $(seq 300); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL -- "-$pid"
        wait "$pid"
        status=124
    else
        wait "$pid"
        status=$?
    fi
}

start_long
[ -z "$(ls -A "$TMPDIR")" ] || fail "the soundtrack sits in the temporary folder: $(ls -A "$TMPDIR")"
kill -HUP -- "-$pid"
wait_long
[ "$status" -eq 1 ] || fail "SIGHUP: status $status, $(cat "$work/err")"
[ -e "$work/out/long.mp4" ] && fail "SIGHUP left a video at the final name"
nothing_left_in "$work/out" "SIGHUP"

# Ctrl-C twice, as a terminal sends it: to the recorder and ffmpeg alike.
start_long
kill -INT -- "-$pid"
kill -INT -- "-$pid"
wait_long
[ "$status" -ne 0 ] && [ "$status" -ne 124 ] || fail "two interrupts: status $status"
[ -e "$work/out/long.mp4" ] && fail "two interrupts left a video at the final name"
sleep 1 # an orphaned ffmpeg would finish its file by now
nothing_left_in "$work/out" "two interrupts"
[ -z "$(ls -A "$TMPDIR")" ] || fail "two interrupts left: $(ls -A "$TMPDIR")"

start_long
encoder="$child"
kill -KILL "$pid"
wait "$pid"
# ffmpeg sees the pipe close and finishes what it has; until it ends, its file is live.
for _ in $(seq 600); do
    kill -0 "$encoder" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$encoder" 2>/dev/null && fail "ffmpeg of the killed recorder still runs after 60 s"
[ -e "$work/out/long.mp4" ] && fail "SIGKILL left a video at the final name"
[ -z "$(ls -A "$TMPDIR")" ] || fail "SIGKILL left: $(ls -A "$TMPDIR")"
run "${tiny[@]}" --output "$work/out/long.mp4"
[ "$status" -eq 0 ] && [ -s "$work/out/long.mp4" ] || fail "run after SIGKILL: status $status"
nothing_left_in "$work/out" "the run after SIGKILL"

# --- Missing font faces are named. ---
printf '<fontconfig></fontconfig>\n' >"$work/no-fonts.conf"
FONTCONFIG_FILE="$work/no-fonts.conf" run --stills 0 --output "$work/out/no-fonts"
[ "$status" -eq 1 ] || fail "no font faces: status $status"
grep -q "Arial" "$work/err" && grep -q "Wingdings" "$work/err" ||
    fail "missing faces not named: $(cat "$work/err")"

# --- A full disk leaves no truncated file and says why. ---
if [ "$(id -u)" -eq 0 ] && mkdir "$work/full" && mount -t tmpfs -o size=64k tmpfs "$work/full"; then
    mounts+=("$work/full")
    run --stills 15000 --fps 10 --output "$work/full/stills"
    [ "$status" -eq 1 ] && grep -q "No space left on device" "$work/err" ||
        fail "still on a full disk: status $status, $(cat "$work/err")"
    [ -z "$(ls -A "$work/full/stills")" ] || fail "full disk left: $(ls -A "$work/full/stills")"

    printf 'older video\n' >"$work/full/show.mp4"
    run "${tiny[@]}" --output "$work/full/show.mp4"
    [ "$status" -eq 1 ] || fail "video on a full disk: status $status"
    [ "$(cat "$work/full/show.mp4")" = "older video" ] || fail "full disk: the older video was lost"
    nothing_left_in "$work/full" "video on a full disk"

    rm -rf "${work:?}/full/"*
    head -c 60k /dev/zero >"$work/full/filler"
    TMPDIR="$work/full" run "${tiny[@]}" --output "$work/out/sound.mp4"
    [ "$status" -eq 1 ] && grep -q "soundtrack.*No space left on device" "$work/err" ||
        fail "soundtrack on a full disk: status $status, $(cat "$work/err")"
    [ -e "$work/out/sound.mp4" ] && fail "a failed soundtrack left a video"
else
    echo "not root: full-disk checks left out"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"; exit 1
fi
echo "all capture safety checks passed"
