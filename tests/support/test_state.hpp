#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tables/tables.hpp"

namespace ovrik::testing {

// A word as a test writes it: label, body, code, comment.
struct Word {
  std::string label{};
  std::string body{};
  std::string code{};
  std::string comment{};
};

inline LineRecord record(const Word& word) {
  LineRecord result;
  result.label = word.label;
  result.body = word.body;
  result.code = word.code;
  result.comment = word.comment;
  return result;
}

// Empty tables, as the program starts with them (too large for the stack).
inline std::unique_ptr<AssemblyState> emptyState() {
  return std::make_unique<AssemblyState>();
}

// Makes page hold exactly these words (firstPage and lastPage are left to the test).
inline void setPage(AssemblyState& state, int page, std::initializer_list<Word> words) {
  std::int16_t slot = 0;
  for (const Word& word : words) state.codeWord(page, slot++) = record(word);
  state.fill(kCodeCount, page) = slot;
}

// The program spans pages first to last, as page directives would have set it.
inline void usePages(AssemblyState& state, std::int16_t first, std::int16_t last) {
  state.firstPage = first;
  state.lastPage = last;
}

// A record as "label|body|code|comment", so that a failure shows all four texts.
inline std::string texts(const LineRecord& word) {
  return word.label.str() + "|" + word.body.str() + "|" + word.code.str() + "|" +
         word.comment.str();
}

// The bodies of the words a page holds (its code count of them), for compact checks.
inline std::vector<std::string> bodies(const AssemblyState& state, std::int16_t page) {
  std::vector<std::string> result;
  for (std::int16_t slot = 0; slot < state.fill(kCodeCount, page); ++slot) {
    result.push_back(state.codeWord(page, slot).body.str());
  }
  return result;
}

inline std::vector<std::string> labels(const AssemblyState& state, std::int16_t page) {
  std::vector<std::string> result;
  for (std::int16_t slot = 0; slot < state.fill(kCodeCount, page); ++slot) {
    result.push_back(state.codeWord(page, slot).label.str());
  }
  return result;
}

// Appends to variableTable or constantTable as the source reader files them.
inline void addEntry(AssemblyState& state, TableId table, const Word& word) {
  std::int16_t& count = state.tableCount[static_cast<std::size_t>(table)];
  state.table(table)[static_cast<std::size_t>(count++)] = record(word);
}

// The "Error:" line a pass stops with, or "" when it runs through.
template <typename Pass>
std::string errorOf(Pass&& pass) {
  try {
    pass();
  } catch (const ErrorStop& stop) {
    return stop.message;
  }
  return "";
}

}  // namespace ovrik::testing
