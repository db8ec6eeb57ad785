#!/usr/bin/env bash
# The random-click run behind a reply-mutating proxy (not part of CI). The program of a build
# (an AddressSanitizer build, say) runs against the demo library service with the service's and
# the store's JSON replies passing through tools/hostile-run/hostile_proxy.py, on an X display
# of its own, as a member signed in with borrowed items (the session's own replies are spared, so
# that the member stays signed in); xdotool opens the member's library and
# the first borrowed item, then clicks and types at random. Each run starts from a copy of a
# template home in which the member signed in once (make it with --prepare).
#
#   tools/hostile-run/run.sh --prepare <build> <template home>
#       starts the demo and the program without the proxy and waits for the window to close:
#       sign the member in by hand (somchai@example.com / rak-an-nangsue), then close it.
#   tools/hostile-run/run.sh <build> <template home> <runs> <clicks> <results folder>
#       one line per run in <results folder>/summary.txt: exit status, peak resident memory,
#       whether the reader showed, and sanitizer reports (kept as asan.* files per run).
# DISPLAY must name a running X server with a window manager.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# start_demo <home> <urls file>: the demo with the home's state; its pid in $demo_pid.
start_demo() {
  "$build/tools/demo-service/varnel-demo-service" --member-shelves --state "$1/demo-state.json" \
    >"$2" 2>"$1/demo.log" &
  demo_pid=$!
  for _ in $(seq 100); do
    [ "$(wc -l <"$2")" -ge 3 ] && return 0
    sleep 0.1
  done
  echo "the demo did not start" >&2
  return 1
}

# settings <home> <service base> <store url>
settings() {
  sed -e "s|http://127.0.0.1:8418/store.svc|$3|g" -e "s|http://127.0.0.1:8417|$2|g" \
    "$repo/data/Info.plist" >"$1/Info.plist"
}

export QT_MEDIA_BACKEND=ffmpeg QTWEBENGINE_DISABLE_SANDBOX=1
# As the GUI tests run: the web engine's own type mismatch and the libraries' one-time state
# are not ours.
# On a display (not offscreen as in the tests) Qt also talks to D-Bus, whose library keeps its
# connection's buffers.
suppressions="$(mktemp)"
trap 'rm -f "$suppressions"' EXIT
{ cat "$repo/tests/sanitizers/lsan.supp"; echo "leak:libdbus-1.so"; } >"$suppressions"
export LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0"
sanitizer_options="new_delete_type_mismatch=0:detect_leaks=1"

if [ "${1:-}" = "--prepare" ]; then
  build="$(cd "$2" && pwd)"
  template="$3"
  mkdir -p "$template"
  urls="$(mktemp)"
  start_demo "$template" "$urls"
  settings "$template" "$(sed -n 1p "$urls")" "$(sed -n 3p "$urls")"
  VARNEL_HOME="$template" ASAN_OPTIONS="$sanitizer_options" "$build/src/app/varnel" || true
  kill "$demo_pid"
  wait "$demo_pid" || true
  rm -f "$urls"
  exit 0
fi

build="$(cd "$1" && pwd)"
template="$(cd "$2" && pwd)"
runs="$3"
clicks="$4"
results="$5"
mkdir -p "$results"
summary="$results/summary.txt"
: >"$summary"

# Clicks at random inside the active window (or the main one), with now and then a key or Thai
# text; every tenth click looks at the program.
click_at_random() {
  local window geometry x y w h key
  window="$(xdotool getactivewindow 2>/dev/null || echo "$main_window")"
  geometry="$(xdotool getwindowgeometry --shell "$window" 2>/dev/null || true)"
  eval "$geometry"
  w="${WIDTH:-1200}"
  h="${HEIGHT:-800}"
  x=$((RANDOM % (w > 20 ? w - 10 : 10) + 5))
  y=$((RANDOM % (h > 20 ? h - 10 : 10) + 5))
  xdotool mousemove --window "$window" "$x" "$y" click 1 2>/dev/null || true
  case $((RANDOM % 12)) in
    0) key="$(shuf -n1 -e Escape Return Left Right Up Down Page_Down Page_Up Home End Tab space)"
       xdotool key "$key" 2>/dev/null || true ;;
    1) xdotool type --delay 20 "นิตยสาร" 2>/dev/null || true ;;
  esac
}

for run in $(seq 1 "$runs"); do
  home="$results/run-$run"
  rm -rf "$home"
  cp -a "$template" "$home"
  rm -f "$home"/asan.*
  urls="$home/urls.txt"
  start_demo "$home" "$urls"
  base="$(sed -n 1p "$urls")"
  store="$(sed -n 3p "$urls")"
  base_port="$(free_port)"
  store_port="$(free_port)"
  python3 "$here/hostile_proxy.py" --listen "$base_port" --upstream "$base" --seed "$run" \
    --only /BookService.asmx --spare /RestoreSession --spare /AccountAuthentication \
    --spare /RequestSessionID --spare /GetAccountAuthenticationMethod \
    >/dev/null 2>"$home/proxy-service.log" &
  proxy1=$!
  python3 "$here/hostile_proxy.py" --listen "$store_port" --upstream "${store%/store.svc}" \
    --seed $((run + 1000)) >/dev/null 2>"$home/proxy-store.log" &
  proxy2=$!
  sleep 1
  settings "$home" "http://127.0.0.1:$base_port" "http://127.0.0.1:$store_port/store.svc"

  VARNEL_HOME="$home" ASAN_OPTIONS="$sanitizer_options:log_path=$home/asan" \
    UBSAN_OPTIONS="print_stacktrace=1:log_path=$home/asan" \
    "$build/src/app/varnel" >"$home/program.log" 2>&1 &
  program=$!
  main_window=""
  for _ in $(seq 120); do
    main_window="$(xdotool search --pid "$program" --onlyvisible --name '^Varnel$' 2>/dev/null |
      head -1 || true)"
    [ -n "$main_window" ] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.5
  done
  reader=no
  peak=0
  if [ -n "$main_window" ]; then
    sleep 3
    # The library, then the member's first item: the toolbar's library button and the first
    # shelf cell, where they sit in the main window of 1180x760.
    xdotool windowactivate --sync "$main_window" 2>/dev/null || true
    eval "$(xdotool getwindowgeometry --shell "$main_window")"
    xdotool mousemove --window "$main_window" 339 23 click 1 || true
    sleep 5
    # A claim notice may show first: Return takes it away.
    xdotool key Return 2>/dev/null || true
    sleep 1
    xdotool mousemove --window "$main_window" 297 201 click 1 || true
    sleep 8
    for i in $(seq 1 "$clicks"); do
      kill -0 "$program" 2>/dev/null || break
      if [ "$reader" = no ] && xdotool search --pid "$program" --onlyvisible --name . 2>/dev/null |
        while read -r w; do xdotool getwindowname "$w"; done | grep -qv -e 'Varnel' -e '^$'; then
        reader=yes
      fi
      click_at_random
      sleep "0.$((RANDOM % 5 + 2))"
      if [ $((i % 10)) = 0 ] && [ -r "/proc/$program/status" ]; then
        now="$(awk '/VmHWM/ {print $2}' "/proc/$program/status")"
        [ -n "$now" ] && [ "$now" -gt "$peak" ] && peak="$now"
      fi
    done
  fi
  if [ -r "/proc/$program/status" ]; then
    now="$(awk '/VmHWM/ {print $2}' "/proc/$program/status")"
    [ -n "$now" ] && [ "$now" -gt "$peak" ] && peak="$now"
  fi
  # Closed as a member would: the main window's close, then the program has 60 s to end.
  alive=yes
  kill -0 "$program" 2>/dev/null || alive=no
  if [ "$alive" = yes ]; then
    for _ in $(seq 30); do
      kill -0 "$program" 2>/dev/null || break
      # Whatever shows (the reader, an alert, a sheet, the main window) is closed in turn.
      for w in $(xdotool search --pid "$program" --onlyvisible --name . 2>/dev/null); do
        xdotool windowactivate --sync "$w" key alt+F4 2>/dev/null || true
      done
      sleep 2
    done
    kill -0 "$program" 2>/dev/null && kill -TERM "$program"
  fi
  status=0
  wait "$program" || status=$?
  kill "$proxy1" "$proxy2" "$demo_pid" 2>/dev/null || true
  wait "$proxy1" "$proxy2" "$demo_pid" 2>/dev/null || true
  reports="$(find "$home" -maxdepth 1 -name 'asan.*' | wc -l)"
  mutated="$(cat "$home"/proxy-*.log | grep -c '^mutated')" || true
  echo "run $run: alive-at-end=$alive exit=$status peak-rss-kb=$peak reader=$reader" \
    "sanitizer-reports=$reports mutated-replies=$mutated" | tee -a "$summary"
  # Keep what tells about the run; the copies of the catalogue go.
  rm -rf "$home/Cache" "$home/UserData" 2>/dev/null || true
done
