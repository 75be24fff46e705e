// ovrik --run: reads its options, loads a listing or assembles a source
// first, and hands the machine to the run with the keys and the Ctrl-C of the
// platform (or of a test).
#include "driver/runner.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <variant>

#include "driver/keyboard_input.hpp"
#include "driver/machine_run.hpp"
#include "driver/run_options.hpp"
#include "machine/load.hpp"
#include "machine/machine.hpp"

namespace ovrik {
namespace {

constexpr int kFailedStatus = 1;

// Far more than the longest listing the assembler can write (16 pages of 17
// lines of at most about 160 bytes): a larger file is no listing.
constexpr std::size_t kLongestListing = 1U << 20U;

struct Loaded {
  RunOptions options;
  Program program;
};

std::variant<Loaded, int> readAndLoad(std::span<const std::string> args, Console console,
                                      FileSystem& files);
int runLoaded(const Loaded& loaded, Console console, const RunPlatform& platform);

}  // namespace

int runMachineCommand(std::span<const std::string> args, Console console, FileSystem& files) {
  const std::variant<Loaded, int> loaded = readAndLoad(args, console, files);
  if (const int* status = std::get_if<int>(&loaded)) return *status;
  const RunOptions& options = std::get<Loaded>(loaded).options;
  // Ctrl-C is caught before the terminal changes mode: it never ends the
  // program with the terminal left in the run's mode.
  const std::unique_ptr<Interruption> interruption = catchInterrupts();
  std::unique_ptr<KeySource> keys;
  if (!options.input && &console.in == &std::cin) keys = openStandardInput();
  const RunPlatform platform{
      .keys = keys.get(),
      .interruption = interruption.get(),
      .outputAtTerminal = &console.out == &std::cout && isTerminal(StandardStream::kOutput),
      .errorsAtTerminal = &console.err == &std::cerr && isTerminal(StandardStream::kErrors),
  };
  return runLoaded(std::get<Loaded>(loaded), console, platform);
}

int runMachineCommand(std::span<const std::string> args, Console console, FileSystem& files,
                      const RunPlatform& platform) {
  const std::variant<Loaded, int> loaded = readAndLoad(args, console, files);
  if (const int* status = std::get_if<int>(&loaded)) return *status;
  return runLoaded(std::get<Loaded>(loaded), console, platform);
}

namespace {

int runLoaded(const Loaded& loaded, Console console, const RunPlatform& platform) {
  const MemoryImage& image = loaded.program.image;
  const RunOptions& options = loaded.options;
  Machine machine = loadMachine(image, options.start.value_or(loaded.program.start));
  if (platform.keys != nullptr || options.input) {
    return runToTheEnd(machine, image, options, console, platform);
  }
  // Without a key source of its own, the run reads console.in as it needs keys.
  const std::unique_ptr<KeySource> streamKeys = keysFromStream(console.in);
  RunPlatform withStream = platform;
  withStream.keys = streamKeys.get();
  return runToTheEnd(machine, image, options, console, withStream);
}

// ---- Loading the program ----

std::optional<Program> loadProgram(const std::string& file, Console console, FileSystem& files);
bool hasWords(const MemoryImage& image, const std::string& file, std::ostream& err);
std::string shownName(const std::string& file);

std::variant<Loaded, int> readAndLoad(std::span<const std::string> args, Console console,
                                      FileSystem& files) {
  std::variant<RunOptions, int> read = readRunOptions(args, console.out, console.err);
  if (const int* status = std::get_if<int>(&read)) return *status;
  const std::string file = std::get<RunOptions>(read).file;
  std::optional<Program> program = loadProgram(file, console, files);
  if (!program || !hasWords(program->image, shownName(file), console.err)) return kFailedStatus;
  return Loaded{std::move(std::get<RunOptions>(read)), std::move(*program)};
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

// The file a message is about: a source is named with the .txt the assembler
// adds, as its own messages do.
std::string shownName(const std::string& file) {
  return isListing(file) ? file : sourceFileName(file);
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
  console.err << shownName(file);
  if (refusal.line > 0) console.err << ":" << refusal.line;
  console.err << ": error: " << refusal.message << "\n";
  return std::nullopt;
}

// A program without a word would run a million zero words to the step limit.
bool hasWords(const MemoryImage& image, const std::string& file, std::ostream& err) {
  const auto listed = [](const ImageWord& word) { return word.listed; };
  if (std::any_of(image.words.begin(), image.words.end(), listed)) return true;
  err << file << ": error: the program has no words, so there is nothing to run\n";
  return false;
}

}  // namespace
}  // namespace ovrik
