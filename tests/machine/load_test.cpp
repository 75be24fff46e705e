// The one road to memory: a program from an assembly and from its listing,
// or the refusal the runner and the page show.
#include "machine/load.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <variant>

#include "assemble/assemble_source.hpp"
#include "support/program.hpp"

namespace ovrik {
namespace {

namespace fs = std::filesystem;

// Every example loads alike from its assembly and from its listing.
TEST(LoadToRun, AnAssemblyAndItsListingGiveTheSameProgram) {
  for (const auto& entry : fs::directory_iterator(OVRIK_EXAMPLES_DIR)) {
    if (entry.path().extension() != ".txt") continue;
    const Assembly assembly = assembleSource(testing::readFile(entry.path()));
    ASSERT_TRUE(assembly.ok) << entry.path();
    const auto fromState = loadToRun(*assembly.state);
    const auto fromListing = loadToRun(*assembly.listing);
    ASSERT_TRUE(std::holds_alternative<Program>(fromState)) << entry.path();
    ASSERT_TRUE(std::holds_alternative<Program>(fromListing)) << entry.path();
    const Program& made = std::get<Program>(fromState);
    const Program& read = std::get<Program>(fromListing);
    EXPECT_EQ(made.start, read.start) << entry.path();
    for (std::size_t address = 0; address < kMemoryWords; ++address) {
      EXPECT_EQ(made.image.words[address].value, read.image.words[address].value) << address;
    }
  }
}

struct RefusalCase {
  const char* name;
  bool listing;
  std::string bytes;
  LoadRefusal refusal;
};

class LoadRefuses : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(LoadRefuses, WithTheLineTheWordAndTheRunnersWording) {
  const RefusalCase& c = GetParam();
  const Assembly assembly = assembleSource(c.listing ? "" : c.bytes);
  const auto loaded = c.listing ? loadToRun(c.bytes) : loadToRun(*assembly.state);
  ASSERT_TRUE(std::holds_alternative<LoadRefusal>(loaded));
  const LoadRefusal& refusal = std::get<LoadRefusal>(loaded);
  EXPECT_EQ(refusal.line, c.refusal.line);
  EXPECT_EQ(refusal.address, c.refusal.address);
  EXPECT_EQ(refusal.message, c.refusal.message);
}

const RefusalCase kRefusals[] = {
    {"SourceWordWithoutValue",
     false,
     "/0\nSTART, TAD X\n HLT 0\nX, #999\n",
     {4, "word 002 (#999) has no value (code \"999\"), so the program is not run", 2}},
    {"ListingWordWithoutValue",
     true,
     "/0\r\n000 START,      HLT 0            721\r\n001 T,          #12              12\r\n",
     {3, "word 001 (#12) has no value (code \"12\"), so the program is not run", 1}},
    {"ListingAsAWhole",
     true,
     "/0\r\n001 T,          #12              012\r\n",
     {2, "address 001 out of order: 000 expected", -1}},
};
INSTANTIATE_TEST_SUITE_P(Cases, LoadRefuses, ::testing::ValuesIn(kRefusals),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace ovrik
