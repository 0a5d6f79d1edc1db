#!/usr/bin/env bash
# Installs what is missing, builds Quorlet and starts it under Wine.
# With an X display the window opens there. Without one, Quorlet runs in a
# Wine desktop inside Xvfb; after a few seconds a screenshot is saved and its
# path printed, and the program is closed.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh quorlet
build=${QUORLET_BUILD:-build}
exe="$build/quorlet.exe"

report_end() {
  local code=$1
  [ "$code" -gt 127 ] && code=$((code - 256))
  echo "quorlet.exe ended with exit code $code"
}

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  status=0
  tools/wine-run.sh --desktop "$build" "$exe" "$@" || status=$?
  report_end "$status"
  exit 0
fi

source tools/xvfb.sh
start_xvfb 90 100 'WINEPREFIX="$PWD/$build/wine-virtual" wineserver -k 2>/dev/null'

tools/wine-run.sh --virtual "$build" "$exe" "$@" &
program=$!
# The first start makes the Wine prefix, which takes a while.
for _ in $(seq ${QUORLET_WAIT:-60}); do
  kill -0 $program 2>/dev/null || break
  [ -s "$build/wine-virtual/.quorlet-ready" ] && sleep 5 && break
  sleep 1
done

if ! kill -0 $program 2>/dev/null; then
  status=0
  wait $program || status=$?
  report_end "$status"
  exit 0
fi

shot="$(cd "$build" && pwd)/screenshot.png"
import -display "$display" -window root "$shot"
echo "Screenshot: $shot"
# Closed the way a user closes it (WM_CLOSE), so that it saves its settings.
tools/wine-run.sh --virtual "$build" taskkill /im quorlet.exe >/dev/null 2>&1 || true
status=0
for _ in $(seq 10); do kill -0 $program 2>/dev/null || break; sleep 1; done
if kill -0 $program 2>/dev/null; then
  WINEPREFIX="$(cd "$build/wine-virtual" && pwd)" wineserver -k 2>/dev/null || true
fi
wait $program || status=$?
report_end "$status"
