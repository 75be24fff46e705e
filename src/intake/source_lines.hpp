#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "tables/byte_stream.hpp"
#include "tables/fixed_text.hpp"

namespace ovrik {

// Splits the source into lines: a line ends at LF, CR LF or a lone CR, keeps
// its first 255 bytes, and a Ctrl-Z at a line start ends the file. The source
// is read in large blocks, so its size never matters to memory.
class SourceLines {
 public:
  explicit SourceLines(ByteSource& source) : source_(source) {}

  // The next line, or false at the end of the source. The line stays valid
  // until the next call: it points into the block, or into a copy when it
  // goes on across the end of the block.
  bool next(std::string_view& line);

 private:
  static constexpr int kEnd = -1;
  int peek();
  bool refill();
  std::size_t find(char c, std::size_t from, std::size_t to) const;
  std::size_t lineEndInBlock();
  std::string_view blockPart(std::size_t from, std::size_t to) const;
  std::string_view lineAcrossBlocks();
  void passLineEnd(std::size_t lineEnd);

  ByteSource& source_;
  std::array<char, 64 * 1024> buffer_{};
  std::size_t position_ = 0;
  std::size_t end_ = 0;
  // The next LF of the block at or after position_ (end_ when there is none).
  std::size_t nextLf_ = 0;
  bool finished_ = false;
  bool afterCr_ = false;  // the last line ended at a CR
  LineText acrossBlocks_;
};

}  // namespace ovrik
