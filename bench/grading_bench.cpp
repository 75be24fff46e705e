// Grading a class: `ovrik --check` on 1,000 submissions against an exercise of
// 10 checks, in-process through the command line, the files read from disk and
// the report written to a stream that keeps nothing. What a real run adds is
// the process start, about a millisecond.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/files.hpp"

namespace ovrik {
namespace {

namespace fs = std::filesystem;

constexpr int kSubmissions = 1000;

// Multiplying by repeated addition: 10 checks of up to 225 additions each.
std::string exercise() {
  std::string file = "title = \"Multiply\"\nmax_steps = 2000\n";
  const int pairs[10][2] = {{3, 4}, {1, 1}, {7, 0}, {0, 9},  {15, 15},
                            {2, 8}, {9, 9}, {5, 3}, {12, 1}, {10, 14}};
  for (const auto& [a, b] : pairs) {
    file += "[[check]]\nname = \"" + std::to_string(a) + " x " + std::to_string(b) +
            "\"\nset = { A = " + std::to_string(a) + ", B = " + std::to_string(b) +
            " }\nexpect = { PRODUCT = " + std::to_string(a * b) + " }\n";
  }
  return file;
}

constexpr const char* kRight =
    "/0\nSTART,  TAD B\n        SZA\n        JMP COUNT\n        HLT 0\nCOUNT,  CMA.IAC\n"
    "        DCA LEFT\nLOOP,   TAD PRODUCT\n        TAD A\n        DCA PRODUCT\n"
    "        ISZ LEFT\n        JMP LOOP\n        HLT 0\nA,      VAR\nB,      VAR\n"
    "PRODUCT, VAR\nLEFT,   VAR\n";
// B = 0 takes it round 256 times: that check costs its step limit.
constexpr const char* kLoopsOnZero =
    "/0\nSTART,  TAD B\n        CMA.IAC\n        DCA LEFT\nLOOP,   TAD PRODUCT\n"
    "        TAD A\n        DCA PRODUCT\n        ISZ LEFT\n        JMP LOOP\n        HLT 0\n"
    "A,      VAR\nB,      VAR\nPRODUCT, VAR\nLEFT,   VAR\n";
constexpr const char* kBroken = "/0\nSTART,  TAD B\n        MUL A\n        HLT 0\n";

// A class: seven in ten right, two that loop on B = 0, one that does not assemble.
std::vector<std::string> writeClass(const fs::path& folder) {
  std::vector<std::string> args = {"--check", (folder / "multiply.toml").string()};
  std::ofstream(folder / "multiply.toml") << exercise();
  for (int student = 0; student < kSubmissions; ++student) {
    const int kind = student % 10;
    const char* source = kind < 7 ? kRight : kind < 9 ? kLoopsOnZero : kBroken;
    const fs::path file = folder / ("student" + std::to_string(student) + ".txt");
    std::ofstream(file) << "/ student " << student << "\n" << source;
    args.push_back(file.string());
  }
  return args;
}

class Discard : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

void gradeAClass(benchmark::State& state) {
  std::string pattern = (fs::temp_directory_path() / "ovrik-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
  const fs::path folder = pattern;
  const std::vector<std::string> args = writeClass(folder);
  PlatformFiles files;
  Discard discard;
  std::ostream out(&discard);
  std::istringstream in;
  for (auto _ : state) {
    const int status = runCommandLine(args, Console{in, out, out}, files);
    if (status != 1) state.SkipWithError("the class did not grade as it should");
  }
  state.counters["submissions"] = kSubmissions;
  state.counters["checks"] = kSubmissions * 10;
  fs::remove_all(folder);
}

}  // namespace
}  // namespace ovrik

BENCHMARK(ovrik::gradeAClass)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
