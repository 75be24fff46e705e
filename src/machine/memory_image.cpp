// The memory image of an assembled program, and where its run starts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "machine/machine.hpp"
#include "tables/mnemonics.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {

// Only the words the listing shows are taken, so that a program run in process
// and the same program run from its listing start from the same memory.
MemoryImage imageFromAssembly(const AssemblyState& state) {
  MemoryImage image;
  const bool pagesInRange = state.firstPage >= 0 && state.lastPage < kPageCount;
  if (!pagesInRange || state.firstPage > state.lastPage) return image;
  image.firstPage = state.firstPage;
  for (std::int16_t page = state.firstPage; page <= state.lastPage; ++page) {
    const int listed = state.listedWords(page);
    for (int slot = 0; slot < listed; ++slot) {
      const LineRecord& record = state.codeWord(page, slot);
      ImageWord& word = image.words[AssemblyState::wordIndex(page, slot)];
      word.value = wordValue(record.code);
      word.label = record.label.str();
      word.statement = record.body.str();
      word.code = record.code.str();
      word.line = record.line;
      word.kind = record.kind;
      word.listed = true;
    }
  }
  return image;
}

const ImageWord* firstWordWithoutValue(const MemoryImage& image) {
  const auto found = std::find_if(image.words.begin(), image.words.end(),
                                  [](const ImageWord& word) { return word.value == kNoValue; });
  return found == image.words.end() ? nullptr : &*found;
}

std::uint8_t addressOf(const MemoryImage& image, const ImageWord& word) {
  return static_cast<std::uint8_t>(&word - image.words.data());
}

std::uint8_t startAddress(const MemoryImage& image) {
  const auto& words = image.words;
  const auto labelled = std::find_if(words.begin(), words.end(), [](const ImageWord& word) {
    return word.listed && word.label == "START";
  });
  if (labelled != words.end()) return addressOf(image, *labelled);
  if (!image.firstPage) return 0;
  const auto first = static_cast<std::size_t>(*image.firstPage * kPageSize);
  for (std::size_t address = first; address < first + kPageSize; ++address) {
    if (words[address].listed && mnemonicOf(words[address].statement) != nullptr) {
      return static_cast<std::uint8_t>(address);
    }
  }
  return static_cast<std::uint8_t>(first);
}

}  // namespace ovrik
