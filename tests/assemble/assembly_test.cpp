#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "assemble/assemble.hpp"
#include "support/test_state.hpp"

namespace ovrik {
namespace {

using testing::emptyState;
using testing::errorOf;
using testing::record;
using testing::setPage;
using testing::Word;

const Word kFiller{"", "BLANK", "000", ""};

// A page as operand rewriting leaves it: these words, then filler words up to 16.
void setFullPage(AssemblyState& state, int page, std::initializer_list<Word> words) {
  setPage(state, page, words);
  for (int slot = state.fill(kCodeCount, page); slot < kPageSize; ++slot) {
    state.codeWord(page, slot) = record(kFiller);
  }
  state.fill(kCodeCount, page) = kPageSize;
}

// Pages first to last, each full of filler words, for a test to place its words in.
std::unique_ptr<AssemblyState> fillerPages(std::int16_t first, std::int16_t last) {
  auto state = emptyState();
  for (int page = first; page <= last; ++page) setFullPage(*state, page, {});
  state->firstPage = first;
  state->lastPage = last;
  return state;
}

void put(AssemblyState& state, int page, int slot, const Word& word) {
  state.codeWord(page, slot) = record(word);
}

std::string codeAt(const AssemblyState& state, int page, int slot) {
  return state.codeWord(page, slot).code.str();
}

// The codes of the first count words of page.
std::vector<std::string> codes(const AssemblyState& state, int page, int count = kPageSize) {
  std::vector<std::string> result;
  for (int slot = 0; slot < count; ++slot) result.push_back(codeAt(state, page, slot));
  return result;
}

// Assembles and gives the code then at page/slot, or the error line the run stopped with.
std::string outcome(AssemblyState& state, int page, int slot) {
  const std::string error = errorOf([&] { assembleWords(state); });
  return error.empty() ? codeAt(state, page, slot) : error;
}

// One page 0 with these words; gives the outcome for the word at slot.
std::string onePage(std::initializer_list<Word> words, int slot) {
  auto state = fillerPages(0, 0);
  setFullPage(*state, 0, words);
  return outcome(*state, 0, slot);
}

// A statement and the code it gives, or the line the run stops with; slot and
// page say where, for the cases where that matters.
struct Case {
  const char* body;
  const char* expected;
  int slot = 0;
  int page = 0;
};

TEST(AssemblyPass, EncodesAPageThatReachesAFarLabelThroughAnAddressConstant) {
  auto state = fillerPages(1, 2);
  put(*state, 1, 3, {"VAL", "VAR", "000", ""});
  setFullPage(*state, 2,
              {{"START", "CLA", "", ""},
               {"", "TAD I VALA", "", ""},
               {"", "DCA COUNT", "", ""},
               {"", "HLT", "", ""},
               {"COUNT", "VAR", "000", ""},
               {"VALA", "A(VAL)", "", ""}});

  assembleWords(*state);

  const std::vector<std::string> expected = {"710", "125", "304", "721", "000", "023"};
  EXPECT_EQ(codes(*state, 2, 6), expected);
  EXPECT_EQ(state->codeWord(2, 1).body.view(), "TAD I VALA");
}

TEST(AssemblyPass, GivesTheTwoPageExampleProgramItsListedCodes) {
  auto state = emptyState();
  state->firstPage = 0;
  state->lastPage = 1;
  setFullPage(*state, 0,
              {kFiller,
               kFiller,
               kFiller,
               kFiller,
               kFiller,
               kFiller,
               kFiller,
               {"COUNT", "VAR", "000", ""},
               {"ONE", "1", "001", ""},
               {"SUBA", "A(SUB)", "", ""},
               {"NEXTA", "A(NEXT)", "", ""},
               {"START", "CLA", "", ""},
               {"", "TAD ONE", "", ""},
               {"", "DCA COUNT", "", ""},
               {"", "JMS I SUBA", "", ""},
               {"", "JMP I NEXTA", "", ""}});
  setFullPage(*state, 1,
              {{"NEXT", "TAD I COUNTA", "", ""},
               {"", "SKF 1", "", ""},
               {"", "HLT 0", "", ""},
               {"SUB", "RTNADR", "000", ""},
               {"", "TAD I PTR", "", ""},
               {"", "JMP I SUB", "", ""},
               {"BUF", "VAR", "000", " three words"},
               {"BUF[1]", "VAR", "000", ""},
               {"BUF[2]", "VAR", "000", ""},
               {"PTR", "VAR=BUFA", "", ""},
               {"COUNTA", "A(COUNT)", "", ""}});
  state->fill(kCodeCount, 1) = 11;

  assembleWords(*state);

  const std::vector<std::string> page0 = {"000", "000", "000", "000", "000", "000", "000", "000",
                                          "001", "023", "020", "710", "110", "307", "431", "532"};
  const std::vector<std::string> page1 = {"132", "611", "721", "000", "131", "523", "000", "000",
                                          "000", "026", "007", "000", "000", "000", "000", "000"};
  EXPECT_EQ(codes(*state, 0), page0);
  EXPECT_EQ(codes(*state, 1), page1);
}

TEST(AssembledInstruction, EveryMnemonicHasItsCode) {
  // X sits at slot 9, so a direct reference adds "11".
  const Case cases[] = {
      {"AND X", "011"},   {"TAD X", "111"},   {"INC X", "211"},   {"ISZ X", "211"},
      {"DCA X", "311"},   {"JMS X", "411"},   {"JMP X", "511"},   {"NOP", "700"},
      {"IAC", "701"},     {"RAL", "702"},     {"CMA", "704"},     {"CLA", "710"},
      {"HLT", "721"},     {"RAR", "722"},     {"SMA", "724"},     {"SZA", "730"},
      {"CLA.IAC", "711"}, {"CLA.CMA", "714"}, {"SZA.SMA", "734"}, {"CMA.IAC", "705"},
      {"SKF 0", "601"},   {"SDF 0", "621"},   {"KRS 0", "602"},   {"LDS 0", "622"},
      {"RKF 0", "604"},   {"RDF 0", "624"},   {"KRB 0", "606"},   {"LDB 0", "626"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    auto state = fillerPages(0, 0);
    put(*state, 0, 9, {"X", "VAR", "000", ""});
    put(*state, 0, 2, {"", c.body, "", ""});
    EXPECT_EQ(outcome(*state, 0, 2), c.expected);
  }
}

TEST(AssembledInstruction, TargetSlotAndIndirectFlagGiveTheLastTwoDigits) {
  const Case cases[] = {
      {"DCA X", "300", 0},   {"TAD X", "100", 0},    {"TAD X", "107", 7},    {"TAD X", "110", 8},
      {"TAD X", "112", 10},  {"TAD X", "117", 15},   {"TAD I X", "120", 0},  {"TAD I X", "127", 7},
      {"TAD I X", "130", 8}, {"TAD I X", "132", 10}, {"TAD I X", "137", 15}, {"JMP I X", "537", 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.body) + " at slot " + std::to_string(c.slot));
    auto state = fillerPages(5, 5);
    const int instructionSlot = (c.slot + 5) % kPageSize;
    put(*state, 5, c.slot, {"X", "VAR", "000", ""});
    put(*state, 5, instructionSlot, {"", c.body, "", ""});
    EXPECT_EQ(outcome(*state, 5, instructionSlot), c.expected);
  }
}

TEST(AssembledInstruction, OnlyACapitalIAndABlankMakeAReferenceIndirect) {
  EXPECT_EQ(onePage({{"", "TAD IX", "", ""}, {"IX", "VAR", "000", ""}}, 0), "101");
  EXPECT_EQ(onePage({{"", "TAD I", "", ""}, {"", "VAR", "000", ""}, {"I", "VAR", "000", ""}}, 0),
            "102");
  EXPECT_EQ(onePage({{"", "TAD i X", "", ""}, {"X", "VAR", "000", ""}}, 0),
            "Error: Address not found for i X.");
}

TEST(AssembledInstruction, LowestSlotWinsWhenALabelIsRepeatedInAPage) {
  auto state = fillerPages(0, 0);
  put(*state, 0, 4, {"X", "VAR", "000", ""});
  put(*state, 0, 9, {"X", "VAR", "000", ""});
  put(*state, 0, 12, {"", "TAD X", "", ""});
  EXPECT_EQ(outcome(*state, 0, 12), "104");
}

TEST(AssembledInstruction, PortOneSetsTheDeviceBitOfEveryIotInstruction) {
  const Case cases[] = {
      {"SKF 1", "611"}, {"SDF 1", "631"}, {"KRS 1", "612"}, {"LDS 1", "632"},
      {"RKF 1", "614"}, {"RDF 1", "634"}, {"KRB 1", "616"}, {"LDB 1", "636"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    EXPECT_EQ(onePage({{"", c.body, "", ""}}, 0), c.expected);
  }
}

TEST(AssembledInstruction, OperateInstructionIgnoresItsOperand) {
  EXPECT_EQ(onePage({{"", "CLA X", "", ""}}, 0), "710");
  EXPECT_EQ(onePage({{"", "HLT 0", "", ""}}, 0), "721");
  EXPECT_EQ(onePage({{"", "NOP 1", "", ""}}, 0), "700");
  EXPECT_EQ(onePage({{"", "CMA.IAC I NOWHERE", "", ""}}, 0), "705");
}

TEST(AssemblyErrors, IotPortOtherThanZeroOrOneStopsTheRun) {
  EXPECT_EQ(onePage({{"", "SKF 2", "", ""}}, 0), "Error: IOT port 2 is not valid.");
  EXPECT_EQ(onePage({{"", "SKF", "", ""}}, 0), "Error: IOT port  is not valid.");
  EXPECT_EQ(onePage({{"", "LDB 01", "", ""}}, 0), "Error: IOT port 01 is not valid.");
  EXPECT_EQ(onePage({{"", "KRS I 1", "", ""}}, 0), "Error: IOT port I 1 is not valid.");
}

TEST(AssemblyErrors, MnemonicMustMatchTheInstructionSetExactly) {
  const Case cases[] = {
      {"tad X", "tad"},       {"Cla", "Cla"},
      {"IAC.CLA", "IAC.CLA"}, {"CLA.IAC.CMA", "CLA.IAC.CMA"},
      {"CLA+IAC", "CLA+IAC"}, {"TADX", "TADX"},
      {"TAD.I X", "TAD.I"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    auto state = fillerPages(3, 3);
    put(*state, 3, 0, {"", c.body, "", ""});
    put(*state, 3, 1, {"X", "VAR", "000", ""});
    EXPECT_EQ(outcome(*state, 3, 0),
              "Error: Instruction " + std::string(c.expected) + " is not valid in page 3 line 0.");
  }
}

TEST(AssemblyErrors, InvalidInstructionNamesItsPageAndSlotInDecimal) {
  auto state = fillerPages(10, 10);
  put(*state, 10, 12, {"", "FOO", "", ""});
  EXPECT_EQ(outcome(*state, 10, 12), "Error: Instruction FOO is not valid in page 10 line 12.");
}

TEST(AssemblyErrors, VariableWithAnOperandIsTakenAsAnInstruction) {
  auto state = fillerPages(0, 0);
  put(*state, 0, 7, {"V", "VAR X", "000", ""});
  EXPECT_EQ(outcome(*state, 0, 7), "Error: Instruction VAR is not valid in page 0 line 7.");
}

TEST(AssemblyErrors, OperandMustNameAWordOfTheInstructionsOwnPage) {
  auto state = fillerPages(0, 1);
  put(*state, 1, 4, {"FAR", "VAR", "000", ""});
  put(*state, 0, 0, {"", "TAD FAR", "", ""});
  EXPECT_EQ(outcome(*state, 0, 0), "Error: Address not found for FAR.");

  put(*state, 0, 0, {"", "TAD I FARA", "", ""});
  EXPECT_EQ(outcome(*state, 0, 0), "Error: Address not found for FARA.");

  put(*state, 0, 0, {"", "TAD far", "", ""});
  put(*state, 0, 1, {"FAR", "VAR", "000", ""});
  EXPECT_EQ(outcome(*state, 0, 0), "Error: Address not found for far.");
}

TEST(AssemblyErrors, MemoryReferenceWithoutOperandStopsTheRun) {
  // The page is full of unlabelled filler words; none of them may be taken.
  EXPECT_EQ(onePage({{"", "JMP", "", ""}}, 0), "Error: Address not found for .");
  EXPECT_EQ(onePage({{"", "TAD I ", "", ""}}, 0), "Error: Address not found for .");
}

TEST(AssembledInitialisedVariable, TakesTheCodeOfALiteral) {
  const Case cases[] = {
      {"VAR=5", "005"},  {"VAR=-1", "737"},        {"VAR=#12", "12"},
      {"VAR='A", "201"}, {"VAR=%00000101", "005"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    EXPECT_EQ(onePage({{"V", c.body, "", ""}}, 0), c.expected);
  }
}

TEST(AssembledInitialisedVariable, TakesTheAddressOfALabelWrittenWithATrailingA) {
  auto state = fillerPages(1, 3);
  put(*state, 2, 7, {"LOOP", "CLA", "", ""});
  put(*state, 3, 1, {"LOO", "VAR", "000", ""});
  put(*state, 1, 0, {"P", "VAR=LOOPA", "", ""});
  put(*state, 1, 1, {"Q", "VAR=LOOA", "", ""});
  put(*state, 3, 9, {"R", "VAR=PA", "", ""});
  assembleWords(*state);
  EXPECT_EQ(codeAt(*state, 1, 0), "107");
  EXPECT_EQ(codeAt(*state, 1, 1), "121");
  EXPECT_EQ(codeAt(*state, 3, 9), "020");
}

TEST(AssembledInitialisedVariable, ValueThatIsNoAddressNameStopsTheRun) {
  const Case cases[] = {
      {"VAR=LOOP", "Error: No label found for LOOP"},
      {"VAR=loopa", "Error: No label found for loopa"},
      {"VAR=NOWHERE", "Error: No label found for NOWHERE"},
      {"VAR=", "Error: No label found for "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    auto state = fillerPages(0, 0);
    put(*state, 0, 3, {"LOOP", "CLA", "", ""});
    put(*state, 0, 4, {"LOO", "CLA", "", ""});
    put(*state, 0, 8, {"V", c.body, "", ""});
    EXPECT_EQ(outcome(*state, 0, 8), c.expected);
  }
}

TEST(AssembledAddressConstant, HoldsTheAddressOfTheLabelInWordNotation) {
  const Case cases[] = {
      {"", "000", 0, 0}, {"", "023", 3, 1},  {"", "214", 12, 4},
      {"", "400", 0, 8}, {"", "511", 9, 10}, {"", "737", 15, 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.page) + "/" + std::to_string(c.slot));
    auto state = fillerPages(0, 15);
    put(*state, c.page, c.slot, {"TARGET", "CLA", "", ""});
    put(*state, 7, 7, {"TARGETA", "A(TARGET)", "", ""});
    EXPECT_EQ(outcome(*state, 7, 7), c.expected);
  }
}

TEST(AssembledAddressConstant, ForALabelThatDoesNotExistStopsTheRun) {
  EXPECT_EQ(onePage({{"XA", "A(X)", "", ""}}, 0), "Error: No label found for XA");
}

TEST(AssembledAddressConstant, ItsLabelNotItsParenthesesNamesTheTarget) {
  auto state = fillerPages(0, 0);
  put(*state, 0, 2, {"X", "CLA", "", ""});
  put(*state, 0, 5, {"LOOP", "CLA", "", ""});
  put(*state, 0, 9, {"LOOPA", "A(X)", "", ""});
  EXPECT_EQ(outcome(*state, 0, 9), "005");

  // A constant written in the source under a name of its own points nowhere.
  put(*state, 0, 9, {"P", "A(X)", "", ""});
  EXPECT_EQ(outcome(*state, 0, 9), "Error: No label found for P");
}

TEST(AssembledAddressConstant, LowestAddressWinsWhenALabelIsRepeated) {
  auto state = fillerPages(0, 1);
  put(*state, 0, 6, {"Y", "CLA", "", ""});
  put(*state, 1, 2, {"Y", "CLA", "", ""});
  put(*state, 1, 10, {"YA", "A(Y)", "", ""});
  put(*state, 1, 11, {"W", "VAR=YA", "", ""});
  assembleWords(*state);
  EXPECT_EQ(codeAt(*state, 1, 10), "006");
  EXPECT_EQ(codeAt(*state, 1, 11), "006");
}

TEST(AssembledAddressConstant, IsNeverNamedItself) {
  auto state = fillerPages(0, 0);
  put(*state, 0, 0, {"X", "CLA", "", ""});
  put(*state, 0, 1, {"XA", "A(X)", "", ""});
  put(*state, 0, 2, {"XAA", "A(XA)", "", ""});
  EXPECT_EQ(outcome(*state, 0, 2), "Error: No label found for XAA");

  put(*state, 0, 2, {"V", "VAR=XAA", "", ""});
  EXPECT_EQ(outcome(*state, 0, 2), "Error: No label found for XAA");
}

TEST(AssembledAddressConstant, AWordWhoseStatementContainsAParenthesisedAIsNotNamed) {
  auto state = fillerPages(0, 0);
  put(*state, 0, 0, {"D", "'A(", "201", ""});
  put(*state, 0, 1, {"DA", "A(D)", "", ""});
  EXPECT_EQ(outcome(*state, 0, 1), "Error: No label found for DA");
}

TEST(AssemblyPass, KeepsTheCodesEarlierPassesGave) {
  auto state = fillerPages(0, 0);
  setFullPage(*state, 0,
              {{"V", "VAR", "000", ""},
               {"", "BLANK", "000", ""},
               {"S", "RTNADR", "000", ""},
               {"C", "#12", "12", ""},
               {"", "'A", "201", ""},
               {"", "-1", "737", ""},
               {"", "%00000101", "005", ""},
               {"", "+$1F", "037", ""}});
  assembleWords(*state);
  const std::vector<std::string> kept = {"000", "000", "000", "12", "201", "737", "005", "037"};
  EXPECT_EQ(codes(*state, 0, 8), kept);
}

TEST(AssemblyPass, ChangesNothingButTheCodes) {
  auto state = fillerPages(0, 1);
  setFullPage(*state, 0,
              {{"START", "TAD I FARA", "", " far away"},
               {"", "HLT", "", ""},
               {"FARA", "A(FAR)", "", " pool"}});
  put(*state, 1, 3, {"FAR", "VAR=5", "", " five"});
  state->fill(kCodeCount, 1) = 4;
  state->poolTable[17] = record({"P", "VAR", "000", ""});
  state->variableTable[0] = record({"Q", "VAR", "000", ""});
  state->tableCount[kVariableTable] = 1;
  state->fill(kInsertionPoint, 0) = 3;
  auto before = std::make_unique<AssemblyState>(*state);

  assembleWords(*state);

  for (std::size_t address = 0; address < kTableSize; ++address) {
    LineRecord expected = before->codeTable[address];
    expected.code = state->codeTable[address].code;
    EXPECT_EQ(state->codeTable[address], expected) << "at address " << address;
  }
  EXPECT_EQ(state->poolTable, before->poolTable);
  EXPECT_EQ(state->dataTable, before->dataTable);
  EXPECT_EQ(state->variableTable, before->variableTable);
  EXPECT_EQ(state->constantTable, before->constantTable);
  EXPECT_EQ(state->tableCount, before->tableCount);
  EXPECT_EQ(state->pageFill, before->pageFill);
  EXPECT_EQ(state->firstPage, before->firstPage);
  EXPECT_EQ(state->lastPage, before->lastPage);
  EXPECT_EQ(codeAt(*state, 0, 0), "122");
}

TEST(AssemblyPass, AssemblesAndNamesTheUnlistedFillerSlotsOfTheLastPage) {
  auto state = fillerPages(1, 2);
  state->fill(kCodeCount, 2) = 5;
  put(*state, 2, 12, {"LATE", "CLA", "", ""});
  put(*state, 1, 0, {"V", "VAR=LATEA", "", ""});
  assembleWords(*state);
  EXPECT_EQ(codeAt(*state, 2, 12), "710");
  EXPECT_EQ(codeAt(*state, 1, 0), "114");

  put(*state, 2, 15, {"", "BAD", "", ""});
  EXPECT_EQ(errorOf([&] { assembleWords(*state); }),
            "Error: Instruction BAD is not valid in page 2 line 15.");
}

TEST(AssemblyErrors, FirstFaultyWordInAddressOrderIsReported) {
  auto state = fillerPages(1, 2);
  put(*state, 2, 3, {"", "SKF 7", "", ""});
  put(*state, 2, 0, {"", "FOO", "", ""});
  put(*state, 1, 15, {"V", "VAR=MISSING", "", ""});
  put(*state, 1, 9, {"XA", "A(X)", "", ""});

  EXPECT_EQ(errorOf([&] { assembleWords(*state); }), "Error: No label found for XA");
  put(*state, 1, 9, kFiller);
  EXPECT_EQ(errorOf([&] { assembleWords(*state); }), "Error: No label found for MISSING");
  put(*state, 1, 15, kFiller);
  EXPECT_EQ(errorOf([&] { assembleWords(*state); }),
            "Error: Instruction FOO is not valid in page 2 line 0.");
  put(*state, 2, 0, kFiller);
  EXPECT_EQ(errorOf([&] { assembleWords(*state); }), "Error: IOT port 7 is not valid.");
}

TEST(AssemblyPass, WordsOutsideTheUsedPagesAreNeitherAssembledNorNamed) {
  auto state = fillerPages(2, 3);
  put(*state, 1, 0, {"FAR", "FOO", "", ""});
  put(*state, 4, 0, {"AFTER", "CLA", "", ""});
  EXPECT_EQ(errorOf([&] { assembleWords(*state); }), "");
  EXPECT_EQ(codeAt(*state, 4, 0), "");

  put(*state, 3, 5, {"V", "VAR=FARA", "", ""});
  EXPECT_EQ(errorOf([&] { assembleWords(*state); }), "Error: No label found for FARA");
  put(*state, 3, 5, {"V", "VAR=AFTERA", "", ""});
  EXPECT_EQ(errorOf([&] { assembleWords(*state); }), "Error: No label found for AFTERA");
}

TEST(AssemblyPass, SourceWithoutPageDirectivesAssemblesNothing) {
  auto state = emptyState();
  state->firstPage = 15;
  state->lastPage = 0;
  put(*state, 0, 0, {"", "FOO", "", ""});
  put(*state, 15, 15, {"", "CLA", "", ""});
  EXPECT_EQ(errorOf([&] { assembleWords(*state); }), "");
  EXPECT_EQ(codeAt(*state, 15, 15), "");
}

}  // namespace
}  // namespace ovrik
