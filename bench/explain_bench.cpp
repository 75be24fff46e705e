// Explaining a program against assembling it, in-process, on the largest legal
// program: the explanation reads the final state once more, so it should cost
// no more than the passes that made it.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "assemble/assemble_source.hpp"
#include "assemble/explain.hpp"
#include "driver/explain_command.hpp"

namespace ovrik {
namespace {

const std::string& largestProgram() {
  static const std::string bytes = [] {
    const std::string path = OVRIK_BENCH_SOURCES "/largest.txt";
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error(path + " is missing: build the ovrik_bench_sources target");
    return std::string(std::istreambuf_iterator<char>(file), {});
  }();
  return bytes;
}

// The passes, from the source's bytes to the listing's.
void assembleLargest(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(assembleSource(largestProgram()).ok);
}

// What reaches what, and every word's sentence, from the final state.
void explainLargest(benchmark::State& state) {
  const Assembly assembly = assembleSource(largestProgram());
  if (!assembly.ok) {
    state.SkipWithError("the largest program does not assemble");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(explainAssembly(*assembly.state));
}

// All that ovrik --explain and ovrik --json do after assembling: the
// explanation and its text, or the JSON of all 256 words.
void explainTextLargest(benchmark::State& state) {
  const Assembly assembly = assembleSource(largestProgram());
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        explanationText(*assembly.state, explainAssembly(*assembly.state)).size());
  }
}

void jsonLargest(benchmark::State& state) {
  const Assembly assembly = assembleSource(largestProgram());
  for (auto _ : state) benchmark::DoNotOptimize(assemblyJson(assembly).size());
}

BENCHMARK(assembleLargest)->Unit(benchmark::kMicrosecond);
BENCHMARK(explainLargest)->Unit(benchmark::kMicrosecond);
BENCHMARK(explainTextLargest)->Unit(benchmark::kMicrosecond);
BENCHMARK(jsonLargest)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace ovrik
