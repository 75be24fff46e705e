// ovrik --run as a user runs it: the real program, files on disk, bytes on
// the standard streams. These also run against the Windows build under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/program.hpp"

namespace ovrik {
namespace {

using testing::ProgramRun;
using testing::runCommandLine;
using testing::ScratchFolder;
using testing::writeFile;

// Reads every key and shows it, until the input ends.
constexpr const char* kEchoAll =
    "/0\r\n"
    "000 START,      SKF 0            601\r\n"
    "001             JMP START        500\r\n"
    "002             KRB 0            606\r\n"
    "003             LDS 0            622\r\n"
    "004             JMP START        500\r\n";

TEST(ProgramRun, HelloPrintsHello) {
  ScratchFolder folder;
  std::filesystem::copy_file(std::filesystem::path(OVRIK_EXAMPLES_DIR) / "hello.txt",
                             folder / "hello.txt");
  const ProgramRun run = runCommandLine(folder.path(), {"--run", "hello.txt"});
  EXPECT_EQ(run.output, "HELLO");
  EXPECT_EQ(run.errors, "halted at 017 after 38 steps; AC 000\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(std::filesystem::exists(folder / "hello.ovr"));
}

// Line ends, Ctrl-Z and bytes above 127 go in and out unchanged on every system.
TEST(ProgramRun, KeysAndDisplayCarryEveryByte) {
  ScratchFolder folder;
  writeFile(folder / "echo.ovr", kEchoAll);
  const std::string bytes("a\r\nb\n\x1a\xff\x00z", 9);
  const ProgramRun run = runCommandLine(folder.path(), {"--run", "echo.ovr"}, bytes);
  EXPECT_EQ(run.output, bytes);
  EXPECT_EQ(run.errors, "waiting for input at 000 after 36 steps; AC 332\n");
  EXPECT_EQ(run.status, 2);
}

struct StatusCase {
  std::string name;
  std::vector<std::string> args;
  int status;
  std::string errorsStart;
};

void PrintTo(const StatusCase& c, std::ostream* out) {
  *out << c.name;
}

class ProgramRunStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(ProgramRunStatus, TellsHowTheRunEnded) {
  ScratchFolder folder;
  writeFile(folder / "echo.ovr", kEchoAll);
  writeFile(folder / "bad.txt", "/0\nSTART, CLA\n FOO\n");
  writeFile(folder / "bad.ovr", "/0\r\n001             HLT 0            721\r\n");
  const ProgramRun run = runCommandLine(folder.path(), GetParam().args, "ab");
  EXPECT_EQ(run.status, GetParam().status);
  EXPECT_TRUE(run.errors.starts_with(GetParam().errorsStart)) << run.errors;
}

const StatusCase kStatuses[] = {
    {"WaitingForInput", {"--run", "echo.ovr"}, 2, "waiting for input at 000 after 8 steps"},
    {"StepLimit", {"--run", "--steps", "3", "echo.ovr"}, 3, "step limit 3 reached at 004"},
    {"InputOption", {"--run", "--input", "xyz", "echo.ovr"}, 2, "waiting for input at 000"},
    {"Traced",
     {"--run", "--trace", "--steps", "1", "echo.ovr"},
     3,
     "000 601 SKF 0             line 2; AC 000\nstep limit 1 reached at 002"},
    {"StartsWhereItIsTold",
     {"--run", "--start", "003", "echo.ovr"},
     2,
     "waiting for input at 000 after 10 steps"},
    {"UsageError", {"--run", "--fast", "echo.ovr"}, 1, "ovrik: unknown option --fast\nusage:"},
    {"MissingFile", {"--run", "absent.ovr"}, 1, "absent.ovr: error: the listing cannot be read"},
    {"RefusedListing", {"--run", "bad.ovr"}, 1, "bad.ovr:2: error: address 001 out of order"},
    {"SourceWithAnError", {"--run", "bad.txt"}, 1, "bad.txt:3: error: "},
};
INSTANTIATE_TEST_SUITE_P(ProgramRun, ProgramRunStatus, ::testing::ValuesIn(kStatuses),
                         [](const auto& test) { return test.param.name; });

}  // namespace
}  // namespace ovrik
