#!/usr/bin/env bash
# The set-up script's profiles, with apt and dpkg replaced by stand-ins that log their
# calls: `run` holds what the build needs and no cross compiler, Wine, clang, lintian,
# X server or sound server; `test` holds `run` and the test tools; --list installs
# nothing; only `windows` writes apt's configuration, says what it wrote, and does it
# once; a profile whose packages are all installed asks apt for nothing.
set -euo pipefail
source_dir="${LARKSPUR_SOURCE_DIR:?}"
script="$source_dir/scripts/install-deps.sh"
fail() {
    echo "FAIL: $*"
    exit 1
}
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# Stand-ins: dpkg-query finds installed only what $work/installed lists; apt-get logs.
mkdir "$work/bin"
cat >"$work/bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
grep -qxF -- "${@: -1}" "$STUB_DIR/installed" && printf 'install ok installed'
EOF
cat >"$work/bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "$*" >>"$STUB_DIR/apt.log"
EOF
cat >"$work/bin/id" <<'EOF'
#!/usr/bin/env bash
echo 0
EOF
chmod +x "$work/bin/"*
export STUB_DIR="$work" PATH="$work/bin:$PATH" LARKSPUR_APT_ETC="$work/etc"
mkdir -p "$work/etc/sources.list.d"
echo "deb http://deb.debian.org/debian bookworm main" >"$work/etc/sources.list"
: >"$work/installed"
snapshot() { (cd "$work/etc" && find . -type f -exec md5sum {} + | sort); }
before="$(snapshot)"

run_list="$(bash "$script" --list run)" || fail "--list run failed"
test_list="$(bash "$script" --list test)" || fail "--list test failed"
[ ! -e "$work/apt.log" ] || fail "--list called apt-get: $(cat "$work/apt.log")"
for needed in build-essential cmake ninja-build libsdl2-dev libopenmpt-dev fonts-symbola; do
    grep -qx "$needed" <<<"$run_list" || fail "run lacks $needed"
done
forbidden='^(wine.*|.*mingw.*|clang.*|libclang.*|lintian|xserver-.*|xvfb|pulseaudio.*|pipewire.*|wireplumber|ffmpeg|zenity)$'
if grep -E "$forbidden" <<<"$run_list"; then
    fail "run names packages only the tests or the Windows build need"
fi
missing_from_test="$(comm -23 <(sort <<<"$run_list") <(sort <<<"$test_list"))"
[ -z "$missing_from_test" ] || fail "test lacks run's $missing_from_test"
for needed in zenity xvfb xserver-xorg-video-dummy pulseaudio lintian clang libgtest-dev ffmpeg; do
    grep -qx "$needed" <<<"$test_list" || fail "test lacks $needed"
done
if grep -E '^(wine.*|.*mingw.*)$' <<<"$test_list"; then
    fail "test names the Windows build's packages"
fi
[ "$(sort <<<"$test_list" | uniq -d)" = "" ] || fail "test names a package twice"

status=0
bash "$script" --list run frobnicate >/dev/null 2>"$work/err" || status=$?
[ "$status" = 2 ] || fail "an unknown profile gives status $status"
grep -q frobnicate "$work/err" || fail "an unknown profile is not named: $(cat "$work/err")"
status=0
bash "$script" >/dev/null 2>&1 || status=$?
[ "$status" = 2 ] || fail "no profile gives status $status"

# Nothing installed: run asks apt for exactly its list, and apt's configuration stays.
out="$(bash "$script" run)" || fail "install-deps.sh run failed: $out"
install_line="$(grep '^install ' "$work/apt.log")" || fail "apt-get install was not called"
asked="$(tr ' ' '\n' <<<"${install_line#install -y --no-install-recommends }" | sort)"
[ "$asked" = "$(sort <<<"$run_list")" ] || fail "run installed: $install_line"
[ "$(snapshot)" = "$before" ] || fail "run changed apt's configuration"

# windows adds the source entry, says where, and the second time finds it there.
out="$(bash "$script" windows)" || fail "install-deps.sh windows failed: $out"
entry="$work/etc/sources.list.d/larkspur-deb-src.sources"
[ -f "$entry" ] || fail "windows wrote no source entry"
grep -q "^Types: deb-src" "$entry" || fail "the entry is not a deb-src one: $(cat "$entry")"
grep -qF "wrote $entry" <<<"$out" || fail "windows did not say what it wrote: $out"
written="$(snapshot)"
out="$(bash "$script" windows)" || fail "a second install-deps.sh windows failed"
[ "$(snapshot)" = "$written" ] || fail "a second run rewrote apt's configuration"
! grep -q "wrote" <<<"$out" || fail "a second run says it wrote: $out"

# Everything installed: apt is not even updated.
printf '%s\n' "$test_list" >"$work/installed"
rm -f "$work/apt.log"
bash "$script" test run >/dev/null || fail "install-deps.sh test run failed"
[ ! -e "$work/apt.log" ] || fail "apt-get called with nothing missing: $(cat "$work/apt.log")"
echo PASS
