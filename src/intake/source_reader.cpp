#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "intake/intake.hpp"
#include "intake/source_lines.hpp"
#include "intake/source_warnings.hpp"

namespace ovrik {
namespace {

constexpr std::int16_t kNoPage = -1;

struct ReaderState {
  AssemblyState& tables;
  std::int16_t currentPage = kNoPage;
  std::int16_t tableEntriesLeft = 0;
  // Next free dataTable index: a page's data starts here when it is named, so
  // pages named out of order or again never share data records.
  std::int16_t dataFiled = 0;
  std::int32_t lineNumber = 0;
};

void handleLine(ReaderState& reader, std::string_view line);

}  // namespace

void readSource(AssemblyState& state, ByteSource& source) {
  state.count(kVariableTable) = 0;
  state.count(kConstantTable) = 0;
  state.firstPage = kPageCount - 1;
  state.lastPage = 0;
  ReaderState reader{state};
  SourceLines lines(source);
  std::string_view line;
  while (lines.next(line)) {
    ++reader.lineNumber;
    handleLine(reader, line);
  }
  if (state.firstPage > state.lastPage) {
    addWarning(state, 0,
               "no page directive (a line \"/0\" to \"/15\"): nothing is assembled and the "
               "listing is empty",
               WarningKind::kNoPageDirective);
  }
}

namespace {

bool selectPageNamedBy(ReaderState& reader, std::string_view comment);
bool isBlankOnly(std::string_view text);
LineText normalisedBlanks(std::string_view text);
void classifyLine(ReaderState& reader, LineRecord& record, std::string_view text);

// Splits off the comment and the label; a line that is left with nothing to
// file ends here, before any record is built.
void handleLine(ReaderState& reader, std::string_view line) {
  std::string_view comment = "";
  const std::size_t slash = line.find('/');
  if (slash != std::string_view::npos) {
    comment = line.substr(slash + 1);
    if (slash == 0) {
      const bool namesAPage = selectPageNamedBy(reader, comment);
      warnOfDirectiveLikeComment(reader.tables, reader.lineNumber, comment, namesAPage);
    }
    line = line.substr(0, slash);
  }
  if (isBlankOnly(line)) return;
  std::string_view label = "";
  const std::size_t comma = line.find(',');
  if (comma != std::string_view::npos) {
    label = line.substr(0, comma);
    warnOfLabelNotInColumnOne(reader.tables, reader.lineNumber, label);
    line.remove_prefix(comma + 1);
    if (isBlankOnly(line)) return;  // a label alone is lost with its line
  }
  const LineText text = normalisedBlanks(line);
  LineRecord record;
  record.label = label;
  record.body = text;
  record.comment = comment;
  record.line = reader.lineNumber;
  classifyLine(reader, record, text);
}

// The page a comment in column 1 names, read as the 47 bytes the record keeps;
// false when it names none.
bool selectPageNamedBy(ReaderState& reader, std::string_view comment) {
  const IntegerReading reading = readInteger(comment.substr(0, kFieldLength));
  if (!reading.ok || reading.value < 0 || reading.value >= kPageCount) return false;
  const std::int16_t page = reading.value;
  AssemblyState& tables = reader.tables;
  reader.currentPage = page;
  tables.directiveLine[static_cast<std::size_t>(page)] = reader.lineNumber;
  tables.fill(kCodeCount, page) = 0;
  tables.fill(kDataCount, page) = 0;
  tables.fill(kDataStart, page) = reader.dataFiled;
  tables.firstPage = std::min(tables.firstPage, page);
  tables.lastPage = std::max(tables.lastPage, page);
  return true;
}

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

void fileCounted(AssemblyState& tables, TableId id, const LineRecord& record,
                 const char* fullMessage);
void warnIgnoredBeforeFirstPage(const ReaderState& reader, const LineRecord& record);
void warnOfTabs(const ReaderState& reader, const LineRecord& record);
void fileData(ReaderState& reader, LineRecord& record, std::string_view text);
void fileCode(ReaderState& reader, LineRecord& record, std::string_view text);

// The text is never empty: handleLine has dropped the lines that file nothing.
void classifyLine(ReaderState& reader, LineRecord& record, std::string_view text) {
  AssemblyState& tables = reader.tables;
  if (isVariable(text)) {
    if (text.starts_with("VAR=") && isConstantLiteral(text.substr(4))) {
      warnOfLiteralThatDoesNotFit(tables, record.line, text.substr(4));
    }
    record.code = "000";
    record.kind = WordKind::kVariable;
    fileCounted(tables, kVariableTable, record, "Error: Too many variables.");
  } else if (isConstantLiteral(text) && reader.tableEntriesLeft == 0) {
    record.code = literalCode(text);
    warnOfLiteralThatDoesNotFit(tables, record.line, text);
    record.kind = WordKind::kConstant;
    fileCounted(tables, kConstantTable, record, "Error: Too many constants.");
  } else if (text.starts_with(kArrayStart) || text.starts_with(kTableStart) ||
             reader.tableEntriesLeft > 0) {
    fileData(reader, record, text);
  } else {
    fileCode(reader, record, text);
  }
}

void warnOfNameTakenBefore(AssemblyState& tables, const LineRecord& record);

void fileCounted(AssemblyState& tables, TableId id, const LineRecord& record,
                 const char* fullMessage) {
  warnOfNameTakenBefore(tables, record);
  std::int16_t& count = tables.count(id);
  if (count >= kTableSize) errorStop(fullMessage, record.line);
  tables.table(id)[static_cast<std::size_t>(count)] = record;
  ++count;
}

// Variables and constants are found by name, the first one filed first: a later
// one of the same name is never reached.
void warnOfNameTakenBefore(AssemblyState& tables, const LineRecord& record) {
  if (record.label.empty()) return;
  for (const TableId id : {kVariableTable, kConstantTable}) {
    for (int index = 0; index < tables.count(id); ++index) {
      const LineRecord& earlier = tables.table(id)[static_cast<std::size_t>(index)];
      if (earlier.label != record.label) continue;
      addWarning(tables, record.line,
                 "label " + shownText(record.label) + " is defined twice; the one on line " +
                     std::to_string(earlier.line) + " is used",
                 WarningKind::kLabelTwice);
      return;
    }
  }
}

// The count between "TABLE[" and the closing character; below 1 or unreadable opens no block.
std::int16_t tableHeadCount(std::string_view text) {
  const std::size_t digits = kTableStart.size();
  const std::string_view count =
      text.size() > digits + 1 ? text.substr(digits, text.size() - digits - 1) : std::string_view{};
  const IntegerReading reading = readInteger(count);
  return reading.value > 0 ? reading.value : std::int16_t{0};
}

void fileData(ReaderState& reader, LineRecord& record, std::string_view text) {
  record.kind = WordKind::kData;
  if (text.starts_with(kTableStart)) {
    reader.tableEntriesLeft = tableHeadCount(text);
  } else if (reader.tableEntriesLeft > 0) {
    record.code = literalCode(text);
    if (isConstantLiteral(text)) warnOfLiteralThatDoesNotFit(reader.tables, record.line, text);
    --reader.tableEntriesLeft;
  }
  if (reader.currentPage == kNoPage) {  // before any page: classified, never stored
    warnIgnoredBeforeFirstPage(reader, record);
    return;
  }
  if (reader.dataFiled >= kTableSize) errorStop("Error: Too many data lines.", record.line);
  reader.tables.dataTable[static_cast<std::size_t>(reader.dataFiled)] = record;
  ++reader.dataFiled;
  ++reader.tables.fill(kDataCount, reader.currentPage);
}

void fileCode(ReaderState& reader, LineRecord& record, std::string_view text) {
  if (reader.currentPage == kNoPage) {
    warnIgnoredBeforeFirstPage(reader, record);
    return;
  }
  warnOfTabs(reader, record);
  AssemblyState& tables = reader.tables;
  const std::int16_t page = reader.currentPage;
  checkPageCapacity(tables, page, 1, record.line);
  record.code = text == "RTNADR" ? "000" : "";
  std::int16_t& count = tables.fill(kCodeCount, page);
  tables.codeWord(page, count) = record;
  ++count;
}

void warnIgnoredBeforeFirstPage(const ReaderState& reader, const LineRecord& record) {
  addWarning(reader.tables, record.line,
             quoted(record.body) + " comes before the first page directive and is not assembled",
             WarningKind::kBeforeFirstPage);
}

// Only blanks part a label, a mnemonic and an operand: "START,<tab>CLA" is the
// statement "<tab>CLA", which no mnemonic matches.
void warnOfTabs(const ReaderState& reader, const LineRecord& record) {
  if (!record.body.contains("\t")) return;
  addWarning(reader.tables, record.line,
             "the statement " + quoted(record.body) +
                 " holds a tab, which is a character like any other, not a blank",
             WarningKind::kTab);
}

}  // namespace
}  // namespace ovrik
