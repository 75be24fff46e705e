#pragma once

// The notes that follow the assembly pass's errors: what the message's words
// and numbers mean, and what the source has that comes close to what is missing.

#include <cstdint>
#include <string_view>
#include <vector>

#include "tables/tables.hpp"

namespace ovrik {

// After "No label found for NAME": word, of page, needed the address of NAME;
// an address constant (the assembler's or the source's) or a VAR= variable.
std::vector<Note> missingLabelNotes(const AssemblyState& state, int page, const LineRecord& word,
                                    std::string_view name, std::int32_t line);

// After "Instruction NAME is not valid in page p line s.".
std::vector<Note> invalidInstructionNotes(int page, int slot, const LineRecord& word,
                                          std::string_view name);

// After "Address not found for NAME.": the operand of word names no word of page.
std::vector<Note> missingAddressNotes(int page, const LineRecord& word, std::string_view name);

// After "IOT port PORT is not valid.".
std::vector<Note> iotPortNotes(const LineRecord& word, std::string_view port);

}  // namespace ovrik
