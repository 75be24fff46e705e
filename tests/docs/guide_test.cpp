// The guide docs/language.md and README.md show sources together with what the
// assembler gives for them, in marked fenced blocks:
//
//   ```ovrik-source    a source file, saved as prog.txt
//   ```ovrik-listing   the listing prog.ovr of the source block just before it
//   ```ovrik-console   the lines the run of the source block just before it
//                      prints after the prompt; with no source block before
//                      it, the run of a source file that does not exist
//   ```ovrik-stderr    what `ovrik -q prog.txt` writes to standard error for
//                      the last source block before it, which may also
//                      have shown its listing or console
//
// Every pair is assembled here, in-process, and must give exactly what the
// document shows, so that the documents never drift from the program. The
// blocks show plain line ends; the program's lines must all end in CR LF.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/driver.hpp"
#include "driver/memory_files.hpp"
#include "support/banner.hpp"

namespace ovrik {
namespace {

using testing::kBanner;

namespace fs = std::filesystem;

constexpr std::string_view kMarker = "ovrik-";

struct Block {
  std::string kind;  // "source", "listing", "console", or any other info text
  std::string text;  // the lines of the block, each ended by a line feed
  int line = 0;      // the line of the opening fence
};

struct Example {
  std::string document;
  int line = 0;                       // the line of the result block
  std::optional<std::string> source;  // none: the source file does not exist
  std::string kind;                   // "listing", "console" or "stderr"
  std::string expected;
};

// How a failing example is named in the test output.
void PrintTo(const Example& example, std::ostream* out) {
  *out << example.document << ":" << example.line;
}

const fs::path kDocs = OVRIK_DOCS_DIR;
const std::vector<fs::path> kDocuments = {kDocs / "language.md", kDocs / ".." / "README.md"};

std::string readText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// The fenced blocks of a markdown text, marked or not, in order.
std::vector<Block> fencedBlocks(const std::string& text) {
  std::vector<Block> blocks;
  const std::vector<std::string> lines = linesOf(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!lines[i].starts_with("```")) continue;
    Block block{lines[i].substr(3), "", static_cast<int>(i + 1)};
    for (++i; i < lines.size() && lines[i] != "```"; ++i) block.text += lines[i] + "\n";
    blocks.push_back(block);
  }
  return blocks;
}

// The examples of one document; a block that pairs with nothing is a problem.
std::vector<Example> examplesOf(const fs::path& document, std::vector<std::string>& problems) {
  const std::string name = document.filename().string();
  std::vector<Example> examples;
  std::optional<Block> source;
  std::optional<Block> lastSource;  // the one a command line's block is about
  for (const Block& block : fencedBlocks(readText(document))) {
    if (!block.kind.starts_with(kMarker)) continue;
    const std::string kind = block.kind.substr(kMarker.size());
    const std::string where = name + ":" + std::to_string(block.line);
    if (kind == "source") {
      if (source) problems.push_back(where + ": the source before it shows no result");
      source = lastSource = block;
    } else if (kind == "explain") {
      continue;  // what --explain prints for an example: layout_guide_test.cpp
    } else if (kind == "stderr" && !lastSource) {
      problems.push_back(where + ": a command line's output without a source before it");
    } else if (kind == "stderr") {
      examples.push_back({name, block.line, lastSource->text, kind, block.text});
      source.reset();
    } else if (kind == "listing" && !source) {
      problems.push_back(where + ": a listing without a source before it");
    } else if (kind == "listing" || kind == "console") {
      std::optional<std::string> text;
      if (source) text = source->text;
      examples.push_back({name, block.line, text, kind, block.text});
      source.reset();
    } else {
      problems.push_back(where + ": unknown block " + block.kind);
    }
  }
  if (source) problems.push_back(name + ":" + std::to_string(source->line) + ": no result");
  return examples;
}

std::vector<Example> allExamples() {
  std::vector<Example> examples;
  std::vector<std::string> ignored;
  for (const fs::path& document : kDocuments) {
    for (const Example& example : examplesOf(document, ignored)) examples.push_back(example);
  }
  return examples;
}

std::string withPlainLineEnds(std::string text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) plain += text[i];
  }
  return plain;
}

bool everyLineEndsInCrLf(const std::string& text) {
  if (!text.empty() && !text.ends_with("\r\n")) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
  }
  return true;
}

struct Outcome {
  std::string afterPrompt;             // what the run printed after the banner and the prompt
  std::optional<std::string> listing;  // prog.ovr, when the run wrote it
  int status = -1;
};

Outcome assemble(const std::optional<std::string>& source) {
  MemoryFiles files;
  if (source) files.files["prog.txt"] = *source;
  std::istringstream console("prog\n");
  std::ostringstream output;
  Outcome outcome;
  outcome.status = runAssembler(console, output, files);
  const std::string printed = output.str();
  EXPECT_TRUE(printed.starts_with(kBanner)) << printed;
  outcome.afterPrompt = printed.substr(std::min(kBanner.size(), printed.size()));
  if (const auto found = files.files.find("prog.ovr"); found != files.files.end()) {
    outcome.listing = found->second;
  }
  return outcome;
}

// The exit status a console block stands for: the code of a "Runtime error" line, else 0.
int statusShownBy(const std::string& console) {
  std::smatch code;
  if (std::regex_search(console, code, std::regex("^Runtime error ([0-9]+) "))) {
    return std::stoi(code[1]);
  }
  return 0;
}

// What the command line writes to standard error for prog.txt.
std::string commandLineErrors(const std::string& source) {
  MemoryFiles files;
  files.files["prog.txt"] = source;
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  const std::vector<std::string> args = {"-q", "prog.txt"};
  runCommandLine(args, Console{in, out, err}, files);
  return err.str();
}

class Guide : public ::testing::TestWithParam<Example> {};

TEST_P(Guide, ProgramGivesWhatTheDocumentShows) {
  const Example& example = GetParam();
  if (example.kind == "stderr") {
    EXPECT_EQ(commandLineErrors(example.source.value_or("")), example.expected);
    return;
  }
  const Outcome outcome = assemble(example.source);
  if (example.kind == "listing") {
    ASSERT_TRUE(outcome.listing.has_value())
        << "no listing; the run printed " << outcome.afterPrompt;
    EXPECT_EQ(outcome.afterPrompt, "");
    EXPECT_TRUE(everyLineEndsInCrLf(*outcome.listing));
    EXPECT_EQ(withPlainLineEnds(*outcome.listing), example.expected);
    EXPECT_EQ(outcome.status, 0);
    return;
  }
  EXPECT_FALSE(outcome.listing.has_value()) << "a listing was written:\n" << *outcome.listing;
  EXPECT_TRUE(everyLineEndsInCrLf(outcome.afterPrompt));
  EXPECT_EQ(withPlainLineEnds(outcome.afterPrompt), example.expected);
  EXPECT_EQ(outcome.status, statusShownBy(example.expected));
}

std::string exampleName(const ::testing::TestParamInfo<Example>& info) {
  std::string name = info.param.document + "_line_" + std::to_string(info.param.line);
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
      '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Documents, Guide, ::testing::ValuesIn(allExamples()), exampleName);

TEST(GuideBlocks, EverySourcePairsWithItsResult) {
  std::vector<std::string> problems;
  std::size_t examples = 0;
  for (const fs::path& document : kDocuments) {
    ASSERT_TRUE(fs::exists(document)) << document;
    examples += examplesOf(document, problems).size();
  }
  for (const std::string& problem : problems) ADD_FAILURE() << problem;
  EXPECT_GE(examples, 20u) << "the marked blocks were not found";
}

// The "Error:" messages the program can print, as the string literals that
// begin them in the program's sources.
std::set<std::string> messagesInTheProgram() {
  std::set<std::string> messages;
  const std::regex literal("\"(Error: [^\"]+)\"");
  for (const auto& entry : fs::recursive_directory_iterator(kDocs / ".." / "src")) {
    if (!entry.is_regular_file()) continue;
    const std::string text = readText(entry.path());
    for (std::sregex_iterator it(text.begin(), text.end(), literal), end; it != end; ++it) {
      messages.insert((*it)[1]);
    }
  }
  return messages;
}

TEST(GuideBlocks, GuideExplainsEveryMessageOfTheProgram) {
  const std::string guide = readText(kDocs / "language.md");
  const std::set<std::string> messages = messagesInTheProgram();
  EXPECT_GE(messages.size(), 10u);
  for (const std::string& message : messages) {
    EXPECT_NE(guide.find(message), std::string::npos) << "the guide never shows " << message;
  }
  EXPECT_NE(guide.find("can't continue into page "), std::string::npos);
  EXPECT_NE(guide.find("Runtime error "), std::string::npos);
}

}  // namespace
}  // namespace ovrik
