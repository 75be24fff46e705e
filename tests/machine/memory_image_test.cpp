// The memory image of an assembly and of its listing, and where a run starts.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "assemble/assemble.hpp"
#include "assemble/assemble_source.hpp"
#include "machine/machine.hpp"
#include "tables/byte_stream.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<AssemblyState> assembled(std::string_view source) {
  Assembly assembly = assembleSource(source);
  if (!assembly.ok) ADD_FAILURE() << assembly.console << " of\n" << source;
  return std::move(assembly.state);
}

std::string listingOf(const AssemblyState& state) {
  StringSink listing;
  writeListing(state, listing);
  return listing.bytes();
}

MemoryImage imageOfListing(std::string_view bytes) {
  auto read = readListing(bytes);
  if (const auto* refusal = std::get_if<ListingRefusal>(&read)) {
    ADD_FAILURE() << "line " << refusal->line << ": " << refusal->message;
    return {};
  }
  return std::get<MemoryImage>(std::move(read));
}

std::size_t at(std::string_view address) {
  return static_cast<std::size_t>(wordValue(address));
}

std::string readText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The sources whose listings must read back as the assembly made them: the
// examples, and words whose columns a listing pushes or glues together.
std::vector<std::string> roundTripSources() {
  std::vector<std::string> sources;
  for (const auto& entry : fs::directory_iterator(OVRIK_EXAMPLES_DIR)) {
    if (entry.path().extension() == ".txt") sources.push_back(readText(entry.path()));
  }
  sources.push_back(
      "/0\nSTART,  TAD AVERYLONGLABELNAME\n  TAD TWELVECHARSX\n  DCA ELEVENCHARS\n  HLT 0\n"
      "ELEVENCHARS, VAR\nTWELVECHARSX, VAR=AVERYLONGLABELNAMEA\n"
      "/1\nAVERYLONGLABELNAME, TABLE[4]\n  #12\n  -00000000000000288\n  #999\n  'A\n");
  return sources;
}

TEST(MemoryImage, ListingReadsBackAsTheAssemblyMadeIt) {
  for (const std::string& source : roundTripSources()) {
    const auto state = assembled(source);
    const MemoryImage made = imageFromAssembly(*state);
    const MemoryImage read = imageOfListing(listingOf(*state));
    EXPECT_EQ(read.firstPage, made.firstPage);
    for (std::size_t address = 0; address < kMemoryWords; ++address) {
      const ImageWord& expected = made.words[address];
      const ImageWord& actual = read.words[address];
      SCOPED_TRACE(wordText(static_cast<std::int16_t>(address)) + " " + expected.statement);
      EXPECT_EQ(actual.value, expected.value);
      EXPECT_EQ(actual.label, expected.label);
      EXPECT_EQ(actual.statement, expected.statement);
      EXPECT_EQ(actual.code, expected.code);
      EXPECT_EQ(actual.listed, expected.listed);
    }
    EXPECT_EQ(startAddress(read), startAddress(made)) << source;
  }
}

TEST(MemoryImage, AssemblyGivesSourceLinesAndKinds) {
  const auto state = assembled(readText(fs::path(OVRIK_EXAMPLES_DIR) / "array.txt"));
  const MemoryImage image = imageFromAssembly(*state);
  struct Expected {
    std::string_view address;
    std::int32_t line;
    WordKind kind;
  };
  for (const Expected& word :
       {Expected{"000", 0, WordKind::kFiller}, Expected{"002", 16, WordKind::kVariable},
        Expected{"005", 19, WordKind::kConstant}, Expected{"006", 6, WordKind::kCode},
        Expected{"021", 21, WordKind::kData}}) {
    const ImageWord& found = image.words[at(word.address)];
    EXPECT_EQ(found.line, word.line) << word.address;
    EXPECT_EQ(found.kind, word.kind) << word.address;
  }
}

TEST(MemoryImage, TrailingFillerOfTheLastPageIsNotListed) {
  const auto state = assembled("/0\nSTART, HLT 0\n");
  const MemoryImage image = imageFromAssembly(*state);
  EXPECT_TRUE(image.words[0].listed);
  for (std::size_t address = 1; address < kMemoryWords; ++address) {
    EXPECT_FALSE(image.words[address].listed) << address;
    EXPECT_EQ(image.words[address].value, 0) << address;
  }
}

TEST(MemoryImage, TheFirstWordWithoutValueIsFound) {
  const auto state = assembled("/0\nSTART, TAD X\n TAD Y\n HLT 0\nX, #12\nY, #999\n");
  const MemoryImage image = imageFromAssembly(*state);
  const ImageWord* word = firstWordWithoutValue(image);
  ASSERT_NE(word, nullptr);
  EXPECT_EQ(word->statement, "#12");
  EXPECT_EQ(word->line, 5);
  EXPECT_EQ(wordText(addressOf(image, *word)), "003");
}

struct StartCase {
  std::string name;
  std::string listing;
  std::string start;
};

void PrintTo(const StartCase& c, std::ostream* out) {
  *out << c.name;
}

class StartAddress : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartAddress, FollowsTheRules) {
  const MemoryImage image = imageOfListing(GetParam().listing);
  EXPECT_EQ(wordText(startAddress(image)), GetParam().start);
}

const StartCase kStarts[] = {
    {"LabelledStartInALaterPage",
     "/0\r\n000             CLA              710\r\n/1\r\n"
     "020 START,      HLT 0            721\r\n",
     "020"},
    {"TheLowestStartOfTwo",
     "/0\r\n000             CLA              710\r\n001 START,      CLA              710\r\n"
     "002 START,      CLA              710\r\n",
     "001"},
    {"FirstInstructionOfTheFirstPage",
     "/0\r\n000             BLANK            000\r\n001 X,          VAR              000\r\n"
     "002             HLT 0            721\r\n",
     "002"},
    {"ACombinedMnemonicIsAnInstruction",
     "/0\r\n000             BLANK            000\r\n001             CLA.IAC          711\r\n",
     "001"},
    {"ALabelLikeStartIsNotStart",
     "/0\r\n000 STARTX,     VAR              000\r\n001             NOP              700\r\n",
     "001"},
    {"NoInstructionInTheFirstPage",
     "/3\r\n120 X,          VAR              000\r\n/4\r\n200             HLT 0            721\r\n",
     "120"},
    {"NoPage", "", "000"},
};
INSTANTIATE_TEST_SUITE_P(Cases, StartAddress, ::testing::ValuesIn(kStarts),
                         [](const auto& test) { return test.param.name; });

}  // namespace
}  // namespace ovrik
