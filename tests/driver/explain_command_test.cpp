// `ovrik --explain` and `ovrik --json` where the golden cases do not reach:
// -W, files that fail, a stale listing, bytes beyond ASCII, the usage.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "driver/memory_files.hpp"
#include "support/explain_checks.hpp"

namespace ovrik {
namespace {

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
  std::optional<std::string> listing;
};

// A source whose only doubt is a label defined twice.
constexpr std::string_view kWarned = "/0\nX, CLA\nX, HLT 0\n";

Outcome run(const std::vector<std::string>& args, std::optional<std::string_view> source,
            bool listingFails = false) {
  MemoryFiles files;
  if (source) files.files["prog.txt"] = std::string(*source);
  files.files["prog.ovr"] = "an older listing";
  if (listingFails) files.listingWriteFailure = 112;
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  Outcome outcome;
  outcome.status = runCommandLine(args, {in, out, err}, files);
  outcome.out = out.str();
  outcome.err = err.str();
  if (files.files.contains("prog.ovr")) outcome.listing = files.files["prog.ovr"];
  return outcome;
}

struct Row {
  const char* what;
  std::vector<std::string> args;
  std::optional<std::string_view> source;
  bool listingFails;
  int status;
  std::string diagnostics;  // the JSON's, or standard error's for --explain
};

void PrintTo(const Row& row, std::ostream* out) {
  *out << row.what;
}

class ReportCommand : public ::testing::TestWithParam<Row> {};

std::string reported(const nlohmann::json& report) {
  std::string lines;
  for (const nlohmann::json& diagnostic : report["diagnostics"]) {
    lines += diagnostic["line"].dump() + " " + diagnostic["severity"].get<std::string>() + ": " +
             diagnostic["message"].get<std::string>() + "\n";
  }
  return lines;
}

TEST_P(ReportCommand, ExitsAndReportsAsTheAssemblingCommandLine) {
  const Row& row = GetParam();
  const Outcome outcome = run(row.args, row.source, row.listingFails);
  EXPECT_EQ(outcome.status, row.status);
  // A source that fails leaves no listing, not even an older one.
  EXPECT_EQ(outcome.listing.has_value(), row.status == 0);
  if (std::find(row.args.begin(), row.args.end(), "--explain") != row.args.end()) {
    EXPECT_EQ(outcome.err, row.diagnostics);
    if (row.status != 0) {
      EXPECT_EQ(outcome.out, "");
    }
    return;
  }
  EXPECT_EQ(outcome.err, "");
  const nlohmann::json report = nlohmann::json::parse(outcome.out);
  EXPECT_EQ(report["ok"], row.status == 0);
  EXPECT_EQ(reported(report), row.diagnostics);
  EXPECT_EQ(report["words"].size(), 256U);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReportCommand,
    ::testing::Values(
        Row{"a warning",
            {"--json", "prog"},
            kWarned,
            false,
            0,
            "3 warning: label X is defined twice in page 0; the one on line 2 is used\n"},
        Row{"a warning with -W",
            {"--json", "-W", "prog"},
            kWarned,
            false,
            1,
            "3 error: label X is defined twice in page 0; the one on line 2 is used [-W]\n"},
        Row{"a warning with -W, explained",
            {"-W", "--explain", "prog.txt"},
            kWarned,
            false,
            1,
            "prog.txt:3: error: label X is defined twice in page 0; the one on line 2 is used "
            "[-W]\n"},
        Row{"an error",
            {"--json", "prog"},
            "/0\nTAD NOWHERE\n",
            false,
            1,
            "2 error: No label found for NOWHEREA\n"
            "2 note: no word of page 0, variable or constant is labelled NOWHERE, so the "
            "assembler took NOWHERE for a label of another page and made NOWHEREA to hold its "
            "address; no page has a word labelled NOWHERE either, and no line declares it\n"},
        Row{"no source",
            {"--json", "prog"},
            std::nullopt,
            false,
            1,
            "null error: cannot open: no such file\n"},
        Row{"no source, explained",
            {"--explain", "prog"},
            std::nullopt,
            false,
            1,
            "prog.txt: error: cannot open: no such file\n"},
        Row{"a disk that is full",
            {"--json", "prog"},
            "/0\nHLT 0\n",
            true,
            1,
            "null error: cannot write prog.ovr: the disk is full\n"}));

TEST(ReportCommand, TakesOneSourceAtATime) {
  const Outcome outcome = run({"--explain", "prog", "other"}, "/0\nHLT 0\n");
  EXPECT_EQ(outcome.status, 2);
  EXPECT_EQ(outcome.out, "");
  EXPECT_TRUE(outcome.err.starts_with("ovrik: one source file at a time")) << outcome.err;
}

// Every byte of a label comes back from the JSON as it was, whatever its value.
TEST(ReportCommand, JsonKeepsEveryByteOfTheSource) {
  const std::string label = "N\xE9\xFF\x01";
  const Outcome outcome = run({"--json", "prog"}, "/0\n" + label + ", HLT 0 / caf\xE9\n");
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  const nlohmann::json word = nlohmann::json::parse(outcome.out)["words"][0];
  EXPECT_EQ(testing::bytesOf(word["label"]), label);
  EXPECT_EQ(testing::listingLineOf(word) + "\r\n", outcome.listing->substr(4));
}

}  // namespace
}  // namespace ovrik
