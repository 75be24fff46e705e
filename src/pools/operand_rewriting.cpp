#include "pools/pools.hpp"

namespace ovrik {

void rewriteOperands(AssemblyState&) {}

}  // namespace ovrik
