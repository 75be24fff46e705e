#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ovrik {

// Word notation: three digits from bits 7-5, 4-3 and 2-0, so 8 is "010" and
// 255 is "737". Values below -256 keep their sign digit by digit ("00-1").
std::string wordText(std::int16_t value);

// The value of a code of three digits of the word notation (0-7, 0-3, 0-7),
// or -1 for any other text: the empty code, "12" from "#12", "999".
int wordValue(std::string_view code);

}  // namespace ovrik
