#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "driver/driver.hpp"

namespace ovrik {

// The files of the platform the program runs on.
class PosixFiles final : public FileSystem {
 public:
  std::unique_ptr<SourceFile> openSource(const std::string& name) override;
  void writeListing(const std::string& name, std::string_view bytes) override;
};

}  // namespace ovrik
