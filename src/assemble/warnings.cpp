#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "assemble/assemble.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

void warnOfLabelsDefinedTwice(AssemblyState& state, int page);
void warnOfFarReferencesToSeveralPages(AssemblyState& state, int page);
void warnOfCodesThatAreNoWords(AssemblyState& state, int page);
void warnOfAProgramWithoutWords(AssemblyState& state);

}  // namespace

void findDoubtfulWords(AssemblyState& state) {
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    warnOfLabelsDefinedTwice(state, page);
    warnOfFarReferencesToSeveralPages(state, page);
    warnOfCodesThatAreNoWords(state, page);
  }
  warnOfAProgramWithoutWords(state);
  std::stable_sort(state.warnings.begin(), state.warnings.end(),
                   [](const Warning& a, const Warning& b) { return a.line < b.line; });
}

namespace {

// Every lookup takes the lowest slot, so the second definition is never reached.
void warnOfLabelsDefinedTwice(AssemblyState& state, int page) {
  const int count = state.listedWords(page);
  for (int slot = 1; slot < count; ++slot) {
    const LineRecord& word = state.codeWord(page, slot);
    if (word.label.empty()) continue;
    for (int earlier = 0; earlier < slot; ++earlier) {
      const LineRecord& first = state.codeWord(page, earlier);
      if (first.label != word.label) continue;
      const std::int32_t line = labelLine(state, word);
      const std::int32_t firstLine = labelLine(state, first);
      if (firstLine != line) {
        addWarning(state, line,
                   "label " + shownText(word.label) + " is defined twice in page " +
                       std::to_string(page) + "; the one on line " + std::to_string(firstLine) +
                       " is used",
                   WarningKind::kLabelTwice);
      }
      break;
    }
  }
}

std::vector<int> pagesDefining(const AssemblyState& state, std::string_view name);
std::string listed(const std::vector<int>& pages);

const LineRecord* wordAt(const AssemblyState& state, std::string_view code);

// The address a far reference takes is that of the lowest word with the label;
// the label is read off the word the address constant points to, as its own
// texts are cut to the field and may have lost the name's end.
void warnOfFarReferencesToSeveralPages(AssemblyState& state, int page) {
  const int count = state.listedWords(page);
  for (int slot = 0; slot < count; ++slot) {
    const LineRecord& word = state.codeWord(page, slot);
    if (word.kind != WordKind::kAddressConstant) continue;
    const LineRecord* pointedAt = wordAt(state, word.code);
    if (pointedAt == nullptr) continue;
    const std::string_view target = pointedAt->label;
    const std::vector<int> pages = pagesDefining(state, target);
    if (pages.size() < 2) continue;
    addWarning(state, word.line,
               shownText(target) + " is defined in pages " + listed(pages) +
                   "; the reference from page " + std::to_string(page) +
                   " goes to the one in page " + std::to_string(pages.front()),
               WarningKind::kFarReference);
  }
}

const LineRecord* wordAt(const AssemblyState& state, std::string_view code) {
  const int address = wordValue(code);
  if (address < 0 || !state.isListed(address)) return nullptr;
  return &state.codeWord(address / kPageSize, address % kPageSize);
}

std::vector<int> pagesDefining(const AssemblyState& state, std::string_view name) {
  std::vector<int> pages;
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    const int words = state.listedWords(page);
    for (int slot = 0; slot < words; ++slot) {
      if (state.codeWord(page, slot).label == FieldText(name)) {
        pages.push_back(page);
        break;
      }
    }
  }
  return pages;
}

// "1 and 3", "1, 3 and 4".
std::string listed(const std::vector<int>& pages) {
  std::string text;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (i > 0) text += i + 1 == pages.size() ? " and " : ", ";
    text += std::to_string(pages[i]);
  }
  return text;
}

// "#12" gives the code "12" and a TABLE entry that is no literal gives none:
// the listing shows them, but such a word has no value the machine could hold.
void warnOfCodesThatAreNoWords(AssemblyState& state, int page) {
  const int count = state.listedWords(page);
  for (int slot = 0; slot < count; ++slot) {
    const LineRecord& word = state.codeWord(page, slot);
    if (wordValue(word.code) >= 0) continue;
    std::string text = word.code.empty()
                           ? quoted(word.body) + " has no code"
                           : "the code " + quoted(word.code) + " of " + quoted(word.body) +
                                 " is not three digits of the word notation";
    text += ": the listing is written, but the machine cannot run it";
    const bool known =
        std::any_of(state.warnings.begin(), state.warnings.end(),
                    [&](const Warning& w) { return w.line == word.line && w.text == text; });
    if (!known) addWarning(state, word.line, text, WarningKind::kCodeNoWord);
  }
}

// Page directives followed by comments only, or by variables and constants no
// instruction uses, give a listing without a word: nothing to run.
void warnOfAProgramWithoutWords(AssemblyState& state) {
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    for (int slot = 0; slot < state.listedWords(page); ++slot) {
      const WordKind kind = state.codeWord(page, slot).kind;
      if (kind != WordKind::kFiller && kind != WordKind::kJump) return;
    }
  }
  if (state.firstPage > state.lastPage) return;  // the reader has warned of no page directive
  addWarning(state, 0,
             "the program has no words: nothing after its page directives goes into memory, so "
             "the listing holds no word to run",
             WarningKind::kNoWords);
}

}  // namespace
}  // namespace ovrik
