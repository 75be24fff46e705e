#include "intake/source_lines.hpp"

#include <cstring>

namespace ovrik {

bool SourceLines::next(std::string_view& line) {
  constexpr int kCtrlZ = 26;
  // The LF of a CR LF is passed only now: looking at it can read the next
  // block over the line handed out last time.
  if (afterCr_ && peek() == '\n') ++position_;
  afterCr_ = false;
  const int first = peek();
  if (first == kEnd || first == kCtrlZ) {
    finished_ = true;  // nothing after a Ctrl-Z line start is read
    return false;
  }
  const std::size_t lineEnd = lineEndInBlock();
  if (lineEnd == end_) {
    line = lineAcrossBlocks();
    return true;
  }
  line = blockPart(position_, lineEnd).substr(0, kLineLength);
  passLineEnd(lineEnd);
  return true;
}

bool SourceLines::refill() {
  if (finished_) return false;
  position_ = 0;
  end_ = source_.read(buffer_.data(), buffer_.size());
  if (end_ == 0) finished_ = true;
  nextLf_ = find('\n', 0, end_);
  return end_ > 0;
}

int SourceLines::peek() {
  if (position_ == end_ && !refill()) return kEnd;
  return static_cast<unsigned char>(buffer_[position_]);
}

// The block position of the first c in from..to, or to.
std::size_t SourceLines::find(char c, std::size_t from, std::size_t to) const {
  const void* found = std::memchr(buffer_.data() + from, c, to - from);
  return found == nullptr
             ? to
             : static_cast<std::size_t>(static_cast<const char*>(found) - buffer_.data());
}

// Where the current line ends in the block, or end_. The next LF is kept from
// line to line: in a file of lone CRs, searching for it afresh for every line
// would cross the rest of the block each time.
std::size_t SourceLines::lineEndInBlock() {
  if (nextLf_ < position_) nextLf_ = find('\n', position_, end_);
  return find('\r', position_, nextLf_);
}

std::string_view SourceLines::blockPart(std::size_t from, std::size_t to) const {
  return {buffer_.data() + from, to - from};
}

void SourceLines::passLineEnd(std::size_t lineEnd) {
  afterCr_ = buffer_[lineEnd] == '\r';
  position_ = lineEnd + 1;
}

// A line that goes on in the next block, or ends where the source ends, is
// gathered in a copy as the blocks are read; its first 255 bytes are kept.
std::string_view SourceLines::lineAcrossBlocks() {
  acrossBlocks_.clear();
  std::size_t lineEnd = end_;
  while (lineEnd == end_) {
    acrossBlocks_.append(blockPart(position_, end_));
    position_ = end_;
    if (!refill()) return acrossBlocks_.view();  // the last line needs no line end
    lineEnd = lineEndInBlock();
  }
  acrossBlocks_.append(blockPart(position_, lineEnd));
  passLineEnd(lineEnd);
  return acrossBlocks_.view();
}

}  // namespace ovrik
