#!/usr/bin/env bash
# A second compiler over the Windows sources: clang checks every .cpp in src/
# and tests/ (tests/native/ is built by clang already) for the mingw-w64 target
# with warnings as errors, two files at a time. Prints each failing file's
# diagnostics and ends with a summary line; fails if any file failed.
set -euo pipefail
cd "$(dirname "$0")/.."
[ "${1:-}" = --one ] || tools/bootstrap.sh

clang=${QUORLET_CLANG:-clang++}
gtest_include=/usr/src/googletest/googletest/include

# Clang does not find Debian's mingw-w64 libstdc++ by itself. Its headers go
# before clang's own, the platform's C headers after them, and nothing of the
# host's is searched.
cxx_include=$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++ 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$cxx_include" ]; then
  echo "clang-check: no mingw-w64 C++ headers under /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++" >&2
  echo "clang-check: run tools/bootstrap.sh (g++-mingw-w64-x86-64-posix)" >&2
  exit 1
fi
flags=(
  --target=x86_64-w64-mingw32 -fsyntax-only -std=c++20 -Wall -Wextra -Werror
  -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN -DNOMINMAX -D_WIN32_WINNT=0x0601
  -D__USE_MINGW_ANSI_STDIO=0
  -nostdlibinc
  -isystem "$cxx_include" -isystem "$cxx_include/x86_64-w64-mingw32" -isystem "$cxx_include/backward"
  -idirafter /usr/x86_64-w64-mingw32/include
  -isystem "$gtest_include"
  -Isrc -Itests
)

# One file, run by the parallel pass below: its diagnostics go to a log of
# their own so that two files' messages never interleave.
if [ "${1:-}" = --one ]; then
  logs=$2 file=$3
  if ! out=$("$clang" "${flags[@]}" "$file" 2>&1); then
    printf '== %s\n%s\n' "$file" "$out" >"$logs/$(printf '%s' "$file" | tr / _).log"
  fi
  exit 0
fi

command -v "$clang" >/dev/null || { echo "clang-check: $clang not found (run tools/bootstrap.sh)" >&2; exit 1; }
for dir in "$gtest_include" /usr/x86_64-w64-mingw32/include; do
  [ -d "$dir" ] || { echo "clang-check: $dir is missing (run tools/bootstrap.sh)" >&2; exit 1; }
done

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
start=${EPOCHREALTIME/./}
mapfile -t files < <(find src tests -name '*.cpp' -not -path 'tests/native/*' | sort)
printf '%s\0' "${files[@]}" | xargs -0 -n 1 -P 2 "$PWD/tools/clang-check.sh" --one "$logs" \
  || { echo "clang-check: the pass itself failed" >&2; exit 1; }
tenths=$(( (${EPOCHREALTIME/./} - start) / 100000 ))

failed=0
for log in "$logs"/*.log; do
  [ -e "$log" ] || continue
  cat "$log"
  failed=$((failed + 1))
done
printf 'clang: %d files, %d failed (%d.%d s)\n' "${#files[@]}" "$failed" $((tenths / 10)) $((tenths % 10))
[ "$failed" -eq 0 ]
