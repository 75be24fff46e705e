#include "machine/load.hpp"

#include <utility>

#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

std::variant<Program, LoadRefusal> programFrom(MemoryImage image);

}  // namespace

std::variant<Program, LoadRefusal> loadToRun(const AssemblyState& state) {
  return programFrom(imageFromAssembly(state));
}

std::variant<Program, LoadRefusal> loadToRun(std::string_view listingBytes) {
  auto read = readListing(listingBytes);
  if (auto* refusal = std::get_if<ListingRefusal>(&read)) {
    return LoadRefusal{refusal->line, std::move(refusal->message)};
  }
  return programFrom(std::move(std::get<MemoryImage>(read)));
}

namespace {

LoadRefusal wordWithoutValue(const MemoryImage& image, const ImageWord& word) {
  const std::uint8_t address = addressOf(image, word);
  return {word.line,
          "word " + wordText(address) + " (" + word.statement + ") has no value (code \"" +
              word.code + "\"), so the program is not run",
          address};
}

std::variant<Program, LoadRefusal> programFrom(MemoryImage image) {
  if (const ImageWord* word = firstWordWithoutValue(image)) return wordWithoutValue(image, *word);
  const std::uint8_t start = startAddress(image);
  return Program{std::move(image), start};
}

}  // namespace
}  // namespace ovrik
