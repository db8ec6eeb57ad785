#!/usr/bin/env bash
# Installs what is needed, builds and runs the tests.
#   scripts/test.sh          debug build, every test
#   scripts/test.sh asan     AddressSanitizer + UndefinedBehaviorSanitizer build, unit and integration tests
#   scripts/test.sh tsan     ThreadSanitizer build of the concurrency tests
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh
preset="${1:-debug}"

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j "$(nproc)"
