#!/usr/bin/env bash
# The format check, run on a scratch repository with the project's .clang-format: a tidy
# tree passes; a misformatted tracked file, a new untracked one and one with a space in
# its name are all listed and fail the check; ignored build folders are not looked at;
# --fix mends what was listed.
set -euo pipefail
source_dir="${LARKSPUR_SOURCE_DIR:?}"
fail() {
    echo "FAIL: $*"
    exit 1
}
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
git init -q .
mkdir scripts src build-x
cp "$source_dir/.clang-format" "$source_dir/.gitignore" .
cp "$source_dir/scripts/check-format.sh" scripts/
messy='int  Messy( ){return 2;}\n'
printf 'int Tidy() {\n    return 1;\n}\n' >src/tidy.cpp
printf "$messy" >build-x/ignored.cpp
git add -A

out="$(bash scripts/check-format.sh 2>&1)" || fail "a tidy tree fails the check: $out"

printf 'int Tidy() { return 1; }\n' >src/tidy.cpp
printf "$messy" >src/new.h
printf "$messy" >"src/with space.cpp"
status=0
out="$(bash scripts/check-format.sh 2>&1)" || status=$?
[ "$status" = 1 ] || fail "status $status with misformatted files: $out"
for file in src/tidy.cpp src/new.h "src/with space.cpp"; do
    grep -qxF "  $file" <<<"$out" || fail "$file is not listed: $out"
done
! grep -q ignored <<<"$out" || fail "an ignored build folder was checked: $out"

bash scripts/check-format.sh --fix >/dev/null
out="$(bash scripts/check-format.sh 2>&1)" || fail "--fix left files misformatted: $out"
echo "PASS"
