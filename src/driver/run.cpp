// The console dialogue: the banner, the prompt, the base name typed at it,
// and the source it names assembled into its listing beside it.
#include <cstdio>
#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "assemble/assemble_source.hpp"
#include "driver/driver.hpp"
#include "tables/tables.hpp"

namespace ovrik {
namespace {

void writeLine(std::ostream& output, std::string_view line) {
  output << line << kLineEnd;
  output.flush();
}

std::string fileName(const std::string& baseName, std::string_view extension) {
  return LineText(baseName + std::string(extension)).str();
}

std::string runtimeErrorLine(const FileFailure& failure) {
  char location[9];
  std::snprintf(location, sizeof location, "%08X", static_cast<unsigned>(failure.location));
  return "Runtime error " + std::to_string(failure.code) + " at 0x" + location;
}

int assembleFile(const std::string& baseName, std::ostream& output, FileSystem& files) {
  const std::string sourceName = fileName(baseName, ".txt");
  const std::string listingName = fileName(baseName, ".ovr");
  const std::unique_ptr<SourceFile> source = files.openSource(sourceName);
  const Assembly assembly = assembleSource(*source);
  if (!assembly.ok) {
    output << assembly.console;
    output.flush();
    source->close();
    return 0;
  }
  // A name cut to 255 bytes can come out as the source's own name: never overwrite the source.
  if (listingName == sourceName) throw FileFailure{5, kCreateListing};
  files.writeListing(listingName, *assembly.listing);
  source->close();
  return 0;
}

}  // namespace

std::string readBaseName(std::istream& console) {
  std::string name;
  std::size_t length = 0;
  bool endsInCr = false;
  bool cutAtNul = false;
  int c = console.get();
  for (; c != std::char_traits<char>::eof() && c != '\n'; c = console.get()) {
    ++length;
    endsInCr = c == '\r';
    if (c == '\0') cutAtNul = true;
    if (!cutAtNul && name.size() < kLineLength) name.push_back(static_cast<char>(c));
  }
  // A CR just before the line feed belongs to the line end, not to the name; a
  // CR that the input ends with is part of it.
  if (c == '\n' && endsInCr && !cutAtNul && length <= kLineLength) name.pop_back();
  return name;
}

int runAssembler(std::istream& console, std::ostream& output, FileSystem& files) {
  output << kDialoguePrompt;
  output.flush();
  const std::string baseName = readBaseName(console);
  try {
    return assembleFile(baseName, output, files);
  } catch (const FileFailure& failure) {
    writeLine(output, runtimeErrorLine(failure));
    return failure.code;
  }
}

}  // namespace ovrik
