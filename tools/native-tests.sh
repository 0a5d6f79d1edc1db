#!/usr/bin/env bash
# Builds the portable performance-data code natively, under the address and
# undefined-behaviour sanitizers, into build-native/ (or $QUORLET_NATIVE_BUILD),
# runs its tests, then fuzzes the navigation for $QUORLET_FUZZ_SECONDS seconds
# (30 by default). Fails on a failing test and on anything the fuzzer finds.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/bootstrap.sh
build=${QUORLET_NATIVE_BUILD:-build-native}
seconds=${QUORLET_FUZZ_SECONDS:-30}
if [ ! -f "$build/build.ninja" ]; then
  cmake -S tests/native -B "$build" -G Ninja >/dev/null
fi
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure

# The corpus lives in the build folder: the writer's seeds, rewritten each
# time, and whatever earlier runs added.
corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"
log="$build/fuzz.log"
"$build/make_seeds" "$corpus"
mkdir -p "$artifacts"
if ! "$build/fuzz_navigation" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "native-tests: the fuzzer found a problem, see $log and $artifacts/" >&2
  exit 1
fi
echo "fuzz: $(grep -E '^Done [0-9]+ runs' "$log")"
