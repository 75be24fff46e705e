#include <gtest/gtest.h>

#include <string>

#include "assemble/assemble.hpp"
#include "support/test_state.hpp"
#include "tables/byte_stream.hpp"

namespace ovrik {
namespace {

using testing::emptyState;
using testing::record;
using testing::setPage;
using testing::Word;

std::string lineOf(const Word& word) {
  StringSink sink;
  writeListingLine(record(word), sink);
  return sink.bytes();
}

std::string listingOf(const AssemblyState& state) {
  StringSink sink;
  writeListing(state, sink);
  return sink.bytes();
}

TEST(Listing, WritesTheWorkedExamplePageByteForByte) {
  auto state = emptyState();
  state->firstPage = 2;
  state->lastPage = 2;
  setPage(*state, 2,
          {{"START", "CLA", "710", " clear"},
           {"", "TAD I VALA", "125", ""},
           {"", "DCA COUNT", "304", ""},
           {"", "HLT", "721", ""},
           {"COUNT", "VAR", "000", ""},
           {"VALA", "A(VAL)", "023", ""}});
  EXPECT_EQ(listingOf(*state),
            "/2\r\n"
            "100 START,      CLA              710 / clear\r\n"
            "101             TAD I VALA       125\r\n"
            "102             DCA COUNT        304\r\n"
            "103             HLT              721\r\n"
            "104 COUNT,      VAR              000\r\n"
            "105 VALA,       A(VAL)           023\r\n");
}

TEST(Listing, LongLabelsAndBodiesPushTheColumnsRight) {
  EXPECT_EQ(lineOf({"ELEVENCHARS", "CLA", "710", ""}), "ELEVENCHARS,CLA              710\r\n");
  EXPECT_EQ(lineOf({"TWELVECHARSX", "CLA", "710", ""}), "TWELVECHARSX,CLA              710\r\n");
  EXPECT_EQ(lineOf({"", "SEVENTEEN CHARS X", "123", ""}), "            SEVENTEEN CHARS X123\r\n");
  EXPECT_EQ(lineOf({"", "EIGHTEEN CHARS XYZ", "123", ""}), "            EIGHTEEN CHARS XYZ123\r\n");
}

TEST(Listing, EmptyCodeIsThreeBlanksAndCommentsFollowASlash) {
  EXPECT_EQ(lineOf({"", "TAD X", "", ""}), "            TAD X               \r\n");
  EXPECT_EQ(lineOf({"", "HLT", "721", "   "}), "            HLT              721 /   \r\n");
  EXPECT_EQ(lineOf({"", "", "", "note"}), "                                 /note\r\n");
  EXPECT_EQ(lineOf({"", "#12", "12", ""}), "            #12              12\r\n");
}

TEST(Listing, ListsEveryPageFromFirstToLastEvenEmptyOnes) {
  auto state = emptyState();
  state->firstPage = 9;
  state->lastPage = 15;
  setPage(*state, 9, {{"", "HLT 0", "721", ""}});
  setPage(*state, 15, {{"", "HLT 0", "721", ""}});
  EXPECT_EQ(listingOf(*state),
            "/9\r\n420             HLT 0            721\r\n"
            "/10\r\n/11\r\n/12\r\n/13\r\n/14\r\n"
            "/15\r\n720             HLT 0            721\r\n");
}

TEST(Listing, LastAddressIs737) {
  auto state = emptyState();
  state->firstPage = 15;
  state->lastPage = 15;
  state->fill(kCodeCount, 15) = 16;
  EXPECT_TRUE(listingOf(*state).ends_with("\r\n737 " + std::string(12 + 17 + 3, ' ') + "\r\n"));
}

TEST(Listing, NoPageNamedGivesAnEmptyListing) {
  auto state = emptyState();
  state->firstPage = 15;
  state->lastPage = 0;
  EXPECT_EQ(listingOf(*state), "");
}

TEST(Listing, WritesBytesAsTheyStand) {
  EXPECT_EQ(lineOf({std::string("\xff\0", 2), "\tX", "", std::string("\x1a", 1)}),
            std::string("\xff\0,", 3) + std::string(9, ' ') + "\tX" + std::string(15, ' ') +
                "   "
                " /\x1a\r\n");
}

}  // namespace
}  // namespace ovrik
