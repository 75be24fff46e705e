#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace ovrik {

// Console lines and listing lines end in CR LF on every platform.
inline constexpr std::string_view kLineEnd = "\r\n";

// Where the source bytes come from. read() gives 0 only at the end of the
// source and throws FileFailure when the read fails.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::size_t read(char* buffer, std::size_t size) = 0;
};

// Where the listing bytes go. write() throws FileFailure when the write fails.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(std::string_view bytes) = 0;
};

class StringSink final : public ByteSink {
 public:
  void write(std::string_view bytes) override { bytes_.append(bytes); }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

class StringSource final : public ByteSource {
 public:
  explicit StringSource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t read(char* buffer, std::size_t size) override {
    const std::size_t count = std::min(size, bytes_.size() - position_);
    bytes_.copy(buffer, count, position_);
    position_ += count;
    return count;
  }

 private:
  std::string_view bytes_;
  std::size_t position_ = 0;
};

}  // namespace ovrik
