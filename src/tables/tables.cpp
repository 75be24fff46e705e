#include "tables/tables.hpp"

#include <string>
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

void checkPageCapacity(const AssemblyState& state, int page, int adding, std::int32_t line) {
  if (state.fill(kCodeCount, page) + adding > kPageSize) reportWordCountExceeded(page, line);
}

void reportWordCountExceeded(int page, std::int32_t line) {
  errorStop("Error: Word count exceeded in page " + std::to_string(page) + ".", line);
}

}  // namespace ovrik
