#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "layout/layout.hpp"

namespace ovrik {
namespace {

void setMiddleInsertionPoint(AssemblyState& state, int page);

}  // namespace

void setInsertionPoints(AssemblyState& state) {
  state.fill(kInsertionPoint, state.firstPage) = 0;
  state.fill(kInsertionPoint, state.lastPage) = state.fill(kCodeCount, state.lastPage);
  for (int page = state.firstPage + 1; page < state.lastPage; ++page) {
    setMiddleInsertionPoint(state, page);
  }
}

void moveWordsUp(AssemblyState& state, int page, int from, int by) {
  for (int slot = state.fill(kCodeCount, page) - 1; slot >= from; --slot) {
    state.codeWord(page, slot + by) = state.codeWord(page, slot);
  }
}

namespace {

int firstNaturalBreak(const AssemblyState& state, int page);
void insertJumpOverInsertionPoint(AssemblyState& state, int page);

void setMiddleInsertionPoint(AssemblyState& state, int page) {
  state.fill(kInsertionPoint, page) = -1;
  const int naturalBreak = firstNaturalBreak(state, page);
  if (naturalBreak >= 0) {
    state.fill(kInsertionPoint, page) = static_cast<std::int16_t>(naturalBreak);
  } else {
    insertJumpOverInsertionPoint(state, page);
  }
}

int firstNaturalBreak(const AssemblyState& state, int page) {
  for (int slot = 0; slot <= state.fill(kCodeCount, page); ++slot) {
    if (isFlowBreak(state, page, slot)) return slot;
  }
  return -1;
}

int firstJumpSlot(const AssemblyState& state, int page);
std::string labelJumpTarget(AssemblyState& state, int page, int target);

// Makes room for a jump over the insertion point where the page has no natural one.
void insertJumpOverInsertionPoint(AssemblyState& state, int page) {
  // Neither message is about one word: they name the page's directive.
  const std::int32_t directive = state.directiveLine[static_cast<std::size_t>(page)];
  const int jumpSlot = firstJumpSlot(state, page);
  if (jumpSlot < 0) {
    errorStop("Error: No place for a jump in page " + std::to_string(page) + ".", directive);
  }
  checkPageCapacity(state, page, 1, directive, WordKind::kJump);
  moveWordsUp(state, page, jumpSlot, 1);
  ++state.fill(kCodeCount, page);

  const int target = jumpSlot + 1;
  const std::string targetLabel = labelJumpTarget(state, page, target);
  LineRecord& jump = state.codeWord(page, jumpSlot);
  jump = LineRecord{};
  jump.body = "JMP " + targetLabel;
  jump.kind = WordKind::kJump;
  state.fill(kInsertionPoint, page) = static_cast<std::int16_t>(target);
}

// The jump must not follow a skip instruction, or the skip could jump over it.
int firstJumpSlot(const AssemblyState& state, int page) {
  for (int slot = 0; slot <= state.fill(kCodeCount, page); ++slot) {
    if (noSkipBefore(state, page, slot)) return slot;
  }
  return -1;
}

// Gives the word behind the jump the generated label, unless it has a label of
// its own, and returns the label the jump names. Slot 16 would be slot 0 of the
// next page, so a jump in the last slot names the label without writing it.
std::string labelJumpTarget(AssemblyState& state, int page, int target) {
  const std::string generated = "END" + std::to_string(page);
  bool& made = state.endLabelMade[static_cast<std::size_t>(page)];
  if (target >= kPageSize) {
    made = true;
    return generated;
  }
  LineRecord& word = state.codeWord(page, target);
  if (word.label.empty()) {
    word.label = generated;
    word.labelMade = made = true;
  }
  return word.label.str();
}

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

// Words in page; a page outside memory holds none.
int wordsIn(const AssemblyState& state, int page) {
  return page >= 0 && page < kPageCount ? state.fill(kCodeCount, page) : 0;
}

// Record number of the word that control reaches slot of page from: the word
// in the slot below, or for slot 0 the last word of the page below, which for
// an empty page below is its neighbour's slot 15. Negative before page 0.
int addressBefore(const AssemblyState& state, int page, int slot) {
  if (slot >= 1) return page * kPageSize + slot - 1;
  return (page - 1) * kPageSize + wordsIn(state, page - 1) - 1;
}

// The body of the word before slot of page; a missing word reads as the empty text.
std::string_view bodyBefore(const AssemblyState& state, int page, int slot) {
  const int address = addressBefore(state, page, slot);
  if (address < 0 || address >= kTableSize) return {};
  return state.codeTable[static_cast<std::size_t>(address)].body;
}

}  // namespace

bool noSkipBefore(const AssemblyState& state, int page, int slot) {
  return !beginsWithAny(bodyBefore(state, page, slot), kSkipStarts);
}

bool isFlowBreak(const AssemblyState& state, int page, int slot) {
  const int wordsBefore = wordsIn(state, page - 1);
  if (wordsBefore == 0) return true;
  const bool inPage = slot >= 1;
  const int wordPage = inPage ? page : page - 1;
  const int wordSlot = inPage ? slot - 1 : wordsBefore - 1;
  return beginsWithAny(bodyBefore(state, page, slot), kFlowEndStarts) &&
         noSkipBefore(state, wordPage, wordSlot);
}

}  // namespace ovrik
