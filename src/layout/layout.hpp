#pragma once

#include <cstdint>

#include "tables/tables.hpp"

namespace ovrik {

// True unless the word before slot of page is a skip instruction.
bool noSkipBefore(const AssemblyState& state, std::int16_t page, std::int16_t slot);
// True when control cannot fall into slot of page from the word before it.
bool isFlowBreak(const AssemblyState& state, std::int16_t page, std::int16_t slot);
// Chooses every page's insertion point, inserting a jump over it where needed.
void setInsertionPoints(AssemblyState& state);

// Turns every page's ARRAY and TABLE declarations into data words at its insertion point.
void placeDataBlocks(AssemblyState& state);

}  // namespace ovrik
