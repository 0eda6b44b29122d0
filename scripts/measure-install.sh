#!/usr/bin/env bash
# Usage: scripts/measure-install.sh [--installed LIST] PROFILE...
# Says what `scripts/install-deps.sh PROFILE...` would install, without installing
# anything: how many packages, how much apt downloads and how much disk they take, and
# which of them, if any, are a cross compiler, Wine, clang, lintian, an X server or a
# sound server. It asks apt on this machine as it is, or with --installed, as if the
# machine held exactly the packages LIST names (one a line: "NAME" or "NAME VERSION"; or
# a list with lines "apt<TAB>NAME<TAB>VERSION", whose other lines are skipped), for
# example a fresh machine's.
# Needs apt's package lists (apt-get update) and root for apt's simulation.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
installed=""
if [ "${1:-}" = "--installed" ]; then
    installed="$(realpath "${2:?--installed needs a file}")"
    shift 2
fi
[ $# -gt 0 ] || { sed -n '2,10s/^# \{0,1\}//p' "$0" >&2; exit 2; }
packages=($(bash "$here/install-deps.sh" --list "$@"))

apt_options=(-o Debug::NoLocking=1)
if [ -n "$installed" ]; then
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
    # A dpkg status file that holds the listed packages as installed: at the version
    # listed where apt still knows it, else at the one it would install now.
    if grep -q $'^apt\t' "$installed"; then
        awk -F'\t' '$1 == "apt" { print $2 ($3 == "" ? "" : "=" $3) }' "$installed"
    else
        awk '/^[a-z0-9][a-z0-9+.:-]*( |$)/ { print $1 ($2 == "" ? "" : "=" $2) }' "$installed"
    fi | sort -u >"$work/wanted"
    records() { awk '/^Package:/ { print; print "Status: install ok installed"; next } { print }'; }
    xargs -a "$work/wanted" apt-cache show 2>/dev/null | records >"$work/status"
    sed -n 's/^Package: //p' "$work/status" | sort -u >"$work/found"
    sed 's/[:=].*//' "$work/wanted" | sort -u | comm -23 - "$work/found" >"$work/unversioned"
    if [ -s "$work/unversioned" ]; then
        xargs -a "$work/unversioned" apt-cache show --no-all-versions 2>/dev/null | records >>"$work/status"
    fi
    echo "as if installed: $(grep -c '^Package:' "$work/status") packages that $installed names"
    apt_options+=(-o Dir::State::status="$work/status" -o Dir::State::extended_states="$work/extended"
        -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
fi

plan="$(apt-get install --assume-no --no-install-recommends "${apt_options[@]}" "${packages[@]}" 2>&1 || true)"
simulated="$(apt-get install --simulate --no-install-recommends "${apt_options[@]}" "${packages[@]}" 2>&1)" ||
    { tail -20 <<<"$simulated" >&2; exit 1; }
new="$(awk '/^Inst / && $3 !~ /^\[/ { print $2 }' <<<"$simulated")"
upgraded="$(awk '/^Inst / && $3 ~ /^\[/ { print $2 }' <<<"$simulated")"
echo "profiles $*: $(grep -c . <<<"$new" || true) packages newly installed," \
    "$(grep -c . <<<"$upgraded" || true) upgraded"
grep -E '^(Need to get|After this operation)' <<<"$plan" || true
unwanted="$(grep -E '^(wine.*|.*mingw.*|clang.*|libclang.*|lintian|xserver-xorg-core|xvfb|xwayland|weston|pulseaudio|pipewire|pipewire-bin|wireplumber|jackd.*)$' \
    <<<"$new"$'\n'"$upgraded" || true)"
echo "of them a cross compiler, Wine, clang, lintian, an X server or a sound server: ${unwanted:-none}" | tr '\n' ' '
echo
