// Reads a listing back into a memory image by its fixed columns: the address
// in columns 1 to 3, the label field from column 5, the statement field of 17
// columns, the code, and " /" before a comment. A label of 11 characters or
// more and a statement of 17 or more push what follows them to the right, so
// the fields are found from both ends of the line, not by column alone.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "machine/machine.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

constexpr std::size_t kAddressColumns = 4;  // three digits and a blank
constexpr std::size_t kLabelColumns = 12;
constexpr std::size_t kStatementColumns = 17;
constexpr std::size_t kCodeColumns = 3;

struct WordFields {
  std::string_view label;
  std::string_view statement;
  std::string_view code;
};

using Fields = std::variant<WordFields, std::string>;  // the fields, or why the line has none

class ListingReader {
 public:
  std::optional<ListingRefusal> take(std::string_view line);
  MemoryImage& image() { return image_; }

 private:
  std::optional<std::string> takePageLine(std::string_view line);
  std::optional<std::string> takeWordLine(std::string_view line);

  MemoryImage image_;
  std::int32_t lineNumber_ = 0;
  std::int16_t page_ = -1;  // the page of the last page line; -1 before the first
  std::int16_t slot_ = 0;   // the slot the next word line must have
};

bool nextLine(std::string_view& bytes, std::string_view& line);

}  // namespace

std::variant<MemoryImage, ListingRefusal> readListing(std::string_view bytes) {
  ListingReader reader;
  std::string_view line;
  while (nextLine(bytes, line)) {
    if (auto refusal = reader.take(line)) return *refusal;
  }
  return std::move(reader.image());
}

namespace {

// Lines end in CR LF as the assembler writes them; a listing whose CRs were
// taken away on the way is read all the same, and so is a last line without
// its line end.
bool nextLine(std::string_view& bytes, std::string_view& line) {
  if (bytes.empty()) return false;
  const std::size_t end = bytes.find('\n');
  line = bytes.substr(0, end);
  bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return true;
}

std::optional<ListingRefusal> ListingReader::take(std::string_view line) {
  ++lineNumber_;
  const std::optional<std::string> fault =
      line.starts_with('/') ? takePageLine(line) : takeWordLine(line);
  if (!fault) return std::nullopt;
  return ListingRefusal{lineNumber_, *fault};
}

std::string pageLine(int page) {
  std::string line(1, '/');
  line += std::to_string(page);
  return line;
}

// A page line is "/" and the page in decimal; the pages follow one another
// from the first, as the assembler lists every page from the first to the last.
std::optional<std::string> ListingReader::takePageLine(std::string_view line) {
  int page = -1;
  for (int candidate = 0; candidate < kPageCount; ++candidate) {
    if (line == pageLine(candidate)) page = candidate;
  }
  if (page < 0) return "not a page line: a page line is / and a page from 0 to 15";
  if (page_ >= 0 && page != page_ + 1) {
    return "page line " + std::string(line) + " out of order: " + pageLine(page_ + 1) + " expected";
  }
  page_ = static_cast<std::int16_t>(page);
  slot_ = 0;
  if (!image_.firstPage) image_.firstPage = page_;
  return std::nullopt;
}

Fields wordFields(std::string_view line);

std::optional<std::string> ListingReader::takeWordLine(std::string_view line) {
  if (line.empty()) return "an empty line";
  if (page_ < 0) return "a word line before the first page line";
  const int address = wordValue(line.substr(0, 3));
  if (address < 0 || line.size() < kAddressColumns || line[3] != ' ') {
    return "not a word line: it does not begin with an address and a blank";
  }
  if (slot_ == kPageSize) return "page " + std::to_string(page_) + " holds more than 16 words";
  const int expected = page_ * kPageSize + slot_;
  if (address != expected) {
    return "address " + std::string(line.substr(0, 3)) +
           " out of order: " + wordText(static_cast<std::int16_t>(expected)) + " expected";
  }
  const Fields fields = wordFields(line.substr(kAddressColumns));
  if (const auto* fault = std::get_if<std::string>(&fields)) return *fault;
  const auto& found = std::get<WordFields>(fields);
  ImageWord& word = image_.words[static_cast<std::size_t>(address)];
  word.value = wordValue(found.code);
  word.label = found.label;
  word.statement = found.statement;
  word.code = found.code;
  word.line = lineNumber_;
  word.listed = true;
  ++slot_;
  return std::nullopt;
}

bool isBlankOnly(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

std::string_view withoutComment(std::string_view text, bool& commentWithoutBlank);
Fields labelledFields(std::string_view text);
Fields statementAndCode(WordFields fields, std::string_view text);

// The fields of a word line from the label column on. Neither a label nor a
// statement nor a code holds a slash: the first one starts the comment.
Fields wordFields(std::string_view text) {
  bool commentWithoutBlank = false;
  text = withoutComment(text, commentWithoutBlank);
  if (commentWithoutBlank) return "the comment's slash does not follow a blank";
  // Twelve blanks are the field of an empty label, or the start of a label
  // (labels keep the blanks they begin with in the source). A statement after
  // an empty label holds a comma only when its source line began with one,
  // so the label's reading goes first when both fit.
  if (text.size() > kLabelColumns && isBlankOnly(text.substr(0, kLabelColumns)) &&
      text[kLabelColumns] != ' ') {
    const Fields labelled = labelledFields(text);
    if (std::holds_alternative<WordFields>(labelled)) return labelled;
    return statementAndCode(WordFields{}, text.substr(kLabelColumns));
  }
  return labelledFields(text);
}

// A label with its comma, padded with blanks to 12 columns when it is shorter.
Fields labelledFields(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == 0 || comma == std::string_view::npos) {
    return "the label field holds neither 12 blanks nor a label and its comma";
  }
  WordFields fields;
  fields.label = text.substr(0, comma);
  const std::size_t labelWidth = std::max(comma + 1, kLabelColumns);
  if (text.size() <= labelWidth || !isBlankOnly(text.substr(comma + 1, labelWidth - comma - 1))) {
    return "the statement does not begin where the label field ends";
  }
  return statementAndCode(fields, text.substr(labelWidth));
}

std::string_view withoutComment(std::string_view text, bool& commentWithoutBlank) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return text;
  commentWithoutBlank = slash == 0 || text[slash - 1] != ' ';
  return text.substr(0, slash == 0 ? 0 : slash - 1);
}

std::string_view withoutTrailingBlanks(std::string_view text) {
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

std::size_t gluedCodeLength(std::string_view text);
bool isWordOrBlank(std::string_view code);
bool isHashLiteral(std::string_view statement, std::string_view code);

// A statement shorter than 17 characters is padded with blanks, so column 17
// of the field is a blank and the code follows it; a longer one is followed
// by its code at once. A long statement with a blank in column 17 has both
// shapes: the split that gives the code a value is the one the assembler
// wrote, as a code that is no word can never look like one in the other;
// so is the split that gives a # literal its own code.
Fields statementAndCode(WordFields fields, std::string_view text) {
  if (text.empty() || text[0] == ' ') return "the statement does not begin where it should";
  const bool paddable = text.size() > kStatementColumns && text[kStatementColumns - 1] == ' ';
  const bool gluable = text.size() >= kStatementColumns + kCodeColumns;
  if (!paddable && !gluable) return "the code column is missing";
  const std::size_t codeLength = gluable ? gluedCodeLength(text) : 0;
  const std::string_view gluedStatement = text.substr(0, text.size() - codeLength);
  const std::string_view gluedCode = text.substr(text.size() - codeLength);
  const std::string_view paddedCode = paddable ? text.substr(kStatementColumns) : "";
  const bool glued = !paddable || isHashLiteral(gluedStatement, gluedCode) ||
                     (isWordOrBlank(gluedCode) && !isWordOrBlank(paddedCode));
  if (glued) {
    fields.statement = gluedStatement;
    fields.code = gluedCode;
  } else {
    fields.statement = withoutTrailingBlanks(text.substr(0, kStatementColumns));
    fields.code = paddedCode;
  }
  if (isBlankOnly(fields.code)) {
    if (fields.code.size() != kCodeColumns) return "the code column is missing";
    fields.code = {};  // an empty code is written as three blanks
  }
  return fields;
}

// "#" and up to three characters after it are copied into the code as they are.
bool isHashLiteral(std::string_view statement, std::string_view code) {
  return statement.starts_with('#') && !statement.ends_with(' ') && statement.substr(1, 3) == code;
}

// A code the assembler writes for a word, or the three blanks of an empty code.
bool isWordOrBlank(std::string_view code) {
  return wordValue(code) >= 0 || code == "   ";
}

bool beginsLikeANumber(std::string_view text) {
  if (text.starts_with("VAR=")) text.remove_prefix(4);
  return !text.empty() && std::string_view("+-0123456789%").find(text[0]) != std::string_view::npos;
}

// A code glued to a long statement is its last three characters, but for one
// case: a number below -256 gives each digit its own sign ("-100", "-1-2-4"),
// and the three characters alone could read as a word. Such a code only
// follows a statement that is a number, or VAR= and a number: there the code
// is taken with its signs. Where the statement itself ends in a sign, the
// word is left without a value, which at worst refuses a program, where a
// wrong value would run it wrongly.
std::size_t gluedCodeLength(std::string_view text) {
  if (!beginsLikeANumber(text)) return kCodeColumns;
  std::size_t length = 0;
  for (std::size_t digit = 0; digit < kCodeColumns; ++digit) {
    const char last = text[text.size() - 1 - length];
    if (last < '0' || last > '9') return kCodeColumns;
    ++length;
    const bool negative = last >= '1' && last <= '7' && text[text.size() - 1 - length] == '-';
    if (negative) ++length;
  }
  return text.size() - length >= kStatementColumns ? length : kCodeColumns;
}

}  // namespace
}  // namespace ovrik
