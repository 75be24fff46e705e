// Whole runs of the real program against committed results. A case is a
// source NAME.txt with its expected listing NAME.ovr (none when the run must
// leave no listing) and, when the console shows more than the banner and the
// prompt, its expected console bytes NAME.console; when the command line
// reports anything, its expected standard error NAME.stderr. Adding a case is
// adding files.
//
// OVRIK_UPDATE_GOLDEN=1 rewrites the expected files from what the program does;
// read the difference before committing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "assemble/assemble_source.hpp"
#include "support/golden_files.hpp"
#include "support/listing_shape.hpp"
#include "support/program.hpp"

namespace ovrik {
namespace {

namespace fs = std::filesystem;
using testing::goldenCasesAndExamples;
using testing::kBanner;
using testing::readFile;
using testing::runProgram;
using testing::ScratchFolder;
using testing::updatingGoldenFiles;
using testing::writeFile;

void checkOrUpdate(const fs::path& expectedFile, const std::string& actual, bool expected) {
  if (updatingGoldenFiles()) {
    if (expected)
      writeFile(expectedFile, actual);
    else
      fs::remove(expectedFile);
    return;
  }
  if (!expected) {
    EXPECT_FALSE(fs::exists(expectedFile)) << expectedFile << " expected, but nothing came";
    return;
  }
  ASSERT_TRUE(fs::exists(expectedFile)) << expectedFile << " missing; the run gave:\n" << actual;
  EXPECT_EQ(actual, readFile(expectedFile)) << expectedFile;
}

class Golden : public ::testing::TestWithParam<fs::path> {};

TEST_P(Golden, ListingAndConsoleMatch) {
  const fs::path source = GetParam();
  const std::string base = source.stem().string();
  ScratchFolder folder;
  fs::copy_file(source, folder.path() / source.filename());
  const testing::ProgramRun run = runProgram(folder.path(), base + "\n");

  const fs::path listing = folder / (base + ".ovr");
  const bool listed = fs::exists(listing);
  const std::string listingBytes = listed ? readFile(listing) : "";
  checkOrUpdate(fs::path(source).replace_extension(".ovr"), listingBytes, listed);
  EXPECT_EQ(testing::listingShapeFault(listingBytes), "");
  const bool plainConsole = run.output == kBanner;
  checkOrUpdate(fs::path(source).replace_extension(".console"), run.output, !plainConsole);
  // a run that ends in an error line never leaves a listing, and a listing never comes with one
  EXPECT_EQ(listed, plainConsole) << run.output;
  EXPECT_EQ(run.status, 0);
}

// The command line writes the dialogue's listing, or none, and says on which
// source line each error and warning is.
TEST_P(Golden, CommandLineWritesTheSameListingAndNamesTheLine) {
  const fs::path source = GetParam();
  const std::string base = source.stem().string();
  ScratchFolder folder;
  fs::copy_file(source, folder.path() / source.filename());
  const testing::ProgramRun run =
      testing::runCommandLine(folder.path(), {"-q", source.filename().string()});

  const fs::path listing = folder / (base + ".ovr");
  const bool listed = fs::exists(listing);
  if (!updatingGoldenFiles()) {
    const fs::path expected = fs::path(source).replace_extension(".ovr");
    EXPECT_EQ(listed, fs::exists(expected));
    if (listed && fs::exists(expected)) {
      EXPECT_EQ(readFile(listing), readFile(expected));
    }
  }
  checkOrUpdate(fs::path(source).replace_extension(".stderr"), run.errors, !run.errors.empty());
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.status, listed ? 0 : 1);
}

// The entry every front end calls gives those same bytes in memory, and the
// command line's diagnostics with their lines, from one run of the passes.
TEST_P(Golden, AssemblyInMemoryGivesTheSameBytesAndDiagnostics) {
  if (updatingGoldenFiles()) GTEST_SKIP() << "the program's runs write the expected files";
  const fs::path source = GetParam();
  const Assembly assembly = assembleSource(readFile(source));
  const fs::path listing = fs::path(source).replace_extension(".ovr");
  EXPECT_EQ(assembly.listing.has_value(), fs::exists(listing));
  EXPECT_EQ(assembly.ok, fs::exists(listing));
  if (assembly.listing && fs::exists(listing)) {
    EXPECT_EQ(*assembly.listing, readFile(listing));
  }
  const fs::path console = fs::path(source).replace_extension(".console");
  const std::string banner(kBanner);
  EXPECT_EQ(banner + assembly.console, fs::exists(console) ? readFile(console) : banner);
  std::string diagnostics;
  for (const Diagnostic& diagnostic : assembly.diagnostics) {
    diagnostics += source.filename().string() + ":";
    if (diagnostic.line > 0) diagnostics += std::to_string(diagnostic.line) + ":";
    diagnostics += diagnostic.severity == Severity::kWarning ? " warning: "
                   : diagnostic.severity == Severity::kNote  ? " note: "
                                                             : " error: ";
    diagnostics += diagnostic.message + "\n";
  }
  const fs::path errors = fs::path(source).replace_extension(".stderr");
  EXPECT_EQ(diagnostics, fs::exists(errors) ? readFile(errors) : "");
}

std::string caseName(const ::testing::TestParamInfo<fs::path>& info) {
  std::string name =
      info.param.parent_path().filename().string() + "_" + info.param.stem().string();
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
      '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(goldenCasesAndExamples()), caseName);

}  // namespace
}  // namespace ovrik
