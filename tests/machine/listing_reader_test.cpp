// Reading a listing back by its columns: what it takes, and what it refuses.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "assemble/assemble.hpp"
#include "machine/machine.hpp"
#include "tables/byte_stream.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

std::string listing(std::initializer_list<std::string_view> lines) {
  std::string bytes;
  for (const std::string_view line : lines) (bytes += line) += "\r\n";
  return bytes;
}

std::string sixteenWordsAndOneMore() {
  std::string bytes = "/0\r\n";
  for (int slot = 0; slot <= 16; ++slot) {
    bytes += wordText(static_cast<std::int16_t>(slot)) + "             CLA              710\r\n";
  }
  return bytes;
}

struct Refusal {
  std::string name;
  std::string bytes;
  std::int32_t line;
  std::string message;  // a part of it
};

void PrintTo(const Refusal& c, std::ostream* out) {
  *out << c.name;
}

class ListingRefused : public ::testing::TestWithParam<Refusal> {};

TEST_P(ListingRefused, NamesTheLine) {
  const auto read = readListing(GetParam().bytes);
  const auto* refusal = std::get_if<ListingRefusal>(&read);
  ASSERT_NE(refusal, nullptr) << "the listing was taken";
  EXPECT_EQ(refusal->line, GetParam().line);
  EXPECT_NE(refusal->message.find(GetParam().message), std::string::npos) << refusal->message;
}

const std::string kWord = "000 START,      CLA              710";

const Refusal kRefusals[] = {
    {"WordBeforeAnyPage", listing({kWord}), 1, "before the first page line"},
    {"PageBeyond15", listing({"/16"}), 1, "not a page line"},
    {"PageWithALeadingZero", listing({"/01"}), 1, "not a page line"},
    {"PageLineWithMore", listing({"/0 x"}), 1, "not a page line"},
    {"APageLeftOut", listing({"/0", kWord, "/2"}), 3, "/2 out of order: /1 expected"},
    {"APageTwice", listing({"/0", "/0"}), 2, "out of order"},
    {"AddressOutOfOrder", listing({"/0", "001             CLA              710"}), 2,
     "address 001 out of order: 000 expected"},
    {"AddressOfAnotherPage", listing({"/1", kWord}), 2, "000 out of order: 020 expected"},
    {"AddressNotInTheNotation", listing({"/0", "080             CLA              710"}), 2,
     "not a word line"},
    {"NoBlankAfterTheAddress", listing({"/0", "000START,       CLA              710"}), 2,
     "not a word line"},
    {"SeventeenWordsInAPage", sixteenWordsAndOneMore(), 18, "page 0 holds more than 16 words"},
    {"AnEmptyLine", listing({"/0", kWord, ""}), 3, "an empty line"},
    {"LabelWithoutItsComma", listing({"/0", "000 START       CLA              710"}), 2,
     "neither 12 blanks nor a label"},
    {"StatementNotInColumn17", listing({"/0", "000 START, CLA              710"}), 2,
     "does not begin where the label field ends"},
    {"StatementIndented", listing({"/0", "000              CLA             710"}), 2,
     "neither 12 blanks nor a label"},
    {"NoCodeAtAll", listing({"/0", "000 START,      CLA"}), 2, "the code column is missing"},
    {"NoCodeAfterThePadding", listing({"/0", "000 START,      CLA              "}), 2,
     "the code column is missing"},
    {"ACodeOfOneBlank", listing({"/0", "000 START,      CLA               "}), 2,
     "the code column is missing"},
    {"CommentSlashWithoutBlank", listing({"/0", kWord + "/ go"}), 2, "slash"},
    {"AWholeLineOfText", "hello, world\n", 1, "before the first page line"},
};
INSTANTIATE_TEST_SUITE_P(Cases, ListingRefused, ::testing::ValuesIn(kRefusals),
                         [](const auto& test) { return test.param.name; });

// A word line as the assembler writes it, read back field by field.
struct Reading {
  std::string name;
  std::string label;
  std::string statement;
  std::string code;
  std::string comment;
};

void PrintTo(const Reading& c, std::ostream* out) {
  *out << c.name;
}

std::string writtenLine(const Reading& c) {
  LineRecord record;
  record.label = c.label;
  record.body = c.statement;
  record.code = c.code;
  record.comment = c.comment;
  StringSink line;
  line.write("000 ");
  writeListingLine(record, line);
  return line.bytes();
}

class WordLineRead : public ::testing::TestWithParam<Reading> {};

TEST_P(WordLineRead, GivesBackWhatWasWritten) {
  const Reading& c = GetParam();
  const auto read = readListing("/0\r\n" + writtenLine(c));
  const auto* image = std::get_if<MemoryImage>(&read);
  ASSERT_NE(image, nullptr) << std::get<ListingRefusal>(read).message;
  const ImageWord& word = image->words[0];
  EXPECT_EQ(word.label, c.label);
  EXPECT_EQ(word.statement, c.statement);
  EXPECT_EQ(word.code, c.code);
  EXPECT_EQ(word.value, wordValue(c.code));  // no value for a code that is no word
  EXPECT_EQ(word.line, 2);
  EXPECT_TRUE(word.listed);
  EXPECT_FALSE(word.kind.has_value());
}

const Reading kReadings[] = {
    {"Plain", "START", "CLA", "710", " go"},
    {"NoLabel", "", "TAD I PTR", "121", ""},
    {"ElevenCharacterLabel", "ELEVENCHARS", "CLA", "710", ""},
    {"TwelveCharacterLabelPushes", "TWELVECHARSX", "CLA", "710", ""},
    {"LabelWithBlanks", "  X Y", "CLA", "710", ""},
    {"LabelBeginningWithTwelveBlanks", "            LOOP", "TAD X", "112", ""},
    {"LabelBeginningWithTwelveBlanksAndALongStatement", "            LOOP", "TAD I AVERYLONGNAME",
     "125", ""},
    {"StatementWithAComma", "", "TAD B,C", "112", ""},
    {"SixteenCharacterStatement", "", "TAD I SIXTEENCHR", "125", ""},
    {"SeventeenCharacterStatement", "", "TAD I SEVENTEENCH", "125", ""},
    {"LongStatementGluedToItsCode", "", "TAD I VERYLONGNAME", "125", ""},
    {"LongStatementEndingInAMinus", "", "TAD ABCDEFGHIJKLM-", "112", ""},
    {"LongStatementEndingInDigits", "", "TAD ABCDEFGHIJKL12", "112", ""},
    {"LongStatementWithABlankInColumn17", "", "TAD ABCDEFGHIJKL X", "112", ""},
    {"LongStatementWithABlankInColumn17AndNoValue", "", "#12 ABCDEFGHIJKL X", "12 ", ""},
    {"EmptyCode", "T", "'A X", "", ""},
    {"EmptyCodeAndAComment", "T", "'A X", "", " entry"},
    {"EmptyCodeAfterALongStatement", "", "ABCDEFGHIJKLMNOPQ", "", ""},
    {"JumpToALabelEndingInABlank", "", "JMP AVERYLONGLABEL ", "515", ""},
    {"StatementCutAtItsLengthEndingInABlank", "", std::string(46, 'A') + " ", "000", ""},
    {"ShortCode", "", "#12", "12", ""},
    {"CodeWithANine", "", "#999", "999", ""},
    {"LongHashLiteral", "", "#1 2 AAAAAAAAAAAAAAAA", "1 2", ""},
    {"SignedCodeAfterALongNumber", "", "-00000000000000288", "-100", ""},
    {"SignedCodeAfterALongVarEquals", "X", "VAR=-0000000000288", "-100", ""},
    {"SignsOnEveryDigitAfterALongNumber", "", "%111111111111111111", "-1-2-4", ""},
    {"CommentHoldingSlashes", "", "CLA", "710", " a/b /c"},
    {"CommentOfBlanks", "", "CLA", "710", "   "},
};
INSTANTIATE_TEST_SUITE_P(Cases, WordLineRead, ::testing::ValuesIn(kReadings),
                         [](const auto& test) { return test.param.name; });

TEST(ListingReader, TakesLineFeedsAloneAndALastLineWithoutItsEnd) {
  const auto read = readListing(
      "/1\n020 START,      CLA              710\n021             HLT 0   "
      "         721");
  const auto* image = std::get_if<MemoryImage>(&read);
  ASSERT_NE(image, nullptr) << std::get<ListingRefusal>(read).message;
  EXPECT_EQ(image->firstPage, 1);
  const ImageWord& halt = image->words[static_cast<std::size_t>(wordValue("021"))];
  EXPECT_EQ(halt.value, wordValue("721"));
  EXPECT_EQ(halt.line, 3);
}

TEST(ListingReader, LeavesEveryWordItDoesNotListAtZero) {
  const auto read = readListing(listing({"/1", "020             CLA.IAC          711", "/2"}));
  const auto& image = std::get<MemoryImage>(read);
  for (std::size_t address = 0; address < kMemoryWords; ++address) {
    const bool listed = address == 16;  // 020
    EXPECT_EQ(image.words[address].listed, listed) << address;
    if (!listed) {
      EXPECT_EQ(image.words[address].value, 0) << address;
    }
  }
}

TEST(ListingReader, AnEmptyListingHoldsNoPage) {
  const auto image = std::get<MemoryImage>(readListing(""));
  EXPECT_FALSE(image.firstPage.has_value());
  EXPECT_EQ(firstWordWithoutValue(image), nullptr);
  EXPECT_EQ(startAddress(image), 0);
}

}  // namespace
}  // namespace ovrik
