// The real program, run as a user runs it: typed base name, files on disk.
#include "support/program.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "driver/driver.hpp"

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

std::string runtimeErrorLine(int code, FileOperation operation) {
  char location[9];
  std::snprintf(location, sizeof location, "%08X", static_cast<unsigned>(operation));
  return "Runtime error " + std::to_string(code) + " at 0x" + location + "\r\n";
}

// The one line a file failure ends the run with. Where systems fail a fault at
// different steps (Windows refuses to open a folder, POSIX to read it), each
// step it may come from is given.
void expectRuntimeError(const testing::ProgramRun& run, int code,
                        std::initializer_list<FileOperation> operations) {
  const std::string line = afterPrompt(run.output);
  bool matched = false;
  for (FileOperation operation : operations) matched |= line == runtimeErrorLine(code, operation);
  EXPECT_TRUE(matched) << run.output;
  EXPECT_EQ(run.status, code);
}

// Started through a launcher the program runs under another system, whose
// devices and system files are not these.
bool runsNatively() {
  const char* launcher = std::getenv("OVRIK_LAUNCHER");
  return launcher == nullptr || *launcher == '\0';
}

const std::string kOldListing("an older listing\r\n\0\xff", 21);

TEST(Program, AssemblesASourceIntoItsListing) {
  ScratchFolder folder;
  writeFile(folder / "prog.txt", "/0\r\nSTART, HLT 0 / stop\r\n");
  const auto run = runProgram(folder.path(), "prog\r\n");
  EXPECT_EQ(run.output, kBanner);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(readFile(folder / "prog.ovr").starts_with("/0\r\n000 START,      HLT 0 "));
}

TEST(Program, MissingSourceGivesCode2AndCreatesOrChangesNoListing) {
  ScratchFolder folder;
  expectRuntimeError(runProgram(folder.path(), "absent\n"), 2, {kOpenSource});
  EXPECT_FALSE(std::filesystem::exists(folder / "absent.ovr"));
  writeFile(folder / "absent.ovr", kOldListing);
  expectRuntimeError(runProgram(folder.path(), "absent\n"), 2, {kOpenSource});
  EXPECT_EQ(readFile(folder / "absent.ovr"), kOldListing);
}

TEST(Program, SourceInAMissingFolderGivesCode3) {
  ScratchFolder folder;
  expectRuntimeError(runProgram(folder.path(), "nowhere/prog\n"), 3, {kOpenSource});
  writeFile(folder / "plain", "not a folder");
  expectRuntimeError(runProgram(folder.path(), "plain/prog\n"), 3, {kOpenSource});
  EXPECT_FALSE(std::filesystem::exists(folder / "nowhere"));
}

TEST(Program, FolderInPlaceOfTheSourceGivesCode5AndLeavesTheOldListing) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder / "prog.txt");
  writeFile(folder / "prog.ovr", kOldListing);
  expectRuntimeError(runProgram(folder.path(), "prog\n"), 5, {kOpenSource, kReadSource});
  EXPECT_EQ(readFile(folder / "prog.ovr"), kOldListing);
}

TEST(Program, SourceWhoseReadFailsGivesCode161AndLeavesTheOldListing) {
  if (!runsNatively() || !std::filesystem::exists("/proc/self/mem")) {
    GTEST_SKIP() << "needs a Linux file whose first read fails";
  }
  ScratchFolder folder;
  // opens like any file, but its first bytes belong to no mapping, so reading them fails
  std::filesystem::create_symlink("/proc/self/mem", folder / "prog.txt");
  writeFile(folder / "prog.ovr", kOldListing);
  expectRuntimeError(runProgram(folder.path(), "prog\n"), 161, {kReadSource});
  EXPECT_EQ(readFile(folder / "prog.ovr"), kOldListing);
}

TEST(Program, FolderInPlaceOfTheListingGivesCode5) {
  ScratchFolder folder;
  writeFile(folder / "prog.txt", "/0\nHLT 0\n");
  std::filesystem::create_directory(folder / "prog.ovr");
  expectRuntimeError(runProgram(folder.path(), "prog\n"), 5, {kCreateListing});
  EXPECT_TRUE(std::filesystem::is_directory(folder / "prog.ovr"));
  EXPECT_TRUE(std::filesystem::is_empty(folder / "prog.ovr"));
}

TEST(Program, FullDiskWhileWritingTheListingGivesCode112) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  ScratchFolder folder;
  writeFile(folder / "prog.txt", "/0\nHLT 0\n");
  std::filesystem::create_symlink("/dev/full", folder / "prog.ovr");
  expectRuntimeError(runProgram(folder.path(), "prog\n"), 112, {kWriteListing});
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "prog.ovr"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                          std::filesystem::directory_iterator()),
            2);
}

// The write fails after part of the listing is on disk: that part is removed
// rather than left to pass for a listing.
TEST(Program, ListingWriteFailingPartwayLeavesNoListing) {
  if (!runsNatively()) GTEST_SKIP() << "needs a file size limit of this system";
  ScratchFolder folder;
  std::string source = "/0\n";
  for (int i = 0; i < 16; ++i) source += "CLA / a comment that makes the listing long\n";
  writeFile(folder / "prog.txt", source);
  writeFile(folder / "prog.ovr", kOldListing);
  const auto run = runProgram(folder.path(), "prog\n", 200);
  expectRuntimeError(run, 160, {kWriteListing});
  EXPECT_FALSE(std::filesystem::exists(folder / "prog.ovr"));
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
  expectRuntimeError(runProgram(folder.path(), base + "\n"), 5, {kCreateListing});
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

// ---- The command line ----

using testing::runCommandLine;

const std::string kGood = "/0\nSTART, CLA\n HLT 0\n";
const std::string kBad = "/0\nSTART, CLA\n TAX\n";
const std::string kWarned = "/0\nSTART,\tCLA\n HLT 0\n";  // "\tCLA" is no mnemonic
const std::string kWarnedOnly = "/0\nX, VAR\nX, VAR\n TAD X\n HLT 0\n";

TEST(ProgramCommandLine, AssemblesEachFileBesideItAndSaysWhatItWrote) {
  ScratchFolder folder;
  std::filesystem::create_directory(folder / "lab");
  writeFile(folder / "lab" / "one.txt", kGood);
  writeFile(folder / "two.txt", kGood);
  const auto run = runCommandLine(folder.path(), {"lab/one", "two.txt"});
  EXPECT_EQ(run.output,
            "lab/one.txt -> lab/one.ovr: 1 page, 2 words\ntwo.txt -> two.ovr: 1 page, 2 words\n");
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(readFile(folder / "lab" / "one.ovr"), readFile(folder / "two.ovr"));
  EXPECT_TRUE(readFile(folder / "two.ovr").starts_with("/0\r\n000 START,      CLA "));
  EXPECT_EQ(runCommandLine(folder.path(), {"-q", "two"}).output, "");
}

TEST(ProgramCommandLine, AFailedSourceLeavesNoListingNotEvenAnOldOne) {
  ScratchFolder folder;
  writeFile(folder / "bad.txt", kBad);
  writeFile(folder / "bad.ovr", kOldListing);
  writeFile(folder / "good.txt", kGood);
  const auto run = runCommandLine(folder.path(), {"bad", "good", "absent"});
  EXPECT_EQ(run.errors,
            "bad.txt:3: error: Instruction TAX is not valid in page 0 line 1.\n"
            "bad.txt:3: note: in \"page 0 line 1\", line 1 is the word's place in its page, "
            "counted from 0 (address 001); the source line is 3\n"
            "bad.txt:3: note: did you mean TAD?\n"
            "absent.txt: error: cannot open: no such file\n");
  EXPECT_EQ(run.output, "good.txt -> good.ovr: 1 page, 2 words\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(std::filesystem::exists(folder / "bad.ovr"));
  EXPECT_TRUE(std::filesystem::exists(folder / "good.ovr"));
}

TEST(ProgramCommandLine, WarningsGoToStandardErrorAndDashWMakesThemErrors) {
  ScratchFolder folder;
  writeFile(folder / "tab.txt", kWarned);
  writeFile(folder / "twice.txt", kWarnedOnly);
  auto run = runCommandLine(folder.path(), {"-q", "twice"});
  EXPECT_EQ(run.errors,
            "twice.txt:3: warning: label X is defined twice; the one on line 2 is used\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(std::filesystem::exists(folder / "twice.ovr"));

  run = runCommandLine(folder.path(), {"-W", "twice"});
  EXPECT_EQ(run.errors,
            "twice.txt:3: error: label X is defined twice; the one on line 2 is used [-W]\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(std::filesystem::exists(folder / "twice.ovr"));

  // a tab is shown as \t in the warning, and in the error that follows, which the dialogue
  // prints as it is
  run = runCommandLine(folder.path(), {"tab"});
  EXPECT_EQ(run.errors,
            "tab.txt:2: warning: the statement \"\\tCLA\" holds a tab, which is a character like "
            "any other, not a blank\n"
            "tab.txt:2: error: Instruction \\tCLA is not valid in page 0 line 0.\n"
            "tab.txt:2: note: in \"page 0 line 0\", line 0 is the word's place in its page, "
            "counted from 0 (address 000); the source line is 2\n"
            "tab.txt:2: note: a tab is no blank: part the label, the mnemonic and the operand "
            "with blanks\n");
}

TEST(ProgramCommandLine, UsageErrorsHelpAndVersion) {
  ScratchFolder folder;
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* outputStart;
    const char* errorsStart;
  };
  const Case cases[] = {
      {{"--version"}, 0, "ovrik " OVRIK_VERSION "\n", ""},
      {{"--help"}, 0, "usage: ovrik ", ""},
      {{"-x", "prog"}, 2, "", "ovrik: unknown option '-x'\n"},
      {{"-q"}, 2, "", "ovrik: no source file given\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front());
    const auto run = runCommandLine(folder.path(), c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_TRUE(run.output.starts_with(c.outputStart)) << run.output;
    EXPECT_TRUE(run.errors.starts_with(c.errorsStart)) << run.errors;
  }
  const std::string help = runCommandLine(folder.path(), {"--help"}).output;
  for (const char* option :
       {"-q", "-W", "--run", "--input", "--steps", "--start", "--trace", "--dump", "--version"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace ovrik
