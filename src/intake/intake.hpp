#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tables/byte_stream.hpp"
#include "tables/tables.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {

// The first pass: files every source line into the tables.
void readSource(AssemblyState& state, ByteSource& source);

// The code of a constant literal, "" for a text that has none.
std::string literalCode(std::string_view text);
bool isConstantLiteral(std::string_view text);

struct IntegerReading {
  std::int16_t value = 0;  // 0 whenever the reading failed
  bool ok = false;
  std::int64_t whole = 0;  // the number before it is reduced to 16 bits
};
// Decimal, "$" hexadecimal or "%" binary, with optional leading blanks and sign;
// the number is reduced to its lowest 16 bits.
IntegerReading readInteger(std::string_view text);

}  // namespace ovrik
