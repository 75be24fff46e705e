#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "intake/intake.hpp"
#include "tables/byte_stream.hpp"
#include "tables/tables.hpp"

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

// Reads source into tables, readSize bytes at a time, passing over quiet
// lines with scan; gives the line the reader stopped with, or "".
inline std::string readInChunks(AssemblyState& tables, ChunkScan scan, std::string_view source,
                                std::size_t readSize) {
  ChunkedSource bytes(source, readSize);
  try {
    readSource(tables, bytes, scan);
  } catch (const ErrorStop& stop) {
    return stop.message;
  }
  return "";
}

}  // namespace ovrik::testing
