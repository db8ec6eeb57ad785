#!/usr/bin/env bash
# Installs what is needed, builds the program and runs it against the demo library service
# (scripts/start.sh). Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh
cmake --preset release >/dev/null
cmake --build --preset release
exec scripts/start.sh build/release "$@"
