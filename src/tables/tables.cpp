#include "tables/tables.hpp"

#include <utility>

namespace ovrik {

Table& AssemblyState::table(TableId id) {
  return const_cast<Table&>(std::as_const(*this).table(id));
}

const Table& AssemblyState::table(TableId id) const {
  switch (id) {
    case kCodeTable:
      return codeTable;
    case kPoolTable:
      return poolTable;
    case kDataTable:
      return dataTable;
    case kVariableTable:
      return variableTable;
    case kConstantTable:
      break;
  }
  return constantTable;
}

void errorStop(std::string message, std::int32_t line) {
  throw ErrorStop{std::move(message), line};
}

void checkPageCapacity(const AssemblyState& state, std::int16_t page, std::int16_t adding) {
  if (state.fill(kCodeCount, page) + adding > kPageSize) reportWordCountExceeded(page);
}

void reportWordCountExceeded(std::int16_t page) {
  errorStop("Error: Word count exceeded in page " + decimal(page) + ".");
}

std::string decimal(int value) {
  return std::to_string(value);
}

}  // namespace ovrik
