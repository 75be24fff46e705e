#pragma once

#include <array>
#include <string_view>

namespace ovrik {

// The instruction set, kept in this one place: the assembler encodes with it,
// the machine tells an instruction from data by it, and the playground's
// highlighter colours what it names.
struct Mnemonic {
  std::string_view name;
  // One operation digit for a memory reference (0 to 5), else the whole word:
  // 6.. for input and output (the port goes into the middle digit), 7.. operate.
  std::string_view code;

  bool isMemoryReference() const { return code.size() == 1; }
  bool isInputOutput() const { return code.starts_with('6'); }
};

// Combined operate mnemonics exist only in these spellings, parts in this order.
inline constexpr std::array<Mnemonic, 28> kMnemonics{{
    {"AND", "0"},   {"TAD", "1"},       {"INC", "2"},       {"ISZ", "2"},       {"DCA", "3"},
    {"JMS", "4"},   {"JMP", "5"},       {"NOP", "700"},     {"IAC", "701"},     {"RAL", "702"},
    {"CMA", "704"}, {"CLA", "710"},     {"HLT", "721"},     {"RAR", "722"},     {"SMA", "724"},
    {"SZA", "730"}, {"CLA.IAC", "711"}, {"CLA.CMA", "714"}, {"SZA.SMA", "734"}, {"CMA.IAC", "705"},
    {"SKF", "601"}, {"SDF", "621"},     {"KRS", "602"},     {"LDS", "622"},     {"RKF", "604"},
    {"RDF", "624"}, {"KRB", "606"},     {"LDB", "626"},
}};

// The mnemonic spelt exactly so, or null.
constexpr const Mnemonic* findMnemonic(std::string_view name) {
  for (const Mnemonic& mnemonic : kMnemonics) {
    if (mnemonic.name == name) return &mnemonic;
  }
  return nullptr;
}

// The mnemonic a statement starts with: its text up to the first blank.
constexpr const Mnemonic* mnemonicOf(std::string_view statement) {
  return findMnemonic(statement.substr(0, statement.find(' ')));
}

}  // namespace ovrik
