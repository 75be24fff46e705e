#!/usr/bin/env bash
# Line and branch coverage of src/ by the fuzzer's corpus: builds the fuzzer
# once more with clang's coverage mapping in build/fuzz-coverage, runs every
# input of the corpus (build/fuzz/corpus unless another folder is given) once,
# and prints llvm-cov's report per file.
#
#   fuzz/coverage.sh [CORPUS]
set -euo pipefail
cd "$(dirname "$0")/.."

corpus=${1:-build/fuzz/corpus}
build=build/fuzz-coverage
cmake --preset fuzz -B "$build" \
  -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" >/dev/null
cmake --build "$build" --target ovrik_fuzzer >/dev/null

rm -f "$build"/*.profraw
LLVM_PROFILE_FILE="$build/corpus-%p.profraw" "$build/fuzz/ovrik_fuzzer" -runs=0 "$corpus" \
  >"$build/coverage-run.log" 2>&1
llvm-profdata merge -sparse "$build"/*.profraw -o "$build/corpus.profdata"
llvm-cov report "$build/fuzz/ovrik_fuzzer" -instr-profile="$build/corpus.profdata" src/
