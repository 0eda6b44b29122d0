#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs every Linux test headless, as many
# at a time as there are cores. Arguments go to ctest:
#   bash scripts/run-tests.sh              # every Linux test
#   bash scripts/run-tests.sh -L unit      # the quick ones, no OpenGL (also: -L gl, -L e2e, -LE slow)
# The Windows show's tests are their own command: scripts/run-windows-tests.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh test
bash scripts/build.sh
cd build
ctest --output-on-failure --timeout 900 -j "$(nproc)" "$@"
