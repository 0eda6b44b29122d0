#!/usr/bin/env bash
# The Debian package: built in one command, named after the project's version, holding
# exactly the runtime files under /usr, with the fonts and computed libraries as
# dependencies; lintian reports nothing, not even a pedantic or informational tag;
# installed with dpkg it runs from anywhere through `larkspur` on the PATH, records from
# anywhere, and `dpkg -r` leaves no file of it.
# Installs into the system: it needs root and refuses to touch an installed copy.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/install/show_check.sh"
build="${LARKSPUR_BUILD_DIR:?}"
source_dir="${LARKSPUR_SOURCE_DIR:?}"

require_x
[ "$(id -u)" = 0 ] || skip "dpkg -i needs root"
for tool in dpkg-deb lintian; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
done
if dpkg-query -W -f='${Status}' larkspur 2>/dev/null | grep -q "ok installed"; then
    skip "a larkspur package is installed already; this test would remove it"
fi

echo "building the package (Release, a build folder of its own)"
package_dir="$build/package-build"
package="$(bash "$source_dir/scripts/build-package.sh" "$package_dir" 2>"$build/package-build.log" | tail -n 1)" ||
    fail "scripts/build-package.sh failed: $(tail -n 30 "$build/package-build.log")"
version="$(sed -n 's/^project(Larkspur VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")"
[ -n "$version" ] || fail "no version in the top-level CMakeLists.txt"
[ "$(basename "$package")" = "larkspur_${version}_amd64.deb" ] || fail "package is named $package"
[ -f "$package" ] || fail "no package at $package"

field() { dpkg-deb -f "$package" "$1"; }
[ "$(field Version)" = "$version" ] || fail "package version $(field Version), want $version"
depends="$(field Depends)"
for needed in fonts-liberation2 fonts-symbola libsdl2-2.0-0 libopenmpt0 libpng16-16 libjpeg62-turbo; do
    grep -q "\b$needed\b" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
[ "$(field Recommends)" = ffmpeg ] || fail "Recommends is \"$(field Recommends)\", want ffmpeg"
check_file_list "$(dpkg-deb -c "$package" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./usr/||')" \
    "$(expected_files "$(app_id_of "$package_dir")")"

# Not a tag, down to the pedantic, informational and experimental ones (its warning that
# it runs as root goes to standard error).
tags="$(lintian --pedantic --display-info --display-experimental "$package" 2>/dev/null)" ||
    fail "lintian failed: $tags"
[ -z "$tags" ] || fail "lintian reports:
$tags"

# Whatever state a failure leaves it in; no copy of the user's was there before.
remove() { dpkg -r larkspur >/dev/null 2>&1 || true; }
trap remove EXIT
dpkg -i "$package" >/dev/null || fail "dpkg -i failed"
[ "$(command -v larkspur)" = /usr/bin/larkspur ] || fail "larkspur is not on the PATH"

check_show_from_anywhere larkspur
check_capture_from_anywhere larkspur-capture

files="$(dpkg -L larkspur)"
dpkg -r larkspur >/dev/null || fail "dpkg -r failed"
left=""
while read -r path; do
    # dpkg lists the root as "/."; everything of ours is under /usr.
    case "$path" in /usr/*) ;; *) continue ;; esac
    [ -e "$path" ] || continue
    # A folder that stays must belong to another package (the icon theme's, /usr/share).
    if [ -d "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1; then
        continue
    fi
    left+="$path"$'\n'
done <<<"$files"
[ -z "$left" ] || fail "left behind by dpkg -r:
$left"
status="$(dpkg-query -W -f='${Status}' larkspur 2>/dev/null || true)"
case "$status" in *config-files* | *" installed"*) fail "after dpkg -r the package is \"$status\"" ;; esac
echo PASS
