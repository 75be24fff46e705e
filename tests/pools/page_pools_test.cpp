#include <gtest/gtest.h>

#include <cstdint>
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
using testing::record;
using testing::setPage;
using testing::texts;
using testing::usePages;

std::vector<std::string> poolOf(const AssemblyState& state, std::int16_t page) {
  std::vector<std::string> result;
  for (std::int16_t slot = 0; slot < state.fill(kPoolCount, page); ++slot) {
    result.push_back(texts(state.word(kPoolTable, page, slot)));
  }
  return result;
}

std::vector<std::string> labelsIn(const AssemblyState& state, TableId table) {
  std::vector<std::string> result;
  for (std::int16_t index = 0; index < state.tableCount[static_cast<std::size_t>(table)]; ++index) {
    result.push_back(state.table(table)[static_cast<std::size_t>(index)].label.str());
  }
  return result;
}

// ---- Lookups ----

TEST(PoolLookup, FindsTheLowestSlotAmongThePagesOwnWordsOnly) {
  auto state = emptyState();
  setPage(*state, 3, {{"A", "CLA"}, {"LOOP", "TAD X"}, {"LOOP", "DCA X"}});
  setPage(*state, 4, {{"FAR", "HLT 0"}});
  state->codeWord(3, 3).label = "PAST";  // a record after the page's words is no word of it
  EXPECT_EQ(findInPage(*state, 3, kCodeTable, "LOOP"), 1);
  EXPECT_EQ(findInPage(*state, 3, kCodeTable, "PAST"), -1);
  EXPECT_EQ(findInPage(*state, 3, kCodeTable, "FAR"), -1);
  EXPECT_EQ(findInPage(*state, 4, kCodeTable, "FAR"), 0);

  state->word(kPoolTable, 3, 0).label = "V";
  state->word(kPoolTable, 3, 1).label = "W";
  EXPECT_EQ(findInPage(*state, 3, kPoolTable, "V"), -1);  // the pool is still empty
  state->fill(kPoolCount, 3) = 2;
  EXPECT_EQ(findInPage(*state, 3, kPoolTable, "W"), 1);
  EXPECT_EQ(findInPage(*state, 3, kCodeTable, "W"), -1);
}

TEST(PoolLookup, NamesMatchOnlyInFullAndWithTheirCase) {
  auto state = emptyState();
  setPage(*state, 0, {{"PTR", "VAR"}, {"", "CLA"}});
  addEntry(*state, kVariableTable, {"PTR", "VAR", "000"});
  for (const auto* name : {"ptr", "PT", "PTR ", "PTRX"}) {
    EXPECT_EQ(findInPage(*state, 0, kCodeTable, name), -1) << name;
    EXPECT_EQ(findInTable(*state, kVariableTable, name), -1) << name;
  }
  EXPECT_EQ(findInTable(*state, kVariableTable, "PTR"), 0);
}

TEST(PoolLookup, ANameIsCutAt47CharactersBeforeItIsCompared) {
  auto state = emptyState();
  const std::string longName(52, 'N');
  setPage(*state, 1, {{"", "CLA"}, {longName, "HLT 0"}});  // the label keeps 47 of them
  addEntry(*state, kConstantTable, {longName, "#001", "001"});
  EXPECT_EQ(findInPage(*state, 1, kCodeTable, longName), 1);
  EXPECT_EQ(findInPage(*state, 1, kCodeTable, std::string(47, 'N') + "X"), 1);
  EXPECT_EQ(findInPage(*state, 1, kCodeTable, std::string(46, 'N')), -1);
  EXPECT_EQ(findInTable(*state, kConstantTable, std::string(60, 'N')), 0);
}

TEST(PoolLookup, TablesAreSearchedOnlyUpToTheirCountAndTheFirstEntryWins) {
  auto state = emptyState();
  addEntry(*state, kConstantTable, {"ONE", "1", "001"});
  addEntry(*state, kConstantTable, {"TWO", "2", "002"});
  addEntry(*state, kConstantTable, {"ONE", "#001", "001"});
  state->variableTable[0].label = "GONE";  // left behind by a variable that moved out
  EXPECT_EQ(findInTable(*state, kConstantTable, "ONE"), 0);
  EXPECT_EQ(findInTable(*state, kConstantTable, "TWO"), 1);
  EXPECT_EQ(findInTable(*state, kVariableTable, "GONE"), -1);
  EXPECT_EQ(findInTable(*state, kVariableTable, "TWO"), -1);
}

// ---- Transfer into a pool ----

TEST(PoolTransfer, AVariableMovesOutOfItsTableWithAllItsTexts) {
  auto state = emptyState();
  addEntry(*state, kVariableTable, {"A", "VAR", "000", " first"});
  addEntry(*state, kVariableTable, {"B", "VAR=5", "000", " second"});
  addEntry(*state, kVariableTable, {"C", "VAR", "000", ""});
  state->fill(kPoolCount, 2) = 1;

  addToPool(*state, kVariableTable, 2, 1);
  EXPECT_EQ(state->fill(kPoolCount, 2), 2);
  EXPECT_EQ(texts(state->word(kPoolTable, 2, 1)), "B|VAR=5|000| second");
  EXPECT_EQ(labelsIn(*state, kVariableTable), (std::vector<std::string>{"A", "C"}));

  addToPool(*state, kVariableTable, 2, 1);  // the last entry: nothing moves, the count drops
  EXPECT_EQ(poolOf(*state, 2).back(), "C|VAR|000|");
  EXPECT_EQ(labelsIn(*state, kVariableTable), (std::vector<std::string>{"A"}));
  EXPECT_EQ(state->variableTable[1].label, "C");
}

// ---- The indirect-operand pass ----

TEST(PagePools, AnIndirectOperandBringsItsVariableIntoThePageOnce) {
  auto state = emptyState();
  usePages(*state, 2, 2);
  setPage(*state, 2, {{"", "TAD I PTR"}, {"", "DCA I PTR"}, {"", "TAD V"}});
  addEntry(*state, kVariableTable, {"V", "VAR", "000"});
  addEntry(*state, kVariableTable, {"PTR", "VAR=BUF", "000"});
  buildPagePools(*state);
  EXPECT_EQ(poolOf(*state, 2), (std::vector<std::string>{"PTR|VAR=BUF|000|"}));
  EXPECT_EQ(labelsIn(*state, kVariableTable), (std::vector<std::string>{"V"}));
  EXPECT_EQ(bodies(*state, 2), (std::vector<std::string>{"TAD I PTR", "DCA I PTR", "TAD V"}));
}

TEST(PagePools, AWordOfThePageItselfNeedsNoPoolEntry) {
  auto state = emptyState();
  usePages(*state, 1, 1);
  setPage(*state, 1,
          {{"RET", "RTNADR", "000"},
           {"", "JMP I RET"},
           {"BUF[0]", "#001", "001"},
           {"", "TAD I BUF[0]"}});
  addEntry(*state, kVariableTable, {"RET", "VAR", "000"});  // the page's own word wins
  buildPagePools(*state);
  EXPECT_EQ(state->fill(kPoolCount, 1), 0);
  EXPECT_EQ(state->tableCount[kVariableTable], 1);
}

TEST(PagePools, ANameThatIsBothVariableAndConstantIsTakenAsTheVariable) {
  auto state = emptyState();
  usePages(*state, 0, 0);
  setPage(*state, 0, {{"", "TAD I N"}});
  addEntry(*state, kConstantTable, {"N", "7", "007"});
  addEntry(*state, kVariableTable, {"N", "VAR", "000"});
  buildPagePools(*state);
  EXPECT_EQ(poolOf(*state, 0), (std::vector<std::string>{"N|VAR|000|"}));
}

TEST(PagePools, EveryPageThatNamesAConstantGetsItsOwnCopy) {
  auto state = emptyState();
  usePages(*state, 2, 5);
  setPage(*state, 2, {{"", "TAD I K"}});
  setPage(*state, 5, {{"", "JMP I K"}});
  addEntry(*state, kConstantTable, {"K", "A(START)", ""});
  buildPagePools(*state);
  EXPECT_EQ(poolOf(*state, 2), (std::vector<std::string>{"K|A(START)||"}));
  EXPECT_EQ(poolOf(*state, 5), (std::vector<std::string>{"K|A(START)||"}));
  EXPECT_EQ(state->tableCount[kConstantTable], 1);
}

TEST(PagePools, AVariableBelongsToTheLowestPageThatNamesItIndirectly) {
  auto state = emptyState();
  usePages(*state, 2, 5);
  setPage(*state, 2, {{"", "TAD I V"}});
  setPage(*state, 5, {{"", "DCA I V"}});
  addEntry(*state, kVariableTable, {"V", "VAR", "000"});
  EXPECT_EQ(errorOf([&] { buildPagePools(*state); }),
            "Error: No variable or constant for V in page 5.");
  EXPECT_EQ(poolOf(*state, 2), (std::vector<std::string>{"V|VAR|000|"}));
}

TEST(PagePools, TheFirstUnknownOperandByPageThenSlotStopsTheRun) {
  // ELSEWHERE labels a word of page 0, which page 1 cannot use as its pointer word.
  auto state = emptyState();
  usePages(*state, 0, 3);
  setPage(*state, 0, {{"", "TAD I OK"}, {"ELSEWHERE", "HLT 0"}});
  setPage(*state, 1, {{"", "CLA"}, {"", "TAD I ELSEWHERE"}, {"", "TAD I Y"}});
  setPage(*state, 3, {{"", "TAD I Z"}});
  addEntry(*state, kConstantTable, {"OK", "1", "001"});
  EXPECT_EQ(errorOf([&] { buildPagePools(*state); }),
            "Error: No variable or constant for ELSEWHERE in page 1.");
  EXPECT_EQ(poolOf(*state, 0), (std::vector<std::string>{"OK|1|001|"}));
}

TEST(PagePools, OnlyBlankCapitalIBlankMarksAnIndirectOperand) {
  auto state = emptyState();
  usePages(*state, 0, 0);
  setPage(*state, 0, {{"", "TAD i V"}, {"", "TAD IV"}, {"", "TAD V I"}, {"", "TAD I ptr"}});
  addEntry(*state, kVariableTable, {"V", "VAR", "000"});
  addEntry(*state, kVariableTable, {"PTR", "VAR", "000"});
  EXPECT_EQ(errorOf([&] { buildPagePools(*state); }),
            "Error: No variable or constant for ptr in page 0.");
  EXPECT_EQ(state->fill(kPoolCount, 0), 0);
}

TEST(PagePools, AShortBodyWithTheMarkerLeavesAnEmptyOperandName) {
  auto state = emptyState();
  usePages(*state, 0, 0);
  setPage(*state, 0, {{"X", "A I B"}});
  EXPECT_EQ(errorOf([&] { buildPagePools(*state); }),
            "Error: No variable or constant for  in page 0.");
}

TEST(PagePools, EachPageOfTheProgramStartsWithAnEmptyPool) {
  auto state = emptyState();
  usePages(*state, 1, 2);
  state->fill(kPoolCount, 0) = 3;
  state->fill(kPoolCount, 1) = 3;
  state->fill(kPoolCount, 2) = 3;
  buildPagePools(*state);
  EXPECT_EQ(state->fill(kPoolCount, 0), 3);  // outside the program
  EXPECT_EQ(state->fill(kPoolCount, 1), 0);
  EXPECT_EQ(state->fill(kPoolCount, 2), 0);
}

}  // namespace
}  // namespace ovrik
