#pragma once

// The shape every listing must have, checked from its bytes alone: page lines
// from the first page to the last in steps of one, word lines whose addresses
// count up from slot 0 of their page, every page but the last full, and every
// word line made of a label field, a body field, a code the words could have
// been given and an optional comment. The golden tests and the fuzzer share it.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ovrik::testing {

namespace listing_shape {

inline constexpr std::size_t kFieldLength = 47;
inline constexpr std::size_t kLabelColumns = 12;
inline constexpr std::size_t kBodyColumns = 17;
// "-7-3-7": three digits that each kept the sign of a value below -256
inline constexpr std::size_t kLongestCode = 6;

inline bool isBetween(char c, char low, char high) {
  return c >= low && c <= high;
}

inline std::string addressText(int address) {
  return {static_cast<char>('0' + address / 32), static_cast<char>('0' + address / 8 % 4),
          static_cast<char>('0' + address % 8)};
}

enum class Digit { kNone, kZero, kPositive, kNegative };

// One digit of the word notation: 0 to highest, or a minus and 1 to highest.
inline Digit takeDigit(std::string_view& code, char highest) {
  if (!code.empty() && isBetween(code[0], '0', highest)) {
    const Digit digit = code[0] == '0' ? Digit::kZero : Digit::kPositive;
    code.remove_prefix(1);
    return digit;
  }
  if (code.size() >= 2 && code[0] == '-' && isBetween(code[1], '1', highest)) {
    code.remove_prefix(2);
    return Digit::kNegative;
  }
  return Digit::kNone;
}

// Three digits for bits 7-5, 4-3 and 2-0. A value below -256 leaves a minus on
// each digit that is not 0, so a code never mixes signs.
inline bool isWordNotation(std::string_view code, bool& negative) {
  bool positive = false;
  negative = false;
  for (const char highest : {'7', '3', '7'}) {
    const Digit digit = takeDigit(code, highest);
    if (digit == Digit::kNone) return false;
    positive = positive || digit == Digit::kPositive;
    negative = negative || digit == Digit::kNegative;
  }
  return code.empty() && !(positive && negative);
}

// The literal a word's code came from: the body, or what follows "VAR=".
inline std::string_view literalOf(std::string_view body) {
  return body.starts_with("VAR=") ? body.substr(4) : body;
}

// Only numbers, binary literals and signed forms reach below -256.
inline bool isNumberLiteral(std::string_view literal) {
  return !literal.empty() &&
         (std::string_view("+-%0123456789").find(literal[0]) != std::string_view::npos);
}

// Whether a word with this body may show this code (three blanks for none).
inline bool codeFits(std::string_view code, std::string_view body) {
  const std::string_view literal = literalOf(body);
  if (code == "   ") {
    return literal == "#" || (body.starts_with("VAR=") && literal.starts_with("A(")) ||
           body == "BLANK" || body == "RTNADR";
  }
  bool negative = false;
  if (isWordNotation(code, negative)) return !negative || isNumberLiteral(literal);
  // a word written out with "#" keeps up to three characters as they are
  return literal.starts_with("#") && literal.substr(1, 3) == code && !code.empty();
}

// The source reader files bodies with no blank before them and single blanks
// within; only a jump to a label, and what rewriting makes of a jump it cannot
// reach, carries a label's blanks as they stand.
inline bool isBody(std::string_view body) {
  if (body.empty() || body[0] == ' ') return false;
  return body.find("  ") == std::string_view::npos || body.starts_with("JMP ") ||
         body.starts_with("A(");
}

// The bodies a body field can stand for: a field of 17 may end in padding.
inline std::vector<std::string_view> bodiesOf(std::string_view field) {
  std::vector<std::string_view> bodies;
  if (field.size() < kBodyColumns) return bodies;
  if (field.size() > kBodyColumns) {
    if (field.size() <= kFieldLength && isBody(field)) bodies.push_back(field);
    return bodies;
  }
  for (; !field.empty(); field.remove_suffix(1)) {
    if (isBody(field)) bodies.push_back(field);
    if (field.back() != ' ') break;
  }
  return bodies;
}

// Body field and code, the code taken from the end of what follows the label field.
inline bool bodyAndCodeFit(std::string_view rest) {
  for (std::size_t length = 1; length <= kLongestCode && length <= rest.size(); ++length) {
    const std::string_view code = rest.substr(rest.size() - length);
    for (std::string_view body : bodiesOf(rest.substr(0, rest.size() - length))) {
      if (codeFits(code, body)) return true;
    }
  }
  return false;
}

// The label fields the line can begin with: twelve blanks for no label, or a
// label (no comma in it) with its comma, padded to twelve.
inline std::vector<std::string_view> afterLabelField(std::string_view fields) {
  std::vector<std::string_view> rests;
  if (fields.starts_with(std::string(kLabelColumns, ' '))) {
    rests.push_back(fields.substr(kLabelColumns));
  }
  const std::size_t comma = fields.find(',');
  if (comma == std::string_view::npos || comma == 0 || comma > kFieldLength) return rests;
  const std::size_t padding = comma + 1 < kLabelColumns ? kLabelColumns - comma - 1 : 0;
  const std::string_view rest = fields.substr(comma + 1);
  if (rest.size() >= padding && rest.substr(0, padding) == std::string(padding, ' ')) {
    rests.push_back(rest.substr(padding));
  }
  return rests;
}

// What follows "aaa ": label field, body field, code, and " /" with the comment.
// Labels, bodies and codes never hold a "/", so the first one starts the comment.
inline std::string wordFieldsFault(std::string_view fields) {
  const std::size_t slash = fields.find('/');
  if (slash != std::string_view::npos) {
    const std::string_view comment = fields.substr(slash + 1);
    if (slash == 0 || fields[slash - 1] != ' ') return "no blank before the comment's slash";
    if (comment.empty() || comment.size() > kFieldLength) return "comment of a wrong length";
    fields = fields.substr(0, slash - 1);
  }
  for (std::string_view rest : afterLabelField(fields)) {
    if (bodyAndCodeFit(rest)) return "";
  }
  return "no label, body and code fit the line";
}

inline std::optional<int> pageOf(std::string_view line) {
  for (int page = 0; page < 16; ++page) {
    if (line == "/" + std::to_string(page)) return page;
  }
  return std::nullopt;
}

struct Reading {
  std::optional<int> page;  // the page whose words are being read
  int slot = 0;
};

inline std::string pageLineFault(Reading& reading, int page) {
  if (reading.page && reading.slot != 16) return "a page before the last is not full";
  if (reading.page && page != *reading.page + 1) return "pages do not count up by one";
  reading.page = page;
  reading.slot = 0;
  return "";
}

inline std::string wordLineFault(Reading& reading, std::string_view line) {
  if (!reading.page) return "a word line before the first page line";
  if (reading.slot == 16) return "a page with more than 16 words";
  const std::string address = addressText(*reading.page * 16 + reading.slot);
  if (!line.starts_with(address + " ")) return "address " + address + " expected";
  ++reading.slot;
  return wordFieldsFault(line.substr(4));
}

inline std::string lineFault(Reading& reading, std::string_view line) {
  if (line.find_first_of("\r\n") != std::string_view::npos) return "a line end inside a line";
  if (const std::optional<int> page = pageOf(line)) return pageLineFault(reading, *page);
  return wordLineFault(reading, line);
}

}  // namespace listing_shape

// Why the listing breaks its shape, or "" when it has it (an empty listing has:
// no page was named). Each fault names the line it was found in, from 1.
inline std::string listingShapeFault(std::string_view listing) {
  listing_shape::Reading reading;
  int number = 0;
  while (!listing.empty()) {
    ++number;
    const std::size_t end = listing.find("\r\n");
    if (end == std::string_view::npos) return "line " + std::to_string(number) + ": no CR LF";
    const std::string fault = listing_shape::lineFault(reading, listing.substr(0, end));
    if (!fault.empty()) return "line " + std::to_string(number) + ": " + fault;
    listing.remove_prefix(end + 2);
  }
  return "";
}

}  // namespace ovrik::testing
