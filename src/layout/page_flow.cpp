#include "layout/layout.hpp"

namespace ovrik {

bool noSkipBefore(const AssemblyState&, std::int16_t, std::int16_t) {
  return true;
}
bool isFlowBreak(const AssemblyState&, std::int16_t, std::int16_t) {
  return true;
}
void setInsertionPoints(AssemblyState&) {}

}  // namespace ovrik
