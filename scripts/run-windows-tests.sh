#!/usr/bin/env bash
# Sets up a fresh machine for the Windows show and tests it: cross-builds the zip with its
# libraries from Debian's source packages (scripts/build-windows.sh; the libraries are
# built once, into build-windows/deps/), checks those libraries under Wine, and runs the
# show's tests under Wine beside the Linux build (scripts/windows-tests.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh test windows
bash scripts/build-windows.sh
# The Linux show and the sound check the Windows tests compare against; the Linux tests
# themselves are run-tests.sh's.
bash scripts/build.sh larkspur larkspur-measured larkspur-png song pictures larkspur-sound-match
# The library check is one test; the show's tests run whatever it found.
status=0
if bash tests/windows/libs/run.sh build-windows/deps build; then
    echo "windows libraries check: 1 passed, 0 failed, 0 skipped"
else
    echo "windows libraries check: 0 passed, 1 failed, 0 skipped"
    status=1
fi
bash scripts/windows-tests.sh build-windows/larkspur-win64.zip build || status=1
exit "$status"
