#!/usr/bin/env bash
# Checks scripts/windows/deb-src-entries.sh on made-up apt folders: which entries it
# mirrors, what it copies from them, and when it must stay silent.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
script="$here/../../../scripts/windows/deb-src-entries.sh"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0

# check NAME EXPECTED: runs the script on $tmp/NAME and compares its output.
check() {
    local name=$1 expected=$2 got
    got=$("$script" "$tmp/$name")
    if [ "$got" != "$expected" ]; then
        echo "FAIL $name"
        diff -u <(printf '%s\n' "$expected") <(printf '%s\n' "$got") || true
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
}

apt_dir() {
    mkdir -p "$tmp/$1/sources.list.d"
}

# deb822: the archive, its updates and the security archive are mirrored with their
# fields; another vendor's repository, a disabled stanza and a file apt ignores are not.
apt_dir deb822
cat >"$tmp/deb822/sources.list.d/debian.sources" <<'EOF'
# the Debian archive
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Enabled: no

types: deb
uris: http://deb.debian.org/debian-security
suites: bookworm-security
components: main
EOF
cat >"$tmp/deb822/sources.list.d/vendor.sources" <<'EOF'
Types: deb
URIs: https://deb.example.com/debianish
Suites: nodistro
Components: main
EOF
cat >"$tmp/deb822/sources.list.d/old.sources.disabled" <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
EOF
check deb822 "Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main contrib
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main"

# One-line entries: options, comments, a country mirror and a snapshot; duplicates once.
apt_dir oneline
cat >"$tmp/oneline/sources.list" <<'EOF'
# deb-src http://deb.debian.org/debian bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://ftp.de.debian.org/debian bookworm main non-free-firmware  # local mirror
deb http://ftp.de.debian.org/debian bookworm main non-free-firmware
deb http://snapshot.debian.org/archive/debian-security/20250520T000000Z bookworm-security main
deb https://packages.example.org/apt cloud-sdk main
EOF
check oneline "Types: deb-src
URIs: http://ftp.de.debian.org/debian
Suites: bookworm
Components: main non-free-firmware
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://ftp.de.debian.org/debian
Suites: bookworm
Components: main non-free-firmware

Types: deb-src
URIs: http://snapshot.debian.org/archive/debian-security/20250520T000000Z
Suites: bookworm-security
Components: main"

# Any enabled deb-src entry, in either format, means there is nothing to add.
apt_dir has-oneline
echo "deb http://deb.debian.org/debian bookworm main" >"$tmp/has-oneline/sources.list"
echo "deb-src http://deb.debian.org/debian bookworm main" >"$tmp/has-oneline/sources.list.d/src.list"
check has-oneline ""
apt_dir has-deb822
printf 'Types: deb deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\n' \
    >"$tmp/has-deb822/sources.list.d/debian.sources"
check has-deb822 ""
# ...but a disabled one does not count.
apt_dir disabled-src
printf 'Types: deb deb-src\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\nEnabled: no\n\nTypes: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm\nComponents: main\n' \
    >"$tmp/disabled-src/sources.list.d/debian.sources"
check disabled-src "Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main"

# No Debian entry at all: nothing to mirror, and no empty file either.
apt_dir foreign
echo "deb https://packages.example.org/apt stable main" >"$tmp/foreign/sources.list"
check foreign ""
check missing-folder ""

if [ "$failures" -ne 0 ]; then
    echo "$failures case(s) failed"
    exit 1
fi
