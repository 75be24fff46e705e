#include "layout/layout.hpp"

namespace ovrik {

void placeDataBlocks(AssemblyState&) {}

}  // namespace ovrik
