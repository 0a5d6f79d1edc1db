#!/usr/bin/env bash
# Installs what is missing, then configures and builds Quorlet into build/
# (or $QUORLET_BUILD). Extra arguments name the targets to build.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/bootstrap.sh
build=${QUORLET_BUILD:-build}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
fi
cmake --build "$build" ${1:+--target "$@"}
