// The literals of a statement and the code each form gives, and the numbers
// that literals, page directives and ARRAY and TABLE sizes are written in.
#include <cstdint>
#include <string>
#include <string_view>

#include "intake/intake.hpp"

namespace ovrik {
namespace {

std::string_view firstField(std::string_view text) {
  return text.substr(0, kFieldLength);
}

bool isDecimalDigit(char c) {
  return c >= '0' && c <= '9';
}

// Digit value of c in the given base, or -1.
int digitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  return value < base ? value : -1;
}

int byteCode(char c) {
  return static_cast<unsigned char>(c);
}

// "%" and up to eight characters after it; a short literal uses what it has.
std::string binaryLiteralCode(std::string_view text) {
  std::uint16_t accumulator = 0;
  for (char c : text.substr(1, 8)) {
    accumulator = static_cast<std::uint16_t>(accumulator * 2 + (byteCode(c) - 48));
  }
  return wordText(static_cast<std::int16_t>(accumulator));
}

// An apostrophe alone stands for the blank that the blank trimming took away.
std::string characterLiteralCode(std::string_view text) {
  const int code = text.size() > 1 ? byteCode(text[1]) : ' ';
  return wordText(static_cast<std::int16_t>(code));
}

}  // namespace

std::string literalCode(std::string_view text) {
  text = firstField(text);
  if (text.empty()) return "";
  const char first = text[0];
  if (first == '#') return std::string(text.substr(1, 3));
  if (first == '%') return binaryLiteralCode(text);
  if (first == '\'') return characterLiteralCode(text);
  if (first == '+' || first == '-' || isDecimalDigit(first)) {
    return wordText(readInteger(text).value);
  }
  return "";
}

bool isConstantLiteral(std::string_view text) {
  text = firstField(text);
  if (text.empty()) return false;
  const char first = text[0];
  return first == '#' || first == '+' || first == '-' || isDecimalDigit(first) || first == '%' ||
         first == '\'' || text.starts_with("A(");
}

IntegerReading readInteger(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  int base = 10;
  if (at < text.size() && (text[at] == '$' || text[at] == '%')) {
    base = text[at++] == '$' ? 16 : 2;
  }
  if (at == text.size()) return {};

  const std::uint64_t limit =
      base == 10 ? (negative ? 2147483648ULL : 2147483647ULL) : 4294967295ULL;
  std::uint64_t number = 0;
  for (; at < text.size(); ++at) {
    const int digit = digitValue(text[at], base);
    if (digit < 0) return {};
    number = number * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (number > limit) return {};
  }
  const std::int64_t whole =
      negative ? -static_cast<std::int64_t>(number) : static_cast<std::int64_t>(number);
  if (negative) number = ~number + 1;  // two's complement; only the low 16 bits are kept
  return {static_cast<std::int16_t>(static_cast<std::uint16_t>(number & 0xFFFFU)), true, whole};
}

}  // namespace ovrik
