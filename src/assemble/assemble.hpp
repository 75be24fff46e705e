#pragma once

#include <string_view>

#include "tables/byte_stream.hpp"
#include "tables/tables.hpp"

namespace ovrik {

// Gives every word of every page its code.
void assembleWords(AssemblyState& state);

// True when the assembly encodes body as an instruction: not an address
// constant, an initialised variable or a word that keeps the code it was given.
bool isInstructionBody(std::string_view body);

// Warns of what assembled but is likely not what was meant: a label defined
// twice in a page, a far reference to a label of several pages, a code that
// is no word of the machine.
void findDoubtfulWords(AssemblyState& state);

// Writes every page from the first to the last, one line per listed word.
void writeListing(const AssemblyState& state, ByteSink& listing);
// One word line from the label column on, line end included.
void writeListingLine(const LineRecord& record, ByteSink& listing);

}  // namespace ovrik
