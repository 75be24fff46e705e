#include <cstdint>
#include <string_view>

#include "intake/intake.hpp"
#include "intake/source_lines.hpp"

namespace ovrik {

// ---- Splitting the source into lines ----

bool SourceLines::refill() {
  if (finished_) return false;
  position_ = 0;
  end_ = source_.read(buffer_.data(), buffer_.size());
  if (end_ == 0) finished_ = true;
  return end_ > 0;
}

int SourceLines::peek() {
  if (position_ == end_ && !refill()) return kEnd;
  return static_cast<unsigned char>(buffer_[position_]);
}

int SourceLines::get() {
  const int c = peek();
  if (c != kEnd) ++position_;
  return c;
}

bool SourceLines::next(LineText& line) {
  constexpr int kCtrlZ = 26;
  int c = get();
  if (c == kEnd || c == kCtrlZ) {
    finished_ = true;  // nothing after a Ctrl-Z line start is read
    return false;
  }
  line.clear();
  for (; c != kEnd && c != '\n'; c = get()) {
    if (c == '\r') {
      if (peek() == '\n') get();
      break;
    }
    line.push_back(static_cast<char>(c));  // past 255 bytes the rest of the line is dropped
  }
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

// Every run of blanks becomes one blank, then one leading and one trailing
// blank go. Tabs are ordinary characters here.
void normaliseBlanks(LineText& line) {
  LineText folded;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (isBlank(line[i]) && i + 1 < line.size() && isBlank(line[i + 1])) continue;
    folded.push_back(line[i]);
  }
  if (!folded.empty() && isBlank(folded[0])) folded.erase(0, 1);
  if (!folded.empty() && isBlank(folded[folded.size() - 1])) folded.erase(folded.size() - 1, 1);
  line = folded;
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

void classifyLine(ReaderState& reader, LineRecord& record, std::string_view text) {
  AssemblyState& tables = reader.tables;
  if (text == "VAR" || text.starts_with("VAR=")) {
    record.code = "000";
    fileCounted(tables, kVariableTable, record, "Error: Too many variables.");
  } else if (text.empty()) {
    // a blank, comment-only, directive or label-only line files nothing
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

void handleLine(ReaderState& reader, LineText& line) {
  LineRecord record;
  const std::size_t slash = line.view().find('/');
  if (slash != std::string_view::npos) {
    record.comment = line.view().substr(slash + 1);
    if (slash == 0) {
      const IntegerReading page = readInteger(record.comment);
      if (page.ok && page.value >= 0 && page.value < kPageCount) selectPage(reader, page.value);
    }
    line.assign(line.view().substr(0, slash));
  }
  const std::size_t comma = line.view().find(',');
  if (comma != std::string_view::npos) {
    record.label = line.view().substr(0, comma);
    line.erase(0, comma + 1);
  }
  normaliseBlanks(line);
  record.body = line;
  classifyLine(reader, record, line);
}

}  // namespace

void readSource(AssemblyState& state, ByteSource& source) {
  state.tableCount[kVariableTable] = 0;
  state.tableCount[kConstantTable] = 0;
  state.firstPage = kPageCount - 1;
  state.lastPage = 0;
  ReaderState reader{state};
  SourceLines lines(source);
  LineText line;
  while (lines.next(line)) handleLine(reader, line);
}

}  // namespace ovrik
