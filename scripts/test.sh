#!/usr/bin/env bash
# Installs what is needed, builds and runs the tests.
#   scripts/test.sh          the concurrency tests under ThreadSanitizer, then every test (unit,
#                            integration, concurrency and screen tests) in one AddressSanitizer +
#                            UndefinedBehaviorSanitizer build
#   scripts/test.sh debug    a plain debug build, every test
#   scripts/test.sh asan     only the AddressSanitizer + UndefinedBehaviorSanitizer part
#   scripts/test.sh tsan     only the ThreadSanitizer part
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh

run_preset() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
  # A test that fails is run once more: LeakSanitizer's own tracer sometimes crashes during a
  # process's leak check (about one run in four of one test here); a real fault fails twice.
  ctest --preset "$1" -j "$(nproc)" --repeat until-pass:2
}

case "${1:-all}" in
  all)
    run_preset tsan
    run_preset asan
    ;;
  debug | asan | tsan) run_preset "$1" ;;
  *)
    echo "usage: scripts/test.sh [debug|asan|tsan]" >&2
    exit 2
    ;;
esac
