#!/usr/bin/env bash
# Usage: scripts/windows-tests.sh ZIP [LINUX_BUILD]
# Runs the Windows tests against the show in ZIP under Wine: prints "PASS name (12 s)",
# "FAIL name: reason" or "SKIP name: reason" for each, then the start-up time and frame
# rate under Wine beside the Linux build's (LINUX_BUILD, default build/) from the same
# run, and "windows tests: N passed, M failed, K skipped". Exits 1 when any failed.
#
# The Wine prefix lives beside the zip (wine-prefix/) and is made once; the zip is
# unpacked afresh each run into wine-tests/, which also keeps screenshots and logs.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
tests="$here/../tests/windows"

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    sed -n '2,6s/^# \{0,1\}//p' "$0" >&2
    exit 2
fi
[ -f "$1" ] || { echo "windows-tests: no zip at $1" >&2; exit 2; }
zip="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
LINUX_BUILD="$(cd "${2:-build}" 2>/dev/null && pwd)" || LINUX_BUILD="${2:-build}"
beside="$(dirname "$zip")"
export LINUX_BUILD
export WINEPREFIX="$beside/wine-prefix"
export SHOW_DIR="$beside/wine-tests/show"
export RESULTS="$beside/wine-tests/results"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
begin=$SECONDS
passed=0
failed=0
skipped=0

report() { # NAME TIME-TEXT: prints the test's verdict from its file and counts it
    local name="$1" took="$2" result
    result="$(head -1 "$RESULTS/$name" 2>/dev/null)"
    case "$result" in
    PASS) passed=$((passed + 1)); echo "PASS $name ($took)" ;;
    SKIP*) skipped=$((skipped + 1)); echo "SKIP $name: ${result#SKIP }" ;;
    FAIL*) failed=$((failed + 1)); echo "FAIL $name: ${result#FAIL } ($took)" ;;
    *) failed=$((failed + 1)); echo "FAIL $name: no verdict, its run ended early ($took)" ;;
    esac
}

# Runs one test script, bounded, with its output kept in its log. The names are the
# verdicts the script must give (a shared run gives several).
run() { # SCRIPT LIMIT NAME...
    local script="$1" limit="$2" start=$SECONDS status name took shared=""
    shift 2
    [ $# -eq 1 ] || shared=", one run for $#"
    timeout -k 10 "$limit" bash "$tests/$script" >"$RESULTS/${script%.sh}.log" 2>&1
    status=$?
    [ "$status" != 124 ] || echo "(stopped after $limit s)" >>"$RESULTS/${script%.sh}.log"
    took=$((SECONDS - start))
    for name in "$@"; do
        report "$name" "$took s$shared"
    done
}

missing=""
for tool in wine wineboot wineserver cmake Xvfb xwininfo xdotool xwd convert compare pulseaudio parec pactl \
    x86_64-w64-mingw32-objdump; do
    command -v "$tool" >/dev/null || missing="$missing $tool"
done
if [ -n "$missing" ]; then
    echo "FAIL setup: not installed:$missing"
    echo "windows tests: 0 passed, 1 failed, 0 skipped"
    exit 1
fi

rm -rf "$beside/wine-tests"
mkdir -p "$SHOW_DIR" "$RESULTS"
if ! (cd "$SHOW_DIR" && cmake -E tar xf "$zip"); then
    echo "FAIL setup: $zip does not unpack"
    echo "windows tests: 0 passed, 1 failed, 0 skipped"
    exit 1
fi
# The timed run is the measured build, made beside the zip by build-windows.sh; it reads
# the same data/ as the shipped program.
if [ -f "$beside/larkspur-measured.exe" ]; then
    cp "$beside/larkspur-measured.exe" "$SHOW_DIR/"
fi

# The prefix is made once and marked ready last, so one left half made is made again.
if [ ! -f "$WINEPREFIX/.larkspur-ready" ]; then
    start=$SECONDS
    rm -rf "$WINEPREFIX"
    if ! env -u DISPLAY WINEARCH=win64 timeout -k 10 300 wineboot -i >"$RESULTS/wineboot.log" 2>&1 ||
        ! timeout 60 wineserver -w; then
        echo "FAIL setup: wineboot did not make the prefix: $(tail -3 "$RESULTS/wineboot.log")"
        echo "windows tests: 0 passed, 1 failed, 0 skipped"
        exit 1
    fi
    # Without it "Wingdings" resolves to nothing under Wine.
    cp /usr/share/wine/fonts/wingding.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null ||
        echo "note: no wingding.ttf to copy (fonts-wine); Wingdings will not resolve"
    touch "$WINEPREFIX/.larkspur-ready"
    echo "wine prefix made in $((SECONDS - start)) s"
fi

run zip_contents.sh 60 zip_contents
run window_escape.sh 120 window_escape
run song_missing.sh 120 song_missing
# One whole show under Wine serves three tests; then the Linux show on the same servers.
run whole_show.sh 300 display_mode sound_pulse whole_show frame_stats
run linux_show.sh 180 linux_show

timing_row() { # LABEL STATS-FILE WINDOW-FILE
    local figures frames fps first window
    figures="$(sed -n '1p' "$2" 2>/dev/null)"
    window="$(cat "$3" 2>/dev/null)"
    if [ -z "$figures" ]; then
        printf '%-8s %12s %9s %9s %16s\n' "$1" "-" "-" "-" "${window:--}${window:+ s}"
        return
    fi
    read -r frames _ fps first <<<"$figures"
    printf '%-8s %9s ms %9s %9s %16s\n' "$1" "$first" "$fps" "$frames" "${window:--}${window:+ s}"
}
echo "timings (same run, same kind of server; start-up = first frame after entry to main)"
printf '%-8s %12s %9s %9s %16s\n' "" "start-up" "fps" "frames" "window seen at"
timing_row Wine "$RESULTS/wine.figures" "$RESULTS/wine.window"
timing_row Linux "$RESULTS/linux.figures" "$RESULTS/linux.window"

echo "windows tests took $((SECONDS - begin)) s"
echo "windows tests: $passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]
