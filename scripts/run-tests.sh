#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs every test headless, two at a time.
# Arguments go to ctest, e.g. a subset by label:
#   bash scripts/run-tests.sh              # every test
#   bash scripts/run-tests.sh -L unit      # the quick ones, no OpenGL (also: -L gl, -L e2e, -LE slow)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
cd build
ctest --output-on-failure --timeout 900 -j2 "$@"
