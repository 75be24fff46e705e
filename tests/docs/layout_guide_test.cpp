// The guide's "Reading the layout" quotes what `ovrik --explain` prints for
// examples/layout.txt: its ```ovrik-explain blocks, one after the other, must
// be that text exactly, and the source shown before them must be the example
// itself, so that neither can drift from the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "assemble/assemble_source.hpp"
#include "assemble/explain.hpp"
#include "driver/explain_command.hpp"

namespace ovrik {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

struct Quoted {
  std::string explanation;  // the ovrik-explain blocks, joined
  std::string source;       // the last ovrik-source block before the first of them
  int blocks = 0;
};

Quoted quotedInTheGuide() {
  std::istringstream guide(readText(fs::path(OVRIK_DOCS_DIR) / "language.md"));
  Quoted quoted;
  std::string kind;
  std::string text;
  for (std::string line; std::getline(guide, line);) {
    if (kind.empty() && line.starts_with("```")) {
      kind = line.substr(3);
      text.clear();
    } else if (!kind.empty() && line == "```") {
      if (kind == "ovrik-explain") {
        quoted.explanation += text;
        ++quoted.blocks;
      } else if (kind == "ovrik-source" && quoted.blocks == 0) {
        quoted.source = text;
      }
      kind.clear();
    } else if (!kind.empty()) {
      text += line + "\n";
    }
  }
  return quoted;
}

TEST(LayoutGuide, QuotesWhatExplainPrintsForTheExample) {
  const std::string example = readText(fs::path(OVRIK_EXAMPLES_DIR) / "layout.txt");
  const Assembly assembly = assembleSource(example);
  ASSERT_TRUE(assembly.ok) << assembly.console;
  const Quoted quoted = quotedInTheGuide();
  EXPECT_EQ(quoted.blocks, 3) << "one block a page";
  EXPECT_EQ(quoted.source, example);
  EXPECT_EQ(quoted.explanation, explanationText(*assembly.state, explainAssembly(*assembly.state)));
}

}  // namespace
}  // namespace ovrik
