#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "tables/byte_stream.hpp"
#include "tables/tables.hpp"

namespace ovrik {

// The operations a file failure can come from, shown after "Runtime error <code> at 0x".
enum FileOperation : std::uint32_t {
  kOpenSource = 0x0040231AU,
  kReadSource = 0x00402365U,
  kCreateListing = 0x004023B0U,
  kWriteListing = 0x004023F7U,
  kCloseFile = 0x00402442U,
};

// An open source file; closing it can fail like any file operation.
class SourceFile : public ByteSource {
 public:
  virtual void close() = 0;
};

// The two files of a run, kept behind one seam so that the run itself works
// on bytes: the platform layer, a test or a fuzzer each provide their own.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens the source for reading; throws FileFailure.
  virtual std::unique_ptr<SourceFile> openSource(const std::string& name) = 0;
  // Creates or replaces the listing with exactly these bytes; throws FileFailure
  // and leaves no partial listing behind.
  virtual void writeListing(const std::string& name, std::string_view bytes) = 0;
  // Takes away an older listing of that name, if there is one and it is a
  // plain file; a failure to do so is not an error.
  virtual void removeListing(const std::string& name) = 0;
};

// What the dialogue writes before it reads a base name: its banner line and its prompt.
inline constexpr std::string_view kDialoguePrompt =
    "ovrik version 1.01 24 Apr 2009\r\nInput filename: ";

// The code a failure is reported with: Windows numbers 19 to 31 come out as
// 150 to 162, a sharing violation (32) as 5.
int reportedCode(int windowsNumber);

// The base name typed at the prompt: up to the line feed, without a CR just
// before it, cut at 255 bytes and at a NUL.
std::string readBaseName(std::istream& console);

// The whole run: dialogue, passes, listing. Returns the exit status.
int runAssembler(std::istream& console, std::ostream& output, FileSystem& files);

}  // namespace ovrik
