// How bytes that come from a student's program, its output or an exercise
// file are shown in a report: always on one line, always valid UTF-8.
#include "exercises/shown_bytes.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ovrik {
namespace {

std::size_t printableSequence(std::string_view bytes, std::size_t at);
void appendEscaped(std::string& shown, unsigned char byte, char quote);

std::string shown(std::string_view bytes, char quote) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    const bool isQuote = quote != '\0' && (bytes[at] == quote || bytes[at] == '\\');
    const std::size_t length = isQuote ? 0 : printableSequence(bytes, at);
    if (length == 0) {
      appendEscaped(text, static_cast<unsigned char>(bytes[at]), quote);
      ++at;
    } else {
      text.append(bytes.substr(at, length));
      at += length;
    }
  }
  return text;
}

}  // namespace

std::string printableText(std::string_view bytes) {
  return shown(bytes, '\0');
}

std::string quotedText(std::string_view bytes) {
  return '"' + shown(bytes, '"') + '"';
}

std::string quotedKey(std::string_view key) {
  return '\'' + shown(key, '\'') + '\'';
}

namespace {

// The length of the printable character at `at` (0 when the byte there must
// be escaped): a printable ASCII byte, or a whole UTF-8 sequence, shortest
// form, that decodes to a character beyond the controls 128 to 159, no surrogate, no
// noncharacter U+FFFE or U+FFFF.
std::size_t printableSequence(std::string_view bytes, std::size_t at) {
  const auto lead = static_cast<unsigned char>(bytes[at]);
  if (lead < 0x80) return lead >= 0x20 && lead < 0x7F ? 1 : 0;
  std::size_t length = 0;
  std::uint32_t code = 0;
  if ((lead & 0xE0U) == 0xC0U) {
    length = 2;
    code = lead & 0x1FU;
  } else if ((lead & 0xF0U) == 0xE0U) {
    length = 3;
    code = lead & 0x0FU;
  } else if ((lead & 0xF8U) == 0xF0U) {
    length = 4;
    code = lead & 0x07U;
  } else {
    return 0;
  }
  if (at + length > bytes.size()) return 0;
  for (std::size_t next = 1; next < length; ++next) {
    const auto byte = static_cast<unsigned char>(bytes[at + next]);
    if ((byte & 0xC0U) != 0x80U) return 0;
    code = (code << 6U) | (byte & 0x3FU);
  }
  constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  const bool valid = code >= kLeast[length] && code <= 0x10FFFF &&
                     (code < 0xD800 || code > 0xDFFF) && code != 0xFFFE && code != 0xFFFF;
  return valid && code >= 0xA0 ? length : 0;
}

void appendEscaped(std::string& shown, unsigned char byte, char quote) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  switch (byte) {
    case '\n':
      shown += "\\n";
      return;
    case '\r':
      shown += "\\r";
      return;
    case '\t':
      shown += "\\t";
      return;
    case '\\':
      shown += "\\\\";
      return;
    default:
      break;
  }
  if (quote != '\0' && byte == static_cast<unsigned char>(quote)) {
    shown += '\\';
    shown += quote;
    return;
  }
  shown += "\\x";
  shown += kDigits[byte >> 4U];
  shown += kDigits[byte & 0x0FU];
}

}  // namespace
}  // namespace ovrik
