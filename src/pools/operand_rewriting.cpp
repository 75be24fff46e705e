#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "pools/pools.hpp"
#include "tables/diagnostics.hpp"
#include "tables/mnemonics.hpp"

namespace ovrik {
namespace {

void rewritePage(AssemblyState& state, int page);
void trimLastPage(AssemblyState& state);

}  // namespace

void rewriteOperands(AssemblyState& state) {
  for (int page = state.firstPage; page <= state.lastPage; ++page) rewritePage(state, page);
  trimLastPage(state);
}

namespace {

void resolveDirectOperand(AssemblyState& state, int page, int slot);
void putVariablesFirst(AssemblyState& state, int page);
void placePool(AssemblyState& state, int page);

void rewritePage(AssemblyState& state, int page) {
  const int words = state.fill(kCodeCount, page);
  for (int slot = 0; slot < words; ++slot) resolveDirectOperand(state, page, slot);
  putVariablesFirst(state, page);
  placePool(state, page);
}

constexpr std::size_t kMnemonicLength = 4;  // a memory reference's mnemonic and its blank

bool isDirectMemoryReference(const FieldText& body);
void checkMadeAddressConstantIsMeant(const AssemblyState& state, int page,
                                     std::string_view operand);
bool takeFromTable(AssemblyState& state, TableId table, int page, std::string_view name);
void reachThroughAddressConstant(AssemblyState& state, int page, LineRecord& instruction,
                                 const std::string& target);

void resolveDirectOperand(AssemblyState& state, int page, int slot) {
  LineRecord& instruction = state.codeWord(page, slot);
  if (!isDirectMemoryReference(instruction.body)) return;
  const std::string target(instruction.body.view().substr(kMnemonicLength));
  if (findInPage(state, page, kCodeTable, target) >= 0) return;
  if (findInPage(state, page, kPoolTable, target) >= 0) {
    checkMadeAddressConstantIsMeant(state, page, target);
    return;
  }
  if (takeFromTable(state, kVariableTable, page, target)) return;
  if (takeFromTable(state, kConstantTable, page, target)) return;
  reachThroughAddressConstant(state, page, instruction, target);
}

// A memory reference's mnemonic and its blank, and no "I " after them.
bool isDirectMemoryReference(const FieldText& body) {
  if (body.contains(" I ") || !body.contains(" ")) return false;
  const Mnemonic* mnemonic = mnemonicOf(body);
  return mnemonic != nullptr && mnemonic->isMemoryReference();
}

bool takeFromTable(AssemblyState& state, TableId table, int page, std::string_view name) {
  const int index = findInTable(state, table, name);
  if (index < 0) return false;
  addToPool(state, table, page, index);
  return true;
}

void checkOwnAddressConstant(const AssemblyState& state, int page, const std::string& target);

// A word of another page is out of a direct operand's reach: the instruction goes
// through a word of its own page that holds the target's address. All instructions
// of a page that reach the same target share that word.
void reachThroughAddressConstant(AssemblyState& state, int page, LineRecord& instruction,
                                 const std::string& target) {
  FieldText& body = instruction.body;
  body = std::string(body.view().substr(0, kMnemonicLength)) + "I " + target + "A";
  instruction.operandRewritten = true;
  if (isNamedInPage(state, page, target + "A")) {
    checkOwnAddressConstant(state, page, target);
    return;
  }
  LineRecord constant;
  constant.label = target + "A";
  constant.body = "A(" + target + ")";
  constant.line = instruction.line;
  constant.kind = WordKind::kAddressConstant;
  appendToPool(state, page, constant);
}

// The words of the page, then its pool, in the order a lookup meets them.
const LineRecord& firstNamedInPage(const AssemblyState& state, int page, std::string_view name) {
  const int slot = findInPage(state, page, kCodeTable, name);
  if (slot >= 0) return state.codeWord(page, slot);
  return state.word(kPoolTable, page, findInPage(state, page, kPoolTable, name));
}

[[noreturn]] void reportClash(std::string_view name, int page, std::int32_t line) {
  errorStop("Error: Label " + std::string(name) +
                " clashes with a name the assembler makes in page " + std::to_string(page) + ".",
            line, {madeNameNote(name, page, line)});
}

// X + "A" names the word that holds the address of X. A word of the page that
// carries that name for anything else would take the reference to X.
void checkOwnAddressConstant(const AssemblyState& state, int page, const std::string& target) {
  const std::string name = target + "A";
  const LineRecord& named = firstNamedInPage(state, page, name);
  if (named.body != FieldText("A(" + target + ")")) {
    reportClash(named.label, page, labelLine(state, named));
  }
}

const LineRecord* declaredElsewhere(const AssemblyState& state, std::string_view name,
                                    const FieldText& body);

// An operand that names an address constant the assembler made for another
// instruction would read the address, not the word the source declared.
void checkMadeAddressConstantIsMeant(const AssemblyState& state, int page,
                                     std::string_view operand) {
  const LineRecord& pooled =
      state.word(kPoolTable, page, findInPage(state, page, kPoolTable, operand));
  if (pooled.kind != WordKind::kAddressConstant) return;
  const LineRecord* declared = declaredElsewhere(state, operand, pooled.body);
  if (declared != nullptr) reportClash(declared->label, page, labelLine(state, *declared));
}

bool isWrittenInTheSource(const LineRecord& word) {
  return word.kind != WordKind::kAddressConstant && word.kind != WordKind::kFiller &&
         word.kind != WordKind::kJump;
}

// The first record the source declares under name, other than an address
// constant with this very body: words and pools of every page, then the
// variables and constants no page has taken yet.
const LineRecord* declaredElsewhere(const AssemblyState& state, std::string_view name,
                                    const FieldText& body) {
  const auto clashes = [&](const LineRecord& record) {
    return record.label == FieldText(name) && isWrittenInTheSource(record) && record.body != body;
  };
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    for (const TableId table : {kCodeTable, kPoolTable}) {
      const int count =
          std::min<int>(state.fill(table == kPoolTable ? kPoolCount : kCodeCount, page), kPageSize);
      for (int slot = 0; slot < count; ++slot) {
        if (clashes(state.word(table, page, slot))) return &state.word(table, page, slot);
      }
    }
  }
  for (const TableId table : {kVariableTable, kConstantTable}) {
    for (int index = 0; index < state.count(table); ++index) {
      const LineRecord& entry = state.table(table)[static_cast<std::size_t>(index)];
      if (clashes(entry)) return &entry;
    }
  }
  return nullptr;
}

// Variables lead the pool; within each kind the entries keep their order of first use.
void putVariablesFirst(AssemblyState& state, int page) {
  const auto first = state.poolTable.begin() + page * kPageSize;
  const auto end = first + state.fill(kPoolCount, page);
  auto nextVariable = first;
  for (auto entry = first; entry != end; ++entry) {
    if (!isVariable(entry->body)) continue;
    std::rotate(nextVariable, entry, entry + 1);
    ++nextVariable;
  }
}

int insertionPointOf(const AssemblyState& state, int page);
void padPool(AssemblyState& state, int page, int freeWords, bool fillersFirst);

void placePool(AssemblyState& state, int page) {
  const int words = state.fill(kCodeCount, page);
  const int freeWords = kPageSize - words;
  // Checked before anything moves, so a page that cannot take its pool is left as
  // it was. The pool as a whole does not fit, so the message names the page's directive.
  if (state.fill(kPoolCount, page) > freeWords) {
    reportWordCountExceeded(state, page, state.directiveLine[static_cast<std::size_t>(page)]);
  }
  const int at = insertionPointOf(state, page);
  padPool(state, page, freeWords, at == 0);
  const auto code = state.codeTable.begin() + page * kPageSize;
  std::copy_backward(code + at, code + words, code + kPageSize);
  const auto pool = state.poolTable.begin() + page * kPageSize;
  std::copy(pool, pool + freeWords, code + at);
  state.fill(kCodeCount, page) = kPageSize;
  state.fill(kInsertionPoint, page) = static_cast<std::int16_t>(at + freeWords);
}

// Earlier passes keep the insertion point within the page's words; the clamp only
// keeps odd input from moving words outside the page.
int insertionPointOf(const AssemblyState& state, int page) {
  return std::clamp<int>(state.fill(kInsertionPoint, page), 0, state.fill(kCodeCount, page));
}

LineRecord fillerWord() {
  LineRecord filler;
  filler.body = "BLANK";
  filler.code = "000";
  filler.kind = WordKind::kFiller;
  return filler;
}

void padPool(AssemblyState& state, int page, int freeWords, bool fillersFirst) {
  const auto first = state.poolTable.begin() + page * kPageSize;
  const int entries = state.fill(kPoolCount, page);
  if (fillersFirst) {
    std::copy_backward(first, first + entries, first + freeWords);
    std::fill(first, first + (freeWords - entries), fillerWord());
  } else {
    std::fill(first + entries, first + freeWords, fillerWord());
  }
  state.fill(kPoolCount, page) = static_cast<std::int16_t>(freeWords);
}

// Filler words at the end of the program hold nothing worth listing.
void trimLastPage(AssemblyState& state) {
  if (state.firstPage > state.lastPage) return;
  int count = kPageSize;
  while (count > 0 && state.codeWord(state.lastPage, count - 1).body == "BLANK") --count;
  state.fill(kCodeCount, state.lastPage) = static_cast<std::int16_t>(count);
}

}  // namespace
}  // namespace ovrik
