#!/usr/bin/env bash
# The start step of scripts/run.sh: starts the demo library service on free ports, writes its URLs
# into $VARNEL_HOME/Info.plist and runs the program against it. The demo stops when the program
# ends, also when either fails or this script is interrupted or terminated.
#   scripts/start.sh <build folder> [program arguments...]
#   scripts/start.sh --smoke <build folder>
#       offscreen, in a home of its own: waits until the home page shows its rows, closes the
#       main window as a user would and exits 0 only when the program and the demo both ended
#       cleanly (exit 0, no signal) within 60 s; otherwise says why in one line and exits 1.
# VARNEL_HOME defaults to ${XDG_DATA_HOME:-$HOME/.local/share}/varnel-demo.
set -euo pipefail
smoke=0
if [ "${1:-}" = "--smoke" ]; then
  smoke=1
  shift
fi
if [ $# -lt 1 ]; then
  echo "usage: scripts/start.sh [--smoke] <build folder> [program arguments...]" >&2
  exit 2
fi
build="$(cd "$1" && pwd)"
shift
repo="$(cd "$(dirname "$0")/.." && pwd)"
demo="$build/tools/demo-service/varnel-demo-service"
program="$build/src/app/varnel"
for f in "$demo" "$program"; do
  [ -x "$f" ] || { echo "Not built: $f" >&2; exit 1; }
done

smoke_home=""
if [ "$smoke" = 1 ]; then
  smoke_home="$(mktemp -d)"
  export VARNEL_HOME="$smoke_home" QT_QPA_PLATFORM=offscreen VARNEL_SMOKE_CHECK=1
fi
export VARNEL_HOME="${VARNEL_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/varnel-demo}"
mkdir -p "$VARNEL_HOME"
# The tests' media backend: Qt's default on Linux needs GStreamer plugins a machine may lack.
export QT_MEDIA_BACKEND="${QT_MEDIA_BACKEND:-ffmpeg}"
urls="$(mktemp)"
program_out="$(mktemp)"
demo_pid=""
program_pid=""
stop() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
  [ -n "$program_pid" ] && wait "$program_pid" 2>/dev/null || true
  [ -n "$demo_pid" ] && wait "$demo_pid" 2>/dev/null || true
  rm -f "$urls" "$program_out"
  [ -z "$smoke_home" ] || rm -rf "$smoke_home"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The demo prints its base URL, its version-2 service URL and its store service URL.
"$demo" --member-shelves --state "$VARNEL_HOME/demo-state.json" >"$urls" &
demo_pid=$!
for _ in $(seq 100); do
  [ "$(wc -l <"$urls")" -ge 3 ] && break
  kill -0 "$demo_pid" 2>/dev/null || { echo "The demo library service did not start." >&2; exit 1; }
  sleep 0.1
done
base="$(sed -n 1p "$urls")"
store="$(sed -n 3p "$urls")"
if [ -z "$base" ] || [ -z "$store" ]; then
  echo "The demo library service did not say where it listens." >&2
  exit 1
fi

# The shipped settings name the demo's usual ports; this run's ports replace them.
sed -e "s|http://127.0.0.1:8418/store.svc|$store|g" -e "s|http://127.0.0.1:8417|$base|g" \
  "$repo/data/Info.plist" >"$VARNEL_HOME/Info.plist.new"
mv "$VARNEL_HOME/Info.plist.new" "$VARNEL_HOME/Info.plist"
echo "Demo library service at $base (settings in $VARNEL_HOME/Info.plist)"

# The web engine refuses to start its sandbox as root.
if [ "$(id -u)" = 0 ]; then
  export QTWEBENGINE_DISABLE_SANDBOX=1
fi

if [ "$smoke" = 0 ]; then
  "$program" "$@" &
  program_pid=$!
  status=0
  wait "$program_pid" || status=$?
  program_pid=""
  exit "$status"
fi

# The smoke start: the program closes its own window once its home page shows rows.
smoke_fail() {
  echo "Smoke start failed: $*" >&2
  exit 1
}
"$program" >"$program_out" 2>&1 &
program_pid=$!
deadline=$((SECONDS + 60))
while kill -0 "$program_pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do
  sleep 0.2
done
if kill -0 "$program_pid" 2>/dev/null; then
  kill -KILL "$program_pid" 2>/dev/null || true
  wait "$program_pid" 2>/dev/null || true
  program_pid=""
  tail -n 20 "$program_out" >&2
  smoke_fail "the program did not end within 60 s"
fi
status=0
wait "$program_pid" || status=$?
program_pid=""
if [ "$status" -ne 0 ]; then
  tail -n 40 "$program_out" >&2
  if [ "$status" -gt 128 ]; then
    smoke_fail "the program ended by signal $((status - 128))"
  fi
  smoke_fail "the program exited with status $status"
fi
if ! grep -q "^Smoke check: the home page shows" "$program_out"; then
  tail -n 20 "$program_out" >&2
  smoke_fail "the home page showed no rows"
fi
kill -TERM "$demo_pid" 2>/dev/null || true
status=0
wait "$demo_pid" || status=$?
demo_pid=""
[ "$status" -eq 0 ] || smoke_fail "the demo library service exited with status $status"
echo "Smoke start passed: $(grep '^Smoke check:' "$program_out")"
