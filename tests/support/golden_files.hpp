// What the golden tests share: the sources they run and whether they are asked
// to write their expected files anew.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

namespace ovrik::testing {

// OVRIK_UPDATE_GOLDEN=1 rewrites the expected files from what the program does.
inline bool updatingGoldenFiles() {
  const char* update = std::getenv("OVRIK_UPDATE_GOLDEN");
  return update != nullptr && std::string_view(update) == "1";
}

// The sources (NAME.txt) of a folder, in name order.
inline std::vector<std::filesystem::path> sourcesIn(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> sources;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".txt") sources.push_back(entry.path());
  }
  std::sort(sources.begin(), sources.end());
  return sources;
}

// Every golden case, then every example.
inline std::vector<std::filesystem::path> goldenCasesAndExamples() {
  std::vector<std::filesystem::path> cases =
      sourcesIn(std::filesystem::path(OVRIK_TESTS_DIR) / "golden" / "cases");
  for (const auto& example : sourcesIn(OVRIK_EXAMPLES_DIR)) cases.push_back(example);
  return cases;
}

}  // namespace ovrik::testing
