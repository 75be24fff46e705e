#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tables/tables.hpp"

namespace ovrik {

// Why one memory word is there, and how it is tied to the others.
struct WordReasons {
  // For a memory-reference instruction, the word its operand names in its own
  // page and then, when it is indirect through a word whose value the source
  // set, the word at the address that word holds when the program is loaded.
  // For an address constant or a variable set to an address, that word.
  std::vector<std::uint8_t> reaches;
  // Every word that reaches this one, in address order.
  std::vector<std::uint8_t> reachedBy;
  // One plain sentence; empty for a word the program does not list.
  std::string why;
  // For a memory-reference instruction, what it does with the actual addresses.
  std::string does;
};

struct Explanation {
  std::array<WordReasons, kTableSize> words;
};

// The reasons of every word of a program that assembled, from its final
// state: the command line and the playground both show these, never their own.
Explanation explainAssembly(const AssemblyState& state);

// The same in two steps, for a caller that shows the sentences of a few words
// only: first what reaches what (every sentence left empty), then the
// sentences of one word, which read only what reaches what.
Explanation linkAssembly(const AssemblyState& state);
void explainWord(const AssemblyState& state, Explanation& explanation, int address);

// The kind as the explanation names it: "code", "inserted jump", "data",
// "variable", "constant", "address constant" or "filler".
std::string_view kindText(WordKind kind);

}  // namespace ovrik
