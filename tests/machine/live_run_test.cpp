// ovrik --run talked to while it runs, as a person at a terminal or a script
// on pipes does: the real program, with Ctrl-C, Enter and answers given only
// once the program has asked.
#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include "support/live_program.hpp"

namespace ovrik {
namespace {

using testing::LiveProgram;
using testing::ScratchFolder;
using testing::writeFile;

// Asks with "?", reads keys up to a line feed, then writes "!" and halts.
constexpr const char* kAsk =
    "/0\n"
    "START,  TAD QUEST\n"
    "        LDB 0\n"
    "READ,   SKF 0\n"
    "        JMP READ\n"
    "        KRB 0\n"
    "        TAD MINUSNL\n"
    "        SZA\n"
    "        JMP READ\n"
    "        TAD BANG\n"
    "        LDB 0\n"
    "        HLT 0\n"
    "QUEST,  '?\n"
    "BANG,   '!\n"
    "MINUSNL, -10\n";

// Writes "go", then counts for ever.
constexpr const char* kLoop =
    "/0\n"
    "START,  TAD G\n"
    "        LDB 0\n"
    "        CLA\n"
    "        TAD O\n"
    "        LDB 0\n"
    "LOOP,   ISZ N\n"
    "        JMP LOOP\n"
    "        JMP LOOP\n"
    "G,      'g\n"
    "O,      'o\n"
    "N,      VAR\n";

// Shows every key until Q.
constexpr const char* kEcho =
    "/0\n"
    "START,  SKF 0\n"
    "        JMP START\n"
    "        KRB 0\n"
    "        LDB 0\n"
    "        TAD MINUSQ\n"
    "        SZA\n"
    "        JMP START\n"
    "        HLT 0\n"
    "MINUSQ, -81\n";

constexpr const char* kNoEnd = "100000000000000";

// The pipe tests run against the Windows build under Wine too (their suite's
// name starts with Program); a terminal there is Wine's console, which writes
// bytes of its own.
class ProgramDialogue : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(folder_ / "ask.txt", kAsk);
    writeFile(folder_ / "loop.txt", kLoop);
    writeFile(folder_ / "echo.txt", kEcho);
  }
  ScratchFolder folder_;
};

// A script that answers only what it has read: the program must show its
// question and wait for the answer without reading ahead of what it needs.
TEST_F(ProgramDialogue, AnswersOnlyAfterThePromptOnPipes) {
  LiveProgram program = LiveProgram::onPipes(folder_.path(), {"--run", "ask.txt"});
  ASSERT_TRUE(program.readUntil("?")) << "no prompt came: " << program.output();
  program.type("yes\n");
  EXPECT_EQ(program.finish(), 0);
  EXPECT_EQ(program.output(), "?!halted at 012 after 24 steps; AC 101\n");
}

TEST_F(ProgramDialogue, KillIntEndsAPipedRunInterrupted) {
  LiveProgram program =
      LiveProgram::onPipes(folder_.path(), {"--run", "--steps", kNoEnd, "loop.txt"});
  ASSERT_TRUE(program.readUntil("go")) << program.output();
  program.signal(SIGINT);
  EXPECT_EQ(program.finish(), 130);
  EXPECT_TRUE(program.output().starts_with("gointerrupted at 00")) << program.output();
}

bool inRunMode(const termios& mode) {
  return (mode.c_lflag & ECHO) == 0;
}

// Everything the run changes is as it was before.
void expectRestored(const termios& before, const termios& after) {
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_cc[VQUIT], before.c_cc[VQUIT]);
  EXPECT_EQ(after.c_cc[VSUSP], before.c_cc[VSUSP]);
}

void asIs(termios&) {}

struct StopCase {
  const char* name;
  const char* file;
  const char* typedFirst;  // typed, and read back, before the stop
  int signal;              // 0: Ctrl-C typed at the terminal
  int status;
  const char* outputStart;
};

void PrintTo(const StopCase& c, std::ostream* out) {
  *out << c.name;
}

class TerminalRun : public ProgramDialogue {};

class TerminalStop : public ProgramDialogue, public ::testing::WithParamInterface<StopCase> {};

TEST_P(TerminalStop, EndsTheRunAndRestoresTheTerminal) {
  const StopCase& c = GetParam();
  LiveProgram program =
      LiveProgram::onTerminal(folder_.path(), {"--run", "--steps", kNoEnd, c.file}, asIs);
  const termios before = program.mode();
  ASSERT_TRUE(program.waitForMode(inRunMode));
  if (*c.typedFirst != 0) {
    program.type(c.typedFirst);
    ASSERT_TRUE(program.readUntil(c.typedFirst)) << program.output();
  }
  if (c.signal == 0) {
    program.type("\x03");
  } else {
    program.signal(c.signal);
  }
  EXPECT_EQ(program.finish(), c.status);
  EXPECT_TRUE(program.output().starts_with(c.outputStart)) << program.output();
  expectRestored(before, program.mode());
}

const StopCase kStops[] = {
    {"CtrlCWhileComputing", "loop.txt", "", 0, 130, "go\r\ninterrupted at 00"},
    {"CtrlCWhileWaitingForAKey", "echo.txt", "a", 0, 130,
     "a\r\ninterrupted at 000 after 6 steps; AC 020\r\n"},
    {"KillIntWhileComputing", "loop.txt", "", SIGINT, 130, "go\r\ninterrupted at 00"},
    {"KillTermWhileWaiting", "echo.txt", "", SIGTERM, -1, ""},
};
INSTANTIATE_TEST_SUITE_P(Cases, TerminalStop, ::testing::ValuesIn(kStops),
                         [](const auto& test) { return std::string(test.param.name); });

// Enter gives a line feed even on a terminal set to pass the carriage return
// (as a program that crashed in raw mode leaves it): the program echoes it,
// and the terminal shows a line feed as CR LF.
TEST_F(TerminalRun, EnterGivesALineFeedAtTheTerminal) {
  const auto passCarriageReturn = [](termios& mode) {
    mode.c_iflag &= ~static_cast<tcflag_t>(ICRNL);
  };
  LiveProgram program =
      LiveProgram::onTerminal(folder_.path(), {"--run", "echo.txt"}, passCarriageReturn);
  ASSERT_TRUE(program.waitForMode(inRunMode));
  program.type("\rQ");
  EXPECT_EQ(program.finish(), 0);
  EXPECT_EQ(program.output(), "\r\nQ\r\nhalted at 007 after 12 steps; AC 000\r\n");
  EXPECT_EQ(program.mode().c_iflag & ICRNL, 0U);
}

}  // namespace
}  // namespace ovrik
