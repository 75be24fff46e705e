#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pools/pools.hpp"

namespace ovrik {

namespace {

// "TAD I PTR": mnemonic, blank, "I", blank, then the pointer word's name.
constexpr std::size_t kIndirectPrefixLength = 6;

// Labels never hold more than a field's worth, so a longer name could never match in full.
std::string_view asStored(std::string_view name) {
  return name.substr(0, std::min(name.size(), kFieldLength));
}

FillRow countRowOf(TableId table) {
  return table == kPoolTable ? kPoolCount : kCodeCount;
}

void appendToPool(AssemblyState& state, std::int16_t page, const LineRecord& entry) {
  std::int16_t& count = state.fill(kPoolCount, page);
  // Each word of a page brings at most one entry, so a full pool means a page past
  // its 16 words; it could never be placed, and the slot after it is another page's.
  if (count >= kPageSize) reportWordCountExceeded(page);
  state.word(kPoolTable, page, count) = entry;
  ++count;
}

// A variable lives in one page only: once a page has it, no other page may take it.
void removeVariable(AssemblyState& state, std::int16_t index) {
  std::int16_t& count = state.tableCount[static_cast<std::size_t>(kVariableTable)];
  Table& variables = state.variableTable;
  const auto first = variables.begin() + index;
  if (index + 1 < count) std::copy(first + 1, variables.begin() + count, first);
  --count;
}

std::string_view operandOfIndirect(std::string_view body) {
  return body.substr(std::min(body.size(), kIndirectPrefixLength));
}

bool isNamedInPage(const AssemblyState& state, std::int16_t page, std::string_view name) {
  return findInPage(state, page, kCodeTable, name) >= 0 ||
         findInPage(state, page, kPoolTable, name) >= 0;
}

void reportMissingOperand(std::string_view name, std::int16_t page) {
  errorStop("Error: No variable or constant for " + std::string(name) + " in page " +
            decimal(page) + ".");
}

// The pointer word of an indirect instruction must be a word of the instruction's page.
void bringPointerIntoPool(AssemblyState& state, std::int16_t page, std::string_view name) {
  if (isNamedInPage(state, page, name)) return;
  for (const TableId table : {kVariableTable, kConstantTable}) {
    const std::int16_t index = findInTable(state, table, name);
    if (index >= 0) {
      addToPool(state, table, page, index);
      return;
    }
  }
  reportMissingOperand(name, page);
}

void buildPagePool(AssemblyState& state, std::int16_t page) {
  state.fill(kPoolCount, page) = 0;
  const std::int16_t words = state.fill(kCodeCount, page);
  for (std::int16_t slot = 0; slot < words; ++slot) {
    const FieldText& body = state.codeWord(page, slot).body;
    if (body.contains(" I ")) bringPointerIntoPool(state, page, operandOfIndirect(body));
  }
}

}  // namespace

std::int16_t findInPage(const AssemblyState& state, std::int16_t page, TableId table,
                        std::string_view name) {
  const std::string_view wanted = asStored(name);
  const std::int16_t count = std::min(state.fill(countRowOf(table), page), kPageSize);
  for (std::int16_t slot = 0; slot < count; ++slot) {
    if (state.word(table, page, slot).label == wanted) return slot;
  }
  return -1;
}

std::int16_t findInTable(const AssemblyState& state, TableId table, std::string_view name) {
  const std::string_view wanted = asStored(name);
  const Table& entries = state.table(table);
  const std::int16_t count =
      std::min(state.tableCount[static_cast<std::size_t>(table)], kTableSize);
  for (std::int16_t index = 0; index < count; ++index) {
    if (entries[static_cast<std::size_t>(index)].label == wanted) return index;
  }
  return -1;
}

void addToPool(AssemblyState& state, TableId table, std::int16_t page, std::int16_t index) {
  appendToPool(state, page, state.table(table)[static_cast<std::size_t>(index)]);
  if (table == kVariableTable) removeVariable(state, index);
}

void buildPagePools(AssemblyState& state) {
  for (std::int16_t page = state.firstPage; page <= state.lastPage; ++page) {
    buildPagePool(state, page);
  }
}

}  // namespace ovrik
