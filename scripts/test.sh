#!/usr/bin/env bash
# Installs what is needed, builds and runs the tests.
#   scripts/test.sh          the concurrency tests under ThreadSanitizer, then every test (unit,
#                            integration, concurrency and screen tests) in one AddressSanitizer +
#                            UndefinedBehaviorSanitizer build, where each test program also runs
#                            whole once, its cases in an order shuffled anew (label whole; the
#                            seed is printed: --gtest_random_seed=<seed> runs that order again)
#   scripts/test.sh debug    a plain debug build, every test
#   scripts/test.sh asan     only the AddressSanitizer + UndefinedBehaviorSanitizer part
#   scripts/test.sh tsan     only the ThreadSanitizer part
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-packages.sh

# A failed test is run a second time only when its first failure was LeakSanitizer's own tracer
# crashing during the process's leak check (it prints "Tracer caught signal" and then reports a
# fatal error of its own; about one run in four of one test here), which says nothing of our
# code. Any other failure fails at once. The first run's log (CTest's LastTest.log) holds each
# test's output between its "Testing: <name>" line and the next.
run_preset() {
  local preset="$1" build="build/$1" status=0
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  # The sanitizer presets build several sources as one unit: no two of them may bring functions
  # of one name that would overload each other there.
  if grep -q '^CMAKE_UNITY_BUILD:[A-Z]*=ON$' "$build/CMakeCache.txt"; then
    scripts/check-unity-names.sh "$build"
  fi
  ctest --preset "$preset" -j "$(nproc)" || status=$?
  [ "$status" -eq 0 ] && return 0
  local failed="$build/Testing/Temporary/LastTestsFailed.log"
  local log="$build/Testing/Temporary/LastTest.log"
  [ -s "$failed" ] || return "$status"
  local again=()
  while IFS=: read -r _ name; do
    [ -n "$name" ] || continue
    if awk -v want="$name" '
        / Testing: / { inside = (substr($0, index($0, " Testing: ") + 10) == want) }
        inside && /Tracer caught signal/ { found = 1 }
        END { exit found ? 0 : 1 }' "$log"; then
      again+=("$name")
    else
      echo "Failed, not a leak-checker crash: $name" >&2
      return 1
    fi
  done <"$failed"
  [ ${#again[@]} -gt 0 ] || return "$status"
  echo "Run again after the leak checker's own crash: ${again[*]}"
  local pattern
  pattern="$(printf '%s\n' "${again[@]}" | sed 's/[][\.*^$+?(){}|/]/\\&/g' | paste -sd'|')"
  ctest --preset "$preset" -R "^($pattern)\$"
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
