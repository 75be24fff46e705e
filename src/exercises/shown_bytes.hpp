#pragma once

#include <string>
#include <string_view>

namespace ovrik {

// Bytes as a report line shows them: printable characters (ASCII, and UTF-8
// that decodes to a printable character) as they are; every other byte (a
// control character, a stray byte of a Latin-1 source) as an escape: \n, \r,
// \t or \xHH. The result is one line of valid UTF-8, safe in a terminal, in
// JSON and, once <, > and & are escaped, in XML.
std::string printableText(std::string_view bytes);

// The same between double quotes, a double quote and a backslash escaped too:
// "HI\n", "a \"b\" \\".
std::string quotedText(std::string_view bytes);

// A TOML key as a message names it: 'titel'.
std::string quotedKey(std::string_view key);

}  // namespace ovrik
