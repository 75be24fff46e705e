#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "machine/machine.hpp"
#include "tables/tables.hpp"

namespace ovrik {

// A program the machine can run: every word has a value.
struct Program {
  MemoryImage image;
  std::uint8_t start = 0;  // where the run starts unless told otherwise
};

// Why a program is not run.
struct LoadRefusal {
  std::int32_t line = 0;  // the line of the file at fault, 0 when none applies
  std::string message;    // as the runner shows it after "FILE:LINE: error: "
  int address = -1;       // the word without a value, -1 when a listing is refused as a whole
};

// The one road from an assembly or a listing to memory. A word whose code is
// no word of the machine (an empty code, "12" from #12) would run as some
// guess of ours: such a program is refused, never loaded in part. A machine
// is made from a Program with loadMachine(program.image, program.start).
std::variant<Program, LoadRefusal> loadToRun(const AssemblyState& state);
std::variant<Program, LoadRefusal> loadToRun(std::string_view listingBytes);

}  // namespace ovrik
