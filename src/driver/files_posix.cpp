// The file layer on POSIX systems: the two files of a run and the Windows
// numbers their failures are reported with.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <string_view>

#include "driver/driver.hpp"
#include "driver/files.hpp"
#include "tables/tables.hpp"

namespace ovrik {
namespace {

constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kReadFault = 30;
constexpr int kWriteFault = 29;
constexpr int kDiskFull = 112;
constexpr int kNameTooLong = 206;

bool folderOfExists(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  if (slash == std::string::npos) return true;
  const std::string folder = slash == 0 ? "/" : name.substr(0, slash);
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The Windows number for an errno; otherNumber is what any other failure gives.
int windowsNumber(int error, const std::string& name, int otherNumber) {
  switch (error) {
    case ENOENT:
      return folderOfExists(name) ? kFileNotFound : kPathNotFound;
    case ENOTDIR:
      return kPathNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return kAccessDenied;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case ENAMETOOLONG:
      return kNameTooLong;
    case ENOSPC:
    case EDQUOT:
      return kDiskFull;
    default:
      return otherNumber;
  }
}

[[noreturn]] void fail(int error, const std::string& name, int otherNumber,
                       FileOperation operation) {
  throw FileFailure{reportedCode(windowsNumber(error, name, otherNumber)), operation};
}

class PosixSource final : public SourceFile {
 public:
  PosixSource(int descriptor, std::string name) : descriptor_(descriptor), name_(std::move(name)) {}
  ~PosixSource() override {
    if (descriptor_ >= 0) ::close(descriptor_);
  }
  PosixSource(const PosixSource&) = delete;
  PosixSource& operator=(const PosixSource&) = delete;

  std::size_t read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t count = ::read(descriptor_, buffer, size);
      if (count >= 0) return static_cast<std::size_t>(count);
      if (errno != EINTR) fail(errno, name_, kReadFault, kReadSource);
    }
  }

  void close() override {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (descriptor >= 0 && ::close(descriptor) != 0) fail(errno, name_, kReadFault, kCloseFile);
  }

 private:
  int descriptor_;
  std::string name_;
};

void writeAll(int descriptor, std::string_view bytes, const std::string& name) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(descriptor, bytes.data(), bytes.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) fail(count < 0 ? errno : ENOSPC, name, kWriteFault, kWriteListing);
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
}

// A listing that could not be written whole is taken away rather than left
// half written; anything that is not a plain file (a device, say) is left alone.
void removePartialListing(const std::string& name) {
  struct stat info {};
  if (::lstat(name.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ::unlink(name.c_str());
}

}  // namespace

// POSIX streams pass bytes unchanged already.
void prepareConsole() {}

std::unique_ptr<SourceFile> PlatformFiles::openSource(const std::string& name) {
  const int descriptor = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) fail(errno, name, kReadFault, kOpenSource);
  return std::make_unique<PosixSource>(descriptor, name);
}

void PlatformFiles::removeListing(const std::string& name) {
  removePartialListing(name);
}

void PlatformFiles::writeListing(const std::string& name, std::string_view bytes) {
  const int descriptor = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0) fail(errno, name, kWriteFault, kCreateListing);
  try {
    writeAll(descriptor, bytes, name);
  } catch (const FileFailure&) {
    ::close(descriptor);
    removePartialListing(name);
    throw;
  }
  if (::close(descriptor) != 0) {
    const int error = errno;
    removePartialListing(name);
    fail(error, name, kWriteFault, kCloseFile);
  }
}

}  // namespace ovrik
