#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "intake/intake.hpp"
#include "intake/source_lines.hpp"
#include "support/chunked_source.hpp"
#include "support/test_state.hpp"
#include "tables/byte_stream.hpp"

namespace ovrik {
namespace {

using testing::bodies;
using testing::ChunkedSource;
using testing::emptyState;
using testing::errorOf;

std::unique_ptr<AssemblyState> readText(std::string_view text) {
  auto state = emptyState();
  StringSource source(text);
  readSource(*state, source);
  return state;
}

void expectRecord(const LineRecord& record, std::string_view label, std::string_view body,
                  std::string_view code, std::string_view comment = "") {
  EXPECT_EQ(record.label, label);
  EXPECT_EQ(record.body, body);
  EXPECT_EQ(record.code, code);
  EXPECT_EQ(record.comment, comment);
}

TEST(SourceReader, FilesTheWorkedExampleLineByLine) {
  const auto state = readText(
      "CLA / before any page\n"
      "ONE, 1\n"
      "/0\n"
      "START, CLA / clear\n"
      "       TAD ONE\n"
      "       DCA COUNT\n"
      "SUB, RTNADR\n"
      "       JMP I SUB\n"
      "COUNT, VAR\n"
      "MSG, TABLE[3]\n"
      "'H\n"
      "%00001010\n"
      "-1\n"
      "#012\n"
      "/1\n"
      "JMP START\n"
      "BUF, ARRAY[4]\n");
  expectRecord(state->constantTable[0], "ONE", "1", "001");
  expectRecord(state->constantTable[1], "", "#012", "012");
  expectRecord(state->codeTable[0], "START", "CLA", "", " clear");
  expectRecord(state->codeTable[1], "", "TAD ONE", "");
  expectRecord(state->codeTable[2], "", "DCA COUNT", "");
  expectRecord(state->codeTable[3], "SUB", "RTNADR", "000");
  expectRecord(state->codeTable[4], "", "JMP I SUB", "");
  expectRecord(state->codeTable[16], "", "JMP START", "");
  expectRecord(state->variableTable[0], "COUNT", "VAR", "000");
  expectRecord(state->dataTable[0], "MSG", "TABLE[3]", "");
  expectRecord(state->dataTable[1], "", "'H", "210");
  expectRecord(state->dataTable[2], "", "%00001010", "012");
  expectRecord(state->dataTable[3], "", "-1", "737");
  expectRecord(state->dataTable[4], "BUF", "ARRAY[4]", "");
  EXPECT_EQ(state->firstPage, 0);
  EXPECT_EQ(state->lastPage, 1);
  EXPECT_EQ(state->fill(kCodeCount, 0), 5);
  EXPECT_EQ(state->fill(kCodeCount, 1), 1);
  EXPECT_EQ(state->fill(kDataCount, 0), 4);
  EXPECT_EQ(state->fill(kDataCount, 1), 1);
  EXPECT_EQ(state->fill(kDataStart, 0), 0);
  EXPECT_EQ(state->fill(kDataStart, 1), 4);
  EXPECT_EQ(state->tableCount[kVariableTable], 1);
  EXPECT_EQ(state->tableCount[kConstantTable], 2);
}

TEST(SourceReader, EmptySourceNamesNoPage) {
  const auto state = readText("");
  EXPECT_EQ(state->firstPage, 15);
  EXPECT_EQ(state->lastPage, 0);
  EXPECT_EQ(state->tableCount[kVariableTable], 0);
  EXPECT_EQ(state->tableCount[kConstantTable], 0);
}

TEST(SourceReader, AcceptsLfCrLfAndLoneCrLineEnds) {
  for (const char* text : {"/2\nCLA\nHLT 0\nIAC", "/2\r\nCLA\r\nHLT 0\r\nIAC\r\n",
                           "/2\rCLA\rHLT 0\rIAC\r", "/2\r\nCLA\rHLT 0\nIAC"}) {
    const auto state = readText(text);
    EXPECT_EQ(bodies(*state, 2), (std::vector<std::string>{"CLA", "HLT 0", "IAC"})) << text;
  }
}

TEST(SourceReader, CrLfSplitAcrossReadsIsOneLineEnd) {
  // a source that hands out one byte per read still sees CR LF as one line end
  class TrickleSource final : public ByteSource {
   public:
    explicit TrickleSource(std::string_view bytes) : bytes_(bytes) {}
    std::size_t read(char* buffer, std::size_t) override {
      if (bytes_.empty()) return 0;
      buffer[0] = bytes_[0];
      bytes_.remove_prefix(1);
      return 1;
    }
    std::string_view bytes_;
  };
  auto state = emptyState();
  TrickleSource source("/1\r\nCLA\r\n\r\nIAC\r");
  readSource(*state, source);
  EXPECT_EQ(bodies(*state, 1), (std::vector<std::string>{"CLA", "IAC"}));
}

TEST(SourceReader, CtrlZAtALineStartEndsTheSourceAnywhereElseItIsACharacter) {
  const auto state = readText("/1\nCLA\nIAC\x1aX\n\x1aHLT 0\nRAL\n");
  EXPECT_EQ(bodies(*state, 1), (std::vector<std::string>{"CLA", "IAC\x1aX"}));
}

TEST(SourceReader, ADirectiveIsReadFromThe47BytesItsCommentKeeps) {
  const std::string blanks(46, ' ');
  const auto state = readText("/" + blanks + "3x\nCLA\n");
  EXPECT_EQ(state->fill(kCodeCount, 3), 1);
  const auto longer = readText("/" + blanks + "13\nCLA\n");
  EXPECT_EQ(longer->fill(kCodeCount, 1), 1);
}

TEST(SourceReader, OnlyTheBlankMakesALineEmpty) {
  const auto state = readText("/1\n \t \nX, \t\nY,\t/ note\n");
  const LineRecord* words = &state->codeWord(1, 0);
  expectRecord(words[0], "", "\t", "");
  expectRecord(words[1], "X", "\t", "");
  expectRecord(words[2], "Y", "\t", "", " note");
  EXPECT_EQ(state->fill(kCodeCount, 1), 3);
}

TEST(SourceReader, KeepsTheFirst255CharactersOfALine) {
  const std::string longComment(300, 'c');
  const std::string line = "X, CLA /" + longComment;
  const auto state = readText("/1\n" + line + "\nIAC\n");
  EXPECT_EQ(bodies(*state, 1), (std::vector<std::string>{"CLA", "IAC"}));
  EXPECT_EQ(state->codeWord(1, 0).comment, std::string(47, 'c'));

  // past column 255 a comment mark is never seen: the cut comes first
  const auto cut = readText("/1\n" + std::string(255, 'A') + "/note\n");
  EXPECT_EQ(cut->codeWord(1, 0).body, std::string(47, 'A'));
  EXPECT_TRUE(cut->codeWord(1, 0).comment.empty());
}

TEST(SourceReader, SplitsLabelBodyAndComment) {
  const auto state = readText(
      "/1\n"
      "LOOP, TAD X / add one\n"
      "LOOP , TAD X\n"
      "  LOOP,TAD X\n"
      "A,B,C\n"
      "   TAD    X   \n"
      "\tTAD X\n"
      "CLA / a, b\n"
      "HLT /\n");
  const LineRecord* words = &state->codeWord(1, 0);
  expectRecord(words[0], "LOOP", "TAD X", "", " add one");
  expectRecord(words[1], "LOOP ", "TAD X", "");
  expectRecord(words[2], "  LOOP", "TAD X", "");
  expectRecord(words[3], "A", "B,C", "");
  expectRecord(words[4], "", "TAD X", "");
  expectRecord(words[5], "", "\tTAD X", "");
  expectRecord(words[6], "", "CLA", "", " a, b");
  expectRecord(words[7], "", "HLT", "");
  EXPECT_EQ(state->fill(kCodeCount, 1), 8);
}

TEST(SourceReader, CutsEveryFieldAt47Characters) {
  const std::string name(60, 'L');
  const std::string body = "TAD " + std::string(60, 'B');
  const auto state = readText("/1\n" + name + ", " + body + " /" + std::string(60, 'c') + "\n");
  EXPECT_EQ(state->codeWord(1, 0).label, name.substr(0, 47));
  EXPECT_EQ(state->codeWord(1, 0).body, body.substr(0, 47));
  EXPECT_EQ(state->codeWord(1, 0).comment, std::string(47, 'c'));
}

TEST(SourceReader, RecognisesPageDirectivesReadAsIntegers) {
  for (const char* directive : {"/3", "/ 3", "/03", "/+3", "/$3", "/%11", "/\t3"}) {
    const auto state = readText(std::string(directive) + "\nCLA\n");
    EXPECT_EQ(state->firstPage, 3) << directive;
    EXPECT_EQ(state->fill(kCodeCount, 3), 1) << directive;
  }
  for (const char* comment : {" /3", "/3 ", "/3 start", "/16", "/-1", "/x", "//3"}) {
    const auto state = readText(std::string(comment) + "\nCLA\n");
    EXPECT_EQ(state->firstPage, 15) << comment;
    EXPECT_EQ(state->lastPage, 0) << comment;
    EXPECT_EQ(state->fill(kCodeCount, 3), 0) << comment;
  }
}

TEST(SourceReader, DropsCodeBeforeTheFirstPageButKeepsVariablesAndConstants) {
  const auto state = readText("CLA\nX, VAR\nY, 5\nT, TABLE[1]\n7\nZ, 9\n/0\nIAC\n");
  EXPECT_EQ(bodies(*state, 0), (std::vector<std::string>{"IAC"}));
  EXPECT_EQ(state->tableCount[kVariableTable], 1);
  // the table before any page still takes its one entry, so Z is a constant again
  ASSERT_EQ(state->tableCount[kConstantTable], 2);
  EXPECT_EQ(state->constantTable[1].label, "Z");
  EXPECT_EQ(state->fill(kDataCount, 0), 0);
  EXPECT_EQ(state->fill(kDataStart, 0), 0);
}

TEST(SourceReader, ClassifiesVariablesExactly) {
  const auto state = readText("/1\nVAR\nVAR=5\nCOUNT, VAR\nVARX\nVAR = 5\nvar\nVar=1\n");
  EXPECT_EQ(state->tableCount[kVariableTable], 3);
  expectRecord(state->variableTable[1], "", "VAR=5", "000");
  expectRecord(state->variableTable[2], "COUNT", "VAR", "000");
  EXPECT_EQ(bodies(*state, 1), (std::vector<std::string>{"VARX", "VAR = 5", "var", "Var=1"}));
}

TEST(SourceReader, LabelOnlyAndBlankLinesFileNothing) {
  const auto state = readText("/1\nX,\nX, / note\n\n   \n/ just a comment\n");
  EXPECT_EQ(state->fill(kCodeCount, 1), 0);
  EXPECT_EQ(state->tableCount[kVariableTable], 0);
  EXPECT_EQ(state->tableCount[kConstantTable], 0);
  EXPECT_EQ(state->fill(kDataCount, 1), 0);
}

TEST(SourceReader, ReturnAddressWordsHoldZero) {
  const auto state = readText("/1\nRTNADR\nRTNADR X\n");
  EXPECT_EQ(state->codeWord(1, 0).code, "000");
  EXPECT_EQ(state->codeWord(1, 1).code, "");
}

TEST(SourceReader, TableBlockTakesItsEntriesAndThenCloses) {
  const auto state = readText("/2\nTABLE[3]\n1\nTAD X\nVAR\n\n-1\n5\n");
  ASSERT_EQ(state->fill(kDataCount, 2), 4);
  expectRecord(state->dataTable[0], "", "TABLE[3]", "");
  expectRecord(state->dataTable[1], "", "1", "001");
  expectRecord(state->dataTable[2], "", "TAD X", "");
  expectRecord(state->dataTable[3], "", "-1", "737");
  EXPECT_EQ(state->tableCount[kVariableTable], 1);
  ASSERT_EQ(state->tableCount[kConstantTable], 1);
  EXPECT_EQ(state->constantTable[0].body, "5");
  EXPECT_EQ(state->fill(kCodeCount, 2), 0);
}

TEST(SourceReader, TableHeadsWhoseCountDoesNotReadOpenNoBlock) {
  for (const char* head :
       {"TABLE[3]X", "TABLE[", "TABLE[0]", "TABLE[-2]", "TABLE[3 ]", "TABLE[40000]", "TABLE[X]"}) {
    const auto state = readText(std::string("/1\n") + head + "\n5\nCLA\n");
    EXPECT_EQ(state->fill(kDataCount, 1), 1) << head;
    EXPECT_EQ(state->tableCount[kConstantTable], 1) << head;
    EXPECT_EQ(state->fill(kCodeCount, 1), 1) << head;
  }
  const auto spaced = readText("/1\nTABLE[ 3]\n5\n6\n7\n8\n");
  EXPECT_EQ(spaced->fill(kDataCount, 1), 4);
  EXPECT_EQ(spaced->tableCount[kConstantTable], 1);
}

TEST(SourceReader, ArrayLineInsideABlockIsAnEntryWithoutCode) {
  const auto state = readText("/1\nTABLE[2]\nARRAY[3]\nTABLE[1]\n7\n8\n");
  ASSERT_EQ(state->fill(kDataCount, 1), 4);
  expectRecord(state->dataTable[1], "", "ARRAY[3]", "");
  // a head inside an open block replaces the count that was left
  expectRecord(state->dataTable[3], "", "7", "007");
  EXPECT_EQ(state->tableCount[kConstantTable], 1);
}

TEST(SourceReader, ApostropheBeforeACommentIsACharacterLiteral) {
  const auto state = readText("/1\nC, '/ slash\n");
  ASSERT_EQ(state->tableCount[kConstantTable], 1);
  expectRecord(state->constantTable[0], "C", "'", "100", " slash");
}

TEST(SourceReader, SeventeenthWordOfAPageStopsTheRunBeforeItIsStored) {
  std::string text = "/4\n";
  for (int i = 0; i < 16; ++i) text += "CLA\n";
  EXPECT_EQ(readText(text)->fill(kCodeCount, 4), 16);
  auto state = emptyState();
  const std::string overfull = text + "IAC\nRAL\n";
  StringSource source(overfull);
  EXPECT_EQ(errorOf([&] { readSource(*state, source); }), "Error: Word count exceeded in page 4.");
  EXPECT_EQ(state->fill(kCodeCount, 4), 16);
  EXPECT_TRUE(state->codeTable[80].body.empty());  // page 5 untouched
}

TEST(SourceReader, NamingAPageAgainStartsItsCountsAgain) {
  const auto state = readText("/1\nCLA\nIAC\nA, ARRAY[2]\n/2\nB, ARRAY[1]\n/1\nRAL\nC, ARRAY[1]\n");
  EXPECT_EQ(bodies(*state, 1), (std::vector<std::string>{"RAL"}));
  // every page's data keeps its own records: the second naming starts after all filed so far
  EXPECT_EQ(state->fill(kDataStart, 1), 2);
  EXPECT_EQ(state->fill(kDataCount, 1), 1);
  EXPECT_EQ(state->dataTable[0].label, "A");
  EXPECT_EQ(state->dataTable[1].label, "B");
  EXPECT_EQ(state->dataTable[2].label, "C");
  EXPECT_EQ(state->fill(kDataStart, 2), 1);
}

TEST(SourceReader, SkippedAndOutOfOrderPagesKeepTheirDataApart) {
  const auto state = readText("/5\nA, ARRAY[1]\n/2\nB, ARRAY[1]\n/9\nC, ARRAY[1]\n");
  EXPECT_EQ(state->firstPage, 2);
  EXPECT_EQ(state->lastPage, 9);
  EXPECT_EQ(state->dataTable[static_cast<std::size_t>(state->fill(kDataStart, 5))].label, "A");
  EXPECT_EQ(state->dataTable[static_cast<std::size_t>(state->fill(kDataStart, 2))].label, "B");
  EXPECT_EQ(state->dataTable[static_cast<std::size_t>(state->fill(kDataStart, 9))].label, "C");
}

TEST(SourceReader, The257thRecordOfATableStopsTheRun) {
  std::string variables = "/0\n";
  for (int i = 0; i < 257; ++i) variables += "VAR\n";
  auto state = emptyState();
  StringSource variableSource(variables);
  EXPECT_EQ(errorOf([&] { readSource(*state, variableSource); }), "Error: Too many variables.");

  std::string constants;
  for (int i = 0; i < 257; ++i) constants += "1\n";
  state = emptyState();
  StringSource constantSource(constants);
  EXPECT_EQ(errorOf([&] { readSource(*state, constantSource); }), "Error: Too many constants.");

  std::string data = "/0\n";
  for (int i = 0; i < 128; ++i) data += "ARRAY[1]\n";
  data += "/1\n";
  for (int i = 0; i < 129; ++i) data += "ARRAY[1]\n";
  state = emptyState();
  StringSource dataSource(data);
  EXPECT_EQ(errorOf([&] { readSource(*state, dataSource); }), "Error: Too many data lines.");

  std::string full;
  for (int i = 0; i < 256; ++i) full += "VAR\n1\n";
  EXPECT_EQ(readText(full)->tableCount[kConstantTable], 256);
}

TEST(SourceReader, EveryByteValueIsAnOrdinaryCharacter) {
  std::string line = "/1\nX";
  line += std::string("\0\xff\x80,TAD \x01", 9);
  const auto state = readText(line + "\n");
  EXPECT_EQ(state->codeWord(1, 0).label, std::string("X\0\xff\x80", 4));
  EXPECT_EQ(state->codeWord(1, 0).body, std::string("TAD \x01", 5));
}

// ---- Splitting into lines ----

std::vector<std::string> linesOf(ByteSource& source) {
  SourceLines lines(source);
  std::vector<std::string> found;
  std::string_view line;
  while (lines.next(line)) found.emplace_back(line);
  return found;
}

std::vector<std::string> linesOf(std::string_view text, std::size_t chunk = 64 * 1024) {
  ChunkedSource source(text, chunk);
  return linesOf(source);
}

using Lines = std::vector<std::string>;

TEST(SourceLines, EveryLineEndEndsOneLine) {
  EXPECT_EQ(linesOf("A\nB\r\nC\rD"), (Lines{"A", "B", "C", "D"}));
  EXPECT_EQ(linesOf("A\r\r\nB\n\nC\n"), (Lines{"A", "", "B", "", "C"}));
  EXPECT_EQ(linesOf("\n"), (Lines{""}));
  EXPECT_EQ(linesOf("\r\n\r"), (Lines{"", ""}));
  EXPECT_EQ(linesOf(""), Lines{});
  // lone CRs, then an LF far behind them
  EXPECT_EQ(linesOf("A\rB\rC\rD\nE"), (Lines{"A", "B", "C", "D", "E"}));
}

TEST(SourceLines, CtrlZEndsTheSourceOnlyAtALineStart) {
  EXPECT_EQ(linesOf("A\n\x1a B\nC\n"), (Lines{"A"}));
  EXPECT_EQ(linesOf("A\x1a\r\n\x1a"), (Lines{"A\x1a"}));
  EXPECT_EQ(linesOf("\x1a"), Lines{});
}

TEST(SourceLines, WhereTheReadsSplitTheSourceChangesNoLine) {
  const std::string text = "/1\r\nLOOP, TAD X\r\rIAC\n\nCLA\r\nHLT 0\r\n\x1aRAL\n";
  const Lines expected{"/1", "LOOP, TAD X", "", "IAC", "", "CLA", "HLT 0"};
  for (std::size_t chunk = 1; chunk <= text.size(); ++chunk) {
    EXPECT_EQ(linesOf(text, chunk), expected) << "reads of " << chunk << " bytes";
  }
}

TEST(SourceLines, ALineAcrossTheEndOfABlockKeepsItsFirst255Bytes) {
  // 64 KiB blocks: the long line starts 100 bytes before the first block ends
  const std::string lead(64 * 1024 - 100, '\n');
  const std::string line = std::string(200, 'x') + std::string(100, 'y');
  const Lines lines = linesOf(lead + line + "\r\nEND");
  ASSERT_EQ(lines.size(), lead.size() + 2);
  EXPECT_EQ(lines[lead.size()], line.substr(0, 255));
  EXPECT_EQ(lines.back(), "END");

  const std::string last(300, 'z');  // the last line, without a line end
  EXPECT_EQ(linesOf(lead + last).back(), last.substr(0, 255));
}

}  // namespace
}  // namespace ovrik
