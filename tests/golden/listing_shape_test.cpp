// The shape check that the golden tests and the fuzzer apply to every listing:
// it must pass what the listing rules allow and catch each way of breaking them.
#include "support/listing_shape.hpp"

#include <gtest/gtest.h>

#include <string>

namespace ovrik {
namespace {

using testing::listingShapeFault;

// A word line as the listing rules lay it out.
std::string word(const std::string& address, const std::string& label, const std::string& body,
                 const std::string& code, const std::string& comment = "") {
  std::string line = address + " ";
  if (!label.empty()) line += label + ",";
  const std::size_t labelWidth = label.empty() ? 0 : label.size() + 1;
  if (labelWidth < 12) line += std::string(12 - labelWidth, ' ');
  line += body;
  if (body.size() < 17) line += std::string(17 - body.size(), ' ');
  line += code.empty() ? "   " : code;
  if (!comment.empty()) line += " /" + comment;
  return line + "\r\n";
}

std::string fullPage(int page) {
  std::string lines = "/" + std::to_string(page) + "\r\n";
  for (int slot = 0; slot < 16; ++slot) {
    lines += word(testing::listing_shape::addressText(page * 16 + slot), "", "BLANK", "000");
  }
  return lines;
}

TEST(ListingShape, PassesWhatTheRulesAllow) {
  EXPECT_EQ(listingShapeFault(""), "");
  EXPECT_EQ(listingShapeFault("/3\r\n"), "");
  const std::string words =
      word("100", "START", "CLA", "710", " clear") + word("101", "", "TAD I VALA", "125") +
      word("102", "TWELVECHARSX", "JMP I SOMEWHEREFARAWAYA", "522") +
      word("103", "W", "#12", "12") + word("104", "", "#", "") + word("105", "N", "-257", "00-1") +
      word("106", "M", "VAR=-300", "-1-1-4") + word("107", "P", "VAR=A(X)", "") +
      word("110", "T[1]", "#a,b", "a,b", "/ and , here") + word("111", "", "RTNADR", "", "   ") +
      word("112", " B ", "HLT 0", "721");
  EXPECT_EQ(listingShapeFault(fullPage(1) + "/2\r\n" + words), "");
}

TEST(ListingShape, CatchesPagesAndAddressesOutOfOrder) {
  EXPECT_NE(listingShapeFault(fullPage(0) + fullPage(2)), "");
  EXPECT_NE(listingShapeFault(fullPage(1) + fullPage(0)), "");
  EXPECT_NE(listingShapeFault("/0\r\n" + word("001", "", "CLA", "710")), "");
  EXPECT_NE(listingShapeFault(word("000", "", "CLA", "710")), "");
  EXPECT_NE(listingShapeFault("/16\r\n"), "");
  EXPECT_NE(listingShapeFault("/01\r\n"), "");
}

TEST(ListingShape, CatchesAPageBeforeTheLastThatIsNotFullAndAPageOfSeventeen) {
  EXPECT_NE(listingShapeFault("/0\r\n" + word("000", "", "CLA", "710") + "/1\r\n"), "");
  EXPECT_NE(listingShapeFault(fullPage(0) + word("020", "", "CLA", "710")), "");
}

TEST(ListingShape, CatchesBrokenLinesAndFields) {
  EXPECT_NE(listingShapeFault("/0"), "");
  EXPECT_NE(listingShapeFault("/0\n"), "");
  EXPECT_NE(listingShapeFault("/0\r\n000 A,CLA              710\r\n"), "");
  EXPECT_NE(listingShapeFault("/0\r\n" + word("000", "", "CLA", "710").insert(4, " ")), "");
  EXPECT_NE(listingShapeFault("/0\r\n000             HLT              721/x\r\n"), "");
  EXPECT_NE(listingShapeFault("/0\r\n000             HLT              721 \r\n"), "");
  EXPECT_NE(listingShapeFault("/0\r\n" + word("000", std::string(48, 'L'), "CLA", "710")), "");
}

// Only a word written out with "#" has a code of other than three digits, only
// a number literal a code below -256, and only a few words no code at all.
TEST(ListingShape, CatchesCodesNoWordCouldHave) {
  for (const char* code : {"800", "040", "0000", "71", "1-17", "-8-1-1", "0-40"}) {
    EXPECT_NE(listingShapeFault("/0\r\n" + word("000", "", "CLA", code)), "") << code;
  }
  EXPECT_NE(listingShapeFault("/0\r\n" + word("000", "", "TAD X", "")), "");
  EXPECT_NE(listingShapeFault("/0\r\n" + word("000", "", "TAD X", "00-1")), "");
  EXPECT_NE(listingShapeFault("/0\r\n" + word("000", "", "#123", "12")), "");
  EXPECT_NE(listingShapeFault("/0\r\n" + word("000", "", "VAR=#45", "4")), "");
}

}  // namespace
}  // namespace ovrik
