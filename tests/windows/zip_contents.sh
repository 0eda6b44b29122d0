#!/usr/bin/env bash
# The unpacked zip holds a 64-bit Windows program, the show's media in data/, a PNG
# library that has every entry point the show binds at run time, and every DLL the
# program or that library imports that a Windows installation does not bring itself.
set -euo pipefail
TEST=zip_contents
source "$(dirname "$0")/common.sh"
OBJDUMP=x86_64-w64-mingw32-objdump

exe="$SHOW_DIR/larkspur.exe"
[ -f "$exe" ] || fail "no larkspur.exe at the top of the zip"
$OBJDUMP -f "$exe" 2>/dev/null | grep -q "file format pei-x86-64" ||
    fail "larkspur.exe is not a 64-bit Windows program"
for f in $(grep -v '^#' "$WIN_HERE/../../app/MediaFiles.txt"); do
    [ -s "$SHOW_DIR/data/$f" ] || fail "data/$f is missing or empty"
done

png="$SHOW_DIR/libpng.dll"
[ -f "$png" ] || fail "no libpng.dll beside larkspur.exe"
exports="$($OBJDUMP -p "$png" 2>/dev/null | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p')"
required="$(sed -n 's/.*X([A-Za-z0-9]*, "\([a-zA-Z0-9_]*\)", true).*/\1/p' "$WIN_HERE/../../libPNG/PngLibrary.h")"
[ -n "$required" ] || fail "no required PNG entry points found in libPNG/PngLibrary.h"
for name in $required; do
    grep -q "\] $name\$" <<<"$exports" || fail "libpng.dll does not export $name"
done

# Windows brings these; anything else imported must travel in the zip.
system="$(grep -v '^#' "$WIN_HERE/../../scripts/windows/system-dlls.txt")"
beside="$(find "$SHOW_DIR" -maxdepth 1 -type f -printf '%f\n' | tr '[:upper:]' '[:lower:]')"
for binary in "$exe" "$png"; do
    for dll in $($OBJDUMP -p "$binary" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]'); do
        case "$dll" in api-ms-win-*) continue ;; esac
        grep -qx "$dll" <<<"$system" && continue
        grep -qx "$dll" <<<"$beside" ||
            fail "$(basename "$binary") needs $dll, which is not in the zip"
    done
done
passed
