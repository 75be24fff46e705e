#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "driver/driver.hpp"
#include "tables/tables.hpp"

namespace ovrik {

// Files held in memory, so that a whole run can go in-process: in tests, in
// the fuzzer and in the benchmarks. A missing source fails as on disk.
class MemoryFiles final : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  // When set, writing the listing fails with this Windows number (a full disk, say).
  std::optional<int> listingWriteFailure;

  std::unique_ptr<SourceFile> openSource(const std::string& name) override {
    const auto found = files.find(name);
    if (found == files.end()) throw FileFailure{2, kOpenSource};
    return std::make_unique<Source>(found->second);
  }

  void writeListing(const std::string& name, std::string_view bytes) override {
    if (listingWriteFailure) throw FileFailure{reportedCode(*listingWriteFailure), kWriteListing};
    files[name] = std::string(bytes);
  }

 private:
  class Source final : public SourceFile {
   public:
    explicit Source(std::string_view bytes) : bytes_(bytes) {}
    std::size_t read(char* buffer, std::size_t size) override { return bytes_.read(buffer, size); }
    void close() override {}

   private:
    StringSource bytes_;
  };
};

}  // namespace ovrik
