#!/usr/bin/env bash
# The start step of scripts/run.sh: starts the demo library service on free ports, writes its URLs
# into $VARNEL_HOME/Info.plist and runs the program against it. The demo stops when the program
# ends, also when either fails or this script is interrupted or terminated.
#   scripts/start.sh <build folder> [program arguments...]
# VARNEL_HOME defaults to ${XDG_DATA_HOME:-$HOME/.local/share}/varnel-demo.
set -euo pipefail
if [ $# -lt 1 ]; then
  echo "usage: scripts/start.sh <build folder> [program arguments...]" >&2
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

export VARNEL_HOME="${VARNEL_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/varnel-demo}"
mkdir -p "$VARNEL_HOME"
urls="$(mktemp)"
demo_pid=""
program_pid=""
stop() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$demo_pid" ] && kill "$demo_pid" 2>/dev/null || true
  [ -n "$program_pid" ] && wait "$program_pid" 2>/dev/null || true
  [ -n "$demo_pid" ] && wait "$demo_pid" 2>/dev/null || true
  rm -f "$urls"
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

"$program" "$@" &
program_pid=$!
status=0
wait "$program_pid" || status=$?
program_pid=""
exit "$status"
