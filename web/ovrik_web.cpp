// The assembler for the browser playground: one whole run in memory, as the
// console program does it when the base name is typed at the prompt.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "driver/driver.hpp"
#include "driver/memory_files.hpp"

namespace {

// Any name will do: nothing the run prints or writes depends on it, as long as
// it is short enough that the listing's name cannot come out as the source's.
constexpr const char* kBaseName = "program";

// The result block's header, four little-endian 32-bit words ahead of the bytes.
constexpr std::size_t kHeaderWords = 4;
constexpr std::uint32_t kNoListing = 0xFFFFFFFFU;

void putWord(unsigned char* at, std::uint32_t word) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(word >> (8 * i));
}

}  // namespace

extern "C" {

// Assembles `size` source bytes and returns one malloc'd block for the caller
// to free: exit status, console length, listing length (0xFFFFFFFF when no
// listing was written, which is not the same as an empty one), a zero word,
// then the console bytes, then the listing bytes. Null only when out of memory.
unsigned char* ovrik_assemble(const unsigned char* source, std::size_t size) {
  const std::string base = kBaseName;
  ovrik::MemoryFiles files;
  files.files[base + ".txt"] = std::string(reinterpret_cast<const char*>(source), size);
  std::istringstream console(base + "\n");
  std::ostringstream output;
  const int status = ovrik::runAssembler(console, output, files);

  const std::string printed = output.str();
  const auto listing = files.files.find(base + ".ovr");
  const bool listed = listing != files.files.end();
  const std::size_t listingSize = listed ? listing->second.size() : 0;
  const std::size_t header = kHeaderWords * 4;
  auto* block = static_cast<unsigned char*>(std::malloc(header + printed.size() + listingSize));
  if (block == nullptr) return nullptr;
  putWord(block, static_cast<std::uint32_t>(status));
  putWord(block + 4, static_cast<std::uint32_t>(printed.size()));
  putWord(block + 8, listed ? static_cast<std::uint32_t>(listingSize) : kNoListing);
  putWord(block + 12, 0);
  std::memcpy(block + header, printed.data(), printed.size());
  if (listed) std::memcpy(block + header + printed.size(), listing->second.data(), listingSize);
  return block;
}

}  // extern "C"
