#!/usr/bin/env bash
# Prints deb822 stanzas with `Types: deb-src` that mirror this machine's enabled binary
# entries for the Debian archive and the Debian security archive (same URIs, Suites,
# Components and Signed-By), so `apt-get source` fetches the very versions installed.
# Prints nothing when some enabled deb-src entry exists already, or when there is no
# Debian entry to mirror. Reads both the one-line and the deb822 format, the way apt
# does: sources.list, sources.list.d/*.list and sources.list.d/*.sources.
#
# Usage: deb-src-entries.sh [APT_ETC_DIR]   (default /etc/apt)
set -euo pipefail

etc=${1:-/etc/apt}
files=()
[ -f "$etc/sources.list" ] && files+=("$etc/sources.list")
for f in "$etc"/sources.list.d/*.list "$etc"/sources.list.d/*.sources; do
    [ -f "$f" ] && files+=("$f")
done
[ "${#files[@]}" -gt 0 ] || exit 0

awk '
# A Debian archive is recognised by a path component named debian or debian-security
# (deb.debian.org/debian, a mirror, snapshot.debian.org/archive/debian/DATE); third-party
# repositories never get a source entry.
function is_debian(uri,    path) {
    path = uri
    if (!sub(/^[a-z+]+:\/\/[^\/]*/, "", path))
        return 0
    return path ~ /(^|\/)debian(-security)?(\/|$)/
}
function has_word(list, word,    n, i, parts) {
    n = split(list, parts, /[ \t]+/)
    for (i = 1; i <= n; i++)
        if (parts[i] == word)
            return 1
    return 0
}
function add(uris, suites, components, signed,    n, i, parts, any, key) {
    n = split(uris, parts, /[ \t]+/)
    any = 0
    for (i = 1; i <= n; i++)
        if (parts[i] != "" && is_debian(parts[i]))
            any = 1
    if (!any)
        return
    # Only the Debian URIs of a stanza are mirrored.
    kept = ""
    for (i = 1; i <= n; i++)
        if (parts[i] != "" && is_debian(parts[i]))
            kept = kept (kept == "" ? "" : " ") parts[i]
    key = kept "|" suites "|" components "|" signed
    if (key in seen)
        return
    seen[key] = 1
    out[++count] = "Types: deb-src\nURIs: " kept "\nSuites: " suites \
        (components == "" ? "" : "\nComponents: " components) \
        (signed == "" ? "" : "\nSigned-By: " signed)
}
function trim(s) { sub(/^[ \t]+/, "", s); sub(/[ \t]+$/, "", s); return s }
function end_stanza(    types) {
    if (in_stanza) {
        types = field["types"]
        if (tolower(trim(field["enabled"])) != "no") {
            if (has_word(types, "deb-src"))
                existing = 1
            if (has_word(types, "deb"))
                add(trim(field["uris"]), trim(field["suites"]), trim(field["components"]),
                    field["signed-by"])
        }
    }
    delete field
    in_stanza = 0
    last = ""
}
FNR == 1 {
    end_stanza()
    deb822 = FILENAME ~ /\.sources$/
}
deb822 {
    if ($0 ~ /^[ \t]*#/)
        next
    if ($0 ~ /^[ \t]*$/) {
        end_stanza()
        next
    }
    if ($0 ~ /^[ \t]/ && last != "") {
        # A continuation line (an inline key in Signed-By keeps its lines as they are).
        field[last] = field[last] "\n" $0
        next
    }
    if (match($0, /^[A-Za-z-]+:/)) {
        last = tolower(substr($0, 1, RLENGTH - 1))
        field[last] = trim(substr($0, RLENGTH + 1))
        in_stanza = 1
    }
    next
}
{
    line = $0
    sub(/#.*/, "", line)
    line = trim(line)
    if (line == "")
        next
    type = line
    sub(/[ \t].*/, "", type)
    rest = trim(substr(line, length(type) + 1))
    signed = ""
    if (substr(rest, 1, 1) == "[") {
        close_at = index(rest, "]")
        if (close_at == 0)
            next
        options = substr(rest, 2, close_at - 2)
        rest = trim(substr(rest, close_at + 1))
        n = split(options, opt, /[ \t]+/)
        for (i = 1; i <= n; i++)
            if (tolower(opt[i]) ~ /^signed-by=/)
                signed = substr(opt[i], 11)
    }
    n = split(rest, word, /[ \t]+/)
    if (n < 2)
        next
    if (type == "deb-src") {
        existing = 1
        next
    }
    if (type != "deb")
        next
    components = ""
    for (i = 3; i <= n; i++)
        components = components (components == "" ? "" : " ") word[i]
    add(word[1], word[2], components, signed)
}
END {
    end_stanza()
    if (existing)
        exit 0
    for (i = 1; i <= count; i++)
        printf "%s%s\n", (i > 1 ? "\n" : ""), out[i]
}
' "${files[@]}"
