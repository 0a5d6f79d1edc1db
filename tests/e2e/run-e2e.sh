#!/usr/bin/env bash
# Runs the end-to-end test in a Wine desktop on a private Xvfb display.
#   run-e2e.sh SOURCE_DIR BUILD_DIR TEST_EXE
set -euo pipefail
source=$1; build=$2; exe=$3
source "$source/tools/xvfb.sh"
start_xvfb 300 200
"$source/tools/wine-run.sh" --virtual "$build" "$exe"
