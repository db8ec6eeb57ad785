#!/usr/bin/env bash
# Installs what is needed, builds the program and runs it against the demo library service
# (scripts/start.sh). Arguments go to the program; with --smoke first, the build is started
# offscreen, closed once its home page shows, and checked to end cleanly (scripts/start.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh
cmake --preset release >/dev/null
# Only what runs: the program, its page checker and the demo service; no tests or benchmarks.
cmake --build --preset release --target varnel varnel-pdf-check varnel-demo-service
if [ "${1:-}" = "--smoke" ]; then
  exec scripts/start.sh --smoke build/release
fi
exec scripts/start.sh build/release "$@"
