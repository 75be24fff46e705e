#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "tables/byte_stream.hpp"

namespace ovrik::testing {

// Hands the source out in reads of at most chunk bytes, so that a test can
// put the end of a block anywhere.
class ChunkedSource final : public ByteSource {
 public:
  ChunkedSource(std::string_view bytes, std::size_t chunk) : bytes_(bytes), chunk_(chunk) {}
  std::size_t read(char* buffer, std::size_t size) override {
    const std::size_t count = std::min({size, chunk_, bytes_.size()});
    bytes_.copy(buffer, count);
    bytes_.remove_prefix(count);
    return count;
  }

 private:
  std::string_view bytes_;
  std::size_t chunk_;
};

}  // namespace ovrik::testing
