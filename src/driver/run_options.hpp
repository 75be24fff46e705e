#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <variant>

namespace ovrik {

// What `ovrik --run` was asked to do.
struct RunOptions {
  std::optional<std::string> input;  // --input: the keys of port 0, instead of standard input
  std::uint64_t stepLimit = 1'000'000;
  std::optional<std::uint8_t> start;
  bool trace = false;
  bool dump = false;
  std::string file;
};

// The words after --run: the options, or the exit status when there is
// nothing to run (0 after --help printed the usage on out, 1 after a mistake
// was reported on err).
std::variant<RunOptions, int> readRunOptions(std::span<const std::string> args, std::ostream& out,
                                             std::ostream& err);

}  // namespace ovrik
