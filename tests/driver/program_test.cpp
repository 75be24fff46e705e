// The real program, run as a user runs it: typed base name, files on disk.
#include "support/program.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

namespace ovrik {
namespace {

using testing::kBanner;
using testing::readFile;
using testing::runProgram;
using testing::ScratchFolder;
using testing::writeFile;

// What the program wrote after the banner and the prompt.
std::string afterPrompt(const std::string& console) {
  EXPECT_TRUE(console.starts_with(kBanner)) << console;
  return console.substr(std::min(console.size(), kBanner.size()));
}

void expectRuntimeError(const testing::ProgramRun& run, int code) {
  const std::string expected = "Runtime error " + std::to_string(code) + " at 0x[0-9A-F]{8}\r\n";
  EXPECT_TRUE(std::regex_match(afterPrompt(run.output), std::regex(expected))) << run.output;
  EXPECT_EQ(run.status, code);
}

TEST(Program, AssemblesASourceIntoItsListing) {
  ScratchFolder folder;
  writeFile(folder / "prog.txt", "/0\r\nSTART, HLT 0 / stop\r\n");
  const auto run = runProgram(folder.path(), "prog\r\n");
  EXPECT_EQ(run.output, kBanner);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(readFile(folder / "prog.ovr").starts_with("/0\r\n000 START,      HLT 0 "));
}

TEST(Program, MissingSourceGivesCode2AndNoListing) {
  ScratchFolder folder;
  expectRuntimeError(runProgram(folder.path(), "absent\n"), 2);
  EXPECT_FALSE(std::filesystem::exists(folder / "absent.ovr"));
}

TEST(Program, SourceInAMissingFolderGivesCode3) {
  ScratchFolder folder;
  expectRuntimeError(runProgram(folder.path(), "nowhere/prog\n"), 3);
  writeFile(folder / "plain", "not a folder");
  expectRuntimeError(runProgram(folder.path(), "plain/prog\n"), 3);
}

TEST(Program, FolderInPlaceOfTheSourceGivesCode5) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder / "prog.txt");
  expectRuntimeError(runProgram(folder.path(), "prog\n"), 5);
  EXPECT_FALSE(std::filesystem::exists(folder / "prog.ovr"));
}

TEST(Program, FolderInPlaceOfTheListingGivesCode5) {
  ScratchFolder folder;
  writeFile(folder / "prog.txt", "/0\nHLT 0\n");
  std::filesystem::create_directory(folder / "prog.ovr");
  expectRuntimeError(runProgram(folder.path(), "prog\n"), 5);
  EXPECT_TRUE(std::filesystem::is_directory(folder / "prog.ovr"));
}

TEST(Program, FullDiskWhileWritingTheListingGivesCode112) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  ScratchFolder folder;
  writeFile(folder / "prog.txt", "/0\nHLT 0\n");
  std::filesystem::create_symlink("/dev/full", folder / "prog.ovr");
  expectRuntimeError(runProgram(folder.path(), "prog\n"), 112);
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "prog.ovr"));
}

TEST(Program, ErrorStopLeavesAnOldListingByteForByte) {
  ScratchFolder folder;
  std::string source = "/4\n";
  for (int i = 0; i < 17; ++i) source += "CLA\n";
  writeFile(folder / "prog.txt", source);
  const std::string old("old listing\r\n\0\xff", 15);
  writeFile(folder / "prog.ovr", old);
  const auto run = runProgram(folder.path(), "prog\n");
  EXPECT_EQ(afterPrompt(run.output), "Error: Word count exceeded in page 4.\r\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(readFile(folder / "prog.ovr"), old);
}

TEST(Program, ErrorStopCreatesNoListing) {
  ScratchFolder folder;
  std::string source = "/4\n";
  for (int i = 0; i < 17; ++i) source += "CLA\n";
  writeFile(folder / "prog.txt", source);
  EXPECT_EQ(runProgram(folder.path(), "prog\n").status, 0);
  EXPECT_FALSE(std::filesystem::exists(folder / "prog.ovr"));
}

TEST(Program, ListingIsReplacedNotAppended) {
  ScratchFolder folder;
  writeFile(folder / "prog.txt", "");
  writeFile(folder / "prog.ovr", "an older and longer listing");
  EXPECT_EQ(runProgram(folder.path(), "prog\n").status, 0);
  EXPECT_EQ(readFile(folder / "prog.ovr"), "");
}

TEST(Program, NoInputAtAllOpensDotTxt) {
  ScratchFolder folder;
  writeFile(folder / ".txt", "/0\nHLT 0\n");
  const auto run = runProgram(folder.path(), "");
  EXPECT_EQ(run.output, kBanner);
  EXPECT_TRUE(std::filesystem::exists(folder / ".ovr"));
}

TEST(Program, NameCutSoThatListingAndSourceAgreeGivesCode5AndKeepsTheSource) {
  ScratchFolder folder;
  // 254 typed bytes: both names are cut to the base and the "." after it. Windows
  // drops a trailing dot from a file name, so there the source opened is the bare base.
  const std::string base(254, 'p');
  for (const std::string& name : {base + ".", base}) writeFile(folder / name, "/0\nHLT 0\n");
  expectRuntimeError(runProgram(folder.path(), base + "\n"), 5);
  for (const std::string& name : {base + ".", base}) {
    EXPECT_EQ(readFile(folder / name), "/0\nHLT 0\n") << name.size();
  }
}

TEST(Program, CtrlZAtThePromptIsPartOfTheNameNotTheEndOfInput) {
  ScratchFolder folder;
  writeFile(folder / "ab.txt", "/0\nHLT 0\n");
  const auto run = runProgram(folder.path(), std::string("ab") + '\x1a' + "cd\n");
  EXPECT_NE(run.status, 0) << run.output;
  EXPECT_FALSE(std::filesystem::exists(folder / "ab.ovr"));
}

}  // namespace
}  // namespace ovrik
