#include "tables/tables.hpp"

#include <gtest/gtest.h>

#include "support/test_state.hpp"
#include "tables/fixed_text.hpp"

namespace ovrik {
namespace {

using testing::emptyState;
using testing::errorOf;

TEST(FixedText, CutsSilentlyAtItsCapacity) {
  FieldText field(std::string(60, 'x'));
  EXPECT_EQ(field.size(), 47u);
  field.append("more");
  EXPECT_EQ(field.size(), 47u);
  LineText line(std::string(300, 'y'));
  EXPECT_EQ(line.size(), 255u);
}

TEST(FixedText, KeepsEveryByteValue) {
  const std::string bytes("a\0\x1a\xff\t", 5);
  FieldText field(bytes);
  EXPECT_EQ(field.view(), bytes);
}

TEST(FixedText, AssigningPartOfItselfWorks) {
  LineText line("  LOOP, TAD X");
  line.assign(line.view().substr(2));
  EXPECT_EQ(line, "LOOP, TAD X");
}

// An empty view may point nowhere; taking nothing from it must not touch it.
TEST(FixedText, TakesAnEmptyViewThatPointsNowhere) {
  FieldText field("kept");
  field.append(std::string_view());
  EXPECT_EQ(field, "kept");
  field = std::string_view();
  EXPECT_TRUE(field.empty());
}

TEST(PageCapacity, SixteenWordsFitTheSeventeenthStopsTheRun) {
  auto state = emptyState();
  state->fill(kCodeCount, 4) = 16;
  EXPECT_EQ(errorOf([&] { checkPageCapacity(*state, 4); }), "");
  EXPECT_EQ(errorOf([&] { checkPageCapacity(*state, 4, 1); }),
            "Error: Word count exceeded in page 4.");
  state->fill(kCodeCount, 12) = 17;
  EXPECT_EQ(errorOf([&] { checkPageCapacity(*state, 12); }),
            "Error: Word count exceeded in page 12.");
}

}  // namespace
}  // namespace ovrik
