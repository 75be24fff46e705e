#include "intake/quiet_lines.hpp"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "support/chunked_source.hpp"
#include "support/test_state.hpp"

namespace ovrik {
namespace {

using testing::emptyState;
using testing::readInChunks;

std::string scanName(ChunkScan scan) {
  switch (scan) {
    case ChunkScan::kNone:
      return "None";
    case ChunkScan::kPortable:
      return "Portable";
    case ChunkScan::kAvx2:
      return "Avx2";
    case ChunkScan::kAvx512:
      return "Avx512";
  }
  return "?";
}

// The scans that pass over lines on this processor; the portable one always.
std::vector<ChunkScan> scansHere() {
  std::vector<ChunkScan> scans;
  for (ChunkScan scan : {ChunkScan::kPortable, ChunkScan::kAvx2, ChunkScan::kAvx512}) {
    if (chunkScanAvailable(scan)) scans.push_back(scan);
  }
  return scans;
}

// ---- Masks ----

void expectSameMasks(const char* chunk, ChunkScan scan) {
  const ChunkMasks expected = chunkMasks(chunk, ChunkScan::kNone);
  const ChunkMasks built = chunkMasks(chunk, scan);
  EXPECT_EQ(built.lineEnd, expected.lineEnd) << scanName(scan);
  EXPECT_EQ(built.slash, expected.slash) << scanName(scan);
  EXPECT_EQ(built.comma, expected.comma) << scanName(scan);
  EXPECT_EQ(built.blank, expected.blank) << scanName(scan);
  EXPECT_EQ(built.startMark, expected.startMark) << scanName(scan);
}

TEST(ChunkMasks, VectorScansMarkEveryByteValueAsAByteAtATimeDoes) {
  std::array<char, 256> everyByte{};
  for (std::size_t i = 0; i < everyByte.size(); ++i) everyByte[i] = static_cast<char>(i);
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    for (ChunkScan scan : scansHere()) {
      for (std::size_t chunk = 0; chunk < everyByte.size(); chunk += 64) {
        expectSameMasks(everyByte.data() + chunk, scan);
      }
    }
    std::shuffle(everyByte.begin(), everyByte.end(), random);
  }
}

TEST(ChunkMasks, ByteAtATimeMarksWhatTheScanLooksFor) {
  std::string chunk(64, 'x');
  chunk.replace(0, 12, "\r\n/, 09$\x1a:@#");
  const ChunkMasks masks = chunkMasks(chunk.data(), ChunkScan::kNone);
  EXPECT_EQ(masks.lineEnd, 0b11u);
  EXPECT_EQ(masks.slash, 0b100u);
  EXPECT_EQ(masks.comma, 0b1000u);
  EXPECT_EQ(masks.blank, 0b10000u);
  EXPECT_EQ(masks.startMark, 0b111100000u);  // "0", "9", "$", Ctrl-Z; not "/" or ":"
}

// ---- Where a scan stops ----

class QuietPrefix : public ::testing::TestWithParam<ChunkScan> {
 protected:
  std::size_t quiet(std::string_view bytes) const { return quietPrefix(bytes, GetParam()); }

  // quietLines, then line, then enough lines that file nothing for the scan
  // to reach line whatever its length: the scan stops where line begins.
  // A lead line of 0 to 70 blanks puts line at every place in a chunk.
  void expectStopAt(std::string_view line, std::string_view quietLines = "/ before\r\n") const {
    for (std::size_t lead = 0; lead <= 70; ++lead) {
      const std::string before = std::string(lead, ' ') + "\n" + std::string(quietLines);
      std::string bytes = before + std::string(line) + "\r\n";
      while (bytes.size() < before.size() + 400) bytes += "/ after\r\n";
      ASSERT_EQ(quiet(bytes), before.size()) << "line \"" << line << "\" after " << lead;
    }
  }

  // line and its line end are passed over like the lines around it.
  void expectPassedOver(std::string_view line) const {
    for (std::size_t lead = 0; lead <= 70; ++lead) {
      const std::string before = std::string(lead, ' ') + "\n/ before\r\n";
      const std::string bytes =
          before + std::string(line) + "\r\n" + "CLA\r\n" + std::string(400, ' ');
      ASSERT_EQ(quiet(bytes), bytes.size() - 405) << "line \"" << line << "\" after " << lead;
    }
  }
};

TEST_P(QuietPrefix, PassesOverBlankLinesCommentsAndLabelsAlone) {
  for (std::string_view line :
       {"", "    ", "/ a comment", "      / an indented comment", "LOOP,", "LOOP,   / a note", ", ",
        "TWO WORDS,", "/\ta tab after the slash", "/ ---- ----", "/ -", "/ +", "/%",
        "LOOP, / commas in a comment, then words", "/ one, two / three", "\xff\x80,"}) {
    expectPassedOver(line);
  }
}

TEST_P(QuietPrefix, PassesOverEveryKindOfLineEnd) {
  std::string bytes;
  for (int i = 0; i < 20; ++i) bytes += "A,\n/ lf\n\r\n/ cr\r\r/ crlf\r\n";
  EXPECT_EQ(quiet(bytes + "CLA\n" + std::string(64, ' ')), bytes.size());
}

TEST_P(QuietPrefix, StopsAtALineThatFilesAWord) {
  for (std::string_view line : {"CLA", "   CLA", "A, CLA", "A,B", "A,,", ",X", "LOOP",
                                "LOOP / no comma before the comment", "VAR", "'A"}) {
    expectStopAt(line);
  }
}

TEST_P(QuietPrefix, ATabIsNoBlank) {
  expectStopAt("\t");
  expectStopAt("\t/ a comment");
  expectStopAt("LOOP,\t");
}

TEST_P(QuietPrefix, LeavesACommentThatMayNameAPageToTheReader) {
  for (std::string_view line :
       {"/3", "/ 12", "/-1", "/+2", "/$A", "/%101", "/ page 2 of 3", "/$"}) {
    expectStopAt(line);
  }
  // a digit in an indented comment or after code names no page
  expectPassedOver("  / 3");
  expectPassedOver("LOOP, / 3");
}

TEST_P(QuietPrefix, LeavesALineThatBeginsWithCtrlZToTheReader) {
  expectStopAt("\x1a");
  expectStopAt("\x1a,");
  expectStopAt("\x1a/ the rest is not read");
  expectPassedOver("LOOP\x1a,");  // elsewhere Ctrl-Z is a character like any other
}

TEST_P(QuietPrefix, LeavesALongLineToTheReaderWhichCutsIt) {
  // cut at 255 bytes the line loses its comma and files "X"
  expectStopAt("X" + std::string(254, ' ') + ",");
  expectStopAt(std::string(300, ' '));
  expectStopAt("/ " + std::string(400, '-'));
}

TEST_P(QuietPrefix, PassesOnlyWholeLines) {
  const std::string label = "LOOP," + std::string(100, ' ');
  EXPECT_EQ(quiet(label), 0u);  // no line end: the line may go on in the next block
  EXPECT_EQ(quiet("/ a\n" + label), 4u);
  EXPECT_EQ(quiet("/ a short source\n"), 0u);  // shorter than a chunk
  EXPECT_EQ(quiet(""), 0u);
}

INSTANTIATE_TEST_SUITE_P(Scans, QuietPrefix, ::testing::ValuesIn(scansHere()),
                         [](const auto& test) { return scanName(test.param); });

TEST(QuietPrefixWithoutScan, PassesOverNothing) {
  EXPECT_EQ(quietPrefix(std::string(200, '\n'), ChunkScan::kNone), 0u);
}

// ---- The reader files the same with every scan ----

// A source of lines made from the pieces that matter to the scan and the reader.
std::string randomSource(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      " ",
      "  ",
      ",",
      "/",
      "/ ",
      "\t",
      "A",
      "LOOP",
      "CLA",
      "TAD X",
      "VAR",
      "0",
      "7",
      "12",
      "$",
      "%",
      "-",
      "+",
      "'",
      "\x1a",
      "\xff",
      "TABLE[2]",
      "\n",
      "\r\n",
      "\r",
      "\n",
      "\r\n",
      "/ a comment\n",
      "/2\n",
      "/ 5\n",
      "LOOP, / x\n",
      "ARRAY[3]",
      std::string(90, ' ')};  // three of them make a line the reader cuts
  std::uniform_int_distribution<std::size_t> piece(0, kPieces.size() - 1);
  std::uniform_int_distribution<int> length(0, 400);
  std::string source;
  for (int pieces = length(random); pieces > 0; --pieces) {
    source += kPieces[piece(random)];
  }
  return source;
}

TEST(QuietLines, TheReaderFilesTheSameWithEveryScanAndEveryReadSize) {
  std::mt19937 random(2026);
  std::uniform_int_distribution<std::size_t> readSize(1, 300);
  for (int round = 0; round < 1500; ++round) {
    const std::string source = randomSource(random);
    const std::size_t size = round % 2 == 0 ? 64 * 1024 : readSize(random);
    auto expected = emptyState();
    const std::string expectedStop = readInChunks(*expected, ChunkScan::kNone, source, size);
    for (ChunkScan scan : scansHere()) {
      auto state = emptyState();
      ASSERT_EQ(readInChunks(*state, scan, source, size), expectedStop)
          << scanName(scan) << " on " << ::testing::PrintToString(source);
      ASSERT_TRUE(*state == *expected)
          << scanName(scan) << " reads " << size << " bytes at a time from "
          << ::testing::PrintToString(source);
    }
  }
}

}  // namespace
}  // namespace ovrik
