#!/usr/bin/env bash
# Installs what is needed, builds and runs the tests.
#   scripts/test.sh          debug build, every test
#   scripts/test.sh asan     AddressSanitizer + UndefinedBehaviorSanitizer build, unit tests
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh
preset="${1:-debug}"
test_preset="$preset"
[ "$preset" = "asan" ] && test_preset="asan-unit"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$test_preset" -j "$(nproc)"
