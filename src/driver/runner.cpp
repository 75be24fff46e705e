// ovrik --run: loads a listing, or assembles a source first, runs it on the
// machine with port 0's keyboard fed from --input, standard input or the
// terminal's keys, shows what the displays receive, and says how the run ended.
#include "driver/runner.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "machine/load.hpp"
#include "machine/machine.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

constexpr int kHaltedStatus = 0;
constexpr int kFailedStatus = 1;
constexpr int kWaitingStatus = 2;
constexpr int kStepLimitStatus = 3;

constexpr std::uint64_t kDefaultStepLimit = 1'000'000;
// Steps run between two looks at the displays and the keyboard: output shows
// as it comes, and a key typed meanwhile is in the queue soon after.
constexpr std::uint64_t kSliceSteps = 1U << 16U;
// Far more than the longest listing the assembler can write (16 pages of 17
// lines of at most about 160 bytes): a larger file is no listing.
constexpr std::size_t kLongestListing = 1U << 20U;
constexpr char kCtrlC = 3;

constexpr std::string_view kUsage =
    "usage: ovrik --run [--input TEXT] [--steps N] [--start ADDR] [--trace] [--dump] FILE\n";

struct RunOptions {
  std::optional<std::string> input;
  std::uint64_t stepLimit = kDefaultStepLimit;
  std::optional<std::uint8_t> start;
  bool trace = false;
  bool dump = false;
  std::string file;
};

std::optional<RunOptions> parseOptions(std::span<const std::string> args, std::ostream& err);
int runParsed(const RunOptions& options, Console console, FileSystem& files, LiveKeys* liveKeys);

}  // namespace

int runMachineCommand(std::span<const std::string> args, Console console, FileSystem& files) {
  const std::optional<RunOptions> options = parseOptions(args, console.err);
  if (!options) return kFailedStatus;
  std::unique_ptr<LiveKeys> liveKeys;
  if (!options->input && &console.in == &std::cin) liveKeys = openLiveKeys();
  return runParsed(*options, console, files, liveKeys.get());
}

int runMachineCommand(std::span<const std::string> args, Console console, FileSystem& files,
                      LiveKeys* liveKeys) {
  const std::optional<RunOptions> options = parseOptions(args, console.err);
  if (!options) return kFailedStatus;
  return runParsed(*options, console, files, options->input ? nullptr : liveKeys);
}

namespace {

// ---- The command line ----

std::optional<std::uint64_t> stepCount(std::string_view text) {
  if (text.empty() || text.size() > 20) return std::nullopt;
  std::uint64_t count = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (count > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return std::nullopt;
    count = count * 10 + digit;
  }
  return count;
}

// What an option's value is, or why it is not one.
std::optional<std::string> takeValue(RunOptions& options, std::string_view option,
                                     const std::string& value) {
  if (option == "--input") {
    options.input = value;
  } else if (option == "--steps") {
    const std::optional<std::uint64_t> count = stepCount(value);
    if (!count) return "--steps needs a number of steps in decimal, not '" + value + "'";
    options.stepLimit = *count;
  } else {
    const int address = wordValue(value);
    if (address < 0) {
      return "--start needs an address in the word notation (000 to 737), not '" + value + "'";
    }
    options.start = static_cast<std::uint8_t>(address);
  }
  return std::nullopt;
}

// Options may come in any order, each at most once; FILE is the one word that
// is not an option.
std::optional<std::string> readArguments(std::span<const std::string> args, RunOptions& options) {
  std::vector<std::string_view> seen;
  for (std::size_t at = 0; at < args.size(); ++at) {
    const std::string& word = args[at];
    const bool option = word.size() > 1 && word[0] == '-';
    if (option && std::find(seen.begin(), seen.end(), word) != seen.end()) {
      return word + " is given twice";
    }
    if (word == "--input" || word == "--steps" || word == "--start") {
      if (at + 1 == args.size()) return word + " needs a value";
      if (auto fault = takeValue(options, word, args[++at])) return fault;
    } else if (word == "--trace" || word == "--dump") {
      (word == "--trace" ? options.trace : options.dump) = true;
    } else if (option) {
      return "unknown option " + word;
    } else if (!options.file.empty()) {
      return "one file only: " + options.file + " and " + word;
    } else {
      options.file = word;
    }
    if (option) seen.push_back(word);
  }
  if (options.file.empty()) return "no file to run";
  return std::nullopt;
}

std::optional<RunOptions> parseOptions(std::span<const std::string> args, std::ostream& err) {
  RunOptions options;
  if (const std::optional<std::string> fault = readArguments(args, options)) {
    err << "ovrik: " << *fault << "\n" << kUsage;
    return std::nullopt;
  }
  return options;
}

// ---- Loading the program ----

std::optional<Program> loadProgram(const std::string& file, Console console, FileSystem& files);
RunEnd runProgram(Machine& machine, const MemoryImage& image, const RunOptions& options,
                  Console console, LiveKeys* liveKeys);
void reportEnd(RunEnd end, const Machine& machine, const RunOptions& options, std::ostream& err);

int runParsed(const RunOptions& options, Console console, FileSystem& files, LiveKeys* liveKeys) {
  const std::optional<Program> program = loadProgram(options.file, console, files);
  if (!program) return kFailedStatus;
  Machine machine = loadMachine(program->image, options.start.value_or(program->start));
  const RunEnd end = runProgram(machine, program->image, options, console, liveKeys);
  reportEnd(end, machine, options, console.err);
  switch (end) {
    case RunEnd::kHalted:
      return kHaltedStatus;
    case RunEnd::kWaitingForInput:
      return kWaitingStatus;
    case RunEnd::kStepLimit:
      break;
  }
  return kStepLimitStatus;
}

std::optional<std::string> listingBytes(const std::string& file, FileSystem& files,
                                        std::ostream& err) {
  std::string bytes;
  try {
    const std::unique_ptr<SourceFile> source = files.openSource(file);
    char buffer[4096];
    while (bytes.size() <= kLongestListing) {
      const std::size_t count = source->read(buffer, sizeof buffer);
      if (count == 0) break;
      bytes.append(buffer, count);
    }
    source->close();
  } catch (const FileFailure& failure) {
    err << file << ": error: the listing cannot be read (system error " << failure.code << ")\n";
    return std::nullopt;
  }
  if (bytes.size() > kLongestListing) {
    err << file << ": error: too long to be a listing\n";
    return std::nullopt;
  }
  return bytes;
}

bool isListing(const std::string& file) {
  return file.ends_with(".ovr");
}

// A listing is read as it is; any other file is a source, assembled as
// `ovrik -q FILE` does, listing and all.
std::optional<Program> loadProgram(const std::string& file, Console console, FileSystem& files) {
  std::variant<Program, LoadRefusal> loaded;
  if (isListing(file)) {
    const std::optional<std::string> bytes = listingBytes(file, files, console.err);
    if (!bytes) return std::nullopt;
    loaded = loadToRun(*bytes);
  } else {
    const std::unique_ptr<AssemblyState> state =
        assembleSourceFile(file, AssembleOptions{.quiet = true}, console, files);
    if (!state) return std::nullopt;
    loaded = loadToRun(*state);
  }
  if (auto* program = std::get_if<Program>(&loaded)) return std::move(*program);
  const LoadRefusal& refusal = std::get<LoadRefusal>(loaded);
  // A source is named with the .txt the assembler adds, as its own messages do.
  console.err << (isListing(file) ? file : sourceFileName(file));
  if (refusal.line > 0) console.err << ":" << refusal.line;
  console.err << ": error: " << refusal.message << "\n";
  return std::nullopt;
}

std::string address(std::uint8_t value) {
  return wordText(static_cast<std::int16_t>(value));
}

// ---- The run ----

// Port 0's keyboard input: the text of --input, standard input or the keys
// typed at the terminal.
class KeyboardInput {
 public:
  KeyboardInput(const RunOptions& options, std::istream& in, LiveKeys* liveKeys)
      : text_(options.input), in_(in), liveKeys_(liveKeys) {}

  // Before a run of `steps` steps: gives the keyboard every byte it could take
  // in them, so that a program sees its input as if all of it had been given
  // at the start, while endless input is read only as far as it is used.
  void supply(Keyboard& keyboard, std::uint64_t steps);
  // The machine waits on the empty queue: true when there was more to give.
  bool supplyMore(Keyboard& keyboard);
  bool interrupted() const { return interrupted_; }

 private:
  void giveKeys(Keyboard& keyboard, std::string_view keys);

  std::optional<std::string> text_;
  std::istream& in_;
  LiveKeys* liveKeys_;
  bool ended_ = false;
  bool interrupted_ = false;
};

void dropReadBytes(Keyboard& keyboard) {
  keyboard.queue.erase(0, keyboard.head);
  keyboard.head = 0;
}

void KeyboardInput::supply(Keyboard& keyboard, std::uint64_t steps) {
  if (ended_) return;
  if (text_) {
    keyboard.give(*text_);
    ended_ = true;
  } else if (liveKeys_ != nullptr) {
    giveKeys(keyboard, liveKeys_->typedKeys());
  } else {
    dropReadBytes(keyboard);
    char buffer[4096];
    while (keyboard.queue.size() < steps && !ended_) {
      in_.read(buffer, sizeof buffer);
      const auto count = static_cast<std::size_t>(in_.gcount());
      keyboard.give(std::string_view(buffer, count));
      ended_ = count == 0;
    }
  }
}

bool KeyboardInput::supplyMore(Keyboard& keyboard) {
  if (ended_) return false;
  if (liveKeys_ != nullptr) {
    giveKeys(keyboard, liveKeys_->waitForKeys());
  } else {
    supply(keyboard, 1);
  }
  return keyboard.ready();
}

// Ctrl-C ends the live input and with it the run, at once.
void KeyboardInput::giveKeys(Keyboard& keyboard, std::string_view keys) {
  if (keys.find(kCtrlC) != std::string_view::npos) {
    ended_ = interrupted_ = true;
    return;
  }
  dropReadBytes(keyboard);
  keyboard.give(keys);
}

void showDisplays(Machine& machine, Console console) {
  std::string& shown = machine.displays[0].received;
  if (!shown.empty()) {
    console.out.write(shown.data(), static_cast<std::streamsize>(shown.size()));
    console.out.flush();
    shown.clear();
  }
  std::string& errorShown = machine.displays[1].received;
  console.err.write(errorShown.data(), static_cast<std::streamsize>(errorShown.size()));
  errorShown.clear();
}

std::string traceLine(const MemoryImage& image, std::uint8_t at, std::uint8_t word,
                      const Machine& machine);

RunEnd runProgram(Machine& machine, const MemoryImage& image, const RunOptions& options,
                  Console console, LiveKeys* liveKeys) {
  KeyboardInput input(options, console.in, liveKeys);
  Keyboard& keyboard = machine.keyboards[0];
  for (;;) {
    const std::uint64_t left = options.stepLimit - std::min(options.stepLimit, machine.steps);
    const std::uint64_t slice = std::min(options.trace ? 1U : kSliceSteps, left);
    input.supply(keyboard, slice);
    // Ctrl-C while the program computes ends the run where it is, as a step limit would.
    if (input.interrupted()) return RunEnd::kStepLimit;
    const std::uint8_t at = machine.pc;
    const std::uint8_t word = machine.memory[at];
    const std::uint64_t stepsBefore = machine.steps;
    const RunResult ended = run(machine, machine.steps + slice);
    showDisplays(machine, console);
    if (options.trace && machine.steps != stepsBefore) {
      console.err << traceLine(image, at, word, machine);
    }
    if (ended.end == RunEnd::kHalted) return ended.end;
    if (ended.end == RunEnd::kStepLimit) {
      if (machine.steps >= options.stepLimit) return ended.end;
      continue;
    }
    // Only port 0's keyboard has keys to give.
    if (ended.port != 0 || !input.supplyMore(keyboard)) return ended.end;
  }
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

std::string finalLine(RunEnd end, const Machine& machine) {
  const std::string steps = std::to_string(machine.steps);
  const std::string after = address(machine.pc) + " after " + steps + " steps";
  const std::string ac = "; AC " + address(machine.ac) + "\n";
  switch (end) {
    case RunEnd::kHalted:
      return "halted at " + after + ac;
    case RunEnd::kWaitingForInput:
      return "waiting for input at " + after + ac;
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

void reportEnd(RunEnd end, const Machine& machine, const RunOptions& options, std::ostream& err) {
  err << finalLine(end, machine);
  if (options.dump) writeDump(machine, err);
  err.flush();
}

}  // namespace
}  // namespace ovrik
