#!/usr/bin/env bash
# Installs what is missing, builds everything, runs the native sanitizer tests
# and a short fuzz run, then every test under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
tools/native-tests.sh
build=${QUORLET_BUILD:-build}
ctest --test-dir "$build" --output-on-failure -j2
