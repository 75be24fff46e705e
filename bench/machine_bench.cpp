// The machine's speed in steps per second, against the plain reference
// machine of reference_machine.hpp running the same program: a tight counting
// loop, timed over a million steps and over a whole run of a hundred million
// steps to the step limit. items_per_second is steps per second.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "machine/machine.hpp"
#include "reference_machine.hpp"

namespace ovrik {
namespace {

// LOOP, TAD ONE / ISZ COUNT / JMP LOOP / JMP LOOP, then ONE and COUNT: it adds,
// counts and jumps for ever, and skips to the second jump each time COUNT
// comes round to 0. The words are 104 205 500 500 001 000.
constexpr std::array<std::uint8_t, 6> kCountingLoop = {36, 69, 160, 160, 1, 0};

Machine countingMachine() {
  Machine machine;
  std::copy(kCountingLoop.begin(), kCountingLoop.end(), machine.memory.begin());
  return machine;
}

void countWithTheMachine(benchmark::State& state) {
  const auto steps = static_cast<std::uint64_t>(state.range(0));
  for (auto _ : state) {
    Machine machine = countingMachine();
    if (run(machine, steps).end != RunEnd::kStepLimit) state.SkipWithError("the loop ended");
    benchmark::DoNotOptimize(machine.ac);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void countWithTheReference(benchmark::State& state) {
  const auto steps = static_cast<std::uint64_t>(state.range(0));
  const auto machine = std::make_unique<ref_machine>();
  for (auto _ : state) {
    ref_reset(machine.get());
    std::copy(kCountingLoop.begin(), kCountingLoop.end(), machine->mem);
    if (ref_run(machine.get(), steps) != REF_STEP_LIMIT) state.SkipWithError("the loop ended");
    benchmark::DoNotOptimize(machine->ac);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

constexpr std::int64_t kMillion = 1'000'000;

BENCHMARK(countWithTheMachine)->Arg(kMillion)->Unit(benchmark::kMicrosecond);
BENCHMARK(countWithTheReference)->Arg(kMillion)->Unit(benchmark::kMicrosecond);
BENCHMARK(countWithTheMachine)->Arg(100 * kMillion)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(countWithTheReference)->Arg(100 * kMillion)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ovrik
