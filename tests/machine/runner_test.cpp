// ovrik --run in-process: its command line, where a program comes from, where
// the keys come from, and what it writes.
#include "driver/runner.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "driver/memory_files.hpp"

namespace ovrik {
namespace {

namespace fs = std::filesystem;

std::string example(const std::string& name) {
  std::ifstream file(fs::path(OVRIK_EXAMPLES_DIR) / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Keys and Ctrl-C as a test scripts them: "\x03" in a script is Ctrl-C, after
// which the run is interrupted; an empty script ends like a closed input.
class ScriptedKeys final : public KeySource, public Interruption {
 public:
  std::deque<std::string> waits;  // what each wait for a key gives
  std::deque<std::string> typed;  // what each look without waiting gives
  int waitsDone = 0;

  std::string waitForKeys() override {
    ++waitsDone;
    return take(waits);
  }
  std::string typedKeys() override { return take(typed); }
  bool requested() const override { return interrupted_; }

 private:
  std::string take(std::deque<std::string>& script) {
    if (script.empty()) return "";
    std::string keys = script.front();
    script.pop_front();
    if (keys == "\x03") {
      interrupted_ = true;
      return "";
    }
    return keys;
  }
  bool interrupted_ = false;
};

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome runWith(std::vector<std::string> args, MemoryFiles& files, const std::string& input = "",
                ScriptedKeys* keys = nullptr, bool atTerminal = false) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  Outcome outcome;
  const RunPlatform platform{keys, keys, atTerminal, atTerminal};
  outcome.status = runMachineCommand(args, Console{in, out, err}, files, platform);
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

MemoryFiles examples() {
  MemoryFiles files;
  for (const char* name : {"hello.ovr", "echo.ovr", "count.ovr"}) files.files[name] = example(name);
  return files;
}

struct UsageCase {
  std::string name;
  std::vector<std::string> args;
  std::string problem;
};

void PrintTo(const UsageCase& c, std::ostream* out) {
  *out << c.name;
}

class RunnerUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(RunnerUsage, IsRefusedWithStatus1) {
  MemoryFiles files = examples();
  const Outcome outcome = runWith(GetParam().args, files);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "");
  EXPECT_EQ(outcome.err,
            "ovrik: " + GetParam().problem +
                "\nusage: ovrik --run [--input TEXT] [--steps N] [--start ADDR] [--trace] "
                "[--dump] FILE\n");
}

const UsageCase kUsages[] = {
    {"NoFile", {}, "no file to run"},
    {"StepsWithoutValue", {"hello.ovr", "--steps"}, "--steps needs a value"},
    {"StepsNotANumber",
     {"--steps", "12x", "hello.ovr"},
     "--steps needs a number of steps in decimal, not '12x'"},
    {"StepsBeyond64Bits",
     {"--steps", "18446744073709551616", "hello.ovr"},
     "--steps needs a number of steps in decimal, not '18446744073709551616'"},
    {"StartNotInTheNotation",
     {"--start", "080", "hello.ovr"},
     "--start needs an address in the word notation (000 to 737), not '080'"},
    {"UnknownOption", {"--fast", "hello.ovr"}, "unknown option --fast"},
    {"TwoFiles", {"hello.ovr", "echo.ovr"}, "one file only: hello.ovr and echo.ovr"},
    {"AnOptionTwice", {"--steps", "5", "--steps", "6", "hello.ovr"}, "--steps is given twice"},
};
INSTANTIATE_TEST_SUITE_P(Cases, RunnerUsage, ::testing::ValuesIn(kUsages),
                         [](const auto& test) { return test.param.name; });

TEST(Runner, HelpPrintsTheRunsUsageAndRunsNothing) {
  MemoryFiles files = examples();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--help"}, {"--steps", "5", "hello.ovr", "--help"}}) {
    const Outcome outcome = runWith(args, files);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out.starts_with("usage: ovrik --run [--input TEXT]")) << outcome.out;
    EXPECT_NE(outcome.out.find("130 interrupted"), std::string::npos);
    EXPECT_EQ(outcome.err, "");
  }
  // The value of --input is a text, whatever it looks like.
  EXPECT_EQ(runWith({"--input", "--help", "hello.ovr"}, files).out, "HELLO");
}

// At a terminal the end line is not glued to a display that did not end its line.
TEST(Runner, EndLineStartsALineOfItsOwnAtATerminal) {
  MemoryFiles files = examples();
  files.files["nl.ovr"] =
      "/0\r\n000 START,      TAD NL           103\r\n001             LDS 0            622\r\n"
      "002             HLT 0            721\r\n003 NL,         10               012\r\n";
  ScriptedKeys keys;
  EXPECT_EQ(runWith({"hello.ovr"}, files, "", &keys, true).err,
            "\nhalted at 017 after 38 steps; AC 000\n");
  EXPECT_EQ(runWith({"hello.ovr"}, files, "", &keys, false).err,
            "halted at 017 after 38 steps; AC 000\n");
  EXPECT_EQ(runWith({"nl.ovr"}, files, "", &keys, true).err,
            "halted at 002 after 3 steps; AC 012\n");
}

TEST(Runner, DumpsTheMemoryAfterTheLastLine) {
  MemoryFiles files = examples();
  const Outcome outcome = runWith({"--dump", "count.ovr"}, files);
  std::string expected =
      "halted at 007 after 19 steps; AC 000\n"
      "0: 710 112 310 113 210 503 311 721 000 005 733 001 000 000 000 000\n";
  for (int page = 1; page < 16; ++page) {
    expected += std::to_string(page) + ":";
    for (int slot = 0; slot < 16; ++slot) expected += " 000";
    expected += "\n";
  }
  EXPECT_EQ(outcome.err, expected);
}

TEST(Runner, PortOneDisplayGoesToStandardErrorBeforeTheTraceLine) {
  MemoryFiles files;
  files.files["p.ovr"] =
      "/0\r\n000             CLA.IAC          711\r\n001             LDS 1            632\r\n"
      "002             HLT 0            721\r\n";
  const Outcome outcome = runWith({"--trace", "p.ovr"}, files);
  EXPECT_EQ(outcome.err,
            "000 711 CLA.IAC           line 2; AC 001\n"
            "\x01"
            "001 632 LDS 1             line 3; AC 001\n"
            "002 721 HLT 0             line 4; AC 001\n"
            "halted at 002 after 3 steps; AC 001\n");
}

TEST(Runner, TraceLeavesOutTheStatementOfAWordTheProgramChanged) {
  MemoryFiles files;
  files.files["p.ovr"] =
      "/0\r\n000             ISZ X            202\r\n001             NOP              700\r\n"
      "002 X,          NOP              700\r\n";
  const Outcome outcome = runWith({"--trace", "--steps", "3", "p.ovr"}, files);
  EXPECT_EQ(outcome.err,
            "000 202 ISZ X             line 2; AC 000\n"
            "001 700 NOP               line 3; AC 000\n"
            "002 701                   line -; AC 001\n"
            "step limit 3 reached at 003; AC 001\n");
}

TEST(Runner, LiveKeysComeOneWaitAtATime) {
  MemoryFiles files = examples();
  ScriptedKeys keys;
  keys.waits = {"h", "i", "Q"};
  const Outcome outcome = runWith({"echo.ovr"}, files, "", &keys);
  EXPECT_EQ(outcome.out, "hiQ");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(keys.waitsDone, 3);
}

TEST(Runner, CtrlCWhileWaitingEndsTheRunInterrupted) {
  MemoryFiles files = examples();
  ScriptedKeys keys;
  keys.waits = {"a", "\x03"};
  const Outcome outcome = runWith({"echo.ovr"}, files, "", &keys);
  EXPECT_EQ(outcome.out, "a");
  EXPECT_EQ(outcome.err, "interrupted at 010 after 13 steps; AC 000\n");
  EXPECT_EQ(outcome.status, 130);
}

// Writes ! for ever; the run is stopped between two slices of steps, whole
// steps done, and reports as any end does.
TEST(Runner, CtrlCWhileComputingEndsTheRunInterruptedWithDisplayAndDump) {
  MemoryFiles files;
  files.files["loop.ovr"] =
      "/0\r\n000 START,      TAD BANG         103\r\n001             LDS 0            622\r\n"
      "002             JMP START        500\r\n003 BANG,       '!               101\r\n";
  ScriptedKeys keys;
  keys.typed = {"", "\x03"};
  const Outcome outcome = runWith({"--dump", "--steps", "100000000", "loop.ovr"}, files, "", &keys);
  EXPECT_EQ(outcome.out.size(), 65536U / 3);
  EXPECT_TRUE(outcome.err.starts_with("interrupted at 001 after 65536 steps; AC 026\n0: 103 622 "))
      << outcome.err;
  EXPECT_EQ(outcome.status, 130);
}

TEST(Runner, InputOptionLeavesTheTerminalAlone) {
  MemoryFiles files = examples();
  ScriptedKeys keys;
  keys.waits = {"Q"};
  const Outcome outcome = runWith({"--input", "ab", "echo.ovr"}, files, "", &keys);
  EXPECT_EQ(outcome.out, "ab");
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(keys.waitsDone, 0);
}

// Endless input, such as `yes | ovrik --run ...`, is read only as far as the program gets.
class EndlessBytes final : public std::streambuf {
 public:
  EndlessBytes() { std::fill(std::begin(buffer_), std::end(buffer_), 'y'); }
  std::size_t given = 0;

 protected:
  int_type underflow() override {
    setg(buffer_, buffer_, buffer_ + sizeof buffer_);
    given += sizeof buffer_;
    return traits_type::to_int_type('y');
  }

 private:
  char buffer_[1024];
};

TEST(Runner, EndlessStandardInputIsReadAsFarAsItIsUsed) {
  MemoryFiles files = examples();
  EndlessBytes bytes;
  std::istream in(&bytes);
  std::ostringstream out;
  std::ostringstream err;
  const std::vector<std::string> args = {"--steps", "200000", "echo.ovr"};
  EXPECT_EQ(runMachineCommand(args, Console{in, out, err}, files, RunPlatform{}), 3);
  EXPECT_LT(bytes.given, 300'000U);
  EXPECT_EQ(out.str().size(), 200'000U / 12 + 1);  // echo takes 12 steps a key
}

struct RefusedCase {
  std::string name;
  std::string file;
  std::string bytes;  // the file's bytes; none for a missing file
  std::string err;
};

void PrintTo(const RefusedCase& c, std::ostream* out) {
  *out << c.name;
}

class RunnerRefuses : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RunnerRefuses, WithStatus1AndNoRun) {
  const RefusedCase& c = GetParam();
  MemoryFiles files;
  if (!c.bytes.empty()) files.files[c.file] = c.bytes;
  const Outcome outcome = runWith({c.file}, files);
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.out, "");
  // the assembler's warnings may come first
  EXPECT_TRUE(outcome.err.ends_with(c.err)) << outcome.err;
}

const RefusedCase kRefusals[] = {
    {"ListingWithAWordWithoutValue", "p.ovr",
     "/0\r\n000 START,      HLT 0            721\r\n001 T,          #12              12\r\n",
     "p.ovr:3: error: word 001 (#12) has no value (code \"12\"), so the program is not run\n"},
    {"SourceWithAWordWithoutValue", "p.txt", "/0\nSTART, TAD X\n HLT 0\nX, #999\n",
     "p.txt:4: error: word 002 (#999) has no value (code \"999\"), so the program is not run\n"},
    {"ListingTooLong", "big.ovr", std::string(2 << 20, '/'),
     "big.ovr: error: too long to be a listing\n"},
    {"SourceWithoutWords", "p.txt", "/ nothing but a comment\n",
     "p.txt: error: the program has no words, so there is nothing to run\n"},
    {"SourceWithAnEmptyPage", "p.txt", "/0\n",
     "p.txt: error: the program has no words, so there is nothing to run\n"},
    {"ListingWithoutWords", "p.ovr", "/0\r\n",
     "p.ovr: error: the program has no words, so there is nothing to run\n"},
};
INSTANTIATE_TEST_SUITE_P(Cases, RunnerRefuses, ::testing::ValuesIn(kRefusals),
                         [](const auto& test) { return test.param.name; });

TEST(Runner, NamesASourceGivenWithoutTxtAsTheAssemblerDoes) {
  MemoryFiles files;
  files.files["p.txt"] = "/0\nSTART, TAD X\n HLT 0\nX, #999\n";
  const Outcome outcome = runWith({"p"}, files);
  EXPECT_TRUE(
      outcome.err.ends_with("\np.txt:4: error: word 002 (#999) has no value (code "
                            "\"999\"), so the program is not run\n"))
      << outcome.err;
}

TEST(Runner, ASourceIsAssembledAndItsListingWritten) {
  MemoryFiles files;
  files.files["p.txt"] = "/0\nSTART, CLA.IAC\n LDS 0\n HLT 0\n";
  const Outcome outcome = runWith({"p.txt"}, files);
  EXPECT_EQ(outcome.out, "\x01");
  EXPECT_EQ(outcome.err, "halted at 002 after 3 steps; AC 001\n");
  EXPECT_EQ(outcome.status, 0);
  EXPECT_TRUE(files.files.contains("p.ovr"));
}

}  // namespace
}  // namespace ovrik
