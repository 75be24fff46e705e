#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "layout/layout.hpp"

namespace ovrik {
namespace {

// "SZA" and "SMA" carry no blank, so every body that begins with them skips,
// "SZA.SMA" among them.
constexpr std::array<std::string_view, 5> kSkipStarts = {"ISZ ", "SZA", "SMA", "SKF ", "SDF "};
constexpr std::array<std::string_view, 2> kFlowEndStarts = {"JMP ", "HLT "};

bool beginsWithAny(std::string_view body, const auto& starts) {
  for (std::string_view start : starts) {
    if (body.starts_with(start)) return true;
  }
  return false;
}

bool isSkipInstruction(std::string_view body) {
  return beginsWithAny(body, kSkipStarts);
}

bool isFlowEnding(std::string_view body) {
  return beginsWithAny(body, kFlowEndStarts);
}

bool isPage(int page) {
  return page >= 0 && page < kPageCount;
}

// Words in page; a page outside memory holds none.
std::int16_t wordsIn(const AssemblyState& state, int page) {
  return isPage(page) ? state.fill(kCodeCount, static_cast<std::int16_t>(page)) : 0;
}

// Record number of the word that control reaches slot of page from: the word
// in the slot below, or for slot 0 the last word of the page below, which for
// an empty page below is its neighbour's slot 15. Negative before page 0.
int addressBefore(const AssemblyState& state, std::int16_t page, std::int16_t slot) {
  if (slot >= 1) return page * kPageSize + slot - 1;
  return (page - 1) * kPageSize + wordsIn(state, page - 1) - 1;
}

// The body of the word before slot of page; a missing word reads as the empty text.
std::string_view bodyBefore(const AssemblyState& state, std::int16_t page, std::int16_t slot) {
  const int address = addressBefore(state, page, slot);
  if (address < 0 || address >= kTableSize) return {};
  return state.codeTable[static_cast<std::size_t>(address)].body;
}

std::string generatedLabel(std::int16_t page) {
  return "END" + decimal(page);
}

std::int16_t firstNaturalBreak(const AssemblyState& state, std::int16_t page) {
  for (std::int16_t slot = 0; slot <= state.fill(kCodeCount, page); ++slot) {
    if (isFlowBreak(state, page, slot)) return slot;
  }
  return -1;
}

// The jump must not follow a skip instruction, or the skip could jump over it.
std::int16_t firstJumpSlot(const AssemblyState& state, std::int16_t page) {
  for (std::int16_t slot = 0; slot <= state.fill(kCodeCount, page); ++slot) {
    if (noSkipBefore(state, page, slot)) return slot;
  }
  return -1;
}

void moveWordsUpOne(AssemblyState& state, std::int16_t page, std::int16_t from) {
  for (auto slot = static_cast<std::int16_t>(state.fill(kCodeCount, page) - 1); slot >= from;
       --slot) {
    state.codeWord(page, static_cast<std::int16_t>(slot + 1)) = state.codeWord(page, slot);
  }
}

// Slot 16 would be slot 0 of the next page, so a jump in the last slot names
// its label without writing it anywhere.
std::string labelBehindJump(AssemblyState& state, std::int16_t page, std::int16_t target) {
  if (target >= kPageSize) return generatedLabel(page);
  FieldText& label = state.codeWord(page, target).label;
  if (label.empty()) label = generatedLabel(page);
  return label.str();
}

// Makes room for a jump over the insertion point where the page has no natural one.
void insertJumpOverInsertionPoint(AssemblyState& state, std::int16_t page) {
  const std::int16_t jumpSlot = firstJumpSlot(state, page);
  if (jumpSlot < 0) errorStop("Error: No place for a jump in page " + decimal(page) + ".");
  checkPageCapacity(state, page, 1);
  moveWordsUpOne(state, page, jumpSlot);
  ++state.fill(kCodeCount, page);

  const auto target = static_cast<std::int16_t>(jumpSlot + 1);
  const std::string targetLabel = labelBehindJump(state, page, target);
  LineRecord& jump = state.codeWord(page, jumpSlot);
  jump.label.clear();
  jump.body = "JMP " + targetLabel;
  jump.comment.clear();
  state.fill(kInsertionPoint, page) = target;
}

void setMiddleInsertionPoint(AssemblyState& state, std::int16_t page) {
  state.fill(kInsertionPoint, page) = -1;
  const std::int16_t naturalBreak = firstNaturalBreak(state, page);
  if (naturalBreak >= 0) {
    state.fill(kInsertionPoint, page) = naturalBreak;
  } else {
    insertJumpOverInsertionPoint(state, page);
  }
}

}  // namespace

bool noSkipBefore(const AssemblyState& state, std::int16_t page, std::int16_t slot) {
  return !isSkipInstruction(bodyBefore(state, page, slot));
}

bool isFlowBreak(const AssemblyState& state, std::int16_t page, std::int16_t slot) {
  const std::int16_t wordsBefore = wordsIn(state, page - 1);
  if (wordsBefore == 0) return true;
  const bool inPage = slot >= 1;
  const auto wordPage = static_cast<std::int16_t>(inPage ? page : page - 1);
  const auto wordSlot = static_cast<std::int16_t>(inPage ? slot - 1 : wordsBefore - 1);
  return isFlowEnding(bodyBefore(state, page, slot)) && noSkipBefore(state, wordPage, wordSlot);
}

void setInsertionPoints(AssemblyState& state) {
  state.fill(kInsertionPoint, state.firstPage) = 0;
  state.fill(kInsertionPoint, state.lastPage) = state.fill(kCodeCount, state.lastPage);
  for (auto page = static_cast<std::int16_t>(state.firstPage + 1); page < state.lastPage; ++page) {
    setMiddleInsertionPoint(state, page);
  }
}

}  // namespace ovrik
