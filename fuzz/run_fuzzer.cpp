// One whole run of the assembler, in-process, on arbitrary bytes as the source.
// Beyond crashes and the sanitizers' findings, a run is a fault when it does not
// end in exactly one of a listing or one known "Error:" line, when its listing
// breaks the listing's shape, when the same source gives other bytes a second
// time, or when a source whose read fails halfway is not reported as such.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>

#include "driver/driver.hpp"
#include "driver/memory_files.hpp"
#include "support/banner.hpp"
#include "support/listing_shape.hpp"

namespace {

constexpr std::string_view kSourceName = "fuzz.txt";
constexpr std::string_view kListingName = "fuzz.ovr";
constexpr int kReadFault = 30;  // reported as 161
constexpr std::string_view kReadFailureLine = "Runtime error 161 at 0x00402365\r\n";
constexpr char kCtrlZ = 26;

struct Outcome {
  int status = -1;
  std::string console;  // what came after the banner and the prompt
  std::map<std::string, std::string> files;

  bool operator==(const Outcome&) const = default;
  bool listed() const { return files.count(std::string(kListingName)) == 1; }
};

[[noreturn]] void fault(std::string_view what, const std::string& detail) {
  std::fprintf(stderr, "ovrik_fuzzer: %.*s\n%s\n", static_cast<int>(what.size()), what.data(),
               detail.c_str());
  std::abort();
}

Outcome runOn(std::string_view source, std::optional<std::size_t> readFailsAfter) {
  ovrik::MemoryFiles files;
  files.files[std::string(kSourceName)] = std::string(source);
  if (readFailsAfter) files.sourceReadFailure = {{*readFailsAfter, kReadFault}};
  std::istringstream console("fuzz\n");
  std::ostringstream output;
  const int status = ovrik::runAssembler(console, output, files);
  const std::string written = output.str();
  if (!written.starts_with(ovrik::testing::kBanner)) fault("banner and prompt missing", written);
  return {status, written.substr(ovrik::testing::kBanner.size()), std::move(files.files)};
}

// Every message a pass can stop with, as one line. Pages and slots are 0 to
// 15; a block that overflows page 15 names the page 16 that memory lacks.
bool isErrorLine(const std::string& console) {
  static const std::string kNumber = "([0-9]|1[0-5])";
  static const std::string kNextPage = "([1-9]|1[0-6])";
  static const std::string kAny = "[\\s\\S]*";
  static const std::regex kMessages(
      "Error: (Word count exceeded in page " + kNumber +
      "\\.|Too many (variables|constants|data lines)\\.|No place for a jump in page " + kNumber +
      "\\.|(Array|Table) " + kAny + " can't continue into page " + kNextPage +
      "\\.|No variable or constant for " + kAny + " in page " + kNumber +
      "\\.|No label found for " + kAny + "|Address not found for " + kAny + "\\.|IOT port " + kAny +
      " is not valid\\.|Instruction [^ ]* is not valid in page " + kNumber + " line " + kNumber +
      "\\.|Label " + kAny + " clashes with a name the assembler makes in page " + kNumber +
      "\\.)\r\n");
  const bool oneLine = console.find("\r\n") + 2 == console.size();
  return oneLine && std::regex_match(console, kMessages);
}

// The messages of the source reader, which stops before it has read the whole source.
bool isReadingError(const std::string& console) {
  return console.starts_with("Error: Word count exceeded") ||
         console.starts_with("Error: Too many");
}

void checkWholeRun(const Outcome& run) {
  if (run.status != 0) fault("exit status not 0", std::to_string(run.status));
  if (run.files.size() != (run.listed() ? 2U : 1U)) fault("a file besides the listing", "");
  if (run.console.empty()) {
    if (!run.listed()) fault("neither listing nor error line", "");
    const std::string shape =
        ovrik::testing::listingShapeFault(run.files.at(std::string(kListingName)));
    if (!shape.empty()) fault("listing out of shape", shape);
    return;
  }
  if (run.listed()) fault("listing written beside an error line", run.console);
  if (!isErrorLine(run.console)) fault("not one known error line", run.console);
}

// A Ctrl-Z at a line start ends the source: nothing after it is ever read.
bool endsBefore(std::string_view source, std::size_t limit) {
  for (std::size_t at = 0; at < limit && at < source.size(); ++at) {
    const bool lineStart =
        at == 0 || source[at - 1] == '\n' || (source[at - 1] == '\r' && source[at] != '\n');
    if (lineStart && source[at] == kCtrlZ) return true;
  }
  return false;
}

// A read that fails ends the run with its runtime error and no listing, unless
// the source ended before the failure or the reader stopped on an earlier line.
void checkFailingRead(std::string_view source, const Outcome& whole) {
  const std::size_t half = source.size() / 2;
  const Outcome run = runOn(source, half);
  if (endsBefore(source, half)) {
    if (run != whole) fault("source ended by Ctrl-Z read differently", run.console);
    return;
  }
  const bool stoppedEarlier = isReadingError(whole.console) && run.console == whole.console;
  if (stoppedEarlier && run.status == 0 && !run.listed()) return;
  if (run.status != 161 || run.console != kReadFailureLine || run.listed()) {
    fault("failing read not reported", std::to_string(run.status) + " " + run.console);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view source(reinterpret_cast<const char*>(data), size);
  const Outcome whole = runOn(source, std::nullopt);
  checkWholeRun(whole);
  if (runOn(source, std::nullopt) != whole) fault("a second run gave other bytes", whole.console);
  checkFailingRead(source, whole);
  return 0;
}
