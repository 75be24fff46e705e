// The command line of `ovrik --run`: options in any order, each at most once,
// and one FILE.
#include "driver/run_options.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <ostream>
#include <string_view>
#include <vector>

#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

constexpr int kHelpStatus = 0;
constexpr int kMistakeStatus = 1;

constexpr std::string_view kUsage =
    "usage: ovrik --run [--input TEXT] [--steps N] [--start ADDR] [--trace] [--dump] FILE\n";

constexpr std::string_view kHelp =
    "\n"
    "Runs FILE on the machine: a listing (FILE.ovr) as it is, any other file\n"
    "as a source, assembled first as `ovrik -q FILE` does.\n"
    "\n"
    "  --input TEXT   the keys of port 0 (else standard input: read when the\n"
    "                 program waits for a key; at a terminal each key as it is\n"
    "                 pressed, Enter as a line feed)\n"
    "  --steps N      stop after N steps (default 1000000)\n"
    "  --start ADDR   start at ADDR, in the word notation\n"
    "  --trace        write each step to standard error\n"
    "  --dump         write the memory to standard error at the end\n"
    "  --help         print this and run nothing\n"
    "\n"
    "The display of port 0 goes to standard output, that of port 1 and the line\n"
    "that tells how the run ended to standard error. Ctrl-C ends the run as\n"
    "interrupted, after the step in progress. Exit status: 0 halted, 2 waiting\n"
    "for input, 3 step limit, 130 interrupted, 1 the program could not be run.\n";

bool asksForHelp(std::span<const std::string> args);
std::optional<std::string> readArguments(std::span<const std::string> args, RunOptions& options);

}  // namespace

std::variant<RunOptions, int> readRunOptions(std::span<const std::string> args, std::ostream& out,
                                             std::ostream& err) {
  if (asksForHelp(args)) {
    out << kUsage << kHelp;
    return kHelpStatus;
  }
  RunOptions options;
  if (const std::optional<std::string> fault = readArguments(args, options)) {
    err << "ovrik: " << *fault << "\n" << kUsage;
    return kMistakeStatus;
  }
  return options;
}

namespace {

bool takesValue(std::string_view option) {
  return option == "--input" || option == "--steps" || option == "--start";
}

// --help anywhere an option can be, whatever else the line holds.
bool asksForHelp(std::span<const std::string> args) {
  for (std::size_t at = 0; at < args.size(); ++at) {
    if (args[at] == "--help") return true;
    if (takesValue(args[at])) ++at;
  }
  return false;
}

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

// FILE is the one word that is not an option.
std::optional<std::string> readArguments(std::span<const std::string> args, RunOptions& options) {
  std::vector<std::string_view> seen;
  for (std::size_t at = 0; at < args.size(); ++at) {
    const std::string& word = args[at];
    const bool option = word.size() > 1 && word[0] == '-';
    if (option && std::find(seen.begin(), seen.end(), word) != seen.end()) {
      return word + " is given twice";
    }
    if (takesValue(word)) {
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

}  // namespace
}  // namespace ovrik
