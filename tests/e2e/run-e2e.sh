#!/usr/bin/env bash
# Runs the end-to-end test in a Wine desktop on a private Xvfb display.
#   run-e2e.sh SOURCE_DIR BUILD_DIR TEST_EXE
set -euo pipefail
source=$1; build=$2; exe=$3
display=:$((300 + RANDOM % 200))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"$source/tools/wine-run.sh" --virtual "$build" "$exe"
