#include "pools/pools.hpp"

namespace ovrik {

std::int16_t findInPage(const AssemblyState&, std::int16_t, TableId, std::string_view) {
  return -1;
}
std::int16_t findInTable(const AssemblyState&, TableId, std::string_view) {
  return -1;
}
void addToPool(AssemblyState&, TableId, std::int16_t, std::int16_t) {}
void buildPagePools(AssemblyState&) {}

}  // namespace ovrik
