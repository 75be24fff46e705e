#include "assemble/explain.hpp"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "assemble/assemble.hpp"
#include "intake/intake.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

std::vector<std::uint8_t> reachesOf(const AssemblyState& state, int address);
void linkReachedBy(Explanation& explanation);

// The state and the links found so far, which every sentence reads.
struct Program {
  const AssemblyState& state;
  const Explanation& links;

  const LineRecord& word(int address) const {
    return state.codeTable[static_cast<std::size_t>(address)];
  }
  const std::vector<std::uint8_t>& reaches(int address) const {
    return links.words[static_cast<std::size_t>(address)].reaches;
  }
  const std::vector<std::uint8_t>& reachedBy(int address) const {
    return links.words[static_cast<std::size_t>(address)].reachedBy;
  }
};

std::string whyOf(const Program& program, int address);
std::string doesOf(const Program& program, int address);

}  // namespace

Explanation explainAssembly(const AssemblyState& state) {
  Explanation explanation = linkAssembly(state);
  for (int address = 0; address < kTableSize; ++address) explainWord(state, explanation, address);
  return explanation;
}

Explanation linkAssembly(const AssemblyState& state) {
  Explanation explanation;
  for (int address = 0; address < kTableSize; ++address) {
    if (!state.isListed(address)) continue;
    explanation.words[static_cast<std::size_t>(address)].reaches = reachesOf(state, address);
  }
  linkReachedBy(explanation);
  return explanation;
}

void explainWord(const AssemblyState& state, Explanation& explanation, int address) {
  if (!state.isListed(address)) return;
  const Program program{state, explanation};
  WordReasons& reasons = explanation.words[static_cast<std::size_t>(address)];
  reasons.why = whyOf(program, address);
  reasons.does = doesOf(program, address);
}

std::string_view kindText(WordKind kind) {
  switch (kind) {
    case WordKind::kCode:
      return "code";
    case WordKind::kJump:
      return "inserted jump";
    case WordKind::kData:
      return "data";
    case WordKind::kVariable:
      return "variable";
    case WordKind::kConstant:
      return "constant";
    case WordKind::kAddressConstant:
      return "address constant";
    case WordKind::kFiller:
      break;
  }
  return "filler";
}

namespace {

// ---- What reaches what ----

int valueOf(const LineRecord& word) {
  return wordValue(word.code);
}

// Operations 0 to 5 (bits 7 to 5) name a word of their own page.
bool isMemoryReference(const LineRecord& word) {
  const int value = valueOf(word);
  return value >= 0 && value >> 5 <= 5 && isInstructionBody(word.body);
}

bool isIndirect(const LineRecord& word) {
  return (valueOf(word) & kPageSize) != 0;
}

int operandAddress(int address, const LineRecord& instruction) {
  return address / kPageSize * kPageSize + (valueOf(instruction) & (kPageSize - 1));
}

// An address constant, made or written ("A(X)"), or a variable set to an
// address name ("VAR=XA"): the word holds the address of a labelled word.
bool holdsAnAddress(const LineRecord& word) {
  if (valueOf(word) < 0) return false;
  if (word.body.startsWith("A(")) return true;
  return word.body.startsWith("VAR=") && !isConstantLiteral(word.body.view().substr(4));
}

// A value the source gave the word, which it still holds when the program is
// loaded; not one the program fills in as it runs (VAR, RTNADR, BLANK).
bool holdsValueFromSource(const LineRecord& word) {
  if (valueOf(word) < 0 || isInstructionBody(word.body)) return false;
  return word.body != "VAR" && word.body != "RTNADR" && word.body != "BLANK";
}

std::vector<std::uint8_t> reachesOf(const AssemblyState& state, int address) {
  const LineRecord& word = state.codeTable[static_cast<std::size_t>(address)];
  if (holdsAnAddress(word)) return {static_cast<std::uint8_t>(valueOf(word))};
  if (!isMemoryReference(word)) return {};
  const int operand = operandAddress(address, word);
  std::vector<std::uint8_t> reached{static_cast<std::uint8_t>(operand)};
  const LineRecord& pointer = state.codeTable[static_cast<std::size_t>(operand)];
  if (isIndirect(word) && holdsValueFromSource(pointer) && valueOf(pointer) != operand) {
    reached.push_back(static_cast<std::uint8_t>(valueOf(pointer)));
  }
  return reached;
}

// Words are visited in address order, so every list comes out in that order.
void linkReachedBy(Explanation& explanation) {
  for (int address = 0; address < kTableSize; ++address) {
    for (const std::uint8_t target : explanation.words[static_cast<std::size_t>(address)].reaches) {
      std::vector<std::uint8_t>& reachedBy = explanation.words[target].reachedBy;
      if (reachedBy.empty() || reachedBy.back() != address) {
        reachedBy.push_back(static_cast<std::uint8_t>(address));
      }
    }
  }
}

// ---- The words of the sentences ----

// The word notation of an address, made without the general wordText's
// allocations: a program's explanation writes some thousand of them.
std::string at(int address) {
  return {static_cast<char>('0' + address / 32), static_cast<char>('0' + address / 8 % 4),
          static_cast<char>('0' + address % 8)};
}
std::string pageText(int address) {
  return std::to_string(address / kPageSize);
}
bool samePage(int a, int b) {
  return a / kPageSize == b / kPageSize;
}

// "a", "a and b", "a, b and c".
std::string joined(const std::vector<std::string>& parts) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) text += i + 1 == parts.size() ? " and " : ", ";
    text += parts[i];
  }
  return text;
}

// "line 12 (word 004)"; a word the assembler made has no line of its own.
std::string lineAndWord(const Program& program, int address) {
  const LineRecord& word = program.word(address);
  if (word.line > 0) return "line " + std::to_string(word.line) + " (word " + at(address) + ")";
  if (word.kind == WordKind::kJump) return "the inserted jump (word " + at(address) + ")";
  return "word " + at(address);
}

std::string linesAndWords(const Program& program, const std::vector<int>& addresses) {
  std::vector<std::string> parts;
  for (const int address : addresses) parts.push_back(lineAndWord(program, address));
  return joined(parts);
}

std::string fromLine(const LineRecord& word) {
  return word.line > 0 ? " of line " + std::to_string(word.line) : "";
}

// The label when the word has one, else its address.
std::string nameOf(const Program& program, int address) {
  const LineRecord& word = program.word(address);
  return word.label.empty() ? "the word at " + at(address) : word.label.str();
}

// "SUBA at 016".
std::string nameAndAddress(const Program& program, int address) {
  const LineRecord& word = program.word(address);
  return word.label.empty() ? "the word at " + at(address)
                            : word.label.str() + " at " + at(address);
}

template <typename Keep>
std::vector<int> reachersWhere(const Program& program, int address, Keep keep) {
  std::vector<int> chosen;
  for (const std::uint8_t from : program.reachedBy(address)) {
    if (keep(from)) chosen.push_back(from);
  }
  return chosen;
}

// The address a word holds when it holds one, else -1.
int heldAddress(const Program& program, int address) {
  return holdsAnAddress(program.word(address)) ? valueOf(program.word(address)) : -1;
}

// "310, the address of SUB in page 3".
std::string addressOf(const Program& program, int holder, int target) {
  const std::string page = samePage(holder, target) ? "this page" : "page " + pageText(target);
  return at(target) + ", the address of " + nameOf(program, target) + " in " + page;
}

// ---- Why a word is there, kind by kind ----

std::string codeReason(const Program& program, int address);
std::string jumpReason(const Program& program, int address);
std::string dataReason(const Program& program, int address);
std::string poolReason(const Program& program, int address);
std::string addressConstantReason(const Program& program, int address);
std::string fillerReason(const Program& program, int address);
std::string madeLabelReason(const Program& program, int address);

std::string whyOf(const Program& program, int address) {
  std::string why;
  switch (program.word(address).kind) {
    case WordKind::kCode:
      why = codeReason(program, address);
      break;
    case WordKind::kJump:
      why = jumpReason(program, address);
      break;
    case WordKind::kData:
      why = dataReason(program, address);
      break;
    case WordKind::kVariable:
    case WordKind::kConstant:
      why = poolReason(program, address);
      break;
    case WordKind::kAddressConstant:
      why = addressConstantReason(program, address);
      break;
    case WordKind::kFiller:
      why = fillerReason(program, address);
      break;
  }
  if (program.word(address).labelMade) why += madeLabelReason(program, address);
  return why;
}

std::string returnAddressReason(const Program& program, int address);
std::string rewrittenReason(const Program& program, int address);
std::string operandReason(const Program& program, int address);

std::string codeReason(const Program& program, int address) {
  const LineRecord& word = program.word(address);
  if (word.body == "RTNADR") return returnAddressReason(program, address);
  if (word.operandRewritten) return rewrittenReason(program, address);
  std::string why =
      word.line > 0 ? "line " + std::to_string(word.line) + " as written" : "as written";
  if (isMemoryReference(word)) why += "; " + operandReason(program, address);
  return why;
}

bool isPoolWord(const LineRecord& word) {
  return word.kind == WordKind::kVariable || word.kind == WordKind::kConstant ||
         word.kind == WordKind::kAddressConstant;
}

// What the pointer of an indirect instruction holds, as far as the source says.
std::string pointerNote(const Program& program, int instruction, int pointer) {
  const std::vector<std::uint8_t>& reached = program.reaches(instruction);
  if (reached.size() > 1) {
    return ", which holds " + at(reached[1]) + " when the program is loaded";
  }
  if (program.word(pointer).body == "RTNADR") return ", where JMS leaves the return address";
  return ", whose value the program sets as it runs";
}

std::string operandReason(const Program& program, int address) {
  const int operand = program.reaches(address).front();
  if (isIndirect(program.word(address))) {
    return "it goes through " + nameAndAddress(program, operand) +
           pointerNote(program, address, operand);
  }
  const std::string where = isPoolWord(program.word(operand)) ? "this page's pool" : "its own page";
  return "its operand " + nameOf(program, operand) + " is in " + where + ", at " + at(operand);
}

// "JMS I SUBA" was written "JMS SUB": the "I " and the final "A" come out again.
// A body that was cut could not have assembled, so both are there.
std::string writtenStatement(const LineRecord& instruction) {
  const std::string_view body = instruction.body;
  constexpr std::size_t kMnemonic = 4;  // "JMS "
  constexpr std::size_t kIndirect = 2;  // "I "
  if (body.size() <= kMnemonic + kIndirect) return std::string(body);
  const std::string_view operand = body.substr(kMnemonic + kIndirect);
  return std::string(body.substr(0, kMnemonic)) +
         std::string(operand.substr(0, operand.size() - 1));
}

std::string farTargetReason(const Program& program, int instruction, int target) {
  const LineRecord& word = program.word(target);
  const std::string where =
      samePage(instruction, target) ? "this page" : "page " + pageText(target);
  const std::string line = word.line > 0 && word.kind != WordKind::kVariable
                               ? " (line " + std::to_string(word.line) + ")"
                               : "";
  if (word.kind == WordKind::kVariable) {
    return "the variable " + nameOf(program, target) + fromLine(word) + " lives in " + where +
           ", whose pool took it first";
  }
  return nameOf(program, target) + line + " lives in " + where + ", out of this page's reach";
}

std::string rewrittenReason(const Program& program, int address) {
  const LineRecord& word = program.word(address);
  const std::vector<std::uint8_t>& reached = program.reaches(address);
  std::string why = "line " + std::to_string(word.line) + " wrote " + writtenStatement(word);
  if (reached.empty()) return why;
  const int constant = reached.front();
  if (reached.size() < 2) return why + "; it goes through " + nameAndAddress(program, constant);
  const int target = reached[1];
  return why + "; " + farTargetReason(program, address, target) + ", so it goes through " +
         nameAndAddress(program, constant) + ", which holds " + at(target);
}

bool isJumpToSubroutine(const LineRecord& word) {
  return isMemoryReference(word) && valueOf(word) >> 5 == 4;
}

std::string returnAddressReason(const Program& program, int address) {
  const LineRecord& word = program.word(address);
  const std::string name = word.label.empty() ? "this word" : word.label.str();
  std::string why = "line " + std::to_string(word.line) + ": where each JMS to " + name +
                    " leaves the address to return to";
  const std::vector<int> callers = reachersWhere(
      program, address, [&](int from) { return isJumpToSubroutine(program.word(from)); });
  if (!callers.empty()) why += "; called from " + linesAndWords(program, callers);
  return why;
}

int targetOfJump(const Program& program, int address) {
  const std::vector<std::uint8_t>& reached = program.reaches(address);
  return reached.empty() ? address : reached.front();
}

// "the data, the pool and 5 free words": what stands between a jump and its target.
std::string wordsJumpedOver(const Program& program, int from, int to) {
  int data = 0;
  int pool = 0;
  int free = 0;
  for (int address = from; address < to; ++address) {
    const WordKind kind = program.word(address).kind;
    data += kind == WordKind::kData ? 1 : 0;
    pool += isPoolWord(program.word(address)) ? 1 : 0;
    free += kind == WordKind::kFiller ? 1 : 0;
  }
  std::vector<std::string> parts;
  if (data > 0) parts.emplace_back("the data");
  if (pool > 0) parts.emplace_back("the pool");
  if (free > 0) parts.push_back(std::to_string(free) + (free == 1 ? " free word" : " free words"));
  return joined(parts);
}

std::string jumpReason(const Program& program, int address) {
  const int target = targetOfJump(program, address);
  const std::string landing = at(target) + ", labelled " + nameOf(program, target);
  const std::string over = target > address ? wordsJumpedOver(program, address + 1, target) : "";
  if (over.empty()) {
    return "inserted by the assembler in front of the page's data and pool, of which this page "
           "has none; it jumps to " +
           landing;
  }
  // In slot 0 the control that would run on comes from the page before.
  const std::string control =
      address % kPageSize == 0 ? "control coming on from page " + pageText(address - 1) : "control";
  return "inserted by the assembler: " + control + " would otherwise run into " + over +
         " at slot " + std::to_string((address + 1) % kPageSize) + " (" + at(address + 1) +
         "); it jumps over them to " + landing;
}

// The declaration's name: the element's label without its "[index]".
std::string blockName(const LineRecord& word) {
  std::string name = word.label.str();
  const std::string index = "[" + std::to_string(word.element) + "]";
  if (word.element > 0 && name.ends_with(index)) name.resize(name.size() - index.size());
  return name;
}

std::string dataReason(const Program& program, int address) {
  const LineRecord& word = program.word(address);
  const bool array = word.body == "VAR";
  const std::string name = blockName(word);
  std::string why = "element " + std::to_string(word.element) + " of ";
  why += name.empty() ? std::string(array ? "an array" : "a table") + " without a name"
                      : std::string(array ? "the array " : "the table ") + name;
  if (word.line > 0) {
    why += array ? ", declared on line " : ", the entry on line ";
    why += std::to_string(word.line);
  }
  return why;
}

// A variable or a constant of the page's pool: where it was declared and who uses it.
std::string poolReason(const Program& program, int address) {
  const LineRecord& word = program.word(address);
  const bool variable = word.kind == WordKind::kVariable;
  std::string why = variable ? "the variable " : "the constant ";
  why += word.label.str() + fromLine(word);
  why += variable ? ", taken into this page's pool" : ", copied into this page's pool";
  const std::vector<int> users =
      reachersWhere(program, address, [&](int from) { return samePage(from, address); });
  if (!users.empty()) why += " for " + linesAndWords(program, users);
  const int held = heldAddress(program, address);
  if (held >= 0)
    why += (variable ? "; it starts as " : "; it holds ") + addressOf(program, address, held);
  const std::vector<int> holders = reachersWhere(program, address, [&](int from) {
    return !samePage(from, address) && holdsAnAddress(program.word(from));
  });
  std::vector<std::string> through;
  for (const int holder : holders) through.push_back(nameAndAddress(program, holder));
  if (!through.empty()) why += "; other pages reach it through " + joined(through);
  return why;
}

std::string addressConstantReason(const Program& program, int address) {
  const int target = heldAddress(program, address);
  if (target < 0) return "an address constant";
  std::string why = "holds " + addressOf(program, address, target);
  const std::vector<int> users = reachersWhere(program, address, [](int) { return true; });
  if (!users.empty()) {
    why += ", so that " + linesAndWords(program, users) + " can reach it from page " +
           pageText(address);
  }
  return why;
}

std::string fillerReason(const Program& program, int address) {
  const int first = address / kPageSize * kPageSize;
  int free = 0;
  for (int slot = 0; slot < kPageSize; ++slot) {
    free += program.word(first + slot).kind == WordKind::kFiller ? 1 : 0;
  }
  return "page " + pageText(address) + " has " + std::to_string(free) +
         (free == 1 ? " free word" : " free words") +
         " that its code, data and pool leave over; this is " + (free == 1 ? "it" : "one of them");
}

std::string madeLabelReason(const Program& program, int address) {
  const std::vector<int> jumps = reachersWhere(
      program, address, [&](int from) { return program.word(from).kind == WordKind::kJump; });
  std::string why = "; the assembler labelled it " + program.word(address).label.str();
  if (jumps.empty()) return why + " for the inserted jump";
  return why + " so that the inserted jump at " + at(jumps.front()) + " can reach it";
}

// ---- What an instruction does ----

// "016 (ONE)": the word an operand names in its own page.
std::string operandText(const Program& program, int address) {
  const int operand = program.reaches(address).front();
  const LineRecord& word = program.word(operand);
  return at(operand) + (word.label.empty() ? "" : " (" + word.label.str() + ")");
}

// "016 (SUBA, which holds 310)": the pointer an indirect operand goes through.
std::string pointerText(const Program& program, int address) {
  const std::vector<std::uint8_t>& reached = program.reaches(address);
  const LineRecord& pointer = program.word(reached.front());
  std::string note = "set as the program runs";
  if (reached.size() > 1) {
    note = "which holds " + at(reached[1]);
  } else if (pointer.body == "RTNADR") {
    note = "where JMS leaves the return address";
  }
  if (!pointer.label.empty()) note = pointer.label.str() + ", " + note;
  return at(reached.front()) + " (" + note + ")";
}

std::string doesOf(const Program& program, int address) {
  const LineRecord& word = program.word(address);
  if (!isMemoryReference(word)) return "";
  const bool indirect = isIndirect(word);
  const std::string target = indirect
                                 ? "the word whose address is in " + pointerText(program, address)
                                 : "the word at " + operandText(program, address);
  const std::string prefix = indirect ? "indirect: " : "";
  switch (valueOf(word) >> 5) {
    case 0:
      return prefix + "ANDs " + target + " into AC";
    case 1:
      return prefix + "adds " + target + " to AC";
    case 2:
      return prefix + "adds 1 to " + target + " and skips the next word when it becomes 0";
    case 3:
      return prefix + "stores AC in " + target + " and clears AC";
    case 4: {
      const int next = (program.reaches(address).front() + 1) % kTableSize;
      return prefix + "stores the return address in " + target + " and goes on at " +
             (indirect ? "the word after it" : at(next));
    }
    default:
      return prefix + "goes on at " +
             (indirect ? "the address in " + pointerText(program, address)
                       : operandText(program, address));
  }
}

}  // namespace
}  // namespace ovrik
