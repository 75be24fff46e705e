#pragma once

#include "tables/tables.hpp"

namespace ovrik {

// Chooses every page's insertion point, inserting a jump over it where needed.
void setInsertionPoints(AssemblyState& state);
// True unless the word before slot of page is a skip instruction.
bool noSkipBefore(const AssemblyState& state, int page, int slot);
// True when control cannot fall into slot of page from the word before it.
bool isFlowBreak(const AssemblyState& state, int page, int slot);
// Moves the words of page from slot `from` on up by `by` slots, the highest first.
void moveWordsUp(AssemblyState& state, int page, int from, int by);

// Turns every page's ARRAY and TABLE declarations into data words at its insertion point.
void placeDataBlocks(AssemblyState& state);

}  // namespace ovrik
