#!/usr/bin/env bash
# One check of the show's page in headless Chromium (tests/web/page.py drives it), on the
# test page that scripts/build-web.sh makes in build-web/test:
#   frames          the stills at six show times match the Linux recorder's (PSNR >= 30 dB)
#   missing-picture with d0.jpg missing the page still draws every still, without an error,
#                   and the picture is gone from some of them (the recorder refuses to run
#                   without it, so the page's full stills stand in for a reference)
#   sound           the first 10 s handed to Web Audio are the song as libopenmpt renders it
#   escape          Escape ends the show and the page offers it again
#   end             the end of the show offers a replay, which plays
#   bad-song        a missing and a damaged song show the desktop's box texts on the page
# Every check also fails when the page's console reports an error or a warning.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/common.sh"
check=${1:?which check}
page_dir=${LARKSPUR_WEB_DIR:-$LARKSPUR_SOURCE_DIR/build-web}/test
[ -f "$page_dir/show.js" ] || skip "no test page in $page_dir (bash scripts/build-web.sh makes it)"
command -v chromium >/dev/null || skip "chromium is missing (scripts/install-deps.sh web)"
/usr/bin/python3 -c "import websocket" 2>/dev/null || skip "python3-websocket is missing"
page() { /usr/bin/python3 "$here/page.py" "$page_dir" "$@"; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
times=2500,9000,12600,16000,30000,50000

# compare_stills PAGE_DIR LINUX_DIR: every still's PSNR at least 30 dB.
compare_stills() {
    local t psnr worst=""
    for t in ${times//,/ }; do
        name=$(printf 'still-%05d.png' "$t")
        psnr=$(compare -metric PSNR "$1/$name" "$2/$name" null: 2>&1 || true)
        echo "$t ms: $psnr dB"
        case "$psnr" in
        inf) ;;
        [0-9]*) awk -v p="$psnr" 'BEGIN { exit !(p >= 30) }' || worst="$worst $t ms ($psnr dB)" ;;
        *) fail "the stills at $t ms cannot be compared: $psnr" ;;
        esac
    done
    [ -z "$worst" ] || fail "frames below 30 dB:$worst"
}

case "$check" in
frames | missing-picture)
    CAPTURE="$LARKSPUR_BUILD_DIR/larkspur-capture"
    [ -x "$CAPTURE" ] || skip "larkspur-capture is not built"
    mkdir -p "$WORK/show/data"
    for file in $(grep -v '^#' "$LARKSPUR_SOURCE_DIR/app/MediaFiles.txt"); do
        cp "$LARKSPUR_BUILD_DIR/data/$file" "$WORK/show/data/"
    done
    page frames "$WORK/page" "$times" || fail "the page's stills"
    if [ "$check" = frames ]; then
        "$CAPTURE" --show-dir "$WORK/show" --quiet --stills "$times" -o "$WORK/linux" \
            2>/dev/null || fail "the Linux recorder's stills"
        compare_stills "$WORK/page" "$WORK/linux"
    else
        page frames "$WORK/missing" "$times" d0.jpg:missing || fail "the stills without d0.jpg"
        changed=0
        for t in ${times//,/ }; do
            name=$(printf 'still-%05d.png' "$t")
            psnr=$(compare -metric PSNR "$WORK/page/$name" "$WORK/missing/$name" null: 2>&1 || true)
            echo "$t ms without d0.jpg: $psnr dB from the full show"
            [ "$psnr" = inf ] || changed=$((changed + 1))
        done
        [ "$changed" -gt 0 ] || fail "without d0.jpg every still is as with it"
    fi
    ;;
sound)
    MATCH="$LARKSPUR_BUILD_DIR/larkspur-sound-match"
    [ -x "$MATCH" ] || skip "larkspur-sound-match is not built"
    page sound "$WORK/handed.wav" 10 || fail "the page's sound"
    "$MATCH" "$LARKSPUR_BUILD_DIR/data/theme.xm" "$WORK/handed.wav" 10 ||
        fail "what the page played is not the song"
    ;;
escape | end)
    page "$check" || fail "the page's $check"
    ;;
bad-song)
    for how in missing damaged; do
        out=$(page bad-song "$how" 2>&1) || fail "the page with a $how song: $out"
        echo "$out"
        case $how in
        missing) want="Error! Loading Song: File not found" ;;
        damaged) want="Error! Loading Song: Unknown file format" ;;
        esac
        grep -qF "$want" <<<"$out" || fail "with a $how song the page does not say \"$want\""
    done
    ;;
*)
    fail "no check named $check"
    ;;
esac
echo "PASS"
