#pragma once

#include <array>
#include <cstddef>

#include "tables/byte_stream.hpp"
#include "tables/fixed_text.hpp"

namespace ovrik {

// Splits the source into lines: a line ends at LF, CR LF or a lone CR, keeps
// its first 255 bytes, and a Ctrl-Z at a line start ends the file. The source
// is read in large blocks, so its size never matters to memory.
class SourceLines {
 public:
  explicit SourceLines(ByteSource& source) : source_(source) {}

  // The next line, or false at the end of the source.
  bool next(LineText& line);

 private:
  static constexpr int kEnd = -1;
  int get();
  int peek();
  bool refill();

  ByteSource& source_;
  std::array<char, 64 * 1024> buffer_{};
  std::size_t position_ = 0;
  std::size_t end_ = 0;
  bool finished_ = false;
};

}  // namespace ovrik
