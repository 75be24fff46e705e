// The explanation of programs made up at random: pages of code that reach
// each other's labels, variables, constants, pointers, subroutines, arrays
// and tables. For every one that assembles, what reaches what must follow the
// statements, every listed word must have its sentence, a rewritten statement
// must name what the source wrote, and the JSON must say what the listing says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "assemble/assemble_source.hpp"
#include "assemble/explain.hpp"
#include "driver/explain_command.hpp"
#include "support/explain_checks.hpp"

namespace ovrik {
namespace {

// A source and, for each of its lines, the statement as the source reader leaves it.
struct Program {
  std::string source;
  std::vector<std::string> statements;  // by line number - 1
};

class Generator {
 public:
  explicit Generator(unsigned programNumber) : random_(programNumber) {}

  Program program() {
    const int first = pick(0, 3);
    pages_ = pick(2, 5);
    for (int page = 0; page < pages_; ++page) {
      labels_.emplace_back();
      const int words = pick(2, 5);
      for (int i = 0; i < words; ++i) labels_.back().push_back(name("L", page, i));
      if (pick(0, 1) == 0) subroutines_.push_back("S" + std::to_string(page));
    }
    for (int page = 0; page < pages_; ++page) writePage(first + page, page);
    return program_;
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  template <typename T>
  const T& oneOf(const std::vector<T>& choices) {
    return choices[static_cast<std::size_t>(pick(0, static_cast<int>(choices.size()) - 1))];
  }
  static std::string name(const char* kind, int page, int index) {
    return kind + std::to_string(page) + "_" + std::to_string(index);
  }
  std::string numbered(const char* kind, int highest) {
    return kind + std::to_string(pick(0, highest));
  }

  void line(const std::string& label, const std::string& statement) {
    program_.source += (label.empty() ? "        " : label + ", ") + statement + "\n";
    program_.statements.push_back(statement);
  }

  std::string anyLabel() { return oneOf(oneOf(labels_)); }

  // Labels anywhere, and the variables, constants and data of any page.
  std::string anyOperand() {
    switch (pick(0, 4)) {
      case 0:
        return numbered("V", pages_ - 1);
      case 1:
        return numbered("C", pages_ - 1);
      case 2:
        return numbered("B", pages_ - 1);
      default:
        return anyLabel();
    }
  }

  // Few statements end the flow, so that middle pages often need a jump.
  std::string statement(int page) {
    static const std::vector<std::string> kDirect = {"TAD", "DCA", "ISZ", "INC", "AND"};
    switch (pick(0, 9)) {
      case 0:
        return oneOf(std::vector<std::string>{"CLA", "IAC", "SZA", "SKF 0", "CMA.IAC"});
      case 1:
        return "TAD I P" + std::to_string(page);
      case 2:
        return subroutines_.empty() ? "CLA" : "JMS " + oneOf(subroutines_);
      case 3:
        return "JMP " + anyLabel();
      default:
        return oneOf(kDirect) + " " + anyOperand();
    }
  }

  void writePage(int page, int index) {
    program_.source += "/" + std::to_string(page) + "\n";
    program_.statements.emplace_back();
    for (const std::string& label : labels_[static_cast<std::size_t>(index)]) {
      const bool labelled = pick(0, 2) != 0;
      line(labelled ? label : "", statement(index));
      if (!labelled) line(label, "CLA");  // every name is there to be reached
    }
    if (pick(0, 2) == 0) line("", oneOf(std::vector<std::string>{"HLT 0", "JMP " + anyLabel()}));
    const std::string subroutine = "S" + std::to_string(index);
    if (std::find(subroutines_.begin(), subroutines_.end(), subroutine) != subroutines_.end()) {
      line(subroutine, "RTNADR");
      line("", "JMP I " + subroutine);
    }
    writeDeclarations(index);
  }

  void writeDeclarations(int index) {
    const std::string number = std::to_string(index);
    line("V" + number, oneOf(std::vector<std::string>{"VAR", "VAR=5", "VAR=" + anyLabel() + "A"}));
    line("C" + number, oneOf(std::vector<std::string>{"1", "'A", "#017", "-3"}));
    line("P" + number, "VAR=" + anyLabel() + "A");
    if (pick(0, 1) == 0) {
      line("B" + number, "ARRAY[" + std::to_string(pick(1, 4)) + "]");
    } else {
      line("B" + number, "TABLE[2]");
      line("", "'x");
      line("", "7");
    }
    if (pick(0, 3) == 0) {
      const std::string target = anyLabel();
      line(target + "A", "A(" + target + ")");
    }
  }

  std::mt19937 random_;
  int pages_ = 0;
  std::vector<std::vector<std::string>> labels_;
  std::vector<std::string> subroutines_;
  Program program_;
};

// What a rewritten statement says the source wrote, and what any other
// statement of a line must be: exactly that line's statement.
void checkStatements(const AssemblyState& state, const Explanation& explanation,
                     const Program& program, std::vector<std::string>& faults) {
  for (int address = 0; address < kTableSize; ++address) {
    const LineRecord& word = state.codeTable[static_cast<std::size_t>(address)];
    if (!state.isListed(address) || word.kind != WordKind::kCode || word.line <= 0) continue;
    const std::string& written = program.statements[static_cast<std::size_t>(word.line - 1)];
    const std::string& why = explanation.words[static_cast<std::size_t>(address)].why;
    const std::string line = "line " + std::to_string(word.line);
    const bool told = word.operandRewritten ? why.starts_with(line + " wrote " + written + ";")
                                            : word.body == written;
    if (!told) faults.push_back(wordText(static_cast<std::int16_t>(address)) + ": " + why);
  }
}

void checkJsonAgainstListing(const Assembly& assembly, std::vector<std::string>& faults) {
  std::istringstream lines{*assembly.listing};
  const nlohmann::json report = nlohmann::json::parse(assemblyJson(assembly));
  for (std::string line; std::getline(lines, line);) {
    line.pop_back();  // the CR
    if (line.starts_with("/")) continue;
    const nlohmann::json& word =
        report["words"][static_cast<std::size_t>(wordValue(line.substr(0, 3)))];
    if (!word["listed"].get<bool>() || testing::listingLineOf(word) != line) {
      faults.push_back("JSON differs from the listing line " + line);
    }
  }
}

TEST(ExplainProperty, HoldsForEveryGeneratedProgramThatAssembles) {
  constexpr unsigned kPrograms = 400;
  int assembledCount = 0;
  int rewritten = 0;
  int jumps = 0;
  for (unsigned programNumber = 0; programNumber < kPrograms; ++programNumber) {
    const Program program = Generator(programNumber).program();
    const Assembly assembly = assembleSource(program.source);
    if (!assembly.ok) continue;
    ++assembledCount;
    const AssemblyState& state = *assembly.state;
    const Explanation explanation = explainAssembly(state);
    std::vector<std::string> faults = testing::explanationFaults(state, explanation);
    checkStatements(state, explanation, program, faults);
    if (programNumber % 10 == 0) checkJsonAgainstListing(assembly, faults);
    for (const LineRecord& word : state.codeTable) {
      rewritten += word.operandRewritten ? 1 : 0;
      jumps += word.kind == WordKind::kJump ? 1 : 0;
    }
    for (const std::string& fault : faults) ADD_FAILURE() << fault << "\n" << program.source;
    if (!faults.empty()) break;
  }
  // The generator must keep making programs that assemble and that use what
  // the explanation is about.
  EXPECT_GE(assembledCount, 300);
  EXPECT_GE(rewritten, 800);
  EXPECT_GE(jumps, 30);
}

}  // namespace
}  // namespace ovrik
