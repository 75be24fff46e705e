#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "driver/driver.hpp"

namespace ovrik {

// The files of the platform the program is built for; files_posix.cpp and
// files_windows.cpp each implement it, and the build picks one.
class PlatformFiles final : public FileSystem {
 public:
  std::unique_ptr<SourceFile> openSource(const std::string& name) override;
  void writeListing(const std::string& name, std::string_view bytes) override;
  void removeListing(const std::string& name) override;
};

// Makes the standard streams carry bytes unchanged, so that every CR LF the
// dialogue writes reaches the console as CR LF, and every line feed of the
// command line stays one byte; called once before the run.
void prepareConsole();

}  // namespace ovrik
