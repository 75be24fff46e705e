// The runs the guide shows are the runner's: every fenced block of
// docs/language.md that begins with "$ ovrik --run" is run on the source block
// before it (saved as prog.txt), and must print exactly the lines under the
// command, standard output and standard error as a terminal mixes them. A
// command ending in ">/dev/null" shows standard error alone.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/memory_files.hpp"
#include "driver/runner.hpp"

namespace ovrik {
namespace {

constexpr std::string_view kPrompt = "$ ovrik --run ";
constexpr std::string_view kDiscardOutput = " >/dev/null";

struct ShownRun {
  int line = 0;  // of the command in the guide
  std::string source;
  std::vector<std::string> args;
  bool outputShown = true;
  std::string expected;
};

void PrintTo(const ShownRun& run, std::ostream* out) {
  *out << "language.md:" << run.line;
}

std::vector<std::string> linesOfTheGuide() {
  std::ifstream file(std::filesystem::path(OVRIK_DOCS_DIR) / "language.md", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

ShownRun shownRun(std::string command, int line, const std::string& source) {
  ShownRun run{line, source, {}, true, ""};
  if (command.ends_with(kDiscardOutput)) {
    command.resize(command.size() - kDiscardOutput.size());
    run.outputShown = false;
  }
  std::istringstream words(command.substr(kPrompt.size()));
  for (std::string word; words >> word;) run.args.push_back(word);
  return run;
}

std::vector<ShownRun> runsOfTheGuide() {
  const std::vector<std::string> lines = linesOfTheGuide();
  std::vector<ShownRun> runs;
  std::string source;
  for (std::size_t at = 0; at < lines.size(); ++at) {
    if (!lines[at].starts_with("```")) continue;
    const std::string kind = lines[at].substr(3);
    std::string text;
    std::optional<ShownRun> run;
    for (++at; at < lines.size() && lines[at] != "```"; ++at) {
      if (kind == "text" && lines[at].starts_with(kPrompt)) {
        if (run) runs.push_back(*run);
        run = shownRun(lines[at], static_cast<int>(at + 1), source);
      } else if (run) {
        run->expected += lines[at] + "\n";
      }
      text += lines[at] + "\n";
    }
    if (run) runs.push_back(*run);
    if (kind == "ovrik-source") source = text;
  }
  return runs;
}

class GuideRun : public ::testing::TestWithParam<ShownRun> {};

TEST_P(GuideRun, PrintsWhatTheGuideShows) {
  const ShownRun& shown = GetParam();
  MemoryFiles files;
  files.files["prog.txt"] = shown.source;
  std::istringstream in;
  std::ostringstream terminal;
  std::ostringstream discarded;
  const Console console{in, shown.outputShown ? terminal : discarded, terminal};
  const RunPlatform atTerminal{.outputAtTerminal = shown.outputShown, .errorsAtTerminal = true};
  runMachineCommand(shown.args, console, files, atTerminal);
  EXPECT_EQ(terminal.str(), shown.expected);
}

TEST(GuideRuns, AreFound) {
  EXPECT_GE(runsOfTheGuide().size(), 2U);
}

INSTANTIATE_TEST_SUITE_P(Guide, GuideRun, ::testing::ValuesIn(runsOfTheGuide()),
                         [](const auto& test) {
                           return "line_" + std::to_string(test.param.line);
                         });

}  // namespace
}  // namespace ovrik
