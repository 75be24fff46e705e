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
  // When set, reading the source fails with this Windows number once `after`
  // bytes have been read: a disk that fails halfway through the file.
  struct ReadFailure {
    std::size_t after;
    int number;
  };
  std::optional<ReadFailure> sourceReadFailure;

  std::unique_ptr<SourceFile> openSource(const std::string& name) override {
    const auto found = files.find(name);
    if (found == files.end()) throw FileFailure{2, kOpenSource};
    return std::make_unique<Source>(found->second, sourceReadFailure);
  }

  void writeListing(const std::string& name, std::string_view bytes) override {
    if (listingWriteFailure) throw FileFailure{reportedCode(*listingWriteFailure), kWriteListing};
    files[name] = std::string(bytes);
  }

  void removeListing(const std::string& name) override { files.erase(name); }

 private:
  class Source final : public SourceFile {
   public:
    Source(std::string_view bytes, std::optional<ReadFailure> failure)
        : bytes_(bytes.substr(0, failure ? failure->after : bytes.size())), failure_(failure) {}

    std::size_t read(char* buffer, std::size_t size) override {
      const std::size_t count = bytes_.read(buffer, size);
      if (count == 0 && failure_) throw FileFailure{reportedCode(failure_->number), kReadSource};
      return count;
    }
    void close() override {}

   private:
    StringSource bytes_;
    std::optional<ReadFailure> failure_;
  };
};

}  // namespace ovrik
