#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "intake/intake.hpp"

namespace ovrik {
namespace {

TEST(WordNotation, WritesBitsSevenToFiveFourToThreeAndTwoToZero) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0, "000"},   {1, "001"},     {7, "007"},       {8, "010"},      {31, "037"},
      {32, "100"},  {100, "304"},   {127, "337"},     {128, "400"},    {200, "610"},
      {255, "737"}, {-1, "737"},    {-128, "400"},    {-256, "000"},   {256, "000"},
      {300, "114"}, {-257, "00-1"}, {-300, "-1-1-4"}, {-32768, "000"}, {32767, "737"}};
  for (const auto& [value, text] : cases) {
    EXPECT_EQ(wordText(static_cast<std::int16_t>(value)), text) << value;
  }
}

TEST(LiteralCode, ConvertsEveryLiteralForm) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      // a word written out is copied as written, never checked
      {"#123", "123"},
      {"#7", "7"},
      {"#12", "12"},
      {"#ABCD", "ABC"},
      {"#ABC", "ABC"},
      {"#", ""},
      // binary: eight characters after the percent sign, the rest ignored
      {"%00000101", "005"},
      {"%11111111", "737"},
      {"%10000000", "400"},
      {"%0000010111", "005"},
      {"%00000002", "002"},
      // a short binary literal uses the characters it has
      {"%101", "005"},
      {"%", "000"},
      {"%1", "001"},
      // character: the code of the byte after the apostrophe
      {"'A", "201"},
      {"'0", "120"},
      {"'a", "301"},
      {"'AB", "201"},
      {"'H", "210"},
      // an apostrophe alone stands for the blank
      {"'", "100"},
      // decimal, with the same reading as page numbers
      {"-1", "737"},
      {"+5", "005"},
      {"255", "737"},
      {"300", "114"},
      {"-128", "400"},
      {"+$1F", "037"},
      {"-$10", "720"},
      {"12X", "000"},
      {"-", "000"},
      {"40000", "-600"},
      {"2147483648", "000"},
      {"-256", "000"},
      {"0", "000"},
      {"256", "000"},
      {"-32768", "000"},
      {"+%101", "005"},
      // an address literal has no code of its own, nor has anything else
      {"A(LOOP)", ""},
      {"TAD X", ""},
      {"", ""}};
  for (const auto& [text, code] : cases) EXPECT_EQ(literalCode(text), code) << text;
}

TEST(LiteralCode, CharacterLiteralsTakeAnyByte) {
  EXPECT_EQ(literalCode(std::string("'\xff", 2)), "737");
  EXPECT_EQ(literalCode(std::string("'\0", 2)), "000");
  EXPECT_EQ(literalCode("'\t"), "011");
}

TEST(LiteralCode, LooksAtTheFirst47CharactersOnly) {
  EXPECT_EQ(literalCode(std::string(47, '0') + "5"), "000");
  EXPECT_EQ(literalCode(std::string(46, '0') + "5"), "005");
}

TEST(ConstantLiteral, IsKnownByItsFirstCharacters) {
  for (const char* literal : {"#1", "+", "-3", "0", "9X", "A(", "A(LOOP)", "%", "'", "'A"}) {
    EXPECT_TRUE(isConstantLiteral(literal)) << literal;
  }
  for (const char* other : {"", "$1F", "TAD X", "A", "A (X)", "a(X)", " 1", "VAR"}) {
    EXPECT_FALSE(isConstantLiteral(other)) << other;
  }
}

TEST(ReadInteger, ReadsSignBaseAndDigitsReducedTo16Bits) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"12", 12},         {"  -12", -12},
      {"\t+7", 7},        {"$FFFF", -1},
      {"$ff", 255},       {"%11", 3},
      {"-%11", -3},       {"40000", -25536},
      {"65539", 3},       {"03", 3},
      {"2147483647", -1}, {"-2147483648", 0},
      {"$FFFFFFFF", -1},  {"%" + std::string(32, '1'), -1}};
  for (const auto& [text, value] : cases) {
    const IntegerReading reading = readInteger(text);
    EXPECT_TRUE(reading.ok) << text;
    EXPECT_EQ(reading.value, value) << text;
  }
}

TEST(ReadInteger, FailsWithZeroOnAnythingElse) {
  for (const char* text : {"", "+", "-", "$", "%", "12 ", "1_0", "+-1", "$G", "%2", "2147483648",
                           "$100000000", "x", " ", "1.5"}) {
    const IntegerReading reading = readInteger(text);
    EXPECT_FALSE(reading.ok) << text;
    EXPECT_EQ(reading.value, 0) << text;
  }
}

}  // namespace
}  // namespace ovrik
