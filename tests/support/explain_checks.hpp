#pragma once

// What must hold between an assembled program, its explanation and its JSON,
// whatever the program: the property test over generated programs checks it.
#include <algorithm>
#include <array>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "assemble/assemble.hpp"
#include "assemble/explain.hpp"
#include "tables/byte_stream.hpp"
#include "tables/tables.hpp"
#include "tables/word_notation.hpp"

namespace ovrik::testing {

// JSON strings hold one character per byte of the source.
inline std::string bytesOf(const nlohmann::json& text) {
  std::string bytes;
  const std::string utf8 = text.get<std::string>();
  for (std::size_t at = 0; at < utf8.size(); ++at) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    if (lead < 0x80 || at + 1 == utf8.size()) {
      bytes += static_cast<char>(lead);
    } else {
      const auto next = static_cast<unsigned char>(utf8[++at]);
      bytes += static_cast<char>(((lead & 0x03U) << 6U) | (next & 0x3FU));
    }
  }
  return bytes;
}

// The listing line, without its line end, that the listing writer makes of a
// word's label, statement, code and comment in the JSON.
inline std::string listingLineOf(const nlohmann::json& word) {
  LineRecord record;
  record.label = bytesOf(word["label"]);
  record.body = bytesOf(word["statement"]);
  record.code = bytesOf(word["code"]);
  record.comment = bytesOf(word["comment"]);
  StringSink line;
  line.write(wordText(word["address"].get<std::int16_t>()) + " ");
  writeListingLine(record, line);
  std::string text(line.bytes());
  return text.substr(0, text.size() - kLineEnd.size());
}

namespace explain_checks {

inline constexpr std::array<std::string_view, 7> kMemoryReferences = {
    "AND ", "TAD ", "ISZ ", "INC ", "DCA ", "JMS ", "JMP "};

// The name a memory-reference statement names, "I " taken off; "" for any other statement.
inline std::string operandNamed(std::string_view body) {
  const bool memoryReference = std::any_of(kMemoryReferences.begin(), kMemoryReferences.end(),
                                           [&](std::string_view m) { return body.starts_with(m); });
  if (!memoryReference) return "";
  std::string_view operand = body.substr(4);
  if (operand.starts_with("I ")) operand.remove_prefix(2);
  return std::string(operand);
}

inline std::vector<int> asNumbers(const std::vector<std::uint8_t>& addresses) {
  return {addresses.begin(), addresses.end()};
}

}  // namespace explain_checks

// Every fault found, one line each; empty when the explanation holds.
inline std::vector<std::string> explanationFaults(const AssemblyState& state,
                                                  const Explanation& explanation) {
  using namespace explain_checks;
  std::vector<std::string> faults;
  const auto fault = [&](int address, const std::string& what) {
    faults.push_back(wordText(static_cast<std::int16_t>(address)) + ": " + what);
  };
  const auto word = [&](int address) -> const LineRecord& {
    return state.codeTable[static_cast<std::size_t>(address)];
  };
  const auto reasons = [&](int address) -> const WordReasons& {
    return explanation.words[static_cast<std::size_t>(address)];
  };
  for (int address = 0; address < kTableSize; ++address) {
    const bool listed = state.isListed(address);
    if (listed == reasons(address).why.empty()) fault(address, "sentence and listing disagree");
    for (const std::uint8_t target : reasons(address).reaches) {
      const std::vector<std::uint8_t>& back = reasons(target).reachedBy;
      if (std::find(back.begin(), back.end(), address) == back.end()) {
        fault(address, "reaches a word that does not list it");
      }
    }
    if (!listed) continue;
    const int page = address / kPageSize;
    const LineRecord& here = word(address);
    // An address constant is reached by exactly the statements of its page that name it.
    if (here.body.startsWith("A(")) {
      std::vector<int> naming;
      for (int slot = 0; slot < kPageSize; ++slot) {
        const int other = page * kPageSize + slot;
        if (state.isListed(other) && operandNamed(word(other).body) == here.label.view()) {
          naming.push_back(other);
        }
      }
      if (asNumbers(reasons(address).reachedBy) != naming) {
        fault(address, "address constant not reached by exactly its statements");
      }
    }
    // An indirect statement through an address constant ends at the word
    // labelled with the constant's name: the lowest such word, as labels resolve.
    const std::vector<std::uint8_t>& reached = reasons(address).reaches;
    if (!operandNamed(here.body).empty() && here.body.contains(" I ") && !reached.empty() &&
        word(reached[0]).kind == WordKind::kAddressConstant) {
      const std::string name(
          word(reached[0]).label.view().substr(0, word(reached[0]).label.size() - 1));
      int labelled = -1;
      for (int other = state.firstPage * kPageSize;
           other < (state.lastPage + 1) * kPageSize && labelled < 0; ++other) {
        if (word(other).label == name && !word(other).body.contains("A(")) labelled = other;
      }
      if (reached.size() != 2 || reached[1] != labelled) {
        fault(address, "indirect statement does not end at the word labelled " + name);
      }
    }
    // An inserted jump lands behind the page's data and pool, on the word
    // carrying the label it names.
    if (here.kind == WordKind::kJump) {
      const int target = reached.empty() ? -1 : reached[0];
      bool landsRight = target > address && target / kPageSize == page &&
                        word(target).label.view() == operandNamed(here.body);
      for (int between = address + 1; landsRight && between < target; ++between) {
        const WordKind kind = word(between).kind;
        landsRight = kind != WordKind::kCode && kind != WordKind::kJump;
      }
      if (!landsRight) fault(address, "inserted jump does not land behind the data and pool");
    }
  }
  return faults;
}

}  // namespace ovrik::testing
