#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs every test headless, two at a time.
# Without arguments it then cross-builds the Windows show and runs its tests under Wine
# (scripts/build-windows.sh, scripts/windows-tests.sh). Arguments go to ctest instead,
# and only the Linux tests run:
#   bash scripts/run-tests.sh              # every test, Linux and Windows
#   bash scripts/run-tests.sh -L unit      # the quick ones, no OpenGL (also: -L gl, -L e2e, -LE slow)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
(cd build && ctest --output-on-failure --timeout 900 -j2 "$@")
if [ $# -eq 0 ]; then
    bash scripts/build-windows.sh
    bash tests/windows/libs/run.sh build-windows/deps build
    bash scripts/windows-tests.sh build-windows/larkspur-win64.zip build
fi
