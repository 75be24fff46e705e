// Whole runs of the assembler in-process: the dialogue, every pass and the
// listing, on sources held in memory. What a real run adds to this is the
// process start and the two files; bench/compare.py times that part.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "driver/driver.hpp"
#include "driver/memory_files.hpp"

namespace ovrik {
namespace {

const std::string kSourceName = "prog.txt";
const std::string kListingName = "prog.ovr";

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) throw std::runtime_error(path + " is missing: build the ovrik_bench_sources target");
  std::string bytes(static_cast<std::size_t>(file.tellg()), '\0');
  file.seekg(0);
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

// Google Benchmark calls a benchmark several times while it settles the
// iteration count: read each source, 200 MB for the large one, only once.
MemoryFiles& filesHolding(const std::string& path) {
  static std::map<std::string, MemoryFiles> loaded;
  auto [entry, added] = loaded.try_emplace(path);
  if (added) entry->second.files[kSourceName] = readFile(path);
  return entry->second;
}

int assemble(MemoryFiles& files, std::string& console) {
  std::istringstream typed("prog\n");
  std::ostringstream output;
  const int status = runAssembler(typed, output, files);
  console = output.str();
  return status;
}

// A run that stops at an "Error:" line skips most passes and the listing, so
// its time would say nothing.
bool assemblesCleanly(MemoryFiles& files) {
  files.files.erase(kListingName);
  std::string console;
  const int status = assemble(files, console);
  return status == 0 && console.find("Error") == std::string::npos &&
         files.files.contains(kListingName);
}

void wholeRun(benchmark::State& state, const std::string& path) {
  MemoryFiles& files = filesHolding(path);
  if (!assemblesCleanly(files)) {
    state.SkipWithError((path + " does not assemble cleanly").c_str());
    return;
  }
  std::string console;
  for (auto _ : state) benchmark::DoNotOptimize(assemble(files, console));
  const auto size = static_cast<std::int64_t>(files.files[kSourceName].size());
  state.SetBytesProcessed(state.iterations() * size);
}

// 16 full pages: code, data, pools and far references in every page.
BENCHMARK_CAPTURE(wholeRun, largest_legal_program, std::string(OVRIK_BENCH_SOURCES "/largest.txt"))
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(wholeRun, example, std::string(OVRIK_EXAMPLE))->Unit(benchmark::kMicrosecond);
// The largest program again, between its lines some 200 MB of lines that file nothing.
BENCHMARK_CAPTURE(wholeRun, large_source, std::string(OVRIK_BENCH_SOURCES "/large.txt"))
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ovrik

BENCHMARK_MAIN();
