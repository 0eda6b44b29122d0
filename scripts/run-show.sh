#!/usr/bin/env bash
# Sets up a fresh machine, builds the show with its default media and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
cd build
exec ./larkspur
