// The run of `ovrik --run` and what it reports: slices of steps between looks
// at the keys, the displays and Ctrl-C; a line per step with --trace; the line
// that tells how the run ended.
#include "driver/machine_run.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "driver/keyboard_input.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

// Steps run between two looks at the displays, the keyboard and Ctrl-C:
// output shows as it comes, a key typed meanwhile is in the queue soon after,
// and an interrupted run stops well within a millisecond.
constexpr std::uint64_t kSliceSteps = 1U << 16U;

constexpr int kHaltedStatus = 0;
constexpr int kWaitingStatus = 2;
constexpr int kStepLimitStatus = 3;
constexpr int kInterruptedStatus = 130;  // as a shell reports a program ended by Ctrl-C

// What the run writes, and whether a terminal that shows it is left in the
// middle of a line.
class RunOutput {
 public:
  RunOutput(Console console, const RunPlatform& platform)
      : console_(console),
        outputAtTerminal_(platform.outputAtTerminal),
        errorsAtTerminal_(platform.errorsAtTerminal) {}

  // Port 0 to standard output, flushed at once; port 1 to standard error.
  void showDisplays(Machine& machine) {
    for (std::size_t port = 0; port < machine.displays.size(); ++port) {
      std::string& received = machine.displays[port].received;
      write(port == 0 ? console_.out : console_.err, received,
            port == 0 ? outputAtTerminal_ : errorsAtTerminal_);
      received.clear();
    }
  }
  void errorLine(std::string_view line) { write(console_.err, line, errorsAtTerminal_); }
  // The end line starts a line of its own where a terminal would glue it to
  // the display's last bytes; a file gets the bytes as they were written.
  void endLine(std::string_view line) {
    if (midLine_ && errorsAtTerminal_) console_.err << "\n";
    errorLine(line);
  }

 private:
  void write(std::ostream& stream, std::string_view bytes, bool atTerminal) {
    if (bytes.empty()) return;
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    stream.flush();
    if (atTerminal) midLine_ = bytes.back() != '\n';
  }

  Console console_;
  bool outputAtTerminal_;
  bool errorsAtTerminal_;
  bool midLine_ = false;
};

RunEnd runProgram(Machine& machine, const MemoryImage& image, const RunOptions& options,
                  const RunPlatform& platform, RunOutput& output);
std::string endLine(RunEnd end, const Machine& machine);
void writeDump(const Machine& machine, std::ostream& err);
int exitStatus(RunEnd end);

}  // namespace

int runToTheEnd(Machine& machine, const MemoryImage& image, const RunOptions& options,
                Console console, const RunPlatform& platform) {
  RunOutput output(console, platform);
  const RunEnd end = runProgram(machine, image, options, platform, output);
  output.endLine(endLine(end, machine));
  if (options.dump) writeDump(machine, console.err);
  console.err.flush();
  return exitStatus(end);
}

namespace {

bool interrupted(const RunPlatform& platform) {
  return platform.interruption != nullptr && platform.interruption->requested();
}

std::string traceLine(const MemoryImage& image, std::uint8_t at, std::uint8_t word,
                      const Machine& machine);

// Ctrl-C is seen between slices and while the machine waits for a key: the
// steps done are whole, and an end the machine reached itself comes first.
RunEnd runProgram(Machine& machine, const MemoryImage& image, const RunOptions& options,
                  const RunPlatform& platform, RunOutput& output) {
  KeyboardInput input(options.input, options.input ? nullptr : platform.keys);
  Keyboard& keyboard = machine.keyboards[0];
  for (;;) {
    if (machine.steps >= options.stepLimit) return RunEnd::kStepLimit;
    input.supply(keyboard);
    if (interrupted(platform)) return RunEnd::kInterrupted;
    const std::uint64_t left = options.stepLimit - machine.steps;
    const std::uint64_t slice = std::min(options.trace ? 1U : kSliceSteps, left);
    const std::uint8_t at = machine.pc;
    const std::uint8_t word = machine.memory[at];
    const std::uint64_t stepsBefore = machine.steps;
    const RunResult ended = run(machine, machine.steps + slice);
    output.showDisplays(machine);
    if (options.trace && machine.steps != stepsBefore) {
      output.errorLine(traceLine(image, at, word, machine));
    }
    if (ended.end != RunEnd::kWaitingForInput) {
      if (ended.end == RunEnd::kHalted) return ended.end;
      continue;
    }
    // Only port 0's keyboard has keys to give.
    if (ended.port != 0 || !input.supplyMore(keyboard)) {
      return interrupted(platform) ? RunEnd::kInterrupted : ended.end;
    }
  }
}

std::string address(std::uint8_t value) {
  return wordText(static_cast<std::int16_t>(value));
}

// Address, word, then the statement and line the word was loaded from, as long
// as the program has not changed it; then the accumulator after the step.
std::string traceLine(const MemoryImage& image, std::uint8_t at, std::uint8_t word,
                      const Machine& machine) {
  const ImageWord& loaded = image.words[at];
  const bool asLoaded = loaded.listed && loaded.value == word;
  std::string statement = asLoaded ? loaded.statement : "";
  if (statement.size() < 17) statement.resize(17, ' ');
  const std::string line = asLoaded && loaded.line > 0 ? std::to_string(loaded.line) : "-";
  return address(at) + " " + address(word) + " " + statement + " line " + line + "; AC " +
         address(machine.ac) + "\n";
}

// A halt is reported at the HLT word itself, the word a student looks for,
// not at the word after it where PC stands.
std::string endLine(RunEnd end, const Machine& machine) {
  const std::string steps = std::to_string(machine.steps);
  const std::string after = " after " + steps + " steps";
  const std::string ac = "; AC " + address(machine.ac) + "\n";
  switch (end) {
    case RunEnd::kHalted:
      return "halted at " + address(machine.haltedAt) + after + ac;
    case RunEnd::kWaitingForInput:
      return "waiting for input at " + address(machine.pc) + after + ac;
    case RunEnd::kInterrupted:
      return "interrupted at " + address(machine.pc) + after + ac;
    case RunEnd::kStepLimit:
      break;
  }
  return "step limit " + steps + " reached at " + address(machine.pc) + ac;
}

void writeDump(const Machine& machine, std::ostream& err) {
  for (std::size_t page = 0; page < kPageCount; ++page) {
    err << page << ":";
    for (std::size_t slot = 0; slot < kPageSize; ++slot) {
      err << " " << address(machine.memory[page * kPageSize + slot]);
    }
    err << "\n";
  }
}

int exitStatus(RunEnd end) {
  switch (end) {
    case RunEnd::kHalted:
      return kHaltedStatus;
    case RunEnd::kWaitingForInput:
      return kWaitingStatus;
    case RunEnd::kInterrupted:
      return kInterruptedStatus;
    case RunEnd::kStepLimit:
      break;
  }
  return kStepLimitStatus;
}

}  // namespace
}  // namespace ovrik
