#!/usr/bin/env bash
# Installs what is needed, builds the program and runs it against the demo library service
# (scripts/start.sh). Arguments go to the program; with --smoke first, the build is started
# offscreen, closed once its home page shows, and checked to end cleanly (scripts/start.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh
# Configured only when the build folder has no configuration yet, or the presets changed since
# it was configured here (the stamp); a change of the CMake files themselves makes the build
# configure again by itself.
stamp=build/release/.configured-by-run
if [ ! -f build/release/CMakeCache.txt ] || [ ! -f build/release/build.ninja ] ||
  [ ! -f "$stamp" ] || [ CMakePresets.json -nt "$stamp" ] ||
  { [ -f CMakeUserPresets.json ] && [ CMakeUserPresets.json -nt "$stamp" ]; }; then
  cmake --preset release >/dev/null
  touch "$stamp"
fi
# Only what runs: the program, its page checker and the demo service; no tests or benchmarks.
cmake --build --preset release --target varnel varnel-pdf-check varnel-demo-service
if [ "${1:-}" = "--smoke" ]; then
  exec scripts/start.sh --smoke build/release
fi
exec scripts/start.sh build/release "$@"
