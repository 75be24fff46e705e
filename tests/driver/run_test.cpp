#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "assemble/assemble_source.hpp"
#include "driver/driver.hpp"
#include "driver/memory_files.hpp"
#include "support/banner.hpp"

namespace ovrik {
namespace {

using testing::kBanner;

struct InProcessRun {
  std::string console;
  int status;
};

InProcessRun run(MemoryFiles& files, const std::string& typed) {
  std::istringstream input(typed);
  std::ostringstream output;
  const int status = runAssembler(input, output, files);
  return {output.str(), status};
}

std::string baseNameOf(const std::string& typed) {
  std::istringstream input(typed);
  return readBaseName(input);
}

TEST(Console, SuccessfulRunWritesOnlyBannerAndPrompt) {
  MemoryFiles files;
  files.files["prog.txt"] = "/0\nHLT 0\n";
  const InProcessRun result = run(files, "prog\n");
  EXPECT_EQ(result.console, kBanner);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(files.files.count("prog.ovr"), 1u);
}

TEST(Console, BaseNameEndsAtTheLineFeedWithoutItsCarriageReturn) {
  EXPECT_EQ(baseNameOf("prog\n"), "prog");
  EXPECT_EQ(baseNameOf("prog\r\n"), "prog");
  EXPECT_EQ(baseNameOf("prog\r\r\n"), "prog\r");
  EXPECT_EQ(baseNameOf("a\rb\n"), "a\rb");
  EXPECT_EQ(baseNameOf(" my prog \nsecond line\n"), " my prog ");
  EXPECT_EQ(baseNameOf("prog"), "prog");
  // Input that ends without a line feed keeps its last CR: only a line end drops it.
  EXPECT_EQ(baseNameOf("abc\r"), "abc\r");
  EXPECT_EQ(baseNameOf(""), "");
  EXPECT_EQ(baseNameOf("\n"), "");
  EXPECT_EQ(baseNameOf("prog.txt\n"), "prog.txt");
}

TEST(Console, BaseNameStopsAtANulAndAt255Bytes) {
  EXPECT_EQ(baseNameOf(std::string("ab\0cd\r\n", 7)), "ab");
  EXPECT_EQ(baseNameOf(std::string(300, 'n') + "\n"), std::string(255, 'n'));
  EXPECT_EQ(baseNameOf(std::string(254, 'n') + "\r\n"), std::string(254, 'n'));
  EXPECT_EQ(baseNameOf(std::string(255, 'n') + "\r\n"), std::string(255, 'n'));
}

TEST(Console, TypedExtensionIsPartOfTheBaseName) {
  MemoryFiles files;
  files.files["prog.txt.txt"] = "/0\nHLT 0\n";
  files.files[".txt"] = "/1\nHLT 0\n";
  EXPECT_EQ(run(files, "prog.txt\n").status, 0);
  EXPECT_EQ(files.files.count("prog.txt.ovr"), 1u);
  EXPECT_EQ(run(files, "\n").status, 0);
  EXPECT_EQ(files.files.count(".ovr"), 1u);
}

TEST(Console, MissingSourceIsARuntimeErrorWithItsCode) {
  MemoryFiles files;
  const InProcessRun result = run(files, "absent\n");
  EXPECT_TRUE(std::regex_match(result.console.substr(kBanner.size()),
                               std::regex("Runtime error 2 at 0x[0-9A-F]{8}\r\n")))
      << result.console;
  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(files.files.count("absent.ovr") == 0);
}

TEST(Console, ErrorStopWritesOneLineAndLeavesTheOldListingAlone) {
  MemoryFiles files;
  std::string source = "/4\n";
  for (int i = 0; i < 17; ++i) source += "CLA\n";
  files.files["prog.txt"] = source;
  files.files["prog.ovr"] = "old listing";
  const InProcessRun result = run(files, "prog\n");
  EXPECT_EQ(result.console, std::string(kBanner) + "Error: Word count exceeded in page 4.\r\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(files.files["prog.ovr"], "old listing");
}

TEST(Console, ListingThatCannotBeWrittenEndsWithItsCode) {
  MemoryFiles files;
  files.files["prog.txt"] = "/0\nHLT 0\n";
  files.listingWriteFailure = 112;
  InProcessRun result = run(files, "prog\n");
  EXPECT_TRUE(result.console.find("Runtime error 112 at 0x") != std::string::npos);
  EXPECT_EQ(result.status, 112);
  // numbers 19 to 31 are reported 131 higher, a sharing violation as refused access
  files.listingWriteFailure = 29;
  EXPECT_EQ(run(files, "prog\n").status, 160);
  files.listingWriteFailure = 32;
  EXPECT_EQ(run(files, "prog\n").status, 5);
}

TEST(Console, SourceWhoseReadFailsHalfwayEndsTheRunAndLeavesTheOldListing) {
  const std::string source = "/0\nSTART, CLA\n       TAD ONE\n       HLT 0\nONE,   1\n";
  for (std::size_t readable : {std::size_t{0}, source.size() / 2, source.size() - 1}) {
    MemoryFiles files;
    files.files["prog.txt"] = source;
    files.files["prog.ovr"] = "old listing";
    files.sourceReadFailure = {{readable, 30}};
    const InProcessRun result = run(files, "prog\n");
    EXPECT_EQ(result.console, std::string(kBanner) + "Runtime error 161 at 0x00402365\r\n")
        << readable;
    EXPECT_EQ(result.status, 161);
    EXPECT_EQ(files.files["prog.ovr"], "old listing");
  }
}

// Nothing after a Ctrl-Z that begins a line is read, so a fault there never shows.
TEST(Console, ReadFailureAfterTheCtrlZThatEndsTheSourceIsNeverMet) {
  const std::string source = "/0\nHLT 0\n\x1a";
  MemoryFiles files;
  files.files["prog.txt"] = source + "unreadable";
  files.sourceReadFailure = {{source.size(), 30}};
  const InProcessRun result = run(files, "prog\n");
  EXPECT_EQ(result.console, kBanner);
  EXPECT_EQ(files.files["prog.ovr"], "/0\r\n000             HLT 0            721\r\n");
}

// A read that fails after the lines that already overflow a page is never
// reached: the reader stops at the first error.
TEST(Console, ErrorStopBeforeAFailingReadIsReportedAsTheError) {
  std::string source = "/4\n";
  for (int i = 0; i < 17; ++i) source += "CLA\n";
  MemoryFiles files;
  files.files["prog.txt"] = source + "more lines";
  files.sourceReadFailure = {{source.size(), 30}};
  const InProcessRun result = run(files, "prog\n");
  EXPECT_EQ(result.console, std::string(kBanner) + "Error: Word count exceeded in page 4.\r\n");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(files.files.count("prog.ovr"), 0u);
}

TEST(Console, ReportedCodesFollowTheWindowsNumbers) {
  EXPECT_EQ(reportedCode(2), 2);
  EXPECT_EQ(reportedCode(18), 18);
  EXPECT_EQ(reportedCode(19), 150);
  EXPECT_EQ(reportedCode(30), 161);
  EXPECT_EQ(reportedCode(31), 162);
  EXPECT_EQ(reportedCode(32), 5);
  EXPECT_EQ(reportedCode(112), 112);
}

TEST(Console, ListingNameCutToTheSourceNameNeverReplacesTheSource) {
  for (std::size_t length : {254u, 255u, 300u}) {
    const std::string base(length, 'p');
    const std::string sourceName =
        std::string(std::min<std::size_t>(length, 255), 'p') +
        std::string(".txt").substr(0, 255 - std::min<std::size_t>(length, 255));
    MemoryFiles files;
    files.files[sourceName] = "/0\nHLT 0\n";
    const InProcessRun result = run(files, base + "\n");
    EXPECT_EQ(result.status, 5) << length;
    EXPECT_EQ(files.files.size(), 1u) << length;
    EXPECT_EQ(files.files[sourceName], "/0\nHLT 0\n") << length;
  }
}

TEST(Console, SourceWithoutPagesGivesAnEmptyListing) {
  MemoryFiles files;
  files.files["empty.txt"] = "CLA\nX, VAR\n";
  EXPECT_EQ(run(files, "empty\n").status, 0);
  EXPECT_EQ(files.files["empty.ovr"], "");
}

// Every word of the assembled program says where it came from: its kind, and
// the source line that made it.
TEST(AssembledProgram, EveryWordKnowsItsKindAndSourceLine) {
  const std::string source =
      "/0\n"               // 1
      "START, TAD ONE\n"   // 2
      "       JMS SUB\n"   // 3: needs the address constant SUBA
      "       CLA\n"       // 4
      "/1\n"               // 5: control runs in, and on: a jump over the data
      "       CLA\n"       // 6
      "SUB,   RTNADR\n"    // 7
      "       TAD V\n"     // 8
      "BUF,   ARRAY[2]\n"  // 9
      "/2\n"               // 10
      "       HLT 0\n"     // 11
      "V,     VAR\n"       // 12
      "ONE,   1\n"         // 13
      "T,     TABLE[2]\n"  // 14
      "       'A\n"        // 15
      "       'B\n";       // 16
  const Assembly assembly = assembleSource(source);
  ASSERT_TRUE(assembly.ok) << assembly.console;
  const AssemblyState* state = assembly.state.get();
  const auto kindAndLine = [&](int page, std::string_view label, std::string_view body) {
    for (int slot = 0; slot < kPageSize; ++slot) {
      const LineRecord& word = state->codeWord(page, slot);
      if (word.label == label && word.body == body) return std::pair{word.kind, word.line};
    }
    ADD_FAILURE() << label << " " << body << " not in page " << page;
    return std::pair{WordKind::kCode, -1};
  };
  using K = WordKind;
  EXPECT_EQ(kindAndLine(0, "START", "TAD ONE"), std::pair(K::kCode, 2));
  EXPECT_EQ(kindAndLine(0, "ONE", "1"), std::pair(K::kConstant, 13));
  EXPECT_EQ(kindAndLine(0, "SUBA", "A(SUB)"), std::pair(K::kAddressConstant, 3));
  EXPECT_EQ(kindAndLine(0, "", "BLANK"), std::pair(K::kFiller, 0));
  EXPECT_EQ(kindAndLine(1, "", "JMP END1"), std::pair(K::kJump, 0));
  EXPECT_EQ(kindAndLine(1, "END1", "CLA"), std::pair(K::kCode, 6));
  EXPECT_EQ(kindAndLine(1, "V", "VAR"), std::pair(K::kVariable, 12));
  EXPECT_EQ(kindAndLine(1, "BUF", "VAR"), std::pair(K::kData, 9));
  EXPECT_EQ(kindAndLine(1, "BUF[1]", "VAR"), std::pair(K::kData, 9));
  EXPECT_EQ(kindAndLine(2, "T", "'A"), std::pair(K::kData, 15));
  EXPECT_EQ(kindAndLine(2, "T[1]", "'B"), std::pair(K::kData, 16));
}

}  // namespace
}  // namespace ovrik
