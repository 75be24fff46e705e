#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "intake/intake.hpp"
#include "intake/quiet_lines.hpp"
#include "intake/source_lines.hpp"

namespace ovrik {

// ---- Splitting the source into lines ----

bool SourceLines::refill() {
  if (finished_) return false;
  position_ = 0;
  end_ = source_.read(buffer_.data(), buffer_.size());
  if (end_ == 0) finished_ = true;
  nextLf_ = find('\n', 0, end_);
  return end_ > 0;
}

int SourceLines::peek() {
  if (position_ == end_ && !refill()) return kEnd;
  return static_cast<unsigned char>(buffer_[position_]);
}

// The block position of the first c in from..to, or to.
std::size_t SourceLines::find(char c, std::size_t from, std::size_t to) const {
  const void* found = std::memchr(buffer_.data() + from, c, to - from);
  return found == nullptr
             ? to
             : static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data());
}

// Where the current line ends in the block, or end_. The next LF is kept from
// line to line: in a file of lone CRs, searching for it afresh for every line
// would cross the rest of the block each time.
std::size_t SourceLines::lineEndInBlock() {
  if (nextLf_ < position_) nextLf_ = find('\n', position_, end_);
  return find('\r', position_, nextLf_);
}

std::string_view SourceLines::blockPart(std::size_t from, std::size_t to) const {
  return {buffer_.data() + from, to - from};
}

void SourceLines::passLineEnd(std::size_t lineEnd) {
  afterCr_ = buffer_[lineEnd] == '\r';
  position_ = lineEnd + 1;
}

// A line that goes on in the next block, or ends where the source ends, is
// gathered in a copy as the blocks are read; its first 255 bytes are kept.
std::string_view SourceLines::lineAcrossBlocks() {
  acrossBlocks_.clear();
  std::size_t lineEnd = end_;
  while (lineEnd == end_) {
    acrossBlocks_.append(blockPart(position_, end_));
    position_ = end_;
    if (!refill()) return acrossBlocks_.view();  // the last line needs no line end
    lineEnd = lineEndInBlock();
  }
  acrossBlocks_.append(blockPart(position_, lineEnd));
  passLineEnd(lineEnd);
  return acrossBlocks_.view();
}

std::string_view SourceLines::unscanned() const {
  return blockPart(position_, end_);
}

void SourceLines::skip(std::size_t length) {
  if (length == 0) return;
  position_ += length;
  afterCr_ = false;  // the scan ends after a line end: an LF after it begins an empty line
}

bool SourceLines::next(std::string_view& line) {
  constexpr int kCtrlZ = 26;
  // The LF of a CR LF is passed only now: looking at it can read the next
  // block over the line handed out last time.
  if (afterCr_ && peek() == '\n') ++position_;
  afterCr_ = false;
  const int first = peek();
  if (first == kEnd || first == kCtrlZ) {
    finished_ = true;  // nothing after a Ctrl-Z line start is read
    return false;
  }
  const std::size_t lineEnd = lineEndInBlock();
  if (lineEnd == end_) {
    line = lineAcrossBlocks();
    return true;
  }
  line = blockPart(position_, lineEnd).substr(0, kLineLength);
  passLineEnd(lineEnd);
  return true;
}

// ---- Filing the lines ----

namespace {

constexpr std::int16_t kNoPage = -1;

struct ReaderState {
  AssemblyState& tables;
  std::int16_t currentPage = kNoPage;
  std::int16_t tableEntriesLeft = 0;
  // Next free dataTable index: a page's data starts here when it is named, so
  // pages named out of order or again never share data records.
  std::int16_t dataFiled = 0;
};

bool isBlank(char c) {
  return c == ' ';
}

bool isBlankOnly(std::string_view text) {
  return std::all_of(text.begin(), text.end(), isBlank);
}

// Every run of blanks becomes one blank, and a blank at either end goes; text
// holds more than blanks. Tabs are ordinary characters here.
LineText normalisedBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  text = text.substr(first, text.find_last_not_of(' ') + 1 - first);
  LineText folded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isBlank(text[i]) && isBlank(text[i + 1])) continue;  // the last byte is no blank
    folded.push_back(text[i]);
  }
  return folded;
}

void selectPage(ReaderState& reader, std::int16_t page) {
  AssemblyState& tables = reader.tables;
  reader.currentPage = page;
  tables.fill(kCodeCount, page) = 0;
  tables.fill(kDataCount, page) = 0;
  tables.fill(kDataStart, page) = reader.dataFiled;
  if (page < tables.firstPage) tables.firstPage = page;
  if (page > tables.lastPage) tables.lastPage = page;
}

// The count between "TABLE[" and the closing character; below 1 or unreadable opens no block.
std::int16_t tableHeadCount(std::string_view text) {
  const std::string_view count =
      text.size() > 7 ? text.substr(6, text.size() - 7) : std::string_view{};
  const IntegerReading reading = readInteger(count);
  return reading.value > 0 ? reading.value : std::int16_t{0};
}

void fileCounted(AssemblyState& tables, TableId id, const LineRecord& record,
                 const char* fullMessage) {
  std::int16_t& count = tables.tableCount[static_cast<std::size_t>(id)];
  if (count >= kTableSize) errorStop(fullMessage);
  tables.table(id)[static_cast<std::size_t>(count)] = record;
  ++count;
}

void fileData(ReaderState& reader, LineRecord& record, std::string_view text) {
  if (text.starts_with("TABLE[")) {
    reader.tableEntriesLeft = tableHeadCount(text);
  } else if (reader.tableEntriesLeft > 0) {
    record.code = literalCode(text);
    --reader.tableEntriesLeft;
  }
  if (reader.currentPage == kNoPage) return;  // before any page: classified, never stored
  if (reader.dataFiled >= kTableSize) errorStop("Error: Too many data lines.");
  reader.tables.dataTable[static_cast<std::size_t>(reader.dataFiled)] = record;
  ++reader.dataFiled;
  ++reader.tables.fill(kDataCount, reader.currentPage);
}

void fileCode(ReaderState& reader, LineRecord& record, std::string_view text) {
  if (reader.currentPage == kNoPage) return;
  AssemblyState& tables = reader.tables;
  const std::int16_t page = reader.currentPage;
  checkPageCapacity(tables, page, 1);
  record.code = text == "RTNADR" ? "000" : "";
  std::int16_t& count = tables.fill(kCodeCount, page);
  tables.codeWord(page, count) = record;
  ++count;
}

// The text is never empty: handleLine has dropped the lines that file nothing.
void classifyLine(ReaderState& reader, LineRecord& record, std::string_view text) {
  AssemblyState& tables = reader.tables;
  if (text == "VAR" || text.starts_with("VAR=")) {
    record.code = "000";
    fileCounted(tables, kVariableTable, record, "Error: Too many variables.");
  } else if (isConstantLiteral(text) && reader.tableEntriesLeft == 0) {
    record.code = literalCode(text);
    fileCounted(tables, kConstantTable, record, "Error: Too many constants.");
  } else if (text.starts_with("ARRAY[") || text.starts_with("TABLE[") ||
             reader.tableEntriesLeft > 0) {
    fileData(reader, record, text);
  } else {
    fileCode(reader, record, text);
  }
}

// The page a comment in column 1 names, read as the 47 bytes the record keeps.
void selectPageNamedBy(ReaderState& reader, std::string_view comment) {
  const IntegerReading page = readInteger(comment.substr(0, kFieldLength));
  if (page.ok && page.value >= 0 && page.value < kPageCount) selectPage(reader, page.value);
}

void handleLine(ReaderState& reader, std::string_view line) {
  std::string_view comment = "";
  const std::size_t slash = line.find('/');
  if (slash != std::string_view::npos) {
    comment = line.substr(slash + 1);
    if (slash == 0) selectPageNamedBy(reader, comment);
    line = line.substr(0, slash);
  }
  // Lines that file nothing are most lines of a long source: they end here,
  // before any record is built.
  if (isBlankOnly(line)) return;
  std::string_view label = "";
  const std::size_t comma = line.find(',');
  if (comma != std::string_view::npos) {
    label = line.substr(0, comma);
    line.remove_prefix(comma + 1);
    if (isBlankOnly(line)) return;  // a label alone is lost with its line
  }
  const LineText text = normalisedBlanks(line);
  LineRecord record;
  record.label = label;
  record.body = text;
  record.comment = comment;
  classifyLine(reader, record, text);
}

}  // namespace

void readSource(AssemblyState& state, ByteSource& source, ChunkScan scan) {
  state.tableCount[kVariableTable] = 0;
  state.tableCount[kConstantTable] = 0;
  state.firstPage = kPageCount - 1;
  state.lastPage = 0;
  ReaderState reader{state};
  SourceLines lines(source);
  std::string_view line;
  if (scan == ChunkScan::kNone) {
    while (lines.next(line)) handleLine(reader, line);
    return;
  }
  for (;;) {
    lines.skip(quietPrefix(lines.unscanned(), scan));
    if (!lines.next(line)) return;
    handleLine(reader, line);
  }
}

}  // namespace ovrik
