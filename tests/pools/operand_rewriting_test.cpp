#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "pools/pools.hpp"
#include "support/test_state.hpp"

namespace ovrik {
namespace {

using testing::addEntry;
using testing::bodies;
using testing::emptyState;
using testing::errorOf;
using testing::labels;
using testing::setPage;
using testing::texts;
using testing::usePages;

using Words = std::vector<std::string>;

const std::string kFiller = "|BLANK|000|";

// All 16 slots of a page, whatever its count says.
Words slotsOf(const AssemblyState& state, std::int16_t page) {
  Words result;
  for (std::int16_t slot = 0; slot < kPageSize; ++slot) {
    result.push_back(texts(state.codeWord(page, slot)));
  }
  return result;
}

Words fillers(std::size_t count) {
  return Words(count, kFiller);
}

Words join(std::initializer_list<Words> parts) {
  Words result;
  for (const Words& part : parts) result.insert(result.end(), part.begin(), part.end());
  return result;
}

void runPoolPasses(AssemblyState& state) {
  buildPagePools(state);
  rewriteOperands(state);
}

// ---- Whole programs ----

TEST(OperandRewriting, TwoPageProgramComesOutSlotBySlot) {
  auto state = emptyState();
  usePages(*state, 0, 1);
  setPage(*state, 0, {{"START", "TAD V"}, {"", "JMP FAR"}, {"", "TAD I P"}});
  setPage(*state, 1, {{"FAR", "TAD C"}, {"", "DCA V"}});
  state->fill(kInsertionPoint, 0) = 0;
  state->fill(kInsertionPoint, 1) = 2;
  addEntry(*state, kVariableTable, {"V", "VAR", "000"});
  addEntry(*state, kVariableTable, {"P", "VAR=5", "000"});
  addEntry(*state, kConstantTable, {"C", "#007", "007"});

  runPoolPasses(*state);

  EXPECT_EQ(slotsOf(*state, 0), join({fillers(10),
                                      {"P|VAR=5|000|", "V|VAR|000|", "FARA|A(FAR)||",
                                       "START|TAD V||", "|JMP I FARA||", "|TAD I P||"}}));
  EXPECT_EQ(slotsOf(*state, 1),
            join({{"FAR|TAD C||", "|DCA I VA||", "C|#007|007|", "VA|A(V)||"}, fillers(12)}));
  EXPECT_EQ(state->fill(kCodeCount, 0), 16);
  EXPECT_EQ(state->fill(kCodeCount, 1), 4);
  EXPECT_EQ(state->fill(kPoolCount, 0), 13);
  EXPECT_EQ(state->fill(kPoolCount, 1), 14);
  EXPECT_EQ(state->fill(kInsertionPoint, 0), 13);
  EXPECT_EQ(state->fill(kInsertionPoint, 1), 16);
  EXPECT_EQ(state->tableCount[kVariableTable], 0);
  ASSERT_EQ(state->tableCount[kConstantTable], 1);
  EXPECT_EQ(texts(state->constantTable[0]), "C|#007|007|");
}

TEST(OperandRewriting, MiddlePageTakesItsPoolBehindTheJumpOverIt) {
  auto state = emptyState();
  usePages(*state, 0, 2);
  setPage(*state, 0, {{"START", "CLA"}, {"", "TAD ONE"}});
  setPage(
      *state, 1,
      {{"", "JMP LOOP"}, {"LOOP", "DCA CNT"}, {"", "ISZ CNT"}, {"", "JMP LOOP"}, {"", "TAD ONE"}});
  setPage(*state, 2, {{"", "HLT 0"}, {"", "JMP START"}});
  state->fill(kInsertionPoint, 0) = 0;
  state->fill(kInsertionPoint, 1) = 1;
  state->fill(kInsertionPoint, 2) = 2;
  addEntry(*state, kVariableTable, {"CNT", "VAR", "000"});
  addEntry(*state, kConstantTable, {"ONE", "1", "001"});

  runPoolPasses(*state);

  EXPECT_EQ(slotsOf(*state, 0), join({fillers(13), {"ONE|1|001|", "START|CLA||", "|TAD ONE||"}}));
  EXPECT_EQ(slotsOf(*state, 1),
            join({{"|JMP LOOP||", "CNT|VAR|000|", "ONE|1|001|"},
                  fillers(9),
                  {"LOOP|DCA CNT||", "|ISZ CNT||", "|JMP LOOP||", "|TAD ONE||"}}));
  EXPECT_EQ(state->fill(kInsertionPoint, 1), 12);
  EXPECT_EQ(bodies(*state, 2), (Words{"HLT 0", "JMP I STARTA", "A(START)"}));
  EXPECT_EQ(state->codeWord(2, 2).label, "STARTA");
}

// ---- Direct operands ----

TEST(OperandRewriting, AnOperandAlreadyInThePageNeedsNothingMore) {
  auto state = emptyState();
  usePages(*state, 0, 0);
  setPage(*state, 0, {{"LOOP", "TAD I V"}, {"", "DCA V"}, {"", "JMP LOOP"}});
  state->fill(kInsertionPoint, 0) = 3;
  addEntry(*state, kVariableTable, {"V", "VAR", "000"});
  runPoolPasses(*state);
  EXPECT_EQ(bodies(*state, 0), (Words{"TAD I V", "DCA V", "JMP LOOP", "VAR"}));
}

TEST(OperandRewriting, FarTargetsAreReachedThroughOneAddressConstantPerPage) {
  auto state = emptyState();
  usePages(*state, 0, 2);
  setPage(*state, 0, {{"", "JMP LOOP"}, {"", "JMS LOOP"}, {"", "JMS SUB"}});
  setPage(*state, 1, {{"", "JMP LOOP"}});
  setPage(*state, 2, {{"LOOP", "CLA"}, {"SUB", "RTNADR", "000"}});
  for (std::int16_t page = 0; page <= 2; ++page) {
    state->fill(kInsertionPoint, page) = state->fill(kCodeCount, page);
  }
  runPoolPasses(*state);
  EXPECT_EQ(slotsOf(*state, 0), join({{"|JMP I LOOPA||", "|JMS I LOOPA||", "|JMS I SUBA||",
                                       "LOOPA|A(LOOP)||", "SUBA|A(SUB)||"},
                                      fillers(11)}));
  EXPECT_EQ(slotsOf(*state, 1), join({{"|JMP I LOOPA||", "LOOPA|A(LOOP)||"}, fillers(14)}));
}

TEST(OperandRewriting, AWordNamedLikeTheAddressConstantIsUsedInstead) {
  auto state = emptyState();
  usePages(*state, 0, 1);
  setPage(*state, 0, {{"", "JMP FAR"}, {"FARA", "A(FAR)"}, {"", "JMS SUB"}, {"", "TAD I SUBA"}});
  setPage(*state, 1, {{"FAR", "CLA"}, {"SUB", "RTNADR"}});
  state->fill(kInsertionPoint, 0) = 4;
  addEntry(*state, kConstantTable, {"SUBA", "A(SUB)", ""});
  runPoolPasses(*state);
  EXPECT_EQ(bodies(*state, 0), join({{"JMP I FARA", "A(FAR)", "JMS I SUBA", "TAD I SUBA", "A(SUB)"},
                                     Words(11, "BLANK")}));
}

TEST(OperandRewriting, AVariableTakenByAnotherPageIsReachedByItsAddress) {
  auto state = emptyState();
  usePages(*state, 0, 4);
  setPage(*state, 0, {{"", "TAD W"}});  // W goes to page 1, which names it indirectly
  setPage(*state, 1, {{"", "DCA I W"}});
  setPage(*state, 2, {{"", "TAD V"}});
  setPage(*state, 4, {{"", "ISZ V"}});
  for (std::int16_t page = 0; page <= 4; ++page) {
    state->fill(kInsertionPoint, page) = state->fill(kCodeCount, page);
  }
  addEntry(*state, kVariableTable, {"V", "VAR", "000"});
  addEntry(*state, kVariableTable, {"W", "VAR", "000"});
  runPoolPasses(*state);
  EXPECT_EQ(bodies(*state, 0)[0], "TAD I WA");
  EXPECT_EQ(texts(state->codeWord(0, 1)), "WA|A(W)||");
  EXPECT_EQ(texts(state->codeWord(1, 1)), "W|VAR|000|");
  EXPECT_EQ(texts(state->codeWord(2, 1)), "V|VAR|000|");
  EXPECT_EQ(bodies(*state, 4), (Words{"ISZ I VA", "A(V)"}));
  EXPECT_EQ(state->tableCount[kVariableTable], 0);
}

TEST(OperandRewriting, EveryPageThatNamesAConstantDirectlyGetsItsOwnCopy) {
  auto state = emptyState();
  usePages(*state, 3, 4);
  setPage(*state, 3, {{"", "TAD ONE"}, {"", "HLT 0"}});
  setPage(*state, 4, {{"", "AND ONE"}});
  state->fill(kInsertionPoint, 3) = 2;
  state->fill(kInsertionPoint, 4) = 1;
  addEntry(*state, kConstantTable, {"ONE", "1", "001", " one"});
  runPoolPasses(*state);
  EXPECT_EQ(texts(state->codeWord(3, 2)), "ONE|1|001| one");
  EXPECT_EQ(texts(state->codeWord(4, 1)), "ONE|1|001| one");
  EXPECT_EQ(state->tableCount[kConstantTable], 1);
}

TEST(OperandRewriting, OnlyTheSevenMnemonicsWithTheirBlankTakeAnOperand) {
  auto state = emptyState();
  usePages(*state, 0, 1);
  setPage(*state, 0,
          {{"", "INC FAR"},
           {"", "AND FAR"},
           {"", "JMP"},
           {"", "JMPFAR"},
           {"", "tad FAR"},
           {"", "CLA"},
           {"", "IOT 1 FAR"},
           {"", "#001", "001"}});
  setPage(*state, 1, {{"FAR", "HLT 0"}});
  state->fill(kInsertionPoint, 0) = 8;
  runPoolPasses(*state);
  EXPECT_EQ(bodies(*state, 0), join({{"INC I FARA", "AND I FARA", "JMP", "JMPFAR", "tad FAR", "CLA",
                                      "IOT 1 FAR", "#001", "A(FAR)"},
                                     Words(7, "BLANK")}));
}

TEST(OperandRewriting, LongOperandNamesAreCutWhereTheRewrittenBodyPassesFortySevenCharacters) {
  auto state = emptyState();
  usePages(*state, 0, 0);
  const std::string fits(40, 'a');
  const std::string losesItsA(41, 'b');
  const std::string longest(43, 'c');
  setPage(*state, 0, {{"", "JMP " + fits}, {"", "JMP " + losesItsA}, {"", "JMP " + longest}});
  state->fill(kInsertionPoint, 0) = 3;
  runPoolPasses(*state);
  EXPECT_EQ(bodies(*state, 0),
            (Words{"JMP I " + fits + "A", "JMP I " + losesItsA, "JMP I " + longest.substr(0, 41),
                   "A(" + fits + ")", "A(" + losesItsA + ")", "A(" + longest + ")"}));
  EXPECT_EQ(state->codeWord(0, 5).label, longest + "A");  // 44 characters, made in full
}

// ---- Pool order and placement ----

TEST(PoolPlacement, VariablesComeFirstAndEachKindKeepsItsOrderOfUse) {
  auto state = emptyState();
  usePages(*state, 0, 0);
  setPage(*state, 0, {{"", "TAD C"}, {"", "TAD V"}, {"", "TAD D"}, {"", "TAD W"}});
  state->fill(kInsertionPoint, 0) = 4;
  addEntry(*state, kVariableTable, {"W", "VAR=3", "000"});
  addEntry(*state, kVariableTable, {"V", "VAR", "000"});
  addEntry(*state, kConstantTable, {"D", "2", "002"});
  addEntry(*state, kConstantTable, {"C", "1", "001"});
  runPoolPasses(*state);
  EXPECT_EQ(labels(*state, 0), (Words{"", "", "", "", "V", "W", "C", "D"}));
}

TEST(PoolPlacement, VariablesNamedIndirectlyLeadThoseNamedDirectly) {
  auto state = emptyState();
  usePages(*state, 0, 0);
  setPage(*state, 0, {{"", "TAD ONE"}, {"", "DCA V"}, {"", "TAD I P"}});
  addEntry(*state, kVariableTable, {"V", "VAR", "000"});
  addEntry(*state, kVariableTable, {"P", "VAR", "000"});
  addEntry(*state, kConstantTable, {"ONE", "1", "001"});
  runPoolPasses(*state);
  EXPECT_EQ(labels(*state, 0), join({Words(10, ""), {"P", "V", "ONE", "", "", ""}}));
}

TEST(PoolPlacement, APageWithoutFreeWordsStaysAsItIsWhenItNeedsNoPool) {
  auto state = emptyState();
  usePages(*state, 0, 1);
  for (std::int16_t slot = 0; slot < kPageSize; ++slot) {
    state->codeWord(0, slot).body = "CLA";
  }
  state->fill(kCodeCount, 0) = kPageSize;
  state->fill(kInsertionPoint, 0) = 5;
  setPage(*state, 1, {{"", "HLT 0"}});
  state->fill(kInsertionPoint, 1) = 1;
  EXPECT_EQ(errorOf([&] { runPoolPasses(*state); }), "");
  EXPECT_EQ(bodies(*state, 0), Words(16, "CLA"));
  EXPECT_EQ(state->fill(kPoolCount, 0), 0);
  EXPECT_EQ(state->fill(kInsertionPoint, 0), 5);
}

TEST(PoolPlacement, APoolLargerThanThePagesFreeWordsStopsTheRunBeforeAnyWordMoves) {
  auto state = emptyState();
  usePages(*state, 0, 1);
  setPage(*state, 0, {{"", "TAD K0"}});
  Words before;
  for (std::int16_t slot = 0; slot < 14; ++slot) {
    const std::string body = slot < 3 ? "TAD K" + std::to_string(slot) : "CLA";
    state->codeWord(1, slot).body = body;
    before.push_back(body);
  }
  state->fill(kCodeCount, 1) = 14;
  state->fill(kInsertionPoint, 1) = 0;
  for (const auto* name : {"K0", "K1", "K2"}) addEntry(*state, kConstantTable, {name, "1", "001"});

  EXPECT_EQ(errorOf([&] { runPoolPasses(*state); }), "Error: Word count exceeded in page 1.");
  EXPECT_EQ(state->fill(kCodeCount, 0), 16);  // the page before was placed
  EXPECT_EQ(bodies(*state, 1), before);
}

TEST(PoolPlacement, APageWhoseEveryWordNeedsAPoolWordCannotHoldThem) {
  auto state = emptyState();
  usePages(*state, 15, 15);
  for (std::int16_t slot = 0; slot < kPageSize; ++slot) {
    const std::string name = "K" + std::to_string(slot);
    state->codeWord(15, slot).body = "TAD I " + name;
    addEntry(*state, kConstantTable, {name, "1", "001"});
  }
  state->fill(kCodeCount, 15) = kPageSize;
  EXPECT_EQ(errorOf([&] { runPoolPasses(*state); }), "Error: Word count exceeded in page 15.");
}

// ---- The end of the program ----

TEST(PoolPlacement, OnlyTheLastPageLosesItsTrailingFillerWords) {
  auto state = emptyState();
  usePages(*state, 0, 1);
  setPage(*state, 0, {{"", "HLT 0"}});
  state->fill(kInsertionPoint, 0) = 1;
  setPage(*state, 1, {{"", "CLA"}, {"", "BLANK"}, {"", "HLT 0"}, {"", "BLANK"}});
  state->fill(kInsertionPoint, 1) = 4;
  runPoolPasses(*state);
  EXPECT_EQ(bodies(*state, 0), join({{"HLT 0"}, Words(15, "BLANK")}));
  EXPECT_EQ(bodies(*state, 1), (Words{"CLA", "BLANK", "HLT 0"}));
  EXPECT_EQ(slotsOf(*state, 1).back(), kFiller);  // the records stay in the table
}

TEST(PoolPlacement, ALastPageOfFillerWordsAloneCountsNoWords) {
  auto state = emptyState();
  usePages(*state, 2, 2);
  runPoolPasses(*state);
  EXPECT_EQ(state->fill(kCodeCount, 2), 0);
  EXPECT_EQ(slotsOf(*state, 2), fillers(16));
}

TEST(PoolPlacement, ASourceWithoutPagesLeavesEveryPageAlone) {
  auto state = emptyState();
  usePages(*state, 15, 0);
  setPage(*state, 0, {{"", "TAD I GHOST"}});
  state->fill(kPoolCount, 0) = 2;
  EXPECT_EQ(errorOf([&] { runPoolPasses(*state); }), "");
  EXPECT_EQ(bodies(*state, 0), (Words{"TAD I GHOST"}));
  EXPECT_EQ(state->fill(kPoolCount, 0), 2);
  EXPECT_EQ(state->fill(kCodeCount, 15), 0);
}

}  // namespace
}  // namespace ovrik
