#!/usr/bin/env bash
# Sets up a fresh machine, builds the show with its default media and records it to a
# video file without a screen or a sound card. Options go to larkspur-capture (see
# --help); relative paths are taken from the folder this is run in.
#   bash scripts/record-show.sh                      # -> build/larkspur.mp4
#   bash scripts/record-show.sh --output show.mp4 --fps 30
#   bash scripts/record-show.sh --stills 3000,9000,20000 --output stills
set -euo pipefail
caller="$PWD"
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
bash scripts/install-deps.sh run record
bash scripts/build.sh --no-tests larkspur-capture larkspur-png song pictures
cd "$caller"
has_output=0
for arg in "$@"; do
    case "$arg" in --output | --output=* | -o) has_output=1 ;; esac
done
if [ "$has_output" -eq 0 ]; then
    set -- --output "$root/build/larkspur.mp4" "$@"
fi
exec "$root/build/larkspur-capture" --show-dir "$root/build" "$@"
