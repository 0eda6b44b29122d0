#!/usr/bin/env bash
# Checks scripts/windows/build-libs.sh's bookkeeping in seconds, with stand-ins for apt
# and for the four source trees (their configure and make only drop the library file):
# the choice of version, the .complete stamp, the rerun that does nothing, and a failed
# step that leaves no stamp behind. The real compilers are only looked up, never run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
script="$here/../../../scripts/windows/build-libs.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fake="$tmp/fake"
prefix="$tmp/out/deps"
mkdir -p "$fake/bin" "$fake/versions" "$fake/trees"
failures=0

expect() {
    local what=$1
    shift
    if "$@"; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        failures=$((failures + 1))
    fi
}

# apt-cache showsrc: the versions listed in $fake/versions/PKG.
cat >"$fake/bin/apt-cache" <<'EOF'
#!/bin/sh
pkg=$3
[ -f "$FAKE/versions/$pkg" ] || exit 0
while read -r v; do printf 'Package: %s\nVersion: %s\n\n' "$pkg" "$v"; done <"$FAKE/versions/$pkg"
EOF
# apt-get source: answers 404 for what $fake/missing names, fails like a dead network
# when $FAKE_OFFLINE is set, and otherwise leaves a .dsc.
cat >"$fake/bin/apt-get" <<'EOF'
#!/bin/sh
for last; do :; done
echo "$last" >>"$FAKE/apt-get.calls"
if [ -n "${FAKE_OFFLINE:-}" ]; then
    echo "E: Failed to fetch http://deb.example/$last  Temporary failure resolving 'deb.example'"
    exit 100
fi
if grep -qxF "$last" "$FAKE/missing" 2>/dev/null; then
    echo "E: Failed to fetch http://deb.example/$last  404  Not Found"
    exit 100
fi
pkg=${last%%=*}
v=${last#*=}
touch "${pkg}_${v#*:}.dsc"
EOF
# dpkg-source -x: the stand-in tree of the package.
cat >"$fake/bin/dpkg-source" <<'EOF'
#!/bin/sh
dsc=$3
pkg=$(basename "$dsc")
pkg=${pkg%%_*}
cp -a "$FAKE/trees/$pkg" "$4"
EOF
chmod +x "$fake/bin"/*

# An autotools-like tree whose install drops LIB into the prefix; its configure fails
# when $FAKE_FAIL names it.
autotools_tree() {
    local pkg=$1 lib=$2 dir="$fake/trees/$1"
    mkdir -p "$dir"
    cat >"$dir/configure" <<EOF
#!/bin/sh
[ "\${FAKE_FAIL:-}" != "$pkg" ] || { echo "configure: error: made to fail"; exit 1; }
for a; do case \$a in --prefix=*) echo "PREFIX=\${a#--prefix=}" >config.mk ;; esac; done
EOF
    chmod +x "$dir/configure"
    printf 'include config.mk\nall:\n\ttrue\n%s:\n\ttrue\ninstall:\n\tmkdir -p $(PREFIX)/lib\n\techo %s >$(PREFIX)/lib/%s\n' \
        "$lib" "$pkg" "$lib" >"$dir/Makefile"
}
autotools_tree zlib libz.a
autotools_tree libpng1.6 libpng16.a
autotools_tree libopenmpt libopenmpt.a
mkdir -p "$fake/trees/libjpeg-turbo"
echo jpeg >"$fake/trees/libjpeg-turbo/libjpeg.a"
cat >"$fake/trees/libjpeg-turbo/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.13)
project(fake NONE)
install(FILES libjpeg.a DESTINATION ${CMAKE_INSTALL_LIBDIR})
EOF

printf '1:1.0-1\n1:2.0-1\n' >"$fake/versions/zlib"
echo "1.6-1" >"$fake/versions/libpng1.6"
echo "1:2.1-2" >"$fake/versions/libjpeg-turbo"
echo "0.6-1" >"$fake/versions/libopenmpt"
# The newest zlib is listed but not served: the one before it is used.
echo "zlib=1:2.0-1" >"$fake/missing"

export FAKE="$fake" PATH="$fake/bin:$PATH"
run() { "$script" "$prefix" >"$tmp/stdout" 2>"$tmp/stderr"; }
calls() { wc -l <"$fake/apt-get.calls"; }

expect "a first build succeeds" run
expect "the newest served version is used, the unserved one named" \
    grep -q "zlib 1:2.0-1 is listed but its source is not served" "$tmp/stderr"
expect "the stamp names each version" \
    grep -qxF "zlib 1:1.0-1
libpng1.6 1.6-1
libjpeg-turbo 1:2.1-2
libopenmpt 0.6-1" <(head -n 4 "$prefix/.complete")
expect "the stamp holds the script's hash" \
    grep -qx "build-libs.sh $(sha256sum <"$script" | cut -d' ' -f1)" "$prefix/.complete"
expect "all four libraries are in the prefix" \
    test -f "$prefix/lib/libz.a" -a -f "$prefix/lib/libpng16.a" -a -f "$prefix/lib/libjpeg.a" \
    -a -f "$prefix/lib/libopenmpt.a"

before=$(calls)
touch "$prefix/lib/marker"
expect "a rerun with nothing new succeeds" run
expect "...and says the prefix is up to date" grep -q "is up to date" "$tmp/stdout"
expect "...without fetching, not even the unserved version again" test "$(calls)" -eq "$before"
expect "...and without rebuilding" test -f "$prefix/lib/marker"

# A newer version rebuilds from a fresh prefix; here its last step fails.
echo "0.6-2" >>"$fake/versions/libopenmpt"
expect "a failing step fails the script" bash -c "! FAKE_FAIL=libopenmpt '$script' '$prefix' >'$tmp/stdout' 2>'$tmp/stderr'"
expect "...naming the step in its last line" \
    grep -q "^build-libs: libopenmpt configure failed (full log: .*)$" <(tail -n 1 "$tmp/stderr")
expect "...and leaves no stamp behind" test ! -e "$prefix/.complete"
expect "...nor the old prefix's files" test ! -e "$prefix/lib/marker"
expect "the next run finishes the job with the new version" run
expect "...and stamps it" grep -qx "libopenmpt 0.6-2" "$prefix/.complete"

echo "1:1.1-1" >>"$fake/versions/zlib"
expect "a fetch that fails for another reason than 404 fails the script" \
    bash -c "! FAKE_OFFLINE=1 '$script' '$prefix' >'$tmp/stdout' 2>'$tmp/stderr'"
expect "...and names it" grep -q "^build-libs: apt-get source zlib=1:1.1-1 failed" "$tmp/stderr"
expect "...without taking the version for unserved" \
    bash -c "! grep -q 'zlib=1:1.1-1' '$prefix-src/unavailable'"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
