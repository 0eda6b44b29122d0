#!/usr/bin/env bash
# The show installed into a fresh prefix: exactly the runtime files, the launcher started
# from an unrelated folder shows the title picture and ends with Escape, and the recorder
# started from there records the installed show into that folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/install/show_check.sh"
build="${LARKSPUR_BUILD_DIR:?}"

require_x
[ -f "$build/data/theme.xm" ] || skip "no data/theme.xm in the build"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
check_file_list "$(cd "$prefix" && find . ! -type d | sed 's|^\./||')" \
    "$(expected_files "$(app_id_of "$build")")"
for program in bin/larkspur bin/larkspur-capture libexec/larkspur/larkspur libexec/larkspur/larkspur-capture; do
    [ -x "$prefix/$program" ] || fail "$program is not executable"
done

# The version the recorder reports is the project's, through the launcher too (once the
# recorder knows --version at all).
if real="$("$prefix/libexec/larkspur/larkspur-capture" --version 2>/dev/null)"; then
    version="$(sed -n 's/^project(Larkspur VERSION \([0-9.]*\) .*/\1/p' "${LARKSPUR_SOURCE_DIR:?}/CMakeLists.txt")"
    [ "$real" = "larkspur-capture $version" ] || fail "the recorder says \"$real\", want version $version"
    wrapped="$(cd / && "$prefix/bin/larkspur-capture" --version)" || fail "--version through the launcher failed"
    [ "$wrapped" = "$real" ] || fail "--version through the launcher says \"$wrapped\""
fi

check_show_from_anywhere "$prefix/bin/larkspur"
check_capture_from_anywhere "$prefix/bin/larkspur-capture"

# Reached through a symbolic link elsewhere, as a user's ~/bin might hold it.
mkdir "$prefix/elsewhere"
ln -s "$prefix/bin/larkspur-capture" "$prefix/elsewhere/larkspur-capture"
check_capture_from_anywhere "$prefix/elsewhere/larkspur-capture"
echo PASS
