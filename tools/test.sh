#!/usr/bin/env bash
# Installs what is missing, builds everything, checks every source with clang,
# runs the native sanitizer tests and a short fuzz run, then every ctest test
# (the suites under Wine, the icon and layer checks).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/build.sh
tools/clang-check.sh
tools/native-tests.sh
build=${QUORLET_BUILD:-build}
ctest --test-dir "$build" --output-on-failure -j2
