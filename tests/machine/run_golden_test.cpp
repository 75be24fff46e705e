// Every example runs as its comment says: the real program runs NAME.txt
// (assembled first) and the committed listing NAME.ovr with the input and the
// options of NAME.run, and both must give exactly what NAME.run expects:
//
//   args: --dump            options before the file, split at blanks
//   input: hi Q\n           standard input, with \n, \r, \\ and \xHH escapes
//   status: 0               the exit status
//   stdout: hi Q            the display of port 0, escaped the same way
//   stderr:                 the rest of the file: standard error
//
// OVRIK_UPDATE_GOLDEN=1 rewrites status, stdout and stderr from what the
// program does; read the difference before committing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/golden_files.hpp"
#include "support/program.hpp"

namespace ovrik {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::ScratchFolder;
using testing::updatingGoldenFiles;
using testing::writeFile;

struct Expectation {
  std::string args;
  std::string input;
  int status = 0;
  std::string output;
  std::string errors;
};

// In the input and the display, \n, \r and \\ stand for themselves and \xHH
// for any other byte that is no printable character.
std::string unescaped(const std::string& text) {
  std::string bytes;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char kind = text[at] == '\\' && at + 1 < text.size() ? text[++at] : '\0';
    if (kind == 'x' && at + 2 < text.size()) {
      bytes += static_cast<char>(std::stoi(text.substr(at + 1, 2), nullptr, 16));
      at += 2;
    } else {
      bytes += kind == 'n' ? '\n' : kind == 'r' ? '\r' : text[at];
    }
  }
  return bytes;
}

std::string escaped(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (const char c : bytes) {
    const auto code = static_cast<unsigned char>(c);
    if (c == '\n' || c == '\r' || c == '\\') {
      text += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\\\";
    } else if (code < 32 || code > 126) {
      text += std::string("\\x") + kHex[code / 16] + kHex[code % 16];
    } else {
      text += c;
    }
  }
  return text;
}

Expectation readExpectation(const fs::path& file) {
  Expectation expected;
  std::istringstream lines(readFile(file));
  for (std::string line; std::getline(lines, line);) {
    const std::size_t colon = line.find(": ");
    const std::string key = line.substr(0, line.find(':'));
    const std::string value = colon == std::string::npos ? "" : line.substr(colon + 2);
    if (key == "args") expected.args = value;
    if (key == "input") expected.input = unescaped(value);
    if (key == "status") expected.status = std::stoi(value);
    if (key == "stdout") expected.output = unescaped(value);
    if (key == "stderr") break;
  }
  expected.errors.assign(std::istreambuf_iterator<char>(lines), {});
  return expected;
}

void writeExpectation(const fs::path& file, const Expectation& expected) {
  writeFile(file, "args: " + expected.args + "\ninput: " + escaped(expected.input) +
                      "\nstatus: " + std::to_string(expected.status) +
                      "\nstdout: " + escaped(expected.output) + "\nstderr:\n" + expected.errors);
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream stream(text);
  for (std::string word; stream >> word;) result.push_back(word);
  return result;
}

testing::ProgramRun runExample(const fs::path& file, const Expectation& expected) {
  ScratchFolder folder;
  fs::copy_file(file, folder.path() / file.filename());
  std::vector<std::string> args = {"--run"};
  for (const std::string& word : words(expected.args)) args.push_back(word);
  args.push_back(file.filename().string());
  return testing::runCommandLine(folder.path(), args, expected.input);
}

std::vector<fs::path> examples() {
  std::vector<fs::path> sources;
  for (const auto& entry : fs::directory_iterator(OVRIK_EXAMPLES_DIR)) {
    if (entry.path().extension() == ".txt") sources.push_back(entry.path());
  }
  std::sort(sources.begin(), sources.end());
  return sources;
}

class RunGolden : public ::testing::TestWithParam<fs::path> {};

TEST_P(RunGolden, SourceAndListingRunAsExpected) {
  const fs::path source = GetParam();
  const fs::path expectationFile = fs::path(source).replace_extension(".run");
  ASSERT_TRUE(fs::exists(expectationFile)) << expectationFile << " is missing";
  Expectation expected = readExpectation(expectationFile);
  const testing::ProgramRun fromSource = runExample(source, expected);
  if (updatingGoldenFiles()) {
    expected.status = fromSource.status;
    expected.output = fromSource.output;
    expected.errors = fromSource.errors;
    writeExpectation(expectationFile, expected);
  }
  for (const fs::path& file : {source, fs::path(source).replace_extension(".ovr")}) {
    SCOPED_TRACE(file.filename().string());
    const testing::ProgramRun run = file == source ? fromSource : runExample(file, expected);
    EXPECT_EQ(escaped(run.output), escaped(expected.output));
    EXPECT_EQ(run.errors, expected.errors);
    EXPECT_EQ(run.status, expected.status);
  }
}

std::string exampleName(const ::testing::TestParamInfo<fs::path>& test) {
  return test.param.stem().string();
}

INSTANTIATE_TEST_SUITE_P(Examples, RunGolden, ::testing::ValuesIn(examples()), exampleName);

}  // namespace
}  // namespace ovrik
