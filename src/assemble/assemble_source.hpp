#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/byte_stream.hpp"
#include "tables/tables.hpp"

namespace ovrik {

enum class Severity : std::uint8_t { kError, kWarning, kNote };

// Something the assembler says about a source line (0 when none applies).
struct Diagnostic {
  std::int32_t line = 0;
  Severity severity = Severity::kError;
  std::string message;  // an error without the "Error: " the console shows before it

  friend bool operator==(const Diagnostic&, const Diagnostic&) = default;
};

// Everything one run of the passes over a source gives, for every front end:
// the dialogue, the command line, the runner and the playground.
struct Assembly {
  std::unique_ptr<AssemblyState> state;  // the final state, as far as the passes got
  bool ok = false;                       // every pass ran through
  // What the dialogue prints after its prompt for this source: nothing, or
  // the "Error:" line with its CR LF.
  std::string console;
  std::optional<std::string> listing;  // the listing's bytes, when ok
  // The warnings in line order, then the error, then the error's notes.
  std::vector<Diagnostic> diagnostics;

  // The error the passes stopped at, or null.
  const Diagnostic* error() const;
};

// Assembles a source in memory, from its first byte to the listing, once.
// Throws FileFailure when the source cannot be read.
Assembly assembleSource(ByteSource& source);
Assembly assembleSource(std::string_view bytes);

}  // namespace ovrik
