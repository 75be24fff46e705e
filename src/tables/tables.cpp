#include "tables/tables.hpp"

#include <string>
#include <utility>

#include "tables/diagnostics.hpp"

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

void errorStop(std::string message, std::int32_t line, std::vector<Note> notes) {
  throw ErrorStop{std::move(message), line, std::move(notes)};
}

void addWarning(AssemblyState& state, std::int32_t line, std::string text, WarningKind kind) {
  std::int32_t& given = state.warningsGiven[static_cast<std::size_t>(kind)];
  if (given < kTableSize) state.warnings.push_back({line, std::move(text), kind});
  ++given;
}

std::string shownText(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    if (c == '\t') {
      shown += "\\t";
    } else {
      shown += c;
    }
  }
  return shown;
}

std::string quoted(std::string_view text) {
  std::string shown(1, '"');
  shown += shownText(text);
  shown += '"';
  return shown;
}

void checkPageCapacity(const AssemblyState& state, int page, int adding, std::int32_t line,
                       WordKind addingKind) {
  if (state.fill(kCodeCount, page) + adding > kPageSize) {
    reportWordCountExceeded(state, page, line, adding, addingKind);
  }
}

void reportWordCountExceeded(const AssemblyState& state, int page, std::int32_t line, int adding,
                             WordKind addingKind) {
  errorStop("Error: Word count exceeded in page " + std::to_string(page) + ".", line,
            {pageNeedNote(state, page, adding, addingKind)});
}

}  // namespace ovrik
