#!/usr/bin/env bash
# Runs the program under valgrind's memcheck on every golden case and example,
# as the golden tests run it: in a folder of its own, the base name typed at the
# prompt. The sanitizer builds cannot run under valgrind, so this builds a plain
# debug program of its own in build/memcheck, linked dynamically: in a static
# program valgrind cannot replace malloc and reports the C library's own start.
# Exits non-zero on any report.
#
#   tools/memcheck.sh
set -euo pipefail
cd "$(dirname "$0")/.."

build="$PWD/build/memcheck"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DOVRIK_BUILD_TESTS=OFF \
  -DOVRIK_LINKS_STATICALLY=OFF >/dev/null
cmake --build "$build" --target ovrik >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

runs=0
faults=0
for source in tests/golden/cases/*.txt examples/*.txt; do
  name="$(basename "$source" .txt)"
  rm -rf "${work:?}"/*
  cp "$source" "$work/"
  report="$work/memcheck.log"
  status=0
  (cd "$work" && printf '%s\n' "$name" |
    valgrind --tool=memcheck --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=all \
      --track-origins=yes --log-file="$report" "$build/ovrik" >/dev/null) || status=$?
  runs=$((runs + 1))
  if [ "$status" -eq 99 ] || grep -q "ERROR SUMMARY: [1-9]" "$report"; then
    faults=$((faults + 1))
    echo "memcheck: $source"
    cat "$report"
  fi
done
echo "memcheck: $runs runs, $faults with errors"
[ "$faults" -eq 0 ]
