// The guide's section on exercises shows one exercise file, two students'
// programs, the report `ovrik --check` gives for them, and the error for a
// misspelt key. Each is checked here, so that the section never drifts from
// the program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/memory_files.hpp"

namespace ovrik {
namespace {

struct Block {
  std::string info;
  std::string text;
};

// The fenced blocks of the guide's section on exercises, in order.
std::vector<Block> sectionBlocks() {
  std::ifstream file(std::filesystem::path(OVRIK_DOCS_DIR) / "language.md", std::ios::binary);
  const std::string guide{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::istringstream section(guide.substr(guide.find("\n## 13. Exercises and grading")));
  std::vector<Block> blocks;
  for (std::string line; std::getline(section, line);) {
    if (!line.starts_with("```")) continue;
    Block block{line.substr(3), ""};
    while (std::getline(section, line) && line != "```") block.text += line + "\n";
    blocks.push_back(block);
  }
  return blocks;
}

struct Graded {
  int status = -1;
  std::string out;
  std::string err;
};

Graded runWith(const std::vector<std::string>& args, MemoryFiles& files) {
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  Graded run;
  run.status = runCommandLine(args, Console{in, out, err}, files);
  run.out = out.str();
  run.err = err.str();
  return run;
}

TEST(GuideExercise, GradesTheProgramsShownAsTheGuideSays) {
  const std::vector<Block> blocks = sectionBlocks();
  MemoryFiles files;
  std::vector<std::string> sources;
  const Block* report = nullptr;
  for (const Block& block : blocks) {
    if (block.info == "toml") files.files["add.toml"] = block.text;
    if (block.info == "text" && block.text.starts_with("/0\n")) sources.push_back(block.text);
    if (block.text.starts_with("$ ovrik --check add.toml alice.txt bob.txt\n")) report = &block;
  }
  ASSERT_EQ(sources.size(), 2U);
  ASSERT_NE(report, nullptr);
  files.files["alice.txt"] = sources[0];
  files.files["bob.txt"] = sources[1];
  const Graded run = runWith({"--check", "add.toml", "alice.txt", "bob.txt"}, files);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ("$ ovrik --check add.toml alice.txt bob.txt\n" + run.out, report->text);
}

TEST(GuideExercise, ShowsTheErrorOfAMisspeltKey) {
  const std::vector<Block> blocks = sectionBlocks();
  MemoryFiles files;
  std::string shown;
  for (const Block& block : blocks) {
    if (block.info == "toml") files.files["add.toml"] = block.text;
    if (block.text.starts_with("add.toml:")) shown = block.text;
  }
  std::string& exercise = files.files["add.toml"];
  exercise.replace(exercise.find("expect"), 6, "expcet");
  files.files["alice.txt"] = "/0\n";
  const Graded run = runWith({"--check", "add.toml", "alice.txt"}, files);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, shown);
}

}  // namespace
}  // namespace ovrik
