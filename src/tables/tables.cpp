#include "tables/tables.hpp"

#include <algorithm>
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

void addWarning(AssemblyState& state, std::int32_t line, std::string text) {
  if (state.warnings.size() < kTableSize) state.warnings.push_back({line, std::move(text)});
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

void checkPageCapacity(const AssemblyState& state, int page, int adding, std::int32_t line) {
  if (state.fill(kCodeCount, page) + adding > kPageSize) reportWordCountExceeded(page, line);
}

void reportWordCountExceeded(int page, std::int32_t line) {
  errorStop("Error: Word count exceeded in page " + std::to_string(page) + ".", line);
}

}  // namespace ovrik
