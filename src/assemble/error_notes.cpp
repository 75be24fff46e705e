#include "assemble/error_notes.hpp"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

#include "tables/diagnostics.hpp"
#include "tables/mnemonics.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

std::vector<Note> madeConstantNotes(const AssemblyState& state, int page, std::string_view target,
                                    std::int32_t line);
std::vector<Note> variableNotes(const AssemblyState& state, std::string_view value,
                                std::int32_t line);
std::vector<Note> sourceConstantNotes(const AssemblyState& state, const LineRecord& word,
                                      std::int32_t line);

}  // namespace

std::vector<Note> missingLabelNotes(const AssemblyState& state, int page, const LineRecord& word,
                                    std::string_view name, std::int32_t line) {
  if (word.body.startsWith("VAR=")) return variableNotes(state, name, line);
  if (word.kind == WordKind::kAddressConstant && name.ends_with('A')) {
    return madeConstantNotes(state, page, name.substr(0, name.size() - 1), line);
  }
  return sourceConstantNotes(state, word, line);
}

namespace {

std::optional<std::string> spellingHint(std::string_view name);

}  // namespace

std::vector<Note> invalidInstructionNotes(int page, int slot, const LineRecord& word,
                                          std::string_view name) {
  const std::string slotText = std::to_string(slot);
  std::vector<Note> notes{
      {word.line, "in \"page " + std::to_string(page) + " line " + slotText + "\", line " +
                      slotText + " is the word's place in its page, counted from 0 (address " +
                      wordText(static_cast<std::int16_t>(page * kPageSize + slot)) +
                      "); the source line is " + std::to_string(word.line)}};
  if (const std::optional<std::string> hint = spellingHint(name)) {
    notes.push_back({word.line, *hint});
  }
  return notes;
}

std::vector<Note> missingAddressNotes(int page, const LineRecord& word, std::string_view name) {
  const std::string_view body = word.body;
  const std::string mnemonic(body.substr(0, body.find(' ')));
  if (name.empty()) {
    return {{word.line, mnemonic +
                            " has no operand: a memory-reference instruction names the "
                            "word it works on, as in " +
                            mnemonic + " LOOP"}};
  }
  if (body.size() >= kFieldLength && body.find(" I ") != std::string_view::npos) {
    return {{word.line,
             "to reach a label of another page the assembler rewrote the statement as " + mnemonic +
                 " I NAMEA, which was cut at 47 characters: a label that another page reaches "
                 "can have at most 40 characters"}};
  }
  return {{word.line, std::string(name) + " is no word of page " + std::to_string(page)}};
}

std::vector<Note> iotPortNotes(const LineRecord& word, std::string_view port) {
  const std::string_view body = word.body;
  const std::string mnemonic(body.substr(0, body.find(' ')));
  const std::string start = port.empty() ? mnemonic + " needs a port" : "the port is 0 or 1";
  return {{word.line, start + ": " + mnemonic + " 0 works on keyboard or display 0, " + mnemonic +
                          " 1 on keyboard or display 1"}};
}

namespace {

std::optional<Note> unusedDeclarationNote(const AssemblyState& state, std::string_view name);

// The layout gives the word behind an inserted jump the label END + page; a
// page with no code of its own has no word there to take it.
std::optional<Note> emptyPageNote(const AssemblyState& state, std::string_view target) {
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    if (!state.endLabelMade[static_cast<std::size_t>(page)]) continue;
    if (target != "END" + std::to_string(page)) continue;
    return Note{state.directiveLine[static_cast<std::size_t>(page)],
                "control runs on into page " + std::to_string(page) + " from page " +
                    std::to_string(page - 1) + ", so the assembler put a jump into page " +
                    std::to_string(page) + " to the word behind its data and pool, " +
                    std::string(target) + "; page " + std::to_string(page) +
                    " has no such word: end page " + std::to_string(page - 1) +
                    " with HLT 0 or a JMP"};
  }
  return std::nullopt;
}

std::vector<Note> madeConstantNotes(const AssemblyState& state, int page, std::string_view target,
                                    std::int32_t line) {
  if (const std::optional<Note> emptyPage = emptyPageNote(state, target)) return {*emptyPage};
  const std::string name(target);
  const std::optional<Note> nearMiss = nearMissOf(state, target);
  std::vector<Note> notes{{line, "no word of page " + std::to_string(page) +
                                     ", variable or constant is labelled " + name +
                                     ", so the assembler took " + name +
                                     " for a label of another page and made " + name +
                                     "A to hold its address; no page has a word labelled " + name +
                                     (nearMiss ? " either" : " either, and no line declares it")}};
  if (nearMiss) notes.push_back(*nearMiss);
  return notes;
}

std::vector<Note> addressNameNotes(const AssemblyState& state, std::string_view target,
                                   std::string_view written, std::int32_t line);

std::vector<Note> variableNotes(const AssemblyState& state, std::string_view value,
                                std::int32_t line) {
  const std::string text(value);
  if (value.empty()) {
    return {{line,
             "VAR= needs a value after the =: a constant literal, as in VAR=5, or a label "
             "followed by A, as in VAR=STARTA for the address of START"}};
  }
  if (labelled(state, value)) {
    return {{line, text + " is a label: a variable that holds the address of " + text +
                       " is written VAR=" + text + "A"}};
  }
  if (value.size() > 1 && value.ends_with('A')) {
    return addressNameNotes(state, value.substr(0, value.size() - 1), "VAR=" + text, line);
  }
  std::vector<Note> notes{{line,
                           "the value of VAR= is a constant literal or a label followed "
                           "by A, and " +
                               text + " is neither"}};
  if (const std::optional<Note> nearMiss = nearMissOf(state, value)) notes.push_back(*nearMiss);
  return notes;
}

// An address constant of the source holds the address its own label names.
std::vector<Note> sourceConstantNotes(const AssemblyState& state, const LineRecord& word,
                                      std::int32_t line) {
  const std::string_view label = word.label;
  std::string_view inner = word.body.view().substr(2);
  if (inner.ends_with(')')) inner.remove_suffix(1);
  if (label.size() > 1 && label.ends_with('A')) {
    return addressNameNotes(state, label.substr(0, label.size() - 1),
                            word.label.str() + ", " + word.body.str(), line);
  }
  const std::string target = inner.empty() ? "X" : std::string(inner);
  return {{line,
           "an address constant takes its address from its own label, not from the "
           "parentheses, and " +
               word.label.str() + " is not a label followed by A: for the address of " + target +
               " write " + target + "A, " + word.body.str()}};
}

// written holds the address of target, which no word carries.
std::vector<Note> addressNameNotes(const AssemblyState& state, std::string_view target,
                                   std::string_view written, std::int32_t line) {
  const std::string name(target);
  if (const std::optional<Note> unused = unusedDeclarationNote(state, target)) return {*unused};
  const std::optional<Note> nearMiss = nearMissOf(state, target);
  std::vector<Note> notes{{line, std::string(written) + " holds the address of " + name +
                                     ", and no word is labelled " + name +
                                     (nearMiss ? "" : "; no line declares it")}};
  if (nearMiss) notes.push_back(*nearMiss);
  return notes;
}

// A variable or constant that no instruction uses is never put into memory.
std::optional<Note> unusedDeclarationNote(const AssemblyState& state, std::string_view name) {
  const std::optional<Placed> declared = labelled(state, name);
  if (!declared || declared->page >= 0) return std::nullopt;
  const std::string what = declared->table == kVariableTable ? "a variable" : "a constant";
  return Note{declared->record->line,
              std::string(name) + " is " + what +
                  " that no instruction uses, so it is not in memory and has no address"};
}

bool isMnemonic(std::string_view name) {
  return findMnemonic(name) != nullptr;
}

std::string inCapitals(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

std::string printablePart(std::string_view text) {
  std::string printable;
  for (const char c : text) {
    if (c > ' ' && c < 0x7F) printable += c;
  }
  return printable;
}

// "IAC.CLA" for "CLA.IAC": combined mnemonics exist in one order only.
std::string partsSwapped(std::string_view name) {
  const std::size_t dot = name.find('.');
  if (dot == std::string_view::npos) return {};
  return std::string(name.substr(dot + 1)) + "." + std::string(name.substr(0, dot));
}

// The slips seen most in names that are no mnemonic, each with its fix.
std::vector<std::string> mnemonicsNear(std::string_view name);

std::optional<std::string> spellingHint(std::string_view name) {
  if (name.find('\t') != std::string_view::npos) {
    return "a tab is no blank: part the label, the mnemonic and the operand with blanks";
  }
  if (const std::string printable = printablePart(name);
      printable != name && isMnemonic(printable)) {
    return "the name holds bytes that do not print (shown escaped): without them it is " +
           printable;
  }
  if (const std::string upper = inCapitals(name); isMnemonic(upper)) {
    return "mnemonics are written in capitals: " + upper;
  }
  if (const std::string swapped = partsSwapped(name); isMnemonic(swapped)) {
    return "combined mnemonics are written in one order only: " + swapped;
  }
  if (name == "VAR") return "a variable is written VAR, or VAR= and its value with no blank: VAR=5";
  if (name.starts_with("ARRAY") || name.starts_with("TABLE")) {
    return "an array is written ARRAY[n] and a table TABLE[n], with no blank";
  }
  if (name.starts_with('$')) {
    return "a hexadecimal number needs a sign in front to be a constant: +" + std::string(name);
  }
  const std::vector<std::string> near = mnemonicsNear(name);
  if (near.empty()) return std::nullopt;
  std::string hint = "did you mean " + near.front();
  for (std::size_t i = 1; i < near.size(); ++i) {
    hint += (i + 1 == near.size() ? " or " : ", ") + near[i];
  }
  return hint + "?";
}

// A mnemonic with the same letters in another order, or with one letter changed.
bool isNearMnemonic(std::string_view name, std::string_view mnemonic) {
  if (name.size() != mnemonic.size()) return false;
  std::string sortedName(name);
  std::string sortedMnemonic(mnemonic);
  std::sort(sortedName.begin(), sortedName.end());
  std::sort(sortedMnemonic.begin(), sortedMnemonic.end());
  if (sortedName == sortedMnemonic) return true;
  std::size_t differences = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] != mnemonic[i]) ++differences;
  }
  return differences == 1;
}

std::vector<std::string> mnemonicsNear(std::string_view name) {
  std::vector<std::string> near;
  for (const Mnemonic& mnemonic : kMnemonics) {
    if (isNearMnemonic(name, mnemonic.name)) near.emplace_back(mnemonic.name);
  }
  return near;
}

}  // namespace
}  // namespace ovrik
