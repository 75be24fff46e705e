#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "assemble/assemble.hpp"
#include "assemble/error_notes.hpp"
#include "intake/intake.hpp"
#include "tables/diagnostics.hpp"
#include "tables/mnemonics.hpp"

namespace ovrik {
namespace {

// One entry per labelled word: the name an address constant for it carries.
struct AddressName {
  FieldText name;
  std::int16_t address = 0;
};

// Built in ascending address order, so a lookup finds the lowest address first.
// One entry per word at most, so it can never fill up.
struct AddressTable {
  std::array<AddressName, kTableSize> entries;
  std::int16_t count = 0;

  void add(const FieldText& label, int address) {
    AddressName& entry = entries[static_cast<std::size_t>(count++)];
    entry.name = label;
    entry.name.append("A");
    entry.address = static_cast<std::int16_t>(address);
  }

  const AddressName* find(std::string_view name) const {
    for (std::int16_t i = 0; i < count; ++i) {
      const AddressName& entry = entries[static_cast<std::size_t>(i)];
      if (entry.name == name) return &entry;
    }
    return nullptr;
  }
};

void checkMadeEndLabels(const AssemblyState& state);
void nameLabelledWords(const AssemblyState& state, AddressTable& addresses);
void assembleWord(AssemblyState& state, const AddressTable& addresses, int page, int slot);

}  // namespace

// Every slot of every page is visited, also the trailing filler words of the
// last page that the listing leaves out, and in address order, so that the
// error reported is the one at the lowest address.
void assembleWords(AssemblyState& state) {
  checkMadeEndLabels(state);
  AddressTable addresses;
  nameLabelledWords(state, addresses);
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    for (int slot = 0; slot < kPageSize; ++slot) {
      assembleWord(state, addresses, page, slot);
    }
  }
}

namespace {

const LineRecord* sourceWordLabelled(const AssemblyState& state, int page, std::string_view name);
bool isReachedByAddressName(const AssemblyState& state, std::string_view name);

// A jump the layout inserted names "END" + page; a word of the source labelled
// so would take the jump instead of the word behind it, in its page or
// wherever an address name leads to it.
void checkMadeEndLabels(const AssemblyState& state) {
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    if (!state.endLabelMade[static_cast<std::size_t>(page)]) continue;
    const std::string name = "END" + std::to_string(page);
    const LineRecord* inPage = sourceWordLabelled(state, page, name);
    const LineRecord* clashing = inPage;
    if (clashing == nullptr && isReachedByAddressName(state, name)) {
      for (int other = state.firstPage; other <= state.lastPage && clashing == nullptr; ++other) {
        clashing = sourceWordLabelled(state, other, name);
      }
    }
    if (clashing != nullptr) {
      errorStop("Error: Label " + name + " clashes with a name the assembler makes in page " +
                    std::to_string(page) + ".",
                labelLine(state, *clashing),
                {madeNameNote(name, page, labelLine(state, *clashing))});
    }
  }
}

const LineRecord* sourceWordLabelled(const AssemblyState& state, int page, std::string_view name) {
  for (int slot = 0; slot < kPageSize; ++slot) {
    const LineRecord& word = state.codeWord(page, slot);
    if (word.label == name && !word.labelMade) return &word;
  }
  return nullptr;
}

bool isReachedByAddressName(const AssemblyState& state, std::string_view name) {
  const FieldText constant("A(" + std::string(name) + ")");
  const FieldText variable("VAR=" + std::string(name) + "A");
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    for (int slot = 0; slot < kPageSize; ++slot) {
      const FieldText& body = state.codeWord(page, slot).body;
      if (body == constant || body == variable) return true;
    }
  }
  return false;
}

// Address constants are left out: a name for one would let a constant point at
// another constant instead of at the word it stands for.
void nameLabelledWords(const AssemblyState& state, AddressTable& addresses) {
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    for (int slot = 0; slot < kPageSize; ++slot) {
      const LineRecord& word = state.codeWord(page, slot);
      if (!word.label.empty() && !word.body.contains("A(")) {
        addresses.add(word.label, page * kPageSize + slot);
      }
    }
  }
}

// word, of page, needs the address of name.
std::string addressNamed(const AssemblyState& state, const AddressTable& addresses, int page,
                         const LineRecord& word, std::string_view name, std::int32_t line) {
  const AddressName* entry = addresses.find(name);
  if (entry == nullptr) {
    errorStop("Error: No label found for " + std::string(name), line,
              missingLabelNotes(state, page, word, name, line));
  }
  return wordText(entry->address);
}

std::string initialisedVariableCode(const AssemblyState& state, const AddressTable& addresses,
                                    int page, const LineRecord& word) {
  const std::string_view value = word.body.view().substr(4);
  if (isConstantLiteral(value)) return literalCode(value);
  return addressNamed(state, addresses, page, word, value, word.line);
}

bool keepsEarlierCode(std::string_view body) {
  return isConstantLiteral(body) || body == "VAR" || body == "BLANK" || body == "RTNADR";
}

// An operand that names no word of the page, the empty one included, is an error:
// the machine has no other way to reach a word than through its own page.
int slotLabelled(const AssemblyState& state, int page, std::string_view name,
                 const LineRecord& word, std::int32_t line) {
  if (!name.empty()) {
    for (int slot = 0; slot < kPageSize; ++slot) {
      if (state.codeWord(page, slot).label == name) return slot;
    }
  }
  // A word the assembler made has no line: its notes are about the error's line.
  std::vector<Note> notes = missingAddressNotes(page, word, name);
  for (Note& note : notes) note.line = note.line != 0 ? note.line : line;
  errorStop("Error: Address not found for " + std::string(name) + ".", line, std::move(notes));
}

std::string memoryReferenceCode(const AssemblyState& state, int page, std::string_view operation,
                                std::string_view operand, const LineRecord& word,
                                std::int32_t line) {
  const bool indirect = operand.starts_with("I ");
  if (indirect) operand.remove_prefix(2);
  const int target = slotLabelled(state, page, operand, word, line);
  const auto flagAndSlot = static_cast<std::int16_t>((indirect ? kPageSize : 0) + target);
  return std::string(operation) + wordText(flagAndSlot).substr(1);
}

// Port 1 sets bit 3, the middle digit's low bit.
std::string inputOutputCode(std::string_view code, std::string_view port, const LineRecord& word,
                            std::int32_t line) {
  std::string result(code);
  if (port == "1") {
    result[1] = result[1] == '0' ? '1' : '3';
  } else if (port != "0") {
    errorStop("Error: IOT port " + std::string(port) + " is not valid.", line,
              iotPortNotes(word, port));
  }
  return result;
}

std::int32_t madeWordLine(const AssemblyState& state, int page, std::string_view operand);

std::string instructionCode(const AssemblyState& state, int page, int slot) {
  const LineRecord& word = state.codeWord(page, slot);
  const std::string_view body = word.body;
  const std::size_t blank = body.find(' ');
  const std::string_view name = body.substr(0, blank);
  const std::string_view operand =
      blank == std::string_view::npos ? std::string_view() : body.substr(blank + 1);
  const std::int32_t line = word.line != 0 ? word.line : madeWordLine(state, page, operand);

  const Mnemonic* mnemonic = findMnemonic(name);
  if (mnemonic == nullptr) {
    errorStop("Error: Instruction " + std::string(name) + " is not valid in page " +
                  std::to_string(page) + " line " + std::to_string(slot) + ".",
              line, invalidInstructionNotes(page, slot, word, name));
  }
  if (mnemonic->isInputOutput()) return inputOutputCode(mnemonic->code, operand, word, line);
  if (!mnemonic->isMemoryReference()) return std::string(mnemonic->code);
  return memoryReferenceCode(state, page, mnemonic->code, operand, word, line);
}

// A word the assembler made (the jump over a page's data) has no line of its
// own: a message about it points at the label its operand names, which may
// have been cut at 47 characters, else at its page's directive.
std::int32_t madeWordLine(const AssemblyState& state, int page, std::string_view operand) {
  if (operand.starts_with("I ")) operand.remove_prefix(2);
  for (int slot = 0; slot < kPageSize && !operand.empty(); ++slot) {
    const LineRecord& word = state.codeWord(page, slot);
    if (word.line != 0 && word.label.startsWith(operand)) return labelLine(state, word);
  }
  return state.directiveLine[static_cast<std::size_t>(page)];
}

void assembleWord(AssemblyState& state, const AddressTable& addresses, int page, int slot) {
  LineRecord& word = state.codeWord(page, slot);
  const std::string_view body = word.body;
  if (body.starts_with("A(")) {
    // The label alone says where the constant points; its parentheses are not read.
    // A constant made for an inserted jump has no source line: its page's directive stands in.
    const std::int32_t line =
        word.line != 0 ? word.line : state.directiveLine[static_cast<std::size_t>(page)];
    word.code = addressNamed(state, addresses, page, word, word.label, line);
  } else if (body.starts_with("VAR=")) {
    word.code = initialisedVariableCode(state, addresses, page, word);
  } else if (!keepsEarlierCode(body)) {
    word.code = instructionCode(state, page, slot);
  }
}

}  // namespace

bool isInstructionBody(std::string_view body) {
  return !body.starts_with("A(") && !body.starts_with("VAR=") && !keepsEarlierCode(body);
}

}  // namespace ovrik
