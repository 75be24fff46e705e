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
using testing::Word;
using Bodies = std::vector<std::string>;

void setPageWords(AssemblyState& state, std::int16_t page, const std::vector<Word>& words) {
  state.fill(kCodeCount, page) = 0;
  for (const Word& word : words) {
    state.codeWord(page, state.fill(kCodeCount, page)++) = testing::record(word);
  }
}

std::vector<Word> unlabelled(const Bodies& texts) {
  std::vector<Word> words;
  for (const std::string& text : texts) words.push_back({"", text});
  return words;
}

// A three-page program whose middle page, page 1, is the one the pass works on.
std::unique_ptr<AssemblyState> middlePage(const Bodies& before, const Bodies& page) {
  auto state = emptyState();
  setPageWords(*state, 0, unlabelled(before));
  setPageWords(*state, 1, unlabelled(page));
  setPage(*state, 2, {{"", "HLT 0"}});
  state->firstPage = 0;
  state->lastPage = 2;
  return state;
}

TEST(InsertionPoints, JumpsOverTheInsertionPointOfTheWorkedExample) {
  auto state = emptyState();
  setPage(*state, 0, {{"START", "CLA"}, {"", "TAD ONE"}});
  setPage(*state, 1, {{"LOOP", "DCA CNT"}, {"", "ISZ CNT"}, {"", "JMP LOOP"}, {"", "TAD ONE"}});
  setPage(*state, 2, {{"", "HLT 0"}, {"", "JMP START"}});
  state->firstPage = 0;
  state->lastPage = 2;
  setInsertionPoints(*state);
  EXPECT_EQ(bodies(*state, 1), (Bodies{"JMP LOOP", "DCA CNT", "ISZ CNT", "JMP LOOP", "TAD ONE"}));
  EXPECT_EQ(labels(*state, 1), (Bodies{"", "LOOP", "", "", ""}));
  EXPECT_EQ(state->fill(kInsertionPoint, 0), 0);
  EXPECT_EQ(state->fill(kInsertionPoint, 1), 1);
  EXPECT_EQ(state->fill(kInsertionPoint, 2), 2);
  EXPECT_EQ(bodies(*state, 0), (Bodies{"CLA", "TAD ONE"}));
}

struct FlowCase {
  const char* what;
  Bodies before;
  Bodies page;
  std::int16_t insertionPoint;
  Bodies result;
};

TEST(InsertionPoints, MiddlePageTakesTheFirstSlotControlCannotFallInto) {
  const std::vector<FlowCase> cases = {
      {"page before is empty", {}, {"CLA", "TAD X"}, 0, {"CLA", "TAD X"}},
      {"page before ends the flow", {"CLA", "JMP LOOP"}, {"CLA"}, 0, {"CLA"}},
      {"page before ends with a jump that can be skipped",
       {"SZA", "JMP LOOP"},
       {"CLA", "JMP X", "HLT 0"},
       2,
       {"CLA", "JMP X", "HLT 0"}},
      {"lowest break wins", {"CLA"}, {"CLA", "HLT 0", "JMP Z"}, 2, {"CLA", "HLT 0", "JMP Z"}},
      {"break after the last word", {"CLA"}, {"CLA", "JMP X"}, 2, {"CLA", "JMP X"}},
      {"skipped jump is no break", {"CLA"}, {"ISZ N", "JMP L"}, 1, {"JMP END1", "ISZ N", "JMP L"}},
      {"jump goes behind the skips",
       {"SZA"},
       {"ISZ A", "SMA", "CLA", "TAD X"},
       4,
       {"ISZ A", "SMA", "CLA", "JMP END1", "TAD X"}},
      {"INC is no skip", {"CLA"}, {"INC N", "JMP L", "CLA"}, 2, {"INC N", "JMP L", "CLA"}},
      {"SKF skips", {"CLA"}, {"SKF 1", "JMP L"}, 1, {"JMP END1", "SKF 1", "JMP L"}},
      {"SDF skips", {"CLA"}, {"SDF 0", "JMP L"}, 1, {"JMP END1", "SDF 0", "JMP L"}},
      {"SZA.SMA skips", {"CLA"}, {"SZA.SMA", "JMP L"}, 1, {"JMP END1", "SZA.SMA", "JMP L"}},
      {"bare HLT does not end the flow", {"CLA"}, {"HLT"}, 1, {"JMP END1", "HLT"}},
      {"HLT with operand ends the flow", {"CLA"}, {"HLT 0", "CLA"}, 1, {"HLT 0", "CLA"}},
      {"mnemonics are case sensitive", {"CLA"}, {"jmp X"}, 1, {"JMP END1", "jmp X"}},
  };
  for (const FlowCase& flow : cases) {
    SCOPED_TRACE(flow.what);
    auto state = middlePage(flow.before, flow.page);
    setInsertionPoints(*state);
    EXPECT_EQ(state->fill(kInsertionPoint, 1), flow.insertionPoint);
    EXPECT_EQ(bodies(*state, 1), flow.result);
    EXPECT_EQ(bodies(*state, 0), flow.before);
  }
}

TEST(InsertionPoints, JumpTargetGetsAGeneratedLabelOnlyWhenItHasNone) {
  auto state = emptyState();
  setPage(*state, 11, {{"", "CLA"}});
  setPage(*state, 12, {{"", "CLA"}, {"", "ISZ N"}, {"", "JMP L"}});
  state->firstPage = 11;
  state->lastPage = 13;
  setInsertionPoints(*state);
  EXPECT_EQ(bodies(*state, 12), (Bodies{"JMP END12", "CLA", "ISZ N", "JMP L"}));
  EXPECT_EQ(labels(*state, 12), (Bodies{"", "END12", "", ""}));
}

TEST(InsertionPoints, JumpToALongLabelIsCutToTheFieldLength) {
  const std::string longLabel(47, 'L');
  auto state = emptyState();
  setPage(*state, 0, {{"", "CLA"}});
  setPage(*state, 1, {{longLabel, "CLA"}});
  state->lastPage = 2;
  setInsertionPoints(*state);
  EXPECT_EQ(state->codeWord(1, 0).body, "JMP " + longLabel.substr(0, 43));
}

TEST(InsertionPoints, FirstAndLastPagesAreNeverChanged) {
  auto state = emptyState();
  setPage(*state, 4, {{"", "CLA"}, {"", "ISZ N"}});
  setPage(*state, 5, {{"", "ISZ N"}, {"", "TAD X"}, {"", "DCA Y"}});
  state->firstPage = 4;
  state->lastPage = 5;
  setInsertionPoints(*state);
  EXPECT_EQ(state->fill(kInsertionPoint, 4), 0);
  EXPECT_EQ(state->fill(kInsertionPoint, 5), 3);
  EXPECT_EQ(bodies(*state, 5), (Bodies{"ISZ N", "TAD X", "DCA Y"}));

  state->firstPage = state->lastPage = 4;
  setInsertionPoints(*state);
  EXPECT_EQ(state->fill(kInsertionPoint, 4), 2);  // a one-page program inserts after its code
}

TEST(InsertionPoints, SourceWithoutPagesOnlyClearsPagesFifteenAndZero) {
  auto state = emptyState();
  state->firstPage = 15;
  state->lastPage = 0;
  state->fill(kInsertionPoint, 15) = 7;
  state->fill(kInsertionPoint, 0) = 7;
  setInsertionPoints(*state);
  EXPECT_EQ(state->fill(kInsertionPoint, 15), 0);
  EXPECT_EQ(state->fill(kInsertionPoint, 0), 0);
  EXPECT_EQ(state->codeTable, emptyState()->codeTable);
}

TEST(InsertionPoints, EmptyMiddlePagesAfterFallThrough) {
  auto state = middlePage({"CLA"}, {});
  state->fill(kCodeCount, 2) = 0;
  state->lastPage = 3;
  setInsertionPoints(*state);
  EXPECT_EQ(bodies(*state, 1), (Bodies{"JMP END1"}));
  EXPECT_EQ(state->codeWord(1, 1).label, "END1");  // on the record just past the page's words
  EXPECT_EQ(state->fill(kInsertionPoint, 1), 1);
  // the jump in page 1 ends the flow, so page 2 needs none
  EXPECT_EQ(state->fill(kCodeCount, 2), 0);
  EXPECT_EQ(state->fill(kInsertionPoint, 2), 0);
}

TEST(InsertionPoints, JumpInTheLastSlotLeavesTheNextPageAlone) {
  Bodies page(14, "ISZ N");
  page.push_back("CLA");
  auto state = middlePage({"SZA"}, page);
  setInsertionPoints(*state);
  EXPECT_EQ(state->fill(kCodeCount, 1), 16);
  EXPECT_EQ(state->codeWord(1, 15).body, "JMP END1");
  EXPECT_EQ(state->fill(kInsertionPoint, 1), 16);
  EXPECT_EQ(labels(*state, 2), (Bodies{""}));
}

TEST(InsertionPoints, FullMiddlePage) {
  Bodies fifteen(15, "CLA");
  auto state = middlePage({"CLA"}, fifteen);
  setInsertionPoints(*state);
  EXPECT_EQ(state->fill(kCodeCount, 1), 16);

  Bodies sixteen(16, "CLA");
  state = middlePage({"CLA"}, sixteen);
  EXPECT_EQ(errorOf([&] { setInsertionPoints(*state); }), "Error: Word count exceeded in page 1.");
  EXPECT_EQ(bodies(*state, 1), sixteen);  // stopped before any word moved

  sixteen.back() = "JMP X";
  state = middlePage({"CLA"}, sixteen);
  setInsertionPoints(*state);
  EXPECT_EQ(state->fill(kInsertionPoint, 1), 16);
}

TEST(InsertionPoints, NoPlaceForAJumpAfterSkipsStopsTheRun) {
  const std::vector<Bodies> pages = {{}, {"ISZ A", "SZA"}, Bodies(16, "SMA")};
  for (const Bodies& page : pages) {
    auto state = middlePage({"CLA", "SZA"}, page);
    EXPECT_EQ(errorOf([&] { setInsertionPoints(*state); }),
              "Error: No place for a jump in page 1.");
    EXPECT_EQ(bodies(*state, 0), (Bodies{"CLA", "SZA"}));
    EXPECT_EQ(bodies(*state, 1), page);
  }
  // a page full of skips after a page that falls through has room for no jump at all
  auto state = middlePage({"CLA"}, Bodies(16, "SMA"));
  EXPECT_EQ(errorOf([&] { setInsertionPoints(*state); }), "Error: Word count exceeded in page 1.");
}

TEST(PageFlow, WordBeforeSlotZeroIsTheLastWordOfAnEarlierPage) {
  auto state = emptyState();
  EXPECT_TRUE(noSkipBefore(*state, 0, 0));  // nothing comes before page 0
  setPage(*state, 1, {{"", "CLA"}, {"", "SZA"}});
  EXPECT_FALSE(noSkipBefore(*state, 2, 0));
  state->codeWord(1, 15).body = "SKF 0";
  EXPECT_FALSE(noSkipBefore(*state, 3, 0));  // page 2 is empty: slot 15 of page 1
  EXPECT_TRUE(isFlowBreak(*state, 3, 1));    // nothing falls out of an empty page

  setPage(*state, 0, {{"", "SMA"}});
  setPage(*state, 1, {{"", "JMP X"}});
  EXPECT_FALSE(isFlowBreak(*state, 2, 0));  // the jump may be skipped from page 0
  state->codeWord(0, 0).body = "CLA";
  EXPECT_TRUE(isFlowBreak(*state, 2, 0));
}

}  // namespace
}  // namespace ovrik
