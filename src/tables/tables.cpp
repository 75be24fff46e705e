#include "tables/tables.hpp"

#include <algorithm>
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

std::int32_t labelLine(const AssemblyState& state, const LineRecord& word) {
  if (word.kind != WordKind::kData || word.label.empty()) return word.line;
  const std::string_view label = word.label;
  const std::string_view name = label.substr(0, label.find('['));
  std::int32_t declaration = 0;
  for (const LineRecord& entry : state.dataTable) {
    if (entry.line == word.line && entry.body.startsWith(kArrayStart)) return word.line;
    const bool earlierTable = entry.line < word.line && entry.body.startsWith(kTableStart);
    if (earlierTable && entry.label == name) declaration = std::max(declaration, entry.line);
  }
  return declaration != 0 ? declaration : word.line;
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
