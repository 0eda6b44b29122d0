#!/usr/bin/env bash
# The installed commands as a user meets them, installed into a fresh prefix: `larkspur`
# and `larkspur-capture` answer --help, -h and --version with status 0, the show without
# a display and without starting; both launchers work with any PATH and through a
# symbolic link; each help text names the data the installed program reads; each manual
# page lists exactly the options its --help lists, and the version both give.
set -euo pipefail
build="${LARKSPUR_BUILD_DIR:?}"
source_dir="${LARKSPUR_SOURCE_DIR:?}"
fail() {
    echo "FAIL: $*"
    exit 1
}
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
version="$(sed -n 's/^project(Larkspur VERSION \([0-9.]*\) .*/\1/p' "$source_dir/CMakeLists.txt")"
data="$(cd "$prefix/share/larkspur/data" && pwd -P)"
mkdir "$prefix/elsewhere"

# Runs an installed command with nothing of the caller's: no display, no sound, a PATH
# that finds nothing, from an unrelated folder. Only a sanitized build's options stay.
sanitizers=()
for name in ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS; do
    [ -z "${!name:-}" ] || sanitizers+=("$name=${!name}")
done
bare() { (cd "$prefix/elsewhere" && env -i HOME="$prefix/elsewhere" PATH=/nonexistent "${sanitizers[@]}" "$@"); }

# The options a --help text lists: the first column of its lines that start with "  -".
help_options() {
    sed -n 's/^  \(-[^ ].*\)$/\1/p' | sed 's/  .*//' | grep -oE '(^| )--?[a-z][a-z-]*' | tr -d ' ' | sort -u
}
# The options a manual page lists: the line after each .TP of its OPTIONS section.
manual_options() {
    awk '/^\.SH/ { in_options = ($2 == "OPTIONS") } in_options && after_tp { print } { after_tp = ($0 == ".TP") }' "$1" |
        sed 's/\\-/-/g' | grep -oE '(^|[ "])--?[a-z][a-z-]*' | tr -d ' "' | sort -u
}
manual_version() { sed -n 's/^\.TH .* "Larkspur \([0-9.]*\)" .*/\1/p' "$1"; }

for command in larkspur larkspur-capture; do
    launcher="$prefix/bin/$command"
    ln -s "$launcher" "$prefix/elsewhere/$command"
    for way in "$launcher" "$prefix/elsewhere/$command"; do
        help="$(bare "$way" --help 2>&1)" || fail "$way --help with PATH=/nonexistent failed: $help"
        short="$(bare "$way" -h 2>&1)" || fail "$way -h failed: $short"
        [ "$short" = "$help" ] || fail "$way: -h and --help differ"
        said="$(bare "$way" --version 2>&1)" || fail "$way --version failed: $said"
        [ "$said" = "$command $version" ] || fail "$way --version says \"$said\", want \"$command $version\""
    done
    grep -q "^Usage: $command " <<<"$help" || fail "$command --help has no usage line: $help"

    case "$command" in
    larkspur) page="$source_dir/packaging/larkspur.6" ;;
    *) page="$source_dir/packaging/$command.1" ;;
    esac
    listed="$(help_options <<<"$help")"
    for needed in --help -h --version; do
        grep -qx -- "$needed" <<<"$listed" || fail "$command --help does not list $needed"
    done
    if ! differ="$(diff <(manual_options "$page") <(cat <<<"$listed"))"; then
        fail "$(basename "$page") and $command --help list different options (< page, > help):
$differ"
    fi
    [ "$(manual_version "$page")" = "$version" ] ||
        fail "$(basename "$page") is of version \"$(manual_version "$page")\", want $version"
done

# Where each installed program reads the show from.
help="$(bare "$prefix/elsewhere/larkspur" --help)"
grep -qF "$data" <<<"$help" || fail "larkspur --help does not name $data: $help"
help="$(bare "$prefix/bin/larkspur-capture" --help)"
grep -q "/usr/share/larkspur/data" <<<"$help" ||
    fail "larkspur-capture --help does not say where the installed recorder reads the show: $help"
for option in -o -h; do
    grep -qE "^  --[a-z-]+[^,]*, $option( |$)" <<<"$help" || fail "larkspur-capture --help lists no alias $option"
done

# The recorder itself, with any PATH, records from the installed data (one still).
bare "$prefix/elsewhere/larkspur-capture" --stills 0 --fps 1 --scale 8 --output shots --quiet \
    >"$prefix/recorder.log" 2>&1 ||
    fail "larkspur-capture through a link with PATH=/nonexistent could not record a still: $(tail -5 "$prefix/recorder.log")"
[ -f "$prefix/elsewhere/shots/still-00000.png" ] || fail "the still was not written"

# A shell ties the window to the menu entry through its class, which SDL takes from the
# program's file name.
entry="$(ls "$prefix"/share/applications/*.desktop)"
class="$(sed -n 's/^StartupWMClass=//p' "$entry")"
[ -x "$prefix/libexec/larkspur/$class" ] ||
    fail "the menu entry's StartupWMClass \"$class\" is not the program's name"
echo PASS
