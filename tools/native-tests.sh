#!/usr/bin/env bash
# Builds the portable performance-data code natively, under the address and
# undefined-behaviour sanitizers, into build-native/ (or $QUORLET_NATIVE_BUILD),
# runs its tests, then fuzzes it for $QUORLET_FUZZ_SECONDS seconds in all (30
# by default): two thirds for the snapshot navigation, one third for the
# counter-name walk. Fails on a failing test and on anything a fuzzer finds.
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

# The corpora live in the build folder: the seeds, rewritten each time, and
# whatever earlier runs added.
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
"$build/make_seeds" "$build/fuzz-corpus" "$build/fuzz-corpus-names"

fuzz() { # name, seconds, corpus
  local log="$build/fuzz-$1.log"
  if ! "$build/fuzz_$1" -max_total_time="$2" -timeout=10 -print_final_stats=1 \
         -artifact_prefix="$artifacts/$1-" "$3" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "native-tests: the $1 fuzzer found a problem, see $log and $artifacts/" >&2
    exit 1
  fi
  echo "fuzz $1: $(grep -E '^Done [0-9]+ runs' "$log")"
}
names=$((seconds / 3))
fuzz navigation $((seconds - names)) "$build/fuzz-corpus"
fuzz name_table $((names > 0 ? names : 1)) "$build/fuzz-corpus-names"
