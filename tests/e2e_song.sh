#!/usr/bin/env bash
# The generated song against two independent players: libopenmpt (openmpt123) and
# libxmp (xmp) both load it without complaint and agree on its length; it lasts at
# least 90 s; the generator writes the same bytes every run; neither player's rendering
# reaches full scale.
set -u
build="${LARKSPUR_BUILD_DIR:-$PWD}"
song="$build/data/theme.xm"
make_song="${LARKSPUR_MAKE_SONG:-$build/tools/song/make_song}"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -s "$song" ] || { echo "FAIL: $song missing"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# libopenmpt: "Duration...: mm:ss.mmm", no warnings.
info=$(openmpt123 --info "$song" 2>&1) || fail "openmpt123 --info failed"
echo "$info" | grep -iq 'warn' && fail "openmpt123 warns: $info"
echo "$info" | grep -q '^Channels...: [68]$' || fail "expected 6 or 8 channels: $info"
duration=$(echo "$info" | sed -n 's/^Duration\.\.\.: \([0-9]*\):\([0-9]*\)\.\([0-9]*\)$/\1 \2 \3/p')
[ -n "$duration" ] || fail "no duration from openmpt123"
read -r mm ss ms <<<"$duration"
openmpt_ms=$(( (10#$mm * 60 + 10#$ss) * 1000 + 10#$ms ))
echo "openmpt123: ${openmpt_ms} ms"

# libxmp: "Duration     : XminYs", no error or warning.
xinfo=$(xmp --load-only "$song" 2>&1) || fail "xmp --load-only failed"
echo "$xinfo" | grep -Eiq 'warn|error|unknown' && fail "xmp complains: $xinfo"
xdur=$(echo "$xinfo" | sed -n 's/^Duration *: *\([0-9]*\)min\([0-9]*\)s$/\1 \2/p' | head -1)
[ -n "$xdur" ] || fail "no duration from xmp: $xinfo"
read -r xm xs <<<"${xdur:-0 0}"
xmp_ms=$(( (10#$xm * 60 + 10#$xs) * 1000 ))
echo "xmp: ${xmp_ms} ms (whole seconds)"

# xmp prints whole seconds, so allow one second between the two.
diff=$(( openmpt_ms - xmp_ms ))
[ "${diff#-}" -le 1000 ] || fail "players disagree on the length: $openmpt_ms vs $xmp_ms ms"
[ "$openmpt_ms" -ge 90000 ] || fail "song shorter than 90 s: $openmpt_ms ms"

# Deterministic to the byte, and the built song is what the generator writes now.
"$make_song" "$work/a.xm" || fail "make_song failed"
"$make_song" "$work/b.xm" || fail "make_song failed on the second run"
cmp -s "$work/a.xm" "$work/b.xm" || fail "two runs of make_song differ"
cmp -s "$work/a.xm" "$song" || fail "data/theme.xm differs from a fresh run"

# A generator given a path it cannot write fails loudly and leaves nothing behind.
if "$make_song" "$work/missing-dir/song.xm" 2>/dev/null; then
    fail "make_song reported success writing into a missing folder"
fi
"$make_song" 2>/dev/null && fail "make_song without an output path reported success"

# Peak level of each player's rendering, below full scale with headroom.
peak_of() {
    sox "$1" -n stat 2>&1 | awk '/^Maximum amplitude/ {mx=$3} /^Minimum amplitude/ {mn=$3}
        END { if (mn < 0) mn = -mn; print (mx > mn ? mx : mn) }'
}
cp "$song" "$work/theme.xm"
(cd "$work" && openmpt123 --quiet --render theme.xm >/dev/null 2>&1) ||
    fail "openmpt123 --render failed"
xmp --quiet -d wav -o "$work/xmp.wav" "$song" >/dev/null 2>&1 || fail "xmp render failed"
for wav in "$work/theme.xm.wav" "$work/xmp.wav"; do
    [ -s "$wav" ] || { fail "no rendering $wav"; continue; }
    peak=$(peak_of "$wav")
    echo "peak $(basename "$wav"): $peak"
    awk -v p="$peak" 'BEGIN { exit !(p > 0.05 && p < 0.95) }' ||
        fail "peak $peak of $wav is silent or too close to full scale"
    seconds=$(soxi -D "$wav" 2>/dev/null)
    awk -v s="$seconds" 'BEGIN { exit !(s >= 90) }' || fail "$wav lasts only $seconds s"
done

# Integrated loudness and true peak over the show's 84 s, as a viewer gets them from the
# recording: -16 LUFS within 1 LU, and the true peak at -2 dBTP or lower so that the AAC
# encoding stays under -1 dBTP.
if [ -s "$work/theme.xm.wav" ]; then
    summary=$(ffmpeg -hide_banner -nostats -t 84 -i "$work/theme.xm.wav" \
        -af ebur128=peak=true -f null - 2>&1 | sed -n '/Summary:/,$p')
    integrated=$(echo "$summary" | sed -n 's/^ *I: *\(-\{0,1\}[0-9.]*\) LUFS$/\1/p')
    range=$(echo "$summary" | sed -n 's/^ *LRA: *\([0-9.]*\) LU$/\1/p')
    true_peak=$(echo "$summary" | sed -n 's/^ *Peak: *\(-\{0,1\}[0-9.inf]*\) dBFS$/\1/p')
    echo "loudness: ${integrated:-?} LUFS, range ${range:-?} LU, true peak ${true_peak:-?} dBTP"
    if [ -z "$integrated" ] || [ -z "$true_peak" ]; then
        fail "no loudness summary from ffmpeg: $summary"
    else
        awk -v i="$integrated" 'BEGIN { exit !(i >= -17 && i <= -15) }' ||
            fail "integrated loudness $integrated LUFS is not -16 +/- 1"
        awk -v p="$true_peak" 'BEGIN { exit !(p <= -2) }' ||
            fail "true peak $true_peak dBTP leaves no room for the encoder"
    fi
fi

[ "$failures" -eq 0 ] && echo "song checks passed"
exit $((failures > 0))
