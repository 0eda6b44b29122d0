#!/usr/bin/env bash
# Checks every C and C++ file of the tree (tracked or new, not ignored) against the
# repository's .clang-format and lists the ones that differ. Exits 1 when any does.
# To mend them: this script with --fix (or clang-format -i on the files listed).
set -euo pipefail
cd "$(dirname "$0")/.."
fix=0
[ "${1:-}" = "--fix" ] && fix=1

patterns=('*.c' '*.cc' '*.cpp' '*.cxx' '*.h' '*.hh' '*.hpp')
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -d '' files < <(git ls-files -z --cached --others --exclude-standard -- "${patterns[@]}")
else
    # An unpacked source archive: everything but the build folders.
    names=()
    for p in "${patterns[@]}"; do names+=(-o -name "$p"); done
    mapfile -d '' files < <(find . -path './build*' -prune -o -type f \( -false "${names[@]}" \) -print0)
fi

# Two at a time; each differing file is printed on a line of its own.
mapfile -t differ < <(printf '%s\0' "${files[@]}" | xargs -0 -r -n 16 -P 2 bash -c '
    for file; do
        [ -f "$file" ] || continue # deleted but not yet committed
        clang-format --style=file "$file" | cmp -s - "$file" || printf "%s\n" "$file"
    done' check | sort)

if [ "${#differ[@]}" -eq 0 ]; then
    echo "format: all ${#files[@]} C and C++ files follow .clang-format"
    exit 0
fi
if [ "$fix" -eq 1 ]; then
    clang-format -i --style=file "${differ[@]}"
    printf 'format: reformatted %s\n' "${differ[@]}"
    exit 0
fi
echo "format: ${#differ[@]} of ${#files[@]} C and C++ files differ from .clang-format:"
printf '  %s\n' "${differ[@]}"
echo "mend them with: bash scripts/check-format.sh --fix"
exit 1
