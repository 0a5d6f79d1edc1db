#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
build=${QUORLET_BUILD:-build}
ctest --test-dir "$build" --output-on-failure -j2
