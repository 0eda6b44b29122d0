# Shared by the tests of the installed show (sourced, not run): the files an install
# must hold, the show started through its launcher under a virtual display, and the
# recorder started from an unrelated folder. Every wait is bounded.

SKIP=77
SHOW_CHECK_HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

skip() {
    echo "SKIP: $*"
    exit "$SKIP"
}

fail() {
    echo "FAIL: $*"
    exit 1
}

holds() { awk "BEGIN { exit !($1) }"; }

# Every file an install holds, relative to its prefix: the runtime and nothing else
# (no tests, benchmarks, headers or static libraries). Folders are not listed.
expected_files() {
    local app_id="$1"
    cat <<LIST
bin/larkspur
bin/larkspur-capture
libexec/larkspur/larkspur
libexec/larkspur/larkspur-capture
libexec/larkspur/larkspur-display-guardian
libexec/larkspur/liblarkspur-png.so
share/applications/$app_id.desktop
share/doc/larkspur/changelog.gz
share/doc/larkspur/copyright
share/icons/hicolor/128x128/apps/larkspur.png
share/icons/hicolor/256x256/apps/larkspur.png
share/icons/hicolor/48x48/apps/larkspur.png
$(grep -v '^#' "$SHOW_CHECK_HERE/../../app/MediaFiles.txt" | sed 's|^|share/larkspur/data/|')
share/man/man1/larkspur-capture.1.gz
share/man/man6/larkspur.6.gz
share/metainfo/$app_id.metainfo.xml
LIST
}

# The AppStream id the build was configured with.
app_id_of() {
    sed -n 's/^LARKSPUR_APP_ID:STRING=//p' "$1/CMakeCache.txt"
}

# Compares a list of files (one a line, relative, any order) with the expected one.
check_file_list() {
    local actual="$1" expected="$2" diff
    if ! diff="$(diff <(sort <<<"$expected") <(sort <<<"$actual"))"; then
        fail "the installed files differ from the runtime set (< missing, > extra):
$diff"
    fi
}

require_x() {
    local tool
    for tool in xvfb-run xdotool xwd xprop convert; do
        command -v "$tool" >/dev/null || skip "$tool is not installed"
    done
}

# Starts LAUNCHER (a path, or a name looked up on the PATH) from a fresh folder that has
# nothing of the show in it, under a virtual screen. Checks that the window shows the
# title picture about 6.5 s in (the second title picture is bright from 5.1 s to 7.6 s
# of show time), that the window's class is the menu entry's StartupWMClass (so a shell
# ties the window to its entry and icon), that Escape ends the show with status 0 and
# that it wrote nothing.
check_show_from_anywhere() {
    local launcher="$1" result status
    result="$(mktemp -d)"
    set +e
    timeout -k 10 180 xvfb-run -a -s "-screen 0 640x480x24 -nolisten tcp" \
        bash "${BASH_SOURCE[0]}" --inside "$launcher" "$result"
    status=$?
    set -e
    cat "$result/log" 2>/dev/null || true
    if [ ! -f "$result/ok" ]; then
        rm -rf "$result"
        fail "the show through $launcher (virtual display status $status)"
    fi
    rm -rf "$result"
}

# Runs inside the virtual display; writes its findings to RESULT/log and RESULT/ok.
inside_display() {
    local launcher="$1" result="$2" elsewhere pid appeared now wait shot mean spread status
    local entry class window_class
    exec >"$result/log" 2>&1
    elsewhere="$(mktemp -d)"
    cd "$elsewhere"
    SDL_AUDIODRIVER=dummy timeout -k 5 120 "$launcher" >"$result/stdout" 2>"$result/stderr" &
    pid=$!
    if ! timeout 30 xdotool search --sync --onlyvisible --name '^Larkspur$' >/dev/null 2>&1; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" || true
        echo "no show window appeared: $(cat "$result/stderr")"
        return 1
    fi
    appeared="$(date +%s.%N)"
    # The show's menu entry, installed beside the launcher (among others' in /usr).
    entry="$(dirname "$(readlink -f "$(command -v "$launcher")")")/../share/applications"
    class="$(grep -l '^Exec=larkspur$' "$entry"/*.desktop | xargs sed -n 's/^StartupWMClass=//p')"
    window_class="$(xprop -id "$(xdotool search --onlyvisible --name '^Larkspur$' | head -1)" WM_CLASS)"
    echo "window: $window_class; menu entry: StartupWMClass=$class"
    [ -n "$class" ] && [ "$window_class" = "WM_CLASS(STRING) = \"$class\", \"$class\"" ] ||
        { echo "the window's class is not the menu entry's StartupWMClass"; return 1; }
    now="$(date +%s.%N)"
    wait="$(awk "BEGIN { print 6.5 - ($now - $appeared) }")"
    if holds "$wait > 0"; then sleep "$wait"; fi
    shot="$result/shot.png"
    xwd -root -silent | convert xwd:- "$shot"
    mean="$(convert "$shot" -colorspace Gray -format '%[fx:mean]' info:)"
    spread="$(convert "$shot" -colorspace Gray -format '%[fx:standard_deviation]' info:)"
    echo "screenshot at 6.5 s: mean brightness $mean, spread $spread"
    # Black (the data not found, a blank window) and one flat colour both fail.
    holds "$mean > 0.03 && $spread > 0.02" || { echo "the title picture is not on screen"; return 1; }
    xdotool search --onlyvisible --name '^Larkspur$' windowfocus --sync
    # Held like a hand holds it: the show looks at the key once per frame.
    xdotool keydown Escape
    for _ in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    xdotool keyup Escape || true
    if kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid"
        echo "Escape did not end the show"
        return 1
    fi
    set +e
    wait "$pid"
    status=$?
    set -e
    [ "$status" = 0 ] || { echo "the show ended with status $status: $(cat "$result/stderr")"; return 1; }
    [ ! -s "$result/stderr" ] || { echo "the show wrote: $(cat "$result/stderr")"; return 1; }
    [ -z "$(ls -A "$elsewhere")" ] || { echo "the show left files in its caller's folder"; return 1; }
    rm -rf "$elsewhere"
    touch "$result/ok"
}

# The recorder started from a fresh folder records the installed show and writes a
# relative output there; a show folder the caller names is used instead of the installed one.
check_capture_from_anywhere() {
    local recorder="$1" elsewhere mean
    elsewhere="$(mktemp -d)"
    (cd "$elsewhere" && SDL_VIDEODRIVER=offscreen "$recorder" \
        --stills 6500 --fps 10 --scale 4 --output shots --quiet) ||
        fail "the recorder through $recorder failed"
    [ -f "$elsewhere/shots/still-06500.png" ] ||
        fail "the recorder did not write shots/still-06500.png in its caller's folder"
    mean="$(convert "$elsewhere/shots/still-06500.png" -colorspace Gray -format '%[fx:mean]' info:)"
    holds "$mean > 0.03" || fail "the recorded title picture is black (mean $mean)"
    if (cd "$elsewhere" && "$recorder" --show-dir "$elsewhere/none" --stills 6500 \
        --output more --quiet) 2>"$elsewhere/err"; then
        fail "the recorder ignored the caller's --show-dir"
    fi
    grep -q "none" "$elsewhere/err" || fail "unexpected error for a missing show folder: $(cat "$elsewhere/err")"
    rm -rf "$elsewhere"
}

if [ "${1:-}" = "--inside" ]; then
    set -euo pipefail
    inside_display "$2" "$3"
    exit $?
fi
