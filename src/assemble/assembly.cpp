#include "assemble/assemble.hpp"

namespace ovrik {

void assembleWords(AssemblyState&) {}

}  // namespace ovrik
