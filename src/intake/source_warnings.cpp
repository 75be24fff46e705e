#include "intake/source_warnings.hpp"

#include <string>
#include <string_view>

#include "intake/intake.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

std::string_view withoutBlanksAround(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

}  // namespace

// Everything before the comma is the label, blanks included: "  LOOP, CLA" has
// the label "  LOOP", which no "JMP LOOP" finds.
void warnOfLabelNotInColumnOne(AssemblyState& state, std::int32_t line, std::string_view label) {
  const std::string_view word = withoutBlanksAround(label);
  if (word == "'") {
    addWarning(state, line,
               "\"',\" is read as a label and its line is lost, not as the character literal of "
               "a comma: write 44 for a comma",
               WarningKind::kCommaNotInColumnOne);
    return;
  }
  if (word.empty() || word == label) return;
  const std::string shown = quoted(std::string(label) + ",");
  const std::string meant = "the label " + shownText(word);
  if (label.front() == ' ') {
    addWarning(state, line, shown + " is not " + meant + ": labels start in column 1",
               WarningKind::kCommaNotInColumnOne);
  } else {
    addWarning(state, line, shown + " is not " + meant + ": a label ends right at its comma",
               WarningKind::kCommaNotInColumnOne);
  }
}

void warnOfDirectiveLikeComment(AssemblyState& state, std::int32_t line, std::string_view comment,
                                bool namesAPage) {
  if (comment.empty()) return;
  const std::string shown = quoted("/" + std::string(comment));
  if (namesAPage) {
    // Only the first 47 characters are read: what comes after them is not seen.
    const bool blankBefore = comment.front() == ' ' || comment.front() == '\t';
    if (blankBefore || comment.size() > kFieldLength) {
      addWarning(state, line,
                 shown + " is a page directive: a comment needs text that is not a page number",
                 WarningKind::kDirectiveLike);
    }
    return;
  }
  const char first = comment.front();
  const bool numberFirst = (first >= '0' && first <= '9') || first == '+' || first == '-' ||
                           first == '$' || first == '%';
  if (!numberFirst) return;
  const std::size_t end = comment.find_first_of(" \t");
  if (!readInteger(comment.substr(0, end)).ok) return;
  const std::string why = end == std::string_view::npos
                              ? "pages are 0 to 15"
                              : "a page directive has nothing after its number";
  addWarning(state, line, shown + " is a comment, not a page directive: " + why,
             WarningKind::kDirectiveLike);
}

namespace {

std::string numberWarning(std::string_view text);

}  // namespace

void warnOfLiteralThatDoesNotFit(AssemblyState& state, std::int32_t line, std::string_view text) {
  text = text.substr(0, kFieldLength);  // the part a literal's code is made from
  if (text.empty()) return;
  const std::string shown = quoted(text);
  const std::string code = literalCode(text);
  const char first = text.front();
  std::string warning;
  if (first == '+' || first == '-' || (first >= '0' && first <= '9')) {
    warning = numberWarning(text);
  } else if (first == '%') {
    const std::string_view digits = text.substr(1);
    if (digits.find_first_not_of("01") != std::string_view::npos) {
      warning = shown + " is not a binary number: only 0 and 1 may follow %; it gives " + code;
    } else if (digits.size() > 8) {
      warning = shown +
                " has more than eight binary digits: only the first eight count, which "
                "give " +
                code;
    }
  } else if (first == '\'' && text.size() > 2) {
    warning = shown + " holds more than one character: only the first, " +
              shownText(text.substr(1, 1)) + ", counts";
  }
  if (!warning.empty()) addWarning(state, line, warning, WarningKind::kLiteral);
}

namespace {

// The digits a number of its base may have, after its sign and base mark.
bool hasOnlyDigits(std::string_view text) {
  std::string_view digits = "0123456789";
  if (text.starts_with('$')) digits = "0123456789ABCDEFabcdef";
  if (text.starts_with('%')) digits = "01";
  if (text.starts_with('$') || text.starts_with('%')) text.remove_prefix(1);
  return !text.empty() && text.find_first_not_of(digits) == std::string_view::npos;
}

std::string numberWarning(std::string_view text) {
  const std::string shown = quoted(text);
  const IntegerReading reading = readInteger(text);
  if (!reading.ok) {
    std::string_view unsigned_ = text;
    if (unsigned_.starts_with('+') || unsigned_.starts_with('-')) unsigned_.remove_prefix(1);
    if (hasOnlyDigits(unsigned_)) {
      return shown + " is too large to read, so its word is 000: a word holds -128 to 255";
    }
    const std::string hint = unsigned_.starts_with('\'')
                                 ? ": a sign makes a decimal number, and a character has none"
                                 : "";
    return shown + " does not read as a number, so its word is 000" + hint;
  }
  if (reading.whole >= -128 && reading.whole <= 255) return {};
  const std::string code = wordText(reading.value);
  const std::string gives =
      wordValue(code) >= 0 ? ": it gives " + code + ", its lowest 8 bits" : "";
  return shown + " does not fit in a word, which holds -128 to 255" + gives;
}

}  // namespace
}  // namespace ovrik
