// The reasons of single words of small programs: what each word reaches, what
// reaches it, and the sentences, one table row per word.
#include "assemble/explain.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "assemble/assemble_source.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

// Far call and far variable, a direct read of an address constant, the return
// through RTNADR.
constexpr std::string_view kFarCall =
    "/0\n"
    "START,  CLA\n"
    "        TAD ONE\n"
    "        AND MASK\n"
    "        DCA V\n"
    "        JMS SUB\n"
    "        TAD SUBA\n"
    "        HLT 0\n"
    "ONE,    1\n"
    "MASK,   #017\n"
    "V,      VAR\n"
    "/1\n"
    "SUB,    RTNADR\n"
    "        TAD V\n"
    "        JMP I SUB\n";

// Pointers: set to a number, filled in while running, set to an address, and
// an address constant the source writes itself.
constexpr std::string_view kPointers =
    "/0\n"
    "        TAD I P5\n"
    "        TAD I PV\n"
    "        TAD I PA\n"
    "        TAD I TA\n"
    "        HLT 0\n"
    "P5,     VAR=5\n"
    "PV,     VAR\n"
    "PA,     VAR=TA\n"
    "TA,     A(T)\n"
    "T,      TABLE[1]\n"
    "        'x\n";

// A middle page entered from the page before, whose jump lands on a word with
// its own label; a full middle page whose jump has nothing to jump over; a
// direct JMS.
constexpr std::string_view kJumps =
    "/0\n"
    "        CLA\n"
    "/1\n"
    "LOOP,   TAD ONE\n"
    "        ISZ N\n"
    "        JMP LOOP\n"
    "        CLA\n"
    "/2\n"
    "        CLA\n        CLA\n        CLA\n        CLA\n        CLA\n"
    "        CLA\n        CLA\n        CLA\n        CLA\n        CLA\n"
    "        CLA\n        CLA\n        CLA\n        CLA\n        CLA\n"
    "/3\n"
    "        JMS SUB2\n"
    "        HLT 0\n"
    "SUB2,   RTNADR\n"
    "        JMP I SUB2\n"
    "N,      VAR\n"
    "ONE,    1\n";

// An array that runs on from page 0 into page 1; one free word in page 1.
constexpr std::string_view kData =
    "/0\n"
    "START,  TAD BUF\n"
    "        HLT 0\n"
    "BUF,    ARRAY[18]\n"
    "/1\n"
    "        CLA\n        CLA\n        CLA\n        CLA\n        CLA\n"
    "        CLA\n        CLA\n        CLA\n        CLA\n        CLA\n"
    "        HLT 0\n"
    "/2\n"
    "        HLT 0\n";

// Addresses in the word notation, as the sentences write them.
using Addresses = std::vector<std::string>;

struct Row {
  std::string_view source;
  std::string address;
  std::string why;
  std::string does;
  Addresses reaches;
  Addresses reachedBy;
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << "word " << row.address;
}

std::unique_ptr<AssemblyState> assembled(std::string_view source) {
  Assembly assembly = assembleSource(source);
  EXPECT_TRUE(assembly.ok) << assembly.console;
  return std::move(assembly.state);
}

Addresses inWordNotation(const std::vector<std::uint8_t>& addresses) {
  Addresses texts;
  for (const std::uint8_t address : addresses) texts.push_back(wordText(address));
  return texts;
}

class ExplainWord : public ::testing::TestWithParam<Row> {};

TEST_P(ExplainWord, SaysWhyAndWhatItReaches) {
  const Row& row = GetParam();
  const auto state = assembled(row.source);
  const Explanation explanation = explainAssembly(*state);
  const WordReasons& word = explanation.words[static_cast<std::size_t>(wordValue(row.address))];
  EXPECT_EQ(word.why, row.why);
  EXPECT_EQ(word.does, row.does);
  EXPECT_EQ(inWordNotation(word.reaches), row.reaches);
  EXPECT_EQ(inWordNotation(word.reachedBy), row.reachedBy);
}

INSTANTIATE_TEST_SUITE_P(
    FarCall, ExplainWord,
    ::testing::Values(
        Row{kFarCall,
            "010",
            "holds 020, the address of SUB in page 1, so that line 6 (word 015) and line 7 "
            "(word 016) can reach it from page 0",
            "",
            {"020"},
            {"015", "016"}},
        Row{kFarCall,
            "015",
            "line 6 wrote JMS SUB; SUB (line 13) lives in page 1, out of this page's reach, so it "
            "goes through SUBA at 010, which holds 020",
            "indirect: stores the return address in the word whose address is in 010 (SUBA, which "
            "holds 020) and goes on at the word after it",
            {"010", "020"},
            {}},
        Row{kFarCall,
            "016",
            "line 7 as written; its operand SUBA is in this page's pool, at 010",
            "adds the word at 010 (SUBA) to AC",
            {"010"},
            {}},
        Row{kFarCall,
            "013",
            "line 4 as written; its operand MASK is in this page's pool, at 007",
            "ANDs the word at 007 (MASK) into AC",
            {"007"},
            {}},
        Row{kFarCall,
            "005",
            "the variable V of line 11, taken into this page's pool for line 5 (word 014); other "
            "pages reach it through VA at 023",
            "",
            {},
            {"014", "021", "023"}},
        Row{kFarCall,
            "020",
            "line 13: where each JMS to SUB leaves the address to return to; called from line 6 "
            "(word 015)",
            "",
            {},
            {"010", "015", "022"}},
        Row{kFarCall,
            "022",
            "line 15 as written; it goes through SUB at 020, where JMS leaves the return address",
            "indirect: goes on at the address in 020 (SUB, where JMS leaves the return address)",
            {"020"},
            {}},
        Row{kFarCall,
            "021",
            "line 14 wrote TAD V; the variable V of line 11 lives in page 0, whose pool took it "
            "first, so it goes through VA at 023, which holds 005",
            "indirect: adds the word whose address is in 023 (VA, which holds 005) to AC",
            {"023", "005"},
            {}},
        Row{kFarCall,
            "000",
            "page 0 has 5 free words that its code, data and pool leave over; this is one of them",
            "",
            {},
            {}},
        // The last page's trailing filler words are not listed.
        Row{kFarCall, "024", "", "", {}, {}}));

INSTANTIATE_TEST_SUITE_P(
    Pointers, ExplainWord,
    ::testing::Values(
        Row{kPointers,
            "000",
            "line 2 as written; it goes through P5 at 006, which holds 005 when the program is "
            "loaded",
            "indirect: adds the word whose address is in 006 (P5, which holds 005) to AC",
            {"006", "005"},
            {}},
        Row{kPointers,
            "001",
            "line 3 as written; it goes through PV at 007, whose value the program sets as it runs",
            "indirect: adds the word whose address is in 007 (PV, set as the program runs) to AC",
            {"007"},
            {}},
        Row{kPointers,
            "005",
            "element 0 of the table T, the entry on line 12",
            "",
            {},
            {"000", "002", "003", "010", "011"}},
        Row{kPointers,
            "006",
            "the variable P5 of line 7, taken into this page's pool for line 2 (word 000)",
            "",
            {},
            {"000"}},
        Row{kPointers,
            "010",
            "the variable PA of line 9, taken into this page's pool for line 4 (word 002); it "
            "starts as 005, the address of T in this page",
            "",
            {"005"},
            {"002"}},
        Row{kPointers,
            "011",
            "the constant TA of line 10, copied into this page's pool for line 5 (word 003); it "
            "holds 005, the address of T in this page",
            "",
            {"005"},
            {"003"}}));

INSTANTIATE_TEST_SUITE_P(
    Jumps, ExplainWord,
    ::testing::Values(
        Row{kJumps,
            "020",
            "inserted by the assembler: control coming on from page 0 would otherwise run into "
            "the pool and 9 free words at slot 1 (021); it jumps over them to 034, labelled LOOP",
            "goes on at 034 (LOOP)",
            {"034"},
            {}},
        Row{kJumps,
            "034",
            "line 4 as written; its operand ONE is in this page's pool, at 022",
            "adds the word at 022 (ONE) to AC",
            {"022"},
            {"020", "036"}},
        Row{kJumps,
            "035",
            "line 5 as written; its operand N is in this page's pool, at 021",
            "adds 1 to the word at 021 (N) and skips the next word when it becomes 0",
            {"021"},
            {}},
        Row{kJumps,
            "100",
            "inserted by the assembler in front of the page's data and pool, of which this page "
            "has none; it jumps to 101, labelled END2",
            "goes on at 101 (END2)",
            {"101"},
            {}},
        Row{kJumps,
            "101",
            "line 9 as written; the assembler labelled it END2 so that the inserted jump at 100 "
            "can reach it",
            "",
            {},
            {"100"}},
        Row{kJumps,
            "120",
            "line 25 as written; its operand SUB2 is in its own page, at 122",
            "stores the return address in the word at 122 (SUB2) and goes on at 123",
            {"122"},
            {}}));

INSTANTIATE_TEST_SUITE_P(
    Data, ExplainWord,
    ::testing::Values(
        Row{kData, "000", "element 0 of the array BUF, declared on line 4", "", {}, {"016"}},
        Row{kData, "023", "element 17 of the array BUF, declared on line 4", "", {}, {}},
        Row{kData,
            "024",
            "page 1 has 1 free word that its code, data and pool leave over; this is it",
            "",
            {},
            {}}));

TEST(ExplainKinds, NameEveryKindAsTheCommandLineShowsIt) {
  EXPECT_EQ(kindText(WordKind::kCode), "code");
  EXPECT_EQ(kindText(WordKind::kJump), "inserted jump");
  EXPECT_EQ(kindText(WordKind::kData), "data");
  EXPECT_EQ(kindText(WordKind::kVariable), "variable");
  EXPECT_EQ(kindText(WordKind::kConstant), "constant");
  EXPECT_EQ(kindText(WordKind::kAddressConstant), "address constant");
  EXPECT_EQ(kindText(WordKind::kFiller), "filler");
}

// The explanation reads the final state and changes nothing in it.
TEST(ExplainState, LeavesTheStateAsItWas) {
  const auto state = assembled(kFarCall);
  const auto copy = std::make_unique<AssemblyState>(*state);
  explainAssembly(*state);
  EXPECT_TRUE(*state == *copy);
}

}  // namespace
}  // namespace ovrik
