#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pools/pools.hpp"
#include "tables/diagnostics.hpp"

namespace ovrik {
namespace {

void buildPagePool(AssemblyState& state, int page);

}  // namespace

void buildPagePools(AssemblyState& state) {
  for (int page = state.firstPage; page <= state.lastPage; ++page) buildPagePool(state, page);
}

namespace {

// Labels never hold more than a field's worth, so a longer name could never match in full.
std::string_view asStored(std::string_view name) {
  return name.substr(0, std::min(name.size(), kFieldLength));
}

}  // namespace

int findInPage(const AssemblyState& state, int page, TableId table, std::string_view name) {
  const std::string_view wanted = asStored(name);
  const FillRow countRow = table == kPoolTable ? kPoolCount : kCodeCount;
  const int count = std::min<int>(state.fill(countRow, page), kPageSize);
  for (int slot = 0; slot < count; ++slot) {
    if (state.word(table, page, slot).label == wanted) return slot;
  }
  return -1;
}

bool isNamedInPage(const AssemblyState& state, int page, std::string_view name) {
  return findInPage(state, page, kCodeTable, name) >= 0 ||
         findInPage(state, page, kPoolTable, name) >= 0;
}

int findInTable(const AssemblyState& state, TableId table, std::string_view name) {
  const std::string_view wanted = asStored(name);
  const Table& entries = state.table(table);
  const int count = std::min<int>(state.count(table), kTableSize);
  for (int index = 0; index < count; ++index) {
    if (entries[static_cast<std::size_t>(index)].label == wanted) return index;
  }
  return -1;
}

namespace {

void removeVariable(AssemblyState& state, int index);

}  // namespace

void addToPool(AssemblyState& state, TableId table, int page, int index) {
  appendToPool(state, page, state.table(table)[static_cast<std::size_t>(index)]);
  if (table == kVariableTable) removeVariable(state, index);
}

void appendToPool(AssemblyState& state, int page, const LineRecord& entry) {
  std::int16_t& count = state.fill(kPoolCount, page);
  // Each word of a page brings at most one entry, so a full pool means a page past
  // its 16 words; it could never be placed, and the slot after it is another page's.
  if (count >= kPageSize) {
    reportWordCountExceeded(state, page, state.directiveLine[static_cast<std::size_t>(page)], 1,
                            entry.kind);
  }
  state.word(kPoolTable, page, count) = entry;
  ++count;
}

namespace {

// "TAD I PTR": mnemonic, blank, "I", blank, then the pointer word's name.
constexpr std::size_t kIndirectPrefixLength = 6;

void bringPointerIntoPool(AssemblyState& state, int page, const LineRecord& instruction);
std::vector<Note> pointerNotes(const AssemblyState& state, std::string_view name,
                               std::int32_t line);

void buildPagePool(AssemblyState& state, int page) {
  state.fill(kPoolCount, page) = 0;
  const int words = state.fill(kCodeCount, page);
  for (int slot = 0; slot < words; ++slot) {
    const LineRecord& word = state.codeWord(page, slot);
    if (word.body.contains(" I ")) bringPointerIntoPool(state, page, word);
  }
}

// The pointer word of an indirect instruction must be a word of the instruction's page.
void bringPointerIntoPool(AssemblyState& state, int page, const LineRecord& instruction) {
  const std::string_view body = instruction.body;
  const std::string_view name = body.substr(std::min(body.size(), kIndirectPrefixLength));
  if (isNamedInPage(state, page, name)) return;
  for (const TableId table : {kVariableTable, kConstantTable}) {
    const int index = findInTable(state, table, name);
    if (index >= 0) {
      addToPool(state, table, page, index);
      return;
    }
  }
  errorStop("Error: No variable or constant for " + std::string(name) + " in page " +
                std::to_string(page) + ".",
            instruction.line, pointerNotes(state, name, instruction.line));
}

// Where the pointer is, when it is somewhere: a variable another page took
// first, or a word of another page.
std::vector<Note> pointerNotes(const AssemblyState& state, std::string_view name,
                               std::int32_t line) {
  const std::string text(name);
  if (const std::optional<Placed> found = labelled(state, name); found && found->page >= 0) {
    const std::string other = std::to_string(found->page);
    if (found->table == kPoolTable && found->record->kind == WordKind::kVariable) {
      return {{found->record->line, text + " is a variable, and page " + other +
                                        " took it first: a variable lives in one page only, "
                                        "so give this page a pointer of its own"}};
    }
    return {{found->record->line,
             text + " is a word of page " + other +
                 ": the pointer of an indirect instruction must be a word of its own page, "
                 "or a variable or constant"}};
  }
  if (const std::optional<Note> nearMiss = nearMissOf(state, name)) return {*nearMiss};
  return {{line, "no line declares " + text}};
}

// A variable lives in one page only: once a page has it, no other page may take it.
void removeVariable(AssemblyState& state, int index) {
  std::int16_t& count = state.count(kVariableTable);
  Table& variables = state.variableTable;
  const auto first = variables.begin() + index;
  if (index + 1 < count) std::copy(first + 1, variables.begin() + count, first);
  --count;
}

}  // namespace
}  // namespace ovrik
