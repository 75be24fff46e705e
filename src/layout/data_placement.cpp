#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "intake/intake.hpp"
#include "layout/layout.hpp"

namespace ovrik {
namespace {

// The words one page declares. Memory has 256 words, so no more than 256 can
// ever be placed; the rest are only counted, and counted exactly (a block of
// several large arrays would wrap a 16-bit counter), so that placing a block
// too long for memory still stops at the page where it runs out of room.
struct DataBlock {
  std::array<LineRecord, kTableSize> elements;
  std::int32_t length = 0;
  // Kind word, name and source line of the page's last declaration, for the error message.
  std::string kind;
  std::string name;
  std::int32_t line = 0;

  bool hasRoom() const { return length < kTableSize; }
  void append(const LineRecord& element) {
    if (hasRoom()) elements[static_cast<std::size_t>(length)] = element;
    ++length;
  }
};

std::span<const LineRecord> pageEntries(const AssemblyState& state, int page);
void buildDataBlock(DataBlock& block, std::span<const LineRecord> entries);
void placeDataBlock(AssemblyState& state, int page, const DataBlock& block);

}  // namespace

void placeDataBlocks(AssemblyState& state) {
  for (int page = state.firstPage; page <= state.lastPage; ++page) {
    const std::span<const LineRecord> entries = pageEntries(state, page);
    if (entries.empty()) continue;
    DataBlock block;
    buildDataBlock(block, entries);
    placeDataBlock(state, page, block);
  }
}

namespace {

// The page's entries, never reaching past dataTable whatever the counters say.
std::span<const LineRecord> pageEntries(const AssemblyState& state, int page) {
  const int start = std::clamp<int>(state.fill(kDataStart, page), 0, kTableSize);
  const int count = std::clamp<int>(state.fill(kDataCount, page), 0, kTableSize - start);
  return std::span<const LineRecord>(state.dataTable)
      .subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(count));
}

void appendArray(DataBlock& block, const LineRecord& declaration);
std::size_t appendTable(DataBlock& block, std::span<const LineRecord> entries,
                        std::size_t declarationIndex);

void buildDataBlock(DataBlock& block, std::span<const LineRecord> entries) {
  for (std::size_t index = 0; index < entries.size(); ++index) {
    const LineRecord& entry = entries[index];
    if (entry.body.startsWith(kArrayStart)) {
      appendArray(block, entry);
      block.kind = "Array ";
    } else if (entry.body.startsWith(kTableStart)) {
      index = appendTable(block, entries, index);
      block.kind = "Table ";
    } else {
      continue;  // a value left over from a table does not name the block
    }
    block.name = entry.label.str();
    block.line = entry.line;
  }
}

// "ARRAY[12]" gives 12; whatever does not read as a number gives 0.
int declaredCount(std::string_view body) {
  if (body.size() <= kArrayStart.size()) return 0;
  return readInteger(body.substr(kArrayStart.size(), body.size() - kArrayStart.size() - 1)).value;
}

// Element 0 carries the bare name and the declaration's comment.
LineRecord element(const LineRecord& declaration, int index, std::string_view body,
                   std::string_view code) {
  LineRecord word;
  word.label = declaration.label;
  if (index == 0) {
    word.comment = declaration.comment;
  } else {
    word.label.append("[");
    word.label.append(std::to_string(index));
    word.label.append("]");
  }
  word.body = body;
  word.code = code;
  word.line = declaration.line;
  word.kind = WordKind::kData;
  word.element = static_cast<std::int16_t>(index);
  return word;
}

void appendArray(DataBlock& block, const LineRecord& declaration) {
  const int count = std::max(declaredCount(declaration.body), 1);
  int index = 0;
  for (; index < count && block.hasRoom(); ++index) {
    block.append(element(declaration, index, "VAR", "000"));
  }
  block.length += count - index;
}

// Takes the table's values from the entries after its declaration, but never
// more than the page has; returns the index of the last entry used.
std::size_t appendTable(DataBlock& block, std::span<const LineRecord> entries,
                        std::size_t declarationIndex) {
  const LineRecord& declaration = entries[declarationIndex];
  const int count = declaredCount(declaration.body);
  std::size_t last = declarationIndex;
  for (int index = 0; index < count && last + 1 < entries.size(); ++index) {
    const LineRecord& value = entries[++last];
    LineRecord word = element(declaration, index, value.body, value.code);
    word.line = value.line;  // a value is found, and fixed, on its own line
    block.append(word);
  }
  return last;
}

std::int32_t placeIntoPage(AssemblyState& state, int page, const DataBlock& block,
                           std::int32_t taken);
bool acceptsContinuation(const AssemblyState& state, int page);
std::vector<Note> continuationNotes(const AssemblyState& state, int home, int page,
                                    const DataBlock& block, std::int32_t taken);

void placeDataBlock(AssemblyState& state, int page, const DataBlock& block) {
  const int home = page;
  std::int32_t taken = placeIntoPage(state, page, block, 0);
  while (taken < block.length) {
    ++page;
    if (!acceptsContinuation(state, page)) {
      errorStop("Error: " + block.kind + block.name + " can't continue into page " +
                    std::to_string(page) + ".",
                block.line, continuationNotes(state, home, page, block, taken));
    }
    taken = placeIntoPage(state, page, block, taken);
  }
}

// Puts as much of the block as the page has room for at its insertion point.
// Each page gives at most its 16 slots, so no more than 256 elements are ever
// taken from the block.
std::int32_t placeIntoPage(AssemblyState& state, int page, const DataBlock& block,
                           std::int32_t taken) {
  const int room = std::max(kPageSize - state.fill(kCodeCount, page), 0);
  const int placed = std::min(block.length - taken, room);
  const int insertionPoint = state.fill(kInsertionPoint, page);
  moveWordsUp(state, page, insertionPoint, placed);
  for (int offset = 0; offset < placed; ++offset) {
    state.codeWord(page, insertionPoint + offset) =
        block.elements[static_cast<std::size_t>(taken + offset)];
  }
  state.fill(kCodeCount, page) = static_cast<std::int16_t>(state.fill(kCodeCount, page) + placed);
  state.fill(kInsertionPoint, page) = static_cast<std::int16_t>(insertionPoint + placed);
  return taken + placed;
}

// A continuation must sit where no code runs into it: at the start of a page
// that control cannot enter from the page before, and never beyond the
// program's last page, whose words the listing would not show.
bool acceptsContinuation(const AssemblyState& state, int page) {
  return page <= state.lastPage && state.fill(kInsertionPoint, page) == 0;
}

// How much did not fit, and why the next page cannot take the rest.
std::vector<Note> continuationNotes(const AssemblyState& state, int home, int page,
                                    const DataBlock& block, std::int32_t taken) {
  const std::string before = std::to_string(page - 1);
  const std::string held =
      page - 1 == home ? "page " + before + " has room for "
                       : "pages " + std::to_string(home) + " to " + before + " have room for ";
  std::vector<Note> notes{{block.line, "the arrays and tables of page " + std::to_string(home) +
                                           " take " + std::to_string(block.length) + " words; " +
                                           held + std::to_string(taken) + " of them"}};
  if (page > state.lastPage) {
    notes.push_back({block.line, "page " + std::to_string(page) +
                                     " comes after the program's last page, " +
                                     std::to_string(state.lastPage) + ", so it takes no data"});
  } else {
    notes.push_back({state.directiveLine[static_cast<std::size_t>(page)],
                     "control can run on into page " + std::to_string(page) + " from page " +
                         before + ", so page " + std::to_string(page) +
                         " cannot begin with data: end page " + before + " with HLT 0 or a JMP"});
  }
  return notes;
}

}  // namespace
}  // namespace ovrik
