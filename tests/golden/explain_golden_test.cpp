// `ovrik --explain` and `ovrik --json` on every golden case and example, run as
// the real program. NAME.explain holds what --explain prints for a source that
// assembles (none is kept for one that does not: it prints nothing). The JSON
// must say what the listing, NAME.explain and NAME.stderr say, word for word;
// for the examples it must also be NAME.json, which is kept one word a line
// and compared as JSON.
//
// OVRIK_UPDATE_GOLDEN=1 rewrites NAME.explain and NAME.json from what the
// program does; read the difference before committing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "assemble/assemble.hpp"
#include "support/golden_files.hpp"
#include "support/program.hpp"
#include "tables/byte_stream.hpp"
#include "tables/word_notation.hpp"

namespace ovrik {
namespace {

namespace fs = std::filesystem;
using testing::goldenCasesAndExamples;
using testing::updatingGoldenFiles;
using Json = nlohmann::json;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

bool isExample(const fs::path& source) {
  return source.parent_path() == fs::path(OVRIK_EXAMPLES_DIR);
}

std::string expected(const fs::path& source, const char* extension) {
  const fs::path file = fs::path(source).replace_extension(extension);
  return fs::exists(file) ? readFile(file) : "";
}

struct CommandRun {
  testing::ProgramRun program;
  std::optional<std::string> listing;
};

CommandRun runWith(const fs::path& source, const std::string& option) {
  ScratchFolder folder;
  fs::copy_file(source, folder.path() / source.filename());
  CommandRun run{testing::runCommandLine(folder.path(), {option, source.filename().string()}), {}};
  const fs::path listing = folder / (source.stem().string() + ".ovr");
  if (fs::exists(listing)) run.listing = readFile(listing);
  return run;
}

// The lines of a text, each without its line end (CR LF or LF).
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (line.ends_with('\r')) line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// The word lines of a listing or an explanation, by their address.
std::map<int, std::string> wordLines(const std::string& text) {
  std::map<int, std::string> lines;
  for (const std::string& line : linesOf(text)) {
    if (line.starts_with("/")) continue;
    lines[wordValue(std::string_view(line).substr(0, 3))] = line;
  }
  return lines;
}

class ExplainGolden : public ::testing::TestWithParam<fs::path> {};

TEST_P(ExplainGolden, ExplainAssemblesAsTheCommandLineDoesAndSaysWhy) {
  const fs::path source = GetParam();
  const CommandRun run = runWith(source, "--explain");
  const fs::path explanation = fs::path(source).replace_extension(".explain");
  const bool listed = run.listing.has_value();
  EXPECT_EQ(listed, fs::exists(fs::path(source).replace_extension(".ovr")));
  if (listed) {
    EXPECT_EQ(*run.listing, expected(source, ".ovr"));
  }
  EXPECT_EQ(run.program.errors, expected(source, ".stderr"));
  EXPECT_EQ(run.program.status, listed ? 0 : 1);
  if (!listed) {
    EXPECT_EQ(run.program.output, "");
    EXPECT_FALSE(fs::exists(explanation)) << explanation << " kept for a source that fails";
    return;
  }
  if (updatingGoldenFiles()) writeFile(explanation, run.program.output);
  EXPECT_EQ(run.program.output, expected(source, ".explain"));
  // One line a word, for exactly the words the listing shows.
  std::vector<int> listedAddresses;
  std::vector<int> explainedAddresses;
  for (const auto& [address, line] : wordLines(*run.listing)) listedAddresses.push_back(address);
  for (const auto& [address, line] : wordLines(run.program.output)) {
    explainedAddresses.push_back(address);
  }
  EXPECT_EQ(explainedAddresses, listedAddresses);
}

// JSON strings hold one character per byte of the source.
std::string bytesOf(const Json& text) {
  std::string bytes;
  const std::string utf8 = text.get<std::string>();
  for (std::size_t at = 0; at < utf8.size(); ++at) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    if (lead < 0x80) {
      bytes += static_cast<char>(lead);
    } else {
      const auto next = static_cast<unsigned char>(utf8[++at]);
      bytes += static_cast<char>(((lead & 0x03U) << 6U) | (next & 0x3FU));
    }
  }
  return bytes;
}

// The listing line the listing writer makes of a word's JSON.
std::string listingLine(const Json& word) {
  LineRecord record;
  record.label = bytesOf(word["label"]);
  record.body = bytesOf(word["statement"]);
  record.code = bytesOf(word["code"]);
  record.comment = bytesOf(word["comment"]);
  StringSink line;
  line.write(wordText(word["address"].get<std::int16_t>()) + " ");
  writeListingLine(record, line);
  return linesOf(line.bytes()).front();
}

std::string explanationLine(const Json& word) {
  return wordText(word["address"].get<std::int16_t>()) + " " + bytesOf(word["kind"]) + " " +
         bytesOf(word["statement"]) + " -- " + bytesOf(word["why"]);
}

std::string diagnosticsAsReported(const Json& report, const std::string& file) {
  std::string lines;
  for (const Json& diagnostic : report["diagnostics"]) {
    const std::string line =
        diagnostic["line"].is_null() ? "" : std::to_string(diagnostic["line"].get<int>()) + ":";
    lines += file + ":" + line + " " + bytesOf(diagnostic["severity"]) + ": " +
             bytesOf(diagnostic["message"]) + "\n";
  }
  return lines;
}

// The examples' JSON is kept one word a line, so that a change shows as the
// words it changed.
std::string oneWordALine(const Json& report) {
  std::string text = "{\"ok\": " + report["ok"].dump() +
                     ",\n \"diagnostics\": " + report["diagnostics"].dump() + ",\n \"words\": [\n";
  const Json& words = report["words"];
  for (std::size_t i = 0; i < words.size(); ++i) {
    text += "  " + words[i].dump() + (i + 1 < words.size() ? ",\n" : "\n");
  }
  return text + "]}\n";
}

TEST_P(ExplainGolden, JsonSaysWhatTheListingTheExplanationAndTheDiagnosticsSay) {
  const fs::path source = GetParam();
  const CommandRun run = runWith(source, "--json");
  const bool listed = run.listing.has_value();
  EXPECT_EQ(run.program.errors, "");
  EXPECT_EQ(run.program.status, listed ? 0 : 1);
  if (listed) {
    EXPECT_EQ(*run.listing, expected(source, ".ovr"));
  }
  ASSERT_TRUE(run.program.output.ends_with("}\n"));
  const Json report = Json::parse(run.program.output);
  EXPECT_EQ(report["ok"], listed);
  EXPECT_EQ(diagnosticsAsReported(report, source.filename().string()), expected(source, ".stderr"));

  const std::map<int, std::string> listing = wordLines(run.listing.value_or(""));
  const std::map<int, std::string> explained = wordLines(expected(source, ".explain"));
  ASSERT_EQ(report["words"].size(), 256U);
  for (int address = 0; address < 256; ++address) {
    const Json& word = report["words"][static_cast<std::size_t>(address)];
    SCOPED_TRACE(wordText(static_cast<std::int16_t>(address)));
    EXPECT_EQ(word["address"], address);
    EXPECT_EQ(word["listed"], listing.contains(address));
    if (!listing.contains(address)) {
      EXPECT_TRUE(word["kind"].is_null() && word["value"].is_null());
      continue;
    }
    EXPECT_EQ(listingLine(word), listing.at(address));
    EXPECT_EQ(explanationLine(word), explained.at(address));
    const int value = wordValue(bytesOf(word["code"]));
    EXPECT_EQ(word["value"], value >= 0 ? Json(value) : Json(nullptr));
  }
  if (!isExample(source)) return;
  const fs::path golden = fs::path(source).replace_extension(".json");
  if (updatingGoldenFiles()) writeFile(golden, oneWordALine(report));
  ASSERT_TRUE(fs::exists(golden)) << golden;
  EXPECT_EQ(report, Json::parse(readFile(golden)));
}

std::string caseName(const ::testing::TestParamInfo<fs::path>& info) {
  std::string name =
      info.param.parent_path().filename().string() + "_" + info.param.stem().string();
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
      '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, ExplainGolden, ::testing::ValuesIn(goldenCasesAndExamples()),
                         caseName);

}  // namespace
}  // namespace ovrik
