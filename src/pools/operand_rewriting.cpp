#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pools/pools.hpp"

namespace ovrik {

namespace {

constexpr std::array<std::string_view, 7> kMemoryReferenceMnemonics = {
    "AND ", "TAD ", "ISZ ", "INC ", "DCA ", "JMS ", "JMP "};
constexpr std::size_t kMnemonicLength = 4;  // the mnemonic and its blank

bool isDirectMemoryReference(const FieldText& body) {
  if (body.contains(" I ")) return false;
  return std::any_of(kMemoryReferenceMnemonics.begin(), kMemoryReferenceMnemonics.end(),
                     [&](std::string_view mnemonic) { return body.startsWith(mnemonic); });
}

bool isInPage(const AssemblyState& state, std::int16_t page, std::string_view name) {
  return findInPage(state, page, kCodeTable, name) >= 0 ||
         findInPage(state, page, kPoolTable, name) >= 0;
}

bool takeFromTable(AssemblyState& state, TableId table, std::int16_t page, std::string_view name) {
  const std::int16_t index = findInTable(state, table, name);
  if (index < 0) return false;
  addToPool(state, table, page, index);
  return true;
}

LineRecord addressConstantFor(std::string_view target) {
  LineRecord constant;
  constant.label = std::string(target) + "A";
  constant.body = "A(" + std::string(target) + ")";
  return constant;
}

LineRecord fillerWord() {
  LineRecord filler;
  filler.body = "BLANK";
  filler.code = "000";
  return filler;
}

void addAddressConstant(AssemblyState& state, std::int16_t page, std::string_view target) {
  std::int16_t& count = state.fill(kPoolCount, page);
  // Each word of a page brings at most one entry, so a full pool means a page past
  // its 16 words; it could never be placed, and the slot after it is another page's.
  if (count >= kPageSize) reportWordCountExceeded(page);
  state.word(kPoolTable, page, count) = addressConstantFor(target);
  ++count;
}

// A word of another page is out of a direct operand's reach: the instruction goes
// through a word of its own page that holds the target's address. All instructions
// of a page that reach the same target share that word.
void reachThroughAddressConstant(AssemblyState& state, std::int16_t page, FieldText& body,
                                 const std::string& target) {
  body = std::string(body.view().substr(0, kMnemonicLength)) + "I " + target + "A";
  if (isInPage(state, page, target + "A")) return;
  addAddressConstant(state, page, target);
}

void resolveDirectOperand(AssemblyState& state, std::int16_t page, std::int16_t slot) {
  FieldText& body = state.codeWord(page, slot).body;
  if (!isDirectMemoryReference(body)) return;
  const std::string target(body.view().substr(kMnemonicLength));
  if (isInPage(state, page, target)) return;
  if (takeFromTable(state, kVariableTable, page, target)) return;
  if (takeFromTable(state, kConstantTable, page, target)) return;
  reachThroughAddressConstant(state, page, body, target);
}

bool isVariable(const LineRecord& entry) {
  return entry.body == "VAR" || entry.body.startsWith("VAR=");
}

// Variables lead the pool; within each kind the entries keep their order of first use.
void putVariablesFirst(AssemblyState& state, std::int16_t page) {
  const auto first = state.poolTable.begin() + page * kPageSize;
  const auto end = first + state.fill(kPoolCount, page);
  auto nextVariable = first;
  for (auto entry = first; entry != end; ++entry) {
    if (!isVariable(*entry)) continue;
    std::rotate(nextVariable, entry, entry + 1);
    ++nextVariable;
  }
}

// Earlier passes keep the insertion point within the page's words; the clamp only
// keeps odd input from moving words outside the page.
std::int16_t insertionPointOf(const AssemblyState& state, std::int16_t page) {
  return std::clamp(state.fill(kInsertionPoint, page), std::int16_t{0},
                    state.fill(kCodeCount, page));
}

void padPool(AssemblyState& state, std::int16_t page, std::int16_t freeWords, bool fillersFirst) {
  const auto first = state.poolTable.begin() + page * kPageSize;
  const std::int16_t entries = state.fill(kPoolCount, page);
  if (fillersFirst) {
    std::copy_backward(first, first + entries, first + freeWords);
    std::fill(first, first + (freeWords - entries), fillerWord());
  } else {
    std::fill(first + entries, first + freeWords, fillerWord());
  }
  state.fill(kPoolCount, page) = freeWords;
}

void placePool(AssemblyState& state, std::int16_t page) {
  const std::int16_t words = state.fill(kCodeCount, page);
  const auto freeWords = static_cast<std::int16_t>(kPageSize - words);
  // Checked before anything moves, so a page that cannot take its pool is left as it was.
  if (state.fill(kPoolCount, page) > freeWords) reportWordCountExceeded(page);
  const std::int16_t at = insertionPointOf(state, page);
  padPool(state, page, freeWords, at == 0);
  const auto code = state.codeTable.begin() + page * kPageSize;
  std::copy_backward(code + at, code + words, code + kPageSize);
  const auto pool = state.poolTable.begin() + page * kPageSize;
  std::copy(pool, pool + freeWords, code + at);
  state.fill(kCodeCount, page) = kPageSize;
  state.fill(kInsertionPoint, page) = static_cast<std::int16_t>(at + freeWords);
}

// Filler words at the end of the program hold nothing worth listing.
void trimLastPage(AssemblyState& state) {
  if (state.firstPage > state.lastPage) return;
  std::int16_t count = kPageSize;
  while (count > 0 &&
         state.codeWord(state.lastPage, static_cast<std::int16_t>(count - 1)).body == "BLANK") {
    --count;
  }
  state.fill(kCodeCount, state.lastPage) = count;
}

void rewritePage(AssemblyState& state, std::int16_t page) {
  const std::int16_t words = state.fill(kCodeCount, page);
  for (std::int16_t slot = 0; slot < words; ++slot) resolveDirectOperand(state, page, slot);
  putVariablesFirst(state, page);
  placePool(state, page);
}

}  // namespace

void rewriteOperands(AssemblyState& state) {
  for (std::int16_t page = state.firstPage; page <= state.lastPage; ++page) {
    rewritePage(state, page);
  }
  trimLastPage(state);
}

}  // namespace ovrik
