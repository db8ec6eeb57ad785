#!/usr/bin/env bash
# The start step of scripts/run.sh on the tests' build, offscreen, twice in one home: the
# settings it writes name the demo's port, the program is still up after 3 s, and after SIGTERM
# the demo's port is closed and neither the demo nor the program is left.
#   tests/app/shell/RunCommandTest.sh <repository folder> <build folder>
set -uo pipefail
repo="$1"
build="$2"
home="$(mktemp -d)"
trap 'rm -rf "$home"' EXIT
export VARNEL_HOME="$home" QT_QPA_PLATFORM=offscreen
failed=0
fail() { echo "FAILED: $*"; failed=1; }
children() { cat /proc/"$1"/task/*/children 2>/dev/null; }
named() {  # named <parent pid> <command name, as the kernel keeps it>: the child's pid
  local pid
  for pid in $(children "$1"); do
    [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = "$2" ] && { echo "$pid"; return; }
  done
}

for run in 1 2; do
  rm -f "$home/Info.plist"
  "$repo/scripts/start.sh" "$build" >"$home/out.$run" 2>&1 &
  start=$!
  port=""
  for _ in $(seq 150); do
    port="$(grep -A1 '<key>ServiceHost</key>' "$home/Info.plist" 2>/dev/null |
      grep -o '127\.0\.0\.1:[0-9]*' | cut -d: -f2)"
    [ -n "$port" ] && break
    sleep 0.1
  done
  [ -n "$port" ] || fail "run $run: no port in Info.plist"
  [ "$port" != 8417 ] || fail "run $run: the shipped port was left"
  grep -q "127.0.0.1:$port/oauth2/" "$home/Info.plist" || fail "run $run: sign-on host not moved"
  sleep 3
  program="$(named "$start" varnel)"
  demo="$(named "$start" varnel-demo-ser)"
  [ -n "$program" ] || fail "run $run: the program is not up after 3 s"
  [ -n "$demo" ] || fail "run $run: the demo is not running"
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || fail "run $run: nothing listens on $port"

  kill -TERM "$start"
  wait "$start"
  (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && fail "run $run: port $port still open"
  for pid in $demo $program; do
    [ -d "/proc/$pid" ] && fail "run $run: process $pid ($(cat /proc/$pid/comm)) left"
  done
  [ -f "$home/demo-state.json" ] || fail "run $run: the demo kept no state"
done
[ "$failed" -eq 0 ] || { echo "--- output of the last run:"; cat "$home/out.2" 2>/dev/null; }
[ "$failed" -eq 0 ] && echo "passed"
exit "$failed"
