#include "tables/word_notation.hpp"

namespace ovrik {

std::string wordText(std::int16_t value) {
  int v = value;
  if (v < 0) v += 256;
  const int low = v % 8;
  v /= 8;
  const int middle = v % 4;
  v /= 4;
  const int high = v % 8;
  return std::to_string(high) + std::to_string(middle) + std::to_string(low);
}

int wordValue(std::string_view code) {
  if (code.size() != 3) return -1;
  const int high = code[0] - '0';
  const int middle = code[1] - '0';
  const int low = code[2] - '0';
  if (high < 0 || high > 7 || middle < 0 || middle > 3 || low < 0 || low > 7) return -1;
  return high * 32 + middle * 8 + low;
}

}  // namespace ovrik
