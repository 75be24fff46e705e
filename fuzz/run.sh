#!/usr/bin/env bash
# Builds the fuzzer with the fuzz preset and runs it on a working copy of the
# starting corpus: the golden test sources and the examples.
#
#   fuzz/run.sh 60s            run for 60 seconds (CI runs the same as the
#                              fuzz preset's test: cmake --workflow --preset fuzz)
#   fuzz/run.sh 10000000 2     run ten million inputs, in two worker processes
#
# The corpus grows in build/fuzz/corpus and is kept between runs. libFuzzer's
# output goes to build/fuzz/run.log; the script shows its summary, or its end
# when an input fails. A failing input is written to build/fuzz/findings/, and
# build/fuzz/fuzz/ovrik_fuzzer FILE replays it.
set -euo pipefail
cd "$(dirname "$0")/.."

limit=${1:-60s}
workers=${2:-1}
case "$limit" in
  *s) budget=(-max_total_time="${limit%s}") ;;
  *) budget=(-runs="$limit") ;;
esac

cmake --preset fuzz >/dev/null && cmake --build --preset fuzz >/dev/null

corpus=build/fuzz/corpus
findings=build/fuzz/findings
log=build/fuzz/run.log
mkdir -p "$corpus" "$findings"
cp tests/golden/cases/*.txt examples/*.txt "$corpus"/

parallel=()
if [ "$workers" -gt 1 ]; then parallel=(-fork="$workers" -ignore_crashes=0); fi

status=0
build/fuzz/fuzz/ovrik_fuzzer "${budget[@]}" "${parallel[@]}" \
  -dict=fuzz/ovrik.dict -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$findings/" -print_final_stats=1 "$corpus" >"$log" 2>&1 || status=$?

if [ "$status" -ne 0 ]; then
  tail -n 60 "$log"
  echo "fuzz: failed, see $log and $findings/" >&2
  exit "$status"
fi
grep -E '^#[0-9]+' "$log" | tail -n 1
grep -E '^(stat::|Done|INFO: fuzzed|INFO: exiting)' "$log"
