#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace ovrik {

// A text that never holds more than Capacity bytes: whatever would go past the
// end is dropped without a word, so no field or line can ever overflow.
template <std::size_t Capacity>
class FixedText {
 public:
  static constexpr std::size_t capacity = Capacity;

  FixedText() = default;
  FixedText(std::string_view text) { assign(text); }  // NOLINT: cutting is the point
  FixedText& operator=(std::string_view text) {
    assign(text);
    return *this;
  }

  void assign(std::string_view text) {
    length_ = 0;
    append(text);  // text may be a view of this very text: append moves, never copies
  }
  void append(std::string_view text) {
    const std::size_t kept = std::min(text.size(), Capacity - length_);
    // An empty view may point nowhere, and memmove must never be given that.
    if (kept > 0) std::memmove(chars_.data() + length_, text.data(), kept);
    length_ = static_cast<std::uint16_t>(length_ + kept);
  }
  void push_back(char c) {
    if (length_ < Capacity) chars_[length_++] = c;
  }
  void clear() { length_ = 0; }

  std::string_view view() const { return {chars_.data(), length_}; }
  operator std::string_view() const { return view(); }  // NOLINT: read like any text
  std::string str() const { return std::string(view()); }
  std::size_t size() const { return length_; }
  bool empty() const { return length_ == 0; }
  char operator[](std::size_t index) const { return chars_[index]; }

  bool startsWith(std::string_view prefix) const { return view().starts_with(prefix); }
  bool contains(std::string_view part) const { return view().find(part) != std::string_view::npos; }

  friend bool operator==(const FixedText& a, const FixedText& b) { return a.view() == b.view(); }
  friend bool operator==(const FixedText& a, std::string_view b) { return a.view() == b; }

 private:
  std::array<char, Capacity> chars_{};
  std::uint16_t length_ = 0;
};

inline constexpr std::size_t kFieldLength = 47;
inline constexpr std::size_t kLineLength = 255;

using FieldText = FixedText<kFieldLength>;  // label, body, code, comment
using LineText = FixedText<kLineLength>;    // a source line, a file name, a working text

}  // namespace ovrik
