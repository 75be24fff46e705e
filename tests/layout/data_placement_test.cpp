#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/layout.hpp"
#include "support/test_state.hpp"

namespace ovrik {
namespace {

using testing::bodies;
using testing::emptyState;
using testing::errorOf;
using testing::labels;
using testing::setPage;
using testing::usePages;
using testing::Word;
using Texts = std::vector<std::string>;

// Files a page's data entries from index start of dataTable, as the source reader does.
void fileData(AssemblyState& state, std::int16_t page, std::int16_t start,
              const std::vector<Word>& entries) {
  state.fill(kDataStart, page) = start;
  state.fill(kDataCount, page) = static_cast<std::int16_t>(entries.size());
  for (const Word& entry : entries)
    state.dataTable[static_cast<std::size_t>(start++)] = testing::record(entry);
}

std::vector<std::string> codes(const AssemblyState& state, std::int16_t page) {
  std::vector<std::string> result;
  for (std::int16_t slot = 0; slot < state.fill(kCodeCount, page); ++slot) {
    result.push_back(state.codeWord(page, slot).code.str());
  }
  return result;
}

TEST(DataBlocks, ArrayWordsGoInAtTheInsertionPoint) {
  auto state = emptyState();
  setPage(*state, 3, {{"", "CLA"}, {"", "TAD X"}, {"", "HLT 0"}});
  usePages(*state, 3, 3);
  state->fill(kInsertionPoint, 3) = 1;
  fileData(*state, 3, 0, {{"A", "ARRAY[5]", "", " buffer"}});
  placeDataBlocks(*state);
  EXPECT_EQ(bodies(*state, 3), (Texts{"CLA", "VAR", "VAR", "VAR", "VAR", "VAR", "TAD X", "HLT 0"}));
  EXPECT_EQ(labels(*state, 3), (Texts{"", "A", "A[1]", "A[2]", "A[3]", "A[4]", "", ""}));
  EXPECT_EQ(codes(*state, 3), (Texts{"", "000", "000", "000", "000", "000", "", ""}));
  EXPECT_EQ(state->codeWord(3, 1).comment, " buffer");
  EXPECT_EQ(state->codeWord(3, 2).comment, "");
  EXPECT_EQ(state->fill(kInsertionPoint, 3), 6);
}

TEST(DataBlocks, EveryDeclarationGivesItsWordsInSourceOrder) {
  const std::string longName(45, 'N');
  auto state = emptyState();
  fileData(*state, 0, 0,
           {{"B", "ARRAY[1]"},
            {"C", "ARRAY[0]"},
            {"D", "ARRAY[-3]"},
            {"E", "ARRAY[X]"},
            {"F", "ARRAY["},
            {"T", "TABLE[3]", "", " tab"},
            {"X", "1", "001", " one"},
            {"", "'A", "101"},
            {"", "#7", "7"},
            {"", "ARRAY[2]"},
            {longName, "ARRAY[2]"}});
  placeDataBlocks(*state);
  EXPECT_EQ(labels(*state, 0), (Texts{"B", "C", "D", "E", "F", "T", "T[1]", "T[2]", "", "[1]",
                                      longName, longName + "[1"}));
  EXPECT_EQ(bodies(*state, 0), (Texts{"VAR", "VAR", "VAR", "VAR", "VAR", "1", "'A", "#7", "VAR",
                                      "VAR", "VAR", "VAR"}));
  EXPECT_EQ(codes(*state, 0)[5], "001");
  EXPECT_EQ(codes(*state, 0)[6], "101");
  EXPECT_EQ(codes(*state, 0)[7], "7");
  EXPECT_EQ(state->codeWord(0, 5).comment, " tab");  // the declaration's, not the value's
}

TEST(DataBlocks, BlockSplitsWhereThePageIsFullAndContinuesAtTheNextPageStart) {
  auto state = emptyState();
  setPage(*state, 1,
          {{"", "W0"},
           {"", "W1"},
           {"", "W2"},
           {"", "W3"},
           {"", "W4"},
           {"", "W5"},
           {"", "W6"},
           {"", "W7"},
           {"", "W8"},
           {"", "W9"}});
  setPage(*state, 2, {{"", "CLA"}, {"", "HLT 0"}});
  usePages(*state, 0, 3);
  state->fill(kInsertionPoint, 1) = 4;
  fileData(*state, 1, 0, {{"BUF", "ARRAY[8]"}});
  placeDataBlocks(*state);
  EXPECT_EQ(labels(*state, 1), (Texts{"", "", "", "", "BUF", "BUF[1]", "BUF[2]", "BUF[3]", "BUF[4]",
                                      "BUF[5]", "", "", "", "", "", ""}));
  EXPECT_EQ(bodies(*state, 1)[10], "W4");
  EXPECT_EQ(bodies(*state, 1)[15], "W9");
  EXPECT_EQ(labels(*state, 2), (Texts{"BUF[6]", "BUF[7]", "", ""}));
  EXPECT_EQ(bodies(*state, 2), (Texts{"VAR", "VAR", "CLA", "HLT 0"}));
  EXPECT_EQ(state->fill(kInsertionPoint, 1), 10);
  EXPECT_EQ(state->fill(kInsertionPoint, 2), 2);
}

// Page 1 has room for four words, so fifteen of its nineteen are left for the pages after it.
std::unique_ptr<AssemblyState> overflowingPage(std::int16_t lastPage) {
  auto state = emptyState();
  usePages(*state, 1, lastPage);
  state->fill(kCodeCount, 1) = 12;
  fileData(*state, 1, 0, {{"BUF", "ARRAY[19]"}});
  return state;
}

TEST(DataBlocks, FullPageTakesNothingAndTheRestMovesOnToThePageAfter) {
  auto state = overflowingPage(3);
  state->fill(kCodeCount, 2) = 16;
  setPage(*state, 3, {{"", "CLA"}});
  placeDataBlocks(*state);
  EXPECT_EQ(state->fill(kCodeCount, 2), 16);
  EXPECT_EQ(state->codeWord(3, 0).label, "BUF[4]");
  EXPECT_EQ(state->codeWord(3, 14).label, "BUF[18]");
  EXPECT_EQ(state->codeWord(3, 15).body, "CLA");
  EXPECT_EQ(state->fill(kCodeCount, 3), 16);
  EXPECT_EQ(state->fill(kInsertionPoint, 3), 15);
}

TEST(DataBlocks, RestCannotContinueWhereCodeRunsIntoIt) {
  auto state = overflowingPage(3);
  state->fill(kInsertionPoint, 2) = 1;
  EXPECT_EQ(errorOf([&] { placeDataBlocks(*state); }),
            "Error: Array BUF can't continue into page 2.");

  state = overflowingPage(2);
  setPage(*state, 2, {{"", "CLA"}});
  state->fill(kInsertionPoint, 2) = 1;  // the last page inserts after its code
  EXPECT_EQ(errorOf([&] { placeDataBlocks(*state); }),
            "Error: Array BUF can't continue into page 2.");

  state = overflowingPage(2);
  EXPECT_EQ(errorOf([&] { placeDataBlocks(*state); }), "");
  EXPECT_EQ(state->fill(kCodeCount, 2), 15);
}

TEST(DataBlocks, BlockNeverContinuesPastTheLastPage) {
  auto state = overflowingPage(1);
  EXPECT_EQ(errorOf([&] { placeDataBlocks(*state); }),
            "Error: Array BUF can't continue into page 2.");
  EXPECT_EQ(state->fill(kCodeCount, 2), 0);
  EXPECT_EQ(state->codeWord(2, 0).label, "");

  state = emptyState();
  usePages(*state, 15, 15);
  fileData(*state, 15, 0, {{"BUF", "ARRAY[17]"}});
  EXPECT_EQ(errorOf([&] { placeDataBlocks(*state); }),
            "Error: Array BUF can't continue into page 16.");
  EXPECT_EQ(state->codeWord(15, 15).label, "BUF[15]");
}

TEST(DataBlocks, BlockLongerThanMemoryStopsWhereItRunsOutOfRoom) {
  auto state = emptyState();
  usePages(*state, 0, 15);
  fileData(*state, 0, 0, {{"BIG", "ARRAY[300]"}});
  EXPECT_EQ(errorOf([&] { placeDataBlocks(*state); }),
            "Error: Array BIG can't continue into page 16.");
  EXPECT_EQ(state->codeWord(15, 15).label, "BIG[255]");

  // 32767 + 32767 + 2 words would count as none in 16 bits
  state = emptyState();
  fileData(*state, 0, 0, {{"A", "ARRAY[32767]"}, {"B", "ARRAY[32767]"}, {"C", "ARRAY[2]"}});
  EXPECT_EQ(errorOf([&] { placeDataBlocks(*state); }),
            "Error: Array C can't continue into page 1.");
  EXPECT_EQ(state->fill(kCodeCount, 0), 16);
}

TEST(DataBlocks, MalformedTablesNeverReachBeyondTheirPage) {
  auto state = emptyState();
  usePages(*state, 0, 1);
  fileData(*state, 0, 0,
           {{"Z", "TABLE[0]"},
            {"N", "TABLE[-2]"},
            {"A", "ARRAY[2]"},
            {"T", "TABLE[4]"},
            {"", "5", "005"}});
  fileData(*state, 1, 5, {{"X", "ARRAY[1]"}});
  placeDataBlocks(*state);
  EXPECT_EQ(labels(*state, 0), (Texts{"A", "A[1]", "T"}));
  EXPECT_EQ(bodies(*state, 0), (Texts{"VAR", "VAR", "5"}));
  EXPECT_EQ(labels(*state, 1), (Texts{"X"}));

  // counters that point past the end of dataTable read only what is there
  state = emptyState();
  fileData(*state, 0, 255, {{"E", "ARRAY[2]"}});
  state->fill(kDataCount, 0) = 40;
  placeDataBlocks(*state);
  EXPECT_EQ(labels(*state, 0), (Texts{"E", "E[1]"}));
}

TEST(DataBlocks, MessageNamesThePagesLastDeclaration) {
  const auto lastDeclarationNamed = [](const std::vector<Word>& entries) {
    auto state = emptyState();
    fileData(*state, 0, 0, entries);
    return errorOf([&] { placeDataBlocks(*state); });
  };
  EXPECT_EQ(lastDeclarationNamed({{"A", "ARRAY[20]"}, {"B", "ARRAY[1]"}}),
            "Error: Array B can't continue into page 1.");
  EXPECT_EQ(lastDeclarationNamed({{"A", "ARRAY[20]"}, {"T", "TABLE[1]"}, {"", "5", "005"}}),
            "Error: Table T can't continue into page 1.");
  // the table that gives no words still names the block; its stray value does not
  EXPECT_EQ(lastDeclarationNamed({{"A", "ARRAY[20]"}, {"T", "TABLE[0]"}, {"V", "7", "007"}}),
            "Error: Table T can't continue into page 1.");
  EXPECT_EQ(lastDeclarationNamed({{"A", "ARRAY[20]"}, {"", "ARRAY[1]"}}),
            "Error: Array  can't continue into page 1.");
}

TEST(DataBlocks, PagesWithoutDataAreLeftAlone) {
  auto state = emptyState();
  setPage(*state, 0, {{"", "CLA"}});
  state->fill(kInsertionPoint, 0) = 1;
  fileData(*state, 1, 0, {{"A", "ARRAY[2]"}});
  placeDataBlocks(*state);  // page 1 lies outside the program
  EXPECT_EQ(bodies(*state, 0), (Texts{"CLA"}));
  EXPECT_EQ(state->fill(kCodeCount, 1), 0);

  usePages(*state, 15, 0);  // a source without pages
  fileData(*state, 0, 0, {{"A", "ARRAY[2]"}});
  placeDataBlocks(*state);
  EXPECT_EQ(bodies(*state, 0), (Texts{"CLA"}));
}

// Page 0 falls through into page 1, which needs a jump over its insertion point.
std::unique_ptr<AssemblyState> threePagesAfterFlow(const std::vector<Word>& firstPageData) {
  auto state = emptyState();
  setPage(*state, 0, {{"", "CLA"}, {"", "TAD X"}});
  setPage(*state, 1, {{"", "CLA"}});
  setPage(*state, 2, {{"", "HLT 0"}});
  usePages(*state, 0, 2);
  fileData(*state, 0, 0, firstPageData);
  fileData(*state, 2, 1, {{"L", "ARRAY[1]"}});
  setInsertionPoints(*state);
  return state;
}

TEST(DataBlocks, DataFollowsTheInsertionPointsOfThePageFlow) {
  auto state = threePagesAfterFlow({{"F", "ARRAY[1]"}});
  placeDataBlocks(*state);
  EXPECT_EQ(bodies(*state, 0), (Texts{"VAR", "CLA", "TAD X"}));  // the first page before its code
  EXPECT_EQ(bodies(*state, 2), (Texts{"HLT 0", "VAR"}));         // the last page after it

  state = threePagesAfterFlow({{"G", "ARRAY[15]"}});
  EXPECT_EQ(errorOf([&] { placeDataBlocks(*state); }),
            "Error: Array G can't continue into page 1.");
}

}  // namespace
}  // namespace ovrik
